#include "zqtypes/zq_streams.h"

#include <cerrno>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

const char* const sWhiteSpace = " \t\r\n";

namespace {
constexpr std::uint32_t kMaxClassName = 255;

void PutLE(std::uint8_t* out, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint64_t GetLE(const std::uint8_t* in, int bytes) {
  std::uint64_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | in[i];
  return value;
}
}  // namespace

// ---------------------------------------------------------------------------
// ZQ_TMemoryStream

ZQ_TMemoryStream::ZQ_TMemoryStream(const void* data, std::size_t size)
    : iBytes(static_cast<const std::uint8_t*>(data),
             static_cast<const std::uint8_t*>(data) + size) {}

void ZQ_TMemoryStream::Write(const void* data, std::size_t size) {
  if (size == 0) return;
  if (iPosition + size > iBytes.size()) iBytes.resize(iPosition + size);
  std::memcpy(iBytes.data() + iPosition, data, size);
  iPosition += size;
}

std::size_t ZQ_TMemoryStream::Read(void* data, std::size_t size) {
  std::size_t count = size < Remaining() ? size : Remaining();
  if (count != 0) std::memcpy(data, iBytes.data() + iPosition, count);
  iPosition += count;
  return count;
}

void ZQ_TMemoryStream::Seek(std::size_t position) {
  iPosition = position < iBytes.size() ? position : iBytes.size();
}

void ZQ_TMemoryStream::Skip(std::size_t count) { Seek(iPosition + (count < Remaining() ? count : Remaining())); }

void ZQ_TMemoryStream::Patch(std::size_t position, const void* data, std::size_t size) {
  if (position + size > iBytes.size()) {
    ZQ_THROW(ZQ_ERange, "Patch beyond the end of a memory stream");
  }
  std::memcpy(iBytes.data() + position, data, size);
}

// ---------------------------------------------------------------------------
// ZQ_TDataStream: writing

void ZQ_TDataStream::PackBool(bool value) { PackU8(value ? 1 : 0); }

void ZQ_TDataStream::PackU8(std::uint8_t value) { iMemory.Write(&value, 1); }

void ZQ_TDataStream::PackU32(std::uint32_t value) {
  std::uint8_t bytes[4];
  PutLE(bytes, value, 4);
  iMemory.Write(bytes, 4);
}

void ZQ_TDataStream::PackU64(std::uint64_t value) {
  std::uint8_t bytes[8];
  PutLE(bytes, value, 8);
  iMemory.Write(bytes, 8);
}

void ZQ_TDataStream::PackDouble(double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  PackU64(bits);
}

void ZQ_TDataStream::PackChars(const char* chars, std::uint32_t count) {
  iMemory.Write(chars, count);
}

void ZQ_TDataStream::PackString(const ZQ_TString& value) {
  PackU32(value.Length());
  iMemory.Write(value.Narrow(), value.Length());
}

void ZQ_TDataStream::PackObject(const ZQ_IPackable* object) {
  if (object == nullptr) {
    PackU8(0);
    return;
  }
  PackU8(1);
  PackString(ZQ_TString(object->ZQ_PackClassObject()));
  iOpen.push_back(iMemory.Tell());
  PackU32(0);
  object->ZQ_Pack(*this);
  std::size_t start = iOpen.back();
  iOpen.pop_back();
  std::uint8_t count[4];
  PutLE(count, iMemory.Tell() - start - 4, 4);
  iMemory.Patch(start, count, 4);
}

void ZQ_TDataStream::BeginSection(const char* name) {
  PackString(ZQ_TString(name));
  iOpen.push_back(iMemory.Tell());
  PackU32(0);
}

void ZQ_TDataStream::EndSection(const char*) {
  if (iOpen.empty()) ZQ_THROW(ZQ_EStreamFormat, "Section closed but none is open");
  std::size_t start = iOpen.back();
  iOpen.pop_back();
  std::uint8_t count[4];
  PutLE(count, iMemory.Tell() - start - 4, 4);
  iMemory.Patch(start, count, 4);
}

// ---------------------------------------------------------------------------
// ZQ_TDataStream: reading

void ZQ_TDataStream::Truncated(const char* what) {
  ZQ_THROW(ZQ_EStreamTruncated, "Packed data ends inside %s", ZQ_TString(what));
}

bool ZQ_TDataStream::UnpackBool() {
  std::uint8_t value = UnpackU8();
  if (value > 1) ZQ_THROW(ZQ_EStreamFormat, "Invalid boolean %s in packed data", ZQ_TAny(value));
  return value == 1;
}

std::uint8_t ZQ_TDataStream::UnpackU8() {
  return *Take(1, "a byte");
}

std::uint32_t ZQ_TDataStream::UnpackU32() {
  return static_cast<std::uint32_t>(GetLE(Take(4, "a 32-bit number"), 4));
}

std::uint64_t ZQ_TDataStream::UnpackU64() {
  return GetLE(Take(8, "a 64-bit number"), 8);
}

double ZQ_TDataStream::UnpackDouble() {
  std::uint64_t bits = UnpackU64();
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

void ZQ_TDataStream::UnpackChars(char* chars, std::uint32_t count) {
  std::memcpy(chars, Take(count, "a character array"), count);
}

ZQ_TString ZQ_TDataStream::UnpackString() {
  const std::uint32_t length = UnpackU32();
  return ZQ_TString(std::string_view(reinterpret_cast<const char*>(Take(length, "a string")), length));
}

void ZQ_TDataStream::Enter() {
  if (iDepth >= kMaxDepth) {
    ZQ_THROW(ZQ_EStreamFormat, "Packed data nests deeper than %s levels",
             ZQ_TAny(static_cast<unsigned int>(kMaxDepth)));
  }
  ++iDepth;
}

bool ZQ_TDataStream::ObjectHeader(std::string_view& name, std::size_t& end) {
  std::uint8_t tag = UnpackU8();
  if (tag == 0) return false;
  if (tag != 1) ZQ_THROW(ZQ_EStreamFormat, "Invalid object tag %s in packed data", ZQ_TAny(tag));
  std::uint32_t nameLength = UnpackU32();
  if (nameLength == 0 || nameLength > kMaxClassName) {
    ZQ_THROW(ZQ_EStreamFormat, "Invalid class name length %s in packed data", ZQ_TAny(nameLength));
  }
  Need(nameLength, "a class name");
  name = std::string_view(reinterpret_cast<const char*>(iMemory.Current()), nameLength);
  iMemory.Skip(nameLength);
  std::uint32_t count = UnpackU32();
  Need(count, "an object");
  end = iMemory.Tell() + count;
  return true;
}

ZQ_TObject* ZQ_TDataStream::UnpackObject() {
  std::string_view name;
  std::size_t end = 0;
  if (!ObjectHeader(name, end)) return nullptr;

  const ZQ_TClass* found = ZQ_TClass::Find(name);
  std::unique_ptr<ZQ_TObject> object(found != nullptr ? found->Create() : nullptr);
  ZQ_IPackable* packable = object ? ZQ_DynamicCast<ZQ_IPackable>(object.get()) : nullptr;
  if (packable == nullptr) {
    ZQ_THROW(ZQ_EUnknownClass, "Packed data names the unknown or unpackable class %s",
             ZQ_TString(std::string(name)));
  }
  // The object's frame, and any section its reader leaves open on a failure,
  // are closed here, so the stream can go on being read.
  const std::size_t openFrames = iEnds.size();
  const int depth = iDepth;
  Enter();
  iEnds.push_back(end);
  try {
    packable->ZQ_Unpack(*this);
  } catch (...) {
    iEnds.resize(openFrames);
    iDepth = depth;
    throw;
  }
  iEnds.resize(openFrames);
  iDepth = depth;
  iMemory.Seek(end);
  return object.release();
}

void ZQ_TDataStream::EnterObject(const char* className) {
  std::string_view name;
  std::size_t end = 0;
  if (!ObjectHeader(name, end)) {
    ZQ_THROW(ZQ_EStreamFormat, "Packed data holds no object where a %s was expected",
             ZQ_TString(className));
  }
  if (name != className) {
    ZQ_THROW(ZQ_EStreamFormat,
             ZQ_TString::Format("Packed data holds a %%s where a %s was expected", className),
             ZQ_TString(std::string(name)));
  }
  Enter();
  iEnds.push_back(end);
}

void ZQ_TDataStream::LeaveObject() {
  if (iEnds.empty()) ZQ_THROW(ZQ_EStreamFormat, "Object left but none is open");
  iMemory.Seek(iEnds.back());
  iEnds.pop_back();
  --iDepth;
}

void ZQ_TDataStream::UnpackObjectValue(ZQ_IPackable& target) {
  ZQ_TAny::UnpackObjectTag(*this);
  EnterObject(target.ZQ_PackClassObject());
  target.ZQ_Unpack(*this);
  LeaveObject();
}

void ZQ_TDataStream::EnterSection(const char* name) {
  const std::uint32_t length = UnpackU32();
  const std::string_view found(reinterpret_cast<const char*>(Take(length, "a string")), length);
  if (found != name) {
    ZQ_THROW(ZQ_EStreamFormat, "Packed data holds the section %s where another was expected",
             ZQ_TString(found));
  }
  std::uint32_t count = UnpackU32();
  Need(count, "a section");
  // Only objects nest without bound, so only they count towards the depth.
  iEnds.push_back(iMemory.Tell() + count);
}

void ZQ_TDataStream::LeaveSection(const char*) {
  if (iEnds.empty()) ZQ_THROW(ZQ_EStreamFormat, "Section left but none is open");
  std::size_t end = iEnds.back();
  iEnds.pop_back();
  iMemory.Seek(end);
}

ZQ_TObject* ZQ_TDataStream::Extract(bool wholeStream) {
  std::unique_ptr<ZQ_TObject> object(UnpackObject());
  if (wholeStream && iMemory.Remaining() != 0) {
    ZQ_THROW(ZQ_EStreamFormat, "%s bytes follow the packed object",
             ZQ_TAny(static_cast<unsigned int>(iMemory.Remaining())));
  }
  return object.release();
}

// ---------------------------------------------------------------------------
// ZQ_THumanReadableStream: writing

void ZQ_THumanReadableStream::Separate() {
  if (iLineStart) {
    std::string blanks(static_cast<std::size_t>(iIndent) * 2, ' ');
    iMemory.Write(blanks.data(), blanks.size());
    iLineStart = false;
  } else {
    iMemory.Write(" ", 1);
  }
}

void ZQ_THumanReadableStream::WriteWord(std::string_view word) {
  Separate();
  iMemory.Write(word.data(), word.size());
}

void ZQ_THumanReadableStream::WriteU32(std::uint32_t value) { WriteU64(value); }

void ZQ_THumanReadableStream::WriteI32(std::int32_t value) {
  char text[16];
  int length = std::snprintf(text, sizeof text, "%" PRId32, value);
  WriteWord(std::string_view(text, static_cast<std::size_t>(length)));
}

void ZQ_THumanReadableStream::WriteU64(std::uint64_t value) {
  char text[24];
  int length = std::snprintf(text, sizeof text, "%" PRIu64, value);
  WriteWord(std::string_view(text, static_cast<std::size_t>(length)));
}

void ZQ_THumanReadableStream::WriteDouble(double value) {
  char text[40];
  int length = std::snprintf(text, sizeof text, "%.17g", value);
  WriteWord(std::string_view(text, static_cast<std::size_t>(length)));
}

void ZQ_THumanReadableStream::WriteBool(bool value) { WriteWord(value ? "true" : "false"); }

void ZQ_THumanReadableStream::WriteText(std::string_view text) {
  std::string quoted = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"': quoted += "\\\""; break;
      case '\\': quoted += "\\\\"; break;
      case '\n': quoted += "\\n"; break;
      case '\r': quoted += "\\r"; break;
      case '\t': quoted += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char escape[5];
          std::snprintf(escape, sizeof escape, "\\x%02X", c);
          quoted += escape;
        } else {
          quoted += static_cast<char>(c);
        }
    }
  }
  quoted += '"';
  WriteWord(quoted);
}

