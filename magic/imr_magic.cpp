// The magic plugin, its tables and selections, and their configuration.
#include "magic/imr_magic.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <chrono>
#include <exception>
#include <iostream>
#include <typeinfo>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "magic/imr_magic-priv.h"

const char* const IMR_kDefaultSelection = "ALL SELECTION";

namespace {

const ZQ_TString kMatchKind("IMR_TMatch");
const ZQ_TString kDefaultSelection(IMR_kDefaultSelection);

// ---------------------------------------------------------------------------
// The compiled table that matching reads

// Reads the link from an element to its successor (Next is protected).
struct Links : IMR_TMatch {
  static const IMR_TMatch* Successor(const IMR_TMatch& element) { return (element.*kNext)(); }
  static constexpr auto kNext = &Links::Next;
};

// One chain.  Most chains are a guard followed by equality tests; for those
// the guard and the first few tests are kept unrolled, so that a buffer they
// fail on is passed over without running the chain (which would only fail
// the same way, at the same test).
struct Head {
  struct Test {
    std::uint32_t offset;  // passes when (byte at offset & mask) == value
    std::uint8_t mask;
    std::uint8_t value;
  };
  static constexpr int kTests = 4;
  const IMR_TMatch* chain = nullptr;
  std::uint32_t length = 0;  // the guard passes when length < Size()
  int tests = 0;             // 0: run the chain as it is
  Test test[kTests] = {};
};

Head Unrolled(const IMR_TMatch* chain) {
  Head head;
  head.chain = chain;
  if (typeid(*chain) != typeid(IMR_TTrue)) return head;
  head.length = chain->MatchLength();
  for (const IMR_TMatch* element = Links::Successor(*chain);
       element != nullptr && typeid(*element) == typeid(IMR_TEqual) && head.tests < Head::kTests;
       element = Links::Successor(*element)) {
    const IMR_TEqual& equal = static_cast<const IMR_TEqual&>(*element);
    head.test[head.tests++] = {equal.Offset(), equal.Mask(), equal.Value()};
  }
  return head;
}

// Whether the unrolled part of `head` fails on `size` bytes at `data`.
bool FailsEarly(const Head& head, const std::uint8_t* data, std::size_t size) {
  if (head.length >= size) return true;  // every offset tested lies below size
  for (int i = 0; i < head.tests; ++i) {
    if ((data[head.test[i].offset] & head.test[i].mask) != head.test[i].value) return true;
  }
  return false;
}

// The chains of one entry; the list keeps the chains alive for the heads.
struct CompiledEntry {
  ZQ_TList chains;
  std::vector<Head> heads;
  // The first bytes with which one of the chains may pass, unless every
  // chain may whatever the first byte is: most files are ruled out by one
  // look-up instead of a walk over the heads.
  bool anyFirstByte = false;
  std::bitset<256> firstBytes;
};

// A name no provider served: looked up again once a creator is registered or
// a module loaded (the loader's generation moves), or a while later (a
// module file may have appeared on the plugin path).
struct Absence {
  std::uint64_t generation = 0;
  std::chrono::steady_clock::time_point since;
};
constexpr std::chrono::seconds kAbsenceRecheck{1};

Absence AbsentNow() {
  return {PXC_TDynamicLoader::sLoader.Generation(), std::chrono::steady_clock::now()};
}

bool StillAbsent(const Absence& absence) {
  return absence.generation == PXC_TDynamicLoader::sLoader.Generation() &&
         std::chrono::steady_clock::now() - absence.since < kAbsenceRecheck;
}

// Calls `visit` with each byte of `bytes`, or with every byte when null.
template <class Visit>
void ForEachByte(const std::bitset<256>* bytes, Visit visit) {
  if (bytes == nullptr) {
    for (std::size_t byte = 0; byte < 256; ++byte) visit(byte);
    return;
  }
  for (std::size_t byte = bytes->_Find_first(); byte < 256; byte = bytes->_Find_next(byte)) visit(byte);
}

// An entry a provider serves, not built yet: it is built the first time a
// walk reaches it, so that start-up builds no entry that no file needs.  Which
// first bytes its chains may pass with is read beforehand from the first text
// of each alternative, so that the walk reaches it only for those.
struct PendingEntry {
  IMR_TMagicTable table = nullptr;
  bool anyFirstByte = false;
  std::bitset<256> firstBytes;
  std::once_flag once;
  std::atomic<bool> ready{false};              // `built` is set (call_once costs a call each time)
  std::shared_ptr<const CompiledEntry> built;  // set once, by the first walk reaching it
  std::exception_ptr failure;                  // a text the parser refused, raised once
};

// The first bytes with which the chains of `table` may pass: an equality test
// at offset 0 as the first text of every alternative narrows them.
void ReadFirstBytes(IMR_TMagicTable table, PendingEntry& pending) {
  pending.anyFirstByte = table == nullptr || *table == nullptr;
  for (IMR_TMagicTable alternative = table; !pending.anyFirstByte && alternative && *alternative;
       ++alternative) {
    const char* first = (*alternative)[0];
    if (first == nullptr) continue;  // no chain is built for it
    try {
      std::unique_ptr<IMR_TMatch> test(ParseMagicEntry(first));
      const auto* equal = dynamic_cast<const IMR_TEqual*>(test.get());
      if (equal == nullptr || typeid(*equal) != typeid(IMR_TEqual) || equal->Offset() != 0) {
        pending.anyFirstByte = true;
        break;
      }
      if (equal->Mask() == 0xFF) {
        pending.firstBytes.set(equal->Value());
        continue;
      }
      for (unsigned byte = 0; byte < 256; ++byte) {
        if ((byte & equal->Mask()) == equal->Value()) pending.firstBytes.set(byte);
      }
    } catch (...) {
      pending.anyFirstByte = true;  // building it raises the failure
    }
  }
}

struct Snapshot {
  std::uint64_t version = 0;
  ZQ_TDict source;  // the magic table compiled, sharing its storage
  std::unordered_map<std::string, std::shared_ptr<const CompiledEntry>> entries;
  std::unordered_map<std::string, std::shared_ptr<PendingEntry>> pending;
  std::unordered_map<std::string, Absence> absent;  // names no provider served
};

std::shared_ptr<const CompiledEntry> Compile(const ZQ_TAny& value) {
  auto entry = std::make_shared<CompiledEntry>();
  if (const ZQ_TList* chains = value.DynamicCast<ZQ_TList>()) entry->chains = *chains;
  for (const ZQ_TList::Entry& chain : entry->chains) {
    if (const IMR_TMatch* head = chain.value.DynamicCast<IMR_TMatch>()) {
      entry->heads.push_back(Unrolled(head));
    }
  }
  for (const Head& head : entry->heads) {
    const Head::Test* first = std::find_if(head.test, head.test + head.tests,
                                           [](const Head::Test& test) { return test.offset == 0; });
    if (first == head.test + head.tests) {
      entry->anyFirstByte = true;
      break;
    }
    for (unsigned byte = 0; byte < 256; ++byte) {
      if ((byte & first->mask) == first->value) entry->firstBytes.set(byte);
    }
  }
  return entry;
}

// The tables and their snapshot.  The mutex guards sMagic and the snapshot
// pointer; it is never held while the magic lock is taken.
struct Tables {
  std::recursive_mutex mutex;
  std::shared_ptr<const Snapshot> snapshot = std::make_shared<Snapshot>();
  std::atomic<std::uint64_t> version{0};
  // Set once a host holds a reference to the magic table, which it may edit
  // directly: from then on matching checks that the snapshot still holds the
  // table's storage (an edit copies it) and compiles the table again if not.
  std::atomic<bool> handedOut{false};

