#include "zqtypes/zq_containers.h"

#include <algorithm>
#include <atomic>
#include <ostream>

#include "zqtypes/zq_streams.h"

namespace {
// List keys are unique in the process: a key of a removed or cleared entry, or
// of another list, never names an entry, and copies that grow apart never
// hand out the same key.
// Each thread takes keys from a block of its own, so that threads filling
// lists do not contend for one counter.
std::atomic<std::uint64_t> gNextListKey{1};
constexpr std::uint64_t kKeyBlock = 256;
ZQ_TListKey NewListKey() {
  thread_local std::uint64_t next = 0;
  thread_local std::uint64_t blockEnd = 0;
  if (next == blockEnd) {
    next = gNextListKey.fetch_add(kKeyBlock, std::memory_order_relaxed);
    blockEnd = next + kKeyBlock;
  }
  return ZQ_TListKey(next++);
}

// Room set aside for a packed container's entries: what it declares, up to
// a bound, since the count is not trusted before its entries are read.
std::size_t ReservedFor(std::uint32_t count) { return std::min<std::uint32_t>(count, 64); }

[[noreturn]] void OutOfRange(const char* container, std::uint32_t index) {
  ZQ_THROW(ZQ_ERange, ZQ_TString::Format("Index %%s outside the %s", container), ZQ_TAny(index));
}

// Writes "value" for texts and the value's own text otherwise.
void PrintValue(std::ostream& out, const ZQ_TAny& value) {
  if (value.IsText()) {
    out << '"' << value.ToText() << '"';
  } else {
    out << value.ToText();
  }
}
}  // namespace

// ---------------------------------------------------------------------------
// ZQ_TList

ZQ_TList::ZQ_TList(std::initializer_list<ZQ_TAny> values) {
  for (const ZQ_TAny& value : values) AddAtTail(value);
}

ZQ_TObject* ZQ_TList::ZQ_Create() { return new ZQ_TList; }

std::uint32_t ZQ_TList::Entries() const {
  const Store* store = iStore.Get();
  return store ? static_cast<std::uint32_t>(store->entries.size()) : 0;
}

const ZQ_TAny& ZQ_TList::ValueAt(std::uint32_t index) const {
  if (index >= Entries()) OutOfRange("list", index);
  return iStore.Get()->entries[index].value;
}

ZQ_TAny& ZQ_TList::ValueAt(std::uint32_t index) {
  if (index >= Entries()) OutOfRange("list", index);
  return iStore.Mutable().entries[index].value;
}

ZQ_TListKey ZQ_TList::KeyAt(std::uint32_t index) const {
  if (index >= Entries()) OutOfRange("list", index);
  return iStore.Get()->entries[index].key;
}

ZQ_TListKey ZQ_TList::KeyOf(const ZQ_TAny& value) const {
  for (const Entry& entry : *this) {
    if (entry.value == value) return entry.key;
  }
  return ZQ_TListKey();
}

int ZQ_TList::IndexOfKey(const ZQ_TListKey& key) const {
  if (key.IsNull()) return -1;
  const Entry* first = begin();
  for (const Entry* entry = first; entry != end(); ++entry) {
    if (entry->key == key) return static_cast<int>(entry - first);
  }
  return -1;
}

const ZQ_TAny* ZQ_TList::ValueOfKey(const ZQ_TListKey& key) const {
  int index = IndexOfKey(key);
  return index < 0 ? nullptr : &iStore.Get()->entries[static_cast<std::size_t>(index)].value;
}

ZQ_TAny* ZQ_TList::ValueOfKey(const ZQ_TListKey& key) {
  int index = IndexOfKey(key);
  return index < 0 ? nullptr : &iStore.Mutable().entries[static_cast<std::size_t>(index)].value;
}

ZQ_TListKey ZQ_TList::AddAtTail(const ZQ_TAny& value) { return AddAtTail(ZQ_TAny(value)); }

ZQ_TListKey ZQ_TList::AddAtTail(ZQ_TAny&& value) {
  Store& store = iStore.Mutable();
  const ZQ_TListKey key = NewListKey();
  store.entries.push_back(Entry{key, std::move(value)});
  return key;
}

ZQ_TListKey ZQ_TList::AddAtHead(const ZQ_TAny& value) {
  Store& store = iStore.Mutable();
  const ZQ_TListKey key = NewListKey();
  store.entries.insert(store.entries.begin(), Entry{key, value});
  return key;
}

