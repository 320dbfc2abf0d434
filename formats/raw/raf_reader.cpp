// Fujifilm RAF: a header of names and versions, then big-endian offsets and
// lengths of the JPEG preview, the raw header and the raw data.  The raw
// header is a count and records of tag, size and data; cameras whose raw
// header lacks the sizes put a TIFF structure in front of the raw data,
// whose tag 0xF000 points to Fujifilm's IFD with them.
#include <algorithm>

#include "formats/common/byte_reader.h"
#include "formats/common/camera_raw.h"
#include "formats/common/embedded_image.h"
#include "formats/common/reader_registry.h"
#include "formats/common/text_util.h"
#include "formats/common/tiff_structure.h"
#include "formats/raw/raw_readers.h"

namespace imr::formats {
namespace {

constexpr std::size_t kMaxRecords = 4096;
// Raw header tags: heights first, then widths.
constexpr std::uint16_t kFullSize = 0x100;
constexpr std::uint16_t kCropTopLeft = 0x110;
constexpr std::uint16_t kCroppedSize = 0x111;
constexpr std::uint16_t kXTransLayout = 0x131;  // 36 colour codes, last first
// Fujifilm's IFD before the raw data: its offset, then width, height, bits.
constexpr std::uint16_t kFujiIfd = 0xF000;
constexpr std::uint16_t kFujiWidth = 0xF001;
constexpr std::uint16_t kFujiHeight = 0xF002;
constexpr std::uint16_t kFujiBits = 0xF003;

class RafReader : public PreparedReader {
 public:
  bool Open(const ByteSource& source) override;

 private:
  void ReadRawHeader(ByteReader& r, std::uint64_t at, std::uint64_t length, ImageDescription& main);
  void ReadFujiIfd(std::uint64_t at, std::uint64_t length, ImageDescription& main);

  const ByteSource* iSource = nullptr;
};

void RafReader::ReadRawHeader(ByteReader& r, std::uint64_t at, std::uint64_t length, ImageDescription& main) {
  if (length < 4) return;
  const std::uint64_t end = at + length;
  const std::uint32_t count = r.U32BE(at);
  std::uint16_t top = 0, left = 0, cropHeight = 0, cropWidth = 0;
  std::uint64_t p = at + 4;
  for (std::uint32_t i = 0; i < count && i < kMaxRecords && p + 4 <= end; ++i) {
    const std::uint16_t tag = r.U16BE(p), size = r.U16BE(p + 2);
    const std::uint64_t data = p + 4;
    if (size > end - data) break;
    if (tag == kFullSize && size >= 4) {
      raw::SetSensor(main, r.U16BE(data + 2), r.U16BE(data));
    } else if (tag == kCropTopLeft && size >= 4) {
      top = r.U16BE(data);
      left = r.U16BE(data + 2);
    } else if (tag == kCroppedSize && size >= 4) {
      cropHeight = r.U16BE(data);
      cropWidth = r.U16BE(data + 2);
    } else if (tag == kXTransLayout && size >= 36) {
      std::uint8_t cells[36];
      for (int c = 0; c < 36; ++c) cells[35 - c] = r.U8(data + c);
      if (std::string cfa = raw::CfaPatternText(cells, 6, 6); !cfa.empty()) {
        main.extended.emplace_back("CFAPattern", cfa);
      }
    }
    p = data + size;
  }
  raw::AddCropSize(main, cropWidth, cropHeight);
  if (cropWidth > 0 && cropHeight > 0) {
    raw::AddActiveArea(main, top, left, std::uint64_t{top} + cropHeight, std::uint64_t{left} + cropWidth);
  }
}

void RafReader::ReadFujiIfd(std::uint64_t at, std::uint64_t length, ImageDescription& main) {
  SliceSource block(*iSource, at, length);
  tiff::Structure t(block);
  tiff::Ifd ifd0, fuji;
  if (!t.ReadHeader(false) || !t.ReadIfd(t.FirstIfd(), ifd0)) return;
  auto offset = t.UInt(ifd0, kFujiIfd);
  if (!offset || !t.ReadIfd(*offset, fuji)) return;
  auto width = t.UInt(fuji, kFujiWidth), height = t.UInt(fuji, kFujiHeight);
  if (!width || !height || *width == 0 || *height == 0 || *width > 0xFFFFFFFF || *height > 0xFFFFFFFF) return;
  raw::SetSensor(main, static_cast<std::uint32_t>(*width), static_cast<std::uint32_t>(*height));
  if (auto bits = t.UInt(fuji, kFujiBits)) main.extended.emplace_back("BitsPerSample", std::to_string(*bits));
}

bool RafReader::Open(const ByteSource& source) {
  iSource = &source;
  iImages.clear();
  ByteReader r(source);
  if (r.Text(0, 16) != "FUJIFILMCCD-RAW ") return false;
  const std::uint64_t jpegOffset = r.U32BE(84), jpegLength = r.U32BE(88);
  const std::uint64_t headerOffset = r.U32BE(92), headerLength = r.U32BE(96);
  const std::uint64_t rawOffset = r.U32BE(100), rawLength = r.U32BE(104);
  if (r.Failed()) return Refuse("the header is cut short");
  ImageDescription main;
  main.format = "RAF";
  main.version = TrimPadding(r.Text(60, 4));
  if (headerOffset < r.Size()) {
    ReadRawHeader(r, headerOffset, std::min(headerLength, r.Size() - headerOffset), main);
  }
  if (main.columns == 0 && rawOffset < r.Size()) ReadFujiIfd(rawOffset, rawLength, main);
  if (main.columns == 0 || main.rows == 0) {
    return Refuse("neither the raw header nor the raw data give the sensor size");
  }
  iImages.push_back(main);
  ImageDescription preview;
  if (EmbeddedJpeg(source, jpegOffset, jpegLength, preview)) iImages.push_back(preview);
  return true;
}

}  // namespace

std::unique_ptr<FormatReader> MakeRafReader() { return std::make_unique<RafReader>(); }
IMR_READER(RAF, MakeRafReader);

}  // namespace imr::formats