  std::shared_ptr<const Snapshot> Current() {
    std::lock_guard lock(mutex);
    return snapshot;
  }
  // Publishes a snapshot changed by `edit`.
  template <class Edit>
  void Publish(Edit edit) {
    std::lock_guard lock(mutex);
    auto next = std::make_shared<Snapshot>(*snapshot);
    edit(*next);
    next->version = version.load() + 1;
    snapshot = next;
    version.store(next->version, std::memory_order_release);
  }
};

Tables& TheTables() {
  static Tables* tables = new Tables;  // lives for the process
  return *tables;
}

// Splits a selection item "name(argument)" into its parts.
void SplitItem(const ZQ_TString& item, ZQ_TString& name, ZQ_TString& argument) {
  const int open = item.Find('(');
  if (open <= 0) {
    name = item;
    argument = ZQ_TString();
    return;
  }
  const int close = item.Find(')', open + 1);
  name = item.Substring(0, open);
  argument = item.Substring(open + 1, close < 0 ? -1 : close - open - 1);
}

ZQ_TString BaseName(const ZQ_TString& item) {
  const int open = item.Find('(');
  return open < 0 ? item : item.Substring(0, open);
}

bool ListHolds(const ZQ_TList& list, const ZQ_TString& text) {
  return !list.KeyOf(ZQ_TAny(text)).IsNull();
}

// Puts the keys of `dictionary` into `selection`: new trusted keys at the
// head, new trust-less keys at the tail, known trust-less ones moved last.
void MergeIntoSelection(ZQ_TList& selection, const ZQ_TDict& dictionary, const ZQ_TList& trustLess) {
  std::unordered_set<std::string> present;  // the base names the selection holds
  for (const ZQ_TList::Entry& entry : selection) {
    if (const ZQ_TString* item = entry.value.DynamicCast<ZQ_TString>()) present.insert(BaseName(*item).Std());
  }
  for (const ZQ_TDict::Entry& entry : dictionary) {
    const ZQ_TString& key = entry.key;
    const ZQ_TString base = BaseName(key);
    const bool untrusted = ListHolds(trustLess, base);
    if (present.insert(base.Std()).second) {
      if (untrusted) {
        selection.AddAtTail(ZQ_TAny(key));
      } else {
        selection.AddAtHead(ZQ_TAny(key));
      }
      continue;
    }
    if (!untrusted) continue;
    // A known trust-less name goes last: the last item of its base name.
    int match = -1;
    for (std::uint32_t i = 0; i < selection.Entries(); ++i) {
      const ZQ_TString* item = selection[i].DynamicCast<ZQ_TString>();
      if (item != nullptr && BaseName(*item) == base) match = static_cast<int>(i);
    }
    if (match >= 0 && static_cast<std::uint32_t>(match) + 1 != selection.Entries()) {
      selection.MoveToTail(static_cast<std::uint32_t>(match));
    }
  }
}

// A copy of the configuration value at `path` cast to T, or null.
template <class T>
std::unique_ptr<T> ConfigurationCopy(const char* path) {
  try {
    ZQ_TAny value = PXC_CfsWrap().Value(ZQ_TString(path));
    const T* typed = value.DynamicCast<T>();
    return typed ? std::make_unique<T>(*typed) : nullptr;
  } catch (const ZQ_EException&) {
    return nullptr;
  }
}

int HexDigitValue(wchar_t c) {
  c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  IMR_THROW(IMR_EMagicInternal);
}

bool InitializeMatchClasses() {
  for (const ZQ_TClass* object :
       {IMR_TMatch::ZQ_ClassObject(), IMR_TEqual::ZQ_ClassObject(), IMR_TLess::ZQ_ClassObject(),
        IMR_TMore::ZQ_ClassObject(), IMR_TNot::ZQ_ClassObject(), IMR_TSet::ZQ_ClassObject(),
        IMR_TTrue::ZQ_ClassObject(), IMR_TSearch::ZQ_ClassObject()}) {
    if (!object->Initialize()) return false;
  }
  return true;
}

}  // namespace

