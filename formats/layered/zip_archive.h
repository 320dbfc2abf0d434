// The central directory of a ZIP archive (an OpenRaster file), read within
// bounds: names, methods, sizes and where each entry's data lies.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/common/format_reader.h"

namespace imr::formats::zip {

constexpr std::size_t kMaxEntries = 10000;

struct Entry {
  std::string name;
  std::uint16_t method = 0;  // 0 stored, 8 deflated
  std::uint64_t compressedSize = 0;
  std::uint64_t size = 0;
  std::uint64_t localHeader = 0;
};

// Reads the central directory that the end record at the end of the source
// points to, at most kMaxEntries entries; false with `why` when there is
// none or it does not lie within the source.
bool ReadDirectory(const ByteSource& source, std::vector<Entry>& entries, std::string& why);

// Where the entry's data starts (after its local header); 0 when the local
// header is not there or its data does not fit in the source.
std::uint64_t DataOffset(const ByteSource& source, const Entry& entry);

// Up to `limit` bytes of the entry's content, inflated when deflated; false
// when nothing could be read.
bool ReadContent(const ByteSource& source, const Entry& entry, std::size_t limit, std::string& out);

}  // namespace imr::formats::zip
