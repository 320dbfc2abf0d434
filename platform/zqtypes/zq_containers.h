// Containers of ZQ_TAny values: ZQ_TList (ordered, with stable entry keys),
// ZQ_TDict (string keys, walked in insertion order), ZQ_TArray (a fixed count)
// and their iterators.  Lists and dictionaries share their storage between
// copies until one of them changes, so copies are cheap.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "zqtypes/zq_any.h"
#include "zqtypes/zq_shared.h"
#include "zqtypes/zq_streams.h"

// The key of a list entry: stays with the entry through insertions and
// removals elsewhere in the list, and in copies of the list.  A default key is
// the null key.
class ZQ_TListKey {
 public:
  ZQ_TListKey() = default;
  explicit ZQ_TListKey(std::uint64_t id) : iId(id) {}
  bool IsNull() const { return iId == 0; }
  std::uint64_t Id() const { return iId; }
  bool operator==(const ZQ_TListKey& other) const { return iId == other.iId; }
  bool operator!=(const ZQ_TListKey& other) const { return iId != other.iId; }

 private:
  std::uint64_t iId = 0;
};

// Walks a container, allowing the current item to be deleted.
template <class Container>
class ZQ_TIterator {
 public:
  explicit ZQ_TIterator(Container& container) : iContainer(&container) {}
  bool IsDone() const { return iIndex >= iContainer->Entries(); }
  ZQ_TAny& Value() const { return iContainer->ValueAt(iIndex); }
  typename Container::KeyType Key() const { return iContainer->KeyAt(iIndex); }
  // Removes the current item; the next advance moves to the item after it.
  void DeleteItem() {
    iContainer->RemoveAt(iIndex);
    iDeleted = true;
  }
  ZQ_TIterator& operator++() {
    if (!iDeleted) ++iIndex;
    iDeleted = false;
    return *this;
  }

 private:
  Container* iContainer;
  std::uint32_t iIndex = 0;
  bool iDeleted = false;
};

template <class Container>
class ZQ_TConstIterator {
 public:
  explicit ZQ_TConstIterator(const Container& container) : iContainer(&container) {}
  bool IsDone() const { return iIndex >= iContainer->Entries(); }
  const ZQ_TAny& Value() const { return iContainer->ValueAt(iIndex); }
  typename Container::KeyType Key() const { return iContainer->KeyAt(iIndex); }
  ZQ_TConstIterator& operator++() {
    ++iIndex;
    return *this;
  }

 private:
  const Container* iContainer;
  std::uint32_t iIndex = 0;
};

class ZQ_TList : public ZQ_TObject,
                 public virtual ZQ_IPackable,
                 public virtual ZQ_IPrintable,
                 public virtual ZQ_IHumanReadable {
  ZQ_CLASS_BOILERPLATE(ZQ_TList)
 public:
  using KeyType = ZQ_TListKey;
  struct Entry {
    ZQ_TListKey key;
    ZQ_TAny value;
  };

  ZQ_TList() = default;
  ZQ_TList(std::initializer_list<ZQ_TAny> values);
  ZQ_TList(const ZQ_TList& other)
      : ZQ_IInterface(), ZQ_IPackable(), ZQ_IPrintable(), ZQ_IHumanReadable(), ZQ_TObject(),
        iStore(other.iStore) {}
  ZQ_TList& operator=(const ZQ_TList& other) {
    iStore = other.iStore;
    return *this;
  }
  static ZQ_TObject* ZQ_Create();

  std::uint32_t Entries() const;
  bool IsEmpty() const { return Entries() == 0; }
  // Values by index (0 .. Entries()-1); out of range raises ZQ_ERange.
  const ZQ_TAny& operator[](std::uint32_t index) const { return ValueAt(index); }
  ZQ_TAny& operator[](std::uint32_t index) { return ValueAt(index); }
  const ZQ_TAny& ValueAt(std::uint32_t index) const;
  ZQ_TAny& ValueAt(std::uint32_t index);
  ZQ_TListKey KeyAt(std::uint32_t index) const;

  // The key of the first entry equal to `value`, or the null key.
  ZQ_TListKey KeyOf(const ZQ_TAny& value) const;
  // Index of the entry with `key`, or -1.
  int IndexOfKey(const ZQ_TListKey& key) const;
  // Value of the entry with `key`, or null.
  const ZQ_TAny* ValueOfKey(const ZQ_TListKey& key) const;
  ZQ_TAny* ValueOfKey(const ZQ_TListKey& key);

  ZQ_TListKey AddAtTail(const ZQ_TAny& value);
  ZQ_TListKey AddAtTail(ZQ_TAny&& value);
  ZQ_TListKey AddAtHead(const ZQ_TAny& value);
  void RemoveHead();
  void RemoveAt(std::uint32_t index);
  bool Remove(const ZQ_TListKey& key);
  // Moves the entry at `index` to the tail, keeping the others in order.
  void MoveToTail(std::uint32_t index);
  void Clear() { iStore.Reset(); }
  // True when this list and `other` share their storage: one is a copy of
  // the other and neither was changed since.
  bool SharesStorage(const ZQ_TList& other) const { return iStore.SameBlock(other.iStore); }

  const Entry* begin() const;
  const Entry* end() const;

  bool operator==(const ZQ_TList& other) const;

  void ZQ_Pack(ZQ_IPacking& out) const override;
  void ZQ_Unpack(ZQ_IUnpacking& in) override;
  ZQ_IPackable* ZQ_Clone(void* = nullptr) const override { return new ZQ_TList(*this); }
  bool ZQ_IsIdent(const ZQ_IPackable& other) const override;
  // "[a, b, c]"
  void PrintOn(std::ostream& out) const override;
  bool WriteTo(ZQ_THumanReadableStream& out) const override;
  bool ReadFrom(ZQ_THumanReadableStream& in) override;
  bool ZQ_HRMultiLine() const override { return true; }

 private:
  struct Store {
    std::vector<Entry> entries;
  };
  ZQ_TShared<Store> iStore;
};

