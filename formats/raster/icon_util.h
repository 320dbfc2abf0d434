// The PNG and JPEG 2000 streams that icon files embed, described by the
// readers of those formats.
#pragma once

#include <cstdint>

#include "formats/common/format_reader.h"

namespace imr::formats {

enum class IconStream { kNone, kPng, kJpeg2000 };

// What [offset, offset + length) of `source` starts with: the PNG signature,
// a JP2 signature box or a raw JPEG 2000 codestream, or neither.
IconStream IconStreamKind(const ByteSource& source, std::uint64_t offset, std::uint64_t length);

// Describes the stream's image into `out` (keeping its format and type) with
// "Compression" naming the stream's format ("PNG", "JPEG 2000"); false when
// the stream's header cannot be read.
bool DescribeIconStream(const ByteSource& source, std::uint64_t offset, std::uint64_t length,
                        ImageDescription& out);

}  // namespace imr::formats
