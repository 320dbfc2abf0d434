// Streams: a memory stream of bytes, the packed form (ZQ_TDataStream) and the
// human-readable text form (ZQ_THumanReadableStream) over it.
//
// Packed form, little-endian throughout:
//   bool, u8        1 byte          u32  4 bytes      u64, double  8 bytes
//   string          u32 length, then the bytes
//   object          u8 0 (null) or 1, the class name as a string, a u32 byte
//                   count, then what the object's ZQ_Pack wrote
//   section         the name as a string, a u32 byte count, then the items
// Every count is checked against the bytes that remain, so corrupt data
// raises ZQ_EStreamTruncated / ZQ_EStreamFormat and never over-reads or
// allocates more than the data holds.  Nesting is limited to kMaxDepth.
//
// Text form: items separated by blanks or line breaks.  Numbers in decimal;
// booleans `true` / `false`; texts in double quotes, with backslash escapes
// for the quote, the backslash, n, r, t and xHH; an object as its class name followed by its items, or
// NULL.  A `#` outside a quoted text starts a comment to the end of the line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "zqtypes/zq_exception.h"

class ZQ_TMemoryStream {
 public:
  ZQ_TMemoryStream() = default;
  // A stream that starts with a copy of `size` bytes at `data`.
  ZQ_TMemoryStream(const void* data, std::size_t size);

  void Write(const void* data, std::size_t size);
  // Copies up to `size` bytes from the position; returns how many.
  std::size_t Read(void* data, std::size_t size);
  // Moves the position; beyond the end it is clamped to the end.
  void Seek(std::size_t position);
  std::size_t Tell() const { return iPosition; }
  std::size_t Size() const { return iBytes.size(); }
  std::size_t Remaining() const { return iBytes.size() - iPosition; }
  const std::uint8_t* Data() const { return iBytes.data(); }
  std::string_view View() const {
    return {reinterpret_cast<const char*>(iBytes.data()), iBytes.size()};
  }
  // Bytes from the position, without moving it.
  const std::uint8_t* Current() const { return iBytes.data() + iPosition; }
  void Skip(std::size_t count);
  // The `count` bytes from the position, moving past them; the caller has
  // made sure that they are there.
  const std::uint8_t* Take(std::size_t count) {
    const std::uint8_t* bytes = Current();
    iPosition += count;
    return bytes;
  }
  // Overwrites bytes already written, without moving the position.
  void Patch(std::size_t position, const void* data, std::size_t size);

 private:
  std::vector<std::uint8_t> iBytes;
  std::size_t iPosition = 0;
};

class ZQ_TDataStream : public ZQ_IPacking, public ZQ_IUnpacking {
 public:
  static constexpr int kMaxDepth = 200;

  explicit ZQ_TDataStream(ZQ_TMemoryStream& memory) : iMemory(memory) {}

  void PackBool(bool value) override;
  void PackU8(std::uint8_t value) override;
  void PackU32(std::uint32_t value) override;
  void PackU64(std::uint64_t value) override;
  void PackDouble(double value) override;
  void PackChars(const char* chars, std::uint32_t count) override;
  void PackString(const ZQ_TString& value) override;
  void PackObject(const ZQ_IPackable* object) override;
  void BeginSection(const char* name) override;
  void EndSection(const char* name) override;

  bool UnpackBool() override;
  std::uint8_t UnpackU8() override;
  std::uint32_t UnpackU32() override;
  std::uint64_t UnpackU64() override;
  double UnpackDouble() override;
  void UnpackChars(char* chars, std::uint32_t count) override;
  ZQ_TString UnpackString() override;
  ZQ_TObject* UnpackObject() override;
  void EnterSection(const char* name) override;
  void LeaveSection(const char* name) override;

  // Writes an object (Insert) or rebuilds the next one (Extract, owned by
  // the caller, null for a null object).  With `wholeStream`, bytes left
  // after the object are an error.
  void Insert(const ZQ_IPackable& object) { PackObject(&object); }
  ZQ_TObject* Extract(bool wholeStream = true);

