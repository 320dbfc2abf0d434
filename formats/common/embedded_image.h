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

// What the first frame header (SOFn) of a JPEG stream says.
struct JpegFrame {
  std::uint8_t marker = 0;  // the SOFn code
  std::uint8_t precision = 0;
  std::uint32_t columns = 0;
  std::uint32_t rows = 0;
  std::uint8_t components = 0;
};
// Reads the frame header of the JPEG stream at [offset, offset + length);
// false when none comes before the first scan.
bool ReadJpegFrame(const ByteSource& source, std::uint64_t offset, std::uint64_t length, JpegFrame& out);

// A smaller rendering of a picture is a thumbnail up to 256 pixels on its
// longer side, a preview above.
PXC_TImageType ReducedImageType(std::uint32_t columns, std::uint32_t rows);

// The JPEG stream at [offset, offset + length) as an embedded image, a
// thumbnail or a preview by its frame size (a preview when it has none);
// false, leaving `out` alone, when the range holds no JPEG stream.
bool EmbeddedJpeg(const ByteSource& source, std::uint64_t offset, std::uint64_t length, ImageDescription& out);

}  // namespace imr::formats