ZQ_TDict* IMR_ReadMagicText(const ZQ_TString& text) {
  try {
    ZQ_TMemoryStream memory(text.Narrow(), text.Length());
    ZQ_THumanReadableStream stream(memory);
    if (InitializeMatchClasses()) {
      std::unique_ptr<ZQ_TObject> object(stream.Extract());
      if (ZQ_TDict* dict = ZQ_DynamicCast<ZQ_TDict>(object.get())) {
        object.release();
        return dict;
      }
    }
  } catch (...) {
  }
  IMR_TRACE(0x40, "IMR_TMagic::LoadConfiguration - handling as hexadecimal string\n");
  try {
    const std::wstring wide = text.Wide();
    if (wide.size() % 2 != 0) IMR_THROW(IMR_EMagicInternal);
    std::vector<std::uint8_t> bytes;
    bytes.reserve(wide.size() / 2);
    for (std::size_t i = 0; i < wide.size(); i += 2) {
      if (wide[i] >= 256 || wide[i + 1] >= 256) IMR_THROW(IMR_EMagicInternal);
      bytes.push_back(static_cast<std::uint8_t>(HexDigitValue(wide[i]) * 16 + HexDigitValue(wide[i + 1])));
    }
    ZQ_TMemoryStream memory(bytes.data(), bytes.size());
    ZQ_TDataStream stream(memory);
    if (!InitializeMatchClasses()) return nullptr;
    std::unique_ptr<ZQ_TObject> object(stream.Extract(true));
    if (ZQ_TDict* dict = ZQ_DynamicCast<ZQ_TDict>(object.get())) {
      object.release();
      return dict;
    }
  } catch (const ZQ_EException& error) {
    error.PrintOn(std::cerr);
    std::cerr.flush();
  } catch (...) {
  }
  return nullptr;
}

// ---------------------------------------------------------------------------
// Static state

namespace {
ZQ_TDict* sMagic = nullptr;
ZQ_TDict* sSelections = nullptr;
ZQ_TString* sExtensionList = nullptr;
ZQ_TList sTrustLess;
bool sLoaded = false;
}  // namespace

namespace {
// Compiles the whole magic table into `next`.
void CompileTable(Snapshot& next) {
  next.source = *sMagic;
  next.entries.clear();
  for (const ZQ_TDict::Entry& entry : *sMagic) {
    next.entries[entry.key.Std()] = Compile(entry.value);
    next.pending.erase(entry.key.Std());
    next.absent.erase(entry.key.Std());
  }
}

// Compiles the table again when a host edited it since the last snapshot.
void CompileHostEdits() {
  Tables& tables = TheTables();
  std::lock_guard lock(tables.mutex);
  if (sMagic != nullptr && !sMagic->SharesStorage(tables.snapshot->source)) {
    tables.Publish(&CompileTable);
  }
}
}  // namespace

ZQ_TRWLock& IMR_TMagic::MagicLock() {
  static ZQ_TRWLock* lock = new ZQ_TRWLock;
  return *lock;
}

