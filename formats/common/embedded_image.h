// Images that a container holds in a format of their own (EXIF and
// MakerNote thumbnails, raw-file previews, EPS previews, PSD thumbnails).
// A reader reports one only when its bytes start the way the library's
// recognition expects, so that stub or damaged data is not handed on to the
// pipeline as an image it cannot describe.
#pragma once

#include <cstdint>

#include "formats/common/format_reader.h"

namespace imr::formats {

enum class EmbeddedKind {
  kJpeg,  // FF D8 FF
  kTiff,  // "II*\0" or "MM\0*"
  kPng,   // the PNG signature
  kWmf,   // a placeable header (D7 CD C6 9A) or a standard one (type 1 or 2, 9 words, version 1 or 3)
};

// True when [offset, offset + length) lies within `source` and starts with
// the signature of `kind`.
bool HoldsImage(const ByteSource& source, std::uint64_t offset, std::uint64_t length,
                EmbeddedKind kind);

// The description of an embedded image of type `type` (thumbnail, preview)
// at [offset, offset + length) of the file.
ImageDescription EmbeddedImage(PXC_TImageType type, std::uint64_t offset, std::uint64_t length);

// Width and height from the first frame header of the JPEG stream at
// [offset, offset + length); false when none comes before the first scan.
bool JpegFrameSize(const ByteSource& source, std::uint64_t offset, std::uint64_t length,
                   std::uint32_t& columns, std::uint32_t& rows);

}  // namespace imr::formats
