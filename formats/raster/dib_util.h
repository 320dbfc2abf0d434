// The device-independent bitmap header that BMP files and ICO/CUR entries
// share: BITMAPCOREHEADER (12 bytes), the OS/2 2.x header (16 to 64 bytes)
// and BITMAPINFOHEADER with its V2..V5 extensions (40, 52, 56, 108, 124).
#pragma once

#include <cstdint>
#include <string>

#include "formats/common/byte_reader.h"
#include "formats/common/format_reader.h"

namespace imr::formats {

struct DibHeader {
  std::uint32_t headerSize = 0;
  std::uint32_t width = 0;
  std::uint32_t height = 0;      // absolute value of the stored height
  bool topDown = false;          // negative stored height
  bool os2 = false;              // OS/2 header (core or 2.x layout)
  std::uint16_t bitCount = 0;
  std::uint32_t compression = 0; // as stored; OS/2 2.x values differ from Windows
  std::uint32_t sizeImage = 0;
  std::int32_t xPelsPerMeter = 0;
  std::int32_t yPelsPerMeter = 0;
  std::uint32_t colorsUsed = 0;
  std::uint32_t masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha
  bool hasMasks = false;         // masks come from the file (bitfields or V2+)
  std::uint32_t csType = 0;      // V4+: colour space type ('MBED' = embedded profile)
  std::uint32_t profileOffset = 0;  // V5: from the start of the info header
  std::uint32_t profileSize = 0;
  std::uint64_t paletteOffset = 0;  // where colour table entries start
  std::uint32_t paletteEntrySize = 4;
};

// Compression codes of BITMAPINFOHEADER.
enum : std::uint32_t {
  kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitfields = 3, kBiJpeg = 4, kBiPng = 5,
  kBiAlphaBitfields = 6, kBiCmyk = 11, kBiCmykRle8 = 12, kBiCmykRle4 = 13,
};

// Reads and checks the info header at `position`.  `inIcon` accepts the
// doubled height of icon entries (the caller halves it) and skips nothing
// else.  False when the header is short or its fields cannot describe a
// bitmap: unknown size, zero dimensions, planes other than 1, unknown bit
// count or compression.
bool ReadDibHeader(ByteReader& reader, std::uint64_t position, DibHeader& dib);

// Number of colour table entries the header implies (0 for direct colour),
// bounded by what the bit count can address.
std::uint32_t DibPaletteEntries(const DibHeader& dib);

// Bytes of pixel data an uncompressed bitmap takes (rows padded to 4 bytes);
// 0 when compressed and sizeImage is not stated.
std::uint64_t DibPixelBytes(const DibHeader& dib);

// "None", "RLE8", "Bitfields", "JPEG", ... with OS/2 2.x codes mapped.
std::string DibCompressionName(const DibHeader& dib);

// Fills encoding, inks, alpha, resolution and the "Compression" and
// "BitsPerSample" details from the header (and its palette, to tell bilevel
// from indexed; ICC description for V5 embedded profiles when `infoOffset`
// locates the header in the reader's source).
void DescribeDib(ByteReader& reader, const DibHeader& dib, std::uint64_t infoOffset,
                 ImageDescription& out);

}  // namespace imr::formats
