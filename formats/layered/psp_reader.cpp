// Paint Shop Pro: the general image attributes block that opens the file
// (size, resolution and its unit, bit depth, layers).  Files of Paint Shop
// Pro 5 (major version 3) have block headers with an initial data length
// and no chunk length in the block.
#include <cstring>

#include "formats/common/byte_reader.h"
#include "formats/common/reader_registry.h"
#include "formats/layered/psp_reader.h"

namespace imr::formats {
namespace {

constexpr char kSignature[] = "Paint Shop Pro Image File\n\x1A";
constexpr std::uint64_t kHeaderSize = 36;
constexpr std::uint32_t kAlphaChannels = 0x10;  // a graphic contents flag

class PspReader : public PreparedReader {
 public:
  bool Open(const ByteSource& source) override {
    iImages.clear();
    ByteReader r(source, true);
    if (r.Text(0, sizeof kSignature - 1) != kSignature) return false;
    const std::uint16_t major = r.U16(32), minor = r.U16(34);
    const bool old = major < 4;
    std::uint64_t at = kHeaderSize;
    if (r.Text(at, 4) != std::string("~BK\0", 4) || r.U16(at + 4) != 0) {
      return Refuse("the first block is not the general image attributes block");
    }
    const std::uint64_t total = r.U32(at + (old ? 10 : 6));
    at += old ? 14 : 10;
    if (!old) at += 4;  // the chunk's own length
    const std::uint32_t width = r.U32(at), height = r.U32(at + 4);
    std::uint64_t resolutionBits = r.U64(at + 8);
    const std::uint8_t metric = r.U8(at + 16);
    const std::uint16_t compression = r.U16(at + 17), depth = r.U16(at + 19);
    const std::uint8_t greyscale = r.U8(at + 27);
    const std::uint16_t layers = r.U16(at + 36);
    const std::uint32_t contents = old ? 0 : r.U32(at + 38);
    if (r.Failed() || total < 38) return Refuse("the general image attributes block is cut short");
    if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF) {
      return Refuse("the image size " + std::to_string(width) + " x " + std::to_string(height) + " is out of range");
    }
    if (depth != 1 && depth != 4 && depth != 8 && depth != 24 && depth != 48) {
      return Refuse("bit depth " + std::to_string(depth) + " is not valid");
    }
    ImageDescription d;
    d.version = std::to_string(major) + "." + std::to_string(minor);
    d.columns = width;
    d.rows = height;
    d.channelEncoding = depth >= 24 ? PXC_CE_RGB : greyscale ? PXC_CE_GRAY : PXC_CE_INDEXED;
    d.inks = depth >= 24 ? 3 : 1;
    if (contents & kAlphaChannels) d.alphaPlane = PXC_AP_UNSPECIFIED;
    double resolution = 0;
    static_assert(sizeof resolution == sizeof resolutionBits);
    std::memcpy(&resolution, &resolutionBits, sizeof resolution);
    if (metric == 1 || metric == 2) SetResolution(d, resolution, resolution, metric == 2 ? 2.54 : 1.0);
    static const char* const kCompressions[] = {"None", "RLE", "LZ77", "JPEG"};
    if (compression < 4) d.extended.emplace_back("Compression", kCompressions[compression]);
    d.extended.emplace_back("BitsPerSample", std::to_string(depth >= 24 ? depth / 3 : depth));
    d.extended.emplace_back("Layers", std::to_string(layers));
    iImages.push_back(d);
    return true;
  }
};

}  // namespace

std::unique_ptr<FormatReader> MakePspReader() { return std::make_unique<PspReader>(); }
IMR_READER(PSP, MakePspReader);

}  // namespace imr::formats
