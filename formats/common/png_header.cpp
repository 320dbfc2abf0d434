#include "formats/common/png_header.h"

#include <string>

#include "formats/common/byte_reader.h"

namespace imr::formats {

bool SetPngColour(std::uint8_t colour, std::uint8_t depth, ImageDescription& d) {
  const bool depthOk = colour == 0   ? depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16
                       : colour == 3 ? depth == 1 || depth == 2 || depth == 4 || depth == 8
                                     : depth == 8 || depth == 16;
  if (!depthOk) return false;
  switch (colour) {
    case 0: d.channelEncoding = depth == 1 ? PXC_CE_BILEVEL : PXC_CE_GRAY; d.inks = 1; break;
    case 2: d.channelEncoding = PXC_CE_RGB; d.inks = 3; break;
    case 3: d.channelEncoding = PXC_CE_INDEXED; d.inks = 1; break;
    case 4: d.channelEncoding = PXC_CE_GRAY; d.inks = 1; d.alphaPlane = PXC_AP_UNASSOCIATED; break;
    case 6: d.channelEncoding = PXC_CE_RGB; d.inks = 3; d.alphaPlane = PXC_AP_UNASSOCIATED; break;
    default: return false;
  }
  return true;
}

bool DescribePngHead(std::string_view head, ImageDescription& d) {
  if (head.size() < 33 || head.substr(0, 16) != std::string_view("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR", 16)) {
    return false;
  }
  MemorySource source(head.data(), head.size());
  ByteReader r(source);
  const std::uint32_t width = r.U32BE(16), height = r.U32BE(20);
  const std::uint8_t depth = r.U8(24);
  if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF) return false;
  if (!SetPngColour(r.U8(25), depth, d)) return false;
  d.columns = width;
  d.rows = height;
  d.extended.emplace_back("Compression", "Deflate");
  d.extended.emplace_back("BitsPerSample", std::to_string(depth));
  return true;
}

}  // namespace imr::formats
