// The Quite OK Image format: a 14-byte header.
#include <string>

#include "formats/common/byte_reader.h"
#include "formats/common/reader_registry.h"
#include "formats/raster/raster_reader.h"

namespace imr::formats {

namespace {

// Decoders refuse images of more pixels than this.
constexpr std::uint64_t kMaxPixels = 400000000;

class QoiReader : public FormatReader {
 public:
  bool Open(const ByteSource& source) override {
    iOpen = false;
    ByteReader r(source, false);
    if (r.Text(0, 4) != "qoif") return false;
    iWidth = r.U32(4);
    iHeight = r.U32(8);
    iChannels = r.U8(12);
    iColourSpace = r.U8(13);
    if (r.Failed()) return Refuse("the header is cut short");
    if (iWidth == 0 || iHeight == 0) return Refuse("the width or height is 0");
    if (std::uint64_t{iWidth} * iHeight > kMaxPixels) return Refuse("more pixels than decoders accept");
    if (iChannels != 3 && iChannels != 4) return Refuse(std::to_string(iChannels) + " channels");
    if (iColourSpace > 1) return Refuse("an unknown colour space " + std::to_string(iColourSpace));
    iOpen = true;
    return true;
  }

  bool Describe(std::uint32_t index, ImageDescription& out) override {
    if (!iOpen || index != 0) return false;
    out = ImageDescription{};
    out.columns = iWidth;
    out.rows = iHeight;
    out.channelEncoding = PXC_CE_RGB;
    out.inks = 3;
    if (iChannels == 4) out.alphaPlane = PXC_AP_UNASSOCIATED;
    out.extended.emplace_back("Compression", "QOI");
    out.extended.emplace_back("BitsPerSample", "8");
    // 0: sRGB colour with linear alpha; 1: every channel linear.
    out.extended.emplace_back("ColorSpace", iColourSpace == 0 ? "sRGB" : "linear");
    return true;
  }

 private:
  bool iOpen = false;
  std::uint32_t iWidth = 0, iHeight = 0;
  std::uint8_t iChannels = 0, iColourSpace = 0;
};

}  // namespace

std::unique_ptr<FormatReader> MakeQoiReader() { return std::make_unique<QoiReader>(); }
IMR_READER(QOI, MakeQoiReader);

}  // namespace imr::formats
