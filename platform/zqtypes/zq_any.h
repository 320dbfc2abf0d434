// ZQ_TAny: a variant that holds nothing (Illegal), a text, or a packable
// object.  Booleans and unsigned numbers are held as the boxed objects
// ZQ_TBool and ZQ_TUInt32.  Objects are shared between copies and copied on
// the first mutable access, so copying a variant never copies its object.
#pragma once

#include <cstdint>
#include <string_view>

#include "zqtypes/zq_string.h"

class ZQ_TAny {
 public:
  ZQ_TAny() noexcept = default;
  ZQ_TAny(bool value);
  ZQ_TAny(unsigned int value);
  ZQ_TAny(int value) : ZQ_TAny(static_cast<unsigned int>(value)) {}
  ZQ_TAny(const char* text) : iKind(Kind::Text), iText(text) {}
  ZQ_TAny(std::string_view text) : iKind(Kind::Text), iText(text) {}
  ZQ_TAny(const std::string& text) : iKind(Kind::Text), iText(text) {}
  ZQ_TAny(const ZQ_TString& text) : iKind(Kind::Text), iText(text) {}
  // Holds a copy of `object` (a ZQ_TString is held as text).
  explicit ZQ_TAny(const ZQ_IPackable& object);
  ZQ_TAny(const ZQ_TAny& other) noexcept;
  ZQ_TAny(ZQ_TAny&& other) noexcept;
  ZQ_TAny& operator=(const ZQ_TAny& other) noexcept;
  ZQ_TAny& operator=(ZQ_TAny&& other) noexcept;
  ~ZQ_TAny() { ReleaseObject(); }

  // Takes ownership of `object` (null gives Illegal).
  static ZQ_TAny Adopt(ZQ_IPackable* object);
  // Takes ownership of an object rebuilt by a stream; an object that is not
  // packable is deleted and gives Illegal.
  static ZQ_TAny AdoptObject(ZQ_TObject* object);
  static const ZQ_TAny& Illegal();

  bool IsIllegal() const noexcept { return iKind == Kind::Illegal; }
  bool IsText() const noexcept { return iKind == Kind::Text; }
  bool IsObject() const noexcept { return iKind == Kind::Object; }
  // The content as a generic object (the text as its ZQ_TString), or null.
  const ZQ_IInterface* Content() const noexcept;

  // The content viewed as class `name`, or null.
  const void* DynamicCast(const char* name, const char* file = nullptr, int line = 0) const;
  template <class T>
  const T* DynamicCast(const char* file = nullptr, int line = 0) const {
    return static_cast<const T*>(DynamicCast(T::ZQ_ClassName(), file, line));
  }
  // Mutable view; a shared object is copied first.
  template <class T>
  T* DynamicCast(const char* file = nullptr, int line = 0) {
    if (iKind == Kind::Object) Detach();
    return const_cast<T*>(static_cast<const T*>(
        static_cast<const ZQ_TAny*>(this)->DynamicCast(T::ZQ_ClassName(), file, line)));
  }

  // Texts compare as text; objects by ZQ_IsIdent.
  bool operator==(const ZQ_TAny& other) const;
  bool operator!=(const ZQ_TAny& other) const { return !(*this == other); }

  // A readable text of the value: the text itself, numbers in decimal,
  // printable objects as they print, other objects as their class name.
  ZQ_TString ToText() const;

  void Pack(ZQ_IPacking& out) const;
  static ZQ_TAny Unpack(ZQ_IUnpacking& in);
  // Readers of one packed value whose kind the caller knows (decoders of a
  // fixed layout): nothing is boxed, and a value of another kind is
  // ZQ_EStreamFormat.  After UnpackObjectTag the object itself follows.
  static std::uint32_t UnpackU32Value(ZQ_IUnpacking& in);
  static bool UnpackBoolValue(ZQ_IUnpacking& in);
  static void UnpackObjectTag(ZQ_IUnpacking& in);
  void WriteTo(ZQ_THumanReadableStream& out) const;
  static ZQ_TAny ReadFrom(ZQ_THumanReadableStream& in);

 private:
  enum class Kind : std::uint8_t { Illegal, Text, Object };
  struct Box;
  void ReleaseObject() noexcept;
  void Detach();

  Kind iKind = Kind::Illegal;
  ZQ_TString iText;
  Box* iBox = nullptr;
};

// Boxed values that travel in variants, lists, dictionaries and streams.
class ZQ_TUInt32 : public ZQ_TObject,
                   public virtual ZQ_IPackable,
                   public virtual ZQ_IHumanReadable,
                   public virtual ZQ_IPrintable {
  ZQ_CLASS_BOILERPLATE(ZQ_TUInt32)
 public:
  explicit ZQ_TUInt32(std::uint32_t value = 0) : iValue(value) {}
  static ZQ_TObject* ZQ_Create();
  std::uint32_t Value() const { return iValue; }
  operator std::uint32_t() const { return iValue; }

  void ZQ_Pack(ZQ_IPacking& out) const override { out.PackU32(iValue); }
  void ZQ_Unpack(ZQ_IUnpacking& in) override { iValue = in.UnpackU32(); }
  ZQ_IPackable* ZQ_Clone(void* = nullptr) const override { return new ZQ_TUInt32(*this); }
  bool ZQ_IsIdent(const ZQ_IPackable& other) const override;
  bool WriteTo(ZQ_THumanReadableStream& out) const override;
  bool ReadFrom(ZQ_THumanReadableStream& in) override;
  void PrintOn(std::ostream& out) const override;

 private:
  std::uint32_t iValue;
};

class ZQ_TBool : public ZQ_TObject,
                 public virtual ZQ_IPackable,
                 public virtual ZQ_IHumanReadable,
                 public virtual ZQ_IPrintable {
  ZQ_CLASS_BOILERPLATE(ZQ_TBool)
 public:
  explicit ZQ_TBool(bool value = false) : iValue(value) {}
  static ZQ_TObject* ZQ_Create();
  bool Value() const { return iValue; }
  operator bool() const { return iValue; }

  void ZQ_Pack(ZQ_IPacking& out) const override { out.PackBool(iValue); }
  void ZQ_Unpack(ZQ_IUnpacking& in) override { iValue = in.UnpackBool(); }
  ZQ_IPackable* ZQ_Clone(void* = nullptr) const override { return new ZQ_TBool(*this); }
  bool ZQ_IsIdent(const ZQ_IPackable& other) const override;
  bool WriteTo(ZQ_THumanReadableStream& out) const override;
  bool ReadFrom(ZQ_THumanReadableStream& in) override;
  void PrintOn(std::ostream& out) const override;

 private:
  bool iValue;
};