void ZQ_THumanReadableStream::WriteObject(const ZQ_IInterface* object) {
  if (object == nullptr) {
    WriteWord("NULL");
    return;
  }
  const ZQ_IHumanReadable* readable = ZQ_DynamicCast<ZQ_IHumanReadable>(object);
  if (readable == nullptr) {
    ZQ_THROW(ZQ_EStreamFormat, "The class %s has no text form", ZQ_TString(object->ClassName()));
  }
  WriteWord(object->ClassName());
  const bool multiLine = readable->ZQ_HRMultiLine();
  if (multiLine) {
    ++iIndent;
    NewLine();
  }
  bool failed = readable->WriteTo(*this);
  if (multiLine) --iIndent;
  if (failed) {
    ZQ_THROW(ZQ_EStreamFormat, "The object of class %s cannot be written as text",
             ZQ_TString(object->ClassName()));
  }
}

void ZQ_THumanReadableStream::NewLine() {
  iMemory.Write("\n", 1);
  iLineStart = true;
}

// ---------------------------------------------------------------------------
// ZQ_THumanReadableStream: reading

void ZQ_THumanReadableStream::SkipBlanks() {
  while (iMemory.Remaining() != 0) {
    char c = static_cast<char>(*iMemory.Current());
    if (c == '#') {
      while (iMemory.Remaining() != 0 && *iMemory.Current() != '\n') iMemory.Skip(1);
    } else if (c == '\n') {
      ++iLine;
      iMemory.Skip(1);
    } else if (c == ' ' || c == '\t' || c == '\r') {
      iMemory.Skip(1);
    } else {
      return;
    }
  }
}

