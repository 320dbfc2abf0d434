// PGX, the raw grey format of the JPEG 2000 conformance tests: one text line
// "PG ML +8 64 48" (ML big-endian, LM little-endian samples; a minus sign
// for signed ones; the bit depth, width and height), then the samples.
#include <cctype>
#include <string>

#include "formats/common/byte_reader.h"
#include "formats/common/reader_registry.h"
#include "formats/science/science_reader.h"

namespace imr::formats {
namespace {

constexpr std::size_t kMaxLine = 128;

class PgxReader : public PreparedReader {
 public:
  bool Open(const ByteSource& source) override {
    iImages.clear();
    ByteReader r(source);
    const std::string line = r.Text(0, kMaxLine);
    if (line.compare(0, 2, "PG") != 0) return false;
    std::size_t i = 2;
    const auto skip = [&](const char* set) {
      const std::size_t start = i;
      while (i < line.size() && std::string(set).find(line[i]) != std::string::npos) ++i;
      return i > start;
    };
    const auto number = [&](std::uint32_t& value) {
      const std::size_t start = i;
      value = 0;
      while (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i])) && i - start < 9) {
        value = value * 10 + static_cast<std::uint32_t>(line[i++] - '0');
      }
      return i > start;
    };
    if (!skip(" \t")) return false;
    const std::string order = line.substr(i, 2);
    if (order != "ML" && order != "LM") return false;
    i += 2;
    const std::size_t signStart = i;
    skip(" \t+-");
    const bool isSigned = line.find('-', signStart) < i;
    std::uint32_t depth = 0, width = 0, height = 0;
    if (!number(depth) || !skip(" \t") || !number(width) || !skip(" \t") || !number(height) ||
        i >= line.size() || (line[i] != '\n' && line[i] != '\r' && line[i] != ' ')) {
      return Refuse("the header line \"" + line.substr(0, line.find('\n')).substr(0, 64) + "\" cannot be read");
    }
    if (depth == 0 || depth > 32) return Refuse("the bit depth " + std::to_string(depth) + " is out of range");
    if (width == 0 || height == 0) {
      return Refuse("the image size " + std::to_string(width) + " x " + std::to_string(height) + " is out of range");
    }
    ImageDescription d;
    d.columns = width;
    d.rows = height;
    d.channelEncoding = PXC_CE_GRAY;
    d.inks = 1;
    d.extended.emplace_back("Compression", "None");
    d.extended.emplace_back("BitsPerSample", std::to_string(depth));
    d.extended.emplace_back("SampleFormat", isSigned ? "signed integer" : "unsigned integer");
    d.extended.emplace_back("ByteOrder", order == "ML" ? "big-endian" : "little-endian");
    iImages.push_back(d);
    return true;
  }
};

}  // namespace

std::unique_ptr<FormatReader> MakePgxReader() { return std::make_unique<PgxReader>(); }
IMR_READER(PGX, MakePgxReader);

}  // namespace imr::formats
