// Loading the magic table from the configuration.  The configuration is read
// once per process, so each run loads one form of the table, named by
// MAGICTEST_FORM (see CMakeLists.txt).  Before the load, providers CF_A and
// CF_B(x) are registered and CF_B is marked trust-less.
#include <cstdio>
#include <cstdlib>

#include "magic_test_support.h"

namespace {

using namespace magictest;

std::string Form() {
  const char* form = std::getenv("MAGICTEST_FORM");
  return form ? form : "text";
}

bool Loads() { return Form() == "text" || Form() == "hex-upper" || Form() == "hex-lower"; }

// The configured table: a guarded entry of two chains, an unguarded one (as
// a configuration may hold) and an entry without chains.
ZQ_TDict Table() {
  ZQ_TDict table;
  ZQ_TList guarded;
  guarded.AddAtTail(ZQ_TAny::Adopt(
      Chain({"[0]==0x43", "[1]==0x46", "?2=cfg", "FileFormat=CFG", "FillLevel=2"}).release()));
  guarded.AddAtTail(ZQ_TAny::Adopt(Chain({"[0]!=0x43", "[1]>=0x80", "?*2l1=\"q\\", "Kind=high",
                                          "FileFormat=CFGHIGH", "FillLevel=2"}).release()));
  table.Add("CF_ENTRY", ZQ_TAny(guarded));
  ZQ_TList raw;
  raw.AddAtTail(ZQ_TAny::Adopt(Chain({"[0]==0x52", "FileFormat=RAW", "FillLevel=2"}, false).release()));
  table.Add("CF_RAW", ZQ_TAny(raw));
  table.Add("CF_EMPTY", ZQ_TAny(ZQ_TList()));
  return table;
}

// `text` as a JSON string.
std::string Json(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, c < 0x20 || c == '"' || c == '\\' ? "\\u%04x" : "%c", c);
    out += escaped;
  }
  return out + "\"";
}

IMR_TMagicTable Providers() {
  static const char* const kA[] = {"[0]==0x41", "FileFormat=A", "FillLevel=2", nullptr};
  static const char* const* const kTable[] = {kA, nullptr};
  return kTable;
}

std::string gLoadLog;

class Environment : public ::testing::Environment {
 public:
  void SetUp() override {
    ASSERT_TRUE(__ZQ_INITIALIZATION_FUNCTION_IMR__());
    const ZQ_TDict table = Table();
    std::string magic = Form() == "text" ? Written(table) : Hex(Packed(table), Form() != "hex-lower");
    if (Form() == "bad-char") magic[magic.size() / 2] = 'G';
    if (Form() == "odd-length") magic += "0";
    if (Form() == "none") magic.clear();
    std::string imr = "\"Selections\": {\"CF SELECTION\": [\"CF_ENTRY\", \"CF_RAW\"]}, "
                      "\"ExtensionList\": \"tif;tiff\"";
    if (!magic.empty()) imr += ", \"Magic\": " + Json(magic);
    WriteFile(iDir / "overlay.json", "{\"Resources\": {\"Modules\": {\"IMR\": {" + imr + "}}}}");
    ::setenv("IMR_CONFIG", (iDir / "overlay.json").c_str(), 1);
    PXC_CfsReload();
    ASSERT_TRUE(PXC_CfsWrap().LoadError().IsEmpty()) << PXC_CfsWrap().LoadError();

    IMR_TMagic::RegisterMagic(ZQ_TString("CF_A"), &Providers);
    IMR_TMagic::RegisterMagic(ZQ_TString("CF_B(x)"), &Providers);
    IMR_TMagic::AddInTrustLessList(ZQ_TString("CF_B"));
    TraceCapture capture(0x04 | 0x40);
    IMR_TMagic::LoadConfiguration();
    gLoadLog = capture.Text();
  }

 private:
  TempDir iDir;
};
const ::testing::Environment* const kEnvironment = ::testing::AddGlobalTestEnvironment(new Environment);