namespace {
int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
}  // namespace

ZQ_THumanReadableStream::Token ZQ_THumanReadableStream::Next() {
  if (iPeeked) {
    iPeeked = false;
    return std::move(iPeek);
  }
  SkipBlanks();
  Token token;
  token.line = iLine;
  if (iMemory.Remaining() == 0) return token;
  auto take = [this]() {
    char c = static_cast<char>(*iMemory.Current());
    iMemory.Skip(1);
    return c;
  };
  if (*iMemory.Current() != '"') {
    token.kind = TokenKind::Word;
    while (iMemory.Remaining() != 0) {
      char c = static_cast<char>(*iMemory.Current());
      if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '"') break;
      token.text += take();
    }
    return token;
  }
  token.kind = TokenKind::Text;
  take();  // the opening quote
  for (;;) {
    if (iMemory.Remaining() == 0) Fail("a closed quoted text", token);
    char c = take();
    if (c == '"') return token;
    if (c == '\n') ++iLine;
    if (c != '\\') {
      token.text += c;
      continue;
    }
    if (iMemory.Remaining() == 0) Fail("an escape", token);
    char e = take();
    switch (e) {
      case 'n': token.text += '\n'; break;
      case 'r': token.text += '\r'; break;
      case 't': token.text += '\t'; break;
      case '"': token.text += '"'; break;
      case '\\': token.text += '\\'; break;
      case 'x': {
        int high = iMemory.Remaining() >= 2 ? HexValue(static_cast<char>(iMemory.Current()[0])) : -1;
        int low = high >= 0 ? HexValue(static_cast<char>(iMemory.Current()[1])) : -1;
        if (low < 0) Fail("two hexadecimal digits after \\x", token);
        iMemory.Skip(2);
        token.text += static_cast<char>(high * 16 + low);
        break;
      }
      default:
        Fail("a known escape", token);
    }
  }
}

