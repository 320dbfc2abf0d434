// Per-file metadata: objects stored beside a file, each key in an extended
// attribute "user.imr.<key>" holding the object's packed form (compressed
// when that makes it smaller).
#pragma once

#include <functional>

#include "zqtypes/zqtypes.h"

// Something whose storage follows a file.
class PXC_IRelocatable : public virtual ZQ_IInterface {
  ZQ_CLASS_BOILERPLATE(PXC_IRelocatable)
 public:
  virtual const ZQ_TURL& Location() const = 0;
};

class PXC_IMetadata : public virtual PXC_IRelocatable {
  ZQ_CLASS_BOILERPLATE(PXC_IMetadata)
 public:
  // The object stored under `key` (owned by the caller), or null when the
  // key is absent (or the file system keeps no attributes).
  virtual ZQ_TObject* GetKeyObject(const ZQ_TString& key) const = 0;
  virtual void SetKeyObject(const ZQ_TString& key, const ZQ_IPackable& value) = 0;
  // Removes `key`; an absent key is not an error.
  virtual void RemoveKey(const ZQ_TString& key) = 0;
};

// Failures: PXC_EMetadataFileDoesNotExist (no such file),
// PXC_EMetadataCouldNotRead / PXC_EMetadataCouldNotWrite (the file system or
// the file's permissions refuse, the value is too large for the file system,
// or a stored value is corrupt), PXC_EMetadataNotImplemented (not a file URL).
class PXC_TMetadata : public ZQ_TObject, public virtual PXC_IMetadata {
  ZQ_CLASS_BOILERPLATE(PXC_TMetadata)
 public:
  PXC_TMetadata() = default;
  explicit PXC_TMetadata(const ZQ_TURL& url);
  static ZQ_TObject* ZQ_Create() { return new PXC_TMetadata; }

  const ZQ_TURL& Location() const override { return iURL; }
  ZQ_TObject* GetKeyObject(const ZQ_TString& key) const override;
  void SetKeyObject(const ZQ_TString& key, const ZQ_IPackable& value) override;
  void RemoveKey(const ZQ_TString& key) override;
  // Hands the packed form stored under `key` to `read`, which must read all
  // of it (decoders of a fixed layout read it in place, with no object
  // built); false when the key is absent (or the file system keeps no
  // attributes).  A value `read` fails on is PXC_EMetadataCouldNotRead.
  bool ReadKey(const ZQ_TString& key, const std::function<void(ZQ_TDataStream&)>& read) const;
  // Whether a value is stored under `key`, without reading it.
  bool HasKey(const ZQ_TString& key) const;
  ZQ_TObject* GetKeyObject(const wchar_t* key) const { return GetKeyObject(ZQ_TString(key)); }
  void SetKeyObject(const wchar_t* key, const ZQ_IPackable& value) {
    SetKeyObject(ZQ_TString(key), value);
  }
  void RemoveKey(const wchar_t* key) { RemoveKey(ZQ_TString(key)); }

  // Values whose packed form is larger are refused before the file system
  // sees them.
  static constexpr std::size_t kMaxValue = 65536;

  // While a hold lives, no other hold on the same file is granted, in this
  // process or another (an advisory lock on the file), so that a value of
  // several keys is written or removed whole.  Readers take none.  A file
  // that cannot be opened, or that others keep locked beyond a short wait,
  // is not held: its keys are then changed one by one as they come.  Holds
  // do not nest.
  class Hold {
   public:
    explicit Hold(const PXC_TMetadata& metadata);
    ~Hold();
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;
    bool Held() const { return iFile >= 0; }

   private:
    int iFile = -1;
  };

 private:
  const ZQ_TString& FilePath() const;
  ZQ_TURL iURL;
  ZQ_TString iPath;  // of a file URL, decoded once
};
