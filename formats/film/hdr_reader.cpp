// Radiance RGBE (.hdr, .pic): the "#?" header of variable=value lines and
// commands, a blank line, then the resolution string.  The standard string
// "-Y rows +X columns" stores the picture top to bottom, left to right; the
// other seven orders of the two axes store it mirrored, turned or
// transposed, which the rotation reports.
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>

#include "formats/common/byte_reader.h"
#include "formats/common/reader_registry.h"
#include "formats/common/text_util.h"
#include "formats/film/film_reader.h"
#include "formats/film/film_util.h"

namespace imr::formats {
namespace {

constexpr std::size_t kMaxHeader = 65536;
constexpr std::uint32_t kMaxSize = 0x7FFFFFFF;

// A positive real number, or 0.
double Real(const std::string& text) {
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  return end != text.c_str() && std::isfinite(value) && value > 0 ? value : 0;
}

// The EXIF orientation of a resolution string's axis order: the first axis
// is the one the scanlines step along, "-Y" from the top, "+X" from the left.
std::uint64_t ExifOrientation(const std::string& first, const std::string& second) {
  if (first == "-Y") return second == "+X" ? 1 : 2;
  if (first == "+Y") return second == "-X" ? 3 : 4;
  if (first == "+X") return second == "-Y" ? 5 : 8;
  return second == "-Y" ? 6 : 7;  // -X
}

class HdrReader : public PreparedReader {
 public:
  bool Open(const ByteSource& source) override {
    iImages.clear();
    ByteReader r(source);
    const std::string text = r.Text(0, kMaxHeader);
    if (text.compare(0, 2, "#?") != 0) return false;

    ImageDescription d;
    std::string format, software;
    double exposure = 1, aspect = 1;
    std::size_t at = text.find('\n');
    bool ended = false;
    while (at != std::string::npos && !ended) {
      const std::size_t start = at + 1, end = text.find('\n', start);
      if (end == std::string::npos) break;
      std::string line = text.substr(start, end - start);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      at = end;
      ended = line.empty();
      const std::size_t equals = line.find('=');
      if (equals == std::string::npos || line[0] == '#') continue;
      const std::string key = line.substr(0, equals);
      std::string value = TrimPadding(line.substr(equals + 1));
      value.erase(0, value.find_first_not_of(" \t"));
      if (key == "FORMAT") {
        format = value;
      } else if (key == "EXPOSURE") {
        if (const double e = Real(value); e > 0) exposure *= e;  // exposures accumulate
      } else if (key == "PIXASPECT") {
        if (const double a = Real(value); a > 0) aspect *= a;
      } else if (key == "SOFTWARE") {
        software = value.substr(0, 256);
      }
    }
    if (!ended) {
      return Refuse(text.size() < kMaxHeader ? "the header is cut short"
                                             : "the header does not end within its first 64 KiB");
    }
    if (!format.empty() && format != "32-bit_rle_rgbe" && format != "32-bit_rle_xyze") {
      return Refuse("the pixel format " + format.substr(0, 64) + " is neither RGBE nor XYZE");
    }

    // The resolution string: two axes, each a sign, X or Y and a length.
    const std::size_t start = at + 1, end = text.find('\n', start);
    const std::string line = end == std::string::npos ? text.substr(start) : text.substr(start, end - start);
    std::istringstream in(line);
    std::string first, second;
    long long lines = 0, samples = 0;
    in >> first >> lines >> second >> samples;
    const bool axesOk = first.size() == 2 && second.size() == 2 && (first[0] == '-' || first[0] == '+') &&
                        (second[0] == '-' || second[0] == '+') &&
                        ((first[1] == 'Y' && second[1] == 'X') || (first[1] == 'X' && second[1] == 'Y'));
    if (in.fail() || end == std::string::npos || !axesOk || lines <= 0 || samples <= 0 || lines > kMaxSize ||
        samples > kMaxSize) {
      return Refuse("the resolution string \"" + line.substr(0, 64) + "\" cannot be read");
    }
    // Stored as scanlines of samples, whichever axis they run along.
    d.columns = static_cast<std::uint32_t>(samples);
    d.rows = static_cast<std::uint32_t>(lines);
    const bool xyz = format == "32-bit_rle_xyze";
    d.channelEncoding = xyz ? PXC_CE_XYZ : PXC_CE_RGB;
    d.inks = 3;

    // A run-length encoded scanline starts 2, 2 and its length.
    const std::uint64_t data = end + 1;
    const bool rle = r.U8(data) == 2 && r.U8(data + 1) == 2 && r.U16BE(data + 2) == samples && samples >= 8 &&
                     samples < 0x8000;
    d.extended.emplace_back("Compression", rle ? "RLE" : "None");
    d.extended.emplace_back("PixelFormat", xyz ? "XYZE" : "RGBE");
    SetScanOrientation(d, ExifOrientation(first, second));
    if (exposure != 1) d.extended.emplace_back("Exposure", DecimalText(exposure));
    if (aspect != 1) d.extended.emplace_back("PixelAspectRatio", DecimalText(aspect));
    if (!software.empty()) d.extended.emplace_back("Software", software);
    iImages.push_back(d);
    return true;
  }
};

}  // namespace

std::unique_ptr<FormatReader> MakeHdrReader() { return std::make_unique<HdrReader>(); }
IMR_READER(HDR, MakeHdrReader);

}  // namespace imr::formats
