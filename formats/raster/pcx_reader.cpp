// ZSoft PCX, and DCX: a table of up to 1023 offsets to PCX pages.
#include <string>
#include <vector>

#include "formats/common/byte_reader.h"
#include "formats/common/reader_registry.h"
#include "formats/raster/raster_reader.h"

namespace imr::formats {

namespace {

constexpr std::uint32_t kDcxMagic = 987654321;
constexpr std::uint32_t kMaxDcxPages = 1023;
constexpr std::uint64_t kPcxHeaderSize = 128;

// Reads the PCX header at `at` into `out`; returns why it cannot describe a
// bitmap, or an empty text.
std::string DescribePcx(ByteReader& reader, std::uint64_t at, ImageDescription& out) {
  ByteReader r(reader);
  r.SetLittleEndian(true);
  if (at > r.Size() || r.Size() - at < kPcxHeaderSize) return "the header is cut short";
  const std::uint8_t manufacturer = r.U8(at);
  const std::uint8_t version = r.U8(at + 1);
  const std::uint8_t encoding = r.U8(at + 2);
  const std::uint8_t bits = r.U8(at + 3);
  const std::uint16_t xMin = r.U16(at + 4), yMin = r.U16(at + 6);
  const std::uint16_t xMax = r.U16(at + 8), yMax = r.U16(at + 10);
  const std::uint16_t hDpi = r.U16(at + 12), vDpi = r.U16(at + 14);
  const std::uint8_t planes = r.U8(at + 65);
  const std::uint16_t bytesPerLine = r.U16(at + 66);
  if (r.Failed()) return "the header is cut short";
  if (manufacturer != 0x0A) return "no PCX header";
  if (encoding > 1) return "an unknown encoding " + std::to_string(encoding);
  if (version != 0 && version != 2 && version != 3 && version != 4 && version != 5) {
    return "an unknown version " + std::to_string(version);
  }
  if (bits != 1 && bits != 2 && bits != 4 && bits != 8) return std::to_string(bits) + " bits per pixel and plane";
  if (planes == 0 || planes > 4) return std::to_string(planes) + " planes";
  if (xMax < xMin || yMax < yMin) return "the image window is empty";
  out.columns = std::uint32_t{xMax} - xMin + 1;
  out.rows = std::uint32_t{yMax} - yMin + 1;

  if (bits == 8 && planes >= 3) {
    out.channelEncoding = PXC_CE_RGB;
    out.inks = 3;
    if (planes == 4) out.alphaPlane = PXC_AP_UNASSOCIATED;
  } else if (bits == 1 && planes == 1) {
    out.channelEncoding = PXC_CE_BILEVEL;
    out.inks = 1;
  } else {
    out.channelEncoding = PXC_CE_INDEXED;  // EGA planes or a VGA palette
    out.inks = 1;
  }
  SetResolution(out, hDpi, vDpi);
  static const char* const kVersions[] = {"2.5", "", "2.8", "2.8", "Windows", "3.0"};
  out.version = kVersions[version];
  out.extended.emplace_back("Compression", encoding == 1 ? "RLE" : "None");
  out.extended.emplace_back("BitsPerSample", std::to_string(bits));
  // The window gives the size; lines too short for it are the writer's
  // mistake, which readers pad.
  if (std::uint64_t{bytesPerLine} * 8 < std::uint64_t{out.columns} * bits) {
    out.extended.emplace_back("BytesPerLine", std::to_string(bytesPerLine) + ", fewer than the width needs");
  }
  return {};
}

class PcxReader : public FormatReader {
 public:
  bool Open(const ByteSource& source) override {
    iSource = &source;
    iPages.clear();
    iDcx = false;
    ByteReader r(source, true);
    if (r.U32(0) == kDcxMagic && !r.Failed()) {
      iDcx = true;
      for (std::uint32_t i = 0; i < kMaxDcxPages; ++i) {
        const std::uint32_t offset = r.U32(4 + 4ull * i);
        if (r.Failed() || offset == 0) break;
        iPages.push_back(offset);
      }
    } else {
      iPages.push_back(0);
    }
    if (iPages.empty()) return Refuse("the page table is empty");
    ImageDescription first;
    const std::string problem = DescribePcx(r, iPages[0], first);
    if (problem.empty()) return true;
    if (!iDcx && r.U8(0) != 0x0A) return false;
    return Refuse(iDcx ? "page 1: " + problem : problem);
  }

  bool Describe(std::uint32_t index, ImageDescription& out) override {
    if (!iSource || index >= iPages.size()) return false;
    ByteReader r(*iSource, true);
    out = ImageDescription{};
    const std::string problem = DescribePcx(r, iPages[index], out);
    if (!problem.empty()) return Refuse("page " + std::to_string(index + 1) + ": " + problem);
    if (iDcx) {
      out.format = "DCX";
      out.type = index == 0 ? PXC_IT_MAIN : PXC_IT_PAGE;
      out.pages = static_cast<std::int32_t>(iPages.size());
    }
    return true;
  }

 private:
  const ByteSource* iSource = nullptr;
  bool iDcx = false;
  std::vector<std::uint32_t> iPages;
};

}  // namespace

std::unique_ptr<FormatReader> MakePcxReader() { return std::make_unique<PcxReader>(); }
IMR_READER(PCX, MakePcxReader);

}  // namespace imr::formats
