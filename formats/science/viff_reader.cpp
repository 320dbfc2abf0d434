// Khoros VIFF (.viff, .xv): a 1024-byte header in the byte order its
// machine dependency names, then the maps, the explicit locations and the
// data of one or more images of the same size.  Further headers may follow
// the data; every image of every block is an image of the file.
#include <algorithm>
#include <bit>
#include <string>
#include <vector>

#include "formats/common/byte_reader.h"
#include "formats/common/reader_registry.h"
#include "formats/common/text_util.h"
#include "formats/science/science_reader.h"

namespace imr::formats {
namespace {

constexpr std::uint64_t kHeaderSize = 1024;
constexpr std::size_t kMaxBlocks = 1024;
constexpr std::uint8_t kBigEndian = 0x2, kDecOrder = 0x4, kLittleEndian = 0x8;

// Bytes per sample of a data storage type (0: not known); bits are counted
// apart.
std::uint64_t SampleBytes(std::uint32_t type) {
  switch (type) {
    case 1: return 1;
    case 2: return 2;
    case 4: case 5: return 4;
    case 6: case 9: return 8;
    case 10: return 16;
    default: return 0;
  }
}

// Bytes per cell of a map storage type.
std::uint64_t MapCellBytes(std::uint32_t type) {
  static const std::uint64_t kBytes[] = {0, 1, 2, 0, 4, 4, 8, 8};
  return type < std::size(kBytes) ? kBytes[type] : 0;
}

const char* SampleFormat(std::uint32_t type) {
  switch (type) {
    case 0: case 1: return "unsigned integer";
    case 2: case 4: return "signed integer";
    case 5: case 9: return "float";
    default: return "complex";
  }
}

struct Block {
  ImageDescription image;  // of each image in the block
  std::uint64_t images = 0;
  std::uint64_t end = 0;  // after its data
};

class ViffReader : public FormatReader {
 public:
  bool Open(const ByteSource& source) override {
    iSource = &source;
    iBlocks.clear();
    iDone = false;
    ByteReader r(source);
    if (r.U8(0) != 0xAB || r.U8(1) != 1) return false;
    Block block;
    if (std::string problem = ReadBlock(r, 0, block); !problem.empty()) return Refuse(problem);
    iBlocks.push_back(block);
    return true;
  }

  bool Describe(std::uint32_t index, ImageDescription& out) override {
    if (iSource == nullptr) return false;
    std::uint64_t first = 0;  // image number of the block's first image
    for (std::size_t b = 0;; ++b) {
      if (b == iBlocks.size() && !Next()) return false;
      if (index < first + iBlocks[b].images) {
        out = iBlocks[b].image;
        out.type = index == 0 ? PXC_IT_MAIN : PXC_IT_PAGE;
        return true;
      }
      first += iBlocks[b].images;
    }
  }