void IMR_TMagic::LoadConfiguration() {
  IMR_TRACE(0x04, "IMR_TMagic::LoadConfiguration()\n");
  {
    ZQ_TLockGuard lock(MagicLock(), true);
    if (sLoaded) return;
    IMR_TRACE(0x40, "IMR_TMagic::LoadConfiguration - loading Magic entry from CFS\n");
    ZQ_TDict* magic = nullptr;
    std::unique_ptr<ZQ_TString> text = ConfigurationCopy<ZQ_TString>("/Resources/Modules/IMR/Magic");
    if (!text) {
      IMR_TRACE(0x40,
                "IMR_TMagic::LoadConfiguration - CFS call returned NULL, empty config will be used\n");
    } else {
      magic = IMR_ReadMagicText(*text);
      if (magic == nullptr) {
        IMR_TRACE(0x04, "IMR_TMagic::LoadConfiguration - failed = empty config will be used\n");
      }
    }
    Tables& tables = TheTables();
    {
      std::lock_guard tableLock(tables.mutex);
      delete sMagic;
      sMagic = magic ? magic : new ZQ_TDict;
      tables.Publish(&CompileTable);
    }

    IMR_TRACE(0x40, "IMR_TMagic::LoadConfiguration - loading selection list\n");
    std::unique_ptr<ZQ_TDict> selections =
        ConfigurationCopy<ZQ_TDict>("/Resources/Modules/IMR/Selections");
    if (!selections) IMR_TRACE(0x40, "IMR_TMagic::LoadConfiguration - loading selection list failed\n");
    delete sSelections;
    sSelections = selections ? selections.release() : new ZQ_TDict;

    IMR_TRACE(0x40, "IMR_TMagic::LoadConfiguration - loading extension list\n");
    std::unique_ptr<ZQ_TString> extensions =
        ConfigurationCopy<ZQ_TString>("/Resources/Modules/IMR/ExtensionList");
    if (!extensions) IMR_TRACE(0x40, "IMR_TMagic::LoadConfiguration - loading extension list failed\n");
    delete sExtensionList;
    sExtensionList = extensions ? extensions.release() : new ZQ_TString;
    sLoaded = true;
  }
  UpdateDefaultSelection(ZQ_TString());
  if (IMR_Tracing(0x04)) {
    IMR_TRACE(0x04, "IMR_TMagic::Selections()\n");
    IMR_TRACE(0x10, "IMR_TMagic::MagicEntries(%u)\n", sMagic->Entries());
    ZQMESG_Log("IMR_TMagic::LoadConfiguration Entries = %u, Selections = %u\n", sMagic->Entries(),
               sSelections->Entries());
  }
}

ZQ_TDict& IMR_TMagic::MagicEntries() {
  IMR_TRACE(0x10, "IMR_TMagic::MagicEntries(%u)\n", sMagic ? sMagic->Entries() : 0u);
  TheTables().handedOut.store(true, std::memory_order_release);
  return *sMagic;
}

ZQ_TDict& IMR_TMagic::Selections() {
  IMR_TRACE(0x04, "IMR_TMagic::Selections()\n");
  return *sSelections;
}

ZQ_TString& IMR_TMagic::ExtensionList() {
  IMR_TRACE(0x04, "IMR_TMagic::ExtensionList()\n");
  return *sExtensionList;
}

namespace {

// Stores built entries in the table and publishes one snapshot for them all:
// threads matching meanwhile see an entry's old chains or its new ones, never
// an entry without chains.
void StoreEntries(const std::vector<std::pair<ZQ_TString, ZQ_TList>>& built) {
  Tables& tables = TheTables();
  std::lock_guard lock(tables.mutex);
  IMR_TRACE(0x10, "IMR_TMagic::MagicEntries(%u)\n", sMagic->Entries());
  const bool handedOut = tables.handedOut.load(std::memory_order_acquire);
  if (handedOut && !sMagic->SharesStorage(tables.snapshot->source)) {
    // The host's edits, with the new entries.
    for (const auto& [name, chains] : built) (*sMagic)[name] = ZQ_TAny(chains);
    tables.Publish(&CompileTable);
    return;
  }
  std::vector<std::shared_ptr<const CompiledEntry>> compiled;
  for (const auto& [name, chains] : built) compiled.push_back(Compile((*sMagic)[name] = ZQ_TAny(chains)));
  tables.Publish([&](Snapshot& next) {
    // The snapshot holds the table's storage only while a host may edit it.
    if (handedOut) next.source = *sMagic;
    for (std::size_t i = 0; i < built.size(); ++i) {
      next.entries[built[i].first.Std()] = compiled[i];
      next.pending.erase(built[i].first.Std());
      next.absent.erase(built[i].first.Std());
    }
  });
}

// Builds a pending entry with `build` the first time a walk reaches it and
// puts its chains in the table, unless the entry was replaced meanwhile.  The
// first build of a table with a text the parser refuses raises the failure;
// the chains built before it are kept, as AddMagicEntry keeps them.
const CompiledEntry& BuildPending(const ZQ_TString& name, PendingEntry& pending,
                                  ZQ_TList (*build)(IMR_TMagicTable, std::exception_ptr&)) {
  if (pending.ready.load(std::memory_order_acquire)) return *pending.built;
  bool builtHere = false;
  std::call_once(pending.once, [&] {
    ZQ_TList chains = build(pending.table, pending.failure);
    {
      Tables& tables = TheTables();
      std::lock_guard lock(tables.mutex);
      IMR_TRACE(0x04, "IMR_TMagic::AddMagicEntry(name=%s)\n", name.Narrow());
      const auto current = tables.snapshot->pending.find(name.Std());
      if (current != tables.snapshot->pending.end() && current->second.get() == &pending) {
        (*sMagic)[name] = ZQ_TAny(chains);
      }
    }
    pending.built = Compile(ZQ_TAny(chains));
    pending.ready.store(true, std::memory_order_release);
    builtHere = true;
  });
  if (builtHere) {
    IMR_TMagic::UpdateDefaultSelection(name);
    if (pending.failure) std::rethrow_exception(pending.failure);
  }
  return *pending.built;
}

}  // namespace

