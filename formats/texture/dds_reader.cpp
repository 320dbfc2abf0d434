// DirectDraw Surface textures: the 124-byte header, its pixel format and,
// for the "DX10" FourCC, the extended header with a DXGI format.  Mipmap
// levels, cube faces and volume slices belong to the one texture and are
// reported as details of the main image.
#include <string>
#include <vector>

#include "formats/common/byte_reader.h"
#include "formats/common/reader_registry.h"
#include "formats/texture/texture_reader.h"

namespace imr::formats {

namespace {

constexpr std::uint32_t kHeaderSize = 124;
constexpr std::uint32_t kPixelFormatSize = 32;

// Header flags and capabilities.
constexpr std::uint32_t kFlagMipmapCount = 0x20000;
constexpr std::uint32_t kFlagDepth = 0x800000;
constexpr std::uint32_t kCapsMipmap = 0x400000;
constexpr std::uint32_t kCaps2Cubemap = 0x200;
constexpr std::uint32_t kCaps2Volume = 0x200000;
// Pixel format flags.
constexpr std::uint32_t kPfAlphaPixels = 0x1;
constexpr std::uint32_t kPfAlpha = 0x2;
constexpr std::uint32_t kPfFourCC = 0x4;
constexpr std::uint32_t kPfPalette8 = 0x20;
constexpr std::uint32_t kPfRgb = 0x40;
constexpr std::uint32_t kPfYuv = 0x200;
constexpr std::uint32_t kPfLuminance = 0x20000;
// DX10 header.
constexpr std::uint32_t kDimensionTexture3D = 4;
constexpr std::uint32_t kMiscTextureCube = 0x4;

// DXGI_FORMAT names by value; "" for values without a format.
const char* const kDxgiNames[] = {
    "UNKNOWN", "R32G32B32A32_TYPELESS", "R32G32B32A32_FLOAT", "R32G32B32A32_UINT",
    "R32G32B32A32_SINT", "R32G32B32_TYPELESS", "R32G32B32_FLOAT", "R32G32B32_UINT",
    "R32G32B32_SINT", "R16G16B16A16_TYPELESS", "R16G16B16A16_FLOAT", "R16G16B16A16_UNORM",
    "R16G16B16A16_UINT", "R16G16B16A16_SNORM", "R16G16B16A16_SINT", "R32G32_TYPELESS",
    "R32G32_FLOAT", "R32G32_UINT", "R32G32_SINT", "R32G8X24_TYPELESS", "D32_FLOAT_S8X24_UINT",
    "R32_FLOAT_X8X24_TYPELESS", "X32_TYPELESS_G8X24_UINT", "R10G10B10A2_TYPELESS",
    "R10G10B10A2_UNORM", "R10G10B10A2_UINT", "R11G11B10_FLOAT", "R8G8B8A8_TYPELESS",
    "R8G8B8A8_UNORM", "R8G8B8A8_UNORM_SRGB", "R8G8B8A8_UINT", "R8G8B8A8_SNORM", "R8G8B8A8_SINT",
    "R16G16_TYPELESS", "R16G16_FLOAT", "R16G16_UNORM", "R16G16_UINT", "R16G16_SNORM",
    "R16G16_SINT", "R32_TYPELESS", "D32_FLOAT", "R32_FLOAT", "R32_UINT", "R32_SINT",
    "R24G8_TYPELESS", "D24_UNORM_S8_UINT", "R24_UNORM_X8_TYPELESS", "X24_TYPELESS_G8_UINT",
    "R8G8_TYPELESS", "R8G8_UNORM", "R8G8_UINT", "R8G8_SNORM", "R8G8_SINT", "R16_TYPELESS",
    "R16_FLOAT", "D16_UNORM", "R16_UNORM", "R16_UINT", "R16_SNORM", "R16_SINT", "R8_TYPELESS",
    "R8_UNORM", "R8_UINT", "R8_SNORM", "R8_SINT", "A8_UNORM", "R1_UNORM", "R9G9B9E5_SHAREDEXP",
    "R8G8_B8G8_UNORM", "G8R8_G8B8_UNORM", "BC1_TYPELESS", "BC1_UNORM", "BC1_UNORM_SRGB",
    "BC2_TYPELESS", "BC2_UNORM", "BC2_UNORM_SRGB", "BC3_TYPELESS", "BC3_UNORM", "BC3_UNORM_SRGB",
    "BC4_TYPELESS", "BC4_UNORM", "BC4_SNORM", "BC5_TYPELESS", "BC5_UNORM", "BC5_SNORM",
    "B5G6R5_UNORM", "B5G5R5A1_UNORM", "B8G8R8A8_UNORM", "B8G8R8X8_UNORM",
    "R10G10B10_XR_BIAS_A2_UNORM", "B8G8R8A8_TYPELESS", "B8G8R8A8_UNORM_SRGB",
    "B8G8R8X8_TYPELESS", "B8G8R8X8_UNORM_SRGB", "BC6H_TYPELESS", "BC6H_UF16", "BC6H_SF16",
    "BC7_TYPELESS", "BC7_UNORM", "BC7_UNORM_SRGB", "AYUV", "Y410", "Y416", "NV12", "P010", "P016",
    "420_OPAQUE", "YUY2", "Y210", "Y216", "NV11", "AI44", "IA44", "P8", "A8P8",
    "B4G4R4A4_UNORM", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "P208", "V208",
    "V408",
};
constexpr std::uint32_t kDxgiCount = sizeof kDxgiNames / sizeof kDxgiNames[0];
static_assert(kDxgiCount == 133, "DXGI names run from 0 to V408 (132)");

struct Channels {
  PXC_TChannelEnc encoding = PXC_CE_UNKNOWN;
  std::uint16_t inks = 0;
  bool alpha = false;
  std::string bits;
};

// Reads what a DXGI name says: block-compressed families, video formats,
// palettes, and otherwise the component letters and sizes it starts with.
Channels ClassifyDxgi(const std::string& name) {
  Channels c;
  if (name.rfind("BC", 0) == 0 && name.size() > 2) {
    const char family = name[2];
    c.encoding = family == '4' ? PXC_CE_GRAY : PXC_CE_RGB;
    c.inks = family == '4' ? 1 : family == '5' ? 2 : 3;
    c.alpha = family == '2' || family == '3' || family == '7';
    return c;
  }
  if (name == "P8" || name == "A8P8" || name == "AI44" || name == "IA44") {
    c.encoding = PXC_CE_INDEXED;
    c.inks = 1;
    c.alpha = name != "P8";
    return c;
  }
  const bool yuv = name == "AYUV" || name == "420_OPAQUE" || name.rfind("Y4", 0) == 0 ||
                   name.rfind("Y2", 0) == 0 || name.rfind("NV", 0) == 0 ||
                   (name.size() == 4 && (name[0] == 'P' || name[0] == 'V')) || name == "YUY2";
  if (yuv) {
    c.encoding = PXC_CE_YCBCR;
    c.inks = 3;
    c.alpha = name == "AYUV" || name == "Y410" || name == "Y416" || name == "V408";
    return c;
  }
  // Components such as R8G8B8A8 or B5G6R5 up to the first '_'.
  std::vector<std::string> colourBits;
  bool red = false, green = false, blue = false, depth = false;
  for (std::size_t i = 0; i < name.size() && name[i] != '_';) {
    const char letter = name[i++];
    std::string digits;
    while (i < name.size() && name[i] >= '0' && name[i] <= '9') digits += name[i++];
    switch (letter) {
      case 'R': red = true; colourBits.push_back(digits); break;
      case 'G': green = true; colourBits.push_back(digits); break;
      case 'B': blue = true; colourBits.push_back(digits); break;
      case 'A': c.alpha = true; break;
      case 'D': depth = true; colourBits.push_back(digits); break;
      default: break;
    }
  }
  if (red && green && blue) {
    c.encoding = PXC_CE_RGB;
    c.inks = 3;
  } else if (red && green) {
    c.encoding = PXC_CE_RGB;
    c.inks = 2;
  } else if (red || depth) {
    c.encoding = name == "R1_UNORM" ? PXC_CE_BILEVEL : PXC_CE_GRAY;
    c.inks = 1;
  } else if (c.alpha) {
    c.encoding = PXC_CE_GRAY;  // alpha-only texture
    c.inks = 1;
    c.alpha = false;
  }
  bool same = true;
  for (const std::string& b : colourBits) same = same && b == colourBits.front();
  if (!colourBits.empty()) {
    if (same) {
      c.bits = colourBits.front();
    } else {
      for (std::size_t i = 0; i < colourBits.size(); ++i) {
        if (i) c.bits += ',';
        c.bits += colourBits[i];
      }
    }
  }
  return c;
}

// Legacy FourCC codes: block-compressed, video and D3DFORMAT numbers.
Channels ClassifyFourCC(std::uint32_t code, const std::string& text, std::string& name) {
  Channels c;
  c.encoding = PXC_CE_RGB;
  c.inks = 3;
  name = text;
  switch (code) {
    case 36: name = "A16B16G16R16"; c.alpha = true; c.bits = "16"; return c;
    case 110: name = "Q16W16V16U16"; c.bits = "16"; return c;
    case 111: name = "R16F"; c.encoding = PXC_CE_GRAY; c.inks = 1; c.bits = "16"; return c;
    case 112: name = "G16R16F"; c.inks = 2; c.bits = "16"; return c;
    case 113: name = "A16B16G16R16F"; c.alpha = true; c.bits = "16"; return c;
    case 114: name = "R32F"; c.encoding = PXC_CE_GRAY; c.inks = 1; c.bits = "32"; return c;
    case 115: name = "G32R32F"; c.inks = 2; c.bits = "32"; return c;
    case 116: name = "A32B32G32R32F"; c.alpha = true; c.bits = "32"; return c;
    default: break;
  }
  if (text == "DXT2" || text == "DXT3" || text == "DXT4" || text == "DXT5" || text == "RXGB") {
    c.alpha = text != "RXGB";
  } else if (text == "ATI1" || text == "BC4U" || text == "BC4S") {
    c.encoding = PXC_CE_GRAY;
    c.inks = 1;
  } else if (text == "ATI2" || text == "BC5U" || text == "BC5S") {
    c.inks = 2;
  } else if (text == "UYVY" || text == "YUY2") {
    c.encoding = PXC_CE_YCBCR;
  }
  return c;
}

std::string MaskBits(std::uint32_t mask) {
  int bits = 0;
  for (; mask != 0; mask &= mask - 1) ++bits;
  return std::to_string(bits);
}

class DdsReader : public FormatReader {
 public:
  bool Open(const ByteSource& source) override {
    iOpen = false;
    ByteReader r(source, true);
    if (r.Text(0, 4) != "DDS ") return false;
    const std::uint32_t headerSize = r.U32(4);
    iFlags = r.U32(8);
    iHeight = r.U32(12);
    iWidth = r.U32(16);
    iDepth = r.U32(24);
    iMipmaps = r.U32(28);
    const std::uint32_t pfSize = r.U32(76);
    iPfFlags = r.U32(80);
    iFourCC = r.U32(84);
    iFourCCText = r.Text(84, 4);
    iBitCount = r.U32(88);
    for (int i = 0; i < 4; ++i) iMasks[i] = r.U32(92 + 4 * i);
    iCaps = r.U32(108);
    iCaps2 = r.U32(112);
    if (r.Failed()) return Refuse("the header is cut short");
    if (headerSize != kHeaderSize || pfSize != kPixelFormatSize) {
      return Refuse("header sizes of " + std::to_string(headerSize) + " and " + std::to_string(pfSize) +
                    " bytes, not 124 and 32");
    }
    if (iWidth == 0 || iHeight == 0) return Refuse("the width or height is 0");
    iDx10 = (iPfFlags & kPfFourCC) && iFourCCText == "DX10";
    if (iDx10) {
      iDxgi = r.U32(128);
      iDimension = r.U32(132);
      iMisc = r.U32(136);
      iArraySize = r.U32(140);
      iAlphaMode = r.U32(144) & 0x7;
      if (r.Failed()) return Refuse("the DX10 header is cut short");
      if (iDxgi >= kDxgiCount || kDxgiNames[iDxgi][0] == '\0') {
        return Refuse("an unknown DXGI format " + std::to_string(iDxgi));
      }
    }
    iOpen = true;
    return true;
  }

