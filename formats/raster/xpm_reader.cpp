// X PixMap: XPM3 is C source text, an array of strings after "/* XPM */"
// whose first string holds "width height colours chars-per-pixel [x y]";
// XPM2 ("! XPM2") holds the same lines unquoted.  The colour lines follow;
// a colour "None" is the transparent one.
#include <algorithm>
#include <cctype>
#include <string>

#include "formats/common/byte_reader.h"
#include "formats/common/reader_registry.h"
#include "formats/raster/raster_reader.h"
#include "formats/raster/text_header.h"

namespace imr::formats {

namespace {

// The values and colour lines come first; colours past this much text are
// not looked at.
constexpr std::size_t kMaxHeader = 1 << 20;

// The lines of the header: XPM3's quoted strings (comments skipped) or
// XPM2's plain lines.
class Lines {
 public:
  Lines(std::string text, bool quoted) : iText(std::move(text)), iQuoted(quoted) {
    iAt = quoted ? iText.find('{') : iText.find('\n');
    if (iAt != std::string::npos) ++iAt;
  }

  bool Next(std::string& line) {
    if (iAt >= iText.size()) return false;
    if (!iQuoted) {
      const std::size_t end = std::min(iText.find('\n', iAt), iText.size());
      line = iText.substr(iAt, end - iAt);
      iAt = end + 1;
      return true;
    }
    while (iAt < iText.size()) {
      if (iText.compare(iAt, 2, "/*") == 0) {
        const std::size_t end = iText.find("*/", iAt + 2);
        iAt = end == std::string::npos ? iText.size() : end + 2;
      } else if (iText[iAt] == '"') {
        const std::size_t end = iText.find('"', iAt + 1);
        if (end == std::string::npos) break;
        line = iText.substr(iAt + 1, end - iAt - 1);
        iAt = end + 1;
        return true;
      } else {
        ++iAt;
      }
    }
    iAt = iText.size();
    return false;
  }

 private:
  std::string iText;
  bool iQuoted;
  std::size_t iAt = std::string::npos;
};

// True when the colour line (after its pixel characters) names None for
// the colour key "c", or for any key when it has no "c".
bool IsTransparent(const std::string& line, std::uint32_t charsPerPixel) {
  if (line.size() < charsPerPixel) return false;
  TextCursor cursor(line, charsPerPixel);
  for (std::string key = cursor.Word(); !key.empty(); key = cursor.Word()) {
    std::string value = cursor.Word();
    std::transform(value.begin(), value.end(), value.begin(), [](unsigned char c) { return std::tolower(c); });
    if (value == "none" && (key == "c" || key == "m" || key == "g" || key == "g4" || key == "s")) return true;
  }
  return false;
}

class XpmReader : public PreparedReader {
 public:
  bool Open(const ByteSource& source) override {
    iImages.clear();
    ByteReader r(source);
    const std::string text = r.Text(0, kMaxHeader);
    const bool xpm3 = text.rfind("/* XPM */", 0) == 0;
    if (!xpm3 && text.rfind("! XPM2", 0) != 0) return false;
    Lines lines(text, xpm3);
    std::string values;
    if (!lines.Next(values)) return Refuse("the line of values is missing");
    TextCursor cursor(values);
    std::uint32_t width = 0, height = 0, colours = 0, charsPerPixel = 0, xHot = 0, yHot = 0;
    if (!cursor.Number(width) || !cursor.Number(height) || !cursor.Number(colours) ||
        !cursor.Number(charsPerPixel)) {
      return Refuse("the line of values does not hold width, height, colours and characters per pixel");
    }
    if (width == 0 || height == 0) return Refuse("the width or height is 0");
    if (colours == 0) return Refuse("no colours");
    if (charsPerPixel == 0 && colours > 1) return Refuse("several colours of no characters each");
    const bool hotSpot = cursor.Number(xHot) && cursor.Number(yHot);

    ImageDescription out;
    out.version = xpm3 ? "3" : "2";
    out.columns = width;
    out.rows = height;
    out.channelEncoding = PXC_CE_INDEXED;
    out.inks = 1;
    std::string line;
    for (std::uint32_t i = 0; i < colours && lines.Next(line); ++i) {
      if (IsTransparent(line, charsPerPixel)) out.alphaPlane = PXC_AP_TRANSPARENT_INDEX;
    }
    out.extended.emplace_back("Compression", "None");
    out.extended.emplace_back("Colors", std::to_string(colours));
    out.extended.emplace_back("CharsPerPixel", std::to_string(charsPerPixel));
    if (hotSpot) out.extended.emplace_back("HotSpot", std::to_string(xHot) + "," + std::to_string(yHot));
    iImages.push_back(std::move(out));
    return true;
  }
};

}  // namespace

std::unique_ptr<FormatReader> MakeXpmReader() { return std::make_unique<XpmReader>(); }
IMR_READER(XPM, MakeXpmReader);

}  // namespace imr::formats