ZQ_TList IMR_TMagic::BuildChains(IMR_TMagicTable table, std::exception_ptr& failure) {
  ZQ_TList chains;
  try {
    for (IMR_TMagicTable alternative = table; alternative && *alternative; ++alternative) {
      const char* const* texts = *alternative;
      if (texts[0] == nullptr) continue;
      std::unique_ptr<IMR_TMatch> first(new IMR_TTrue);
      std::unique_ptr<IMR_TMatch> body(ParseMagicEntry(texts[0]));
      IMR_TMatch* last = body.get();
      for (const char* const* text = texts + 1; *text != nullptr; ++text) {
        last = last->AttachNext(ParseMagicEntry(*text));
      }
      first->AttachNext(body.release());
      chains.AddAtTail(ZQ_TAny::Adopt(first.release()));
    }
  } catch (...) {
    failure = std::current_exception();
  }
  return chains;
}

void IMR_TMagic::AddMagicEntry(const ZQ_TString& name, IMR_TMagicTable table) {
  IMR_TRACE(0x04, "IMR_TMagic::AddMagicEntry(name=%s)\n", name.Narrow());
  LoadConfiguration();  // the table must exist
  std::exception_ptr failure;
  StoreEntries({{name, BuildChains(table, failure)}});
  UpdateDefaultSelection(name);
  if (failure) std::rethrow_exception(failure);
}

void IMR_TMagic::RegisterMagic(const ZQ_TString& name, IMR_TMagicProvider provider) {
  IMR_TRACE(0x40, "IMR_TMagic::RegisterMagic()\n");
  PXC_TDynamicLoader::sLoader.RegisterCreator(kMatchKind, name,
                                              reinterpret_cast<PXC_TDynamicLoader::Function>(provider));
  TheTables().Publish([&](Snapshot& next) { next.absent.erase(name.Std()); });
}

IMR_TMagicProvider IMR_TMagic::MagicByName(const ZQ_TString& name) {
  IMR_TRACE(0x04, "IMR_TMagic::MagicByName(name=%s)\n", name.Narrow());
  return reinterpret_cast<IMR_TMagicProvider>(PXC_TDynamicLoader::sLoader.LoadedCreator(kMatchKind, name));
}

void IMR_TMagic::UpdateDefaultSelection(const ZQ_TString& name) {
  IMR_TRACE(0x04, "IMR_TMagic::UpdateDefaultSelection(name=%s)\n", name.Narrow());
  if (sSelections == nullptr) return;
  ZQ_TLockGuard lock(MagicLock(), true);
  try {
    ZQ_TAny& entry = (*sSelections)[kDefaultSelection];
    if (std::as_const(entry).DynamicCast<ZQ_TList>() == nullptr) entry = ZQ_TAny(ZQ_TList());
    ZQ_TList& selection = *entry.DynamicCast<ZQ_TList>();
    if (name.IsEmpty()) {
      MergeIntoSelection(selection, PXC_TDynamicLoader::sLoader.PluginsFromCfs(kMatchKind), sTrustLess);
      MergeIntoSelection(selection, PXC_TDynamicLoader::sLoader[kMatchKind], sTrustLess);
      if (sMagic != nullptr) {
        std::lock_guard tableLock(TheTables().mutex);
        MergeIntoSelection(selection, *sMagic, sTrustLess);
      }
      if (selection.IsEmpty()) {
        IMR_TRACE(0x04, "IMR_TMagic::UpdateDefaultSelection - no magic file\n");
        IMR_THROW(IMR_EMagicFileNotGiven);
      }
    } else if (!ListHolds(selection, name)) {
      selection.AddAtTail(ZQ_TAny(name));
    }
  } catch (...) {
    IMR_TRACE(0x04, "IMR_TMagic::UpdateDefaultSelection - failed\n");
    throw;
  }
}

void IMR_TMagic::AddToSelections(const ZQ_TString& name, const ZQ_TList& items, bool replace) {
  IMR_TRACE(0x04, "IMR_TMagic::AddToSelections(name=%s)\n", name.Narrow());
  ZQ_TLockGuard lock(MagicLock(), true);
  try {
    if (sSelections == nullptr) sSelections = new ZQ_TDict;
    if (!replace && sSelections->HasKey(name)) {
      IMR_THROW_DATA(IMR_EMagicDoubleSelectionEntry, "Selection already exists", name);
    }
    Selections()[name] = ZQ_TAny(items);
  } catch (...) {
    IMR_TRACE(0x04, "IMR_TMagic::AddToSelections - failed\n");
    throw;
  }
}

