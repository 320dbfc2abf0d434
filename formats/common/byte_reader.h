// Bounded reading of integers and bytes from a ByteSource.  A read past the
// end of the source does not throw: it yields zeros and sets the reader's
// failed flag, which a format reader checks once after a run of reads.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "formats/common/format_reader.h"

namespace imr::formats {

// A four-character code ("ftyp", "IHDR", "acsp") as the big-endian integer
// that files store.
constexpr std::uint32_t FourCC(const char (&code)[5]) {
  return (static_cast<std::uint32_t>(static_cast<unsigned char>(code[0])) << 24) |
         (static_cast<std::uint32_t>(static_cast<unsigned char>(code[1])) << 16) |
         (static_cast<std::uint32_t>(static_cast<unsigned char>(code[2])) << 8) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(code[3]));
}

// `a * b` into `out`; false when the product exceeds `limit` (a size the
// file bounds), so that sizes a header declares are never trusted past it.
inline bool ProductWithin(std::uint64_t a, std::uint64_t b, std::uint64_t limit, std::uint64_t& out) {
  if (a != 0 && b > limit / a) return false;
  out = a * b;
  return out <= limit;
}

class ByteReader {
 public:
  explicit ByteReader(const ByteSource& source, bool littleEndian = false)
      : iSource(source), iSize(source.Size()), iLittle(littleEndian) {}

  const ByteSource& Source() const { return iSource; }
  std::uint64_t Size() const { return iSize; }
  bool Failed() const { return iFailed; }
  void SetLittleEndian(bool little) { iLittle = little; }
  bool LittleEndian() const { return iLittle; }

  // Copies `count` bytes at `position`; false (and failed) when they are not
  // all there.
  bool Bytes(std::uint64_t position, void* out, std::size_t count) {
    if (position > iSize || count > iSize - position ||
        iSource.Read(position, out, count) != count) {
      if (count > 0) std::memset(out, 0, count);
      iFailed = true;
      return false;
    }
    return true;
  }
  // Up to `count` bytes at `position` as text (shorter at the end; no failure).
  std::string Text(std::uint64_t position, std::size_t count) {
    if (position >= iSize) return {};
    if (count > iSize - position) count = static_cast<std::size_t>(iSize - position);
    std::string text(count, '\0');
    text.resize(iSource.Read(position, text.data(), count));
    return text;
  }

  std::uint8_t U8(std::uint64_t position) {
    std::uint8_t b = 0;
    Bytes(position, &b, 1);
    return b;
  }
  std::uint16_t U16(std::uint64_t position) { return static_cast<std::uint16_t>(Int(position, 2)); }
  std::uint32_t U32(std::uint64_t position) { return static_cast<std::uint32_t>(Int(position, 4)); }
  std::uint64_t U64(std::uint64_t position) { return Int(position, 8); }
  // Fixed byte order regardless of the reader's.
  std::uint16_t U16BE(std::uint64_t p) { return static_cast<std::uint16_t>(Int(p, 2, false)); }
  std::uint32_t U32BE(std::uint64_t p) { return static_cast<std::uint32_t>(Int(p, 4, false)); }
  std::uint64_t U64BE(std::uint64_t p) { return Int(p, 8, false); }
  std::uint16_t U16LE(std::uint64_t p) { return static_cast<std::uint16_t>(Int(p, 2, true)); }
  std::uint32_t U32LE(std::uint64_t p) { return static_cast<std::uint32_t>(Int(p, 4, true)); }
  std::uint64_t U64LE(std::uint64_t p) { return Int(p, 8, true); }

 private:
  std::uint64_t Int(std::uint64_t position, int bytes) { return Int(position, bytes, iLittle); }
  std::uint64_t Int(std::uint64_t position, int bytes, bool little) {
    std::uint8_t b[8];
    if (!Bytes(position, b, static_cast<std::size_t>(bytes))) return 0;
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i) {
      value = (value << 8) | b[little ? bytes - 1 - i : i];
    }
    return value;
  }

  const ByteSource& iSource;
  std::uint64_t iSize;
  bool iLittle;
  bool iFailed = false;
};

// A ByteSource over bytes in memory (tests, fuzzers, embedded data already read).
class MemorySource : public ByteSource {
 public:
  MemorySource(const void* data, std::size_t size)
      : iData(static_cast<const std::uint8_t*>(data)), iSize(size) {}
  std::uint64_t Size() const override { return iSize; }
  std::size_t Read(std::uint64_t position, void* out, std::size_t count) const override {
    if (position >= iSize) return 0;
    if (count > iSize - position) count = static_cast<std::size_t>(iSize - position);
    if (count > 0) std::memcpy(out, iData + position, count);
    return count;
  }

 private:
  const std::uint8_t* iData;
  std::size_t iSize;
};

// A window [offset, offset + length) of another source, clamped to it.  An
// embedded structure (the EXIF block of a JPEG, an ICC profile in a tag) is
// parsed through one, so that its own offsets are positions of the window.
class SliceSource : public ByteSource {
 public:
  SliceSource(const ByteSource& parent, std::uint64_t offset, std::uint64_t length)
      : iParent(parent), iOffset(offset) {
    const std::uint64_t size = parent.Size();
    iLength = offset < size ? std::min(length, size - offset) : 0;
  }
  std::uint64_t Size() const override { return iLength; }
  std::size_t Read(std::uint64_t position, void* out, std::size_t count) const override {
    if (position >= iLength) return 0;
    if (count > iLength - position) count = static_cast<std::size_t>(iLength - position);
    return iParent.Read(iOffset + position, out, count);
  }
  std::uint64_t Offset() const { return iOffset; }

 private:
  const ByteSource& iParent;
  std::uint64_t iOffset;
  std::uint64_t iLength = 0;
};

}  // namespace imr::formats