 private:
  // Reads the header at `at`; an empty string, else why it cannot be read.
  static std::string ReadBlock(ByteReader& r, std::uint64_t at, Block& block) {
    const std::uint8_t order = r.U8(at + 4);
    if (order != kBigEndian && order != kDecOrder && order != kLittleEndian) {
      return "the machine dependency " + std::to_string(order) + " is not a byte order";
    }
    r.SetLittleEndian(order != kBigEndian);
    if (r.Size() - std::min(r.Size(), at) < kHeaderSize) return "the file ends inside the 1024-byte header";
    const std::uint32_t columns = r.U32(at + 520), rows = r.U32(at + 524);
    const float pixelWidth = std::bit_cast<float>(r.U32(at + 540)), pixelHeight = std::bit_cast<float>(r.U32(at + 544));
    const std::uint32_t locationType = r.U32(at + 548), locationDimension = r.U32(at + 552);
    const std::uint32_t images = r.U32(at + 556), bands = r.U32(at + 560), storage = r.U32(at + 564);
    const std::uint32_t encoding = r.U32(at + 568), mapScheme = r.U32(at + 572), mapStorage = r.U32(at + 576);
    const std::uint32_t mapRows = r.U32(at + 580), mapColumns = r.U32(at + 584), model = r.U32(at + 600);
    if (columns == 0 || rows == 0) {
      return "the image size " + std::to_string(columns) + " x " + std::to_string(rows) + " is out of range";
    }
    if (bands == 0 || bands > 0xFFFF) return "the header gives " + std::to_string(bands) + " bands";
    if (images == 0) return "the header gives no image";
    if (storage != 0 && SampleBytes(storage) == 0) return "the data storage type " + std::to_string(storage) + " is not known";

    // The sizes of the maps, the locations and the data, bounded by the file.
    const std::uint64_t room = r.Size();
    std::uint64_t map = 0, locations = 0, plane = 0, data = 0;
    const bool mapped = mapScheme != 0 && mapRows != 0 && mapColumns != 0;
    if (mapped && !ProductWithin(MapCellBytes(mapStorage), std::uint64_t{mapRows} * mapColumns, room, map)) {
      return "the maps are larger than the file";
    }
    if (locationType == 2 && !ProductWithin(std::uint64_t{columns} * rows, 4ull * locationDimension, room, locations)) {
      return "the locations are larger than the file";
    }
    const std::uint64_t rowBytes = storage == 0 ? (std::uint64_t{columns} + 7) / 8 : columns * SampleBytes(storage);
    if (!ProductWithin(rowBytes, rows, room, plane) || !ProductWithin(plane, bands, room, plane) ||
        !ProductWithin(plane, images, room, data)) {
      return "the image data is larger than the file";
    }
    block.images = images;
    block.end = at + kHeaderSize + map + locations + data;

    ImageDescription& d = block.image;
    d.columns = columns;
    d.rows = rows;
    if (mapped) {
      d.channelEncoding = PXC_CE_INDEXED;
      d.inks = 1;
    } else if (storage == 0) {
      d.channelEncoding = PXC_CE_BILEVEL;
      d.inks = 1;
    } else if (bands >= 3 && (model == 8 || model == 12)) {  // cieXYZ, cieucsLab
      d.channelEncoding = model == 8 ? PXC_CE_XYZ : PXC_CE_LAB;
      d.inks = 3;
    } else if (bands == 3 || bands == 4) {  // with alpha in a fourth band
      d.channelEncoding = PXC_CE_RGB;
      d.inks = 3;
      if (bands == 4) d.alphaPlane = PXC_AP_UNASSOCIATED;
    } else {
      d.channelEncoding = bands == 1 ? PXC_CE_GRAY : PXC_CE_MULTICHANNEL;
      d.inks = static_cast<std::uint16_t>(bands);
    }
    // Pixel sizes in metres; writers put 1 where they know none.
    if (pixelWidth != 1 || pixelHeight != 1) SetResolution(d, 1 / pixelWidth, 1 / pixelHeight, 0.0254);
    static const char* const kEncodings[] = {"None", "ALZ", "RLE", "transform", "CCITT", "ADPCM", "generic"};
    d.extended.emplace_back("Compression", encoding < std::size(kEncodings) ? kEncodings[encoding] : "unknown");
    d.extended.emplace_back("BitsPerSample", std::to_string(storage == 0 ? 1 : 8 * SampleBytes(storage)));
    d.extended.emplace_back("SampleFormat", SampleFormat(storage));
    d.extended.emplace_back("Bands", std::to_string(bands));
    d.extended.emplace_back("ByteOrder", r.LittleEndian() ? "little-endian" : "big-endian");
    if (std::string comment = TrimPadding(r.Text(at + 8, 512)); !comment.empty()) {
      d.extended.emplace_back("Comment", Latin1ToUtf8(comment.substr(0, 256)));
    }
    if (r.Failed()) return "the file ends inside the 1024-byte header";
    return {};
  }

  // Reads the header after the last block's data; false when there is none.
  bool Next() {
    if (iDone || iBlocks.size() >= kMaxBlocks) return false;
    ByteReader r(*iSource);
    Block block;
    const std::uint64_t at = iBlocks.back().end;
    if (r.U8(at) != 0xAB || r.U8(at + 1) != 1 || !ReadBlock(r, at, block).empty()) {
      iDone = true;
      return false;
    }
    iBlocks.push_back(block);
    return true;
  }

  const ByteSource* iSource = nullptr;
  std::vector<Block> iBlocks;
  bool iDone = false;
};

}  // namespace

std::unique_ptr<FormatReader> MakeViffReader() { return std::make_unique<ViffReader>(); }
IMR_READER(VIFF, MakeViffReader);

}  // namespace imr::formats
