// FITS: header-data units of 2880-byte blocks, each header a run of 80-byte
// "KEYWORD = value / comment" cards ended by END.  The images of a file are
// those of its primary array and of its IMAGE extensions, and the
// tile-compressed images that binary tables hold (ZIMAGE = T); each plane of
// a cube (NAXIS3 and up) is an image.  The data sizes the headers give lead
// from one unit to the next, as far as the file goes.
#include <algorithm>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "formats/common/byte_reader.h"
#include "formats/common/reader_registry.h"
#include "formats/common/text_util.h"
#include "formats/science/science_reader.h"

namespace imr::formats {
namespace {

constexpr std::uint64_t kBlock = 2880;
constexpr std::size_t kCard = 80;
constexpr int kMaxHeaderBlocks = 256;  // 9216 cards
constexpr std::size_t kMaxUnits = 1024;
constexpr std::int64_t kMaxAxes = 999;

using Cards = std::map<std::string, std::string>;

// The value of a card: a 'string' ('' for a quote) without its trailing
// blanks, else what comes before the comment.
std::string CardValue(const std::string& card) {
  std::string v = card.substr(10);
  const std::size_t start = v.find_first_not_of(' ');
  if (start == std::string::npos) return {};
  if (v[start] == '\'') {
    std::string text;
    for (std::size_t i = start + 1; i < v.size(); ++i) {
      if (v[i] == '\'') {
        if (i + 1 < v.size() && v[i + 1] == '\'') {
          text += '\'';
          ++i;
          continue;
        }
        break;
      }
      text += v[i];
    }
    return TrimPadding(text);
  }
  v = v.substr(start, v.find('/', start) - start);
  return TrimPadding(v);
}

// An integer card; `fallback` when absent, nothing when it is not a number.
bool Integer(const Cards& cards, const std::string& key, std::int64_t fallback, std::int64_t& out) {
  const auto it = cards.find(key);
  if (it == cards.end()) {
    out = fallback;
    return true;
  }
  char* end = nullptr;
  out = std::strtoll(it->second.c_str(), &end, 10);
  return !it->second.empty() && *end == '\0';
}

std::string Text(const Cards& cards, const std::string& key) {
  const auto it = cards.find(key);
  return it == cards.end() ? std::string() : it->second;
}

struct Unit {
  ImageDescription image;    // of each plane
  std::uint64_t planes = 0;  // 0: the unit holds no image
};

class FitsReader : public FormatReader {
 public:
  bool Open(const ByteSource& source) override {
    iSource = &source;
    iUnits.clear();
    iNext = 0;
    iDone = false;
    ByteReader r(source);
    if (r.Text(0, 9) != "SIMPLE  =") return false;
    // A file of tables or of an empty primary unit alone is read, and has no image.
    if (std::string problem = Next(); !problem.empty()) return Refuse(problem);
    return true;
  }

  bool Describe(std::uint32_t index, ImageDescription& out) override {
    if (iSource == nullptr) return false;
    std::uint64_t first = 0;  // image number of the unit's first plane
    for (std::size_t u = 0;; ++u) {
      if (u == iUnits.size() && (iDone || !Next().empty())) return false;
      if (index < first + iUnits[u].planes) {
        out = iUnits[u].image;
        out.type = index == 0 ? PXC_IT_MAIN : PXC_IT_PAGE;
        return true;
      }
      first += iUnits[u].planes;
    }
  }

 private:
  // Reads the unit at iNext; an empty string, else why it cannot be read
  // (and the walk ends).
  std::string Next() {
    if (iDone || iUnits.size() >= kMaxUnits) {
      iDone = true;
      return "no further unit";
    }
    iDone = true;  // until the unit is read and its data measured
    ByteReader r(*iSource);
    const bool primary = iUnits.empty();
    if (!primary && r.Text(iNext, 9) != "XTENSION=") return "no further unit";
    Cards cards;
    std::uint64_t data = 0;
    if (std::string problem = ReadHeader(r, cards, data); !problem.empty()) return problem;

    std::int64_t bitpix = 0, naxis = 0, pcount = 0, gcount = 1;
    if (!Integer(cards, "BITPIX", 0, bitpix) || !Integer(cards, "NAXIS", 0, naxis) ||
        !Integer(cards, "PCOUNT", 0, pcount) || !Integer(cards, "GCOUNT", 1, gcount)) {
      return "a size card is not a number";
    }
    if (bitpix != 8 && bitpix != 16 && bitpix != 32 && bitpix != 64 && bitpix != -32 && bitpix != -64) {
      return "BITPIX " + std::to_string(bitpix) + " is not a sample size";
    }
    if (naxis < 0 || naxis > kMaxAxes || pcount < 0 || gcount < 0) return "NAXIS, PCOUNT or GCOUNT is out of range";
    std::vector<std::int64_t> axes(static_cast<std::size_t>(naxis));
    for (std::int64_t i = 0; i < naxis; ++i) {
      if (!Integer(cards, "NAXIS" + std::to_string(i + 1), -1, axes[i]) || axes[i] < 0) {
        return "NAXIS" + std::to_string(i + 1) + " is missing or out of range";
      }
    }

    Unit unit;
    const std::string extension = Text(cards, "XTENSION");
    const bool groups = primary && Text(cards, "GROUPS") == "T" && naxis > 0 && axes[0] == 0;
    if ((primary && !groups) || extension == "IMAGE" || extension == "IUEIMAGE") {
      DescribeArray(cards, bitpix, axes, "None", unit);
    } else if (extension == "BINTABLE" && Text(cards, "ZIMAGE") == "T") {
      DescribeTiled(cards, unit);
    }
    iUnits.push_back(unit);

    // The data: |BITPIX| bits times GCOUNT times (PCOUNT + the product of the
    // axes, the first left out for random groups), in whole blocks.  Data
    // larger than the file ends the walk after this unit.
    const std::uint64_t room = r.Size();
    std::uint64_t elements = naxis > 0 ? 1 : 0, groupBytes = 0, bytes = 0;
    for (std::int64_t i = groups ? 1 : 0; i < naxis; ++i) {
      if (!ProductWithin(elements, static_cast<std::uint64_t>(axes[i]), room, elements)) return {};
    }
    if (!ProductWithin(static_cast<std::uint64_t>(std::abs(bitpix) / 8), static_cast<std::uint64_t>(gcount), room,
                       groupBytes) ||
        !ProductWithin(groupBytes, elements + static_cast<std::uint64_t>(pcount), room, bytes)) {
      return {};
    }
    if (naxis == 0) bytes = 0;
    iNext = data + (bytes + kBlock - 1) / kBlock * kBlock;
    iDone = iNext >= room;
    return {};
  }

