// ImageMagick's MIFF and its persistent cache MPC: a text header of
// key=value pairs ({braced} values and comments), ended by ":" and Ctrl-Z,
// then the montage directory, the profiles, the colour map and, in MIFF
// only, the pixels (an MPC keeps them in a .cache file beside it).  The
// images of a file follow one another, each with its header; the walk to
// the next one skips what the header says comes first, and stops where it
// cannot know the size (run-length encoded pixels).
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "formats/common/byte_reader.h"
#include "formats/common/reader_registry.h"
#include "formats/common/text_util.h"
#include "formats/common/tiff_structure.h"
#include "formats/science/science_reader.h"

namespace imr::formats {
namespace {

constexpr std::size_t kMaxHeader = 65536;
constexpr std::size_t kMaxImages = 1024;

struct Header {
  std::string id;  // ImageMagick, MagickPixelCache or MagickCache
  std::map<std::string, std::string> keys;  // lower-case keys
  std::uint64_t profileBytes = 0;
  std::uint64_t end = 0;  // after ":" and Ctrl-Z

  std::string Value(const std::string& key) const {
    const auto it = keys.find(key);
    return it == keys.end() ? std::string() : it->second;
  }
  std::uint64_t Number(const std::string& key) const {
    const std::string v = Value(key);
    if (v.empty() || v.size() > 19 || v.find_first_not_of("0123456789") != std::string::npos) return 0;
    return std::strtoull(v.c_str(), nullptr, 10);
  }
  bool Mpc() const { return id != "ImageMagick"; }
};

bool IsBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// Reads the header at `at`; an empty string, else why it cannot be read.
std::string ParseHeader(ByteReader& r, std::uint64_t at, Header& h) {
  const std::string text = r.Text(at, kMaxHeader);
  std::size_t i = 0;
  while (true) {
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (i >= text.size()) {
      return text.size() < kMaxHeader ? "the header is cut short" : "the header does not end within 64 KiB";
    }
    if (text[i] == '{') {  // a comment
      i = text.find('}', i);
      if (i == std::string::npos) return "a comment in the header does not end";
      ++i;
      continue;
    }
    if (text[i] == ':') {
      if (i + 1 >= text.size() || text[i + 1] != '\x1A') return "the header does not end with Ctrl-Z";
      h.end = at + i + 2;
      break;
    }
    const std::size_t equals = text.find('=', i);
    if (equals == std::string::npos ||
        std::find_if(text.begin() + static_cast<std::ptrdiff_t>(i), text.begin() + static_cast<std::ptrdiff_t>(equals),
                     IsBlank) != text.begin() + static_cast<std::ptrdiff_t>(equals)) {
      return "the header holds a word that is not key=value";
    }
    const std::string key = Lower(text.substr(i, equals - i));
    i = equals + 1;
    std::string value;
    if (i < text.size() && text[i] == '{') {
      const std::size_t close = text.find('}', i);
      if (close == std::string::npos) return "a braced value in the header does not end";
      value = text.substr(i + 1, close - i - 1);
      i = close + 1;
    } else {
      const std::size_t start = i;
      while (i < text.size() && !IsBlank(text[i])) ++i;
      value = text.substr(start, i - start);
    }
    if (key.compare(0, 8, "profile-") == 0 || key.compare(0, 8, "profile:") == 0) {
      h.profileBytes += std::strtoull(value.c_str(), nullptr, 10) & 0xFFFFFFFFull;
    } else if (h.id.empty() && key != "id") {
      return "the header does not start with its id";
    }
    h.keys[key] = value.substr(0, 256);
    if (key == "id") h.id = h.keys[key];
  }
  if (h.id != "ImageMagick" && h.id != "MagickPixelCache" && h.id != "MagickCache") {
    return "the header's id is not ImageMagick's";
  }
  return {};
}

class MiffReader : public FormatReader {
 public:
  bool Open(const ByteSource& source) override {
    iSource = &source;
    iHeaders.clear();
    iDone = false;
    ByteReader r(source);
    // A file may open with a comment before its id.
    std::uint64_t at = 0;
    if (r.Text(0, 1) == "{") {
      const std::string head = r.Text(0, kMaxHeader);
      const std::size_t close = head.find('}');
      if (close == std::string::npos) return false;
      at = close + 1;
    }
    const std::size_t blanks = r.Text(at, kMaxHeader).find_first_not_of(" \t\r\n\f\v");
    if (blanks == std::string::npos) return false;
    at += blanks;
    const std::string start = r.Text(at, 19);
    if (start.compare(0, 14, "id=ImageMagick") != 0 && start.compare(0, 19, "id=MagickPixelCache") != 0 &&
        start.compare(0, 14, "id=MagickCache") != 0) {
      return false;
    }
    Header h;
    if (std::string problem = ParseHeader(r, at, h); !problem.empty()) return Refuse(problem);
    if (h.Number("columns") == 0 || h.Number("rows") == 0 || h.Number("columns") > 0xFFFFFFFF ||
        h.Number("rows") > 0xFFFFFFFF) {
      return Refuse("the header gives no image size");
    }
    iHeaders.push_back(std::move(h));
    return true;
  }

