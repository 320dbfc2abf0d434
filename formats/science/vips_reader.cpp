// The VIPS image format (.v): a 64-byte header in either byte order, the
// magic telling which, then the pixels and an XML extension.  The
// interpretation names the colour space; bands past its colours are alpha.
// Resolutions are in pixels per millimetre.
#include <algorithm>
#include <bit>
#include <string>

#include "formats/common/byte_reader.h"
#include "formats/common/reader_registry.h"
#include "formats/science/science_reader.h"

namespace imr::formats {
namespace {

constexpr std::uint32_t kMagic = 0x08F2A6B6;
constexpr std::uint32_t kMaxBands = 65535;

struct BandFormat {
  const char* name;
  int bits;
  const char* sampleFormat;
};
constexpr BandFormat kBandFormats[] = {
    {"uchar", 8, "unsigned integer"}, {"char", 8, "signed integer"},   {"ushort", 16, "unsigned integer"},
    {"short", 16, "signed integer"},  {"uint", 32, "unsigned integer"}, {"int", 32, "signed integer"},
    {"float", 32, "float"},           {"complex", 64, "complex"},       {"double", 64, "float"},
    {"dpcomplex", 128, "complex"},
};

struct Interpretation {
  const char* name;
  PXC_TChannelEnc encoding;  // unknown: decided by the number of bands
  std::uint16_t colours;
};

Interpretation InterpretationOf(std::int32_t type) {
  switch (type) {
    case 0: return {"multiband", PXC_CE_UNKNOWN, 0};
    case 1: return {"b-w", PXC_CE_GRAY, 1};
    case 10: return {"histogram", PXC_CE_UNKNOWN, 0};
    case 12: return {"xyz", PXC_CE_XYZ, 3};
    case 13: return {"lab", PXC_CE_LAB, 3};
    case 15: return {"cmyk", PXC_CE_CMYK, 4};
    case 16: return {"labq", PXC_CE_LAB, 3};
    case 17: return {"rgb", PXC_CE_RGB, 3};
    case 18: return {"cmc", PXC_CE_UNKNOWN, 3};
    case 19: return {"lch", PXC_CE_UNKNOWN, 3};
    case 21: return {"labs", PXC_CE_LAB, 3};
    case 22: return {"srgb", PXC_CE_RGB, 3};
    case 23: return {"yxy", PXC_CE_UNKNOWN, 3};
    case 24: return {"fourier", PXC_CE_UNKNOWN, 0};
    case 25: return {"rgb16", PXC_CE_RGB, 3};
    case 26: return {"grey16", PXC_CE_GRAY, 1};
    case 27: return {"matrix", PXC_CE_UNKNOWN, 0};
    case 28: return {"scrgb", PXC_CE_RGB, 3};
    case 29: return {"hsv", PXC_CE_UNKNOWN, 3};
    default: return {nullptr, PXC_CE_UNKNOWN, 0};
  }
}

class VipsReader : public PreparedReader {
 public:
  bool Open(const ByteSource& source) override {
    iImages.clear();
    ByteReader r(source);
    const std::uint32_t magic = r.U32BE(0);
    if (magic != kMagic && magic != __builtin_bswap32(kMagic)) return false;
    r.SetLittleEndian(magic != kMagic);
    const auto signedAt = [&](std::uint64_t at) { return static_cast<std::int32_t>(r.U32(at)); };
    const std::int32_t width = signedAt(4), height = signedAt(8), bands = signedAt(12);
    const std::int32_t format = signedAt(20), coding = signedAt(24), type = signedAt(28);
    const float xres = std::bit_cast<float>(r.U32(32)), yres = std::bit_cast<float>(r.U32(36));
    if (r.Failed()) return Refuse("the file ends inside the 64-byte header");
    if (width <= 0 || height <= 0) {
      return Refuse("the image size " + std::to_string(width) + " x " + std::to_string(height) + " is out of range");
    }
    if (bands <= 0 || bands > static_cast<std::int32_t>(kMaxBands)) {
      return Refuse("the header gives " + std::to_string(bands) + " bands");
    }
    if (format < 0 || format >= static_cast<std::int32_t>(std::size(kBandFormats))) {
      return Refuse("the band format " + std::to_string(format) + " is not known");
    }
    if (coding != 0 && coding != 2 && coding != 6) return Refuse("the coding " + std::to_string(coding) + " is not known");

    ImageDescription d;
    d.columns = static_cast<std::uint32_t>(width);
    d.rows = static_cast<std::uint32_t>(height);
    const Interpretation interpretation = InterpretationOf(type);
    const auto count = static_cast<std::uint16_t>(bands);
    if (coding == 2) {  // LABQ: Lab packed into four bytes
      d.channelEncoding = PXC_CE_LAB;
      d.inks = 3;
    } else if (coding == 6) {  // RAD: Radiance's RGBE in four bytes
      d.channelEncoding = PXC_CE_RGB;
      d.inks = 3;
    } else if (interpretation.colours > 0) {
      d.channelEncoding = interpretation.encoding;
      d.inks = std::min(interpretation.colours, count);
      if (count > interpretation.colours) d.alphaPlane = PXC_AP_UNASSOCIATED;
    } else {  // no colour space stated: grey with alpha, or colour with alpha, or bands
      d.channelEncoding = count <= 2 ? PXC_CE_GRAY : count <= 4 ? PXC_CE_RGB : PXC_CE_MULTICHANNEL;
      d.inks = count <= 2 ? 1 : count <= 4 ? 3 : count;
      if (count == 2 || count == 4) d.alphaPlane = PXC_AP_UNASSOCIATED;
    }
    SetResolution(d, xres, yres, 25.4);

    const BandFormat& band = kBandFormats[format];
    static const char* const kCodings[] = {"None", "", "LABQ", "", "", "", "RAD"};
    d.extended.emplace_back("Compression", kCodings[coding]);
    d.extended.emplace_back("BitsPerSample", std::to_string(band.bits));
    d.extended.emplace_back("SampleFormat", band.sampleFormat);
    d.extended.emplace_back("BandFormat", band.name);
    d.extended.emplace_back("Bands", std::to_string(bands));
    if (interpretation.name != nullptr) d.extended.emplace_back("Interpretation", interpretation.name);
    d.extended.emplace_back("ByteOrder", r.LittleEndian() ? "little-endian" : "big-endian");
    iImages.push_back(d);
    return true;
  }
};

}  // namespace

std::unique_ptr<FormatReader> MakeVipsReader() { return std::make_unique<VipsReader>(); }
IMR_READER(VIPS, MakeVipsReader);

}  // namespace imr::formats
