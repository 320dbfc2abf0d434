// Truevision TGA.  The format has no leading magic, so the header is checked
// field by field; a TGA 2.0 footer, when present, leads to the extension
// area (software, alpha kind) and the postage stamp, a small copy of the
// image in the same pixel format reported as the thumbnail.
#include <string>

#include "formats/common/byte_reader.h"
#include "formats/common/reader_registry.h"
#include "formats/raster/raster_reader.h"

namespace imr::formats {

namespace {

constexpr std::uint64_t kHeaderSize = 18;
constexpr std::uint64_t kFooterSize = 26;
constexpr std::uint64_t kExtensionSize = 495;
constexpr char kFooterSignature[] = "TRUEVISION-XFILE.";

class TgaReader : public FormatReader {
 public:
  bool Open(const ByteSource& source) override {
    *this = TgaReader{};
    iSource = &source;
    ByteReader r(source, true);
    const std::uint8_t idLength = r.U8(0);
    const std::uint8_t mapType = r.U8(1);
    iImageType = r.U8(2);
    const std::uint16_t mapFirst = r.U16(3);
    const std::uint16_t mapLength = r.U16(5);
    const std::uint8_t mapDepth = r.U8(7);
    iWidth = r.U16(12);
    iHeight = r.U16(14);
    iDepth = r.U8(16);
    const std::uint8_t descriptor = r.U8(17);
    if (r.Failed()) return Refuse("the header is cut short");
    iAlphaBits = descriptor & 0x0F;

    const std::uint8_t base = iImageType & 0x07;  // 9..11 are RLE of 1..3
    if ((iImageType != base && iImageType != base + 8) || base < 1 || base > 3) {
      return Refuse("an unknown image type " + std::to_string(iImageType));
    }
    if (mapType > 1) return Refuse("an unknown colour map type " + std::to_string(mapType));
    if (iWidth == 0 || iHeight == 0) return Refuse("the width or height is 0");
    if ((descriptor & 0xC0) != 0) return Refuse("interleaved rows");
    if (mapType == 1) {
      if (mapLength == 0 || std::uint32_t{mapFirst} + mapLength > 65536) return Refuse("a colour map of no or too many entries");
      if (mapDepth != 15 && mapDepth != 16 && mapDepth != 24 && mapDepth != 32) {
        return Refuse("colour map entries of " + std::to_string(mapDepth) + " bits");
      }
    } else if (mapFirst != 0 || mapLength != 0 || base == 1) {
      return Refuse(base == 1 ? "a colour-mapped image without a colour map" : "colour map fields without a colour map");
    }
    const bool depthFits = base == 2 ? iDepth == 15 || iDepth == 16 || iDepth == 24 || iDepth == 32
                                     : iDepth == 8 || iDepth == 16;
    if (!depthFits) return Refuse(std::to_string(iDepth) + " bits per pixel for image type " + std::to_string(iImageType));
    if (iAlphaBits > 8 || iAlphaBits >= iDepth) return Refuse(std::to_string(iAlphaBits) + " alpha bits");

    const std::uint64_t mapBytes = mapType == 1 ? std::uint64_t{mapLength} * ((mapDepth + 7) / 8) : 0;
    const std::uint64_t dataStart = kHeaderSize + idLength + mapBytes;
    const std::uint64_t size = r.Size();
    if (dataStart >= size) return Refuse("no pixel data follows the header");
    if (iImageType == base) {
      // Uncompressed pixels must all be there: a cheap check against files
      // that merely look like a TGA header.
      const std::uint64_t pixelBytes = std::uint64_t{iWidth} * iHeight * ((iDepth + 7) / 8);
      if (pixelBytes > size - dataStart) return Refuse("the pixel data is cut short");
    }
    ReadFooter(r);
    return true;
  }

