// Canon CRW (CIFF).  The header gives the byte order and where the root heap
// starts; a heap ends with the offset of its record table, a count and
// records of tag, size and offset (relative to the heap).  Records of the
// two heap types hold heaps of their own; records flagged as such keep their
// 8 bytes of data in the record itself.
#include <algorithm>

#include "formats/common/byte_reader.h"
#include "formats/common/camera_raw.h"
#include "formats/common/embedded_image.h"
#include "formats/common/reader_registry.h"
#include "formats/raw/raw_readers.h"

namespace imr::formats {
namespace {

constexpr std::uint16_t kInRecord = 0x4000;  // storage: data in the record
constexpr std::uint16_t kTypeMask = 0x3800;
constexpr std::uint16_t kHeapTypes[] = {0x2800, 0x3000};
constexpr std::uint16_t kIdMask = 0x3FFF;

constexpr std::uint16_t kJpgFromRaw = 0x2007;
constexpr std::uint16_t kThumbnailImage = 0x2008;
constexpr std::uint16_t kImageInfo = 0x1810;   // width, height, aspect, rotation (32 bits each)
constexpr std::uint16_t kSensorInfo = 0x1031;  // Canon's sensor record, 16-bit values

constexpr int kMaxDepth = 8;
constexpr std::size_t kMaxRecords = 8192;  // all heaps together
constexpr std::size_t kMaxPreviews = 16;

class CrwReader : public PreparedReader {
 public:
  bool Open(const ByteSource& source) override;

 private:
  void ReadHeap(std::uint64_t start, std::uint64_t end, int depth);

  const ByteSource* iSource = nullptr;
  std::unique_ptr<ByteReader> iReader;
  std::size_t iRecords = 0;
  ImageDescription iMain;
  bool iHaveSensor = false;
  std::uint32_t iWidth = 0, iHeight = 0;
  std::int64_t iRotation = 0;
};

void CrwReader::ReadHeap(std::uint64_t start, std::uint64_t end, int depth) {
  ByteReader& r = *iReader;
  if (end - start < 4) return;
  const std::uint64_t table = start + r.U32(end - 4);
  if (table < start || table >= end - 2) return;
  const std::uint16_t count = r.U16(table);
  for (std::uint16_t i = 0; i < count && iRecords < kMaxRecords; ++i, ++iRecords) {
    const std::uint64_t record = table + 2 + 10 * std::uint64_t{i};
    if (record + 10 > end) return;
    const std::uint16_t tag = r.U16(record);
    const std::uint64_t size = r.U32(record + 2);
    const std::uint64_t offset = r.U32(record + 6);
    const std::uint16_t id = tag & kIdMask;
    // Where the data lies: in the record, or within the heap.
    std::uint64_t data = record + 2, length = 8;
    if (!(tag & kInRecord)) {
      if (offset > end - start || size > end - start - offset) continue;
      data = start + offset;
      length = size;
    }
    if (std::find(std::begin(kHeapTypes), std::end(kHeapTypes), tag & kTypeMask) != std::end(kHeapTypes)) {
      if (!(tag & kInRecord) && depth < kMaxDepth) ReadHeap(data, data + length, depth + 1);
    } else if (id == kSensorInfo && !iHaveSensor) {
      std::vector<std::uint16_t> values;
      for (std::uint64_t v = 0; v + 2 <= length && values.size() < 17; v += 2) values.push_back(r.U16(data + v));
      iHaveSensor = raw::ReadCanonSensor(values, iMain);
    } else if (id == kImageInfo && length >= 16) {
      iWidth = r.U32(data);
      iHeight = r.U32(data + 4);
      iRotation = static_cast<std::int32_t>(r.U32(data + 12));
    } else if ((id == kJpgFromRaw || id == kThumbnailImage) && iImages.size() < kMaxPreviews) {
      ImageDescription preview;
      if (EmbeddedJpeg(*iSource, data, length, preview)) iImages.push_back(preview);  // the sensor goes in front
    }
  }
}

bool CrwReader::Open(const ByteSource& source) {
  iSource = &source;
  iImages.clear();
  iMain = ImageDescription{};
  iHaveSensor = false;
  iWidth = iHeight = 0;
  iRotation = 0;
  iRecords = 0;
  iReader = std::make_unique<ByteReader>(source, true);
  ByteReader& r = *iReader;
  const std::string order = r.Text(0, 2);
  if ((order != "II" && order != "MM") || r.Text(6, 8) != "HEAPCCDR") return false;
  r.SetLittleEndian(order == "II");
  const std::uint64_t start = r.U32(2);
  if (r.Failed() || start < 14 || start >= r.Size()) return Refuse("the header points to a heap outside the file");
  ReadHeap(start, r.Size(), 0);
  // Without a sensor record, the picture's size is all the file tells.
  if (!iHaveSensor && (iWidth == 0 || iHeight == 0)) {
    iImages.clear();
    return Refuse("the heaps hold neither a sensor record nor an image size");
  }
  if (!iHaveSensor) raw::SetSensor(iMain, iWidth, iHeight);
  iMain.format = "CRW";
  const std::uint32_t version = r.U32(14);
  iMain.version = std::to_string(version >> 16) + "." + std::to_string(version & 0xFFFF);
  iMain.rotation = raw::RotationFromDegrees(iRotation);
  if (iHaveSensor) raw::AddCropSize(iMain, iWidth, iHeight);
  iImages.insert(iImages.begin(), iMain);
  return true;
}

}  // namespace

std::unique_ptr<FormatReader> MakeCrwReader() { return std::make_unique<CrwReader>(); }
IMR_READER(CRW, MakeCrwReader);

}  // namespace imr::formats
