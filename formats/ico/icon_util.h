// Headers of the PNG and JPEG 2000 streams that icon files embed: enough to
// describe an icon without decoding it.
#pragma once

#include <cstdint>

#include "formats/common/byte_reader.h"
#include "formats/common/format_reader.h"

namespace imr::formats {

// True when [offset, offset + length) starts with the PNG signature.
bool IsPngStream(ByteReader& reader, std::uint64_t offset, std::uint64_t length);
// True when the range starts with a JP2 signature box or a raw codestream.
bool IsJpeg2000Stream(ByteReader& reader, std::uint64_t offset, std::uint64_t length);

// Fill geometry, encoding, alpha and the "BitsPerSample", "Interlace" and
// "ColorProfile" details from the stream's header (for PNG, the chunks up to
// the first image data).  False when the header is missing or malformed.
bool DescribePngStream(ByteReader& reader, std::uint64_t offset, std::uint64_t length,
                       ImageDescription& out);
bool DescribeJpeg2000Stream(ByteReader& reader, std::uint64_t offset, std::uint64_t length,
                            ImageDescription& out);

}  // namespace imr::formats