void ZQ_TList::RemoveHead() {
  if (!IsEmpty()) RemoveAt(0);
}

void ZQ_TList::RemoveAt(std::uint32_t index) {
  if (index >= Entries()) OutOfRange("list", index);
  std::vector<Entry>& entries = iStore.Mutable().entries;
  entries.erase(entries.begin() + index);
}

bool ZQ_TList::Remove(const ZQ_TListKey& key) {
  int index = IndexOfKey(key);
  if (index < 0) return false;
  RemoveAt(static_cast<std::uint32_t>(index));
  return true;
}

void ZQ_TList::MoveToTail(std::uint32_t index) {
  if (index >= Entries()) OutOfRange("list", index);
  std::vector<Entry>& entries = iStore.Mutable().entries;
  Entry moved = std::move(entries[index]);
  entries.erase(entries.begin() + index);
  entries.push_back(std::move(moved));
}

const ZQ_TList::Entry* ZQ_TList::begin() const {
  const Store* store = iStore.Get();
  return store ? store->entries.data() : nullptr;
}

const ZQ_TList::Entry* ZQ_TList::end() const {
  const Store* store = iStore.Get();
  return store ? store->entries.data() + store->entries.size() : nullptr;
}

bool ZQ_TList::operator==(const ZQ_TList& other) const {
  if (Entries() != other.Entries()) return false;
  for (std::uint32_t i = 0; i < Entries(); ++i) {
    if (ValueAt(i) != other.ValueAt(i)) return false;
  }
  return true;
}

void ZQ_TList::ZQ_Pack(ZQ_IPacking& out) const {
  out.PackU32(Entries());
  for (const Entry& entry : *this) entry.value.Pack(out);
}

void ZQ_TList::ZQ_Unpack(ZQ_IUnpacking& in) {
  Clear();
  const std::uint32_t count = in.UnpackU32();
  if (count > 0) iStore.Mutable().entries.reserve(ReservedFor(count));
  for (std::uint32_t i = 0; i < count; ++i) AddAtTail(ZQ_TAny::Unpack(in));
}

bool ZQ_TList::ZQ_IsIdent(const ZQ_IPackable& other) const {
  const ZQ_TList* list = ZQ_DynamicCast<ZQ_TList>(&other);
  return list != nullptr && *list == *this;
}

void ZQ_TList::PrintOn(std::ostream& out) const {
  out << '[';
  const char* separator = "";
  for (const Entry& entry : *this) {
    out << separator;
    PrintValue(out, entry.value);
    separator = ", ";
  }
  out << ']';
}

bool ZQ_TList::WriteTo(ZQ_THumanReadableStream& out) const {
  out.WriteU32(Entries());
  out.NewLine();
  for (const Entry& entry : *this) {
    entry.value.WriteTo(out);
    out.NewLine();
  }
  return false;
}

bool ZQ_TList::ReadFrom(ZQ_THumanReadableStream& in) {
  Clear();
  const std::uint32_t count = in.ReadU32();
  for (std::uint32_t i = 0; i < count; ++i) AddAtTail(in.ReadAny());
  return false;
}

// ---------------------------------------------------------------------------
// ZQ_TDict

namespace {
constexpr std::size_t kIndexed = 8;  // below this many entries a scan is faster

std::size_t HashKey(std::string_view key) { return std::hash<std::string_view>()(key); }
}  // namespace

void ZQ_TDict::Store::Reindex() {
  slots.clear();
  if (entries.size() < kIndexed) return;
  std::size_t size = 16;
  while (size < entries.size() * 2) size *= 2;
  slots.assign(size, 0);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    std::size_t slot = HashKey(entries[i].key) & (size - 1);
    while (slots[slot] != 0) slot = (slot + 1) & (size - 1);
    slots[slot] = static_cast<std::uint32_t>(i + 1);
  }
}

void ZQ_TDict::Store::IndexLast() {
  if (entries.size() < kIndexed) return;
  if (slots.empty() || entries.size() * 2 > slots.size()) {
    Reindex();
    return;
  }
  std::size_t mask = slots.size() - 1;
  std::size_t slot = HashKey(entries.back().key) & mask;
  while (slots[slot] != 0) slot = (slot + 1) & mask;
  slots[slot] = static_cast<std::uint32_t>(entries.size());
}

