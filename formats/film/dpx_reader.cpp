// DPX (Digital Picture Exchange), versions 1.0 and 2.0 in either byte order:
// the file header, the image information header with up to eight image
// elements, and the orientation, film and television headers after it.
// Image 0 is the picture all elements make up, described with the first
// element's sampling; each further element (a separate alpha, the other eye
// of a stereo pair) is an auxiliary image of its own.
#include <bit>
#include <cmath>
#include <string>

#include "formats/common/byte_reader.h"
#include "formats/common/reader_registry.h"
#include "formats/common/text_util.h"
#include "formats/film/film_reader.h"
#include "formats/film/film_util.h"

namespace imr::formats {
namespace {

constexpr std::uint64_t kImageHeader = 768;   // orientation, element count, size
constexpr std::uint64_t kElements = 780;      // eight element records of 72 bytes
constexpr std::uint64_t kElementSize = 72;
constexpr std::uint64_t kMinimumHeader = kElements + 8 * kElementSize;
constexpr std::uint64_t kPixelAspect = 1628;  // orientation header: two integers
constexpr std::uint64_t kFilmFrameRate = 1724;
constexpr std::uint64_t kVideoFrameRate = 1940;
constexpr std::uint32_t kUndefined = 0xFFFFFFFF;

// DPX orientation codes as EXIF orientations: 0 left to right, top to
// bottom; 1 right to left; 2 bottom to top; 3 both; 4-7 the same with lines
// running down columns.
constexpr std::uint64_t kExifOrientation[8] = {1, 2, 4, 3, 5, 6, 8, 7};

struct Element {
  std::uint8_t descriptor = 0, transfer = 0, bits = 0;
  std::uint16_t packing = 0, encoding = 0;
  std::string description;
};

// What an element descriptor holds.
struct Components {
  PXC_TChannelEnc encoding = PXC_CE_UNKNOWN;
  std::uint16_t inks = 0;
  bool alpha = false;
  const char* name = "user-defined";
};

Components ComponentsOf(std::uint8_t descriptor) {
  switch (descriptor) {
    case 1: return {PXC_CE_RGB, 1, false, "R"};
    case 2: return {PXC_CE_RGB, 1, false, "G"};
    case 3: return {PXC_CE_RGB, 1, false, "B"};
    case 4: return {PXC_CE_UNKNOWN, 0, true, "A"};
    case 6: return {PXC_CE_GRAY, 1, false, "Y"};
    case 7: return {PXC_CE_YCBCR, 2, false, "CbCr"};
    case 8: return {PXC_CE_GRAY, 1, false, "Z"};
    case 9: return {PXC_CE_GRAY, 1, false, "composite video"};
    case 50: return {PXC_CE_RGB, 3, false, "RGB"};
    case 51: return {PXC_CE_RGB, 3, true, "RGBA"};
    case 52: return {PXC_CE_RGB, 3, true, "ABGR"};
    case 100: return {PXC_CE_YCBCR, 3, false, "CbYCrY 4:2:2"};
    case 101: return {PXC_CE_YCBCR, 3, true, "CbYACrYA 4:2:2:4"};
    case 102: return {PXC_CE_YCBCR, 3, false, "CbYCr 4:4:4"};
    case 103: return {PXC_CE_YCBCR, 3, true, "CbYCrA 4:4:4:4"};
    default: break;
  }
  if (descriptor >= 150 && descriptor <= 156) {  // user-defined 2 to 8 components
    return {PXC_CE_MULTICHANNEL, static_cast<std::uint16_t>(descriptor - 148), false, "user-defined"};
  }
  return {};
}

const char* TransferName(std::uint8_t code) {
  static const char* const kNames[] = {
      "user-defined", "printing density", "linear", "logarithmic", "video, not stated", "SMPTE 274M",
      "ITU-R 709-4", "ITU-R 601-5 B or G", "ITU-R 601-5 M", "NTSC composite", "PAL composite",
      "Z linear", "Z homogeneous"};
  return code < std::size(kNames) ? kNames[code] : nullptr;
}

const char* PackingName(std::uint16_t code) {
  switch (code) {
    case 0: return "packed";
    case 1: return "filled, method A";
    case 2: return "filled, method B";
    default: return nullptr;
  }
}

// A 4-byte field that is set: neither all ones nor, for reals, NaN.
bool Defined(std::uint32_t bits) { return bits != kUndefined; }
bool DefinedReal(std::uint32_t bits) {
  const float value = std::bit_cast<float>(bits);
  return std::isfinite(value) && value > 0;
}

void AddElementDetails(const Element& e, ImageDescription& out) {
  out.extended.emplace_back("BitsPerSample", std::to_string(e.bits));
  out.extended.emplace_back("Compression", e.encoding == 1 ? "RLE" : "None");
  if (const char* packing = PackingName(e.packing)) out.extended.emplace_back("Packing", packing);
  out.extended.emplace_back("Descriptor", ComponentsOf(e.descriptor).name);
  if (const char* transfer = TransferName(e.transfer)) out.extended.emplace_back("Transfer", transfer);
  if (!e.description.empty()) out.extended.emplace_back("Description", e.description);
}

// A padded text field; empty when unset (DPX fills unset fields with 0xFF).
std::string TextField(ByteReader& r, std::uint64_t at, std::size_t length) {
  std::string text = TrimPadding(r.Text(at, length));
  if (!text.empty() && static_cast<unsigned char>(text[0]) == 0xFF) return {};
  return Latin1ToUtf8(text);
}

class DpxReader : public PreparedReader {
 public:
  bool Open(const ByteSource& source) override {
    iImages.clear();
    ByteReader r(source);
    const std::uint32_t magic = r.U32BE(0);
    if (magic != FourCC("SDPX") && magic != FourCC("XPDS")) return false;
    r.SetLittleEndian(magic == FourCC("XPDS"));
    if (r.Size() < kMinimumHeader) return Refuse("the file ends inside the image information header");

    const std::uint16_t orientation = r.U16(kImageHeader);
    const std::uint16_t count = r.U16(kImageHeader + 2);
    const std::uint32_t width = r.U32(kImageHeader + 4), height = r.U32(kImageHeader + 8);
    if (count == 0 || count > 8) return Refuse("the header lists " + std::to_string(count) + " image elements");
    if (width == 0 || height == 0 || !Defined(width) || !Defined(height)) {
      return Refuse("the image size " + std::to_string(width) + " x " + std::to_string(height) + " is out of range");
    }
    Element elements[8];
    Components picture;
    for (std::uint16_t i = 0; i < count; ++i) {
      const std::uint64_t at = kElements + i * kElementSize;
      Element& e = elements[i];
      e.descriptor = r.U8(at + 20);
      e.transfer = r.U8(at + 21);
      e.bits = r.U8(at + 23);
      e.packing = r.U16(at + 24);
      e.encoding = r.U16(at + 26);
      e.description = TextField(r, at + 40, 32);
      if (e.bits == 0 || e.bits > 64) {
        return Refuse("image element " + std::to_string(i + 1) + " has " + std::to_string(e.bits) +
                      " bits per sample");
      }
      // The picture: the richest colour model among the elements (an element
      // of one or two components, R or CbCr, stands for its model), and alpha
      // when any element carries it.
      const Components c = ComponentsOf(e.descriptor);
      const std::uint16_t inks = c.encoding == PXC_CE_RGB || c.encoding == PXC_CE_YCBCR ? 3 : c.inks;
      if (inks > picture.inks) {
        picture.encoding = c.encoding;
        picture.inks = inks;
      }
      picture.alpha |= c.alpha;
    }
    if (r.Failed()) return Refuse("the file ends inside the image information header");

    ImageDescription main;
    main.version = VersionField(r.Text(8, 8));
    main.columns = width;
    main.rows = height;
    main.channelEncoding = picture.encoding;
    main.inks = picture.inks;
    main.alphaPlane = picture.alpha ? PXC_AP_UNASSOCIATED : PXC_AP_NONE;
    AddElementDetails(elements[0], main);
    main.extended.emplace_back("ByteOrder", r.LittleEndian() ? "little-endian" : "big-endian");
    if (orientation < 8) SetScanOrientation(main, kExifOrientation[orientation]);
    if (count > 1) main.extended.emplace_back("Elements", std::to_string(count));
    const std::uint32_t aspectX = r.U32(kPixelAspect), aspectY = r.U32(kPixelAspect + 4);
    if (!r.Failed() && aspectX != 0 && aspectY != 0 && Defined(aspectX) && Defined(aspectY) &&
        aspectX != aspectY) {
      main.extended.emplace_back("PixelAspectRatio", std::to_string(aspectX) + ":" + std::to_string(aspectY));
    }
    for (std::uint64_t at : {kFilmFrameRate, kVideoFrameRate}) {
      const std::uint32_t bits = r.U32(at);
      if (!r.Failed() && DefinedReal(bits)) {
        main.extended.emplace_back("FrameRate", DecimalText(std::bit_cast<float>(bits)));
        break;
      }
    }
    if (std::string creator = TextField(r, 160, 100); !creator.empty()) {
      main.extended.emplace_back("Software", creator);
    }
    iImages.push_back(main);

    for (std::uint16_t i = 1; i < count; ++i) {
      ImageDescription aux;
      aux.version = main.version;
      aux.type = PXC_IT_AUXILIARY;
      const Components c = ComponentsOf(elements[i].descriptor);
      aux.subtype = c.alpha && c.inks == 0 ? PXC_IS_ALPHA_CHANNEL : PXC_IS_OTHER;
      aux.columns = width;
      aux.rows = height;
      aux.rotation = main.rotation;
      aux.channelEncoding = c.encoding;
      aux.inks = c.inks;
      aux.alphaPlane = c.alpha && c.inks > 0 ? PXC_AP_UNASSOCIATED : PXC_AP_NONE;
      AddElementDetails(elements[i], aux);
      iImages.push_back(aux);
    }
    return true;
  }
};

}  // namespace

std::unique_ptr<FormatReader> MakeDpxReader() { return std::make_unique<DpxReader>(); }
IMR_READER(DPX, MakeDpxReader);

}  // namespace imr::formats
