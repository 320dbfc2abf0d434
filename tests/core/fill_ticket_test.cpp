// The walk over one ticket's plugin list: every status, failures of plugins,
// the restart bound and context plugins.
#include <regex>

#include "core_test_support.h"

using namespace coretest;

namespace {

class FillTicket : public ModuleCountersTest {
 protected:
  // A ticket over an IMRT file of `images` that walks `plugins`.
  PXC_TImageTicket Ticket(const std::vector<imrt::Image>& images, const ZQ_TList& plugins) {
    iURL = WriteImrt(iDir / ("f" + std::to_string(iFiles++) + ".imrt"), images);
    return TestCore::Ticket(iURL, plugins);
  }
  bool Fill(PXC_TImageTicket& ticket, std::uint32_t index = 0,
            PXC_TFillLevel level = PXC_FL_GEOMETRY, IMR_TImageTypes types = IMR_IT_ALL) {
    return TestCore::Fill(ticket, level, index, iContext, iCacheable, types);
  }
  static ZQ_TList& List(PXC_TImageTicket& ticket) { return TestCore::TicketPlugins(ticket); }

  TempDir iDir;
  int iFiles = 0;
  ZQ_TURL iURL;
  IMR_IContextPlugin* iContext = nullptr;
  bool iCacheable = true;
};

}  // namespace

TEST_F(FillTicket, RecognisedStatusesDescribeTheImage) {
  struct Case {
    const char* status;
    bool cacheable;
    std::uint32_t listEntries;
  };
  for (const Case& c : {Case{"0", true, 2}, Case{"2", true, 4}, Case{"7", false, 2}}) {
    SCOPED_TRACE(c.status);
    iCacheable = true;
    PXC_TImageTicket ticket = Ticket({Img(c.status, 3, 10, 20)}, Plugins({"IMRT_Plain"}));
    ASSERT_TRUE(Fill(ticket));
    EXPECT_EQ(TicketSummary(ticket), "IMRT:3:0:10x20");
    EXPECT_EQ(ticket.FillLevel(), PXC_FL_GEOMETRY);
    EXPECT_EQ(iCacheable, c.cacheable);
    EXPECT_EQ(List(ticket).Entries(), c.listEntries);  // 2 appended IMRT_Marker
    EXPECT_EQ(ticket.File(), iURL);
  }
}

TEST_F(FillTicket, NotRecognisedPassesToTheNextPlugin) {
  PXC_TImageTicket ticket = Ticket({Img("1")}, Plugins({"IMRT_Plain", "IMRT_Fallback"}));
  ASSERT_TRUE(Fill(ticket));
  EXPECT_EQ(ticket.FileFormat(), "FALLBACK");
  EXPECT_TRUE(List(ticket).IsEmpty());  // IMRT_Plain removed, IMRT_Fallback removed itself

  // Names that no module provides count as not recognised, and so does a
  // plugin raising PXC_EDynamicLoaderNoSuchCreator.
  ticket = Ticket({Img("nocreator")}, Plugins({"IMRT_NoSuchPlugin", "IMRT_Plain", "IMRT_Fallback"}));
  ASSERT_TRUE(Fill(ticket));
  EXPECT_EQ(ticket.FileFormat(), "FALLBACK");

  ticket = Ticket({Img("1")}, Plugins({"IMRT_Plain"}));
  EXPECT_FALSE(Fill(ticket));
  EXPECT_TRUE(List(ticket).IsEmpty());
}

TEST_F(FillTicket, ListChangesAndUnknownStatusesRestartAtTheHead) {
  for (const char* status : {"3", "8", "9", "1000", "-1"}) {
    SCOPED_TRACE(status);
    PXC_TImageTicket ticket = Ticket({Img(status, 3, 4, 4)}, Plugins({"IMRT_Plain"}));
    ASSERT_TRUE(Fill(ticket));
    EXPECT_EQ(ticket.FileFormat(), "FALLBACK");  // put at the head by IMRT_Plain
    EXPECT_EQ(List(ticket), Plugins({"IMRT_Plain"}));
  }
}

TEST_F(FillTicket, AbortEmptiesTheList) {
  PXC_TImageTicket ticket = Ticket({Img("4")}, Plugins({"IMRT_Plain", "IMRT_Fallback"}));
  EXPECT_FALSE(Fill(ticket));
  EXPECT_TRUE(List(ticket).IsEmpty());
  EXPECT_EQ(ticket.FileFormat(), "");
}