  bool Describe(std::uint32_t index, ImageDescription& out) override {
    if (iSource == nullptr) return false;
    while (index >= iHeaders.size() && Next()) {
    }
    if (index >= iHeaders.size()) return false;
    const Header& h = iHeaders[index];
    out = ImageDescription{};
    out.format = h.Mpc() ? "MPC" : "MIFF";
    out.version = h.Value("version");
    out.type = index == 0 ? PXC_IT_MAIN : PXC_IT_PAGE;
    out.columns = static_cast<std::uint32_t>(h.Number("columns"));
    out.rows = static_cast<std::uint32_t>(h.Number("rows"));
    const std::string colorspace = Lower(h.Value("colorspace"));
    const std::string type = Lower(h.Value("type"));
    if (Lower(h.Value("class")) == "pseudoclass") {
      out.channelEncoding = PXC_CE_INDEXED;
    } else if (type == "bilevel") {
      out.channelEncoding = PXC_CE_BILEVEL;
    } else {
      out.channelEncoding = Encoding(colorspace);
    }
    out.inks = static_cast<std::uint16_t>(out.channelEncoding == PXC_CE_BILEVEL ? 1 : ColourChannels(h));
    if (Alpha(h)) out.alphaPlane = PXC_AP_UNASSOCIATED;
    Resolution(h, out);
    const std::string orientation = h.Value("orientation");
    for (std::uint64_t code = 1; code <= 8 && !orientation.empty(); ++code) {
      if (tiff::OrientationName(code) == orientation) out.rotation = tiff::RotationFromOrientation(code);
    }
    out.extended.emplace_back("Compression", h.Value("compression").empty() ? "None" : h.Value("compression"));
    if (h.Number("depth") > 0) out.extended.emplace_back("BitsPerSample", std::to_string(h.Number("depth")));
    if (!colorspace.empty()) out.extended.emplace_back("ColorSpace", h.Value("colorspace"));
    if (h.Number("colors") > 0) out.extended.emplace_back("Colors", std::to_string(h.Number("colors")));
    if (!orientation.empty()) out.extended.emplace_back("Orientation", orientation);
    if (h.keys.count("profile-icc") || h.keys.count("profile:icc")) out.extended.emplace_back("ColorProfile", "embedded");
    if (h.Mpc()) out.extended.emplace_back("PixelCache", "separate file");
    return true;
  }

 private:
  static PXC_TChannelEnc Encoding(const std::string& colorspace) {
    if (colorspace.empty() || colorspace == "srgb" || colorspace == "rgb" || colorspace == "scrgb") return PXC_CE_RGB;
    if (colorspace == "gray" || colorspace == "lineargray") return PXC_CE_GRAY;
    if (colorspace == "cmyk") return PXC_CE_CMYK;
    if (colorspace == "lab") return PXC_CE_LAB;
    if (colorspace == "xyz") return PXC_CE_XYZ;
    if (colorspace == "ycbcr" || colorspace == "rec601ycbcr" || colorspace == "rec709ycbcr" || colorspace == "ypbpr" ||
        colorspace == "ycc") {
      return PXC_CE_YCBCR;
    }
    return PXC_CE_UNKNOWN;
  }

