// Sigma X3F (Foveon): "FOVb", the version and, up to version 3, the
// picture's size and rotation; the file's last four bytes point to the
// section directory ("SECd": version, count, then offset, length and type of
// each section).  An image section ("SECi") gives its kind (raw or a
// processed preview), its data format and its size; JPEG sections hold a
// JPEG stream after their header.
#include <algorithm>
#include <utility>
#include <vector>

#include "formats/common/byte_reader.h"
#include "formats/common/camera_raw.h"
#include "formats/common/embedded_image.h"
#include "formats/common/reader_registry.h"
#include "formats/raw/raw_readers.h"

namespace imr::formats {
namespace {

constexpr std::uint32_t kMaxSections = 1024;
constexpr std::uint64_t kSectionHeader = 28;
constexpr std::uint32_t kRawImage = 3;    // image section kinds: 2 processed, 3 raw
constexpr std::uint32_t kJpegFormat = 18;

std::string FormatName(std::uint32_t format) {
  switch (format) {
    case 3: return "None";
    case 6: case 11: return "Huffman";
    case 18: return "JPEG";
    case 30: case 35: return "TRUE";
    default: return "X3F " + std::to_string(format);
  }
}

class X3fReader : public PreparedReader {
 public:
  bool Open(const ByteSource& source) override;
};

bool X3fReader::Open(const ByteSource& source) {
  iImages.clear();
  ByteReader r(source, true);
  if (r.U32BE(0) != FourCC("FOVb")) return false;
  if (r.Size() < 40) return Refuse("the file ends inside its header");
  const std::uint32_t version = r.U32(4);
  const std::uint64_t directory = r.U32(r.Size() - 4);
  if (r.U32BE(directory) != FourCC("SECd")) return Refuse("the last four bytes do not point to the section directory");
  const std::uint32_t count = r.U32(directory + 8);
  if (count > kMaxSections) return Refuse("the section directory lists " + std::to_string(count) + " sections");

  struct Section {
    std::uint64_t offset, length;
    std::uint32_t kind, format, columns, rows;
  };
  std::vector<Section> images;
  for (std::uint32_t i = 0; i < count && !r.Failed(); ++i) {
    const std::uint64_t entry = directory + 12 + 12 * std::uint64_t{i};
    const std::uint64_t offset = r.U32(entry), length = r.U32(entry + 4);
    const std::uint32_t type = r.U32BE(entry + 8);
    if ((type != FourCC("IMAG") && type != FourCC("IMA2")) || length < kSectionHeader ||
        offset > r.Size() - kSectionHeader || r.U32BE(offset) != FourCC("SECi")) {
      continue;
    }
    images.push_back({offset, std::min(length, r.Size() - offset), r.U32(offset + 8), r.U32(offset + 12),
                      r.U32(offset + 16), r.U32(offset + 20)});
  }
  if (r.Failed()) return Refuse("the section directory is cut short");
  // The sensor: the largest raw section, else the largest.
  const Section* main = nullptr;
  auto rank = [](const Section& s) { return std::pair(s.kind == kRawImage, std::uint64_t{s.columns} * s.rows); };
  for (const Section& s : images) {
    if (s.columns > 0 && s.rows > 0 && (!main || rank(s) > rank(*main))) main = &s;
  }
  if (!main) return Refuse("no image section gives a size");

  ImageDescription sensor;
  sensor.format = "X3F";
  sensor.version = std::to_string(version >> 16) + "." + std::to_string(version & 0xFFFF);
  raw::SetSensor(sensor, main->columns, main->rows);
  if (version >> 16 < 4) {
    // the developed picture's size and turn, in the header before version 4
    raw::AddCropSize(sensor, r.U32(28), r.U32(32));
    sensor.rotation = raw::RotationFromDegrees(r.U32(36));
  }
  sensor.extended.emplace_back("Compression", FormatName(main->format));
  iImages.push_back(sensor);
  for (const Section& s : images) {
    if (&s == main || s.columns == 0 || s.rows == 0) continue;
    ImageDescription preview;
    if (s.format == kJpegFormat &&
        EmbeddedJpeg(source, s.offset + kSectionHeader, s.length - kSectionHeader, preview)) {
      iImages.push_back(preview);
      continue;
    }
    preview.format = "X3F";
    preview.version = sensor.version;
    preview.type = ReducedImageType(s.columns, s.rows);
    preview.columns = s.columns;
    preview.rows = s.rows;
    preview.channelEncoding = s.format == kJpegFormat ? PXC_CE_YCBCR : PXC_CE_RGB;
    preview.inks = 3;
    preview.extended.emplace_back("Compression", FormatName(s.format));
    iImages.push_back(preview);
  }
  return true;
}

}  // namespace

std::unique_ptr<FormatReader> MakeX3fReader() { return std::make_unique<X3fReader>(); }
IMR_READER(X3F, MakeX3fReader);

}  // namespace imr::formats