int ZQ_TDict::Store::Find(std::string_view key) const {
  if (slots.empty()) {
    for (std::size_t i = 0; i < entries.size(); ++i) {
      if (entries[i].key == key) return static_cast<int>(i);
    }
    return -1;
  }
  std::size_t mask = slots.size() - 1;
  for (std::size_t slot = HashKey(key) & mask; slots[slot] != 0; slot = (slot + 1) & mask) {
    std::uint32_t index = slots[slot] - 1;
    if (entries[index].key == key) return static_cast<int>(index);
  }
  return -1;
}

ZQ_TObject* ZQ_TDict::ZQ_Create() { return new ZQ_TDict; }

int ZQ_TDict::Find(std::string_view key) const {
  const Store* store = iStore.Get();
  return store ? store->Find(key) : -1;
}

std::uint32_t ZQ_TDict::Entries() const {
  const Store* store = iStore.Get();
  return store ? static_cast<std::uint32_t>(store->entries.size()) : 0;
}

ZQ_TAny& ZQ_TDict::operator[](std::string_view key) {
  int index = Find(key);
  Store& store = iStore.Mutable();
  if (index >= 0) return store.entries[static_cast<std::size_t>(index)].value;
  store.entries.push_back(Entry{ZQ_TString(key), ZQ_TAny()});
  store.IndexLast();
  return store.entries.back().value;
}

const ZQ_TAny* ZQ_TDict::ValueOfKey(std::string_view key) const {
  int index = Find(key);
  return index < 0 ? nullptr : &iStore.Get()->entries[static_cast<std::size_t>(index)].value;
}

ZQ_TAny* ZQ_TDict::ValueOfKey(std::string_view key) {
  int index = Find(key);
  return index < 0 ? nullptr : &iStore.Mutable().entries[static_cast<std::size_t>(index)].value;
}

bool ZQ_TDict::Remove(std::string_view key) {
  int index = Find(key);
  if (index < 0) return false;
  RemoveAt(static_cast<std::uint32_t>(index));
  return true;
}

const ZQ_TString& ZQ_TDict::KeyAt(std::uint32_t index) const {
  if (index >= Entries()) OutOfRange("dictionary", index);
  return iStore.Get()->entries[index].key;
}

const ZQ_TAny& ZQ_TDict::ValueAt(std::uint32_t index) const {
  if (index >= Entries()) OutOfRange("dictionary", index);
  return iStore.Get()->entries[index].value;
}

ZQ_TAny& ZQ_TDict::ValueAt(std::uint32_t index) {
  if (index >= Entries()) OutOfRange("dictionary", index);
  return iStore.Mutable().entries[index].value;
}

void ZQ_TDict::RemoveAt(std::uint32_t index) {
  if (index >= Entries()) OutOfRange("dictionary", index);
  Store& store = iStore.Mutable();
  store.entries.erase(store.entries.begin() + index);
  store.Reindex();
}

const ZQ_TDict::Entry* ZQ_TDict::begin() const {
  const Store* store = iStore.Get();
  return store ? store->entries.data() : nullptr;
}

const ZQ_TDict::Entry* ZQ_TDict::end() const {
  const Store* store = iStore.Get();
  return store ? store->entries.data() + store->entries.size() : nullptr;
}

bool ZQ_TDict::operator==(const ZQ_TDict& other) const {
  if (Entries() != other.Entries()) return false;
  for (const Entry& entry : *this) {
    const ZQ_TAny* theirs = other.ValueOfKey(entry.key);
    if (theirs == nullptr || *theirs != entry.value) return false;
  }
  return true;
}

void ZQ_TDict::ZQ_Pack(ZQ_IPacking& out) const {
  out.PackU32(Entries());
  for (const Entry& entry : *this) {
    out.PackString(entry.key);
    entry.value.Pack(out);
  }
}

void ZQ_TDict::ZQ_Unpack(ZQ_IUnpacking& in) {
  Clear();
  const std::uint32_t count = in.UnpackU32();
  if (count > 0) iStore.Mutable().entries.reserve(ReservedFor(count));
  for (std::uint32_t i = 0; i < count; ++i) {
    ZQ_TString key = in.UnpackString();
    ZQ_TAny value = ZQ_TAny::Unpack(in);
    // A key packed twice keeps its last value, as assignment would.
    if (ZQ_TAny* known = ValueOfKey(key.View())) {
      *known = std::move(value);
      continue;
    }
    Store& store = iStore.Mutable();
    store.entries.push_back(Entry{std::move(key), std::move(value)});
    store.IndexLast();
  }
}

