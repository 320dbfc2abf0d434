#include "formats/tiff/icc_util.h"

#include <algorithm>

#include "formats/common/byte_reader.h"

namespace imr::formats::tiff {
namespace {

constexpr std::uint32_t Sig(char a, char b, char c, char d) {
  return (std::uint32_t(std::uint8_t(a)) << 24) | (std::uint32_t(std::uint8_t(b)) << 16) |
         (std::uint32_t(std::uint8_t(c)) << 8) | std::uint32_t(std::uint8_t(d));
}

constexpr std::uint32_t kMaxTags = 1024;
constexpr std::uint32_t kMaxText = 512;

void AppendUtf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::string Trim(std::string text) {
  const std::size_t nul = text.find('\0');
  if (nul != std::string::npos) text.resize(nul);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.pop_back();
  return text;
}

// UTF-16BE text of `bytes` bytes at `pos`, as UTF-8.
std::string Utf16(ByteReader& r, std::uint64_t pos, std::uint32_t bytes) {
  bytes = std::min(bytes, kMaxText * 2);
  std::string raw = r.Text(pos, bytes);
  std::string out;
  for (std::size_t i = 0; i + 1 < raw.size(); i += 2) {
    std::uint32_t cp = (std::uint8_t(raw[i]) << 8) | std::uint8_t(raw[i + 1]);
    if (cp >= 0xD800 && cp < 0xDC00 && i + 3 < raw.size()) {
      const std::uint32_t low = (std::uint8_t(raw[i + 2]) << 8) | std::uint8_t(raw[i + 3]);
      if (low >= 0xDC00 && low < 0xE000) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      }
    }
    if (cp == 0) break;
    if (cp >= 0xD800 && cp < 0xE000) cp = 0xFFFD;
    AppendUtf8(out, cp);
  }
  return Trim(out);
}

}  // namespace

std::string IccProfileDescription(const ByteSource& profile) {
  ByteReader r(profile);
  if (r.Size() < 132 || r.U32BE(36) != Sig('a', 'c', 's', 'p')) return {};
  const std::uint32_t count = r.U32BE(128);
  if (count > kMaxTags || 132 + std::uint64_t{count} * 12 > r.Size()) return {};
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint64_t entry = 132 + std::uint64_t{i} * 12;
    if (r.U32BE(entry) != Sig('d', 'e', 's', 'c')) continue;
    const std::uint64_t offset = r.U32BE(entry + 4);
    const std::uint64_t size = r.U32BE(entry + 8);
    if (offset >= r.Size() || size < 12 || size > r.Size() - offset) return {};
    const std::uint32_t type = r.U32BE(offset);
    if (type == Sig('d', 'e', 's', 'c')) {
      // textDescriptionType: ASCII count (with its NUL), then the text.
      const std::uint32_t length = r.U32BE(offset + 8);
      if (length > size - 12) return {};
      return Trim(r.Text(offset + 12, std::min(length, kMaxText)));
    }
    if (type == Sig('m', 'l', 'u', 'c')) {
      // multiLocalizedUnicodeType: records of language, country, length, offset.
      const std::uint32_t records = r.U32BE(offset + 8);
      const std::uint32_t recordSize = r.U32BE(offset + 12);
      if (records == 0 || recordSize < 12 || records > 1024 ||
          16 + std::uint64_t{records} * recordSize > size) {
        return {};
      }
      std::uint64_t chosen = offset + 16;
      for (std::uint32_t k = 0; k < records; ++k) {
        const std::uint64_t rec = offset + 16 + std::uint64_t{k} * recordSize;
        if (r.U16BE(rec) == 0x656E) {  // "en"
          chosen = rec;
          break;
        }
      }
      const std::uint32_t length = r.U32BE(chosen + 4);
      const std::uint32_t textOffset = r.U32BE(chosen + 8);
      if (textOffset > size || length > size - textOffset) return {};
      return Utf16(r, offset + textOffset, length);
    }
    return {};
  }
  return {};
}

std::string IccColorProfileValue(const ByteSource& profile) {
  std::string description = IccProfileDescription(profile);
  return description.empty() ? "embedded" : description;
}

}  // namespace imr::formats::tiff
