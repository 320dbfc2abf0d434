// X BitMap: C source text, "#define NAME_width W" and "#define NAME_height
// H" (and the hot spot) before the "NAME_bits[]" array, of char (X11) or
// short (X10) items.
#include <string>

#include "formats/common/byte_reader.h"
#include "formats/common/reader_registry.h"
#include "formats/raster/raster_reader.h"
#include "formats/raster/text_header.h"

namespace imr::formats {

namespace {

// The defines come first; their text is never long.
constexpr std::size_t kMaxHeader = 4096;

class XbmReader : public PreparedReader {
 public:
  bool Open(const ByteSource& source) override {
    iImages.clear();
    ByteReader r(source);
    const std::string text = r.Text(0, kMaxHeader);
    const std::size_t bits = text.find("_bits[");
    if (text.find("#define") == std::string::npos) return false;
    if (bits == std::string::npos) return Refuse("no _bits[] array follows the defines");
    const std::string head = text.substr(0, bits);
    std::uint32_t width = 0, height = 0, xHot = 0, yHot = 0;
    if (!DefinedNumber(head, "_width", width) || !DefinedNumber(head, "_height", height)) {
      return Refuse("the _width or _height define is missing or not a number");
    }
    if (width == 0 || height == 0) return Refuse("the width or height is 0");

    ImageDescription out;
    out.columns = width;
    out.rows = height;
    out.channelEncoding = PXC_CE_BILEVEL;
    out.inks = 1;
    // X10 bitmaps hold 16-bit items: "static short NAME_bits[]".
    const std::size_t statement = head.rfind("static");
    const bool x10 = statement != std::string::npos && head.find("short", statement) != std::string::npos;
    out.version = x10 ? "X10" : "X11";
    out.extended.emplace_back("Compression", "None");
    out.extended.emplace_back("BitsPerSample", "1");
    if (DefinedNumber(head, "_x_hot", xHot) && DefinedNumber(head, "_y_hot", yHot)) {
      out.extended.emplace_back("HotSpot", std::to_string(xHot) + "," + std::to_string(yHot));
    }
    iImages.push_back(std::move(out));
    return true;
  }

 private:
  // The number of "#define NAME<suffix> N".
  static bool DefinedNumber(const std::string& text, const std::string& suffix, std::uint32_t& value) {
    for (std::size_t at = text.find("#define"); at != std::string::npos; at = text.find("#define", at + 1)) {
      TextCursor line(text, at + 7);
      const std::string name = line.Word();
      if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
        return line.Number(value);
      }
    }
    return false;
  }
};

}  // namespace

std::unique_ptr<FormatReader> MakeXbmReader() { return std::make_unique<XbmReader>(); }
IMR_READER(XBM, MakeXbmReader);

}  // namespace imr::formats
