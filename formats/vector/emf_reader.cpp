// Enhanced Metafile: the header record's picture frame (in 0.01 mm) at the
// resolution of the reference device (its size in pixels and millimetres),
// and the description's first string, the writing application.
#include <algorithm>
#include <cmath>
#include <vector>

#include "formats/common/byte_reader.h"
#include "formats/common/reader_registry.h"
#include "formats/common/text_util.h"
#include "formats/vector/vector_readers.h"

namespace imr::formats {
namespace {

constexpr std::uint64_t kMinHeader = 88;
constexpr std::uint32_t kMaxDescription = 512;  // UTF-16 units read

class EmfReader : public PreparedReader {
 public:
  bool Open(const ByteSource& source) override {
    iImages.clear();
    ByteReader r(source, true);
    if (r.U32(0) != 1 || r.Text(40, 4) != " EMF") return false;
    const std::uint32_t headerSize = r.U32(4);
    const auto Signed = [&r](std::uint64_t at) { return static_cast<std::int32_t>(r.U32(at)); };
    const std::int64_t bounds[4] = {Signed(8), Signed(12), Signed(16), Signed(20)};
    const std::int64_t frame[4] = {Signed(24), Signed(28), Signed(32), Signed(36)};
    const std::uint32_t descriptionChars = r.U32(60), descriptionAt = r.U32(64);
    const std::int64_t devicePixels[2] = {Signed(72), Signed(76)};
    const std::int64_t deviceMm[2] = {Signed(80), Signed(84)};
    if (r.Failed() || headerSize < kMinHeader) return Refuse("the header record is cut short");

    ImageDescription d;
    d.channelEncoding = PXC_CE_VECTOR;
    // 0x10000 in every writer's files: major version 1.
    if (const std::uint32_t version = r.U32(44); version >> 16 != 0) d.version = std::to_string(version >> 16);
    const double frameWidth = (frame[2] - frame[0]) / 2540.0, frameHeight = (frame[3] - frame[1]) / 2540.0;
    if (devicePixels[0] > 0 && devicePixels[1] > 0 && deviceMm[0] > 0 && deviceMm[1] > 0 && frameWidth > 0 &&
        frameHeight > 0) {
      const double x = devicePixels[0] * 25.4 / deviceMm[0], y = devicePixels[1] * 25.4 / deviceMm[1];
      const double columns = std::round(frameWidth * x), rows = std::round(frameHeight * y);
      if (columns > 0x7FFFFFFF || rows > 0x7FFFFFFF) return Refuse("the picture frame is out of range");
      d.columns = static_cast<std::uint32_t>(columns);
      d.rows = static_cast<std::uint32_t>(rows);
      SetResolution(d, x, y);
      d.hRealSize = frameWidth;
      d.vRealSize = frameHeight;
    } else if (bounds[2] >= bounds[0] && bounds[3] >= bounds[1]) {
      // Bounds are inclusive device pixels.
      d.columns = static_cast<std::uint32_t>(std::min<std::int64_t>(bounds[2] - bounds[0] + 1, 0x7FFFFFFF));
      d.rows = static_cast<std::uint32_t>(std::min<std::int64_t>(bounds[3] - bounds[1] + 1, 0x7FFFFFFF));
    }
    if (descriptionChars > 0 && descriptionAt >= kMinHeader) {
      const std::uint32_t chars = std::min(descriptionChars, kMaxDescription);
      std::vector<std::uint8_t> units(chars * 2u);
      if (r.Bytes(descriptionAt, units.data(), units.size())) {
        std::string software;
        AppendUtf16(software, units.data(), chars, true);
        software = TrimPadding(software);
        if (!software.empty()) d.extended.emplace_back("Software", software);
      }
    }
    d.extended.emplace_back("Records", std::to_string(r.U32(52)));
    iImages.push_back(d);
    return true;
  }
};

}  // namespace

std::unique_ptr<FormatReader> MakeEmfReader() { return std::make_unique<EmfReader>(); }
IMR_READER(EMF, MakeEmfReader);

}  // namespace imr::formats
