// Raising tickets and proxies to a higher level, and re-describing a ticket
// as another image of its file.
#include <unistd.h>

#include "core_test_support.h"

using namespace coretest;

namespace {

class Update : public ModuleCountersTest {
 protected:
  PXC_TImageProxy Describe(const ZQ_TURL& url, PXC_TFillLevel level,
                           const ZQ_TList& plugins = Plugins({"IMRT_Plain"})) {
    const IMR_TCore core(&plugins);
    PXC_TImageProxy proxy;
    core.FillImageProxy(proxy, url, level, IMR_IT_ALL);
    return proxy;
  }

  TempDir iDir;
};

}  // namespace

TEST_F(Update, ATicketIsRaisedLevelByLevel) {
  const ZQ_TURL url = WriteImrt(iDir / "a.imrt", {WithRefs(Img("0", 3, 10, 20), {"dep.imrt"})});
  PXC_TImageTicket ticket = Describe(url, PXC_FL_FORMAT).TicketAt(0);
  EXPECT_EQ(TicketSummary(ticket), "IMRT:3:0");

  IMR_TCore::UpdateImageTicket(ticket, PXC_FL_GEOMETRY);
  EXPECT_EQ(TicketSummary(ticket), "IMRT:3:0:10x20");
  EXPECT_EQ(ticket.FillLevel(), PXC_FL_GEOMETRY);
  EXPECT_EQ(ticket.ExtendedInfo().ValueOfKey("detail"), nullptr);

  IMR_TCore::UpdateImageTicket(ticket, PXC_FL_DETAILS);
  ASSERT_NE(ticket.ExtendedInfo().ValueOfKey("detail"), nullptr);
  EXPECT_EQ(*ticket.ExtendedInfo().ValueOfKey("detail"), ZQ_TAny("image 0"));
  EXPECT_TRUE(ticket.ExternalRefs().IsEmpty());

  IMR_TCore::UpdateImageTicket(ticket, PXC_FL_DEPENDENCIES);
  EXPECT_EQ(ticket.ExternalRefs(), ZQ_TList({ZQ_TAny("dep.imrt")}));

  // A valid ticket already at the level asks no plugin.
  const int calls = Stats().calls.load();
  IMR_TCore::UpdateImageTicket(ticket, PXC_FL_GEOMETRY);
  EXPECT_EQ(Stats().calls.load(), calls);
  EXPECT_EQ(ticket.FillLevel(), PXC_FL_DEPENDENCIES);
}

TEST_F(Update, TheTicketKeepsThePluginThatDescribedItAtTheHead) {
  const ZQ_TURL url = WriteImrt(iDir / "a.imrt", {Img("0", 3, 4, 4)});
  PXC_TImageTicket ticket =
      Describe(url, PXC_FL_FORMAT, Plugins({"IMR_TPluginUnknown", "IMRT_Plain", "IMRT_Fallback"}))
          .TicketAt(0);
  EXPECT_EQ(ticket.Internal(ZQ_TString("imr_plugins")),
            ZQ_TAny(Plugins({"IMRT_Plain", "IMRT_Fallback"})));
  IMR_TCore::UpdateImageTicket(ticket, PXC_FL_GEOMETRY);
  EXPECT_EQ(TicketSummary(ticket), "IMRT:3:0:4x4");
}

TEST_F(Update, AChangedFileIsDescribedAgainAndTheTicketIsValidAfterwards) {
  const ZQ_TURL url = WriteImrt(iDir / "a.imrt", {Img("0", 3, 1, 1)});
  PXC_TImageTicket ticket = Describe(url, PXC_FL_ALL_IMAGES).TicketAt(0);
  WriteImrt(iDir / "a.imrt", {Img("0", 3, 9, 9), Img("0")});
  SetModified(url.Path().Std(), 2000000);
  ASSERT_FALSE(ticket.IsTicketValid());

  IMR_TCore::UpdateImageTicket(ticket, PXC_FL_GEOMETRY);
  EXPECT_EQ(TicketSummary(ticket), "IMRT:3:0:9x9");
  EXPECT_TRUE(ticket.IsTicketValid());
  const int calls = Stats().calls.load();
  IMR_TCore::UpdateImageTicket(ticket, PXC_FL_GEOMETRY);
  EXPECT_EQ(Stats().calls.load(), calls);
}

