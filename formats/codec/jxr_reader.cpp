// JPEG XR (HD Photo): a TIFF-like directory whose tags give the size, the
// pixel format as a GUID (channels, bits, alpha), the resolution in dots per
// inch and the metadata blocks.
#include <cstring>
#include <optional>

#include "formats/codec/codec_readers.h"
#include "formats/common/reader_registry.h"
#include "formats/common/tiff_structure.h"

namespace imr::formats {
namespace {

enum : std::uint16_t {
  kPixelFormat = 0xBC01,
  kImageWidth = 0xBC80,
  kImageHeight = 0xBC81,
  kWidthResolution = 0xBC82,
  kHeightResolution = 0xBC83,
  kAlphaOffset = 0xBCC2,
  kIccProfile = 0x8773,
  kXmp = 0x02BC,
  kExif = 0x8769,
};

// Pixel format GUIDs share their first 15 bytes; the last tells them apart.
constexpr std::uint8_t kGuidStem[15] = {0x24, 0xC3, 0xDD, 0x6F, 0x03, 0x4E, 0xFE, 0x4B,
                                        0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9};

struct PixelFormat {
  PXC_TChannelEnc encoding = PXC_CE_UNKNOWN;
  std::uint16_t inks = 0;
  std::uint8_t bits = 0;
  PXC_TAlphaPlane alpha = PXC_AP_NONE;
};

std::optional<PixelFormat> FindPixelFormat(std::uint8_t id) {
  constexpr auto A = PXC_AP_UNASSOCIATED, P = PXC_AP_ASSOCIATED, N = PXC_AP_NONE;
  struct Row {
    std::uint8_t id;
    PixelFormat format;
  };
  static const Row kRows[] = {
      {0x05, {PXC_CE_BILEVEL, 1, 1, N}}, {0x08, {PXC_CE_GRAY, 1, 8, N}},   {0x0B, {PXC_CE_GRAY, 1, 16, N}},
      {0x13, {PXC_CE_GRAY, 1, 16, N}},   {0x3E, {PXC_CE_GRAY, 1, 16, N}},  {0x3F, {PXC_CE_GRAY, 1, 32, N}},
      {0x11, {PXC_CE_GRAY, 1, 32, N}},   {0x09, {PXC_CE_RGB, 3, 5, N}},    {0x0A, {PXC_CE_RGB, 3, 5, N}},
      {0x0C, {PXC_CE_RGB, 3, 8, N}},     {0x0D, {PXC_CE_RGB, 3, 8, N}},    {0x0E, {PXC_CE_RGB, 3, 8, N}},
      {0x14, {PXC_CE_RGB, 3, 10, N}},    {0x15, {PXC_CE_RGB, 3, 16, N}},   {0x12, {PXC_CE_RGB, 3, 16, N}},
      {0x3B, {PXC_CE_RGB, 3, 16, N}},    {0x40, {PXC_CE_RGB, 3, 16, N}},   {0x42, {PXC_CE_RGB, 3, 16, N}},
      {0x18, {PXC_CE_RGB, 3, 32, N}},    {0x1B, {PXC_CE_RGB, 3, 32, N}},   {0x41, {PXC_CE_RGB, 3, 32, N}},
      {0x3D, {PXC_CE_RGB, 3, 8, N}},     {0x0F, {PXC_CE_RGB, 3, 8, A}},    {0x10, {PXC_CE_RGB, 3, 8, P}},
      {0x16, {PXC_CE_RGB, 3, 16, A}},    {0x17, {PXC_CE_RGB, 3, 16, P}},   {0x1D, {PXC_CE_RGB, 3, 16, A}},
      {0x3A, {PXC_CE_RGB, 3, 16, A}},    {0x19, {PXC_CE_RGB, 3, 32, A}},   {0x1A, {PXC_CE_RGB, 3, 32, P}},
      {0x1E, {PXC_CE_RGB, 3, 32, A}},    {0x1C, {PXC_CE_CMYK, 4, 8, N}},   {0x1F, {PXC_CE_CMYK, 4, 16, N}},
      {0x2C, {PXC_CE_CMYK, 4, 8, A}},    {0x2D, {PXC_CE_CMYK, 4, 16, A}},
  };
  for (const Row& row : kRows) {
    if (row.id == id) return row.format;
  }
  // 3 to 8 channels of 8 or 16 bits, with or without alpha.
  const auto channels = [](std::uint8_t first, std::uint8_t id) { return static_cast<std::uint16_t>(id - first + 3); };
  if (id >= 0x20 && id <= 0x25) return PixelFormat{PXC_CE_MULTICHANNEL, channels(0x20, id), 8, N};
  if (id >= 0x26 && id <= 0x2B) return PixelFormat{PXC_CE_MULTICHANNEL, channels(0x26, id), 16, N};
  if (id >= 0x2E && id <= 0x33) return PixelFormat{PXC_CE_MULTICHANNEL, channels(0x2E, id), 8, A};
  if (id >= 0x34 && id <= 0x39) return PixelFormat{PXC_CE_MULTICHANNEL, channels(0x34, id), 16, A};
  return std::nullopt;
}

class JxrReader : public PreparedReader {
 public:
  bool Open(const ByteSource& source) override {
    iImages.clear();
    tiff::Structure t(source);
    if (!t.ReadJpegXrHeader()) {
      std::uint8_t magic[4] = {};
      return source.Read(0, magic, 4) == 4 && std::memcmp(magic, "II\xBC", 3) == 0
                 ? Refuse("the header's version or directory offset is not valid")
                 : false;
    }
    tiff::Ifd ifd;
    if (!t.ReadIfd(t.FirstIfd(), ifd)) return Refuse("the first directory cannot be read");
    const std::optional<std::uint64_t> width = t.UInt(ifd, kImageWidth), height = t.UInt(ifd, kImageHeight);
    if (!width || !height || *width == 0 || *height == 0 || *width > 0xFFFFFFFF || *height > 0xFFFFFFFF) {
      return Refuse("the image size tags are missing or out of range");
    }
    const tiff::Entry* guid = ifd.Find(kPixelFormat);
    const std::string bytes = guid ? t.Raw(*guid, 16) : std::string();
    if (bytes.size() != 16 || std::memcmp(bytes.data(), kGuidStem, sizeof kGuidStem) != 0) {
      return Refuse("the pixel format is missing or not a JPEG XR one");
    }
    const std::uint8_t id = static_cast<std::uint8_t>(bytes[15]);
    const std::optional<PixelFormat> format = FindPixelFormat(id);
    if (!format) return Refuse("pixel format " + std::to_string(id) + " is not known");

    ImageDescription d;
    d.columns = static_cast<std::uint32_t>(*width);
    d.rows = static_cast<std::uint32_t>(*height);
    d.channelEncoding = format->encoding;
    d.inks = format->inks;
    // Planar alpha (a second codestream) or interleaved alpha of the format.
    d.alphaPlane = format->alpha == PXC_AP_NONE && ifd.Find(kAlphaOffset) ? PXC_AP_UNASSOCIATED : format->alpha;
    SetResolution(d, t.Real(ifd, kWidthResolution).value_or(0), t.Real(ifd, kHeightResolution).value_or(0));
    d.extended.emplace_back("Compression", "JPEG XR");
    d.extended.emplace_back("BitsPerSample", std::to_string(format->bits));
    if (ifd.Find(kIccProfile)) d.extended.emplace_back("ColorProfile", "embedded");
    if (ifd.Find(kExif)) d.extended.emplace_back("Exif", "yes");
    if (ifd.Find(kXmp)) d.extended.emplace_back("XMP", "yes");
    iImages.push_back(d);
    return true;
  }
};

}  // namespace

std::unique_ptr<FormatReader> MakeJxrReader() { return std::make_unique<JxrReader>(); }
IMR_READER(JXR, MakeJxrReader);

}  // namespace imr::formats
