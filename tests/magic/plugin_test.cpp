// The magic plugin over provider tables registered by the tests: statuses,
// selection items and their arguments, precedence, lazily added entries, and
// the process-wide tables and selections they live in.
#include "magic_test_support.h"

namespace {

using namespace magictest;

// Provider tables.  Every entry is named PT_... so that it cannot collide
// with the shipped ones.
const char* const kOneA[] = {"[0]==0x41", "TriedOne=yes", "FileFormat=ONE", "FillLevel=2", nullptr};
const char* const* const kOne[] = {kOneA, nullptr};
IMR_TMagicTable One() { return kOne; }

const char* const kTwoA[] = {"[0]==0x41", "FileFormat=TWO", "FillLevel=2", nullptr};
const char* const* const kTwo[] = {kTwoA, nullptr};
IMR_TMagicTable Two() { return kTwo; }

// Passes and asks for a further plugin.
const char* const kRequestA[] = {"[0]==0x41", "FileFormat=REQ", "imr_plugin=NEXT", "FillLevel=2",
                                 nullptr};
const char* const* const kRequest[] = {kRequestA, nullptr};
IMR_TMagicTable Request() { return kRequest; }

// Asks for a further plugin, then fails.
const char* const kRequestFailsA[] = {"imr_plugin=LATER", "[0]==0x5A", "FileFormat=ZZZ",
                                      "FillLevel=2", nullptr};
const char* const* const kRequestFails[] = {kRequestFailsA, nullptr};
IMR_TMagicTable RequestFails() { return kRequestFails; }

// A first chain that passes below the level, a second one that reaches it.
const char* const kLowA[] = {"[0]==0x41", "Low=yes", "FillLevel=1", nullptr};
const char* const kLowB[] = {"[0]==0x41", "FileFormat=LOW", "FillLevel=2", nullptr};
const char* const* const kLow[] = {kLowA, kLowB, nullptr};
IMR_TMagicTable Low() { return kLow; }

// No chains at all, and a null alternative before a real one.
const char* const* const kEmpty[] = {nullptr};
IMR_TMagicTable Empty() { return kEmpty; }
const char* const kNullFirst[] = {nullptr};
const char* const* const kSkips[] = {kNullFirst, kTwoA, kNullFirst, nullptr};
IMR_TMagicTable Skips() { return kSkips; }
IMR_TMagicTable NoTable() { return nullptr; }

// A valid alternative followed by one with an invalid text.
const char* const kBadB[] = {"[0]==0x41", "[1] ==0x42", "FileFormat=BAD", nullptr};
const char* const* const kBad[] = {kTwoA, kBadB, nullptr};
IMR_TMagicTable Bad() { return kBad; }

// Chains whose leading equality tests the plugin may decide on its own
// before running them: masked, beyond a short buffer, failing after them.
const char* const kLeadA[] = {"[0]&0xF0==0x40", "[1]==0x42", "[5]==0x43", "[2]==0x21", "[3]==0x22",
                              "FileFormat=LEAD", "FillLevel=2", nullptr};
const char* const kLeadB[] = {"[0]==0x58", "[7]<0x10", "FileFormat=LEADLESS", "FillLevel=2", nullptr};
const char* const kLeadC[] = {"[0]==0x59", "FileFormat=SHORT", "FillLevel=2", nullptr};
const char* const* const kLead[] = {kLeadA, kLeadB, kLeadC, nullptr};

// Two generations of one entry.
const char* const kOldA[] = {"[0]==0x4F", "FileFormat=OLD", "FillLevel=2", nullptr};
const char* const* const kOld[] = {kOldA, nullptr};
const char* const kNewA[] = {"[0]==0x4E", "FileFormat=NEW", "FillLevel=2", nullptr};
const char* const kNewB[] = {"[0]==0x6E", "FileFormat=NEW", "FillLevel=2", nullptr};
const char* const* const kNew[] = {kNewA, kNewB, nullptr};

class Environment : public ::testing::Environment {
 public:
  void SetUp() override {
    ASSERT_TRUE(__ZQ_INITIALIZATION_FUNCTION_IMR__());
    IMR_TMagic::LoadConfiguration();
    for (auto [name, provider] : std::initializer_list<std::pair<const char*, IMR_TMagicProvider>>{
             {"PT_ONE", &One}, {"PT_TWO", &Two}, {"PT_REQ", &Request},
             {"PT_REQFAIL", &RequestFails}, {"PT_LOW", &Low}, {"PT_EMPTY", &Empty},
             {"PT_SKIPS", &Skips}, {"PT_NOTABLE", &NoTable}, {"PT_BAD", &Bad},
             {"(PT)", &Two}}) {
      IMR_TMagic::RegisterMagic(ZQ_TString(name), provider);
    }
  }
};
const ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new Environment);

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

