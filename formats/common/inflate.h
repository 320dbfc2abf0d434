// Inflating deflate data (raw, zlib-wrapped or gzip) held in a source,
// reading the input in chunks and stopping at the caller's limit, so that a
// reader can look at the head of a compressed stream without inflating all
// of it.
#pragma once

#include <cstdint>
#include <string>

#include "formats/common/format_reader.h"

namespace imr::formats {

enum class Deflate { kRaw, kZlib, kGzip };

// Inflates the data at [offset, offset + length) of `source` into `out`, at
// most `limit` bytes.  A damaged or cut stream yields what was decoded
// before the fault.  False when nothing could be inflated.
bool Inflate(const ByteSource& source, std::uint64_t offset, std::uint64_t length, Deflate wrapper,
             std::size_t limit, std::string& out);

}  // namespace imr::formats
