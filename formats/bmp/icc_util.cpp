#include "formats/bmp/icc_util.h"

#include <vector>

namespace imr::formats {

namespace {

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

// Trims trailing NULs and blanks that writers pad descriptions with.
std::string Trimmed(std::string text) {
  std::size_t end = text.find('\0');
  if (end != std::string::npos) text.resize(end);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\n' || text.back() == '\r')) {
    text.pop_back();
  }
  return text;
}

// Descriptions longer than this are cut; no real profile comes close.
constexpr std::uint32_t kMaxDescription = 1024;

}  // namespace

void AppendUtf16Be(std::string& out, const std::uint8_t* units, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    std::uint32_t u = (std::uint32_t{units[2 * i]} << 8) | units[2 * i + 1];
    if (u >= 0xD800 && u < 0xDC00 && i + 1 < count) {
      std::uint32_t low = (std::uint32_t{units[2 * i + 2]} << 8) | units[2 * i + 3];
      if (low >= 0xDC00 && low < 0xE000) {
        AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
        ++i;
        continue;
      }
    }
    if (u >= 0xD800 && u < 0xE000) u = 0xFFFD;
    if (u == 0) break;
    AppendUtf8(out, u);
  }
}

std::string IccDescription(ByteReader& reader, std::uint64_t offset, std::uint64_t length) {
  const std::uint64_t size = reader.Size();
  if (offset > size || length > size - offset || length < 132) return {};
  ByteReader icc(reader);  // keeps the caller's failed flag untouched
  if (icc.Text(offset + 36, 4) != "acsp") return {};
  const std::uint32_t tags = icc.U32BE(offset + 128);
  // Each tag entry takes 12 bytes after the count.
  if (tags > (length - 132) / 12) return "embedded";
  for (std::uint32_t i = 0; i < tags; ++i) {
    const std::uint64_t entry = offset + 132 + 12ull * i;
    if (icc.Text(entry, 4) != "desc") continue;
    const std::uint32_t tagOffset = icc.U32BE(entry + 4);
    const std::uint32_t tagSize = icc.U32BE(entry + 8);
    if (tagOffset > length || tagSize > length - tagOffset || tagSize < 12) return "embedded";
    const std::uint64_t tag = offset + tagOffset;
    const std::string type = icc.Text(tag, 4);
    std::string text;
    if (type == "desc") {
      std::uint32_t count = icc.U32BE(tag + 8);
      if (count > tagSize - 12) count = tagSize - 12;
      if (count > kMaxDescription) count = kMaxDescription;
      text = Trimmed(icc.Text(tag + 12, count));
    } else if (type == "mluc" && tagSize >= 28) {
      const std::uint32_t records = icc.U32BE(tag + 8);
      const std::uint32_t recordSize = icc.U32BE(tag + 12);
      if (records == 0 || recordSize < 12) return "embedded";
      std::uint32_t bytes = icc.U32BE(tag + 20);
      const std::uint32_t at = icc.U32BE(tag + 24);
      if (at > tagSize || bytes > tagSize - at) return "embedded";
      if (bytes > 2 * kMaxDescription) bytes = 2 * kMaxDescription;
      if (bytes < 2) return "embedded";
      std::vector<std::uint8_t> units(bytes);
      if (!icc.Bytes(tag + at, units.data(), bytes)) return "embedded";
      AppendUtf16Be(text, units.data(), bytes / 2);
      text = Trimmed(text);
    }
    if (icc.Failed() || text.empty()) return "embedded";
    return text;
  }
  return "embedded";
}

}  // namespace imr::formats
