// Windows Metafile: the placeable header's bounding box in logical units and
// its units per inch; without one, the window extent the first records set.
#include <cstdlib>

#include "formats/common/byte_reader.h"
#include "formats/common/reader_registry.h"
#include "formats/vector/vector_readers.h"

namespace imr::formats {
namespace {

constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr std::uint64_t kPlaceableSize = 22;
constexpr int kMaxRecords = 4096;  // records looked at for the window extent
constexpr std::uint16_t kSetWindowExt = 0x020C;

class WmfReader : public PreparedReader {
 public:
  bool Open(const ByteSource& source) override {
    iImages.clear();
    ByteReader r(source, true);
    const bool placeable = r.U32(0) == kPlaceableKey;
    const std::uint64_t header = placeable ? kPlaceableSize : 0;
    const std::uint16_t type = r.U16(header), words = r.U16(header + 2), version = r.U16(header + 4);
    if (r.Failed()) return placeable ? Refuse("the file ends inside its headers") : false;
    if ((type != 1 && type != 2) || words != 9 || (version != 0x0100 && version != 0x0300)) {
      return placeable ? Refuse("no metafile header follows the placeable header") : false;
    }
    ImageDescription d;
    d.version = version == 0x0300 ? "3.0" : "1.0";
    d.channelEncoding = PXC_CE_VECTOR;
    if (placeable) {
      const auto left = static_cast<std::int16_t>(r.U16(6)), top = static_cast<std::int16_t>(r.U16(8));
      const auto right = static_cast<std::int16_t>(r.U16(10)), bottom = static_cast<std::int16_t>(r.U16(12));
      const std::uint16_t perInch = r.U16(14);
      d.columns = static_cast<std::uint32_t>(std::abs(right - left));
      d.rows = static_cast<std::uint32_t>(std::abs(bottom - top));
      SetResolution(d, perInch, perInch);
      d.extended.emplace_back("UnitsPerInch", std::to_string(perInch));
    } else {
      WindowExtent(r, header + words * 2u, d);
    }
    d.extended.emplace_back("Objects", std::to_string(r.U16(header + 10)));
    iImages.push_back(d);
    return true;
  }

 private:
  // The first SetWindowExt record (height, then width) before the end record.
  static void WindowExtent(ByteReader& r, std::uint64_t at, ImageDescription& d) {
    for (int i = 0; i < kMaxRecords; ++i) {
      const std::uint64_t words = r.U32(at);
      const std::uint16_t function = r.U16(at + 4);
      if (r.Failed() || words < 3 || function == 0) return;
      if (function == kSetWindowExt && words >= 5) {
        const auto height = static_cast<std::int16_t>(r.U16(at + 6));
        const auto width = static_cast<std::int16_t>(r.U16(at + 8));
        if (r.Failed()) return;
        d.columns = static_cast<std::uint32_t>(std::abs(width));
        d.rows = static_cast<std::uint32_t>(std::abs(height));
        return;
      }
      at += words * 2;
    }
  }
};

}  // namespace

std::unique_ptr<FormatReader> MakeWmfReader() { return std::make_unique<WmfReader>(); }
IMR_READER(WMF, MakeWmfReader);

}  // namespace imr::formats
