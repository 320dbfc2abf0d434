#include "formats/web/gif_reader.h"

#include <algorithm>
#include <cstring>

#include "formats/common/byte_reader.h"
#include "formats/common/reader_registry.h"

namespace imr::formats {
namespace {

// Byte-at-a-time access through a window, so that skipping the many small
// sub-blocks of a large file does not cost one source read each.
class Cursor {
 public:
  explicit Cursor(const ByteSource& source) : iSource(source), iSize(source.Size()) {}
  // The byte at `pos`, or -1 past the end.
  int At(std::uint64_t pos) {
    if (pos >= iSize) return -1;
    if (pos < iStart || pos >= iStart + iLength) {
      iStart = pos;
      iLength = iSource.Read(pos, iBuffer, sizeof iBuffer);
      if (iLength == 0) return -1;
    }
    return iBuffer[pos - iStart];
  }
  std::uint16_t U16(std::uint64_t pos) {
    const int lo = At(pos), hi = At(pos + 1);
    return lo < 0 || hi < 0 ? 0 : static_cast<std::uint16_t>(lo | (hi << 8));
  }
  std::uint64_t Size() const { return iSize; }

 private:
  const ByteSource& iSource;
  std::uint64_t iSize;
  std::uint64_t iStart = 0;
  std::size_t iLength = 0;
  std::uint8_t iBuffer[16384];
};

// Skips a run of data sub-blocks; the position after its terminator, or 0
// when the run is cut off by the end of the source.
std::uint64_t SkipSubBlocks(Cursor& c, std::uint64_t pos) {
  while (true) {
    const int size = c.At(pos);
    if (size < 0) return 0;
    ++pos;
    if (size == 0) return pos;
    pos += static_cast<std::uint64_t>(size);
  }
}

}  // namespace

bool GifReader::Open(const ByteSource& source) {
  iSource = &source;
  iFrames.clear();
  iDone = iXmp = iIcc = iPendingTransparent = false;
  ByteReader r(source, true);
  const std::string magic = r.Text(0, 6);
  if (magic != "GIF87a" && magic != "GIF89a") return false;
  iVersion = magic.substr(3);
  iScreenColumns = r.U16(6);
  iScreenRows = r.U16(8);
  const std::uint8_t packed = r.U8(10);
  if (r.Failed()) return Refuse("the file ends inside the screen descriptor");
  iGlobalBits = (packed & 0x80) ? (packed & 7) + 1 : 0;
  iNext = 13 + (iGlobalBits ? 3u << iGlobalBits : 0);
  // The first image must be there: it is image 0.
  return NextFrame() || Refuse("no image descriptor follows the header");
}

bool GifReader::NextFrame() {
  if (iDone || iFrames.size() >= kMaxFrames) {
    iDone = true;
    return false;
  }
  Cursor c(*iSource);
  std::uint64_t pos = iNext;
  while (true) {
    const int block = c.At(pos);
    if (block == 0x21) {  // extension: label, then sub-blocks
      const int label = c.At(pos + 1);
      const int first = c.At(pos + 2);
      if (label == 0xF9 && first >= 4) {
        iPendingTransparent = (c.At(pos + 3) & 1) != 0;
      } else if (label == 0xFF && first == 11) {
        char id[11];
        for (int i = 0; i < 11; ++i) id[i] = static_cast<char>(c.At(pos + 3 + i));
        if (std::memcmp(id, "XMP DataXMP", 11) == 0) iXmp = true;
        if (std::memcmp(id, "ICCRGBG1012", 11) == 0) iIcc = true;
      }
      pos = SkipSubBlocks(c, pos + 2);
      if (pos == 0) break;
    } else if (block == 0x2C) {  // image descriptor
      if (c.At(pos + 9) < 0) break;
      Frame frame;
      frame.columns = c.U16(pos + 5);
      frame.rows = c.U16(pos + 7);
      const int packed = c.At(pos + 9);
      frame.paletteBits = (packed & 0x80) ? (packed & 7) + 1 : 0;
      frame.interlaced = (packed & 0x40) != 0;
      frame.transparent = iPendingTransparent;
      iPendingTransparent = false;
      pos += 10 + (frame.paletteBits ? 3u << frame.paletteBits : 0);
      iFrames.push_back(frame);
      // LZW code size, then the image data.
      const std::uint64_t next = SkipSubBlocks(c, pos + 1);
      if (next == 0) {
        iDone = true;  // cut off inside its data: the frame still counts
      } else {
        iNext = next;
      }
      return true;
    } else {
      break;  // trailer, end of file, or not a block
    }
  }
  iDone = true;
  return false;
}

void GifReader::Fill(const Frame& frame, ImageDescription& out) const {
  out.columns = frame.columns;
  out.rows = frame.rows;
  out.version = iVersion;
  out.channelEncoding = PXC_CE_INDEXED;
  out.inks = 1;
  if (frame.transparent) out.alphaPlane = PXC_AP_TRANSPARENT_INDEX;
  out.extended.emplace_back("Compression", "LZW");
  const std::uint8_t bits = frame.paletteBits ? frame.paletteBits : iGlobalBits;
  if (bits) out.extended.emplace_back("BitsPerSample", std::to_string(bits));
  if (frame.interlaced) out.extended.emplace_back("Interlace", "Interlaced");
}

bool GifReader::Describe(std::uint32_t index, ImageDescription& out) {
  if (!iSource || iFrames.empty()) return false;
  if (index == 0) {
    while (NextFrame()) {
    }
    out = ImageDescription{};
    Fill(iFrames[0], out);
    out.type = PXC_IT_MAIN;
    if (iScreenColumns > 0 && iScreenRows > 0) {
      out.columns = iScreenColumns;
      out.rows = iScreenRows;
    }
    if (iIcc) out.extended.emplace_back("ColorProfile", "embedded");
    if (iXmp) out.extended.emplace_back("XMP", "yes");
    if (iFrames.size() > 1) out.extended.emplace_back("Frames", std::to_string(iFrames.size()));
    return true;
  }
  while (index >= iFrames.size() && NextFrame()) {
  }
  if (index >= iFrames.size()) return false;
  out = ImageDescription{};
  Fill(iFrames[index], out);
  out.type = PXC_IT_PAGE;
  return true;
}

std::unique_ptr<FormatReader> MakeGifReader() { return std::make_unique<GifReader>(); }
IMR_READER(GIF, MakeGifReader);

}  // namespace imr::formats