TEST_F(FillTicket, EmbeddedImagesLeaveTheTicketAtLevelZero) {
  const std::string inner = imrt::Write({Img("0")});
  PXC_TImageTicket ticket = Ticket({Img("5"), Embedded(inner, PXC_IT_THUMBNAIL)},
                                   Plugins({"IMRT_Plain"}));
  ASSERT_TRUE(Fill(ticket, 0));
  EXPECT_EQ(ticket.FillLevel(), PXC_FL_EMBEDDED);
  EXPECT_EQ(ticket.File(), iURL);

  ASSERT_TRUE(Fill(ticket, 1));
  EXPECT_EQ(ticket.FillLevel(), PXC_FL_EMBEDDED);
  EXPECT_EQ(ticket.ImageType(), PXC_IT_THUMBNAIL);
  const std::string bytes = ReadFile(iURL.Path().Std());
  const std::uint64_t offset = bytes.size() - inner.size();
  EXPECT_EQ(ticket.File().Text().Std(),
            "embed:" + std::to_string(offset) + ":" + std::to_string(inner.size()) + ":" +
                iURL.Text().Std());

  // Not asked for: skipped, the file stays.
  PXC_TImageTicket skipped = Ticket({Embedded(inner, PXC_IT_THUMBNAIL)}, Plugins({"IMRT_Plain"}));
  ASSERT_TRUE(Fill(skipped, 0, PXC_FL_GEOMETRY, IMR_IT_MAIN | IMR_IT_PREVIEW));
  EXPECT_EQ(skipped.FillLevel(), PXC_FL_EMBEDDED);
  EXPECT_EQ(skipped.File(), iURL);
}

TEST_F(FillTicket, ImageNumbersAbove255AreStoredModulo256) {
  const ZQ_TURL url = ZQ_TURL::FromPath(ZQ_TString(iDir / "many.imrt"));
  WriteFile(url.Path().Std(), imrt::WriteShared(400, Img("0")));
  PXC_TImageTicket ticket = TestCore::Ticket(url, Plugins({"IMRT_Plain"}));
  ASSERT_TRUE(Fill(ticket, 300));
  EXPECT_EQ(ticket.ImagePosition(), 300 % 256);
  EXPECT_EQ(Extended(ticket, "index"), 300);
}

TEST_F(FillTicket, RestartsAreBoundedByDefaultTo64) {
  LogCapture log;
  PXC_TImageTicket ticket = Ticket({Img("0")}, Plugins({"IMRT_Loop", "IMRT_Plain"}));
  EXPECT_FALSE(Fill(ticket));
  EXPECT_EQ(Stats().loopCalls.load(), 65);
  const std::string text = log.Text();
  EXPECT_EQ(Count(text, "\n"), 1u) << text;
  EXPECT_NE(text.find("IMRT_Loop restarted the search for image 0 of " + iURL.Text().Std() +
                      " more than 64 times"),
            std::string::npos)
      << text;
}

TEST_F(FillTicket, APluginFailureIsLoggedOnceAndEndsTheSearch) {
  LogCapture log;
  PXC_TImageTicket ticket = Ticket({Img("throw")}, Plugins({"IMRT_Plain", "IMRT_Fallback"}));
  EXPECT_FALSE(Fill(ticket));
  EXPECT_EQ(ticket.FileFormat(), "");  // IMRT_Fallback was not asked
  const std::string text = log.Text();
  EXPECT_EQ(Count(text, "Failed to retrieve ImageInfo"), 1u) << text;
  const std::regex entry("^\\[[^\\]]*\\] : Failed to retrieve ImageInfo for " + iURL.Text().Std() +
                         "\nCaused by:\nPXC_EImageTicketFileCorrupted: IMRT image 0 is corrupt");
  EXPECT_TRUE(std::regex_search(text, entry)) << text;

  // Exceptions of other kinds end the search too, without reaching the caller.
  ticket = Ticket({Img("std")}, Plugins({"IMRT_Plain", "IMRT_Fallback"}));
  EXPECT_FALSE(Fill(ticket));
}

