// IMR_TSet: what each key writes into the ticket, the plugin requests, and
// where the chain ends once the ticket is filled far enough.
#include "magic_test_support.h"

namespace {

using namespace magictest;

// The ticket after one run of Key=Value at the deepest level.
PXC_TImageTicket After(const char* key, const char* value, const char* argument = "",
                       Outcome* run = nullptr) {
  IMR_TSet set{ZQ_TString(key), ZQ_TString(value)};
  PXC_TImageTicket ticket;
  Outcome result = RunOn(set, "x", ticket, PXC_FL_DEPENDENCIES, argument);
  EXPECT_TRUE(result.passed) << key << "=" << value;
  if (run != nullptr) *run = result;
  return ticket;
}

TEST(SetNumbersAndNames, FillLevel) {
  EXPECT_EQ(After("FillLevel", "2").FillLevel(), 2);
  EXPECT_EQ(After("FillLevel", "Geometry").FillLevel(), PXC_String2FillLevel(ZQ_TString("Geometry")));
  EXPECT_EQ(After("FillLevel", "Geometry").FillLevel(), PXC_FL_GEOMETRY);
  EXPECT_EQ(After("FillLevel", "0").FillLevel(), PXC_String2FillLevel(ZQ_TString("0")));
}

TEST(SetNumbersAndNames, ImageTypeAndTheOtherEnumerations) {
  EXPECT_EQ(After("ImageType", "3").ImageType(), PXC_IT_MAIN);
  EXPECT_EQ(After("ImageType", "Preview").ImageType(), PXC_IT_PREVIEW);
  EXPECT_EQ(After("MeasurementUnits", "Centimeter").MeasurementUnits(), PXC_MU_CENTIMETER);
  EXPECT_EQ(After("MeasurementUnits", "5").MeasurementUnits(), PXC_MU_METER);
  EXPECT_EQ(After("ImageRotation", "R180").Rotation(), PXC_IR_180);
  EXPECT_EQ(After("ChannelEncoding", "CMYK").ChannelEncoding(), PXC_CE_CMYK);
  EXPECT_EQ(After("ChannelEncoding", "9").ChannelEncoding(), PXC_CE_MULTICHANNEL);
  EXPECT_EQ(After("AlphaPlane", "Unassociated").AlphaPlane(), PXC_AP_UNASSOCIATED);
  // Decimal only: 0x10 reads as 0 and then goes through the converter.
  EXPECT_EQ(After("ImageType", "0x10").ImageType(), PXC_String2ImageType(ZQ_TString("0x10")));
}

TEST(SetNumbersAndNames, RealsAndSmallIntegers) {
  EXPECT_DOUBLE_EQ(After("VResolution", "72.5").VResolution(), 72.5);
  EXPECT_DOUBLE_EQ(After("VResolution", "300").VResolution(), 300.0);
  EXPECT_DOUBLE_EQ(After("HResolution", "1e2").HResolution(), 100.0);
  EXPECT_DOUBLE_EQ(After("VRealSize", "2.25").VRealSize(), 2.25);
  EXPECT_DOUBLE_EQ(After("HRealSize", "junk").HRealSize(), 0.0);
  EXPECT_EQ(After("NrInks", "4").NrInks(), 4);
  EXPECT_EQ(After("NrInks", "200").NrInks(), static_cast<std::uint16_t>(-56));
  EXPECT_EQ(After("NrInks", "127").NrInks(), 127);
  EXPECT_EQ(After("ImagePosition", "258").ImagePosition(), 2);
}

TEST(SetTexts, FormatVersionCreatorProcessor) {
  EXPECT_EQ(After("FileFormat", "TIFF").FileFormat(), ZQ_TString("TIFF"));
  EXPECT_EQ(After("FileFormatVersion", "1.7").FileFormatVersion(), ZQ_TString("1.7"));
  EXPECT_EQ(After("CreatorId", "8BIM").CreatorId(), ZQ_TString("8BIM"));
  EXPECT_EQ(After("ImageProcessor", "TIFF").ImageProcessor(), ZQ_TString("TIFF"));
  // Keys compare exactly.
  PXC_TImageTicket ticket = After("fileformat", "TIFF");
  EXPECT_TRUE(ticket.FileFormat().IsEmpty());
  EXPECT_EQ(Extended(ticket, "fileformat"), "TIFF");
}

TEST(SetTexts, FileFormatKeepsTheFirstAndFailsTheChain) {
  std::unique_ptr<IMR_TMatch> chain = Chain({"FileFormat=PNG", "Probe=reached"}, false);
  PXC_TImageTicket ticket;
  Tickets::SetFileFormat(ticket, ZQ_TString("TIFF"));
  EXPECT_FALSE(RunOn(*chain, "x", ticket).passed);
  EXPECT_EQ(ticket.FileFormat(), ZQ_TString("TIFF"));
  EXPECT_EQ(Extended(ticket, "Probe"), "-");
}

TEST(SetTexts, UnknownKeysGoToTheExtendedInformation) {
  std::unique_ptr<IMR_TMatch> chain = Chain({"Compression=LZW", "Compression=ZIP", "=x"}, false);
  PXC_TImageTicket ticket;
  EXPECT_TRUE(RunOn(*chain, "x", ticket).passed);
  EXPECT_EQ(Extended(ticket, "Compression"), "ZIP");  // replaced, not added twice
  EXPECT_EQ(ticket.ExtendedInfo().Entries(), 2u);
  EXPECT_EQ(Extended(ticket, ""), "x");
}

TEST(SetPluginRequests, NameAndTheItemsArgument) {
  std::unique_ptr<IMR_TMatch> chain = Chain({"imr_plugin=TIFF"}, false);
  PXC_TImageTicket ticket;
  Outcome first = RunOn(*chain, "x", ticket, PXC_FL_DEPENDENCIES, "arg");
  EXPECT_TRUE(first.passed);
  EXPECT_TRUE(first.pluginRequested);
  EXPECT_EQ(PluginList(ticket), "TIFF,arg");
  Outcome second = RunOn(*chain, "x", ticket, PXC_FL_DEPENDENCIES, "other");
  EXPECT_TRUE(second.pluginRequested);
  EXPECT_EQ(PluginList(ticket), "TIFF,arg");
}

TEST(SetPluginRequests, NameEqualsArgument) {
  std::unique_ptr<IMR_TMatch> chain = Chain({"imr_plugin=PDF=page1", "imr_plugin=GENERIC"}, false);
  PXC_TImageTicket ticket;
  Outcome run = RunOn(*chain, "x", ticket, PXC_FL_DEPENDENCIES, "ignored");
  EXPECT_TRUE(run.pluginRequested);
  EXPECT_EQ(PluginList(ticket), "PDF,page1,GENERIC,ignored");
}

TEST(SetPluginRequests, ANameAlreadyInTheListAsAnArgumentBlocksTheRequest) {
  std::unique_ptr<IMR_TMatch> chain = Chain({"imr_plugin=A=B", "imr_plugin=B"}, false);
  PXC_TImageTicket ticket;
  EXPECT_TRUE(RunOn(*chain, "x", ticket).pluginRequested);
  EXPECT_EQ(PluginList(ticket), "A,B");
}

TEST(SetPluginRequests, AppendsToAListTheTicketAlreadyHas) {
  PXC_TImageTicket ticket;
  Tickets::Internal(ticket).Add("imr_plugins", ZQ_TAny(List({"IMR_TMagic", ""})));
  std::unique_ptr<IMR_TMatch> chain = Chain({"imr_plugin=GIF"}, false);
  RunOn(*chain, "x", ticket);
  EXPECT_EQ(PluginList(ticket), "IMR_TMagic,,GIF,");
}

TEST(SetLevel, ChainEndsOnceTheTicketReachesTheRequestedLevel) {
  std::unique_ptr<IMR_TMatch> chain = Chain({"FillLevel=2", "Probe=reached", "[0]==0x99"}, false);
  PXC_TImageTicket ticket;
  EXPECT_TRUE(RunOn(*chain, "x", ticket, PXC_FL_FORMAT).passed);
  EXPECT_EQ(Extended(ticket, "Probe"), "-");
  PXC_TImageTicket lower;
  EXPECT_TRUE(RunOn(*chain, "x", lower, PXC_FL_FILE).passed);
  EXPECT_EQ(Extended(lower, "Probe"), "-");
  // Asked for more, the chain goes on and fails at its last element; what it
  // set stays.
  PXC_TImageTicket deeper;
  EXPECT_FALSE(RunOn(*chain, "x", deeper, PXC_FL_GEOMETRY).passed);
  EXPECT_EQ(Extended(deeper, "Probe"), "reached");
  EXPECT_EQ(deeper.FillLevel(), PXC_FL_FORMAT);
  // A ticket already filled far enough ends the chain at its first IMR_TSet.
  PXC_TImageTicket filled;
  Tickets::SetFillLevel(filled, PXC_FL_DETAILS);
  std::unique_ptr<IMR_TMatch> other = Chain({"Key=v", "[0]==0x99"}, false);
  EXPECT_TRUE(RunOn(*other, "x", filled, PXC_FL_GEOMETRY).passed);
}

TEST(SetValues, Readers) {
  IMR_TSet set(ZQ_TString("K"), ZQ_TString("  -3.5e1xyz"));
  EXPECT_DOUBLE_EQ(set.ValueD(), -35.0);
  EXPECT_EQ(set.ValueU32(), static_cast<unsigned int>(-3));
  EXPECT_EQ(set.ValueI8(), -3);
  IMR_TSet big(ZQ_TString("K"), ZQ_TString("4294967297"));
  EXPECT_EQ(big.ValueU32(), 1u);
  EXPECT_EQ(big.ValueI8(), 1);
  IMR_TSet hex(ZQ_TString("K"), ZQ_TString("0x10"));
  EXPECT_EQ(hex.ValueU32(), 0u);
}

}  // namespace
