// The magic plugin over provider tables registered by the tests: statuses,
// selection items and their arguments, precedence, lazily added entries, and
// the process-wide tables and selections they live in.
#include <unistd.h>

#include <list>

#include "magic_test_support.h"

namespace {

using namespace magictest;

// A provider table of `alternatives`, kept for the life of the process.
IMR_TMagicTable Table(std::vector<std::vector<const char*>> alternatives) {
  static std::list<std::vector<const char*>> texts;
  static std::list<std::vector<const char* const*>> tables;
  std::vector<const char* const*> table;
  for (std::vector<const char*>& alternative : alternatives) {
    alternative.push_back(nullptr);
    table.push_back(texts.emplace_back(std::move(alternative)).data());
  }
  table.push_back(nullptr);
  return tables.emplace_back(std::move(table)).data();
}

// Every entry is named PT_... so that it cannot collide with the shipped ones.
const IMR_TMagicTable kOne = Table({{"[0]==0x41", "TriedOne=yes", "FileFormat=ONE", "FillLevel=2"}});
const IMR_TMagicTable kTwo = Table({{"[0]==0x41", "FileFormat=TWO", "FillLevel=2"}});
// Passes and asks for a further plugin; asks, then fails.
const IMR_TMagicTable kRequest = Table({{"[0]==0x41", "FileFormat=REQ", "imr_plugin=NEXT", "FillLevel=2"}});
const IMR_TMagicTable kRequestFails = Table({{"imr_plugin=LATER", "[0]==0x5A", "FileFormat=Z"}});
// A first chain that passes below the level, a second one that reaches it.
const IMR_TMagicTable kLow = Table({{"[0]==0x41", "Low=yes", "FillLevel=1"},
                                    {"[0]==0x41", "FileFormat=LOW", "FillLevel=2"}});
// No chains; empty alternatives around a real one; a valid chain, then an invalid text.
const IMR_TMagicTable kEmpty = Table({});
const IMR_TMagicTable kSkips = Table({{}, {"[0]==0x41", "FileFormat=TWO", "FillLevel=2"}, {}});
const IMR_TMagicTable kBad = Table({{"[0]==0x41", "FileFormat=TWO", "FillLevel=2"},
                                    {"[0]==0x41", "[1] ==0x42", "FileFormat=BAD"}});

class Environment : public ::testing::Environment {
 public:
  void SetUp() override {
    ASSERT_TRUE(__ZQ_INITIALIZATION_FUNCTION_IMR__());
    IMR_TMagic::LoadConfiguration();
    for (auto [name, provider] : std::initializer_list<std::pair<const char*, IMR_TMagicProvider>>{
             {"PT_ONE", [] { return kOne; }}, {"PT_TWO", [] { return kTwo; }},
             {"PT_REQ", [] { return kRequest; }}, {"PT_REQFAIL", [] { return kRequestFails; }},
             {"PT_LOW", [] { return kLow; }}, {"PT_EMPTY", [] { return kEmpty; }},
             {"PT_NOTABLE", [] { return IMR_TMagicTable(); }}, {"PT_BAD", [] { return kBad; }},
             {"(PT)", [] { return kTwo; }}}) {
      IMR_TMagic::RegisterMagic(ZQ_TString(name), provider);
    }
  }
};
const ::testing::Environment* const kEnvironment = ::testing::AddGlobalTestEnvironment(new Environment);

struct Result {
  IMR_TPluginStatus status;
  PXC_TImageTicket ticket;
};

Result Describe(IMR_TMagic& plugin, const std::string& bytes, PXC_TFillLevel level = PXC_FL_FORMAT) {
  Result result;
  PXC_TBuffer buffer = Buffer(bytes);
  result.status = plugin.ImageInfo(buffer, result.ticket, level, 0, IMR_IT_ALL);
  return result;
}

Result Describe(std::initializer_list<const char*> items, const std::string& bytes,
                PXC_TFillLevel level = PXC_FL_FORMAT) {
  IMR_TMagic plugin(List(items));
  return Describe(plugin, bytes, level);
}

// The format the items give, "-" when not recognised.
std::string Format(std::initializer_list<const char*> items, const std::string& bytes) {
  Result result = Describe(items, bytes);
  return result.status == IMR_PS_RECOGNIZED ? result.ticket.FileFormat().Std() : "-";
}

std::size_t Chains(const char* name) {
  const ZQ_TAny* entry = std::as_const(IMR_TMagic::MagicEntries()).ValueOfKey(name);
  const ZQ_TList* list = entry ? entry->DynamicCast<ZQ_TList>() : nullptr;
  return list ? list->Entries() : 0;
}

std::size_t Occurrences(const ZQ_TList& list, const char* item) {
  return Count(" " + Items(list) + " ", std::string(" ") + item + " ");
}

TEST(Plugin, StatusesAndPluginRequests) {
  Result hit = Describe({"PT_ONE"}, "A-");
  EXPECT_EQ(hit.status, IMR_PS_RECOGNIZED);
  EXPECT_EQ(hit.ticket.FileFormat(), ZQ_TString("ONE"));
  EXPECT_EQ(hit.ticket.FillLevel(), PXC_FL_FORMAT);
  Result miss = Describe({"PT_ONE"}, "B-");
  EXPECT_EQ(miss.status, IMR_PS_NOT_RECOGNIZED);
  EXPECT_TRUE(miss.ticket.FileFormat().IsEmpty());
  // A request changes the list, even in a chain that then fails; an item's
  // argument goes with the request.
  Result changed = Describe({"PT_REQFAIL"}, "A-");
  EXPECT_EQ(changed.status, IMR_PS_LIST_CHANGED);
  EXPECT_EQ(PluginList(changed.ticket), "LATER,");
  Result both = Describe({"PT_REQFAIL", "PT_ONE"}, "A-");
  EXPECT_EQ(both.status, IMR_PS_RECOGNIZED_LIST_CHANGED);
  EXPECT_EQ(both.ticket.FileFormat(), ZQ_TString("ONE"));
  Result argument = Describe({"PT_REQ(page7)"}, "A-");
  EXPECT_EQ(argument.status, IMR_PS_RECOGNIZED_LIST_CHANGED);
  EXPECT_EQ(PluginList(argument.ticket), "NEXT,page7");
  EXPECT_EQ(Describe({"PT_REQ(rest"}, "A-").status, IMR_PS_RECOGNIZED_LIST_CHANGED);
  EXPECT_EQ(Format({"(PT)"}, "A-"), "TWO");  // an item starting with "(" is a name, whole

  // The entries name the file, image 0; another image is never theirs to
  // answer: they only name the plugins that can tell.
  for (const char* entry : {"PT_ONE", "PT_REQ"}) {
    IMR_TMagic plugin(List({entry}));
    PXC_TImageTicket ticket;
    const PXC_TBuffer buffer = Buffer("A-");
    EXPECT_EQ(plugin.ImageInfo(buffer, ticket, PXC_FL_FORMAT, 1, IMR_IT_ALL),
              entry == std::string("PT_ONE") ? IMR_PS_NOT_RECOGNIZED : IMR_PS_LIST_CHANGED);
  }
}

TEST(Plugin, Precedence) {
  // The first item passing at the level wins; later ones are not run.
  Result two = Describe({"PT_TWO", "PT_ONE"}, "A-");
  EXPECT_EQ(two.ticket.FileFormat(), ZQ_TString("TWO"));
  EXPECT_EQ(Extended(two.ticket, "TriedOne"), "-");
  EXPECT_EQ(Format({"PT_ONE", "PT_TWO"}, "A-"), "ONE");
  // A pass below the level goes on and keeps its fields.
  Result low = Describe({"PT_LOW"}, "A-");
  EXPECT_EQ(low.ticket.FileFormat(), ZQ_TString("LOW"));
  EXPECT_EQ(Extended(low.ticket, "Low"), "yes");
  // Asked for more than any chain gives: not recognised, fields kept.
  Result deeper = Describe({"PT_ONE", "PT_TWO"}, "A-", PXC_FL_GEOMETRY);
  EXPECT_EQ(deeper.status, IMR_PS_NOT_RECOGNIZED);
  EXPECT_EQ(deeper.ticket.FileFormat(), ZQ_TString("ONE"));
  // Names without providers, tables or chains are passed over.
  EXPECT_EQ(Format({"PT_NOBODY", "PT_EMPTY", "PT_NOTABLE", "PT_TWO"}, "A-"), "TWO");
  EXPECT_FALSE(IMR_TMagic::MagicEntries().HasKey("PT_NOBODY"));
  EXPECT_TRUE(IMR_TMagic::MagicEntries().HasKey("PT_NOTABLE"));
  EXPECT_EQ(Chains("PT_NOTABLE"), 0u);
  EXPECT_EQ(Format({}, "A-"), "-");
}

TEST(Plugin, LeadingTestsDecideAsTheChainWould) {
  // Chains starting with equality tests, which the plugin screens on its own
  // before running them: masked, beyond a short buffer, failing after them.
  IMR_TMagic::AddMagicEntry(ZQ_TString("PT_LEAD"),
                            Table({{"[0]&0xF0==0x40", "[1]==0x42", "[5]==0x43", "[2]==0x21", "[3]==0x22",
                                    "FileFormat=LEAD", "FillLevel=2"},
                                   {"[0]==0x58", "[7]<0x10", "FileFormat=LEADLESS", "FillLevel=2"},
                                   {"[0]==0x59", "FileFormat=SHORT", "FillLevel=2"}}));
  const std::pair<std::string, const char*> cases[] = {
      {Bytes({0x4F, 0x42, 0x21, 0x22, 0, 0x43}), "LEAD"}, {Bytes({0x40, 0x42, 0x21, 0x22, 0, 0x43}), "LEAD"},
      {Bytes({0x5F, 0x42, 0x21, 0x22, 0, 0x43}), "-"},    {Bytes({0x4F, 0x42, 0x21, 0x22, 0}), "-"},
      {Bytes({0x4F, 0x42, 0x21, 0x23, 0, 0x43}), "-"},    {Bytes({0x4F, 0x42, 0x20, 0x22, 0, 0x43}), "-"},
      {Bytes({0x58, 0, 0, 0, 0, 0, 0, 0x0F}), "LEADLESS"}, {Bytes({0x58, 0, 0, 0, 0, 0, 0, 0x10}), "-"},
      {Bytes({0x58, 0, 0, 0, 0, 0, 0}), "-"},             {"Y", "SHORT"},
      {"", "-"}};
  for (const auto& [bytes, format] : cases) EXPECT_EQ(Format({"PT_LEAD"}, bytes), format) << Hex(bytes, true);
}

TEST(LazyEntries, AddedOnFirstUseAndAppendedToTheDefaultSelection) {
  IMR_TMagic::RegisterMagic(ZQ_TString("PT_LAZY"), [] { return kOne; });
  IMR_TMagic plugin(List({"PT_LAZY"}));
  EXPECT_FALSE(IMR_TMagic::MagicEntries().HasKey("PT_LAZY"));
  EXPECT_EQ(Occurrences(DefaultSelection(), "PT_LAZY"), 0u);
  for (int run = 0; run < 2; ++run) {
    EXPECT_EQ(Describe(plugin, "A-").status, IMR_PS_RECOGNIZED);
    EXPECT_EQ(Chains("PT_LAZY"), 1u);
    EXPECT_EQ(Occurrences(DefaultSelection(), "PT_LAZY"), 1u);
  }
  // A provider registered after a name was found to have none is used,
  // whether through the magic plugin or the loader itself (as a module does).
  IMR_TMagic late(List({"PT_UNTIL_LATER"}));
  IMR_TMagic loaded(List({"PT_LOADED_LATER"}));
  EXPECT_EQ(Describe(late, "A-").status, IMR_PS_NOT_RECOGNIZED);
  EXPECT_EQ(Describe(loaded, "A-").status, IMR_PS_NOT_RECOGNIZED);
  IMR_TMagic::RegisterMagic(ZQ_TString("PT_UNTIL_LATER"), [] { return kTwo; });
  EXPECT_EQ(Describe(late, "A-").ticket.FileFormat(), ZQ_TString("TWO"));
  PXC_TDynamicLoader::sLoader.RegisterCreator(
      ZQ_TString("IMR_TMatch"), ZQ_TString("PT_LOADED_LATER"),
      reinterpret_cast<PXC_TDynamicLoader::Function>(+[] { return kOne; }));
  EXPECT_EQ(Describe(loaded, "A-").ticket.FileFormat(), ZQ_TString("ONE"));
}

// A file that shrinks while its chains run is a file that cannot be read,
// not an invalid entry.
TEST(Plugin, AFileThatChangesUnderTheChainsIsAReadError) {
  IMR_TMagic::AddMagicEntry(ZQ_TString("PT_FAR"), Table({{"[0]==0x41", "?*4l4=END", "FileFormat=FAR", "FillLevel=2"}}));
  const testsupport::TempDir dir;
  std::string bytes(9000, 'x');
  bytes[0] = 'A';
  bytes[4] = static_cast<char>(8000 & 0xFF);
  bytes[5] = static_cast<char>(8000 >> 8);
  bytes[6] = bytes[7] = 0;
  bytes.replace(8100, 3, "END");
  testsupport::WriteFile(dir / "far", bytes);
  const PXC_TBuffer buffer(ZQ_TURL::FromPath(ZQ_TString(dir / "far")), 0, 0, 4096);
  IMR_TMagic plugin(List({"PT_FAR"}));
  PXC_TImageTicket ticket;
  ASSERT_EQ(::truncate((dir / "far").c_str(), 100), 0);
  EXPECT_THROW(plugin.ImageInfo(buffer, ticket, PXC_FL_FORMAT, 0, IMR_IT_ALL), PXC_EBuffer);
}

TEST(LazyEntries, BuiltOnlyWhenAFilesFirstByteReachesThem) {
  // The first texts say which first bytes each chain may pass with: masked,
  // exact, or (not a test at offset 0) any.
  IMR_TMagic::RegisterMagic(ZQ_TString("PT_FIRST"), [] {
    static const IMR_TMagicTable table = Table({{"[0]&0xF0==0x40", "FileFormat=FORTY", "FillLevel=2"},
                                                {"[0]==0x5A", "FileFormat=ZED", "FillLevel=2"}});
    return table;
  });
  IMR_TMagic::RegisterMagic(ZQ_TString("PT_ANYWHERE"), [] {
    static const IMR_TMagicTable table = Table({{"[1]==0x2D", "FileFormat=DASH", "FillLevel=2"}});
    return table;
  });
  IMR_TMagic plugin(List({"PT_FIRST", "PT_ANYWHERE"}));
  for (const char* passedOver : {"0-", "[-", "z-"}) {
    EXPECT_EQ(Describe(plugin, passedOver).ticket.FileFormat(), ZQ_TString("DASH")) << passedOver;
  }
  EXPECT_FALSE(IMR_TMagic::MagicEntries().HasKey("PT_FIRST"));
  EXPECT_TRUE(IMR_TMagic::MagicEntries().HasKey("PT_ANYWHERE"));
  for (const auto& [bytes, format] : {std::pair{"O-", "FORTY"}, {"@-", "FORTY"}, {"Z-", "ZED"}, {"z-", "DASH"}}) {
    EXPECT_EQ(Describe(plugin, bytes).ticket.FileFormat(), ZQ_TString(format)) << bytes;
  }
  EXPECT_EQ(Chains("PT_FIRST"), 2u);
  EXPECT_EQ(Occurrences(DefaultSelection(), "PT_FIRST"), 1u);
}

TEST(LazyEntries, InvalidProviderTextKeepsTheChainsBuiltBeforeIt) {
  IMR_TMagic plugin(List({"PT_BAD"}));
  IMR_EMagicInvalidMagicEntry error = Raised<IMR_EMagicInvalidMagicEntry>([&] { Describe(plugin, "AB"); });
  EXPECT_EQ(error.Data().ToText(), ZQ_TString("PT_BAD"));
  EXPECT_EQ(Chains("PT_BAD"), 1u);
  EXPECT_EQ(Describe(plugin, "AB").ticket.FileFormat(), ZQ_TString("TWO"));  // the valid chain runs
}

TEST(Tables, AddingEntries) {
  // Adding an entry again replaces its chains; the name stays once, last, in
  // the default selection.
  IMR_TMagic::AddMagicEntry(ZQ_TString("PT_REPL"), Table({{"[0]==0x4F", "FileFormat=OLD", "FillLevel=2"}}));
  EXPECT_EQ(Format({"PT_REPL"}, "O-"), "OLD");
  IMR_TMagic::AddMagicEntry(ZQ_TString("PT_REPL"), Table({{"[0]==0x4E", "FileFormat=NEW", "FillLevel=2"},
                                                          {"[0]==0x6E", "FileFormat=NEW", "FillLevel=2"}}));
  EXPECT_EQ(Format({"PT_REPL"}, "O-"), "-");
  EXPECT_EQ(Format({"PT_REPL"}, "n-"), "NEW");
  EXPECT_EQ(Occurrences(DefaultSelection(), "PT_REPL"), 1u);
  EXPECT_EQ(DefaultSelection()[DefaultSelection().Entries() - 1].ToText(), ZQ_TString("PT_REPL"));
  // Empty alternatives are skipped (empty and null tables: Plugin.Precedence).
  IMR_TMagic::AddMagicEntry(ZQ_TString("PT_SKIPPING"), kSkips);
  EXPECT_EQ(Chains("PT_SKIPPING"), 1u);
}

TEST(Tables, DirectEditsAreSeenByTheNextMatch) {
  // A host may edit the table itself between detections.
  ZQ_TDict& table = IMR_TMagic::MagicEntries();
  for (const char* format : {"DIRECT", "EDITED"}) {
    const std::string assignment = std::string("FileFormat=") + format;
    ZQ_TList edited;
    edited.AddAtTail(ZQ_TAny::Adopt(Chain({"[0]==0x44", assignment.c_str(), "FillLevel=2"}).release()));
    table["PT_DIRECT"] = ZQ_TAny(edited);
    EXPECT_EQ(Format({"PT_DIRECT"}, "D-"), format);
  }
}

TEST(Selections, NamedSelectionsAndDoubleEntries) {
  IMR_TMagic::AddToSelections(ZQ_TString("PT SELECTION"), List({"PT_TWO"}), false);
  IMR_TMagic plugin(ZQ_TString("PT SELECTION"));
  EXPECT_EQ(Items(plugin.Selection()), "PT_TWO");
  IMR_EMagicDoubleSelectionEntry error = Raised<IMR_EMagicDoubleSelectionEntry>(
      [] { IMR_TMagic::AddToSelections(ZQ_TString("PT SELECTION"), List({"PT_ONE"}), false); });
  EXPECT_EQ(error.Message(), ZQ_TString("Selection already exists"));
  EXPECT_EQ(error.Data().ToText(), ZQ_TString("PT SELECTION"));
  EXPECT_EQ(Items(IMR_TMagic(ZQ_TString("PT SELECTION")).Selection()), "PT_TWO");
  IMR_TMagic::AddToSelections(ZQ_TString("PT SELECTION"), List({"PT_ONE", "PT_TWO"}), true);
  EXPECT_EQ(Items(IMR_TMagic(ZQ_TString("PT SELECTION")).Selection()), "PT_ONE PT_TWO");
  // A plugin keeps the copy it was built with.
  EXPECT_EQ(Items(plugin.Selection()), "PT_TWO");
  EXPECT_EQ(Describe(plugin, "A-").ticket.FileFormat(), ZQ_TString("TWO"));
  Raised<IMR_EMagicFileNotGiven>([] { IMR_TMagic missing(ZQ_TString("PT NO SUCH SELECTION")); });
}

// Registered names marked trust-less go last: ConfiguredSelections.
TEST(Selections, MarkingANameTrustLessMovesItLast) {
  // Once, also after a rebuild; trusted names added later still come before it.
  IMR_TMagic::AddMagicEntry(ZQ_TString("PT_MOVED"), kTwo);
  IMR_TMagic::AddMagicEntry(ZQ_TString("PT_STAYS"), kTwo);
  auto tail = [] {
    const std::string items = Items(DefaultSelection());
    return items.substr(items.size() - 17);
  };
  ASSERT_EQ(tail(), "PT_MOVED PT_STAYS");
  IMR_TMagic::AddInTrustLessList(ZQ_TString("PT_MOVED"));
  EXPECT_EQ(tail(), "PT_STAYS PT_MOVED");
  const std::string after = Items(DefaultSelection());
  IMR_TMagic::AddInTrustLessList(ZQ_TString("PT_MOVED"));
  EXPECT_EQ(Items(DefaultSelection()), after);
  IMR_TMagic::AddMagicEntry(ZQ_TString("PT_LATER"), kTwo);
  IMR_TMagic::UpdateDefaultSelection(ZQ_TString());
  EXPECT_EQ(Occurrences(DefaultSelection(), "PT_MOVED"), 1u);
  EXPECT_EQ(tail(), "PT_LATER PT_MOVED");
}

}  // namespace