  // Reading an object of a known class in place, for decoders of a fixed
  // layout: EnterObject reads the header of an object of class `className`
  // (a null object or another class is ZQ_EStreamFormat) and opens its
  // frame; the caller reads the object's fields; LeaveObject skips what the
  // frame still holds.  Nothing is created and the class registry is not
  // asked.
  void EnterObject(const char* className);
  void LeaveObject();
  // Reads a value (as ZQ_TAny packs it) holding an object of `target`'s
  // class into `target`, in place.
  void UnpackObjectValue(ZQ_IPackable& target);
  // Whether every byte has been read.
  bool AtEnd() const { return iMemory.Remaining() == 0; }

 private:
  // Raises unless `count` bytes of the open frame follow the position.
  void Need(std::size_t count, const char* what) {
    const std::size_t limit = iEnds.empty() ? iMemory.Size() : iEnds.back();
    if (iMemory.Tell() > limit || count > limit - iMemory.Tell()) Truncated(what);
  }
  [[noreturn]] static void Truncated(const char* what);
  // The next `count` bytes of the open frame, read past; raises when the
  // frame or the data ends first.
  const std::uint8_t* Take(std::size_t count, const char* what) {
    Need(count, what);
    return iMemory.Take(count);
  }
  void Enter();
  // Reads an object's header: false for a null object, else its class name
  // (a view into the data) and where its frame ends.
  bool ObjectHeader(std::string_view& name, std::size_t& end);

  ZQ_TMemoryStream& iMemory;
  std::vector<std::size_t> iOpen;   // write: where each open count goes
  std::vector<std::size_t> iEnds;   // read: where each open frame ends
  int iDepth = 0;
};

// Line break and indentation of the text form: `stream << cr`.
struct ZQ_TLineBreak {};
inline constexpr ZQ_TLineBreak cr{};
// The blanks that separate items of the text form.
extern const char* const sWhiteSpace;

class ZQ_THumanReadableStream {
 public:
  static constexpr int kMaxDepth = 200;

  explicit ZQ_THumanReadableStream(ZQ_TMemoryStream& memory) : iMemory(memory) {}

  // Writing.  Each item is separated from the previous one by a blank unless
  // it starts a line.
  void WriteU32(std::uint32_t value);
  void WriteI32(std::int32_t value);
  void WriteU64(std::uint64_t value);
  void WriteDouble(double value);
  void WriteBool(bool value);
  void WriteText(std::string_view text);
  void WriteWord(std::string_view word);
  // NULL, or the class name and the object's items (ZQ_IHumanReadable).
  void WriteObject(const ZQ_IInterface* object);
  void WriteAny(const ZQ_TAny& value) { value.WriteTo(*this); }
  void NewLine();
  void Insert(const ZQ_IInterface& object) { WriteObject(&object); }

  ZQ_THumanReadableStream& operator<<(std::uint32_t value) { WriteU32(value); return *this; }
  ZQ_THumanReadableStream& operator<<(bool value) { WriteBool(value); return *this; }
  ZQ_THumanReadableStream& operator<<(const ZQ_TString& text) { WriteText(text); return *this; }
  ZQ_THumanReadableStream& operator<<(ZQ_TLineBreak) { NewLine(); return *this; }

  // Reading.  Failures raise ZQ_EStreamFormat or ZQ_EStreamTruncated with
  // the line number.
  std::uint32_t ReadU32();
  std::int32_t ReadI32();
  std::uint64_t ReadU64();
  double ReadDouble();
  bool ReadBool();
  ZQ_TString ReadText();
  ZQ_TString ReadWord();
  // The next word without consuming it (empty at the end of the text).
  ZQ_TString PeekWord();
  // The next object rebuilt through the class registry (owned by the
  // caller), or null for NULL.
  ZQ_TObject* ReadObject();
  ZQ_TAny ReadAny() { return ZQ_TAny::ReadFrom(*this); }
  bool AtEnd();
  ZQ_TObject* Extract(bool wholeStream = true);
  int LineNumber() const { return iLine; }

 private:
  enum class TokenKind { End, Word, Text };
  struct Token {
    TokenKind kind = TokenKind::End;
    std::string text;
    int line = 0;
  };
  void Separate();
  void SkipBlanks();
  Token Next();
  [[noreturn]] void Fail(const char* what, const Token& token) const;

  ZQ_TMemoryStream& iMemory;
  bool iLineStart = true;
  int iIndent = 0;
  int iLine = 1;
  int iDepth = 0;
  bool iPeeked = false;
  Token iPeek;
};
