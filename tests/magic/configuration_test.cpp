// Loading the magic table from the configuration.  The configuration is read
// once per process, so each run of this executable loads one form of it,
// named by MAGICTEST_FORM:
//   text        the table in human-readable form
//   hex-upper   the table packed and spelled in upper-case hexadecimal
//   hex-lower   the same in lower case
//   bad-char    hexadecimal with one character that is not a digit
//   odd-length  hexadecimal with one digit too many
//   none        no magic value at all
// Before the load, providers CF_A and CF_B(x) are registered and CF_B is
// marked trust-less.
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
  guarded.AddAtTail(ZQ_TAny::Adopt(
      Chain({"[0]!=0x43", "[1]>=0x80", "?*2l1=\"q\\", "Kind=high", "FileFormat=CFGHIGH",
             "FillLevel=2"})
          .release()));
  table.Add("CF_ENTRY", ZQ_TAny(guarded));
  ZQ_TList raw;
  raw.AddAtTail(ZQ_TAny::Adopt(Chain({"[0]==0x52", "FileFormat=RAW", "FillLevel=2"}, false).release()));
  table.Add("CF_RAW", ZQ_TAny(raw));
  table.Add("CF_EMPTY", ZQ_TAny(ZQ_TList()));
  return table;
}

std::string Json(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
          out += escaped;
        } else {
          out += static_cast<char>(c);
        }
    }
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
    std::string magic;
    if (Form() == "text") {
      magic = Written(table);
    } else if (Form() == "hex-upper" || Form() == "hex-lower") {
      magic = Hex(Packed(table), Form() == "hex-upper");
    } else if (Form() == "bad-char") {
      magic = Hex(Packed(table), true);
      magic[magic.size() / 2] = 'G';
    } else if (Form() == "odd-length") {
      magic = Hex(Packed(table), true) + "0";
    }
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
const ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new Environment);

const char* const kHex = "IMR_TMagic::LoadConfiguration - handling as hexadecimal string";
const char* const kFailed = "IMR_TMagic::LoadConfiguration - failed = empty config will be used";
const char* const kNull =
    "IMR_TMagic::LoadConfiguration - CFS call returned NULL, empty config will be used";

TEST(ConfiguredTable, TracesOfTheLoad) {
  SCOPED_TRACE(gLoadLog);
  EXPECT_EQ(Count(gLoadLog, "IMR_TMagic::LoadConfiguration()"), 1u);
  EXPECT_EQ(Count(gLoadLog, kHex), Form() == "text" || Form() == "none" ? 0u : 1u);
  EXPECT_EQ(Count(gLoadLog, kFailed), Loads() || Form() == "none" ? 0u : 1u);
  EXPECT_EQ(Count(gLoadLog, kNull), Form() == "none" ? 1u : 0u);
  EXPECT_EQ(Count(gLoadLog, "IMR_TMagic::LoadConfiguration - loading selection list\n"), 1u);
  EXPECT_EQ(Count(gLoadLog, "loading selection list failed"), 0u);
  EXPECT_EQ(Count(gLoadLog, "IMR_TMagic::LoadConfiguration Entries = "), 1u);
}

TEST(ConfiguredTable, HoldsTheConfiguredChainsOrNothing) {
  ZQ_TDict& entries = IMR_TMagic::MagicEntries();
  if (!Loads()) {
    EXPECT_EQ(entries.Entries(), 0u);
    return;
  }
  const ZQ_TDict expected = Table();
  ASSERT_EQ(entries.Entries(), expected.Entries());
  for (const ZQ_TDict::Entry& entry : expected) {
    SCOPED_TRACE(entry.key.Std());
    const ZQ_TAny* loaded = std::as_const(entries).ValueOfKey(entry.key);
    ASSERT_NE(loaded, nullptr);
    const ZQ_TList* chains = loaded->DynamicCast<ZQ_TList>();
    const ZQ_TList* wanted = entry.value.DynamicCast<ZQ_TList>();
    ASSERT_NE(chains, nullptr);
    ASSERT_EQ(chains->Entries(), wanted->Entries());
    for (std::uint32_t i = 0; i < chains->Entries(); ++i) {
      const IMR_TMatch* chain = (*chains)[i].DynamicCast<IMR_TMatch>();
      ASSERT_NE(chain, nullptr);
      EXPECT_EQ(Printed(*chain), Printed(*(*wanted)[i].DynamicCast<IMR_TMatch>()));
    }
  }
}