void ZQ_THumanReadableStream::Fail(const char* what, const Token& token) const {
  if (token.kind == TokenKind::End) {
    ZQ_THROW(ZQ_EStreamTruncated,
             ZQ_TString::Format("Text ends before %s at line %d", what, token.line));
  }
  // The text found goes in the datum: a "%s" inside it must not be filled.
  ZQ_THROW(ZQ_EStreamFormat,
           ZQ_TString::Format("Expected %s but found '%%s' at line %d", what, token.line),
           ZQ_TString(std::string_view(token.text).substr(0, 40)));
}

std::uint64_t ZQ_THumanReadableStream::ReadU64() {
  Token token = Next();
  if (token.kind != TokenKind::Word || token.text.empty() || token.text[0] < '0' ||
      token.text[0] > '9') {
    Fail("a number", token);
  }
  errno = 0;
  char* end = nullptr;
  unsigned long long value = std::strtoull(token.text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0') Fail("a decimal number", token);
  return value;
}

std::uint32_t ZQ_THumanReadableStream::ReadU32() {
  Token token = Next();
  iPeek = token;
  iPeeked = true;
  std::uint64_t value = ReadU64();
  if (value > 0xFFFFFFFFu) Fail("a 32-bit number", token);
  return static_cast<std::uint32_t>(value);
}

std::int32_t ZQ_THumanReadableStream::ReadI32() {
  Token token = Next();
  errno = 0;
  char* end = nullptr;
  long long value = token.kind == TokenKind::Word ? std::strtoll(token.text.c_str(), &end, 10) : 0;
  if (token.kind != TokenKind::Word || token.text.empty() || errno != 0 || *end != '\0' ||
      value < INT32_MIN || value > INT32_MAX) {
    Fail("a signed 32-bit number", token);
  }
  return static_cast<std::int32_t>(value);
}

double ZQ_THumanReadableStream::ReadDouble() {
  Token token = Next();
  char* end = nullptr;
  double value = token.kind == TokenKind::Word ? std::strtod(token.text.c_str(), &end) : 0.0;
  if (token.kind != TokenKind::Word || token.text.empty() || *end != '\0') {
    Fail("a real number", token);
  }
  return value;
}

bool ZQ_THumanReadableStream::ReadBool() {
  Token token = Next();
  if (token.kind == TokenKind::Word && token.text == "true") return true;
  if (token.kind == TokenKind::Word && token.text == "false") return false;
  Fail("true or false", token);
}

ZQ_TString ZQ_THumanReadableStream::ReadText() {
  Token token = Next();
  if (token.kind != TokenKind::Text) Fail("a quoted text", token);
  return ZQ_TString(token.text);
}

ZQ_TString ZQ_THumanReadableStream::ReadWord() {
  Token token = Next();
  if (token.kind != TokenKind::Word) Fail("a word", token);
  return ZQ_TString(token.text);
}

ZQ_TString ZQ_THumanReadableStream::PeekWord() {
  if (!iPeeked) {
    iPeek = Next();
    iPeeked = true;
  }
  return iPeek.kind == TokenKind::Word ? ZQ_TString(iPeek.text) : ZQ_TString();
}

bool ZQ_THumanReadableStream::AtEnd() {
  PeekWord();
  return iPeek.kind == TokenKind::End;
}

ZQ_TObject* ZQ_THumanReadableStream::ReadObject() {
  Token token = Next();
  if (token.kind != TokenKind::Word) Fail("a class name or NULL", token);
  if (token.text == "NULL") return nullptr;
  std::unique_ptr<ZQ_TObject> object(token.text.find('\0') == std::string::npos
                                         ? ZQ_TClass::CreateObject(token.text.c_str())
                                         : nullptr);
  ZQ_IHumanReadable* readable =
      object ? ZQ_DynamicCast<ZQ_IHumanReadable>(object.get()) : nullptr;
  if (readable == nullptr) {
    ZQ_THROW(ZQ_EUnknownClass,
             ZQ_TString::Format("Text names the unknown or unreadable class %%s at line %d",
                                token.line),
             ZQ_TString(token.text));
  }
  if (iDepth >= kMaxDepth) Fail("less deeply nested objects", token);
  ++iDepth;
  try {
    readable->ZQ_ReadFrom(*this);
  } catch (...) {
    --iDepth;
    throw;
  }
  --iDepth;
  return object.release();
}

ZQ_TObject* ZQ_THumanReadableStream::Extract(bool wholeStream) {
  std::unique_ptr<ZQ_TObject> object(ReadObject());
  // Looking for the end reads the next token, which may itself be malformed.
  if (wholeStream && !AtEnd()) {
    Token token = Next();
    Fail("the end of the text", token);
  }
  return object.release();
}
