// Kodak Photo CD image packs: the image pack information at 2048
// ("PCD_IPI"), its attributes at 0xE02 (orientation, the highest resolution
// of the pack), and the images at fixed places: Base/16 (192 x 128) from
// sector 4, Base/4 from sector 23, Base (768 x 512) from sector 96, then the
// Huffman-coded 4Base and 16Base extensions.  Pixels are PhotoYCC, luma at
// full and both chroma planes at half resolution.
#include <iterator>
#include <string>

#include "formats/common/byte_reader.h"
#include "formats/common/reader_registry.h"
#include "formats/raster/raster_reader.h"

namespace imr::formats {

namespace {

constexpr std::uint64_t kPackInfo = 0x800;
constexpr std::uint64_t kAttributes = 0xE02;
constexpr std::uint64_t kSector = 0x800;

struct Resolution {
  const char* name;
  std::uint32_t columns, rows;
  std::uint64_t sector;  // where its pixels start (0: past the Base image)
  PXC_TImageType type;
};

// In the order they are reported: the Base image first.
constexpr Resolution kResolutions[] = {
    {"Base", 768, 512, 96, PXC_IT_MAIN},          {"Base/16", 192, 128, 4, PXC_IT_THUMBNAIL},
    {"Base/4", 384, 256, 23, PXC_IT_PREVIEW},     {"4Base", 1536, 1024, 0, PXC_IT_MAIN},
    {"16Base", 3072, 2048, 0, PXC_IT_MAIN},
};

const char* const kMedia[] = {"Color negative", "Color reversal", "Color hard copy", "Thermal hard copy",
                              "Black and white negative", "Black and white reversal",
                              "Black and white hard copy", "Internegative", "Synthetic image"};

// Where the uncompressed YCC image of `r` ends.
std::uint64_t End(const Resolution& r) {
  return r.sector * kSector + std::uint64_t{r.columns} * r.rows * 3 / 2;
}

class PcdReader : public PreparedReader {
 public:
  bool Open(const ByteSource& source) override {
    iImages.clear();
    ByteReader r(source);
    if (r.Text(kPackInfo, 7) != "PCD_IPI") return false;
    const std::uint8_t attributes = r.U8(kAttributes);
    if (r.Failed()) return Refuse("the image pack attributes are cut short");
    const std::uint8_t major = r.U8(kPackInfo + 7), minor = r.U8(kPackInfo + 8);
    const std::uint8_t medium = r.U8(kPackInfo + 21);
    // Turns to show the picture upright, as Photo CD players do.
    static constexpr PXC_TImageRotation kRotations[] = {PXC_IR_NONE, PXC_IR_270, PXC_IR_180, PXC_IR_90};
    const std::uint32_t highest = (attributes >> 2) & 0x03;  // 0 Base, 1 4Base, 2 16Base
    if (highest == 3) return Refuse("an unknown highest resolution in the image pack attributes");

    const std::uint64_t baseEnd = End(kResolutions[0]);
    for (std::size_t i = 0; i < std::size(kResolutions); ++i) {
      const Resolution& res = kResolutions[i];
      // The Base image is the pack's picture even when the file is cut
      // short; the others count only when the file holds them.
      const bool held = i == 0 || (res.sector != 0 ? End(res) <= r.Size()
                                                   : i - 2 <= highest && r.Size() > baseEnd);
      if (!held) continue;
      ImageDescription out;
      out.type = res.type;
      if (major != 0 || minor != 0) out.version = std::to_string(major) + "." + std::to_string(minor);
      out.columns = res.columns;
      out.rows = res.rows;
      out.rotation = kRotations[attributes & 0x03];
      out.channelEncoding = PXC_CE_YCBCR;
      out.inks = 3;
      out.extended.emplace_back("Compression", res.sector != 0 ? "None" : "Huffman");
      out.extended.emplace_back("BitsPerSample", "8");
      out.extended.emplace_back("Resolution", res.name);
      if (!out.version.empty() && medium < std::size(kMedia)) out.extended.emplace_back("ImageMedium", kMedia[medium]);
      iImages.push_back(std::move(out));
    }
    return true;
  }
};

}  // namespace

std::unique_ptr<FormatReader> MakePcdReader() { return std::make_unique<PcdReader>(); }
IMR_READER(PCD, MakePcdReader);

}  // namespace imr::formats
