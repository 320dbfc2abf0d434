// PGF: the header after the magic and header size: size, levels, bits per
// pixel, channels and the image mode (Photoshop's numbering, with PGF's own
// modes after 16).
#include "formats/codec/codec_readers.h"
#include "formats/common/byte_reader.h"
#include "formats/common/reader_registry.h"

namespace imr::formats {
namespace {

struct Mode {
  std::uint8_t code;
  PXC_TChannelEnc encoding;
  bool alpha;
};
constexpr Mode kModes[] = {
    {0, PXC_CE_BILEVEL, false},  {1, PXC_CE_GRAY, false},     {2, PXC_CE_INDEXED, false},
    {3, PXC_CE_RGB, false},      {4, PXC_CE_CMYK, false},     {7, PXC_CE_MULTICHANNEL, false},
    {8, PXC_CE_DUOTONE, false},  {9, PXC_CE_LAB, false},      {10, PXC_CE_GRAY, false},
    {11, PXC_CE_RGB, false},     {12, PXC_CE_LAB, false},     {13, PXC_CE_CMYK, false},
    {14, PXC_CE_MULTICHANNEL, false}, {15, PXC_CE_DUOTONE, false}, {17, PXC_CE_RGB, true},
    {18, PXC_CE_GRAY, false},    {19, PXC_CE_RGB, false},     {20, PXC_CE_RGB, false},
};

class PgfReader : public PreparedReader {
 public:
  bool Open(const ByteSource& source) override {
    iImages.clear();
    ByteReader r(source, true);
    if (r.Text(0, 3) != "PGF") return false;
    const std::uint8_t version = r.U8(3);
    const std::uint32_t width = r.U32(8), height = r.U32(12);
    const std::uint8_t levels = r.U8(16), quality = r.U8(17), bpp = r.U8(18), channels = r.U8(19), code = r.U8(20);
    const std::uint8_t usedBits = r.U8(21);
    if (r.Failed()) return Refuse("the file ends inside the header");
    const Mode* mode = nullptr;
    for (const Mode& m : kModes) mode = m.code == code ? &m : mode;
    if (!mode) return Refuse("image mode " + std::to_string(code) + " is not known");
    if (channels == 0 || channels > 8) return Refuse(std::to_string(channels) + " channels are out of range");
    ImageDescription d;
    d.version = version & 0x40 ? "7" : version & 0x20 ? "6" : version & 0x10 ? "5" : "2";
    d.columns = width;
    d.rows = height;
    d.channelEncoding = mode->encoding;
    d.alphaPlane = mode->alpha ? PXC_AP_UNASSOCIATED : PXC_AP_NONE;
    d.inks = static_cast<std::uint16_t>(mode->alpha ? channels - 1 : channels);
    d.extended.emplace_back("Compression", "PGF wavelet");
    d.extended.emplace_back("BitsPerSample", std::to_string(usedBits ? usedBits : bpp / channels));
    d.extended.emplace_back("Levels", std::to_string(levels));
    d.extended.emplace_back("Quality", std::to_string(quality));
    iImages.push_back(d);
    return true;
  }
};

}  // namespace

std::unique_ptr<FormatReader> MakePgfReader() { return std::make_unique<PgfReader>(); }
IMR_READER(PGF, MakePgfReader);

}  // namespace imr::formats
