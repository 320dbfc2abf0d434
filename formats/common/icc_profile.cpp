#include "formats/common/icc_profile.h"

#include <algorithm>
#include <vector>

#include "formats/common/byte_reader.h"
#include "formats/common/text_util.h"

namespace imr::formats {

namespace {

constexpr std::uint64_t kHeaderSize = 128;
constexpr std::uint32_t kMaxTags = 1024;
constexpr std::uint32_t kMaxRecords = 1024;
constexpr std::uint32_t kMaxText = 1024;  // characters kept of a description

// The text of a 'desc' or 'mluc' tag of `size` bytes at `tag`; empty when it
// is of another type or malformed.
std::string TagText(ByteReader& r, std::uint64_t tag, std::uint64_t size) {
  const std::uint32_t type = r.U32BE(tag);
  if (type == FourCC("desc")) {
    // ASCII count (with its NUL), then the text.
    const std::uint64_t count = std::min<std::uint64_t>({r.U32BE(tag + 8), size - 12, kMaxText});
    return TrimPadding(r.Text(tag + 12, static_cast<std::size_t>(count)));
  }
  if (type != FourCC("mluc") || size < 28) return {};
  // Records of language, country, length and offset from the tag.
  const std::uint32_t records = r.U32BE(tag + 8);
  const std::uint32_t recordSize = r.U32BE(tag + 12);
  if (records == 0 || records > kMaxRecords || recordSize < 12 ||
      16 + std::uint64_t{records} * recordSize > size) {
    return {};
  }
  std::uint64_t chosen = tag + 16;
  for (std::uint32_t k = 0; k < records; ++k) {
    const std::uint64_t record = tag + 16 + std::uint64_t{k} * recordSize;
    if (r.U16BE(record) == 0x656E) {  // "en"
      chosen = record;
      break;
    }
  }
  std::uint64_t bytes = r.U32BE(chosen + 4);
  const std::uint64_t at = r.U32BE(chosen + 8);
  if (at > size || bytes > size - at) return {};
  bytes = std::min<std::uint64_t>(bytes, 2 * kMaxText) & ~std::uint64_t{1};
  std::vector<std::uint8_t> units(static_cast<std::size_t>(bytes));
  if (bytes == 0 || !r.Bytes(tag + at, units.data(), units.size())) return {};
  std::string text;
  AppendUtf16(text, units.data(), units.size() / 2);
  return TrimPadding(text);
}

}  // namespace

bool ReadIccProfile(const ByteSource& source, std::uint64_t offset, std::uint64_t length,
                    IccProfile& out) {
  out = IccProfile{};
  SliceSource profile(source, offset, length);
  ByteReader r(profile);
  if (profile.Size() < kHeaderSize + 4 || r.U32BE(36) != FourCC("acsp")) return false;
  out.colorSpace = r.U32BE(16);
  const std::uint32_t tags = r.U32BE(kHeaderSize);
  if (tags > kMaxTags || kHeaderSize + 4 + std::uint64_t{tags} * 12 > r.Size()) return !r.Failed();
  for (std::uint32_t i = 0; i < tags; ++i) {
    const std::uint64_t entry = kHeaderSize + 4 + std::uint64_t{i} * 12;
    if (r.U32BE(entry) != FourCC("desc")) continue;
    const std::uint64_t at = r.U32BE(entry + 4);
    const std::uint64_t size = r.U32BE(entry + 8);
    if (at < r.Size() && size >= 12 && size <= r.Size() - at) {
      ByteReader tag(profile);  // a short tag leaves the header's reading alone
      out.description = TagText(tag, at, size);
      if (tag.Failed()) out.description.clear();
    }
    break;
  }
  return !r.Failed();
}

std::string IccColorProfile(const ByteSource& source, std::uint64_t offset, std::uint64_t length) {
  IccProfile profile;
  if (!ReadIccProfile(source, offset, length, profile) || profile.description.empty()) {
    return "embedded";
  }
  return profile.description;
}

}  // namespace imr::formats
