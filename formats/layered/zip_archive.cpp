#include "formats/layered/zip_archive.h"

#include <algorithm>

#include "formats/common/byte_reader.h"
#include "formats/common/inflate.h"

namespace imr::formats::zip {
namespace {

constexpr std::uint32_t kEndSignature = 0x06054B50;
constexpr std::uint32_t kCentralSignature = 0x02014B50;
constexpr std::uint32_t kLocalSignature = 0x04034B50;
constexpr std::uint64_t kEndSize = 22;
constexpr std::uint64_t kMaxComment = 65535;

}  // namespace

bool ReadDirectory(const ByteSource& source, std::vector<Entry>& entries, std::string& why) {
  entries.clear();
  ByteReader r(source, true);
  const std::uint64_t size = r.Size();
  if (size < kEndSize) {
    why = "the archive is too short to hold an end record";
    return false;
  }
  // The end record is followed by a comment of at most 64 KiB.
  const std::uint64_t tail = std::min(size, kEndSize + kMaxComment);
  const std::string bytes = r.Text(size - tail, static_cast<std::size_t>(tail));
  std::uint64_t end = 0;
  bool found = false;
  for (std::size_t i = bytes.size() < kEndSize ? 0 : bytes.size() - kEndSize + 1; i-- > 0;) {
    if (bytes.compare(i, 4, "PK\x05\x06") == 0) {
      end = size - tail + i;
      found = true;
      break;
    }
  }
  if (!found || r.U32(end) != kEndSignature) {
    why = "the archive has no end of central directory record";
    return false;
  }
  const std::uint64_t count = r.U16(end + 10), directorySize = r.U32(end + 12), at0 = r.U32(end + 16);
  if (at0 > end || directorySize > end - at0) {
    why = "the central directory lies outside the archive";
    return false;
  }
  std::uint64_t at = at0;
  const std::uint64_t limit = at0 + directorySize;
  for (std::uint64_t i = 0; i < count && entries.size() < kMaxEntries; ++i) {
    if (limit - at < 46 || r.U32(at) != kCentralSignature) break;
    Entry e;
    e.method = r.U16(at + 10);
    e.compressedSize = r.U32(at + 20);
    e.size = r.U32(at + 24);
    const std::uint64_t nameLength = r.U16(at + 28), extra = r.U16(at + 30), comment = r.U16(at + 32);
    e.localHeader = r.U32(at + 42);
    if (r.Failed() || nameLength + extra + comment > limit - at - 46) break;
    e.name = r.Text(at + 46, static_cast<std::size_t>(nameLength));
    entries.push_back(std::move(e));
    at += 46 + nameLength + extra + comment;
  }
  if (entries.empty()) {
    why = "the central directory holds no readable entry";
    return false;
  }
  return true;
}

std::uint64_t DataOffset(const ByteSource& source, const Entry& entry) {
  ByteReader r(source, true);
  if (r.U32(entry.localHeader) != kLocalSignature) return 0;
  const std::uint64_t data = entry.localHeader + 30 + r.U16(entry.localHeader + 26) + r.U16(entry.localHeader + 28);
  if (r.Failed() || data > r.Size() || entry.compressedSize > r.Size() - data) return 0;
  return data;
}

bool ReadContent(const ByteSource& source, const Entry& entry, std::size_t limit, std::string& out) {
  out.clear();
  const std::uint64_t data = DataOffset(source, entry);
  if (data == 0) return false;
  if (entry.method == 8) return Inflate(source, data, entry.compressedSize, Deflate::kRaw, limit, out);
  if (entry.method != 0) return false;
  ByteReader r(source);
  out = r.Text(data, static_cast<std::size_t>(std::min<std::uint64_t>(entry.compressedSize, limit)));
  return !out.empty();
}

}  // namespace imr::formats::zip
