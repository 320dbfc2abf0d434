// The object protocols: packing into and out of the packed form, printing for
// diagnostics, and writing and reading the human-readable text form.
#pragma once

#include <cstdint>
#include <iosfwd>

#include "zqtypes/zq_object.h"

class ZQ_TString;
class ZQ_IPackable;
class ZQ_THumanReadableStream;

// Writer of the packed form.  Items are read back by ZQ_IUnpacking in the
// order they were written; a section encloses items under a name.
class ZQ_IPacking {
 public:
  virtual ~ZQ_IPacking() = default;
  virtual void PackBool(bool value) = 0;
  virtual void PackU8(std::uint8_t value) = 0;
  virtual void PackU32(std::uint32_t value) = 0;
  virtual void PackU64(std::uint64_t value) = 0;
  virtual void PackDouble(double value) = 0;
  // `count` raw bytes; the reader must know the count.
  virtual void PackChars(const char* chars, std::uint32_t count) = 0;
  // A length and the bytes.
  virtual void PackString(const ZQ_TString& value) = 0;
  // A nested object with its class name, or a null object.
  virtual void PackObject(const ZQ_IPackable* object) = 0;
  virtual void BeginSection(const char* name) = 0;
  virtual void EndSection(const char* name) = 0;

  void PackI32(std::int32_t value) { PackU32(static_cast<std::uint32_t>(value)); }
};

// Reader of the packed form.  Every failure (truncated data, a wrong section
// name, an unknown class) raises a ZQ_EStream exception.
class ZQ_IUnpacking {
 public:
  virtual ~ZQ_IUnpacking() = default;
  virtual bool UnpackBool() = 0;
  virtual std::uint8_t UnpackU8() = 0;
  virtual std::uint32_t UnpackU32() = 0;
  virtual std::uint64_t UnpackU64() = 0;
  virtual double UnpackDouble() = 0;
  virtual void UnpackChars(char* chars, std::uint32_t count) = 0;
  virtual ZQ_TString UnpackString() = 0;
  // The nested object rebuilt through the class registry (owned by the
  // caller), or null for a null object.
  virtual ZQ_TObject* UnpackObject() = 0;
  // Opens the section written under `name`; another name is an error.
  virtual void EnterSection(const char* name) = 0;
  // Skips what the section still holds.
  virtual void LeaveSection(const char* name) = 0;

  std::int32_t UnpackI32() { return static_cast<std::int32_t>(UnpackU32()); }
};

class ZQ_IPackable : public virtual ZQ_IInterface {
  ZQ_CLASS_BOILERPLATE(ZQ_IPackable)
 public:
  virtual void ZQ_Pack(ZQ_IPacking& out) const = 0;
  virtual void ZQ_Unpack(ZQ_IUnpacking& in) = 0;
  // A new copy; `place` is not used.
  virtual ZQ_IPackable* ZQ_Clone(void* place = nullptr) const = 0;
  // Whether `other` is of this object's class (or a subclass) and equal.
  virtual bool ZQ_IsIdent(const ZQ_IPackable& other) const = 0;

  ZQ_IPackable& operator=(ZQ_IUnpacking& in) {
    ZQ_Unpack(in);
    return *this;
  }
  virtual const char* ZQ_PackClassObject() const { return ClassName(); }
  // A 32-bit number for the class, the hash of its name.
  virtual std::uint32_t ZQ_PackTypeID() const;
};

// Diagnostic printing.  Indentation is per thread: Indent and ReverseIndent
// move it by one level and Prefix gives the blanks of the current level.
class ZQ_IPrintable : public virtual ZQ_IInterface {
  ZQ_CLASS_BOILERPLATE(ZQ_IPrintable)
 public:
  virtual void PrintOn(std::ostream& out) const = 0;
  static void Indent();
  static void ReverseIndent();
  static const char* Prefix();
};

// The human-readable text form: an object is its class name followed by its
// items (see ZQ_THumanReadableStream).
class ZQ_IHumanReadable : public virtual ZQ_IInterface {
  ZQ_CLASS_BOILERPLATE(ZQ_IHumanReadable)
 public:
  // Write or read the object's items.  Both return true when the object
  // cannot be represented; the stream then raises ZQ_EStreamFormat.
  virtual bool WriteTo(ZQ_THumanReadableStream& out) const = 0;
  virtual bool ReadFrom(ZQ_THumanReadableStream& in) = 0;
  // True when the items go on lines of their own, false when the object is
  // written on the line of its class name.
  virtual bool ZQ_HRMultiLine() const { return false; }

  // The class name and then the items.
  void ZQ_WriteTo(ZQ_THumanReadableStream& out) const;
  void ZQ_ReadFrom(ZQ_THumanReadableStream& in);
};