TEST(ConfiguredTable, ChainsRunThroughThePlugin) {
  if (!Loads()) GTEST_SKIP() << "no table in this form";
  IMR_TMagic plugin(ZQ_TString("CF SELECTION"));
  auto describe = [&](const std::string& bytes, PXC_TImageTicket& ticket) {
    PXC_TBuffer buffer = Buffer(bytes);
    return plugin.ImageInfo(buffer, ticket, PXC_FL_FORMAT, 0, IMR_IT_ALL);
  };
  PXC_TImageTicket first;
  EXPECT_EQ(describe("CF-cfg-", first), IMR_PS_RECOGNIZED);
  EXPECT_EQ(first.FileFormat(), ZQ_TString("CFG"));
  PXC_TImageTicket second;
  EXPECT_EQ(describe(Padded(Bytes({'x', 0x90, 6}), 6) + "\"q\\--", second), IMR_PS_RECOGNIZED);
  EXPECT_EQ(second.FileFormat(), ZQ_TString("CFGHIGH"));
  EXPECT_EQ(Extended(second, "Kind"), "high");
  PXC_TImageTicket raw;
  EXPECT_EQ(describe("R", raw), IMR_PS_RECOGNIZED);
  EXPECT_EQ(raw.FileFormat(), ZQ_TString("RAW"));
  // The unguarded chain meets a buffer without data: the element's error
  // becomes the plugin's.
  PXC_TImageTicket none;
  TraceCapture capture(0x04);
  IMR_EMagicInvalidMagicEntry error =
      Raised<IMR_EMagicInvalidMagicEntry>([&] { describe("", none); });
  EXPECT_EQ(error.Data().ToText(), ZQ_TString("CF_RAW"));
  EXPECT_EQ(Count(capture.Text(), "Exception occured when trying match CF_RAW"), 1u);
}

TEST(ConfiguredSelections, SelectionsAndExtensionList) {
  EXPECT_EQ(IMR_TMagic::ExtensionList(), ZQ_TString("tif;tiff"));
  EXPECT_EQ(Items(IMR_TMagic(ZQ_TString("CF SELECTION")).Selection()), "CF_ENTRY CF_RAW");
}

TEST(ConfiguredSelections, DefaultSelectionHoldsEveryNameTrustLessLast) {
  const ZQ_TList& selection = DefaultSelection();
  const std::string items = " " + Items(selection) + " ";
  EXPECT_EQ(Count(items, " CF_A "), 1u);
  EXPECT_EQ(Count(items, " CF_B(x) "), 1u);
  EXPECT_EQ(selection[selection.Entries() - 1].ToText(), ZQ_TString("CF_B(x)"));
  EXPECT_LT(items.find(" CF_A "), items.find(" CF_B(x) "));
  // Names of the configured table and of the configuration's providers.
  EXPECT_EQ(Count(items, " TIFF "), 1u);
  EXPECT_EQ(Count(items, " CF_ENTRY "), Loads() ? 1u : 0u);
}

TEST(ConfiguredTable, ASecondLoadDoesNothing) {
  const std::string before = Items(DefaultSelection());
  const std::uint32_t entries = IMR_TMagic::MagicEntries().Entries();
  TraceCapture capture(0x04 | 0x40);
  IMR_TMagic::LoadConfiguration();
  const std::string log = capture.Text();
  EXPECT_EQ(Count(log, "IMR_TMagic::LoadConfiguration()"), 1u) << log;
  EXPECT_EQ(Count(log, "loading Magic entry from CFS"), 0u) << log;
  EXPECT_EQ(IMR_TMagic::MagicEntries().Entries(), entries);
  EXPECT_EQ(Items(DefaultSelection()), before);
}

}  // namespace
