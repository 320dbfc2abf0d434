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
    iURL = Write("f" + std::to_string(iFiles++) + ".imrt", images);
    return TestCore::Ticket(iURL, plugins);
  }
  bool Fill(PXC_TImageTicket& ticket, std::uint32_t index = 0,
            PXC_TFillLevel level = PXC_FL_GEOMETRY, IMR_TImageTypes types = IMR_IT_ALL) {
    return TestCore::Fill(ticket, level, index, iContext, iCacheable, types);
  }
  static ZQ_TList& List(PXC_TImageTicket& ticket) { return TestCore::TicketPlugins(ticket); }

  int iFiles = 0;
  ZQ_TURL iURL;
  IMR_IContextPlugin* iContext = nullptr;
  bool iCacheable = true;
};

}  // namespace

// IMRT_Plain answers the status, IMRT_Fallback comes next: recognised (2
// appends IMRT_Marker, 7 is not cacheable), not recognised (the next plugin),
// list changes and unknown numbers (restart at the head, where IMRT_Plain put
// IMRT_Fallback), abort (the list is emptied).
TEST_F(FillTicket, EveryStatusOfAPlugin) {
  const ZQ_TList both = Plugins({"IMRT_Plain", "IMRT_Fallback"});
  struct Case {
    const char* status;
    const char* format;  // "" when nothing was found
    bool cacheable;
    ZQ_TList list;
  };
  const Case cases[] = {
      {"0", "IMRT", true, both},
      {"2", "IMRT", true, Plugins({"IMRT_Plain", "IMRT_Fallback", "IMRT_Marker"})},
      {"7", "IMRT", false, both},
      {"1", "FALLBACK", true, ZQ_TList()},
      {"3", "FALLBACK", true, both},
      {"8", "FALLBACK", true, both},
      {"1000", "FALLBACK", true, both},
      {"-1", "FALLBACK", true, both},
      {"4", "", true, ZQ_TList()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.status);
    iCacheable = true;
    PXC_TImageTicket ticket = Ticket({Img(c.status, 3, 10, 20)}, both);
    EXPECT_EQ(Fill(ticket), *c.format != '\0');
    EXPECT_EQ(ticket.FileFormat(), c.format);
    if (*c.format != '\0') {
      EXPECT_EQ(TicketSummary(ticket), std::string(c.format) + ":3:0:10x20");
      EXPECT_EQ(ticket.FillLevel(), PXC_FL_GEOMETRY);
    }
    EXPECT_EQ(iCacheable, c.cacheable);
    EXPECT_EQ(List(ticket), c.list);
    EXPECT_EQ(ticket.File(), iURL);
  }

  // Names that no module provides count as not recognised, and so do a
  // plugin raising PXC_EDynamicLoaderNoSuchCreator and the unknown files
  // plugin without a key.
  PXC_TImageTicket ticket = Ticket({Img("nocreator")}, Plugins({"IMRT_NoSuchPlugin", "IMR_TPluginUnknown",
                                                               "IMRT_Plain", "IMRT_Fallback"}));
  ASSERT_TRUE(Fill(ticket));
  EXPECT_EQ(ticket.FileFormat(), "FALLBACK");
  ticket = Ticket({Img("1")}, Plugins({"IMRT_Plain"}));
  EXPECT_FALSE(Fill(ticket));
}

// Skipped (5) and resolved (6) embedded images leave the ticket at level 0,
// the resolved one over its range with the type of the embedding image.
TEST_F(FillTicket, EmbeddedImagesLeaveTheTicketAtLevelZero) {
  const std::string inner = imrt::Write({Img("0")});
  PXC_TImageTicket ticket = Ticket({Img("5"), Embedded(inner, PXC_IT_THUMBNAIL)}, Plugins({"IMRT_Plain"}));
  ASSERT_TRUE(Fill(ticket, 0));
  EXPECT_EQ(ticket.FillLevel(), PXC_FL_EMBEDDED);
  EXPECT_EQ(ticket.File(), iURL);
  ASSERT_TRUE(Fill(ticket, 1));
  EXPECT_EQ(ticket.FillLevel(), PXC_FL_EMBEDDED);
  EXPECT_EQ(ticket.ImageType(), PXC_IT_THUMBNAIL);
  EXPECT_TRUE(ticket.File().IsEmbed());
  EXPECT_EQ(ticket.File().EmbedLength(), inner.size());
}

TEST_F(FillTicket, ImageNumbersAbove255AreStoredModulo256) {
  WriteFile(iDir / "many.imrt", imrt::Write(std::vector<imrt::Image>(400, Img("0"))));
  PXC_TImageTicket ticket = TestCore::Ticket(UrlOf(iDir / "many.imrt"), Plugins({"IMRT_Plain"}));
  ASSERT_TRUE(Fill(ticket, 300));
  EXPECT_EQ(ticket.ImagePosition(), 300 % 256);
  EXPECT_EQ(Extended(ticket, "index"), 300);
}

