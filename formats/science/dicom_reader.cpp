// DICOM files: the 128-byte preamble, "DICM", the file meta information
// (explicit VR little-endian) and the data set in front of the pixel data,
// in the encoding the transfer syntax names: implicit or explicit VR
// little-endian, explicit VR big-endian, or explicit little-endian with
// encapsulated (compressed) pixel data.  Each frame is an image, and the
// icon of the Icon Image Sequence a thumbnail.
#include <algorithm>
#include <cstdlib>
#include <string>

#include "formats/common/byte_reader.h"
#include "formats/common/reader_registry.h"
#include "formats/common/text_util.h"
#include "formats/science/science_reader.h"

namespace imr::formats {
namespace {

constexpr std::uint32_t kUndefinedLength = 0xFFFFFFFF;
constexpr int kMaxElements = 100000;  // elements looked at in front of the pixel data
constexpr std::uint32_t kMaxFrames = 0x7FFFFFFF;

constexpr std::uint32_t Tag(std::uint16_t group, std::uint16_t element) {
  return (std::uint32_t{group} << 16) | element;
}
constexpr std::uint32_t kTransferSyntax = Tag(0x0002, 0x0010);
constexpr std::uint32_t kModality = Tag(0x0008, 0x0060);
constexpr std::uint32_t kImagerPixelSpacing = Tag(0x0018, 0x1164);
constexpr std::uint32_t kSamplesPerPixel = Tag(0x0028, 0x0002);
constexpr std::uint32_t kPhotometric = Tag(0x0028, 0x0004);
constexpr std::uint32_t kFrames = Tag(0x0028, 0x0008);
constexpr std::uint32_t kRows = Tag(0x0028, 0x0010);
constexpr std::uint32_t kColumns = Tag(0x0028, 0x0011);
constexpr std::uint32_t kPixelSpacing = Tag(0x0028, 0x0030);
constexpr std::uint32_t kBitsAllocated = Tag(0x0028, 0x0100);
constexpr std::uint32_t kBitsStored = Tag(0x0028, 0x0101);
constexpr std::uint32_t kIconSequence = Tag(0x0088, 0x0200);
constexpr std::uint32_t kPixelData = Tag(0x7FE0, 0x0010);
constexpr std::uint32_t kItem = Tag(0xFFFE, 0xE000);
constexpr std::uint32_t kItemEnd = Tag(0xFFFE, 0xE00D);
constexpr std::uint32_t kSequenceEnd = Tag(0xFFFE, 0xE0DD);

// What the data set says of its image.
struct Attributes {
  std::uint16_t rows = 0, columns = 0, samples = 1, bitsAllocated = 0, bitsStored = 0;
  std::string photometric, frames, spacing, imagerSpacing, modality;
};

struct Element {
  std::uint32_t tag = 0;
  std::uint32_t length = 0;
  std::uint64_t value = 0;  // where the value starts
};

const char* CompressionName(const std::string& uid) {
  static const std::pair<const char*, const char*> kNames[] = {
      {"1.2.840.10008.1.2", "None"},
      {"1.2.840.10008.1.2.1", "None"},
      {"1.2.840.10008.1.2.2", "None"},
      {"1.2.840.10008.1.2.5", "RLE"},
      {"1.2.840.10008.1.2.4.50", "JPEG baseline"},
      {"1.2.840.10008.1.2.4.51", "JPEG extended"},
      {"1.2.840.10008.1.2.4.57", "JPEG lossless"},
      {"1.2.840.10008.1.2.4.70", "JPEG lossless"},
      {"1.2.840.10008.1.2.4.80", "JPEG-LS lossless"},
      {"1.2.840.10008.1.2.4.81", "JPEG-LS near-lossless"},
      {"1.2.840.10008.1.2.4.90", "JPEG 2000 lossless"},
      {"1.2.840.10008.1.2.4.91", "JPEG 2000"},
      {"1.2.840.10008.1.2.4.92", "JPEG 2000 multi-component lossless"},
      {"1.2.840.10008.1.2.4.93", "JPEG 2000 multi-component"},
      {"1.2.840.10008.1.2.4.100", "MPEG-2"},
      {"1.2.840.10008.1.2.4.101", "MPEG-2"},
      {"1.2.840.10008.1.2.4.102", "MPEG-4 AVC"},
      {"1.2.840.10008.1.2.4.103", "MPEG-4 AVC"},
      {"1.2.840.10008.1.2.4.107", "HEVC"},
      {"1.2.840.10008.1.2.4.108", "HEVC"},
      {"1.2.840.10008.1.2.4.201", "HTJ2K lossless"},
      {"1.2.840.10008.1.2.4.202", "HTJ2K lossless"},
      {"1.2.840.10008.1.2.4.203", "HTJ2K"},
  };
  for (const auto& [known, name] : kNames) {
    if (uid == known) return name;
  }
  return nullptr;
}

// Reads elements of one encoding.
class DataSet {
 public:
  DataSet(ByteReader& r, bool explicitVr) : iR(r), iExplicit(explicitVr) {}