class ZQ_TDict : public ZQ_TObject,
                 public virtual ZQ_IPackable,
                 public virtual ZQ_IPrintable,
                 public virtual ZQ_IHumanReadable {
  ZQ_CLASS_BOILERPLATE(ZQ_TDict)
 public:
  using KeyType = const ZQ_TString&;
  struct Entry {
    ZQ_TString key;
    ZQ_TAny value;
  };

  ZQ_TDict() = default;
  ZQ_TDict(const ZQ_TDict& other)
      : ZQ_IInterface(), ZQ_IPackable(), ZQ_IPrintable(), ZQ_IHumanReadable(), ZQ_TObject(),
        iStore(other.iStore) {}
  ZQ_TDict& operator=(const ZQ_TDict& other) {
    iStore = other.iStore;
    return *this;
  }
  static ZQ_TObject* ZQ_Create();

  std::uint32_t Entries() const;
  bool IsEmpty() const { return Entries() == 0; }
  // The value of `key`, created as Illegal at the tail when missing.
  ZQ_TAny& operator[](std::string_view key);
  bool HasKey(std::string_view key) const { return Find(key) >= 0; }
  // The value of `key`, or null when absent.
  const ZQ_TAny* ValueOfKey(std::string_view key) const;
  ZQ_TAny* ValueOfKey(std::string_view key);
  // Sets `key` to `value`: replaced in place when present, else added last.
  void Add(std::string_view key, const ZQ_TAny& value) {
    ZQ_TAny copy(value);  // `value` may be an entry that adding the key moves
    (*this)[key] = std::move(copy);
  }
  bool Remove(std::string_view key);
  void Clear() { iStore.Reset(); }
  // True when this dictionary and `other` share their storage: one is a copy
  // of the other and neither was changed since.
  bool SharesStorage(const ZQ_TDict& other) const { return iStore.SameBlock(other.iStore); }

  // Entries in insertion order.
  const ZQ_TString& KeyAt(std::uint32_t index) const;
  const ZQ_TAny& ValueAt(std::uint32_t index) const;
  ZQ_TAny& ValueAt(std::uint32_t index);
  void RemoveAt(std::uint32_t index);
  const Entry* begin() const;
  const Entry* end() const;

  bool operator==(const ZQ_TDict& other) const;

  void ZQ_Pack(ZQ_IPacking& out) const override;
  void ZQ_Unpack(ZQ_IUnpacking& in) override;
  ZQ_IPackable* ZQ_Clone(void* = nullptr) const override { return new ZQ_TDict(*this); }
  bool ZQ_IsIdent(const ZQ_IPackable& other) const override;
  // "{key: value, ...}"
  void PrintOn(std::ostream& out) const override;
  bool WriteTo(ZQ_THumanReadableStream& out) const override;
  bool ReadFrom(ZQ_THumanReadableStream& in) override;
  bool ZQ_HRMultiLine() const override { return true; }

 private:
  // Entries, and from kIndexed entries on an open-addressing index of them.
  struct Store {
    std::vector<Entry> entries;
    std::vector<std::uint32_t> slots;  // entry index + 1, 0 for empty
    void Reindex();
    void IndexLast();
    int Find(std::string_view key) const;
  };
  int Find(std::string_view key) const;
  ZQ_TShared<Store> iStore;
};

// A fixed number of values.
class ZQ_TArray : public ZQ_TObject,
                  public virtual ZQ_IPackable,
                  public virtual ZQ_IPrintable,
                  public virtual ZQ_IHumanReadable {
  ZQ_CLASS_BOILERPLATE(ZQ_TArray)
 public:
  explicit ZQ_TArray(std::uint32_t count = 0) : iValues(count) {}
  static ZQ_TObject* ZQ_Create();

  std::uint32_t Entries() const { return static_cast<std::uint32_t>(iValues.size()); }
  const ZQ_TAny& operator[](std::uint32_t index) const;
  ZQ_TAny& operator[](std::uint32_t index);

  void ZQ_Pack(ZQ_IPacking& out) const override;
  void ZQ_Unpack(ZQ_IUnpacking& in) override;
  ZQ_IPackable* ZQ_Clone(void* = nullptr) const override { return new ZQ_TArray(*this); }
  bool ZQ_IsIdent(const ZQ_IPackable& other) const override;
  void PrintOn(std::ostream& out) const override;
  bool WriteTo(ZQ_THumanReadableStream& out) const override;
  bool ReadFrom(ZQ_THumanReadableStream& in) override;
  bool ZQ_HRMultiLine() const override { return true; }

 private:
  std::vector<ZQ_TAny> iValues;
};

// Reads a packed list or array (`className` ZQ_TList or ZQ_TArray: both pack
// their count, then their values) value by value, for decoders of a fixed
// layout: `each(index)` reads value `index` from `in` with the readers of
// known kinds (ZQ_TAny::UnpackU32Value, ZQ_TDataStream::UnpackObjectValue,
// ...).  No value is boxed and the class registry is not asked.
template <class Each>
void ZQ_UnpackValues(ZQ_TDataStream& in, const char* className, Each&& each) {
  in.EnterObject(className);
  const std::uint32_t count = in.UnpackU32();
  for (std::uint32_t index = 0; index < count; ++index) each(index);
  in.LeaveObject();
}
