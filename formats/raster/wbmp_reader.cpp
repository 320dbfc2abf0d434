// Wireless bitmaps of type 0: a type and a header byte of 0, the width and
// height as multi-byte integers (seven bits a byte, high bit: more follow),
// then the rows of bits.  Nothing else marks the format, so the file's
// size must be exactly what the header implies.
#include <string>

#include "formats/common/byte_reader.h"
#include "formats/common/reader_registry.h"
#include "formats/raster/raster_reader.h"

namespace imr::formats {

namespace {

// The multi-byte integer at `at`, moving `at` past it; false when it runs
// past the file, has a leading zero group or needs more than 28 bits.
bool MultiByte(ByteReader& r, std::uint64_t& at, std::uint32_t& value) {
  value = 0;
  for (int i = 0; i < 4; ++i) {
    const std::uint8_t b = r.U8(at++);
    if (r.Failed() || (i == 0 && b == 0x80)) return false;
    value = (value << 7) | (b & 0x7F);
    if ((b & 0x80) == 0) return true;
  }
  return false;
}

class WbmpReader : public PreparedReader {
 public:
  bool Open(const ByteSource& source) override {
    iImages.clear();
    ByteReader r(source);
    if (r.U8(0) != 0 || r.U8(1) != 0 || r.Failed()) return false;
    std::uint64_t at = 2;
    std::uint32_t width = 0, height = 0;
    if (!MultiByte(r, at, width) || !MultiByte(r, at, height)) return Refuse("the width or height cannot be read");
    if (width == 0 || height == 0) return Refuse("the width or height is 0");
    const std::uint64_t size = at + (std::uint64_t{width} + 7) / 8 * height;
    if (size != r.Size()) {
      return Refuse("the file holds " + std::to_string(r.Size()) + " bytes where the header implies " +
                    std::to_string(size));
    }
    ImageDescription out;
    out.version = "0";
    out.columns = width;
    out.rows = height;
    out.channelEncoding = PXC_CE_BILEVEL;
    out.inks = 1;
    out.extended.emplace_back("Compression", "None");
    out.extended.emplace_back("BitsPerSample", "1");
    iImages.push_back(std::move(out));
    return true;
  }
};

}  // namespace

std::unique_ptr<FormatReader> MakeWbmpReader() { return std::make_unique<WbmpReader>(); }
IMR_READER(WBMP, MakeWbmpReader);

}  // namespace imr::formats
