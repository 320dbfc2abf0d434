// CALS raster type 1: a header of sixteen 128-byte text records
// ("srcdocid: ...", "rtype: 1", "rorient: 000,270", "rpelcnt: W,H",
// "rdensty: DPI", ...), then one CCITT Group 4 coded page.
#include <string>

#include "formats/common/byte_reader.h"
#include "formats/common/reader_registry.h"
#include "formats/common/tiff_structure.h"
#include "formats/raster/raster_reader.h"
#include "formats/raster/text_header.h"

namespace imr::formats {

namespace {

constexpr std::uint64_t kRecordSize = 128;
constexpr int kRecords = 16;

// The TIFF orientation that "rorient: PATH,PROGRESSION" states, as
// ImageMagick reads it: the pel path turns the picture, a line progression
// of 90 mirrors it.
std::uint64_t Orientation(std::uint32_t path, std::uint32_t progression) {
  const std::uint64_t turned = path == 90 ? 5 : path == 180 ? 3 : path == 270 ? 7 : 1;
  return progression == 90 ? turned + 1 : turned;
}

class CalsReader : public PreparedReader {
 public:
  bool Open(const ByteSource& source) override {
    iImages.clear();
    ByteReader r(source);
    if (r.Size() < kRecordSize * kRecords) {
      return r.Text(0, 9) == "srcdocid:" ? Refuse("the header records are cut short") : false;
    }
    bool type = false, size = false;
    std::uint32_t rtype = 0, width = 0, height = 0, dpi = 0, path = 0, progression = 270;
    for (int i = 0; i < kRecords; ++i) {
      const std::string record = r.Text(kRecordSize * i, kRecordSize);
      const std::size_t colon = record.find(':');
      if (colon == std::string::npos) continue;
      const std::string key = record.substr(0, colon);
      TextCursor value(record, colon + 1);
      if (key == "rtype") {
        type = value.Number(rtype);
      } else if (key == "rpelcnt") {
        size = value.Number(width) && value.Skip(',') && value.Number(height);
      } else if (key == "rdensty") {
        value.Number(dpi);
      } else if (key == "rorient") {
        if (!value.Number(path) || !value.Skip(',') || !value.Number(progression)) {
          path = 0;
          progression = 270;
        }
      }
    }
    if (!type && !size) return false;  // no CALS records
    if (!type) return Refuse("the rtype record is missing");
    if (rtype != 1) return Refuse("raster type " + std::to_string(rtype) + " (only type 1 is read)");
    if (!size) return Refuse("the rpelcnt record does not hold the width and height");
    if (width == 0 || height == 0) return Refuse("the width or height is 0");

    ImageDescription out;
    out.version = "1";
    out.columns = width;
    out.rows = height;
    SetResolution(out, dpi, dpi);
    out.rotation = tiff::RotationFromOrientation(Orientation(path, progression));
    out.channelEncoding = PXC_CE_BILEVEL;
    out.inks = 1;
    out.extended.emplace_back("Compression", "CCITT Group 4");
    out.extended.emplace_back("BitsPerSample", "1");
    iImages.push_back(std::move(out));
    return true;
  }
};

}  // namespace

std::unique_ptr<FormatReader> MakeCalsReader() { return std::make_unique<CalsReader>(); }
IMR_READER(CALS, MakeCalsReader);

}  // namespace imr::formats
