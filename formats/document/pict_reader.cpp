#include "formats/document/pict_reader.h"

#include <string>

#include "formats/common/byte_reader.h"
#include "formats/common/reader_registry.h"

namespace imr::formats {

namespace {

constexpr int kMaxOpcodes = 512;  // walked in search of the first drawing

enum class Step { kSkip, kDrawing, kPixels, kQuickTime, kEnd, kUnknown };

// What an opcode is and how many data bytes follow it; `position` is where
// its data starts.  Only opcodes that may come before the first drawing are
// sized exactly; drawing opcodes stop the walk.
Step Classify(ByteReader& reader, std::uint64_t position, std::uint32_t op, bool v2, std::uint64_t& length) {
  length = 0;
  if (op == 0x0000 || op == 0x001C || op == 0x001E || (op >= 0x0017 && op <= 0x0019)) return Step::kSkip;
  if (op == 0x00FF) return Step::kEnd;
  if (op == 0x0001) {  // clip region: its size includes the size word
    length = reader.U16BE(position);
    return length >= 2 ? Step::kSkip : Step::kUnknown;
  }
  switch (op) {
    case 0x0002: case 0x0009: case 0x000A: case 0x0010: length = 8; return Step::kSkip;
    case 0x0003: case 0x0005: case 0x0008: case 0x000D: case 0x0015: case 0x0016: length = 2; return Step::kSkip;
    case 0x0004: length = 1; return Step::kSkip;
    case 0x0006: case 0x0007: case 0x000B: case 0x000C: case 0x000E: case 0x000F: length = 4; return Step::kSkip;
    case 0x0011: length = v2 ? 2 : 1; return Step::kSkip;
    case 0x001A: case 0x001B: case 0x001D: case 0x001F: length = 6; return Step::kSkip;
    case 0x00A0: length = 2; return Step::kSkip;
    case 0x00A1: length = 4 + static_cast<std::uint64_t>(reader.U16BE(position + 2)); return Step::kSkip;
    case 0x0090: case 0x0091: case 0x0098: case 0x0099: case 0x009A: case 0x009B: return Step::kPixels;
    case 0x0C00: length = 24; return Step::kSkip;
    case 0x8200: case 0x8201: return Step::kQuickTime;
    default: break;
  }
  if (op >= 0x0020 && op <= 0x008F) return Step::kDrawing;  // lines, text, shapes
  if (!v2) return Step::kUnknown;
  if ((op >= 0x0024 && op <= 0x0027) || (op >= 0x002C && op <= 0x002F) || (op >= 0x0092 && op <= 0x0097) ||
      (op >= 0x009C && op <= 0x009F) || (op >= 0x00A2 && op <= 0x00AF)) {
    length = 2 + static_cast<std::uint64_t>(reader.U16BE(position));
    return Step::kSkip;
  }
  if ((op >= 0x00B0 && op <= 0x00CF) || (op >= 0x8000 && op <= 0x80FF)) return Step::kSkip;
  if ((op >= 0x00D0 && op <= 0x00FE) || op >= 0x8100) {
    length = 4 + static_cast<std::uint64_t>(reader.U32BE(position));
    return Step::kSkip;
  }
  if (op >= 0x0100 && op <= 0x7FFF) {
    length = op >= 0x7F00 ? 254 : 2 * static_cast<std::uint64_t>(op >> 8);
    if (op < 0x0200) length = 2;
    return Step::kSkip;
  }
  return Step::kUnknown;
}

class PictReader : public PreparedReader {
 public:
  bool Open(const ByteSource& source) override;

 private:
  void ReadContent(ByteReader& reader, std::uint64_t position, bool v2, ImageDescription& image);
};

bool PictReader::Open(const ByteSource& source) {
  iImages.clear();
  ByteReader reader(source);
  // the picture follows a 512-byte preamble in files, or starts at once
  for (std::uint64_t base : {std::uint64_t{512}, std::uint64_t{0}}) {
    if (reader.Size() < base + 12) continue;
    auto top = static_cast<std::int16_t>(reader.U16BE(base + 2));
    auto left = static_cast<std::int16_t>(reader.U16BE(base + 4));
    auto bottom = static_cast<std::int16_t>(reader.U16BE(base + 6));
    auto right = static_cast<std::int16_t>(reader.U16BE(base + 8));
    bool v1 = reader.U16BE(base + 10) == 0x1101;
    bool v2 = reader.Size() >= base + 14 && reader.U32BE(base + 10) == 0x001102FF;
    if ((!v1 && !v2) || bottom <= top || right <= left) continue;

    ImageDescription image;
    image.version.assign(1, v2 ? '2' : '1');
    // QuickDraw coordinates are points: the frame at 72 dpi, as identify sizes it
    image.columns = static_cast<std::uint32_t>(right - left);
    image.rows = static_cast<std::uint32_t>(bottom - top);
    SetResolution(image, 72, 72);
    image.channelEncoding = PXC_CE_VECTOR;
    ReadContent(reader, base + (v2 ? 14 : 12), v2, image);
    iImages.push_back(std::move(image));
    return true;
  }
  return false;
}

// Walks the opcodes up to the first drawing: a pixel map tells the colours.
void PictReader::ReadContent(ByteReader& reader, std::uint64_t position, bool v2,
                             ImageDescription& image) {
  for (int n = 0; n < kMaxOpcodes && position < reader.Size(); ++n) {
    if (v2 && (position & 1)) ++position;  // version 2 opcodes are word-aligned
    std::uint32_t op = v2 ? reader.U16BE(position) : reader.U8(position);
    position += v2 ? 2 : 1;
    std::uint64_t length = 0;
    Step step = Classify(reader, position, op, v2, length);
    if (reader.Failed()) return;
    switch (step) {
      case Step::kSkip:
        position += length;
        continue;
      case Step::kPixels: {
        bool direct = op == 0x009A || op == 0x009B;
        std::uint64_t map = position + (direct ? 4 : 0);  // direct pixels start with a base address
        std::uint16_t rowBytes = reader.U16BE(map);
        if (!direct && !(rowBytes & 0x8000)) {
          image.channelEncoding = PXC_CE_BILEVEL;  // a one-bit bitmap
          image.inks = 1;
          image.extended.emplace_back("BitsPerSample", "1");
          return;
        }
        std::uint16_t pixelSize = reader.U16BE(map + 28);
        std::uint16_t components = reader.U16BE(map + 30);
        std::uint16_t componentSize = reader.U16BE(map + 32);
        if (reader.Failed() || pixelSize == 0 || pixelSize > 32) return;
        if (direct || pixelSize > 8) {
          image.channelEncoding = PXC_CE_RGB;
          image.inks = 3;
          if (components == 4) image.alphaPlane = PXC_AP_UNSPECIFIED;
          if (componentSize > 0 && componentSize <= 16) {
            image.extended.emplace_back("BitsPerSample", std::to_string(componentSize));
          }
        } else {
          image.channelEncoding = PXC_CE_INDEXED;
          image.inks = 3;
          image.extended.emplace_back("BitsPerSample", std::to_string(pixelSize));
        }
        return;
      }
      case Step::kQuickTime:
        // a compressed image (usually JPEG) inside the picture
        image.channelEncoding = PXC_CE_UNKNOWN;
        image.extended.emplace_back("Compression", "QuickTime");
        return;
      case Step::kDrawing:
      case Step::kEnd:
      case Step::kUnknown:
        return;
    }
  }
}

}  // namespace

std::unique_ptr<FormatReader> MakePictReader() { return std::make_unique<PictReader>(); }
IMR_READER(PICT, MakePictReader);

}  // namespace imr::formats