void IMR_TMagic::AddInTrustLessList(const ZQ_TString& name) {
  IMR_TRACE(0x04, "IMR_TMagic::AddInTrustLessList(name=%s)\n", name.Narrow());
  // Rebuilds of the default selection read the list under the magic lock;
  // it changes under the same lock.
  ZQ_TLockGuard lock(MagicLock(), true);
  if (ListHolds(sTrustLess, name)) return;
  sTrustLess.AddAtTail(ZQ_TAny(name));
  if (sSelections == nullptr) return;
  ZQ_TAny* entry = sSelections->ValueOfKey(kDefaultSelection);
  ZQ_TList* selection = entry ? entry->DynamicCast<ZQ_TList>() : nullptr;
  if (selection == nullptr) return;
  const ZQ_TListKey key = selection->KeyOf(ZQ_TAny(name));
  const int index = selection->IndexOfKey(key);
  if (index >= 0 && static_cast<std::uint32_t>(index) + 1 != selection->Entries()) {
    selection->MoveToTail(static_cast<std::uint32_t>(index));
  }
}

// ---------------------------------------------------------------------------
// The plugin

struct IMR_TMagic::Compiled {
  struct Item {
    ZQ_TString name;
    ZQ_TString argument;
    std::shared_ptr<const CompiledEntry> entry;  // null: not built or not in the table yet
    std::shared_ptr<PendingEntry> pending;       // built on first use
    std::optional<Absence> absent;               // no provider served the name
  };
  std::uint64_t version = 0;
  std::vector<Item> items;
  std::size_t missing = 0;  // items neither in the table, pending nor known absent
  // For each first byte, the items (their indices, in order) that may pass
  // with it: a walk visits those only.  An item neither built nor pending
  // (known absent) is in every list.  The lists of byte b are
  // candidates[start[b], start[b+1]); none are made while items are missing.
  std::vector<std::uint32_t> candidates;
  std::array<std::uint32_t, 257> start{};
};

void IMR_TMagic::IndexMissingEntries(const Compiled& compiled) {
  std::vector<std::pair<std::string, std::shared_ptr<PendingEntry>>> found;
  for (const Compiled::Item& item : compiled.items) {
    if (item.entry != nullptr || item.pending != nullptr || (item.absent && StillAbsent(*item.absent))) {
      continue;
    }
    IMR_TMagicProvider provider;
    try {
      provider = MagicByName(item.name);
    } catch (const ZQ_EException&) {
      continue;  // the walk over the items meets it, and says so
    }
    auto pending = std::make_shared<PendingEntry>();
    pending->table = provider();
    ReadFirstBytes(pending->table, *pending);
    found.emplace_back(item.name.Std(), std::move(pending));
  }
  if (found.empty()) return;
  TheTables().Publish([&](Snapshot& next) {
    for (auto& [name, pending] : found) {
      if (next.entries.count(name) == 0) next.pending.emplace(name, std::move(pending));
    }
  });
}

IMR_TMagic::IMR_TMagic(const ZQ_TString& selection) : IMR_TPlugin(selection) {
  IMR_TRACE(0x04, "IMR_TMagic::IMR_TMagic(this=%p, selection=[%s])\n", static_cast<void*>(this),
            selection.Narrow());
  LoadConfiguration();
  CopySelection(&selection, nullptr);
}

IMR_TMagic::IMR_TMagic(const ZQ_TList& selection) : IMR_TPlugin(ZQ_TString()) {
  IMR_TRACE(0x04, "IMR_TMagic::IMR_TMagic(this=%p, selection)\n", static_cast<void*>(this));
  LoadConfiguration();
  CopySelection(nullptr, &selection);
}

IMR_TMagic::IMR_TMagic(const IMR_TMagic& other)
    : ZQ_IInterface(), IMR_IPlugin(), IMR_TPlugin(other), iSelection(other.iSelection) {}

IMR_TMagic::~IMR_TMagic() {
  IMR_TRACE(0x04, "IMR_TMagic destructor of %p\n", static_cast<void*>(this));
}

void IMR_TMagic::CopySelection(const ZQ_TString* name, const ZQ_TList* items) {
  {
    ZQ_TLockGuard lock(MagicLock(), true);
    if (items != nullptr) {
      iSelection = *items;
    } else {
      const ZQ_TString& wanted = name->IsEmpty() ? kDefaultSelection : *name;
      const ZQ_TAny* entry = sSelections ? std::as_const(*sSelections).ValueOfKey(wanted) : nullptr;
      const ZQ_TList* list = entry ? entry->DynamicCast<ZQ_TList>() : nullptr;
      if (list == nullptr && !name->IsEmpty()) IMR_THROW(IMR_EMagicFileNotGiven);
      if (list != nullptr) iSelection = *list;
    }
  }
  IMR_TRACE(0x04, "IMR_TMagic::IMR_TMagic(this=%p) : iSelection = %s\n", static_cast<void*>(this),
            PXC_Any2String(ZQ_TAny(iSelection)).Narrow());
}

ZQ_TObject* IMR_TMagic::ZQ_Create() { return new IMR_TMagic(ZQ_TString()); }