std::size_t Chains(const char* name) {
  const ZQ_TAny* entry = std::as_const(IMR_TMagic::MagicEntries()).ValueOfKey(name);
  const ZQ_TList* list = entry ? entry->DynamicCast<ZQ_TList>() : nullptr;
  return list ? list->Entries() : 0;
}

std::size_t Occurrences(const ZQ_TList& list, const char* item) {
  std::size_t count = 0;
  for (const ZQ_TList::Entry& entry : list) count += entry.value.ToText() == ZQ_TString(item);
  return count;
}

TEST(PluginStatus, RecognizedOrNot) {
  Result hit = Describe({"PT_ONE"}, "A-");
  EXPECT_EQ(hit.status, IMR_PS_RECOGNIZED);
  EXPECT_EQ(hit.ticket.FileFormat(), ZQ_TString("ONE"));
  EXPECT_EQ(hit.ticket.FillLevel(), PXC_FL_FORMAT);
  Result miss = Describe({"PT_ONE"}, "B-");
  EXPECT_EQ(miss.status, IMR_PS_NOT_RECOGNIZED);
  EXPECT_TRUE(miss.ticket.FileFormat().IsEmpty());
}

TEST(PluginStatus, PluginRequestsChangeTheList) {
  Result recognized = Describe({"PT_REQ"}, "A-");
  EXPECT_EQ(recognized.status, IMR_PS_RECOGNIZED_LIST_CHANGED);
  EXPECT_EQ(PluginList(recognized.ticket), "NEXT,");
  // A request in a chain that then fails still changes the list.
  Result changed = Describe({"PT_REQFAIL"}, "A-");
  EXPECT_EQ(changed.status, IMR_PS_LIST_CHANGED);
  EXPECT_EQ(PluginList(changed.ticket), "LATER,");
  // ... and a later chain that passes makes it 2.
  Result both = Describe({"PT_REQFAIL", "PT_ONE"}, "A-");
  EXPECT_EQ(both.status, IMR_PS_RECOGNIZED_LIST_CHANGED);
  EXPECT_EQ(both.ticket.FileFormat(), ZQ_TString("ONE"));
}

TEST(PluginStatus, ItemArgumentsReachThePluginRequest) {
  Result result = Describe({"PT_REQ(page7)"}, "A-");
  EXPECT_EQ(result.status, IMR_PS_RECOGNIZED_LIST_CHANGED);
  EXPECT_EQ(PluginList(result.ticket), "NEXT,page7");
  Result unclosed = Describe({"PT_REQ(rest"}, "A-");
  EXPECT_EQ(unclosed.status, IMR_PS_RECOGNIZED_LIST_CHANGED);
  // An item that starts with "(" is an entry name, whole.
  Result paren = Describe({"(PT)"}, "A-");
  EXPECT_EQ(paren.status, IMR_PS_RECOGNIZED);
  EXPECT_EQ(paren.ticket.FileFormat(), ZQ_TString("TWO"));
}

TEST(PluginPrecedence, FirstPassingItemAtTheLevelWins) {
  Result result = Describe({"PT_TWO", "PT_ONE"}, "A-");
  EXPECT_EQ(result.ticket.FileFormat(), ZQ_TString("TWO"));
  EXPECT_EQ(Extended(result.ticket, "TriedOne"), "-");  // never run
  Result other = Describe({"PT_ONE", "PT_TWO"}, "A-");
  EXPECT_EQ(other.ticket.FileFormat(), ZQ_TString("ONE"));
}

TEST(PluginPrecedence, APassBelowTheLevelGoesOnAndKeepsItsFields) {
  Result result = Describe({"PT_LOW"}, "A-");
  EXPECT_EQ(result.status, IMR_PS_RECOGNIZED);
  EXPECT_EQ(Extended(result.ticket, "Low"), "yes");
  EXPECT_EQ(result.ticket.FileFormat(), ZQ_TString("LOW"));
  // Asked for more than any chain gives: not recognised, fields kept.
  Result deeper = Describe({"PT_ONE", "PT_TWO"}, "A-", PXC_FL_GEOMETRY);
  EXPECT_EQ(deeper.status, IMR_PS_NOT_RECOGNIZED);
  EXPECT_EQ(deeper.ticket.FileFormat(), ZQ_TString("ONE"));
}