TEST_F(FillTicket, RestartsAreBoundedByDefaultTo64) {
  LogCapture log;
  PXC_TImageTicket ticket = Ticket({Img("0")}, Plugins({"IMRT_Loop", "IMRT_Plain"}));
  EXPECT_FALSE(Fill(ticket));
  EXPECT_EQ(Stats().loopCalls.load(), 65);
  EXPECT_EQ(Count(log.Text(), "\n"), 1u) << log.Text();
  EXPECT_EQ(Count(log.Text(), "IMRT_Loop restarted the search for image 0 of " + iURL.Text().Std() +
                                  " more than 64 times"), 1u);
}

// A plugin that raises (or has no ImageInfo, or is the unknown files plugin
// with a key) ends the search with one log entry, the rest not asked; an
// exception outside the ZQ classes ends it too, without reaching the caller.
TEST_F(FillTicket, APluginFailureIsLoggedOnceAndEndsTheSearch) {
  struct Case {
    ZQ_TList plugins;
    const char* status;
    const char* cause;
  };
  const Case cases[] = {
      {Plugins({"IMRT_Plain", "IMRT_Fallback"}), "throw",
       "\nCaused by:\nPXC_EImageTicketFileCorrupted: IMRT image 0 is corrupt"},
      {Plugins({"IMRT_Abstract", "IMRT_Fallback"}), "0",
       "IMR_EPluginInterfaceCalled: IMR_EPluginInterfaceCalled"},
      {Pairs({{"IMR_TPluginUnknown", "k"}, {"IMRT_Fallback", ""}}), "0",
       "IMR_EPluginFileNotRecognized: IMR_EPluginFileNotRecognized"},
      {Plugins({"IMRT_Plain", "IMRT_Fallback"}), "std", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.status);
    LogCapture log;
    PXC_TImageTicket ticket = Ticket({Img(c.status)}, c.plugins);
    EXPECT_FALSE(Fill(ticket));
    EXPECT_EQ(ticket.FileFormat(), "");
    const std::string text = log.Text();
    if (*c.cause == '\0') {
      EXPECT_EQ(text, "") << "no entry for exceptions of other kinds";
      continue;
    }
    EXPECT_EQ(Count(text, "Failed to retrieve ImageInfo"), 1u) << text;
    EXPECT_EQ(Count(text, c.cause), 1u) << text;
    const std::regex entry("^\\[[^\\]]*\\] : Failed to retrieve ImageInfo for " + iURL.Text().Std());
    EXPECT_TRUE(std::regex_search(text, entry)) << text;
  }
}

TEST_F(FillTicket, InvalidMagicEntriesReachTheCaller) {
  LogCapture log;
  for (const char* plugin : {"IMRT_Plain", "IMRT_Context"}) {
    PXC_TImageTicket ticket = Ticket({Img("magic")}, Plugins({plugin}));
    EXPECT_THROW(Fill(ticket), IMR_EMagicInvalidMagicEntry) << plugin;
    delete iContext;  // the caller owns what the walk left
    iContext = nullptr;
  }
}

// A context is made for image 0 and asked for the next image, whatever the
// ticket's list then holds; answers that end or restart the search delete it.
TEST_F(FillTicket, AContextServesTheNextImagesUntilTheSearchMovesOn) {
  PXC_TImageTicket plain = Ticket({Img("0")}, Plugins({"IMRT_Plain"}));
  ASSERT_TRUE(Fill(plain));
  EXPECT_EQ(iContext, nullptr) << "a plugin without context is asked directly";
  struct Case {
    std::string status;
    bool found;
    const char* format;
    bool kept;
  };
  for (const Case& c : {Case{"0", true, "IMRT", true}, Case{"2", true, "IMRT", true},
                        Case{"7", true, "IMRT", true}, Case{"5", true, "", true},
                        Case{"1", true, "FALLBACK", false}, Case{"3", true, "FALLBACK", false},
                        Case{"4", false, "", false}, Case{"throw", false, "", false}}) {
    SCOPED_TRACE(c.status);
    LogCapture log;
    iCacheable = true;
    PXC_TImageTicket ticket = Ticket({Img("0"), Img(c.status)}, Plugins({"IMRT_Context", "IMRT_Fallback"}));
    ASSERT_TRUE(Fill(ticket, 0));
    ASSERT_NE(iContext, nullptr);
    const long serial = Extended(ticket, "context");
    TestCore::Clear(ticket);
    List(ticket) = Plugins({"IMRT_Fallback"});
    EXPECT_EQ(Fill(ticket, 1), c.found);
    EXPECT_EQ(ticket.FileFormat(), c.format);
    EXPECT_EQ(iContext != nullptr, c.kept);
    EXPECT_EQ(Stats().contextsAlive.load(), c.kept ? 1 : 0);
    EXPECT_EQ(Extended(ticket, "context"), c.kept && *c.format != '\0' ? serial : -1);
    EXPECT_EQ(iCacheable, c.status != "7");
    delete iContext;
    iContext = nullptr;
  }
  EXPECT_EQ(Stats().contextsCreated.load(), 8);
}
