// SVG: the root element's width, height and viewBox, read from the head of
// the document (inflated first for .svgz).  Lengths in physical units are
// turned into pixels at 96 per inch, as CSS defines the pixel.
#include <charconv>
#include <cmath>
#include <optional>
#include <string>
#include <string_view>

#include "formats/common/byte_reader.h"
#include "formats/common/inflate.h"
#include "formats/common/reader_registry.h"
#include "formats/common/xml_markup.h"
#include "formats/vector/vector_readers.h"

namespace imr::formats {
namespace {

constexpr std::size_t kHead = 65536;  // the root element's start tag must end within it
constexpr double kCssPixelsPerInch = 96;

struct Length {
  double pixels = 0;
  double inches = 0;  // > 0 when stated in a physical unit
};

// A number at the front of `s`, which it leaves after the number.
std::optional<double> Number(std::string_view& s) {
  s = TrimXmlSpace(s);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  double value = 0;
  const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (error != std::errc() || !std::isfinite(value)) return std::nullopt;
  s.remove_prefix(static_cast<std::size_t>(end - s.data()));
  return value;
}

// A width or height attribute.  Percentages of the outermost element, like
// font-relative units, leave the size to the viewBox.
std::optional<Length> ParseLength(std::string_view text) {
  std::optional<double> value = Number(text);
  if (!value || *value < 0) return std::nullopt;
  const std::string_view unit = TrimXmlSpace(text);
  struct Unit {
    const char* name;
    double perInch;
  };
  static const Unit kPhysical[] = {{"in", 1}, {"cm", 2.54}, {"mm", 25.4}, {"pt", 72}, {"pc", 6}};
  if (unit.empty() || unit == "px") return Length{*value, 0};
  for (const Unit& u : kPhysical) {
    if (unit == u.name) return Length{*value / u.perInch * kCssPixelsPerInch, *value / u.perInch};
  }
  return std::nullopt;
}

class SvgReader : public PreparedReader {
 public:
  bool Open(const ByteSource& source) override {
    iImages.clear();
    ByteReader r(source);
    std::string head;
    const bool gzip = r.U8(0) == 0x1F && r.U8(1) == 0x8B;
    if (gzip) {
      if (!Inflate(source, 0, r.Size(), Deflate::kGzip, kHead, head)) {
        return Refuse("the compressed document cannot be inflated");
      }
    } else {
      head = r.Text(0, kHead);
    }
    std::string_view text = head;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    if (text.substr(0, 2) == "\xFF\xFE" || text.substr(0, 2) == "\xFE\xFF") {
      return Refuse("UTF-16 documents are not read");
    }
    XmlMarkup markup(text);
    if (!markup.SkipProlog()) return Refuse("the markup before the root element does not end");
    std::string_view name = markup.Name();
    if (name.substr(0, 4) == "svg:") name.remove_prefix(4);
    if (name != "svg") return Refuse("the root element is <" + std::string(name.substr(0, 64)) + ">, not <svg>");

    std::string_view width, height, viewBox, version;
    std::string_view key, value;
    bool ended = false;
    while (markup.Attribute(key, value, ended)) {
      if (key == "width") width = value;
      else if (key == "height") height = value;
      else if (key == "viewBox") viewBox = value;
      else if (key == "version") version = value;
    }
    if (!ended) return Refuse("the <svg> start tag is cut short or malformed");

    ImageDescription d;
    d.version = std::string(version.substr(0, 16));
    d.channelEncoding = PXC_CE_VECTOR;
    std::optional<double> boxWidth, boxHeight;
    {
      std::string box(viewBox);
      for (char& c : box) c = c == ',' ? ' ' : c;
      std::string_view numbers = box;
      std::optional<double> values[4];
      for (auto& v : values) v = Number(numbers);
      if (values[3] && TrimXmlSpace(numbers).empty() && *values[2] > 0 && *values[3] > 0) {
        boxWidth = values[2];
        boxHeight = values[3];
        d.extended.emplace_back("ViewBox", std::string(TrimXmlSpace(viewBox)));
      }
    }
    const std::optional<Length> w = ParseLength(width), h = ParseLength(height);
    const double columns = w ? w->pixels : boxWidth.value_or(0);
    const double rows = h ? h->pixels : boxHeight.value_or(0);
    if (columns > 0x7FFFFFFF || rows > 0x7FFFFFFF) return Refuse("the drawing's size is out of range");
    d.columns = static_cast<std::uint32_t>(std::lround(columns));
    d.rows = static_cast<std::uint32_t>(std::lround(rows));
    if (w && h && w->inches > 0 && h->inches > 0) {
      SetResolution(d, kCssPixelsPerInch, kCssPixelsPerInch);
      d.hRealSize = w->inches;
      d.vRealSize = h->inches;
    }
    if (gzip) d.extended.emplace_back("Compression", "gzip");
    iImages.push_back(d);
    return true;
  }
};

}  // namespace

std::unique_ptr<FormatReader> MakeSvgReader() { return std::make_unique<SvgReader>(); }
IMR_READER(SVG, MakeSvgReader);

}  // namespace imr::formats