  bool Describe(std::uint32_t index, ImageDescription& out) override {
    if (!iSource) return false;
    if (index == 0) {
      out = ImageDescription{};
      out.type = PXC_IT_MAIN;
      out.columns = iWidth;
      out.rows = iHeight;
      DescribePixels(out);
      if (!iSoftware.empty()) out.extended.emplace_back("Software", iSoftware);
      return true;
    }
    if (index == 1 && iStampWidth > 0) {
      out = ImageDescription{};
      out.type = PXC_IT_THUMBNAIL;
      out.columns = iStampWidth;
      out.rows = iStampHeight;
      DescribePixels(out);
      return true;
    }
    return false;
  }

 private:
  void ReadFooter(ByteReader& reader) {
    ByteReader r(reader);
    const std::uint64_t size = r.Size();
    if (size < kHeaderSize + kFooterSize) return;
    const std::uint64_t footer = size - kFooterSize;
    if (r.Text(footer + 8, 18) != std::string(kFooterSignature, sizeof kFooterSignature)) return;
    iVersion2 = true;
    const std::uint64_t extension = r.U32(footer);
    if (extension < kHeaderSize || extension > footer || footer - extension < kExtensionSize ||
        r.U16(extension) != kExtensionSize) {
      return;
    }
    std::string software = r.Text(extension + 426, 41);
    software.resize(software.find('\0') == std::string::npos ? software.size() : software.find('\0'));
    while (!software.empty() && software.back() == ' ') software.pop_back();
    const std::uint16_t version = r.U16(extension + 467);
    const char letter = static_cast<char>(r.U8(extension + 469));
    if (!software.empty() && version != 0) {
      software += ' ' + std::to_string(version / 100) + '.' + (version % 100 < 10 ? "0" : "") +
                  std::to_string(version % 100);
      if (letter > ' ' && letter < 0x7F) software += letter;
    }
    iSoftware = software;
    iAttributes = r.U8(extension + 494);
    const std::uint64_t stamp = r.U32(extension + 486);
    if (!r.Failed() && stamp >= kHeaderSize && stamp + 2 <= footer) {
      iStampWidth = r.U8(stamp);
      iStampHeight = r.U8(stamp + 1);
      if (iStampWidth == 0 || iStampHeight == 0) iStampWidth = iStampHeight = 0;
    }
  }

  void DescribePixels(ImageDescription& out) const {
    if (iVersion2) out.version = "2.0";
    const std::uint8_t base = iImageType & 0x07;
    std::string bits;
    switch (base) {
      case 1:
        out.channelEncoding = PXC_CE_INDEXED;
        out.inks = 1;
        bits = std::to_string(iDepth);
        break;
      case 2:
        out.channelEncoding = PXC_CE_RGB;
        out.inks = 3;
        bits = std::to_string(iDepth <= 16 ? 5 : 8);
        break;
      default:
        out.channelEncoding = PXC_CE_GRAY;
        out.inks = 1;
        bits = "8";
        break;
    }
    // Attribute type 4 of the extension area marks premultiplied alpha.
    if (iAlphaBits > 0) out.alphaPlane = iAttributes == 4 ? PXC_AP_ASSOCIATED : PXC_AP_UNASSOCIATED;
    out.extended.emplace_back("Compression", iImageType > 8 ? "RLE" : "None");
    out.extended.emplace_back("BitsPerSample", bits);
  }

  const ByteSource* iSource = nullptr;
  std::uint8_t iImageType = 0;
  std::uint16_t iWidth = 0;
  std::uint16_t iHeight = 0;
  std::uint8_t iDepth = 0;
  std::uint8_t iAlphaBits = 0;
  bool iVersion2 = false;
  std::uint8_t iAttributes = 0;
  std::string iSoftware;
  std::uint8_t iStampWidth = 0;
  std::uint8_t iStampHeight = 0;
};

}  // namespace

std::unique_ptr<FormatReader> MakeTgaReader() { return std::make_unique<TgaReader>(); }
IMR_READER(TGA, MakeTgaReader);

}  // namespace imr::formats