TEST(PluginPrecedence, EntriesWithoutChainsOrProvidersArePassedOver) {
  EXPECT_EQ(Describe({"PT_NOBODY", "PT_EMPTY", "PT_NOTABLE", "PT_TWO"}, "A-").status,
            IMR_PS_RECOGNIZED);
  EXPECT_EQ(Describe({"PT_NOBODY", "PT_EMPTY"}, "A-").status, IMR_PS_NOT_RECOGNIZED);
  EXPECT_FALSE(IMR_TMagic::MagicEntries().HasKey("PT_NOBODY"));
  EXPECT_EQ(Chains("PT_EMPTY"), 0u);
  EXPECT_EQ(Chains("PT_NOTABLE"), 0u);
  EXPECT_EQ(Describe({}, "A-").status, IMR_PS_NOT_RECOGNIZED);
}

TEST(PluginPrecedence, LeadingTestsDecideAsTheChainWould) {
  IMR_TMagic::AddMagicEntry(ZQ_TString("PT_LEAD"), kLead);
  auto format = [](const std::string& bytes) {
    Result result = Describe({"PT_LEAD"}, bytes);
    return result.status == IMR_PS_RECOGNIZED ? result.ticket.FileFormat().Std() : "-";
  };
  EXPECT_EQ(format(Bytes({0x4F, 0x42, 0x21, 0x22, 0, 0x43})), "LEAD");
  EXPECT_EQ(format(Bytes({0x40, 0x42, 0x21, 0x22, 0, 0x43})), "LEAD");
  EXPECT_EQ(format(Bytes({0x5F, 0x42, 0x21, 0x22, 0, 0x43})), "-");
  EXPECT_EQ(format(Bytes({0x4F, 0x42, 0x21, 0x22, 0})), "-");          // [5] lies beyond
  EXPECT_EQ(format(Bytes({0x4F, 0x42, 0x21, 0x23, 0, 0x43})), "-");    // the fourth test fails
  EXPECT_EQ(format(Bytes({0x4F, 0x42, 0x20, 0x22, 0, 0x43})), "-");
  EXPECT_EQ(format(Bytes({0x58, 0, 0, 0, 0, 0, 0, 0x0F})), "LEADLESS");
  EXPECT_EQ(format(Bytes({0x58, 0, 0, 0, 0, 0, 0, 0x10})), "-");
  EXPECT_EQ(format(Bytes({0x58, 0, 0, 0, 0, 0, 0})), "-");
  EXPECT_EQ(format("Y"), "SHORT");
  EXPECT_EQ(format(""), "-");
}

TEST(PluginPrecedence, ShortBuffersFailAtTheGuard) {
  EXPECT_EQ(Describe({"PT_TWO"}, "A").status, IMR_PS_RECOGNIZED);
  EXPECT_EQ(Describe({"PT_TWO"}, "").status, IMR_PS_NOT_RECOGNIZED);
}

TEST(PluginInterface, SafeAndNeverValidating) {
  IMR_TMagic plugin(List({"PT_ONE"}));
  for (PXC_TFillLevel level : {PXC_FL_EMBEDDED, PXC_FL_FORMAT, PXC_FL_DEPENDENCIES}) {
    EXPECT_TRUE(plugin.IsSafePlugin(level));
  }
  PXC_TImageTicket ticket;
  EXPECT_FALSE(plugin.IsImageValid(ticket));
  Describe(plugin, "A-");
  EXPECT_FALSE(plugin.IsImageValid(ticket));
  // Through the creator registry, over a named selection.
  IMR_IPlugin* created = IMR_TPlugin::CreatorByName(ZQ_TString("IMR_TMagic"))(ZQ_TString());
  ASSERT_NE(created, nullptr);
  EXPECT_NE(dynamic_cast<IMR_TMagic*>(created), nullptr);
  delete created;
}

TEST(PluginInterface, CopiesKeepTheSelection) {
  IMR_TMagic plugin(List({"PT_TWO"}));
  IMR_TMagic copy(plugin);
  EXPECT_EQ(Items(copy.Selection()), "PT_TWO");
  EXPECT_EQ(Describe(copy, "A-").ticket.FileFormat(), ZQ_TString("TWO"));
}

