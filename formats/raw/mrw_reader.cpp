// Minolta MRW: "\0MRM" and the length of the blocks before the raw data,
// then blocks of a name and a length (big-endian): PRD (sizes, depth, filter
// pattern) and TTW (a TIFF structure with EXIF, the maker note and IFD1).
#include "formats/common/byte_reader.h"
#include "formats/common/camera_raw.h"
#include "formats/common/embedded_image.h"
#include "formats/common/reader_registry.h"
#include "formats/common/tiff_structure.h"
#include "formats/raw/raw_readers.h"

namespace imr::formats {
namespace {

constexpr std::size_t kMaxBlocks = 256;
// Minolta maker note tags: a JPEG thumbnail held in the tag, the preview's
// offset and length (from the TIFF header).
constexpr std::uint16_t kMinoltaThumbnail = 0x0081;
constexpr std::uint16_t kMinoltaPreviewStart = 0x0088;
constexpr std::uint16_t kMinoltaPreviewLength = 0x0089;

class MrwReader : public PreparedReader {
 public:
  bool Open(const ByteSource& source) override;

 private:
  void ReadPrd(ByteReader& r, std::uint64_t at, std::uint64_t length, ImageDescription& main);
  void ReadTtw(std::uint64_t at, std::uint64_t length, ImageDescription& main);
  void AddJpeg(std::uint64_t offset, std::uint64_t length);

  const ByteSource* iSource = nullptr;
};

void MrwReader::ReadPrd(ByteReader& r, std::uint64_t at, std::uint64_t length, ImageDescription& main) {
  // Firmware name (8), sensor height and width, picture height and width,
  // bits stored, bits used, storage, two bytes, then the filter pattern.
  if (length < 24) return;
  raw::SetSensor(main, r.U16BE(at + 10), r.U16BE(at + 8));
  raw::AddCropSize(main, r.U16BE(at + 14), r.U16BE(at + 12));
  switch (r.U16BE(at + 22)) {
    case 0x0001: main.extended.emplace_back("CFAPattern", "RG/GB"); break;
    case 0x0004: main.extended.emplace_back("CFAPattern", "GB/RG"); break;
    default: break;
  }
  main.extended.emplace_back("BitsPerSample", std::to_string(r.U8(at + 17)));
  main.extended.emplace_back("Compression", r.U8(at + 18) == 0x52 ? "Packed" : "None");
}

void MrwReader::ReadTtw(std::uint64_t at, std::uint64_t length, ImageDescription& main) {
  SliceSource block(*iSource, at, length);
  const tiff::ExifSummary exif = tiff::ReadExifSummary(block);
  if (!exif.valid) return;
  main.rotation = tiff::RotationFromOrientation(exif.orientation);
  if (exif.hasExifIfd) main.extended.emplace_back("Exif", "yes");
  if (!exif.software.empty()) main.extended.emplace_back("Software", exif.software);
  if (std::string name = tiff::OrientationName(exif.orientation); !name.empty()) {
    main.extended.emplace_back("Orientation", name);
  }
  if (exif.thumbnailLength > 0) AddJpeg(at + exif.thumbnailOffset, exif.thumbnailLength);
  // The maker note: an IFD whose offsets count from the block's TIFF header.
  tiff::Structure t(block);
  tiff::Ifd ifd0, minolta;
  if (!t.ReadHeader(false) || !t.ReadIfd(t.FirstIfd(), ifd0)) return;
  auto note = tiff::MakerNote(t, ifd0);
  if (!note || !t.ReadIfd(note->position, minolta)) return;
  if (const tiff::Entry* thumbnail = minolta.Find(kMinoltaThumbnail)) {
    AddJpeg(at + thumbnail->position, t.ValueBytes(*thumbnail));
  }
  auto offset = t.UInt(minolta, kMinoltaPreviewStart), size = t.UInt(minolta, kMinoltaPreviewLength);
  if (offset && size && *offset < length) AddJpeg(at + *offset, *size);
}

void MrwReader::AddJpeg(std::uint64_t offset, std::uint64_t length) {
  ImageDescription jpeg;
  if (EmbeddedJpeg(*iSource, offset, length, jpeg)) iImages.push_back(jpeg);  // the sensor goes in front
}

bool MrwReader::Open(const ByteSource& source) {
  iSource = &source;
  iImages.clear();
  ByteReader r(source);
  if (r.U32BE(0) != FourCC("\0MRM")) return false;
  const std::uint64_t end = std::min<std::uint64_t>(8 + std::uint64_t{r.U32BE(4)}, r.Size());
  ImageDescription main;
  main.format = "MRW";
  bool prd = false;
  std::uint64_t at = 8;
  for (std::size_t blocks = 0; blocks < kMaxBlocks && at + 8 <= end; ++blocks) {
    const std::uint32_t name = r.U32BE(at);
    const std::uint64_t length = std::min<std::uint64_t>(r.U32BE(at + 4), end - at - 8);
    if (name == FourCC("\0PRD") && !prd) {
      ReadPrd(r, at + 8, length, main);
      prd = main.columns > 0 && main.rows > 0;
    } else if (name == FourCC("\0TTW")) {
      ReadTtw(at + 8, length, main);
    }
    at += 8 + length;
  }
  if (!prd) {
    iImages.clear();
    return Refuse("no PRD block gives the sensor size");
  }
  iImages.insert(iImages.begin(), main);
  return true;
}

}  // namespace

std::unique_ptr<FormatReader> MakeMrwReader() { return std::make_unique<MrwReader>(); }
IMR_READER(MRW, MakeMrwReader);

}  // namespace imr::formats