TEST_F(Update, FilesThatVanishOrChangeTheirFormat) {
  const ZQ_TURL url = WriteImrt(iDir / "a.imrt", {Img("0")});
  PXC_TImageTicket ticket = Describe(url, PXC_FL_FORMAT).TicketAt(0);
  ASSERT_EQ(::unlink(url.Path().Narrow()), 0);
  const IMR_EPluginCannotReadFile error = Raised<IMR_EPluginCannotReadFile>(
      [&] { IMR_TCore::UpdateImageTicket(ticket, PXC_FL_GEOMETRY); });
  const PXC_EBufferCannotOpenFile* cause = error.Data().DynamicCast<PXC_EBufferCannotOpenFile>();
  ASSERT_NE(cause, nullptr);
  EXPECT_EQ(cause->Data().ToText(), url.Path());

  WriteFile(url.Path().Std(), "something else");
  ticket = TestCore::Ticket(url, Plugins({"IMRT_Plain"}));
  EXPECT_THROW(IMR_TCore::UpdateImageTicket(ticket, PXC_FL_GEOMETRY), IMR_EPluginCannotUpdateTicket);
}

TEST_F(Update, EmbeddedTicketsAreDescribedAgainInTheirRange) {
  const std::string inner = imrt::Write({Img("0", 3, 3, 3)});
  const ZQ_TURL url = WriteImrt(iDir / "a.imrt", {Img("0"), Embedded(inner, PXC_IT_THUMBNAIL)});
  const PXC_TImageProxy proxy = Describe(url, PXC_FL_ALL_IMAGES);
  ASSERT_EQ(proxy.Entries(), 2u);
  PXC_TImageTicket ticket = proxy.TicketAt(1);
  const ZQ_TURL file = ticket.File();
  ASSERT_TRUE(file.IsEmbed());
  IMR_TCore::UpdateImageTicket(ticket, PXC_FL_DEPENDENCIES);
  EXPECT_EQ(ticket.FillLevel(), PXC_FL_DEPENDENCIES);
  EXPECT_EQ(TicketSummary(ticket), "IMRT:1:0:3x3");  // the type of the embedding image stays
  EXPECT_EQ(ticket.File(), file);
  EXPECT_TRUE(ticket.IsTicketValid());
}

TEST_F(Update, InternalImageDescribesAnotherImageOfTheFile) {
  const std::string inner = imrt::Write({Img("0", 2, 4, 4)});
  const ZQ_TURL url =
      WriteImrt(iDir / "a.imrt", {Img("0", 3, 1, 1), Img("0", 1, 2, 2), Embedded(inner, PXC_IT_PREVIEW)});
  PXC_TImageTicket ticket = Describe(url, PXC_FL_FORMAT).TicketAt(0);
  IMR_TCore::InternalImage(ticket, 1, PXC_FL_GEOMETRY);
  EXPECT_EQ(TicketSummary(ticket), "IMRT:1:1:2x2");
  EXPECT_EQ(ticket.ImagePosition(), 1);
  // An embedded image is followed into its range.
  IMR_TCore::InternalImage(ticket, 2, PXC_FL_GEOMETRY);
  EXPECT_EQ(TicketSummary(ticket), "IMRT:2:0:4x4");
  EXPECT_TRUE(ticket.File().IsEmbed());
  EXPECT_EQ(ticket.FillLevel(), PXC_FL_GEOMETRY);
}

TEST_F(Update, AProxyIsRaisedWholeAndKeepsItsSelection) {
  const std::string inner = imrt::Write({Img("0", 3, 3, 3)});
  const ZQ_TURL url = WriteImrt(iDir / "a.imrt", {Img("0", 1), Embedded(inner, 2), Img("0", 3)});
  PXC_TImageProxy proxy = Describe(url, PXC_FL_ALL_IMAGES);
  ASSERT_EQ(Summary(proxy), "IMRT:1:0 IMRT:2:0:3x3 *IMRT:3:2");
  IMR_TCore::UpdateImageProxy(proxy, PXC_FL_DETAILS);
  EXPECT_EQ(Summary(proxy), "IMRT:1:0 IMRT:2:0:3x3 *IMRT:3:2");
  for (std::uint32_t i = 0; i < proxy.Entries(); ++i) {
    EXPECT_EQ(proxy.TicketAt(i).FillLevel(), PXC_FL_DETAILS) << i;
    EXPECT_EQ(proxy.TicketAt(i).GetImrLink(), nullptr) << i;
  }

  // A failed update leaves no ticket tied to the proxy.
  ASSERT_EQ(::unlink(url.Path().Narrow()), 0);
  EXPECT_THROW(IMR_TCore::UpdateImageProxy(proxy, PXC_FL_DEPENDENCIES), IMR_EPluginCannotReadFile);
  for (std::uint32_t i = 0; i < proxy.Entries(); ++i) EXPECT_EQ(proxy.TicketAt(i).GetImrLink(), nullptr) << i;
}