TEST(ConfiguredTable, LoadedOnceInItsFormOrNotAtAll) {
  SCOPED_TRACE(gLoadLog);
  EXPECT_EQ(Count(gLoadLog, "IMR_TMagic::LoadConfiguration()"), 1u);
  EXPECT_EQ(Count(gLoadLog, "LoadConfiguration - failed = empty config will be used"),
            Loads() || Form() == "none" ? 0u : 1u);
  EXPECT_EQ(Count(gLoadLog, "IMR_TMagic::LoadConfiguration - loading selection list\n"), 1u);
  // The table holds the configured chains, or nothing when they do not read.
  const ZQ_TDict& entries = IMR_TMagic::MagicEntries();
  const ZQ_TDict expected = Loads() ? Table() : ZQ_TDict();
  ASSERT_EQ(entries.Entries(), expected.Entries());
  for (const ZQ_TDict::Entry& entry : expected) {
    SCOPED_TRACE(entry.key.Std());
    const ZQ_TAny* loaded = entries.ValueOfKey(entry.key);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(PXC_Any2String(*loaded), PXC_Any2String(entry.value));
  }
  // A second load does nothing.
  const std::string selection = Items(DefaultSelection());
  TraceCapture capture(0x04 | 0x40);
  IMR_TMagic::LoadConfiguration();
  EXPECT_EQ(Count(capture.Text(), "loading Magic entry from CFS"), 0u) << capture.Text();
  EXPECT_EQ(IMR_TMagic::MagicEntries().Entries(), expected.Entries());
  EXPECT_EQ(Items(DefaultSelection()), selection);
}

TEST(ConfiguredTable, ChainsRunThroughThePlugin) {
  if (!Loads()) GTEST_SKIP() << "no table in this form";
  IMR_TMagic plugin(ZQ_TString("CF SELECTION"));
  auto describe = [&](const std::string& bytes, PXC_TImageTicket& ticket) {
    PXC_TBuffer buffer = Buffer(bytes);
    return plugin.ImageInfo(buffer, ticket, PXC_FL_FORMAT, 0, IMR_IT_ALL);
  };
  // The second chain's stored-start search with a quote and a backslash.
  PXC_TImageTicket second;
  EXPECT_EQ(describe(Padded(Bytes({'x', 0x90, 6}), 6) + "\"q\\--", second), IMR_PS_RECOGNIZED);
  EXPECT_EQ(second.FileFormat(), ZQ_TString("CFGHIGH"));
  EXPECT_EQ(Extended(second, "Kind"), "high");
  // The unguarded chain meets a buffer without data: the element's error
  // becomes the plugin's.
  PXC_TImageTicket none;
  TraceCapture capture(0x04);
  IMR_EMagicInvalidMagicEntry error = Raised<IMR_EMagicInvalidMagicEntry>([&] { describe("", none); });
  EXPECT_EQ(error.Data().ToText(), ZQ_TString("CF_RAW"));
  EXPECT_EQ(Count(capture.Text(), "Exception occured when trying match CF_RAW"), 1u);
}

TEST(ConfiguredSelections, NamedDefaultAndExtensionList) {
  EXPECT_EQ(IMR_TMagic::ExtensionList(), ZQ_TString("tif;tiff"));
  EXPECT_EQ(Items(IMR_TMagic(ZQ_TString("CF SELECTION")).Selection()), "CF_ENTRY CF_RAW");
  // The default selection holds every name once: of the configured table,
  // of the configuration's providers, and registered ones, trust-less last.
  const ZQ_TList& selection = DefaultSelection();
  const std::string items = " " + Items(selection) + " ";
  EXPECT_EQ(Count(items, " CF_A "), 1u);
  EXPECT_EQ(Count(items, " CF_B(x) "), 1u);
  EXPECT_EQ(selection[selection.Entries() - 1].ToText(), ZQ_TString("CF_B(x)"));
  EXPECT_EQ(Count(items, " TIFF "), 1u);
  EXPECT_EQ(Count(items, " CF_ENTRY "), Loads() ? 1u : 0u);
}

}  // namespace
