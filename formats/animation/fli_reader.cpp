// Autodesk FLI and FLC animations: a 128-byte little-endian header (file
// size, magic 0xAF11 or 0xAF12, frames, width, height, depth, flags, speed;
// FLC adds the aspect ratio and the offsets of the first two frames), then
// the frame chunks (size, type 0xF1FA), after an optional prefix chunk.
// Every frame is an image of the picture's size.  A frame table that
// breaks off leaves the frames before it, and the header describes the
// first frame when none can be read.
#include <algorithm>
#include <string>

#include "formats/animation/fli_reader.h"
#include "formats/common/byte_reader.h"
#include "formats/common/reader_registry.h"

namespace imr::formats {

namespace {

constexpr std::uint16_t kFliMagic = 0xAF11;
constexpr std::uint16_t kFlcMagic = 0xAF12;
constexpr std::uint64_t kHeaderSize = 128;
constexpr std::uint16_t kFrameChunk = 0xF1FA;
constexpr std::uint16_t kPrefixChunk = 0xF100;
constexpr std::uint64_t kChunkHeader = 6;
// Animator writes at most 4000 frames; the walk stops there.
constexpr std::uint32_t kMaxFrames = 4000;

class FliReader : public PreparedReader {
 public:
  bool Open(const ByteSource& source) override {
    iImages.clear();
    ByteReader r(source, true);
    const std::uint16_t magic = r.U16(4);
    if (r.Failed() || (magic != kFliMagic && magic != kFlcMagic)) return false;
    const bool flc = magic == kFlcMagic;
    const std::uint16_t declared = r.U16(6), width = r.U16(8), height = r.U16(10), depth = r.U16(12);
    const std::uint32_t speed = flc ? r.U32(16) : r.U16(16);
    const std::uint32_t firstFrame = flc ? r.U32(80) : 0;
    if (r.Size() < kHeaderSize) return Refuse("the header is cut short");
    if (width == 0 || height == 0) return Refuse("the width or height is 0");
    if (depth != 8 && depth != 15 && depth != 16 && depth != 24) {
      return Refuse("a depth of " + std::to_string(depth) + " bits per pixel");
    }

    // The frames, up to the first chunk that is not one.
    std::uint64_t at = firstFrame >= kHeaderSize && firstFrame < r.Size() ? firstFrame : kHeaderSize;
    std::uint32_t frames = 0;
    bool prefix = false;
    std::string broken;
    while (frames < std::min<std::uint32_t>(declared, kMaxFrames)) {
      const std::uint64_t size = r.U32(at);
      const std::uint16_t type = r.U16(at + 4);
      if (r.Failed() || size < kChunkHeader || size > r.Size() - at) {
        broken = "damaged at frame " + std::to_string(frames + 1) + " of " + std::to_string(declared);
        break;
      }
      if (type == kPrefixChunk && frames == 0 && !prefix) {
        prefix = true;
      } else if (type == kFrameChunk) {
        ++frames;
      } else {
        broken = "damaged at frame " + std::to_string(frames + 1) + " of " + std::to_string(declared);
        break;
      }
      at += size;
    }

    ImageDescription image;
    image.format = flc ? "FLC" : "FLI";
    image.columns = width;
    image.rows = height;
    image.inks = depth == 8 ? 1 : 3;
    image.channelEncoding = depth == 8 ? PXC_CE_INDEXED : PXC_CE_RGB;
    image.extended.emplace_back("Compression", "RLE");
    image.extended.emplace_back("BitsPerSample", depth == 15 ? "5" : depth == 16 ? "5,6,5" : "8");
    image.extended.emplace_back("Frames", std::to_string(declared));
    // FLI counts in 1/70 s, FLC in milliseconds.
    image.extended.emplace_back("FrameDelay", flc ? std::to_string(speed) + " ms" : std::to_string(speed) + "/70 s");
    if (!broken.empty()) image.extended.emplace_back("FrameTable", broken);
    // Image 0 stands for the animation even when no frame can be read.
    for (std::uint32_t i = 0; i < std::max<std::uint32_t>(frames, 1); ++i) {
      image.type = i == 0 ? PXC_IT_MAIN : PXC_IT_PAGE;
      iImages.push_back(image);
    }
    return true;
  }
};

}  // namespace

std::unique_ptr<FormatReader> MakeFliReader() { return std::make_unique<FliReader>(); }
IMR_READER(FLI, MakeFliReader);

}  // namespace imr::formats