bool IMR_TMagic::ZQ_Initialize() {
  IMR_TRACE(0x04, "ZQ_Initialize of IMR_TMagic\n");
  MagicLock();
  IMR_TPlugin::RegisterCreator(ZQ_TString("IMR_TMagic"), &IMR_TMagic::Creator);
  PXC_TDynamicLoader::sLoader.RegisterProvider(kMatchKind);
  return true;
}

IMR_IPlugin* IMR_TMagic::Creator(const ZQ_TString& selection) {
  IMR_TRACE(0x04, "IMR_TMagic::Creator()\n");
  return new IMR_TMagic(selection);
}

std::shared_ptr<const IMR_TMagic::Compiled> IMR_TMagic::CompiledSelection() const {
  Tables& tables = TheTables();
  if (tables.handedOut.load(std::memory_order_acquire)) CompileHostEdits();
  const std::uint64_t version = tables.version.load(std::memory_order_acquire);
  {
    std::lock_guard lock(iCompiledMutex);
    if (iCompiled && iCompiled->version == version) return iCompiled;
  }
  std::shared_ptr<const Snapshot> snapshot = tables.Current();
  auto fresh = std::make_shared<Compiled>();
  fresh->version = snapshot->version;
  // The first bytes each item may pass with; null: any.
  std::vector<const std::bitset<256>*> firstBytes;
  firstBytes.reserve(iSelection.Entries());
  fresh->items.reserve(iSelection.Entries());
  for (const ZQ_TList::Entry& entry : iSelection) {
    const ZQ_TString* item = entry.value.DynamicCast<ZQ_TString>();
    if (item == nullptr) continue;
    Compiled::Item compiled;
    SplitItem(*item, compiled.name, compiled.argument);
    if (auto found = snapshot->entries.find(compiled.name.Std()); found != snapshot->entries.end()) {
      compiled.entry = found->second;
    } else if (auto lazy = snapshot->pending.find(compiled.name.Std()); lazy != snapshot->pending.end()) {
      compiled.pending = lazy->second;
    }
    if (auto absent = snapshot->absent.find(compiled.name.Std()); absent != snapshot->absent.end()) {
      compiled.absent = absent->second;
    }
    const std::bitset<256>* bytes = nullptr;
    if (compiled.entry != nullptr) {
      if (!compiled.entry->anyFirstByte) bytes = &compiled.entry->firstBytes;
    } else if (compiled.pending != nullptr) {
      if (!compiled.pending->anyFirstByte) bytes = &compiled.pending->firstBytes;
    } else if (!compiled.absent) {
      ++fresh->missing;
    }
    firstBytes.push_back(bytes);
    fresh->items.push_back(std::move(compiled));
  }
  if (fresh->missing == 0) {
    // Counts per byte, then the lists in item order.
    for (const std::bitset<256>* bytes : firstBytes) {
      ForEachByte(bytes, [&](std::size_t byte) { ++fresh->start[byte + 1]; });
    }
    for (unsigned byte = 0; byte < 256; ++byte) fresh->start[byte + 1] += fresh->start[byte];
    fresh->candidates.resize(fresh->start[256]);
    std::array<std::uint32_t, 256> next;
    std::copy(fresh->start.begin(), fresh->start.end() - 1, next.begin());
    for (std::uint32_t index = 0; index < firstBytes.size(); ++index) {
      ForEachByte(firstBytes[index], [&](std::size_t byte) { fresh->candidates[next[byte]++] = index; });
    }
  }
  std::lock_guard lock(iCompiledMutex);
  if (!iCompiled || iCompiled->version < fresh->version) iCompiled = fresh;
  return fresh;
}