TEST_F(FillTicket, APluginWithoutImageInfoEndsTheSearchWithOneLogEntry) {
  LogCapture log;
  PXC_TImageTicket ticket = Ticket({Img("0")}, Plugins({"IMRT_Abstract", "IMRT_Plain"}));
  EXPECT_FALSE(Fill(ticket));
  const std::string text = log.Text();
  EXPECT_EQ(Count(text, "Failed to retrieve ImageInfo"), 1u) << text;
  EXPECT_EQ(Count(text, "IMR_EPluginInterfaceCalled: IMR_EPluginInterfaceCalled"), 1u) << text;
}

TEST_F(FillTicket, UnknownFilesPlugin) {
  PXC_TImageTicket ticket = Ticket({Img("0")}, Plugins({"IMR_TPluginUnknown", "IMRT_Plain"}));
  ASSERT_TRUE(Fill(ticket));
  EXPECT_EQ(ticket.FileFormat(), "IMRT");

  LogCapture log;
  ticket = Ticket({Img("0")}, Pairs({{"IMR_TPluginUnknown", "k"}, {"IMRT_Plain", ""}}));
  EXPECT_FALSE(Fill(ticket));
  EXPECT_EQ(Count(log.Text(), "IMR_EPluginFileNotRecognized: IMR_EPluginFileNotRecognized"), 1u)
      << log.Text();
}

TEST_F(FillTicket, InvalidMagicEntriesReachTheCaller) {
  LogCapture log;
  PXC_TImageTicket ticket = Ticket({Img("magic")}, Plugins({"IMRT_Plain"}));
  EXPECT_THROW(Fill(ticket), IMR_EMagicInvalidMagicEntry);
  ticket = Ticket({Img("magic")}, Plugins({"IMRT_Context"}));
  EXPECT_THROW(Fill(ticket), IMR_EMagicInvalidMagicEntry);
  delete iContext;  // the caller owns what the walk left
  iContext = nullptr;
}

TEST_F(FillTicket, AContextIsMadeForTheFirstImageAndAskedForTheNext) {
  PXC_TImageTicket ticket =
      Ticket({Img("0"), Img("7"), Img("5"), Img("2"), Img("0")}, Plugins({"IMRT_Context", "IMRT_Fallback"}));
  ASSERT_TRUE(Fill(ticket, 0));
  ASSERT_NE(iContext, nullptr);
  const long serial = Extended(ticket, "context");
  EXPECT_GT(serial, 0);
  // Whatever the ticket's list holds, the context's list replaces it.
  for (std::uint32_t index = 1; index <= 4; ++index) {
    TestCore::Clear(ticket);
    List(ticket) = Plugins({"IMRT_Fallback"});
    ASSERT_TRUE(Fill(ticket, index)) << index;
    EXPECT_EQ(iContext != nullptr, true) << index;
    EXPECT_EQ(Extended(ticket, "context"), index == 2 ? -1 : serial) << index;
    EXPECT_EQ(ticket.FileFormat(), index == 2 ? "" : "IMRT") << index;
  }
  EXPECT_EQ(Stats().contextsCreated.load(), 1);
  EXPECT_FALSE(iCacheable);  // image 1 answered 7
  delete iContext;
  iContext = nullptr;
}

TEST_F(FillTicket, AContextIsDeletedOnOtherAnswers) {
  struct Case {
    const char* status;
    bool found;
    const char* format;
  };
  for (const Case& c : {Case{"1", true, "FALLBACK"}, Case{"3", true, "FALLBACK"},
                        Case{"4", false, ""}, Case{"throw", false, ""}}) {
    SCOPED_TRACE(c.status);
    LogCapture log;
    PXC_TImageTicket ticket =
        Ticket({Img("0"), Img(c.status)}, Plugins({"IMRT_Context", "IMRT_Fallback"}));
    ASSERT_TRUE(Fill(ticket, 0));
    ASSERT_NE(iContext, nullptr);
    TestCore::Clear(ticket);
    EXPECT_EQ(Fill(ticket, 1), c.found);
    EXPECT_EQ(iContext, nullptr);
    EXPECT_EQ(Stats().contextsAlive.load(), 0);
    EXPECT_EQ(ticket.FileFormat(), c.format);
  }
}

TEST_F(FillTicket, PluginsWithoutContextAreAskedDirectly) {
  PXC_TImageTicket ticket = Ticket({Img("0"), Img("0")}, Plugins({"IMRT_Plain"}));
  ASSERT_TRUE(Fill(ticket, 0));
  EXPECT_EQ(iContext, nullptr);
  EXPECT_EQ(Extended(ticket, "context"), -1);
}