  // Reads the cards at iNext up to END; `data` is where the data starts.
  std::string ReadHeader(ByteReader& r, Cards& cards, std::uint64_t& data) {
    for (int block = 0; block < kMaxHeaderBlocks; ++block) {
      const std::uint64_t at = iNext + block * kBlock;
      const std::string text = r.Text(at, kBlock);
      for (std::size_t c = 0; c < text.size() / kCard; ++c) {
        const std::string card = text.substr(c * kCard, kCard);
        const std::string key = TrimPadding(card.substr(0, 8));
        if (key == "END") {
          data = at + kBlock;
          return {};
        }
        if (card.compare(8, 2, "= ") == 0) cards.emplace(key, CardValue(card));
      }
      if (text.size() < kBlock) return "a header is cut short";
    }
    return "a header does not end within " + std::to_string(kMaxHeaderBlocks) + " blocks";
  }

  // An array of `axes`: NAXIS1 columns, NAXIS2 rows, a plane for each
  // combination of the further axes.
  static void DescribeArray(const Cards& cards, std::int64_t bitpix, const std::vector<std::int64_t>& axes,
                            const std::string& compression, Unit& unit) {
    if (axes.empty() || axes[0] <= 0 || axes[0] > 0xFFFFFFFF) return;
    const std::int64_t rows = axes.size() > 1 ? axes[1] : 1;
    if (rows <= 0 || rows > 0xFFFFFFFF) return;
    std::uint64_t planes = 1;
    for (std::size_t i = 2; i < axes.size(); ++i) {
      if (!ProductWithin(planes, static_cast<std::uint64_t>(axes[i]), 0xFFFFFFFF, planes)) return;
    }
    if (planes == 0) return;
    unit.planes = planes;
    ImageDescription& d = unit.image;
    d.columns = static_cast<std::uint32_t>(axes[0]);
    d.rows = static_cast<std::uint32_t>(rows);
    d.channelEncoding = PXC_CE_GRAY;
    d.inks = 1;
    d.extended.emplace_back("Compression", compression);
    d.extended.emplace_back("BitsPerSample", std::to_string(std::abs(bitpix)));
    d.extended.emplace_back("SampleFormat", bitpix < 0 ? "float" : bitpix == 8 ? "unsigned integer" : "signed integer");
    std::string dimensions;
    for (std::int64_t axis : axes) dimensions += (dimensions.empty() ? "" : "x") + std::to_string(axis);
    d.extended.emplace_back("Dimensions", dimensions);
    for (const auto& [key, name] : {std::pair<const char*, const char*>{"EXTNAME", "ExtensionName"},
                                    {"OBJECT", "Object"}, {"TELESCOP", "Telescope"}, {"INSTRUME", "Instrument"}}) {
      if (std::string value = Text(cards, key); !value.empty()) d.extended.emplace_back(name, value);
    }
  }

  // A tile-compressed image: its own BITPIX and axes in Z cards.
  static void DescribeTiled(const Cards& cards, Unit& unit) {
    std::int64_t bitpix = 0, naxis = 0;
    if (!Integer(cards, "ZBITPIX", 0, bitpix) || !Integer(cards, "ZNAXIS", 0, naxis)) return;
    if (naxis <= 0 || naxis > kMaxAxes || (bitpix != 8 && bitpix != 16 && bitpix != 32 && bitpix != 64 &&
                                           bitpix != -32 && bitpix != -64)) {
      return;
    }
    std::vector<std::int64_t> axes(static_cast<std::size_t>(naxis));
    for (std::int64_t i = 0; i < naxis; ++i) {
      if (!Integer(cards, "ZNAXIS" + std::to_string(i + 1), -1, axes[i]) || axes[i] <= 0) return;
    }
    const std::string compression = Text(cards, "ZCMPTYPE");
    DescribeArray(cards, bitpix, axes, compression.empty() ? "tiled" : compression, unit);
  }

  const ByteSource* iSource = nullptr;
  std::vector<Unit> iUnits;
  std::uint64_t iNext = 0;  // where the next unit starts
  bool iDone = false;
};

}  // namespace

std::unique_ptr<FormatReader> MakeFitsReader() { return std::make_unique<FitsReader>(); }
IMR_READER(FITS, MakeFitsReader);

}  // namespace imr::formats