  bool Describe(std::uint32_t index, ImageDescription& out) override {
    if (!iOpen || index != 0) return false;
    out = ImageDescription{};
    out.columns = iWidth;
    out.rows = iHeight;
    Channels c;
    std::string compression = "None";
    if (iDx10) {
      compression = kDxgiNames[iDxgi];
      c = ClassifyDxgi(compression);
    } else if (iPfFlags & kPfFourCC) {
      c = ClassifyFourCC(iFourCC, iFourCCText, compression);
    } else {
      if (iPfFlags & kPfPalette8) {
        c.encoding = PXC_CE_INDEXED;
        c.inks = 1;
        c.bits = "8";
      } else if (iPfFlags & kPfYuv) {
        c.encoding = PXC_CE_YCBCR;
        c.inks = 3;
      } else if (iPfFlags & kPfRgb) {
        c.encoding = PXC_CE_RGB;
        c.inks = 3;
        const std::string r = MaskBits(iMasks[0]), g = MaskBits(iMasks[1]), b = MaskBits(iMasks[2]);
        c.bits = r == g && g == b ? r : r + "," + g + "," + b;
      } else if (iPfFlags & (kPfLuminance | kPfAlpha)) {
        c.encoding = PXC_CE_GRAY;
        c.inks = 1;
        c.bits = MaskBits((iPfFlags & kPfLuminance) ? iMasks[0] : iMasks[3]);
      }
      c.alpha = (iPfFlags & kPfAlphaPixels) && iMasks[3] != 0;
    }
    out.channelEncoding = c.encoding;
    out.inks = c.inks;
    if (c.alpha) out.alphaPlane = PXC_AP_UNASSOCIATED;
    // DXT2/DXT4 and the DX10 alpha mode state premultiplied alpha.
    if (!iDx10 && (iFourCCText == "DXT2" || iFourCCText == "DXT4")) out.alphaPlane = PXC_AP_ASSOCIATED;
    if (iDx10) {
      if (iAlphaMode == 2) out.alphaPlane = PXC_AP_ASSOCIATED;
      if (iAlphaMode == 3) out.alphaPlane = PXC_AP_NONE;
      if (iAlphaMode == 4 && c.alpha) out.alphaPlane = PXC_AP_UNSPECIFIED;
    }
    out.extended.emplace_back("Compression", compression);
    if (!c.bits.empty()) out.extended.emplace_back("BitsPerSample", c.bits);
    const bool hasMipmaps = (iFlags & kFlagMipmapCount) || (iCaps & kCapsMipmap);
    if (hasMipmaps && iMipmaps > 1) out.extended.emplace_back("Mipmaps", std::to_string(iMipmaps));
    DescribeLayout(out);
    return true;
  }

