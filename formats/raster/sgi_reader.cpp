// SGI image files (.sgi, .rgb, .bw): a 512-byte big-endian header.
#include <string>

#include "formats/common/byte_reader.h"
#include "formats/common/reader_registry.h"
#include "formats/raster/raster_reader.h"

namespace imr::formats {

namespace {

constexpr std::uint16_t kMagic = 474;

class SgiReader : public FormatReader {
 public:
  bool Open(const ByteSource& source) override {
    iSource = nullptr;
    ByteReader r(source, false);
    const std::uint16_t magic = r.U16(0);
    iStorage = r.U8(2);
    iBytesPerChannel = r.U8(3);
    const std::uint16_t dimension = r.U16(4);
    iWidth = r.U16(6);
    iHeight = r.U16(8);
    iChannels = r.U16(10);
    iColormap = r.U32(104);
    if (r.Failed() && magic == kMagic) return Refuse("the header is cut short");
    if (r.Failed() || magic != kMagic) return false;
    if (iStorage > 1) return Refuse("an unknown storage " + std::to_string(iStorage));
    if (iBytesPerChannel != 1 && iBytesPerChannel != 2) {
      return Refuse(std::to_string(iBytesPerChannel) + " bytes per channel");
    }
    if (dimension < 1 || dimension > 3) return Refuse(std::to_string(dimension) + " dimensions");
    if (iColormap > 3) return Refuse("an unknown colour map kind " + std::to_string(iColormap));
    // Fewer dimensions leave the later sizes unused.
    if (dimension == 1) iHeight = 1;
    if (dimension < 3) iChannels = 1;
    if (iWidth == 0 || iHeight == 0 || iChannels == 0) return Refuse("the width, height or channel count is 0");
    iName = r.Text(24, 80);
    iName.resize(iName.find('\0') == std::string::npos ? iName.size() : iName.find('\0'));
    iSource = &source;
    return true;
  }

  bool Describe(std::uint32_t index, ImageDescription& out) override {
    if (!iSource || index != 0) return false;
    out = ImageDescription{};
    out.columns = iWidth;
    out.rows = iHeight;
    if (iColormap == 2) {
      out.channelEncoding = PXC_CE_INDEXED;  // screen image: indices into a colour map
      out.inks = 1;
    } else if (iColormap == 1 || iChannels >= 3) {
      out.channelEncoding = PXC_CE_RGB;  // dithered images pack 3-3-2 RGB in one byte
      out.inks = 3;
      if (iChannels >= 4) out.alphaPlane = PXC_AP_UNASSOCIATED;
    } else {
      out.channelEncoding = PXC_CE_GRAY;
      out.inks = 1;
      if (iChannels == 2) out.alphaPlane = PXC_AP_UNASSOCIATED;
    }
    out.extended.emplace_back("Compression", iStorage == 1 ? "RLE" : "None");
    out.extended.emplace_back("BitsPerSample", std::to_string(8 * iBytesPerChannel));
    if (!iName.empty() && iName != "no name") out.extended.emplace_back("Name", iName);
    return true;
  }

 private:
  const ByteSource* iSource = nullptr;
  std::uint8_t iStorage = 0;
  std::uint8_t iBytesPerChannel = 0;
  std::uint16_t iWidth = 0, iHeight = 0, iChannels = 0;
  std::uint32_t iColormap = 0;
  std::string iName;
};

}  // namespace

std::unique_ptr<FormatReader> MakeSgiReader() { return std::make_unique<SgiReader>(); }
IMR_READER(SGI, MakeSgiReader);

}  // namespace imr::formats