  // The element at `pos`; false past the end of the file.
  bool Read(std::uint64_t pos, Element& e) {
    const std::uint16_t group = iR.U16(pos), element = iR.U16(pos + 2);
    e.tag = Tag(group, element);
    if (group == 0xFFFE || !iExplicit) {  // items and delimiters have no VR
      e.length = iR.U32(pos + 4);
      e.value = pos + 8;
    } else {
      const std::string vr = iR.Text(pos + 4, 2);
      static const char* const kLong[] = {"OB", "OD", "OF", "OL", "OV", "OW", "SQ", "SV", "UC", "UN", "UR", "UT", "UV"};
      if (std::find_if(std::begin(kLong), std::end(kLong), [&](const char* v) { return vr == v; }) != std::end(kLong)) {
        e.length = iR.U32(pos + 8);
        e.value = pos + 12;
      } else {
        e.length = iR.U16(pos + 6);
        e.value = pos + 8;
      }
    }
    return !iR.Failed();
  }

  // The position after the element `e`, an undefined length followed to its
  // delimiter through nested items and sequences; 0 when it cannot be found.
  std::uint64_t After(const Element& e) {
    if (e.length != kUndefinedLength) return e.value + e.length;
    std::uint64_t pos = e.value;
    int depth = 1;
    for (int n = 0; n < kMaxElements && depth > 0; ++n) {
      Element inner;
      if (!Read(pos, inner)) return 0;
      if (inner.tag == kItemEnd || inner.tag == kSequenceEnd) {
        --depth;
        pos = inner.value;
      } else if (inner.length == kUndefinedLength) {
        ++depth;  // an item or a sequence whose elements follow
        pos = inner.value;
      } else {
        pos = inner.value + inner.length;
      }
    }
    return depth == 0 ? pos : 0;
  }

  // Collects the attributes from `pos` up to the pixel data, the end of an
  // item, `end` or the end of the file; `icon` receives the first item of an
  // Icon Image Sequence.  False when the elements cannot be walked.
  bool Walk(std::uint64_t pos, std::uint64_t end, Attributes& a, Attributes* icon) {
    for (int n = 0; n < kMaxElements; ++n) {
      Element e;
      if (pos >= std::min(end, iR.Size()) || !Read(pos, e) || e.tag == kItemEnd || e.tag == kPixelData) return true;
      if (e.tag == kIconSequence && icon != nullptr) {
        Element item;
        if (Read(e.value, item) && item.tag == kItem) {
          const std::uint64_t itemEnd = item.length == kUndefinedLength ? iR.Size() : item.value + item.length;
          Walk(item.value, itemEnd, *icon, nullptr);
        }
      }
      if (e.length != kUndefinedLength) Collect(e, a);
      pos = After(e);
      if (pos == 0) return false;
    }
    return true;
  }

 private:
  void Collect(const Element& e, Attributes& a) {
    const auto text = [&] { return TrimPadding(iR.Text(e.value, std::min<std::uint32_t>(e.length, 64))); };
    const auto word = [&] { return e.length == 2 ? iR.U16(e.value) : std::uint16_t{0}; };
    switch (e.tag) {
      case kRows: a.rows = word(); break;
      case kColumns: a.columns = word(); break;
      case kSamplesPerPixel: a.samples = word(); break;
      case kBitsAllocated: a.bitsAllocated = word(); break;
      case kBitsStored: a.bitsStored = word(); break;
      case kPhotometric: a.photometric = text(); break;
      case kFrames: a.frames = text(); break;
      case kPixelSpacing: a.spacing = text(); break;
      case kImagerPixelSpacing: a.imagerSpacing = text(); break;
      case kModality: a.modality = text(); break;
      default: break;
    }
  }

