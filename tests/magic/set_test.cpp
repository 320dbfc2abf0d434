// IMR_TSet: what each key writes into the ticket, the plugin requests, and
// where the chain ends once the ticket is filled far enough.
#include "magic_test_support.h"

namespace {

using namespace magictest;

// The ticket after one run of Key=Value at the deepest level.
PXC_TImageTicket After(const char* key, const char* value) {
  PXC_TImageTicket ticket;
  EXPECT_TRUE(RunOn(IMR_TSet(ZQ_TString(key), ZQ_TString(value)), "x", ticket).passed) << key;
  return ticket;
}

TEST(Set, KnownKeysFillTheirFieldsAndOthersTheExtendedInformation) {
  // Numbers are read as decimal; other spellings go through the name converters
  // (tested with the ticket), as for the enumerated fields not shown here.
  EXPECT_EQ(After("FillLevel", "2").FillLevel(), 2);
  EXPECT_EQ(After("ImageType", "3").ImageType(), PXC_IT_MAIN);
  EXPECT_EQ(After("ImageType", "Preview").ImageType(), PXC_IT_PREVIEW);
  EXPECT_DOUBLE_EQ(After("VResolution", "72.5").VResolution(), 72.5);
  EXPECT_DOUBLE_EQ(After("HResolution", "1e2").HResolution(), 100.0);
  EXPECT_DOUBLE_EQ(After("VRealSize", "2.25").VRealSize(), 2.25);
  EXPECT_DOUBLE_EQ(After("HRealSize", "junk").HRealSize(), 0.0);
  EXPECT_EQ(After("NrInks", "200").NrInks(), static_cast<std::uint16_t>(-56));  // a signed byte
  EXPECT_EQ(After("ImagePosition", "258").ImagePosition(), 2);
  EXPECT_EQ(After("FileFormat", "TIFF").FileFormat(), ZQ_TString("TIFF"));
  EXPECT_EQ(After("FileFormatVersion", "1.7").FileFormatVersion(), ZQ_TString("1.7"));
  // Keys compare exactly; an unknown key's value replaces an earlier one.
  PXC_TImageTicket lower = After("fileformat", "TIFF");
  EXPECT_TRUE(lower.FileFormat().IsEmpty());
  EXPECT_EQ(Extended(lower, "fileformat"), "TIFF");
  PXC_TImageTicket ticket;
  EXPECT_TRUE(RunOn(*Chain({"Compression=LZW", "Compression=ZIP", "=x"}, false), "x", ticket).passed);
  EXPECT_EQ(Extended(ticket, "Compression"), "ZIP");
  EXPECT_EQ(ticket.ExtendedInfo().Entries(), 2u);
  EXPECT_EQ(Extended(ticket, ""), "x");
  // Whole numbers are decimal and wrap.
  EXPECT_EQ(IMR_TSet(ZQ_TString("K"), ZQ_TString("4294967297")).ValueU32(), 1u);
  EXPECT_EQ(IMR_TSet(ZQ_TString("K"), ZQ_TString("0x10")).ValueU32(), 0u);
}

TEST(Set, AFileFormatAlreadySetStaysAndFailsTheChain) {
  PXC_TImageTicket ticket;
  Tickets::SetFileFormat(ticket, ZQ_TString("TIFF"));
  EXPECT_FALSE(RunOn(*Chain({"FileFormat=PNG", "Probe=reached"}, false), "x", ticket).passed);
  EXPECT_EQ(ticket.FileFormat(), ZQ_TString("TIFF"));
  EXPECT_EQ(Extended(ticket, "Probe"), "-");
}

TEST(Set, PluginRequests) {
  // The item's argument goes with a bare name; a name already in the list is not added again.
  std::unique_ptr<IMR_TMatch> chain = Chain({"imr_plugin=TIFF"}, false);
  PXC_TImageTicket ticket;
  EXPECT_TRUE(RunOn(*chain, "x", ticket, PXC_FL_DEPENDENCIES, "arg").pluginRequested);
  EXPECT_TRUE(RunOn(*chain, "x", ticket, PXC_FL_DEPENDENCIES, "other").pluginRequested);
  EXPECT_EQ(PluginList(ticket), "TIFF,arg");
  // "name=argument" gives its own argument.
  PXC_TImageTicket own;
  RunOn(*Chain({"imr_plugin=PDF=page1", "imr_plugin=GENERIC"}, false), "x", own, PXC_FL_DEPENDENCIES, "item");
  EXPECT_EQ(PluginList(own), "PDF,page1,GENERIC,item");
  // A name already in the list as an argument blocks the request.
  PXC_TImageTicket blocked;
  EXPECT_TRUE(RunOn(*Chain({"imr_plugin=A=B", "imr_plugin=B"}, false), "x", blocked).pluginRequested);
  EXPECT_EQ(PluginList(blocked), "A,B");
}

TEST(Set, ChainEndsOnceTheTicketReachesTheRequestedLevel) {
  std::unique_ptr<IMR_TMatch> chain = Chain({"FillLevel=2", "Probe=reached", "[0]==0x99"}, false);
  for (PXC_TFillLevel level : {PXC_FL_FILE, PXC_FL_FORMAT}) {
    PXC_TImageTicket ticket;
    EXPECT_TRUE(RunOn(*chain, "x", ticket, level).passed);
    EXPECT_EQ(Extended(ticket, "Probe"), "-");
  }
  // Asked for more, the chain goes on and fails at its last element; what it set stays.
  PXC_TImageTicket deeper;
  EXPECT_FALSE(RunOn(*chain, "x", deeper, PXC_FL_GEOMETRY).passed);
  EXPECT_EQ(Extended(deeper, "Probe"), "reached");
  EXPECT_EQ(deeper.FillLevel(), PXC_FL_FORMAT);
  // A ticket already filled far enough ends the chain at its first assignment.
  PXC_TImageTicket filled;
  Tickets::SetFillLevel(filled, PXC_FL_DETAILS);
  EXPECT_TRUE(RunOn(*Chain({"Key=v", "[0]==0x99"}, false), "x", filled, PXC_FL_GEOMETRY).passed);
}

}  // namespace
