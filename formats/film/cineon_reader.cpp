// Kodak Cineon (.cin) in either byte order: the generic file header, the
// image information with up to eight channel records, and the image data
// format.  The first channel's record gives the size and bit depth.
#include <string>

#include "formats/common/byte_reader.h"
#include "formats/common/reader_registry.h"
#include "formats/film/film_reader.h"
#include "formats/film/film_util.h"

namespace imr::formats {
namespace {

constexpr std::uint32_t kMagic = 0x802A5FD7;
constexpr std::uint64_t kOrientation = 192;
constexpr std::uint64_t kChannels = 196;  // eight records of 28 bytes
constexpr std::uint64_t kDataFormat = 680;
constexpr std::uint64_t kMinimumHeader = 712;  // through the image data format

// Cineon orientation codes as EXIF orientations: 0 left to right, top to
// bottom; 1 bottom to top; 2 right to left; 3 both; 4-7 the same with lines
// running down columns.
constexpr std::uint64_t kExifOrientation[8] = {1, 4, 2, 3, 5, 6, 8, 7};

const char* PackingName(std::uint8_t code) {
  static const char* const kNames[] = {"packed",
                                       "8-bit words, left-justified",
                                       "8-bit words, right-justified",
                                       "16-bit words, left-justified",
                                       "16-bit words, right-justified",
                                       "32-bit words, left-justified",
                                       "32-bit words, right-justified"};
  return code < std::size(kNames) ? kNames[code] : nullptr;
}

class CineonReader : public PreparedReader {
 public:
  bool Open(const ByteSource& source) override {
    iImages.clear();
    ByteReader r(source);
    const std::uint32_t magic = r.U32BE(0);
    if (magic != kMagic && magic != __builtin_bswap32(kMagic)) return false;
    r.SetLittleEndian(magic != kMagic);
    if (r.Size() < kMinimumHeader) return Refuse("the file ends inside the image information header");

    const std::uint8_t orientation = r.U8(kOrientation), channels = r.U8(kOrientation + 1);
    const std::uint8_t bits = r.U8(kChannels + 2);
    const std::uint32_t width = r.U32(kChannels + 4), height = r.U32(kChannels + 8);
    const std::uint8_t interleave = r.U8(kDataFormat), packing = r.U8(kDataFormat + 1);
    if (channels == 0 || channels > 8) {
      return Refuse("the header lists " + std::to_string(channels) + " channels");
    }
    if (width == 0 || height == 0 || width == 0xFFFFFFFF || height == 0xFFFFFFFF) {
      return Refuse("the image size " + std::to_string(width) + " x " + std::to_string(height) + " is out of range");
    }
    if (bits == 0 || bits > 32) return Refuse("the first channel has " + std::to_string(bits) + " bits per sample");

    ImageDescription d;
    d.version = VersionField(r.Text(24, 8));
    d.columns = width;
    d.rows = height;
    d.channelEncoding = channels == 1 ? PXC_CE_GRAY : channels == 3 ? PXC_CE_RGB : PXC_CE_MULTICHANNEL;
    d.inks = channels;
    d.extended.emplace_back("BitsPerSample", std::to_string(bits));
    d.extended.emplace_back("Compression", "None");
    if (const char* name = PackingName(packing)) d.extended.emplace_back("Packing", name);
    if (channels > 1 && interleave <= 2) {
      static const char* const kInterleave[] = {"pixel", "line", "channel"};
      d.extended.emplace_back("Interleave", kInterleave[interleave]);
    }
    d.extended.emplace_back("ByteOrder", r.LittleEndian() ? "little-endian" : "big-endian");
    if (orientation < 8) SetScanOrientation(d, kExifOrientation[orientation]);
    iImages.push_back(d);
    return true;
  }
};

}  // namespace

std::unique_ptr<FormatReader> MakeCineonReader() { return std::make_unique<CineonReader>(); }
IMR_READER(CIN, MakeCineonReader);

}  // namespace imr::formats