  static bool Alpha(const Header& h) {
    const std::string trait = Lower(h.Value("alpha-trait"));
    return Lower(h.Value("matte")) == "true" || (!trait.empty() && trait != "undefined");
  }

  // Samples per pixel but alpha: one index or grey level, four inks or three.
  static std::uint64_t ColourChannels(const Header& h) {
    const std::string colorspace = Lower(h.Value("colorspace"));
    if (Lower(h.Value("class")) == "pseudoclass" || colorspace == "gray" || colorspace == "lineargray") return 1;
    return colorspace == "cmyk" ? 4 : 3;
  }

  static void Resolution(const Header& h, ImageDescription& out) {
    const std::string units = Lower(h.Value("units")), resolution = h.Value("resolution");
    const double perInch = units == "pixelsperinch" || units == "pixels-per-inch"                 ? 1
                           : units == "pixelspercentimeter" || units == "pixels-per-centimeter" ? 2.54
                                                                                                  : 0;
    if (perInch == 0 || resolution.empty()) return;
    char* end = nullptr;
    const double x = std::strtod(resolution.c_str(), &end);
    const double y = *end == 'x' ? std::strtod(end + 1, nullptr) : x;
    SetResolution(out, x, y, perInch);
  }

  // Reads the header after the last one; false when there is none, or the
  // bytes between them cannot be measured.
  bool Next() {
    if (iDone || iHeaders.size() >= kMaxImages) return false;
    iDone = true;
    const Header& h = iHeaders.back();
    ByteReader r(*iSource);
    std::uint64_t at = h.end;
    if (!h.Value("montage").empty()) {  // a NUL-terminated directory
      const std::size_t nul = r.Text(at, kMaxHeader).find('\0');
      if (nul == std::string::npos) return false;
      at += nul + 1;
    }
    const std::uint64_t depth = h.Number("depth"), room = r.Size();
    if (depth == 0 || depth % 8 != 0) return false;
    std::uint64_t colormap = 0;
    if (Lower(h.Value("class")) == "pseudoclass" && !ProductWithin(h.Number("colors"), 3 * depth / 8, room, colormap)) {
      return false;
    }
    at += h.profileBytes + colormap;
    if (!h.Mpc() && !SkipPixels(r, h, depth, at)) return false;
    // Blank bytes may separate the images.
    for (int n = 0; n < 16 && at < room && !std::isgraph(static_cast<unsigned char>(r.Text(at, 1)[0])); ++n) ++at;
    if (r.Text(at, 3 + h.id.size()) != "id=" + h.id) return false;
    Header next;
    if (!ParseHeader(r, at, next).empty() || next.Number("columns") == 0 || next.Number("rows") == 0 ||
        next.Number("columns") > 0xFFFFFFFF || next.Number("rows") > 0xFFFFFFFF) {
      return false;
    }
    iHeaders.push_back(std::move(next));
    iDone = false;
    return true;
  }

  // Moves `at` past the pixels: uncompressed, or rows of a 4-byte length and
  // that many compressed bytes.
  static bool SkipPixels(ByteReader& r, const Header& h, std::uint64_t depth, std::uint64_t& at) {
    const std::string compression = Lower(h.Value("compression"));
    const std::uint64_t columns = h.Number("columns"), rows = h.Number("rows"), room = r.Size();
    if (compression.empty() || compression == "none") {
      std::uint64_t row = 0, all = 0;
      if (!ProductWithin(columns, (ColourChannels(h) + (Alpha(h) ? 1 : 0)) * depth / 8, room, row) || !ProductWithin(row, rows, room, all)) return false;
      at += all;
      return at <= room;
    }
    if (compression != "zip" && compression != "bzip" && compression != "lzma") return false;
    for (std::uint64_t y = 0; y < rows; ++y) {
      const std::uint32_t length = r.U32BE(at);
      if (r.Failed()) return false;
      at += 4 + std::uint64_t{length};
    }
    return at <= room;
  }

  const ByteSource* iSource = nullptr;
  std::vector<Header> iHeaders;
  bool iDone = false;
};

}  // namespace

std::unique_ptr<FormatReader> MakeMiffReader() { return std::make_unique<MiffReader>(); }
IMR_READER(MIFF, MakeMiffReader);

}  // namespace imr::formats