TEST(LazyEntries, AddedOnFirstUseAndAppendedToTheDefaultSelection) {
  IMR_TMagic::RegisterMagic(ZQ_TString("PT_LAZY"), &One);
  IMR_TMagic plugin(List({"PT_LAZY"}));
  EXPECT_FALSE(IMR_TMagic::MagicEntries().HasKey("PT_LAZY"));
  EXPECT_EQ(Occurrences(DefaultSelection(), "PT_LAZY"), 0u);
  EXPECT_EQ(Describe(plugin, "A-").status, IMR_PS_RECOGNIZED);
  EXPECT_EQ(Chains("PT_LAZY"), 1u);
  EXPECT_EQ(Occurrences(DefaultSelection(), "PT_LAZY"), 1u);
  EXPECT_EQ(Describe(plugin, "A-").status, IMR_PS_RECOGNIZED);
  EXPECT_EQ(Occurrences(DefaultSelection(), "PT_LAZY"), 1u);
  // A provider registered after a name was found to have none is used.
  IMR_TMagic late(List({"PT_UNTIL_LATER"}));
  EXPECT_EQ(Describe(late, "A-").status, IMR_PS_NOT_RECOGNIZED);
  IMR_TMagic::RegisterMagic(ZQ_TString("PT_UNTIL_LATER"), &Two);
  EXPECT_EQ(Describe(late, "A-").ticket.FileFormat(), ZQ_TString("TWO"));
}

TEST(LazyEntries, InvalidProviderTextKeepsTheChainsBuiltBeforeIt) {
  IMR_TMagic plugin(List({"PT_BAD"}));
  IMR_EMagicInvalidMagicEntry error =
      Raised<IMR_EMagicInvalidMagicEntry>([&] { Describe(plugin, "AB"); });
  EXPECT_EQ(error.Data().ToText(), ZQ_TString("PT_BAD"));
  EXPECT_EQ(Chains("PT_BAD"), 1u);
  // The entry now exists: its valid chain runs.
  EXPECT_EQ(Describe(plugin, "AB").ticket.FileFormat(), ZQ_TString("TWO"));
}

TEST(Tables, AddingAnEntryAgainReplacesItsChains) {
  IMR_TMagic::AddMagicEntry(ZQ_TString("PT_REPL"), kOld);
  EXPECT_EQ(Describe({"PT_REPL"}, "O-").ticket.FileFormat(), ZQ_TString("OLD"));
  IMR_TMagic::AddMagicEntry(ZQ_TString("PT_REPL"), kNew);
  EXPECT_EQ(Chains("PT_REPL"), 2u);
  EXPECT_EQ(Describe({"PT_REPL"}, "O-").status, IMR_PS_NOT_RECOGNIZED);
  EXPECT_EQ(Describe({"PT_REPL"}, "n-").ticket.FileFormat(), ZQ_TString("NEW"));
  EXPECT_EQ(Occurrences(DefaultSelection(), "PT_REPL"), 1u);
  EXPECT_EQ(DefaultSelection()[DefaultSelection().Entries() - 1].ToText(), ZQ_TString("PT_REPL"));
}

TEST(Tables, NullAlternativesAreSkipped) {
  IMR_TMagic::AddMagicEntry(ZQ_TString("PT_SKIPPING"), kSkips);
  EXPECT_EQ(Chains("PT_SKIPPING"), 1u);
  IMR_TMagic::AddMagicEntry(ZQ_TString("PT_NOTHING"), kEmpty);
  EXPECT_TRUE(IMR_TMagic::MagicEntries().HasKey("PT_NOTHING"));
  EXPECT_EQ(Chains("PT_NOTHING"), 0u);
  IMR_TMagic::AddMagicEntry(ZQ_TString("PT_NULL"), nullptr);
  EXPECT_EQ(Chains("PT_NULL"), 0u);
}

TEST(Tables, ChainsStartWithAGuard) {
  IMR_TMagic::AddMagicEntry(ZQ_TString("PT_GUARDED"), kTwo);
  const ZQ_TList* chains =
      std::as_const(IMR_TMagic::MagicEntries()).ValueOfKey("PT_GUARDED")->DynamicCast<ZQ_TList>();
  ASSERT_NE(chains, nullptr);
  ASSERT_EQ(chains->Entries(), 1u);
  const IMR_TMatch* chain = (*chains)[0].DynamicCast<IMR_TMatch>();
  ASSERT_NE(chain, nullptr);
  EXPECT_EQ(Printed(*chain),
            "MinimalLength: 0\n[0] & 255 == 65\nSet 'FileFormat' to 'TWO'\nSet 'FillLevel' to '2'\n");
}

