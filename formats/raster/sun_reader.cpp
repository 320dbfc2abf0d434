// Sun raster files: a 32-byte big-endian header (width, height, depth,
// length, type, colour map type and length), the colour map, the pixels.
#include <string>

#include "formats/common/byte_reader.h"
#include "formats/common/reader_registry.h"
#include "formats/raster/raster_reader.h"

namespace imr::formats {

namespace {

constexpr std::uint32_t kMagic = 0x59A66A95;
constexpr std::uint64_t kHeaderSize = 32;

// Raster types: old and standard (BGR), byte-encoded (run lengths), RGB
// order; the TIFF and IFF conversions hold data in those formats.
enum : std::uint32_t { kOld = 0, kStandard = 1, kByteEncoded = 2, kRgb = 3, kTiff = 4, kIff = 5 };
// Colour map types.
enum : std::uint32_t { kNoMap = 0, kEqualRgb = 1, kRawMap = 2 };

class SunReader : public PreparedReader {
 public:
  bool Open(const ByteSource& source) override {
    iImages.clear();
    ByteReader r(source, false);
    if (r.U32(0) != kMagic || r.Failed()) return false;
    const std::uint32_t width = r.U32(4), height = r.U32(8), depth = r.U32(12);
    const std::uint32_t type = r.U32(20), mapType = r.U32(24), mapLength = r.U32(28);
    if (r.Failed()) return Refuse("the header is cut short");
    if (width == 0 || height == 0) return Refuse("the width or height is 0");
    if (depth != 1 && depth != 8 && depth != 24 && depth != 32) {
      return Refuse("a depth of " + std::to_string(depth) + " bits per pixel");
    }
    if (type == kTiff || type == kIff) return Refuse("the pixels are held in TIFF or IFF form");
    if (type > kRgb) return Refuse("an unknown raster type " + std::to_string(type));
    if (mapType > kRawMap) return Refuse("an unknown colour map type " + std::to_string(mapType));
    if (mapLength > r.Size() - kHeaderSize) return Refuse("the colour map runs past the end of the file");

    ImageDescription out;
    out.columns = width;
    out.rows = height;
    out.inks = 1;
    if (depth == 1 && mapType == kNoMap) {
      out.channelEncoding = PXC_CE_BILEVEL;
    } else if (depth <= 8) {
      out.channelEncoding = mapType != kNoMap && mapLength > 0 ? PXC_CE_INDEXED : PXC_CE_GRAY;
    } else {
      out.channelEncoding = PXC_CE_RGB;
      out.inks = 3;
      // The fourth byte of a 32-bit pixel carries the alpha of the writers
      // that use it (ImageMagick reads it as alpha).
      if (depth == 32) out.alphaPlane = PXC_AP_UNASSOCIATED;
    }
    out.extended.emplace_back("Compression", type == kByteEncoded ? "RLE" : "None");
    out.extended.emplace_back("BitsPerSample", depth == 1 ? "1" : "8");
    if (depth > 8) out.extended.emplace_back("PixelOrder", type == kRgb ? "RGB" : "BGR");
    iImages.push_back(std::move(out));
    return true;
  }
};

}  // namespace

std::unique_ptr<FormatReader> MakeSunReader() { return std::make_unique<SunReader>(); }
IMR_READER(SUNRAS, MakeSunReader);

}  // namespace imr::formats
