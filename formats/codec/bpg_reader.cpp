// BPG: the fixed header bytes (pixel format, alpha, bit depth, colour
// space, animation) and the picture size as 7-bit variable-length numbers.
#include "formats/codec/codec_readers.h"
#include "formats/codec/ue7.h"
#include "formats/common/byte_reader.h"
#include "formats/common/reader_registry.h"

namespace imr::formats {
namespace {

class BpgReader : public PreparedReader {
 public:
  bool Open(const ByteSource& source) override {
    iImages.clear();
    ByteReader r(source);
    if (r.U32BE(0) != FourCC("BPG\xFB")) return false;
    const std::uint8_t a = r.U8(4), b = r.U8(5);
    const unsigned pixelFormat = a >> 5, depth = (a & 0x0F) + 8, colourSpace = b >> 4;
    const bool alpha1 = a & 0x10, alpha2 = b & 0x04, animated = b & 0x01;
    std::uint64_t at = 6, width = 0, height = 0;
    if (!ReadUe7(r, at, width) || !ReadUe7(r, at, height)) return Refuse("the file ends inside the picture size");
    if (width > 0xFFFFFFFF || height > 0xFFFFFFFF) return Refuse("the picture size is out of range");
    if (pixelFormat > 5) return Refuse("pixel format " + std::to_string(pixelFormat) + " is not defined");
    if (depth > 14) return Refuse("bit depth " + std::to_string(depth) + " is out of range");
    if (colourSpace > 5) return Refuse("colour space " + std::to_string(colourSpace) + " is not defined");
    ImageDescription d;
    d.columns = static_cast<std::uint32_t>(width);
    d.rows = static_cast<std::uint32_t>(height);
    // A fourth plane without alpha1 is CMYK's black.
    const bool cmyk = !alpha1 && alpha2;
    if (cmyk) {
      d.channelEncoding = PXC_CE_CMYK;
      d.inks = 4;
    } else if (pixelFormat == 0) {
      d.channelEncoding = PXC_CE_GRAY;
      d.inks = 1;
    } else {
      d.channelEncoding = colourSpace == 1 ? PXC_CE_RGB : PXC_CE_YCBCR;
      d.inks = 3;
    }
    if (alpha1) d.alphaPlane = alpha2 ? PXC_AP_ASSOCIATED : PXC_AP_UNASSOCIATED;
    static const char* const kSubsampling[] = {"gray", "4:2:0", "4:2:2", "4:4:4", "4:2:0 video", "4:2:2 video"};
    static const char* const kSpaces[] = {"YCbCr BT.601", "RGB", "YCgCo", "YCbCr BT.709", "YCbCr BT.2020",
                                          "YCbCr BT.2020 constant luminance"};
    d.extended.emplace_back("Compression", "HEVC");
    d.extended.emplace_back("BitsPerSample", std::to_string(depth));
    d.extended.emplace_back("Subsampling", kSubsampling[pixelFormat]);
    d.extended.emplace_back("ColorSpace", kSpaces[colourSpace]);
    if (animated) d.extended.emplace_back("Animation", "yes");
    iImages.push_back(d);
    return true;
  }
};

}  // namespace

std::unique_ptr<FormatReader> MakeBpgReader() { return std::make_unique<BpgReader>(); }
IMR_READER(BPG, MakeBpgReader);

}  // namespace imr::formats
