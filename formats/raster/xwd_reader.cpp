// X Window dumps (version 7, X11): a header of 25 32-bit fields in the byte
// order of the machine that wrote it, then the window's name.
#include <algorithm>
#include <bit>
#include <string>

#include "formats/common/byte_reader.h"
#include "formats/common/reader_registry.h"
#include "formats/common/text_util.h"
#include "formats/raster/raster_reader.h"

namespace imr::formats {

namespace {

constexpr std::uint32_t kVersion = 7;
constexpr std::uint32_t kFieldsSize = 100;
// Window names are short; headers longer than this are not believed.
constexpr std::uint32_t kMaxHeader = 100 + 4096;

const char* const kVisualClasses[] = {"StaticGray", "GrayScale", "StaticColor", "PseudoColor", "TrueColor",
                                      "DirectColor"};

class XwdReader : public PreparedReader {
 public:
  bool Open(const ByteSource& source) override {
    iImages.clear();
    ByteReader r(source, false);
    if (r.U32(4) != kVersion) r.SetLittleEndian(true);
    const std::uint32_t headerSize = r.U32(0), version = r.U32(4);
    if (r.Failed() || version != kVersion) return false;
    const std::uint32_t format = r.U32(8), depth = r.U32(12), width = r.U32(16), height = r.U32(20);
    const std::uint32_t byteOrder = r.U32(28), bitsPerPixel = r.U32(44), visualClass = r.U32(52);
    const std::uint32_t redMask = r.U32(56), colours = r.U32(76);
    if (r.Failed()) return Refuse("the header is cut short");
    if (headerSize < kFieldsSize || headerSize > kMaxHeader) return Refuse("a header size of " + std::to_string(headerSize));
    if (format > 2) return Refuse("an unknown pixmap format " + std::to_string(format));
    if (width == 0 || height == 0) return Refuse("the width or height is 0");
    if (depth == 0 || depth > 32 || bitsPerPixel == 0 || bitsPerPixel > 32) {
      return Refuse("a depth of " + std::to_string(depth) + " bits in pixels of " + std::to_string(bitsPerPixel));
    }
    if (visualClass > 5) return Refuse("an unknown visual class " + std::to_string(visualClass));

    ImageDescription out;
    out.version = std::to_string(kVersion);
    out.columns = width;
    out.rows = height;
    out.inks = 1;
    if (visualClass <= 1) {
      out.channelEncoding = depth == 1 ? PXC_CE_BILEVEL : PXC_CE_GRAY;
    } else if (visualClass <= 3) {
      out.channelEncoding = PXC_CE_INDEXED;
    } else {
      out.channelEncoding = PXC_CE_RGB;
      out.inks = 3;
    }
    out.extended.emplace_back("Compression", "None");
    // Direct colour: the bits of each mask; otherwise the depth.
    const int bits = out.inks == 3 ? std::popcount(redMask) : static_cast<int>(depth);
    out.extended.emplace_back("BitsPerSample", std::to_string(bits));
    out.extended.emplace_back("BitsPerPixel", std::to_string(bitsPerPixel));
    out.extended.emplace_back("VisualClass", kVisualClasses[visualClass]);
    out.extended.emplace_back("ByteOrder", byteOrder == 0 ? "LSBFirst" : "MSBFirst");
    if (colours > 0) out.extended.emplace_back("Colors", std::to_string(colours));
    std::string name = r.Text(kFieldsSize, headerSize - kFieldsSize);
    name.resize(std::min(name.find('\0'), name.size()));
    if (!name.empty()) out.extended.emplace_back("WindowName", Latin1ToUtf8(name));
    iImages.push_back(std::move(out));
    return true;
  }
};

}  // namespace

std::unique_ptr<FormatReader> MakeXwdReader() { return std::make_unique<XwdReader>(); }
IMR_READER(XWD, MakeXwdReader);

}  // namespace imr::formats
