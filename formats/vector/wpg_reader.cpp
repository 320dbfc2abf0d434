// WordPerfect graphics: the start record's drawing size.  Version 1 states
// it in 1/1200 inch; version 2 states its units per inch and a viewport in
// them.  Bitmap records of version 1 are counted.
#include <algorithm>
#include <cstdlib>

#include "formats/common/byte_reader.h"
#include "formats/common/reader_registry.h"
#include "formats/vector/vector_readers.h"

namespace imr::formats {
namespace {

constexpr int kMaxRecords = 100000;
constexpr double kVersion1PerInch = 1200;

// A record length: one byte, or 0xFF and 16 bits, whose top bit asks for
// 16 more.  Moves `at` past it.
std::uint64_t VariableLength(ByteReader& r, std::uint64_t& at) {
  std::uint64_t length = r.U8(at++);
  if (length != 0xFF) return length;
  length = r.U16(at);
  at += 2;
  if (length & 0x8000) {
    length = ((length & 0x7FFF) << 16) | r.U16(at);
    at += 2;
  }
  return length;
}

class WpgReader : public PreparedReader {
 public:
  bool Open(const ByteSource& source) override {
    iImages.clear();
    ByteReader r(source, true);
    if (r.Text(0, 4) != "\xFFWPC" || r.U8(8) != 1 || r.U8(9) != 0x16) return false;
    const std::uint8_t major = r.U8(10);
    std::uint64_t at = r.U32(4);
    if (r.Failed()) return Refuse("the file ends inside its header");
    if (major != 1 && major != 2) return Refuse("version " + std::to_string(major) + " is not read");
    if (r.U16(12) != 0) return Refuse("the file is encrypted");
    ImageDescription d;
    d.version = std::to_string(major);
    d.channelEncoding = PXC_CE_VECTOR;
    bool started = false;
    int bitmaps = 0;
    for (int i = 0; i < kMaxRecords && at < r.Size(); ++i) {
      std::uint8_t type = r.U8(at++);
      if (major == 2) {
        type = r.U8(at++);  // after the record class
        VariableLength(r, at);  // the extension's length: the record's length follows
      }
      const std::uint64_t length = VariableLength(r, at);
      if (r.Failed()) break;
      if (!started) {
        if (type != (major == 1 ? 0x0F : 0x01)) return Refuse("the first record is not the start record");
        if (!(major == 1 ? StartV1(r, at, d) : StartV2(r, at, d))) {
          return Refuse("the start record is cut short");
        }
        started = true;
        if (major == 2) break;  // bitmaps are not counted in version 2
      } else if (type == 0x10) {
        break;  // end of the drawing
      } else if (type == 0x0B || type == 0x14) {
        ++bitmaps;
      }
      if (length > r.Size() - at) break;
      at += length;
    }
    if (!started) return Refuse("the start record is missing");
    if (bitmaps > 0) d.extended.emplace_back("Bitmaps", std::to_string(bitmaps));
    iImages.push_back(d);
    return true;
  }

 private:
  static bool StartV1(ByteReader& r, std::uint64_t at, ImageDescription& d) {
    d.columns = r.U16(at + 2);
    d.rows = r.U16(at + 4);
    if (r.Failed()) return false;
    SetResolution(d, kVersion1PerInch, kVersion1PerInch);
    return true;
  }
  static bool StartV2(ByteReader& r, std::uint64_t at, ImageDescription& d) {
    const std::uint16_t x = r.U16(at), y = r.U16(at + 2);
    const bool wide = r.U8(at + 4) == 1;
    const auto Coordinate = [&](int i) -> std::int64_t {
      return wide ? static_cast<std::int32_t>(r.U32(at + 5 + 4 * i))
                  : static_cast<std::int16_t>(r.U16(at + 5 + 2 * i));
    };
    const std::int64_t x1 = Coordinate(0), y1 = Coordinate(1), x2 = Coordinate(2), y2 = Coordinate(3);
    if (r.Failed()) return false;
    d.columns = static_cast<std::uint32_t>(std::min<std::int64_t>(std::llabs(x2 - x1), 0x7FFFFFFF));
    d.rows = static_cast<std::uint32_t>(std::min<std::int64_t>(std::llabs(y2 - y1), 0x7FFFFFFF));
    SetResolution(d, x, y);
    return true;
  }
};

}  // namespace

std::unique_ptr<FormatReader> MakeWpgReader() { return std::make_unique<WpgReader>(); }
IMR_READER(WPG, MakeWpgReader);

}  // namespace imr::formats
