#include "formats/jp2/box_util.h"

#include <algorithm>

namespace imr::formats::box {

bool ReadBox(const ByteSource& source, std::uint64_t position, std::uint64_t limit, Box& out) {
  ByteReader reader(source);
  limit = std::min(limit, reader.Size());
  if (position > limit || limit - position < 8) return false;
  std::uint64_t size = reader.U32BE(position);
  out.type = reader.U32BE(position + 4);
  out.offset = position;
  std::uint64_t header = 8;
  if (size == 1) {
    if (limit - position < 16) return false;
    size = reader.U64BE(position + 8);
    header = 16;
  } else if (size == 0) {
    size = limit - position;
  }
  if (reader.Failed() || size < header || size > limit - position) return false;
  out.content = position + header;
  out.end = position + size;
  return true;
}

namespace {

void AppendUtf8(std::string& out, std::uint32_t code) {
  if (code < 0x80) {
    out.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code >> 6)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (code >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

std::string Clean(std::string text) {
  text.erase(std::find(text.begin(), text.end(), '\0'), text.end());
  while (!text.empty() && (text.back() == ' ' || text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

}  // namespace

bool ReadIccProfile(const ByteSource& source, std::uint64_t offset, std::uint64_t length, IccInfo& out) {
  ByteReader reader(source);
  constexpr std::uint32_t kMaxTags = 1024;
  constexpr std::uint32_t kMaxText = 1024;
  if (length < 132 || offset > reader.Size() || length > reader.Size() - offset) return false;
  if (reader.U32BE(offset + 36) != Type("acsp")) return false;
  out.colorSpace = reader.U32BE(offset + 16);
  std::uint32_t tags = reader.U32BE(offset + 128);
  if (tags > kMaxTags || 132 + static_cast<std::uint64_t>(tags) * 12 > length) return !reader.Failed();
  for (std::uint32_t i = 0; i < tags; ++i) {
    std::uint64_t entry = offset + 132 + static_cast<std::uint64_t>(i) * 12;
    if (reader.U32BE(entry) != Type("desc")) continue;
    std::uint64_t at = reader.U32BE(entry + 4);
    std::uint64_t size = reader.U32BE(entry + 8);
    if (at > length || size > length - at || size < 12) break;
    std::uint64_t tag = offset + at;
    std::uint32_t kind = reader.U32BE(tag);
    if (kind == Type("desc")) {
      // ASCII count, then the text
      std::uint64_t count = std::min<std::uint64_t>(reader.U32BE(tag + 8), std::min<std::uint64_t>(size - 12, kMaxText));
      out.description = Clean(reader.Text(tag + 12, static_cast<std::size_t>(count)));
    } else if (kind == Type("mluc") && size >= 28) {
      // the first record: UTF-16BE text at an offset from the tag
      std::uint64_t bytes = reader.U32BE(tag + 20);
      std::uint64_t from = reader.U32BE(tag + 24);
      if (from > size || bytes > size - from) break;
      bytes = std::min<std::uint64_t>(bytes, 2 * kMaxText);
      std::string text;
      for (std::uint64_t k = 0; k + 1 < bytes; k += 2) {
        std::uint32_t unit = reader.U16BE(tag + from + k);
        if (unit == 0) break;
        AppendUtf8(text, unit >= 0xD800 && unit < 0xE000 ? 0xFFFD : unit);
      }
      out.description = Clean(text);
    }
    break;
  }
  return !reader.Failed();
}

}  // namespace imr::formats::box
