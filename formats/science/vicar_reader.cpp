// VICAR, the image format of NASA's planetary missions: a text label of
// KEY=VALUE pairs ('quoted' strings, (lists) and numbers) whose first item
// is LBLSIZE, the label's length; NL lines of NS samples in NB bands follow.
#include <algorithm>
#include <cstdlib>
#include <map>
#include <string>

#include "formats/common/byte_reader.h"
#include "formats/common/reader_registry.h"
#include "formats/science/science_reader.h"

namespace imr::formats {
namespace {

constexpr std::size_t kMaxLabel = 65536;  // label bytes read; the rest are history
constexpr std::uint64_t kMaxSize = 0xFFFFFFFF;

struct SampleType {
  const char* format;
  int bits;
  const char* sampleFormat;
};
constexpr SampleType kSampleTypes[] = {
    {"BYTE", 8, "unsigned integer"}, {"HALF", 16, "signed integer"}, {"WORD", 16, "signed integer"},
    {"FULL", 32, "signed integer"},  {"LONG", 32, "signed integer"}, {"REAL", 32, "float"},
    {"DOUB", 64, "float"},           {"COMP", 64, "complex"},        {"COMPLEX", 64, "complex"},
};

// The label's items, the first value of each key kept; quotes removed.
std::map<std::string, std::string> ParseLabel(const std::string& text) {
  std::map<std::string, std::string> items;
  std::size_t i = 0;
  while (i < text.size() && text[i] != '\0') {
    while (i < text.size() && text[i] == ' ') ++i;
    const std::size_t equals = text.find('=', i);
    if (equals == std::string::npos) break;
    std::string key = text.substr(i, equals - i);
    while (!key.empty() && key.back() == ' ') key.pop_back();
    i = equals + 1;
    while (i < text.size() && text[i] == ' ') ++i;
    std::string value;
    if (i < text.size() && text[i] == '\'') {  // '' stands for a quote
      for (++i; i < text.size(); ++i) {
        if (text[i] == '\'' && (i + 1 >= text.size() || text[i + 1] != '\'')) break;
        if (text[i] == '\'') ++i;
        value += text[i];
      }
      ++i;
    } else if (i < text.size() && text[i] == '(') {
      const std::size_t close = text.find(')', i);
      value = text.substr(i + 1, close == std::string::npos ? std::string::npos : close - i - 1);
      i = close == std::string::npos ? text.size() : close + 1;
    } else {
      const std::size_t start = i;
      while (i < text.size() && text[i] != ' ' && text[i] != '\0') ++i;
      value = text.substr(start, i - start);
    }
    items.emplace(key, value.substr(0, 256));
  }
  return items;
}

// A decimal count; 0 when it is none.
std::uint64_t Count(const std::map<std::string, std::string>& items, const char* key) {
  const auto it = items.find(key);
  if (it == items.end() || it->second.empty() || it->second.size() > 12 ||
      it->second.find_first_not_of("0123456789") != std::string::npos) {
    return 0;
  }
  return std::strtoull(it->second.c_str(), nullptr, 10);
}

class VicarReader : public PreparedReader {
 public:
  bool Open(const ByteSource& source) override {
    iImages.clear();
    ByteReader r(source);
    if (r.Text(0, 8) != "LBLSIZE=") return false;
    const std::string head = r.Text(0, kMaxLabel);
    const auto first = ParseLabel(head.substr(0, head.find(' ', 8)));
    const std::uint64_t size = Count(first, "LBLSIZE");
    if (size == 0) return Refuse("LBLSIZE is not a number");
    if (size > r.Size()) return Refuse("the label is longer than the file");
    const auto items = ParseLabel(head.substr(0, static_cast<std::size_t>(std::min<std::uint64_t>(size, kMaxLabel))));

    const std::uint64_t lines = Count(items, "NL"), samples = Count(items, "NS");
    const std::uint64_t bands = items.count("NB") ? Count(items, "NB") : 1;
    if (lines == 0 || samples == 0 || lines > kMaxSize || samples > kMaxSize) {
      return Refuse("the label gives no image size (NL and NS)");
    }
    if (bands == 0 || bands > 0xFFFF) return Refuse("the label gives no number of bands (NB)");
    const auto text = [&](const char* key) {
      const auto it = items.find(key);
      return it == items.end() ? std::string() : it->second;
    };
    const std::string format = items.count("FORMAT") ? text("FORMAT") : "BYTE";
    const SampleType* type = std::find_if(std::begin(kSampleTypes), std::end(kSampleTypes),
                                          [&](const SampleType& t) { return format == t.format; });
    if (type == std::end(kSampleTypes)) return Refuse("the sample format '" + format.substr(0, 32) + "' is not known");

    ImageDescription d;
    d.columns = static_cast<std::uint32_t>(samples);
    d.rows = static_cast<std::uint32_t>(lines);
    d.channelEncoding = bands == 1 ? PXC_CE_GRAY : PXC_CE_MULTICHANNEL;
    d.inks = static_cast<std::uint16_t>(bands);
    const std::string compression = text("COMPRESS");
    d.extended.emplace_back("Compression", compression.empty() || compression == "NONE" ? "None" : compression);
    d.extended.emplace_back("BitsPerSample", std::to_string(type->bits));
    d.extended.emplace_back("SampleFormat", type->sampleFormat);
    if (!text("ORG").empty()) d.extended.emplace_back("Organization", text("ORG"));
    if (!text("TYPE").empty()) d.extended.emplace_back("Type", text("TYPE"));
    if (const std::string order = text("INTFMT"); order == "HIGH" || order == "LOW") {
      d.extended.emplace_back("ByteOrder", order == "HIGH" ? "big-endian" : "little-endian");
    }
    iImages.push_back(d);
    return true;
  }
};

}  // namespace

std::unique_ptr<FormatReader> MakeVicarReader() { return std::make_unique<VicarReader>(); }
IMR_READER(VICAR, MakeVicarReader);

}  // namespace imr::formats
