// FLIF: the header byte that gives channels, interlacing and animation, the
// bytes per channel, and the size as variable-length numbers.
#include "formats/codec/codec_readers.h"
#include "formats/codec/ue7.h"
#include "formats/common/byte_reader.h"
#include "formats/common/reader_registry.h"

namespace imr::formats {
namespace {

class FlifReader : public PreparedReader {
 public:
  bool Open(const ByteSource& source) override {
    iImages.clear();
    ByteReader r(source);
    if (r.U32BE(0) != FourCC("FLIF")) return false;
    const std::uint8_t kind = r.U8(4), bytes = r.U8(5);
    const unsigned channels = kind & 0x0F, variant = (kind >> 4) - 3;  // 0 plain, 1 interlaced, 2 and 3 animated
    if (kind < 0x30 || variant > 3 || (channels != 1 && channels != 3 && channels != 4)) {
      return Refuse("the header byte " + std::to_string(kind) + " is not a known kind of image");
    }
    if (bytes < '0' || bytes > '2') return Refuse("bytes per channel '" + std::string(1, char(bytes)) + "' is not known");
    std::uint64_t at = 6, width = 0, height = 0, frames = 1;
    if (!ReadUe7(r, at, width) || !ReadUe7(r, at, height) || (variant >= 2 && !ReadUe7(r, at, frames))) {
      return Refuse("the file ends inside the image size");
    }
    if (variant >= 2) frames += 2;
    if (width >= 0xFFFFFFFF || height >= 0xFFFFFFFF) return Refuse("the image size is out of range");
    ImageDescription d;
    d.columns = static_cast<std::uint32_t>(width + 1);
    d.rows = static_cast<std::uint32_t>(height + 1);
    d.channelEncoding = channels == 1 ? PXC_CE_GRAY : PXC_CE_RGB;
    d.inks = channels == 1 ? 1 : 3;
    if (channels == 4) d.alphaPlane = PXC_AP_UNASSOCIATED;
    d.extended.emplace_back("Compression", "MANIAC");
    if (bytes != '0') d.extended.emplace_back("BitsPerSample", bytes == '1' ? "8" : "16");
    if (variant & 1) d.extended.emplace_back("Interlace", "yes");
    if (variant >= 2) d.extended.emplace_back("Frames", std::to_string(frames));
    iImages.push_back(d);
    return true;
  }
};

}  // namespace

std::unique_ptr<FormatReader> MakeFlifReader() { return std::make_unique<FlifReader>(); }
IMR_READER(FLIF, MakeFlifReader);

}  // namespace imr::formats
