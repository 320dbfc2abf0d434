// The walk over one ticket's plugin list, seen through runs: every status,
// failures of plugins, the restart bound and context plugins.
#include <regex>

#include "core_test_support.h"

using namespace coretest;

namespace {

class FillTicket : public ModuleCountersTest {
 protected:
  // Describes an IMRT file of `images` over `plugins` at `level`.
  std::string Run(const std::vector<imrt::Image>& images, const ZQ_TList& plugins,
                  PXC_TFillLevel level = PXC_FL_ALL_IMAGES) {
    iURL = Write("f" + std::to_string(iFiles++) + ".imrt", images);
    return Describe(iURL, level, plugins);
  }

  int iFiles = 0;
  ZQ_TURL iURL;
};

}  // namespace

// IMRT_Plain answers the status, IMRT_Fallback comes next: recognised (2
// appends IMRT_Marker), not recognised (the next plugin), list changes and
// unknown numbers (restart at the head, where IMRT_Plain put IMRT_Fallback),
// abort (nothing found).
TEST_F(FillTicket, EveryStatusOfAPlugin) {
  const ZQ_TList both = Plugins({"IMRT_Plain", "IMRT_Fallback"});
  struct Case {
    const char* status;
    const char* format;  // "" when nothing was found
    ZQ_TList list;
  };
  const Case cases[] = {
      {"0", "IMRT", both},
      {"2", "IMRT", Plugins({"IMRT_Plain", "IMRT_Fallback", "IMRT_Marker"})},
      {"7", "IMRT", both},
      {"1", "FALLBACK", ZQ_TList()},
      {"3", "FALLBACK", both},
      {"8", "FALLBACK", both},
      {"-1", "FALLBACK", both},
      {"4", "", ZQ_TList()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.status);
    if (*c.format == '\0') {
      EXPECT_THROW(Run({Img(c.status, 3, 10, 20)}, both, PXC_FL_GEOMETRY), IMR_EPluginFileNotRecognized);
      continue;
    }
    EXPECT_EQ(Run({Img(c.status, 3, 10, 20)}, both, PXC_FL_GEOMETRY),
              "*" + std::string(c.format) + ":3:0:10x20");
    EXPECT_EQ(iProxy.TicketAt(0).FillLevel(), PXC_FL_GEOMETRY);
    EXPECT_EQ(iProxy.TicketAt(0).Internal(ZQ_TString("imr_plugins")), ZQ_TAny(c.list));
  }

  // Names that no module provides count as not recognised, and so do a
  // plugin raising PXC_EDynamicLoaderNoSuchCreator and the unknown files
  // plugin without a key.
  EXPECT_EQ(Run({Img("nocreator")},
                Plugins({"IMRT_NoSuchPlugin", "IMR_TPluginUnknown", "IMRT_Plain", "IMRT_Fallback"})),
            "*FALLBACK:3:0");
}

// Image numbers above 255 are stored modulo 256.
TEST_F(FillTicket, ImageNumbersAbove255) {
  Run(std::vector<imrt::Image>(301, Img("0")), Plugins({"IMRT_Plain"}));
  ASSERT_EQ(iProxy.Entries(), 301u);
  EXPECT_EQ(iProxy.TicketAt(300).ImagePosition(), 300 % 256);
  EXPECT_EQ(Extended(iProxy.TicketAt(300), "index"), 300);
}

TEST_F(FillTicket, RestartsAreBoundedByDefaultTo64) {
  LogCapture log;
  EXPECT_THROW(Run({Img("0")}, Plugins({"IMRT_Loop", "IMRT_Plain"}), PXC_FL_FORMAT),
               IMR_EPluginFileNotRecognized);
  EXPECT_EQ(Stats().loopCalls.load(), 65);
  EXPECT_EQ(Count(log.Text(), "\n"), 1u) << log.Text();
  EXPECT_EQ(Count(log.Text(), "IMRT_Loop restarted the search for image 0 of " + iURL.Text().Std() +
                                  " more than 64 times"), 1u);
}

// A plugin that raises (or has no ImageInfo, or is the unknown files plugin
// with a key) ends the search with one log entry, the rest not asked; an
// exception outside the ZQ classes ends it too, without reaching the caller.
// An invalid magic entry reaches the caller, a context plugin or not.
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
    EXPECT_THROW(Run({Img(c.status)}, c.plugins), IMR_EPluginFileNotRecognized);
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
  LogCapture log;
  for (const char* plugin : {"IMRT_Plain", "IMRT_Context"}) {
    EXPECT_THROW(Run({Img("0"), Img("magic")}, Plugins({plugin})), IMR_EMagicInvalidMagicEntry) << plugin;
  }
}

// A context is made for the first image and asked for the next ones;
// answers that end or restart the search delete it, and the next image
// makes a new one (after 1, IMRT_Fallback took itself off the list).
TEST_F(FillTicket, AContextServesTheNextImagesUntilTheSearchMovesOn) {
  struct Case {
    const char* status;
    const char* summary;
    int created;  // contexts made
  };
  for (const Case& c : {Case{"0", "*IMRT:3:0 IMRT:3:1 IMRT:3:2", 1},
                        Case{"2", "*IMRT:3:0 IMRT:3:1 IMRT:3:2", 1},
                        Case{"7", "*IMRT:3:0 IMRT:3:1 IMRT:3:2", 1}, Case{"5", "*IMRT:3:0 IMRT:3:2", 1},
                        Case{"1", "*IMRT:3:0 FALLBACK:3:1", 1},
                        Case{"3", "*IMRT:3:0 FALLBACK:3:1 IMRT:3:2", 2}, Case{"4", "*IMRT:3:0", 1},
                        Case{"throw", "*IMRT:3:0", 1}}) {
    SCOPED_TRACE(c.status);
    LogCapture log;
    Stats().Reset();
    EXPECT_EQ(Run({Img("0"), Img(c.status), Img("0")}, Plugins({"IMRT_Context", "IMRT_Fallback"})),
              c.summary);
    const PXC_TImageTicket& last = iProxy.TicketAt(iProxy.Entries() - 1);
    if (iProxy.Entries() > 1 && last.FileFormat() == "IMRT") {
      EXPECT_EQ(Extended(last, "context") == Extended(iProxy.TicketAt(0), "context"), c.created == 1);
    }
    EXPECT_EQ(Stats().contextsCreated.load(), c.created);
    EXPECT_EQ(Stats().contextsAlive.load(), 0);
  }
}
