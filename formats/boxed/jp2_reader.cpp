#include "formats/boxed/jp2_reader.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "formats/common/byte_reader.h"
#include "formats/common/icc_profile.h"
#include "formats/common/iso_box.h"
#include "formats/common/reader_registry.h"

namespace imr::formats {

namespace {

using box::Box;

constexpr std::size_t kMaxBoxes = 4096;  // per level
constexpr int kMaxDepth = 4;

// The UUIDs of XMP and EXIF boxes.
constexpr unsigned char kXmpUuid[16] = {0xBE, 0x7A, 0xCF, 0xCB, 0x97, 0xA9, 0x42, 0xE8,
                                        0x9C, 0x71, 0x99, 0x94, 0x91, 0xE3, 0xAF, 0xAC};
constexpr char kExifUuid[] = "JpgTiffExif->JP2";

struct CodestreamInfo {
  std::uint32_t width = 0, height = 0;
  std::uint16_t components = 0;
  int bits = 0;
};

// SIZ right after SOC: image and component sizes.
bool ReadSiz(ByteReader& reader, std::uint64_t position, CodestreamInfo& out) {
  if (reader.U16BE(position) != 0xFF4F || reader.U16BE(position + 2) != 0xFF51) return false;
  std::uint32_t length = reader.U16BE(position + 4);
  std::uint32_t xSize = reader.U32BE(position + 8), ySize = reader.U32BE(position + 12);
  std::uint32_t xOffset = reader.U32BE(position + 16), yOffset = reader.U32BE(position + 20);
  std::uint16_t components = reader.U16BE(position + 40);
  if (reader.Failed() || components == 0 || components > 16384 || length != 38 + 3u * components ||
      xSize <= xOffset || ySize <= yOffset) {
    return false;
  }
  std::uint8_t precision = reader.U8(position + 42);
  if (reader.Failed()) return false;
  out.width = xSize - xOffset;
  out.height = ySize - yOffset;
  out.components = components;
  out.bits = (precision & 0x7F) + 1;
  return true;
}

// Pixels per metre from a resolution box: N/D * 10^E.
double Resolution(std::uint16_t numerator, std::uint16_t denominator, std::int8_t exponent) {
  if (denominator == 0 || numerator == 0 || exponent < -10 || exponent > 10) return 0;
  double value = static_cast<double>(numerator) / denominator;
  for (int i = 0; i < exponent; ++i) value *= 10;
  for (int i = 0; i > exponent; --i) value /= 10;
  return value;
}

class Jp2Reader : public PreparedReader {
 public:
  bool Open(const ByteSource& source) override;

