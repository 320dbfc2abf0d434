#include "formats/raster/dib_util.h"

#include <bit>

#include "formats/common/icc_profile.h"

namespace imr::formats {

namespace {

constexpr double kInchesPerMetre = 0.0254;
constexpr std::uint32_t kProfileEmbedded = 0x4D424544;  // 'MBED'

bool IsWindowsSize(std::uint32_t size) {
  return size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

// OS/2 2.x headers are 64 bytes, or any shorter length from 16 on that keeps
// whole fields; their compression codes 3 and 4 are Huffman 1D and RLE24.
bool IsOs2Size(std::uint32_t size) { return size >= 16 && size <= 64 && size % 2 == 0; }

bool IsOs2Huffman(const DibHeader& dib) {
  return dib.compression == kBiBitfields && (dib.os2 || dib.bitCount == 1);
}
bool IsOs2Rle24(const DibHeader& dib) {
  return dib.compression == kBiJpeg && (dib.os2 || dib.bitCount == 24);
}

bool ValidBitCount(std::uint16_t bits) {
  return bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16 || bits == 24 ||
         bits == 32;
}

}  // namespace

bool ReadDibHeader(ByteReader& reader, std::uint64_t position, DibHeader& dib) {
  dib = DibHeader{};
  ByteReader r(reader);
  r.SetLittleEndian(true);
  dib.headerSize = r.U32(position);
  if (r.Failed()) return false;
  std::uint16_t planes = 0;
  if (dib.headerSize == 12) {
    dib.os2 = true;
    dib.width = r.U16(position + 4);
    dib.height = r.U16(position + 6);
    planes = r.U16(position + 8);
    dib.bitCount = r.U16(position + 10);
    dib.paletteOffset = position + 12;
    dib.paletteEntrySize = 3;
  } else if (IsWindowsSize(dib.headerSize) || IsOs2Size(dib.headerSize)) {
    dib.os2 = !IsWindowsSize(dib.headerSize);
    const std::uint32_t size = dib.headerSize;
    const std::int32_t width = static_cast<std::int32_t>(r.U32(position + 4));
    const std::int32_t height = static_cast<std::int32_t>(r.U32(position + 8));
    if (width <= 0 || height == 0 || height == INT32_MIN) return false;
    dib.width = static_cast<std::uint32_t>(width);
    dib.topDown = height < 0;
    dib.height = static_cast<std::uint32_t>(height < 0 ? -height : height);
    planes = r.U16(position + 12);
    dib.bitCount = r.U16(position + 14);
    if (size >= 20) dib.compression = r.U32(position + 16);
    if (size >= 24) dib.sizeImage = r.U32(position + 20);
    if (size >= 32) {
      dib.xPelsPerMeter = static_cast<std::int32_t>(r.U32(position + 24));
      dib.yPelsPerMeter = static_cast<std::int32_t>(r.U32(position + 28));
    }
    if (size >= 36) dib.colorsUsed = r.U32(position + 32);
    dib.paletteOffset = position + size;
    if (!dib.os2) {
      if (size >= 52) {
        for (int i = 0; i < (size >= 56 ? 4 : 3); ++i) dib.masks[i] = r.U32(position + 40 + 4 * i);
        dib.hasMasks = true;
      } else if (dib.compression == kBiBitfields || dib.compression == kBiAlphaBitfields) {
        // A plain info header keeps the masks right after it.
        const int count = dib.compression == kBiAlphaBitfields ? 4 : 3;
        for (int i = 0; i < count; ++i) dib.masks[i] = r.U32(position + 40 + 4 * i);
        dib.hasMasks = true;
        dib.paletteOffset += 4u * count;
      }
      if (size >= 108) dib.csType = r.U32(position + 56);
      if (size >= 124) {
        dib.profileOffset = r.U32(position + 112);
        dib.profileSize = r.U32(position + 116);
      }
    }
  } else {
    return false;
  }
  if (r.Failed() || dib.width == 0 || dib.height == 0 || planes != 1) return false;

  const std::uint32_t c = dib.compression;
  if (dib.bitCount == 0) {
    // Only a JPEG or PNG stream states its own depth.
    return !dib.os2 && (c == kBiJpeg || c == kBiPng);
  }
  if (!ValidBitCount(dib.bitCount)) return false;
  if (dib.os2) {
    if (c > 4) return false;
    if (c == 3 && dib.bitCount != 1) return false;
    if (c == 4 && dib.bitCount != 24) return false;
  } else if (c == kBiBitfields || c == kBiAlphaBitfields) {
    if (dib.bitCount != 16 && dib.bitCount != 32 && !IsOs2Huffman(dib)) return false;
  } else if (c == kBiJpeg) {
    if (!IsOs2Rle24(dib)) return false;
  } else if (c > kBiAlphaBitfields && c != kBiCmyk && c != kBiCmykRle8 && c != kBiCmykRle4) {
    return false;
  }
  if ((c == kBiRle8 || c == kBiCmykRle8) && dib.bitCount != 8) return false;
  if ((c == kBiRle4 || c == kBiCmykRle4) && dib.bitCount != 4) return false;
  return true;
}

std::uint32_t DibPaletteEntries(const DibHeader& dib) {
  if (dib.bitCount == 0 || dib.bitCount > 8) return 0;
  const std::uint32_t full = 1u << dib.bitCount;
  if (dib.colorsUsed == 0 || dib.colorsUsed > full) return full;
  return dib.colorsUsed;
}

std::uint64_t DibPixelBytes(const DibHeader& dib) {
  const std::uint32_t c = dib.compression;
  const bool raw = c == kBiRgb || c == kBiCmyk ||
                   ((c == kBiBitfields || c == kBiAlphaBitfields) && !IsOs2Huffman(dib));
  if (!raw) return dib.sizeImage;
  const std::uint64_t stride = ((std::uint64_t{dib.width} * dib.bitCount + 31) / 32) * 4;
  return stride * dib.height;
}

std::string DibCompressionName(const DibHeader& dib) {
  if (IsOs2Huffman(dib)) return "Huffman 1D";
  if (IsOs2Rle24(dib)) return "RLE24";
  switch (dib.compression) {
    case kBiRgb: return "None";
    case kBiRle8: return "RLE8";
    case kBiRle4: return "RLE4";
    case kBiBitfields: return "Bitfields";
    case kBiJpeg: return "JPEG";
    case kBiPng: return "PNG";
    case kBiAlphaBitfields: return "Alpha bitfields";
    case kBiCmyk: return "None";
    case kBiCmykRle8: return "RLE8";
    case kBiCmykRle4: return "RLE4";
  }
  return "Unknown";
}

void DescribeDib(ByteReader& reader, const DibHeader& dib, std::uint64_t infoOffset,
                 ImageDescription& out) {
  out.columns = dib.width;
  out.rows = dib.height;
  const std::uint32_t c = dib.compression;
  const bool cmyk = c == kBiCmyk || c == kBiCmykRle8 || c == kBiCmykRle4;
  std::string bits;
  if (dib.bitCount == 0) {
    out.channelEncoding = PXC_CE_RGB;  // a JPEG or PNG stream; its own header tells more
    out.inks = 3;
  } else if (dib.bitCount <= 8) {
    out.channelEncoding = PXC_CE_INDEXED;
    out.inks = 1;
    bits = std::to_string(dib.bitCount);
    if (dib.bitCount == 1 && !cmyk && DibPaletteEntries(dib) == 2) {
      // Black and white (either order) make a bilevel image.
      ByteReader r(reader);
      std::uint8_t pal[8];
      const std::uint32_t step = dib.paletteEntrySize;
      if (r.Bytes(dib.paletteOffset, pal, step + 3)) {
        const auto isGray = [&](int at, std::uint8_t v) {
          return pal[at] == v && pal[at + 1] == v && pal[at + 2] == v;
        };
        if ((isGray(0, 0) && isGray(static_cast<int>(step), 255)) ||
            (isGray(0, 255) && isGray(static_cast<int>(step), 0))) {
          out.channelEncoding = PXC_CE_BILEVEL;
        }
      }
    }
  } else if (cmyk) {
    out.channelEncoding = PXC_CE_CMYK;
    out.inks = 4;
    bits = "8";
  } else {
    out.channelEncoding = PXC_CE_RGB;
    out.inks = 3;
    const bool fields = c == kBiBitfields || c == kBiAlphaBitfields;
    // Masks apply to bitfields; a V3+ header also states the alpha mask of
    // 32-bit BI_RGB data, which readers honour.
    const bool alpha = dib.hasMasks && dib.masks[3] != 0 &&
                       (fields || (c == kBiRgb && dib.bitCount == 32 && dib.headerSize >= 56));
    if (alpha) out.alphaPlane = PXC_AP_UNASSOCIATED;
    if (fields && dib.hasMasks) {
      int counts[4];
      for (int i = 0; i < 4; ++i) counts[i] = std::popcount(dib.masks[i]);
      const int n = alpha ? 4 : 3;
      bool same = true;
      for (int i = 1; i < n; ++i) same = same && counts[i] == counts[0];
      if (same) {
        bits = std::to_string(counts[0]);
      } else {
        for (int i = 0; i < n; ++i) {
          if (i) bits += ',';
          bits += std::to_string(counts[i]);
        }
      }
    } else {
      bits = std::to_string(dib.bitCount == 16 ? 5 : 8);
    }
  }
  if (dib.xPelsPerMeter > 0 && dib.yPelsPerMeter > 0) {
    SetResolution(out, dib.xPelsPerMeter, dib.yPelsPerMeter, kInchesPerMetre);
  }
  out.extended.emplace_back("Compression", DibCompressionName(dib));
  if (!bits.empty()) out.extended.emplace_back("BitsPerSample", bits);
  if (dib.csType == kProfileEmbedded && dib.profileSize > 0 && dib.profileOffset > 0) {
    out.extended.emplace_back("ColorProfile",
                              IccColorProfile(reader.Source(), infoOffset + dib.profileOffset, dib.profileSize));
  }
}

}  // namespace imr::formats
