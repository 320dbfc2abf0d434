// Device-independent bitmaps without a file header, as the clipboard holds
// them: a BITMAPINFOHEADER (or its V4 and V5 extensions) at offset 0, the
// colour table and the pixels.  Nothing but the header marks the format, so
// its fields must be plausible and the sizes it implies must match the
// file's.
#include <algorithm>
#include <string>

#include "formats/common/byte_reader.h"
#include "formats/common/reader_registry.h"
#include "formats/raster/dib_util.h"
#include "formats/raster/raster_reader.h"

namespace imr::formats {

namespace {

// Clipboard blocks may be rounded up to a multiple of 16 bytes.
constexpr std::uint64_t kSlack = 16;

class DibReader : public PreparedReader {
 public:
  bool Open(const ByteSource& source) override {
    iImages.clear();
    ByteReader r(source, true);
    const std::uint32_t headerSize = r.U32(0);
    if (r.Failed() || (headerSize != 40 && headerSize != 108 && headerSize != 124)) return false;
    DibHeader dib;
    if (!ReadDibHeader(r, 0, dib)) return Refuse("the bitmap header's fields cannot describe a bitmap");
    const std::uint64_t pixels = DibPixelBytes(dib);
    if (pixels == 0) return Refuse("a compressed bitmap that does not state its size");
    // The colour table: what the bit count addresses, or the colours in use
    // that direct-colour bitmaps may list for palette devices.
    const std::uint64_t entries = dib.bitCount <= 8 ? DibPaletteEntries(dib) : dib.colorsUsed;
    std::uint64_t end = dib.paletteOffset + entries * dib.paletteEntrySize + pixels;
    if (dib.profileSize > 0 && dib.profileOffset > 0) end = std::max(end, std::uint64_t{dib.profileOffset} + dib.profileSize);
    if (r.Size() < end || r.Size() - end >= kSlack) {
      return Refuse("the file holds " + std::to_string(r.Size()) + " bytes where the header implies " +
                    std::to_string(end));
    }
    ImageDescription out;
    out.version = headerSize == 40 ? "3" : headerSize == 108 ? "4" : "5";
    DescribeDib(r, dib, 0, out);
    iImages.push_back(std::move(out));
    return true;
  }
};

}  // namespace

std::unique_ptr<FormatReader> MakeDibReader() { return std::make_unique<DibReader>(); }
IMR_READER(DIB, MakeDibReader);

}  // namespace imr::formats