 private:
  bool OpenCodestream(const ByteSource& source, ImageDescription& image);
  bool OpenBoxes(const ByteSource& source, ImageDescription& image);
};

bool Jp2Reader::Open(const ByteSource& source) {
  iImages.clear();
  ByteReader reader(source);
  ImageDescription image;
  bool opened = false;
  if (reader.U16BE(0) == 0xFF4F) {
    opened = OpenCodestream(source, image);
  } else if (reader.U32BE(0) == 12 && reader.U32BE(4) == FourCC("jP  ") && reader.U32BE(8) == 0x0D0A870A) {
    opened = OpenBoxes(source, image);
  }
  if (opened) iImages.push_back(std::move(image));
  return opened;
}

void SetChannels(ImageDescription& image, std::uint16_t components) {
  // without colour information: grey, grey + alpha, RGB, RGB + alpha
  switch (components) {
    case 1: image.channelEncoding = PXC_CE_GRAY; image.inks = 1; break;
    case 2: image.channelEncoding = PXC_CE_GRAY; image.inks = 1; image.alphaPlane = PXC_AP_UNSPECIFIED; break;
    case 3: image.channelEncoding = PXC_CE_RGB; image.inks = 3; break;
    case 4: image.channelEncoding = PXC_CE_RGB; image.inks = 3; image.alphaPlane = PXC_AP_UNSPECIFIED; break;
    default: image.channelEncoding = PXC_CE_MULTICHANNEL; image.inks = components; break;
  }
}

bool Jp2Reader::OpenCodestream(const ByteSource& source, ImageDescription& image) {
  ByteReader reader(source);
  CodestreamInfo info;
  if (!ReadSiz(reader, 0, info)) return false;
  image.format = "J2K";
  image.columns = info.width;
  image.rows = info.height;
  SetChannels(image, info.components);
  image.extended.emplace_back("Compression", "JPEG 2000");
  image.extended.emplace_back("BitsPerSample", std::to_string(info.bits));
  return true;
}

bool Jp2Reader::OpenBoxes(const ByteSource& source, ImageDescription& image) {
  ByteReader reader(source);
  const std::uint64_t size = reader.Size();
  std::uint32_t brand = 0;
  bool haveHeader = false, haveColour = false, palette = false, exif = false, xmp = false;
  std::uint32_t width = 0, height = 0;
  std::uint16_t components = 0;
  int bits = 0;
  std::uint8_t method = 0;
  std::uint32_t enumerated = 0;
  IccProfile icc;
  bool haveIcc = false;
  int alphaType = -1;  // cdef: 1 opacity, 2 premultiplied opacity
  std::uint16_t alphaChannels = 0;
  double captureH = 0, captureV = 0, displayH = 0, displayV = 0;
  CodestreamInfo codestream;
  bool haveCodestream = false;

  // Walks a box list; superboxes jp2h and res are entered.
  auto walk = [&](auto& self, std::uint64_t position, std::uint64_t end, int depth) -> void {
    Box b;
    for (std::size_t count = 0; count < kMaxBoxes && box::ReadBox(source, position, end, b); ++count) {
      position = b.end;
      std::uint64_t c = b.content;
      switch (b.type) {
        case FourCC("ftyp"):
          if (b.ContentSize() >= 4) brand = reader.U32BE(c);
          break;
        case FourCC("jp2h"):
        case FourCC("res "):
          if (depth < kMaxDepth) self(self, c, b.end, depth + 1);
          break;
        case FourCC("ihdr"):
          if (!haveHeader && b.ContentSize() >= 14) {
            height = reader.U32BE(c);
            width = reader.U32BE(c + 4);
            components = reader.U16BE(c + 8);
            std::uint8_t bpc = reader.U8(c + 10);
            bits = bpc == 255 ? 0 : (bpc & 0x7F) + 1;
            haveHeader = width > 0 && height > 0 && components > 0;
          }
          break;
        case FourCC("bpcc"):
          if (bits == 0 && b.ContentSize() >= 1) bits = (reader.U8(c) & 0x7F) + 1;
          break;
        case FourCC("colr"):
          // the first colour box is the one to use
          if (!haveColour && b.ContentSize() >= 3) {
            haveColour = true;
            method = reader.U8(c);
            if (method == 1 && b.ContentSize() >= 7) {
              enumerated = reader.U32BE(c + 3);
            } else if (method == 2 || method == 3) {
              haveIcc = ReadIccProfile(source, c + 3, b.ContentSize() - 3, icc);
            }
          }
          break;
        case FourCC("pclr"):
          palette = true;
          break;
        case FourCC("cdef"): {
          std::uint64_t n = b.ContentSize() >= 2 ? reader.U16BE(c) : 0;
          for (std::uint64_t i = 0; i < n && 2 + (i + 1) * 6 <= b.ContentSize(); ++i) {
            std::uint16_t kind = reader.U16BE(c + 2 + i * 6 + 2);
            if (kind == 1 || kind == 2) {
              ++alphaChannels;
              if (alphaType < 0) alphaType = kind;
            }
          }
          break;
        }
        case FourCC("resc"):
        case FourCC("resd"):
          if (b.ContentSize() >= 10) {
            double v = Resolution(reader.U16BE(c), reader.U16BE(c + 2), static_cast<std::int8_t>(reader.U8(c + 8)));
            double h = Resolution(reader.U16BE(c + 4), reader.U16BE(c + 6), static_cast<std::int8_t>(reader.U8(c + 9)));
            (b.type == FourCC("resc") ? captureH : displayH) = h;
            (b.type == FourCC("resc") ? captureV : displayV) = v;
          }
          break;
        case FourCC("jp2c"):
          if (!haveCodestream) haveCodestream = ReadSiz(reader, c, codestream);
          break;
        case FourCC("uuid"):
          if (b.ContentSize() >= 16) {
            unsigned char id[16];
            reader.Bytes(c, id, 16);
            if (std::memcmp(id, kXmpUuid, 16) == 0) xmp = true;
            if (std::memcmp(id, kExifUuid, 16) == 0) exif = true;
          }
          break;
        default:
          break;
      }
    }
  };
  walk(walk, 12, size, 0);

  if (!haveHeader) {
    if (!haveCodestream) return false;
    width = codestream.width;
    height = codestream.height;
    components = codestream.components;
  }
  if (bits == 0 && haveCodestream) bits = codestream.bits;

  if (brand == FourCC("jpx ")) image.format = "JPX";
  if (brand == FourCC("jpm ")) image.format = "JPM";
  image.columns = width;
  image.rows = height;
  SetChannels(image, components);
  if (alphaType > 0) {
    image.alphaPlane = alphaType == 2 ? PXC_AP_ASSOCIATED : PXC_AP_UNASSOCIATED;
  }
  PXC_TChannelEnc encoding = PXC_CE_UNKNOWN;
  if (method == 1) {
    switch (enumerated) {
      case 0: case 15: encoding = PXC_CE_BILEVEL; break;
      case 1: case 3: case 4: case 9: case 18: case 22: case 23: case 24: encoding = PXC_CE_YCBCR; break;
      case 12: encoding = PXC_CE_CMYK; break;
      case 13: encoding = PXC_CE_YCCK; break;
      case 14: encoding = PXC_CE_LAB; break;
      case 16: case 20: case 21: encoding = PXC_CE_RGB; break;
      case 17: encoding = PXC_CE_GRAY; break;
      default: break;
    }
  } else if (haveIcc) {
    switch (icc.colorSpace) {
      case FourCC("RGB "): encoding = PXC_CE_RGB; break;
      case FourCC("GRAY"): encoding = PXC_CE_GRAY; break;
      case FourCC("CMYK"): encoding = PXC_CE_CMYK; break;
      case FourCC("Lab "): encoding = PXC_CE_LAB; break;
      case FourCC("YCbr"): encoding = PXC_CE_YCBCR; break;
      case FourCC("XYZ "): encoding = PXC_CE_XYZ; break;
      default: break;
    }
  }
  if (encoding != PXC_CE_UNKNOWN) {
    static constexpr std::uint16_t kInks[] = {0, 1, 1, 3, 4, 3, 0, 3, 4, 0, 0, 3, 0};
    image.channelEncoding = encoding;
    image.inks = kInks[encoding];
  }
  if (palette) {
    // palette entries in the colour space: an indexed image
    if (image.inks == 0) image.inks = 3;
    image.channelEncoding = PXC_CE_INDEXED;
  } else if (encoding == PXC_CE_UNKNOWN && alphaChannels > 0 && alphaChannels < components) {
    image.inks = static_cast<std::uint16_t>(components - alphaChannels);
  }

  // the capture resolution first, as other readers do
  double h = captureH > 0 && captureV > 0 ? captureH : displayH;
  double v = captureH > 0 && captureV > 0 ? captureV : displayV;
  SetResolution(image, h, v, 0.0254);
  image.extended.emplace_back("Compression", "JPEG 2000");
  if (bits > 0) image.extended.emplace_back("BitsPerSample", std::to_string(bits));
  if (method == 2 || method == 3) {
    image.extended.emplace_back("ColorProfile", haveIcc && !icc.description.empty() ? icc.description : "embedded");
  }
  if (exif) image.extended.emplace_back("Exif", "yes");
  if (xmp) image.extended.emplace_back("XMP", "yes");
  return true;
}

}  // namespace

std::unique_ptr<FormatReader> MakeJp2Reader() { return std::make_unique<Jp2Reader>(); }
IMR_READER(JP2, MakeJp2Reader);

}  // namespace imr::formats