TEST(Tables, DirectEditsAreSeenAfterTheNextAddition) {
  // A host may edit the table itself before detection; the edit counts once
  // an entry has been added after it.
  ZQ_TList chains;
  chains.AddAtTail(ZQ_TAny::Adopt(Chain({"[0]==0x44", "FileFormat=DIRECT", "FillLevel=2"}).release()));
  IMR_TMagic::MagicEntries()["PT_DIRECT"] = ZQ_TAny(chains);
  IMR_TMagic::AddMagicEntry(ZQ_TString("PT_AFTER_DIRECT"), kTwo);
  EXPECT_EQ(Describe({"PT_DIRECT"}, "D-").ticket.FileFormat(), ZQ_TString("DIRECT"));
}

TEST(Selections, NamedSelectionsAndDoubleEntries) {
  IMR_TMagic::AddToSelections(ZQ_TString("PT SELECTION"), List({"PT_TWO"}), false);
  IMR_TMagic plugin(ZQ_TString("PT SELECTION"));
  EXPECT_EQ(Items(plugin.Selection()), "PT_TWO");
  IMR_EMagicDoubleSelectionEntry error = Raised<IMR_EMagicDoubleSelectionEntry>([] {
    IMR_TMagic::AddToSelections(ZQ_TString("PT SELECTION"), List({"PT_ONE"}), false);
  });
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

TEST(Selections, TrustLessNamesGoLast) {
  IMR_TMagic::RegisterMagic(ZQ_TString("PT_TRUSTED"), &Two);
  IMR_TMagic::RegisterMagic(ZQ_TString("PT_DOUBTFUL(x)"), &Two);
  IMR_TMagic::AddInTrustLessList(ZQ_TString("PT_DOUBTFUL"));
  IMR_TMagic::UpdateDefaultSelection(ZQ_TString());
  const ZQ_TList& selection = DefaultSelection();
  const int trusted = selection.IndexOfKey(selection.KeyOf(ZQ_TAny(ZQ_TString("PT_TRUSTED"))));
  const int doubtful = selection.IndexOfKey(selection.KeyOf(ZQ_TAny(ZQ_TString("PT_DOUBTFUL(x)"))));
  ASSERT_GE(trusted, 0);
  ASSERT_GE(doubtful, 0);
  EXPECT_LT(trusted, doubtful);
  EXPECT_EQ(Occurrences(selection, "PT_DOUBTFUL(x)"), 1u);
  // A trusted name added later still comes before it.
  IMR_TMagic::AddMagicEntry(ZQ_TString("PT_LATER"), kTwo);
  IMR_TMagic::UpdateDefaultSelection(ZQ_TString());
  const ZQ_TList& rebuilt = DefaultSelection();
  EXPECT_EQ(rebuilt[rebuilt.Entries() - 1].ToText(), ZQ_TString("PT_DOUBTFUL(x)"));
  EXPECT_EQ(Occurrences(rebuilt, "PT_LATER"), 1u);
}

TEST(Selections, MarkingAKnownNameTrustLessMovesItLast) {
  IMR_TMagic::AddMagicEntry(ZQ_TString("PT_MOVED"), kTwo);
  IMR_TMagic::AddMagicEntry(ZQ_TString("PT_STAYS"), kTwo);
  ASSERT_EQ(Items(DefaultSelection()).substr(Items(DefaultSelection()).size() - 17),
            "PT_MOVED PT_STAYS");
  IMR_TMagic::AddInTrustLessList(ZQ_TString("PT_MOVED"));
  const std::string after = Items(DefaultSelection());
  EXPECT_EQ(after.substr(after.size() - 17), "PT_STAYS PT_MOVED");
  IMR_TMagic::AddInTrustLessList(ZQ_TString("PT_MOVED"));
  EXPECT_EQ(Items(DefaultSelection()), after);
  // A rebuild keeps it last.
  IMR_TMagic::UpdateDefaultSelection(ZQ_TString());
  const ZQ_TList& rebuilt = DefaultSelection();
  EXPECT_EQ(Occurrences(rebuilt, "PT_MOVED"), 1u);
}

}  // namespace
