#include "formats/ico/icon_util.h"

#include <string>

namespace imr::formats {

namespace {

constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
constexpr std::uint8_t kJp2Signature[12] = {0, 0, 0, 0x0C, 'j', 'P', ' ', ' ',
                                            0x0D, 0x0A, 0x87, 0x0A};
// Chunks looked at before the image data; metadata-heavy files stop early.
constexpr int kMaxPngChunks = 64;
constexpr int kMaxJp2Boxes = 64;

bool StartsWith(ByteReader& reader, std::uint64_t offset, std::uint64_t length,
                const std::uint8_t* bytes, std::size_t count) {
  if (length < count) return false;
  std::uint8_t head[12];
  ByteReader r(reader);
  if (!r.Bytes(offset, head, count)) return false;
  for (std::size_t i = 0; i < count; ++i) {
    if (head[i] != bytes[i]) return false;
  }
  return true;
}

void SetComponents(unsigned components, ImageDescription& out) {
  const bool colour = components >= 3;
  out.channelEncoding = colour ? PXC_CE_RGB : PXC_CE_GRAY;
  out.inks = colour ? 3 : 1;
  if (components == 2 || components >= 4) out.alphaPlane = PXC_AP_UNASSOCIATED;
}

bool DescribeCodestream(ByteReader& r, std::uint64_t at, std::uint64_t end, ImageDescription& out) {
  if (at + 45 > end || r.U16BE(at) != 0xFF4F || r.U16BE(at + 2) != 0xFF51) return false;
  const std::uint32_t xsiz = r.U32BE(at + 8), ysiz = r.U32BE(at + 12);
  const std::uint32_t xo = r.U32BE(at + 16), yo = r.U32BE(at + 20);
  const std::uint16_t components = r.U16BE(at + 40);
  const std::uint8_t ssiz = r.U8(at + 42);
  if (r.Failed() || xsiz <= xo || ysiz <= yo || components == 0) return false;
  out.columns = xsiz - xo;
  out.rows = ysiz - yo;
  SetComponents(components, out);
  out.extended.emplace_back("BitsPerSample", std::to_string((ssiz & 0x7F) + 1));
  return true;
}

}  // namespace

bool IsPngStream(ByteReader& reader, std::uint64_t offset, std::uint64_t length) {
  return StartsWith(reader, offset, length, kPngSignature, sizeof kPngSignature);
}

bool IsJpeg2000Stream(ByteReader& reader, std::uint64_t offset, std::uint64_t length) {
  if (StartsWith(reader, offset, length, kJp2Signature, sizeof kJp2Signature)) return true;
  const std::uint8_t codestream[4] = {0xFF, 0x4F, 0xFF, 0x51};
  return StartsWith(reader, offset, length, codestream, sizeof codestream);
}

bool DescribePngStream(ByteReader& reader, std::uint64_t offset, std::uint64_t length,
                       ImageDescription& out) {
  if (!IsPngStream(reader, offset, length) || length < 33) return false;
  ByteReader r(reader);
  if (r.U32BE(offset + 8) != 13 || r.Text(offset + 12, 4) != "IHDR") return false;
  const std::uint32_t width = r.U32BE(offset + 16);
  const std::uint32_t height = r.U32BE(offset + 20);
  const std::uint8_t depth = r.U8(offset + 24);
  const std::uint8_t colourType = r.U8(offset + 25);
  const std::uint8_t interlace = r.U8(offset + 28);
  if (r.Failed() || width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF) {
    return false;
  }
  const bool depthOk = [&] {
    switch (colourType) {
      case 0: return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
      case 3: return depth == 1 || depth == 2 || depth == 4 || depth == 8;
      case 2: case 4: case 6: return depth == 8 || depth == 16;
    }
    return false;
  }();
  if (!depthOk) return false;
  out.columns = width;
  out.rows = height;
  switch (colourType) {
    case 0: SetComponents(1, out); break;
    case 2: SetComponents(3, out); break;
    case 3:
      out.channelEncoding = PXC_CE_INDEXED;
      out.inks = 1;
      break;
    case 4: SetComponents(2, out); break;
    case 6: SetComponents(4, out); break;
  }
  out.extended.emplace_back("BitsPerSample", std::to_string(depth));
  if (interlace == 1) out.extended.emplace_back("Interlace", "Adam7");

  const std::uint64_t end = offset + length;
  std::uint64_t at = offset + 33;
  for (int i = 0; i < kMaxPngChunks && at + 12 <= end; ++i) {
    const std::uint64_t chunkLength = r.U32BE(at);
    const std::string type = r.Text(at + 4, 4);
    if (r.Failed() || type == "IDAT" || type == "IEND" || chunkLength > end - at - 12) break;
    if (type == "tRNS" && colourType != 4 && colourType != 6) {
      out.alphaPlane = PXC_AP_TRANSPARENT_INDEX;
    } else if (type == "iCCP") {
      out.extended.emplace_back("ColorProfile", "embedded");
    } else if (type == "pHYs" && chunkLength == 9 && r.U8(at + 16) == 1) {
      const std::uint32_t x = r.U32BE(at + 8), y = r.U32BE(at + 12);
      if (x > 0 && y > 0) {
        out.units = PXC_MU_INCH;
        out.hResolution = x * 0.0254;
        out.vResolution = y * 0.0254;
        out.hRealSize = out.columns / out.hResolution;
        out.vRealSize = out.rows / out.vResolution;
      }
    }
    at += 12 + chunkLength;
  }
  return true;
}

bool DescribeJpeg2000Stream(ByteReader& reader, std::uint64_t offset, std::uint64_t length,
                            ImageDescription& out) {
  ByteReader r(reader);
  const std::uint64_t end = offset + length;
  if (!StartsWith(reader, offset, length, kJp2Signature, sizeof kJp2Signature)) {
    return DescribeCodestream(r, offset, end, out);
  }
  // Top-level boxes, then the header box's children.
  std::uint64_t at = offset;
  std::uint64_t boxEnd = end;
  bool found = false;
  int enumeratedSpace = -1;
  unsigned componentCount = 0;
  for (int i = 0; i < kMaxJp2Boxes && at + 8 <= boxEnd; ++i) {
    std::uint64_t boxLength = r.U32BE(at);
    const std::string type = r.Text(at + 4, 4);
    std::uint64_t header = 8;
    if (boxLength == 1) {
      boxLength = r.U64BE(at + 8);
      header = 16;
    } else if (boxLength == 0) {
      boxLength = boxEnd - at;
    }
    if (r.Failed() || boxLength < header || boxLength > boxEnd - at) break;
    if (type == "jp2h") {
      boxEnd = at + boxLength;
      at += header;
      continue;
    }
    if (type == "ihdr" && boxLength >= header + 14) {
      const std::uint32_t height = r.U32BE(at + header);
      const std::uint32_t width = r.U32BE(at + header + 4);
      const std::uint16_t components = r.U16BE(at + header + 8);
      const std::uint8_t bits = r.U8(at + header + 10);
      if (r.Failed() || width == 0 || height == 0 || components == 0) return false;
      out.columns = width;
      out.rows = height;
      SetComponents(components, out);
      componentCount = components;
      if (bits != 0xFF) out.extended.emplace_back("BitsPerSample", std::to_string((bits & 0x7F) + 1));
      found = true;
    } else if (type == "colr" && boxLength >= header + 7 && r.U8(at + header) == 1) {
      enumeratedSpace = static_cast<int>(r.U32BE(at + header + 3));
    } else if (type == "jp2c") {
      if (!found) return DescribeCodestream(r, at + header, at + boxLength, out);
      break;
    }
    at += boxLength;
  }
  if (!found) return false;
  if (enumeratedSpace == 17) {
    out.channelEncoding = PXC_CE_GRAY;
    out.inks = 1;
  } else if (enumeratedSpace == 18) {
    out.channelEncoding = PXC_CE_YCBCR;
  } else if (enumeratedSpace == 12) {
    out.channelEncoding = PXC_CE_CMYK;
    out.inks = 4;
    // Four components are the inks; a fifth is alpha.
    out.alphaPlane = componentCount > 4 ? PXC_AP_UNASSOCIATED : PXC_AP_NONE;
  }
  return true;
}

}  // namespace imr::formats
