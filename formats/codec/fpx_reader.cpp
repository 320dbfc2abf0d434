// FlashPix: a compound document whose "Image Contents" property set gives
// the size of the highest resolution, the display size and its unit (hence
// the resolution) and the first subimage's colour space and sample format.
#include <cstring>
#include <map>

#include "formats/codec/codec_readers.h"
#include "formats/codec/ole_compound.h"
#include "formats/common/byte_reader.h"
#include "formats/common/reader_registry.h"

namespace imr::formats {
namespace {

constexpr std::size_t kMaxPropertySet = 65536;
constexpr std::uint32_t kMaxProperties = 1024;

enum : std::uint32_t {
  kWidth = 0x01000002,
  kHeight = 0x01000003,
  kDisplayHeight = 0x01000004,
  kDisplayWidth = 0x01000005,
  kDisplayUnits = 0x01000006,
  kSubimageColour = 0x02000002,
  kNumericalFormat = 0x02000003,
};

// Where each property's value (after its type) lies in the first section
// of a property set stream.
std::map<std::uint32_t, std::size_t> Properties(const std::string& set) {
  std::map<std::uint32_t, std::size_t> values;
  MemorySource source(set.data(), set.size());
  ByteReader r(source, true);
  if (r.U16(0) != 0xFFFE || r.U32(24) == 0) return values;
  const std::uint64_t section = r.U32(44);
  const std::uint32_t count = r.U32(section + 4);
  for (std::uint32_t i = 0; i < count && i < kMaxProperties && !r.Failed(); ++i) {
    const std::uint32_t id = r.U32(section + 8 + 8 * i);
    const std::uint64_t at = section + r.U32(section + 12 + 8 * i);
    if (!r.Failed() && at < set.size()) values[id] = static_cast<std::size_t>(at);
  }
  return values;
}

class FpxReader : public PreparedReader {
 public:
  bool Open(const ByteSource& source) override {
    iImages.clear();
    ole::CompoundFile file(source);
    std::string why;
    if (!file.Open(why)) return why.empty() ? false : Refuse(why);
    const ole::DirectoryEntry* contents = file.Find("\x05Image Contents");
    std::string set;
    if (!contents) return Refuse("the file has no Image Contents property set");
    if (!file.ReadStream(*contents, kMaxPropertySet, set)) return Refuse("the Image Contents property set is cut short");
    const std::map<std::uint32_t, std::size_t> properties = Properties(set);
    MemorySource setSource(set.data(), set.size());
    ByteReader r(setSource, true);
    // A value: its 32-bit type, then the value.
    const auto value = [&](std::uint32_t id, std::uint64_t offset = 0) -> std::uint64_t {
      const auto found = properties.find(id);
      return found == properties.end() ? 0 : r.U32(found->second + 4 + offset);
    };
    const auto real = [&](std::uint32_t id) {
      const std::uint32_t bits = static_cast<std::uint32_t>(value(id));
      float f;
      std::memcpy(&f, &bits, 4);
      return static_cast<double>(f);
    };
    ImageDescription d;
    d.columns = static_cast<std::uint32_t>(value(kWidth));
    d.rows = static_cast<std::uint32_t>(value(kHeight));
    if (d.columns == 0 || d.rows == 0) return Refuse("the image size properties are missing");
    static const double kInchesPerUnit[] = {1, 39.3700787, 1 / 2.54, 1 / 25.4};
    const std::uint64_t unit = value(kDisplayUnits);
    if (unit < 4) {
      const double inches = kInchesPerUnit[unit];
      SetResolution(d, d.columns / (real(kDisplayWidth) * inches), d.rows / (real(kDisplayHeight) * inches));
    }
    // A blob (its length, then 4 bytes, the number of channels and the
    // first channel's colour space in the upper half, whose top bit marks
    // it uncalibrated).
    const std::uint64_t channels = value(kSubimageColour, 8) & 0xFFFF;
    const std::uint64_t space = (value(kSubimageColour, 12) >> 16) & 0x7FFF;
    switch (space) {
      case 1: d.channelEncoding = PXC_CE_GRAY; d.inks = 1; break;
      case 2: d.channelEncoding = PXC_CE_YCBCR; d.inks = 3; break;
      case 3: d.channelEncoding = PXC_CE_RGB; d.inks = 3; break;
      default: break;
    }
    if (channels == static_cast<std::uint64_t>(d.inks) + 1) d.alphaPlane = PXC_AP_UNASSOCIATED;
    static const char* const kBits[] = {"8", "16", "32"};
    const std::uint64_t format = value(kNumericalFormat);
    if (format >= 17 && format <= 19) d.extended.emplace_back("BitsPerSample", kBits[format - 17]);
    d.extended.emplace_back("Compression", "FlashPix tiles");
    iImages.push_back(d);
    return true;
  }
};

}  // namespace

std::unique_ptr<FormatReader> MakeFpxReader() { return std::make_unique<FpxReader>(); }
IMR_READER(FPX, MakeFpxReader);

}  // namespace imr::formats
