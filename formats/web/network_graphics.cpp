#include "formats/web/network_graphics.h"

namespace imr::formats::png {

bool ReadChunk(ByteReader& r, std::uint64_t at, Chunk& out) {
  if (at > r.Size() || r.Size() - at < 12) return false;
  out.length = r.U32BE(at);
  out.type = r.U32BE(at + 4);
  out.data = at + 8;
  return !r.Failed() && out.length <= kMaxChunkLength && out.length <= r.Size() - out.data - 4;
}

bool ReadJngHeader(ByteReader& r, const Chunk& jhdr, ImageDescription& d, std::string& why) {
  if (jhdr.length < 16) {
    why = "the JHDR chunk is shorter than 16 bytes";
    return false;
  }
  const std::uint64_t at = jhdr.data;
  const std::uint32_t width = r.U32BE(at), height = r.U32BE(at + 4);
  const std::uint8_t colour = r.U8(at + 8), depth = r.U8(at + 9), interlace = r.U8(at + 11);
  const std::uint8_t alphaDepth = r.U8(at + 12), alphaCompression = r.U8(at + 13);
  if (width == 0 || height == 0 || width > kMaxChunkLength || height > kMaxChunkLength) {
    why = "the image size " + std::to_string(width) + " x " + std::to_string(height) + " is out of range";
    return false;
  }
  if ((colour != 8 && colour != 10 && colour != 12 && colour != 14) || (depth != 8 && depth != 12 && depth != 20)) {
    why = "colour type " + std::to_string(colour) + " at " + std::to_string(depth) + " bits is not a JNG one";
    return false;
  }
  d.columns = width;
  d.rows = height;
  const bool gray = colour == 8 || colour == 12;
  d.channelEncoding = gray ? PXC_CE_GRAY : PXC_CE_YCBCR;
  d.inks = gray ? 1 : 3;
  d.alphaPlane = colour >= 12 ? PXC_AP_UNASSOCIATED : PXC_AP_NONE;
  d.extended.emplace_back("Compression", "JPEG");
  d.extended.emplace_back("BitsPerSample", depth == 20 ? "8 and 12" : std::to_string(depth));
  if (colour >= 12) {
    d.extended.emplace_back("AlphaCompression", alphaCompression == 8 ? "JPEG" : "Deflate");
    d.extended.emplace_back("AlphaBitsPerSample", std::to_string(alphaDepth));
  }
  if (interlace == 8) d.extended.emplace_back("Interlace", "Progressive");
  return true;
}

}  // namespace imr::formats::png