 private:
  void DescribeLayout(ImageDescription& out) const {
    if (iDx10) {
      if (iMisc & kMiscTextureCube) {
        out.extended.emplace_back("CubeFaces", "6");
      } else if (iDimension == kDimensionTexture3D && iDepth > 1) {
        out.extended.emplace_back("Depth", std::to_string(iDepth));
      }
      if (iArraySize > 1) out.extended.emplace_back("ArraySize", std::to_string(iArraySize));
      return;
    }
    if (iCaps2 & kCaps2Cubemap) {
      int faces = 0;
      for (std::uint32_t bit = 0x400; bit <= 0x8000; bit <<= 1) faces += (iCaps2 & bit) ? 1 : 0;
      out.extended.emplace_back("CubeFaces", std::to_string(faces));
    } else if ((iCaps2 & kCaps2Volume) && (iFlags & kFlagDepth) && iDepth > 1) {
      out.extended.emplace_back("Depth", std::to_string(iDepth));
    }
  }

  bool iOpen = false;
  std::uint32_t iFlags = 0, iWidth = 0, iHeight = 0, iDepth = 0, iMipmaps = 0;
  std::uint32_t iPfFlags = 0, iFourCC = 0, iBitCount = 0, iMasks[4] = {0, 0, 0, 0};
  std::string iFourCCText;
  std::uint32_t iCaps = 0, iCaps2 = 0;
  bool iDx10 = false;
  std::uint32_t iDxgi = 0, iDimension = 0, iMisc = 0, iArraySize = 0, iAlphaMode = 0;
};

}  // namespace

std::unique_ptr<FormatReader> MakeDdsReader() { return std::make_unique<DdsReader>(); }
IMR_READER(DDS, MakeDdsReader);

}  // namespace imr::formats