IMR_TPluginStatus IMR_TMagic::ImageInfo(const PXC_IBuffer& buffer, PXC_TImageTicket& ticket,
                                        PXC_TFillLevel level, unsigned int index,
                                        IMR_TImageTypes) {
  std::shared_ptr<const Compiled> compiled = CompiledSelection();
  if (compiled->missing > 0) {
    IndexMissingEntries(*compiled);
    compiled = CompiledSelection();
  }
  if (IMR_Tracing(0x04)) {
    const std::size_t entries = TheTables().Current()->entries.size();
    IMR_TRACE(0x10, "IMR_TMagic::MagicEntries(%zu)\n", entries);
    IMR_TRACE(0x04, "IMR_TMagic::ImageInfo: Entries = %zu, Selection = %u\n", entries,
              iSelection.Entries());
  }
  const bool tracingItems = IMR_Tracing(0x10);
  // The entries name a file from its first bytes: that is image 0.  Whether
  // the file has another image only its format plugin can tell, so for any
  // other number the chains run until they have named the plugins, and never
  // answer for the image themselves.
  const PXC_TFillLevel chainLevel = index > 0 ? std::max(level, PXC_FL_GEOMETRY) : level;
  bool pluginRequested = false;
  const std::uint8_t* data = buffer.Data();
  const std::size_t size = buffer.Size();
  // Only the items that may pass with the file's first byte are walked.
  const std::uint32_t* candidates = compiled->missing == 0 && data != nullptr && size > 0
                                        ? compiled->candidates.data() + compiled->start[data[0]]
                                        : nullptr;
  const std::size_t walked = candidates != nullptr
                                 ? compiled->start[data[0] + 1] - compiled->start[data[0]]
                                 : compiled->items.size();
  for (std::size_t k = 0; k < walked; ++k) {
    const Compiled::Item& item = compiled->items[candidates != nullptr ? candidates[k] : k];
    const CompiledEntry* entry = item.entry.get();
    std::shared_ptr<const CompiledEntry> added;  // keeps a lazily added entry alive
    try {
      if (entry == nullptr && item.pending != nullptr) {
        entry = &BuildPending(item.name, *item.pending, &BuildChains);
      } else if (entry == nullptr) {
        if (item.absent && StillAbsent(*item.absent)) continue;
        try {
          AddMagicEntry(item.name, MagicByName(item.name)());
        } catch (const PXC_EDynamicLoaderNoSuchCreator&) {
          TheTables().Publish([&](Snapshot& next) { next.absent[item.name.Std()] = AbsentNow(); });
          continue;
        }
        const std::shared_ptr<const Snapshot> current = TheTables().Current();
        auto found = current->entries.find(item.name.Std());
        if (found == current->entries.end()) continue;
        added = found->second;
        entry = added.get();
      }
      if (tracingItems) IMR_TRACE(0x10, "IMR_TMagic::ImageInfo trying match %s\n", item.name.Narrow());
      // A lazily added entry was not in the index, a pending one by a wider set.
      if (item.entry == nullptr && !entry->anyFirstByte && data != nullptr && size > 0 &&
          !entry->firstBytes.test(data[0])) {
        continue;
      }
      for (const Head& head : entry->heads) {
        if (head.tests > 0 && data != nullptr && FailsEarly(head, data, size)) continue;
        const IMR_TMatch* chain = head.chain;
        bool passed;
        try {
          passed = (*chain)(item.argument, buffer, ticket, pluginRequested, chainLevel, index);
        } catch (const PXC_EBuffer&) {
          throw;  // the file could not be read (it changed while it was): not the entry's fault
        } catch (...) {
          if (IMR_Tracing(0x04)) {
            try {
              throw;
            } catch (const ZQ_EException& error) {
              IMR_TRACE(0x04,
                        "IMR_TMagic::ImageInfo(this=%p) - Exception occured when trying match %s: %s\n",
                        static_cast<void*>(this), item.name.Narrow(),
                        PXC_Any2String(ZQ_TAny(static_cast<const ZQ_IPackable&>(error))).Narrow());
            } catch (...) {
              IMR_TRACE(0x04,
                        "IMR_TMagic::ImageInfo(this=%p) - Generic Exception occured when trying "
                        "match %s\n",
                        static_cast<void*>(this), item.name.Narrow());
            }
            ZQ_TString table;
            {
              std::lock_guard lock(TheTables().mutex);
              table = PXC_Any2String(ZQ_TAny(*sMagic));
            }
            IMR_TRACE(0x04, "IMR_TMagic::ImageInfo(this=%p) - MagicEntries: %s\n",
                      static_cast<void*>(this), table.Narrow());
            IMR_TRACE(0x04, "IMR_TMagic::ImageInfo(this=%p) - Trying to match: %s\n",
                      static_cast<void*>(this),
                      PXC_Any2String(ZQ_TAny(static_cast<const ZQ_IPackable&>(*chain))).Narrow());
          }
          IMR_THROW_DATA(IMR_EMagicInvalidMagicEntry, "Invalid magic entry %s", item.name);
        }
        if (passed && ticket.FillLevel() >= chainLevel) {
          return pluginRequested ? IMR_PS_RECOGNIZED_LIST_CHANGED : IMR_PS_RECOGNIZED;
        }
      }
    } catch (const PXC_EBuffer&) {
      throw;
    } catch (const ZQ_EException& error) {
      IMR_TRACE(0x04, "IMR_TMagic::ImageInfo(this=%p) - Exception occured %s\n",
                static_cast<void*>(this),
                PXC_Any2String(ZQ_TAny(static_cast<const ZQ_IPackable&>(error))).Narrow());
      IMR_TRACE(0x04, "IMR_TMagic::ImageInfo(this=%p) - Selection: %s\n", static_cast<void*>(this),
                PXC_Any2String(ZQ_TAny(iSelection)).Narrow());
      IMR_THROW_DATA(IMR_EMagicInvalidMagicEntry, "Invalid magic entry %s", item.name);
    }
  }
  return pluginRequested ? IMR_PS_LIST_CHANGED : IMR_PS_NOT_RECOGNIZED;
}

ZQ_CLASS_DEFINE(IMR_TMagic, false, IMR_TPlugin::ZQ_ClassObject(), &IMR_TMagic::ZQ_Create,
                &IMR_TMagic::ZQ_Initialize)
ZQ_DYNAMIC_INFO(IMR_TMagic, IMR_TPlugin)

bool IMR_RegisterMagicClasses() {
  return IMR_TMagic::ZQ_ClassObject()->Initialize() && InitializeMatchClasses();
}