bool ZQ_TDict::ZQ_IsIdent(const ZQ_IPackable& other) const {
  const ZQ_TDict* dict = ZQ_DynamicCast<ZQ_TDict>(&other);
  return dict != nullptr && *dict == *this;
}

void ZQ_TDict::PrintOn(std::ostream& out) const {
  out << '{';
  const char* separator = "";
  for (const Entry& entry : *this) {
    out << separator << entry.key << ": ";
    PrintValue(out, entry.value);
    separator = ", ";
  }
  out << '}';
}

bool ZQ_TDict::WriteTo(ZQ_THumanReadableStream& out) const {
  out.WriteU32(Entries());
  out.NewLine();
  for (const Entry& entry : *this) {
    out.WriteText(entry.key);
    entry.value.WriteTo(out);
    out.NewLine();
  }
  return false;
}

bool ZQ_TDict::ReadFrom(ZQ_THumanReadableStream& in) {
  Clear();
  const std::uint32_t count = in.ReadU32();
  for (std::uint32_t i = 0; i < count; ++i) {
    ZQ_TString key = in.ReadText();
    (*this)[key] = in.ReadAny();
  }
  return false;
}

// ---------------------------------------------------------------------------
// ZQ_TArray

ZQ_TObject* ZQ_TArray::ZQ_Create() { return new ZQ_TArray; }

const ZQ_TAny& ZQ_TArray::operator[](std::uint32_t index) const {
  if (index >= Entries()) OutOfRange("array", index);
  return iValues[index];
}

ZQ_TAny& ZQ_TArray::operator[](std::uint32_t index) {
  if (index >= Entries()) OutOfRange("array", index);
  return iValues[index];
}

void ZQ_TArray::ZQ_Pack(ZQ_IPacking& out) const {
  out.PackU32(Entries());
  for (const ZQ_TAny& value : iValues) value.Pack(out);
}

void ZQ_TArray::ZQ_Unpack(ZQ_IUnpacking& in) {
  iValues.clear();
  const std::uint32_t count = in.UnpackU32();
  for (std::uint32_t i = 0; i < count; ++i) iValues.push_back(ZQ_TAny::Unpack(in));
}

bool ZQ_TArray::ZQ_IsIdent(const ZQ_IPackable& other) const {
  const ZQ_TArray* array = ZQ_DynamicCast<ZQ_TArray>(&other);
  return array != nullptr && array->iValues == iValues;
}

void ZQ_TArray::PrintOn(std::ostream& out) const {
  out << '(';
  const char* separator = "";
  for (const ZQ_TAny& value : iValues) {
    out << separator;
    PrintValue(out, value);
    separator = ", ";
  }
  out << ')';
}

bool ZQ_TArray::WriteTo(ZQ_THumanReadableStream& out) const {
  out.WriteU32(Entries());
  out.NewLine();
  for (const ZQ_TAny& value : iValues) {
    value.WriteTo(out);
    out.NewLine();
  }
  return false;
}

bool ZQ_TArray::ReadFrom(ZQ_THumanReadableStream& in) {
  iValues.clear();
  const std::uint32_t count = in.ReadU32();
  for (std::uint32_t i = 0; i < count; ++i) iValues.push_back(in.ReadAny());
  return false;
}

ZQ_CLASS_IMPLEMENT(ZQ_TList, ZQ_TObject, &ZQ_TList::ZQ_Create, nullptr, ZQ_IPackable,
                   ZQ_IPrintable, ZQ_IHumanReadable)
ZQ_CLASS_IMPLEMENT(ZQ_TDict, ZQ_TObject, &ZQ_TDict::ZQ_Create, nullptr, ZQ_IPackable,
                   ZQ_IPrintable, ZQ_IHumanReadable)
ZQ_CLASS_IMPLEMENT(ZQ_TArray, ZQ_TObject, &ZQ_TArray::ZQ_Create, nullptr, ZQ_IPackable,
                   ZQ_IPrintable, ZQ_IHumanReadable)
