#include "formats/web/png_reader.h"

#include <algorithm>

#include "formats/common/byte_reader.h"
#include "formats/common/png_header.h"
#include "formats/common/reader_registry.h"
#include "formats/common/text_util.h"
#include "formats/common/tiff_structure.h"
#include "formats/web/network_graphics.h"

namespace imr::formats {
namespace {

constexpr int kMaxChunks = 100000;  // chunks looked at in front of the image data
using png::kMaxChunkLength;
constexpr std::size_t kMaxText = 256;

// The value of a tEXt or uncompressed iTXt chunk whose keyword is `key`.
bool TextValue(const std::string& data, bool international, const std::string& key,
               std::string& value) {
  const std::size_t nul = data.find('\0');
  if (nul == std::string::npos || data.compare(0, nul, key) != 0) return false;
  if (!international) {
    value = Latin1ToUtf8(data.substr(nul + 1));
    return true;
  }
  // iTXt: compression flag and method, language tag, translated keyword.
  if (nul + 3 > data.size() || data[nul + 1] != 0) return false;
  const std::size_t lang = data.find('\0', nul + 3);
  if (lang == std::string::npos) return false;
  const std::size_t translated = data.find('\0', lang + 1);
  if (translated == std::string::npos) return false;
  value = data.substr(translated + 1);
  return true;
}

}  // namespace

bool PngReader::Open(const ByteSource& source) {
  iSource = &source;
  iMain = ImageDescription{};
  iApng = iMainIsFrame = iDone = iPalette = iTransparency = false;
  iFrameCount = 0;
  iFrames.clear();
  ByteReader r(source);
  static const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  std::uint8_t signature[8];
  if (!r.Bytes(0, signature, 8) || !std::equal(signature, signature + 8, kSignature)) return false;

  std::uint64_t pos = 8;
  if (r.U32BE(pos + 4) == FourCC("CgBI")) {  // Apple's variant puts a chunk before IHDR
    pos += 12 + std::uint64_t{r.U32BE(pos)};
  }
  if (r.Size() < pos + 8 + 13) return Refuse("the file ends inside the IHDR chunk");
  if (r.U32BE(pos + 4) != FourCC("IHDR")) return Refuse("the first chunk is not IHDR");
  if (r.U32BE(pos) != 13) return Refuse("the IHDR chunk is not 13 bytes long");
  const std::uint64_t ihdr = pos + 8;
  const std::uint32_t width = r.U32BE(ihdr), height = r.U32BE(ihdr + 4);
  const std::uint8_t depth = r.U8(ihdr + 8), colour = r.U8(ihdr + 9), interlace = r.U8(ihdr + 12);
  if (r.Failed()) return Refuse("the file ends inside the IHDR chunk");
  if (width == 0 || height == 0 || width > kMaxChunkLength || height > kMaxChunkLength) {
    return Refuse("the image size " + std::to_string(width) + " x " + std::to_string(height) +
                  " is out of range");
  }
  ImageDescription& d = iMain;
  d.columns = width;
  d.rows = height;
  iPalette = colour == 3;
  if (!SetPngColour(colour, depth, d)) {
    return Refuse("colour type " + std::to_string(colour) + " at bit depth " + std::to_string(depth) +
                  " is not valid");
  }

  std::string colorProfile, software;
  bool exif = false, xmp = false;
  std::uint64_t orientation = 0;
  pos = ihdr + 13 + 4;
  for (int chunks = 0; chunks < kMaxChunks; ++chunks) {
    if (pos > r.Size() || r.Size() - pos < 12) break;
    const std::uint32_t length = r.U32BE(pos);
    const std::uint32_t type = r.U32BE(pos + 4);
    const std::uint64_t data = pos + 8;
    if (length > kMaxChunkLength || length > r.Size() - data) break;
    if (type == FourCC("IDAT") || type == FourCC("IEND")) break;
    if (type == FourCC("tRNS")) {
      iTransparency = true;
    } else if (type == FourCC("pHYs") && length >= 9) {
      // Pixels per unit; unit 1 is the metre, 0 leaves an aspect ratio only.
      if (r.U8(data + 8) == 1) SetResolution(d, r.U32BE(data), r.U32BE(data + 4), 0.0254);
    } else if (type == FourCC("iCCP") && colorProfile.empty()) {
      colorProfile = "embedded";  // compressed: the description is not read
    } else if (type == FourCC("sRGB") && colorProfile.empty()) {
      colorProfile = "sRGB IEC61966-2.1";
    } else if (type == FourCC("tEXt") || type == FourCC("iTXt")) {
      const bool international = type == FourCC("iTXt");
      const std::string text = r.Text(data, std::min<std::uint32_t>(length, 64 + kMaxText));
      std::string value;
      if (software.empty() && TextValue(text, international, "Software", value)) {
        software = value.substr(0, kMaxText);
      } else if (international && text.compare(0, 18, std::string("XML:com.adobe.xmp\0", 18)) == 0) {
        xmp = true;
      }
    } else if (type == FourCC("eXIf") && !exif) {
      exif = true;
      SliceSource block(source, data, length);
      orientation = tiff::ReadExifSummary(block).orientation;
    } else if (type == FourCC("acTL") && length >= 8) {
      iApng = true;
      iFrameCount = r.U32BE(data);
    } else if (type == FourCC("fcTL")) {
      iMainIsFrame = true;
    }
    pos = data + length + 4;
  }
  if (r.Failed()) return false;
  iNext = pos;

  if (iTransparency && (colour == 0 || colour == 2 || colour == 3)) {
    d.alphaPlane = PXC_AP_TRANSPARENT_INDEX;  // palette alpha or a colour key
  }
  d.rotation = tiff::RotationFromOrientation(orientation);
  if (iApng) d.format = "APNG";
  d.extended.emplace_back("Compression", "Deflate");
  d.extended.emplace_back("BitsPerSample", std::to_string(depth));
  if (!colorProfile.empty()) d.extended.emplace_back("ColorProfile", colorProfile);
  if (exif) d.extended.emplace_back("Exif", "yes");
  if (xmp) d.extended.emplace_back("XMP", "yes");
  if (!software.empty()) d.extended.emplace_back("Software", software);
  if (iApng) d.extended.emplace_back("Frames", std::to_string(iFrameCount));
  if (interlace == 1) d.extended.emplace_back("Interlace", "Adam7");
  if (std::string name = tiff::OrientationName(orientation); !name.empty()) {
    d.extended.emplace_back("Orientation", name);
  }
  return true;
}

bool PngReader::NextFrame() {
  // Frames after the IHDR image: all of acTL's when IDAT is not one of them.
  const std::uint64_t further = iMainIsFrame && iFrameCount > 0 ? iFrameCount - 1 : iFrameCount;
  if (!iApng || iDone || iFrames.size() >= std::min<std::uint64_t>(further, kMaxFrames)) {
    iDone = true;
    return false;
  }
  ByteReader r(*iSource);
  while (true) {
    const std::uint64_t pos = iNext;
    if (pos > r.Size() || r.Size() - pos < 12) break;
    const std::uint32_t length = r.U32BE(pos);
    const std::uint32_t type = r.U32BE(pos + 4);
    if (length > kMaxChunkLength || length > r.Size() - pos - 8 || type == FourCC("IEND")) break;
    iNext = pos + 12 + length;
    if (type == FourCC("fcTL") && length >= 26) {
      iFrames.push_back({r.U32BE(pos + 12), r.U32BE(pos + 16)});
      return !r.Failed();
    }
  }
  iDone = true;
  return false;
}

bool PngReader::Describe(std::uint32_t index, ImageDescription& out) {
  if (!iSource) return false;
  if (index == 0) {
    out = iMain;
    return true;
  }
  while (index > iFrames.size() && NextFrame()) {
  }
  if (index > iFrames.size()) return false;
  const Frame& frame = iFrames[index - 1];
  out = ImageDescription{};
  out.type = PXC_IT_PAGE;
  out.columns = frame.columns;
  out.rows = frame.rows;
  out.channelEncoding = iMain.channelEncoding;
  out.alphaPlane = iMain.alphaPlane;
  out.inks = iMain.inks;
  out.rotation = iMain.rotation;
  if (iMain.units == PXC_MU_INCH) {
    SetResolution(out, iMain.hResolution, iMain.vResolution, 1.0);
  }
  for (const auto& [key, value] : iMain.extended) {
    if (key == "Compression" || key == "BitsPerSample") out.extended.emplace_back(key, value);
  }
  return true;
}

std::unique_ptr<FormatReader> MakePngReader() { return std::make_unique<PngReader>(); }
IMR_READER(PNG, MakePngReader);

}  // namespace imr::formats