  ByteReader& iR;
  bool iExplicit;
};

// Pixel Spacing "row\column" in millimetres as pixels per inch.
void SetSpacing(const std::string& spacing, ImageDescription& out) {
  char* end = nullptr;
  const double row = std::strtod(spacing.c_str(), &end);
  if (end == spacing.c_str() || *end != '\\') return;
  const double column = std::strtod(end + 1, nullptr);
  if (row > 0 && column > 0) SetResolution(out, 1 / column, 1 / row, 25.4);
}

void Fill(const Attributes& a, ImageDescription& out) {
  out.columns = a.columns;
  out.rows = a.rows;
  const std::string& p = a.photometric;
  if (p == "MONOCHROME1" || p == "MONOCHROME2") {
    out.channelEncoding = a.bitsStored == 1 ? PXC_CE_BILEVEL : PXC_CE_GRAY;
    out.inks = 1;
  } else if (p == "PALETTE COLOR") {
    out.channelEncoding = PXC_CE_INDEXED;
    out.inks = 1;
  } else if (p == "RGB" || p == "ARGB") {
    out.channelEncoding = PXC_CE_RGB;
    out.inks = 3;
    if (p == "ARGB") out.alphaPlane = PXC_AP_UNASSOCIATED;
  } else if (p.compare(0, 4, "YBR_") == 0) {
    out.channelEncoding = PXC_CE_YCBCR;
    out.inks = 3;
  } else if (p == "CMYK") {
    out.channelEncoding = PXC_CE_CMYK;
    out.inks = 4;
  } else {
    out.inks = a.samples;
  }
  SetSpacing(a.spacing.empty() ? a.imagerSpacing : a.spacing, out);
}

class DicomReader : public FormatReader {
 public:
  bool Open(const ByteSource& source) override {
    iFrames = 0;
    ByteReader r(source, true);
    if (r.Text(128, 4) != "DICM") return false;

    // The file meta information: group 2, explicit VR little-endian.
    DataSet meta(r, true);
    std::uint64_t pos = 132;
    std::string syntax;
    for (int n = 0; n < kMaxElements; ++n) {
      Element e;
      if (!meta.Read(pos, e) || (e.tag >> 16) != 0x0002) break;
      if (e.tag == kTransferSyntax) syntax = TrimPadding(r.Text(e.value, std::min<std::uint32_t>(e.length, 64)));
      pos = meta.After(e);
      if (pos == 0) return Refuse("the file meta information cannot be walked");
    }
    if (syntax.empty()) return Refuse("the file meta information names no transfer syntax");
    if (syntax == "1.2.840.10008.1.2.1.99") return Refuse("the data set is deflated");
    r.SetLittleEndian(syntax != "1.2.840.10008.1.2.2");

    DataSet data(r, syntax != "1.2.840.10008.1.2");
    iMain = Attributes{};
    iIcon = Attributes{};
    if (!data.Walk(pos, r.Size(), iMain, &iIcon)) return Refuse("the data set cannot be walked to its pixel data");
    if (iMain.rows == 0 || iMain.columns == 0) return Refuse("the data set holds no image (no Rows and Columns)");
    const long long frames = std::atoll(iMain.frames.c_str());
    iFrames = static_cast<std::uint32_t>(std::clamp<long long>(frames, 1, kMaxFrames));
    iSyntax = syntax;
    return true;
  }

  // Image 0 is the first frame, then comes the icon when there is one, then
  // the other frames.
  bool Describe(std::uint32_t index, ImageDescription& out) override {
    const bool hasIcon = iIcon.rows > 0 && iIcon.columns > 0;
    if (index >= iFrames + (hasIcon ? 1u : 0u)) return false;
    out = ImageDescription{};
    if (hasIcon && index == 1) {
      Fill(iIcon, out);
      out.type = PXC_IT_THUMBNAIL;
      return true;
    }
    Fill(iMain, out);
    out.type = index == 0 ? PXC_IT_MAIN : PXC_IT_PAGE;
    const char* compression = CompressionName(iSyntax);
    out.extended.emplace_back("Compression", compression != nullptr ? compression : iSyntax);
    out.extended.emplace_back("TransferSyntax", iSyntax);
    if (iMain.bitsStored > 0) out.extended.emplace_back("BitsPerSample", std::to_string(iMain.bitsStored));
    if (iMain.bitsAllocated > 0) out.extended.emplace_back("BitsAllocated", std::to_string(iMain.bitsAllocated));
    if (!iMain.photometric.empty()) out.extended.emplace_back("PhotometricInterpretation", iMain.photometric);
    if (!iMain.modality.empty()) out.extended.emplace_back("Modality", iMain.modality);
    if (iFrames > 1) out.extended.emplace_back("Frames", std::to_string(iFrames));
    return true;
  }

 private:
  Attributes iMain, iIcon;
  std::uint32_t iFrames = 0;  // 0 until a file is open
  std::string iSyntax;
};

}  // namespace

std::unique_ptr<FormatReader> MakeDicomReader() { return std::make_unique<DicomReader>(); }
IMR_READER(DICOM, MakeDicomReader);

}  // namespace imr::formats
