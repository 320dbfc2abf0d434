// MNG and JNG.  An MNG's MHDR gives the frame size and timing; the PNG and
// JNG images it embeds (each an IHDR or JHDR chunk) are its images: the
// first describes the frame (image 0), the others follow as pages.  A JNG
// is one JHDR image with its pHYs resolution and colour profile.
#include "formats/common/png_header.h"
#include "formats/common/reader_registry.h"
#include "formats/web/network_graphics.h"
#include "formats/web/png_reader.h"

namespace imr::formats {
namespace {

constexpr int kMaxChunks = 1000000;
constexpr std::size_t kMaxImages = 4096;

bool HasSignature(ByteReader& r, char kind) {
  return r.Text(0, 8) == std::string(1, kind) + (kind == '\x8A' ? "MNG" : "JNG") + "\r\n\x1A\n";
}

// pHYs in pixels per metre (unit 1), as PNG has it.
void ReadPhys(ByteReader& r, const png::Chunk& c, ImageDescription& d) {
  if (c.length >= 9 && r.U8(c.data + 8) == 1) SetResolution(d, r.U32BE(c.data), r.U32BE(c.data + 4), 0.0254);
}

class JngReader : public PreparedReader {
 public:
  bool Open(const ByteSource& source) override {
    iImages.clear();
    ByteReader r(source);
    if (!HasSignature(r, '\x8B')) return false;
    png::Chunk c;
    if (!png::ReadChunk(r, 8, c) || c.type != FourCC("JHDR")) return Refuse("the first chunk is not JHDR");
    ImageDescription d;
    std::string why;
    if (!png::ReadJngHeader(r, c, d, why)) return Refuse(why);
    std::string profile;
    for (int i = 0; i < kMaxChunks && png::ReadChunk(r, c.Next(), c); ++i) {
      if (c.type == FourCC("JDAT") || c.type == FourCC("IDAT") || c.type == FourCC("IEND")) break;
      if (c.type == FourCC("pHYs")) ReadPhys(r, c, d);
      if (c.type == FourCC("iCCP") && profile.empty()) profile = "embedded";
      if (c.type == FourCC("sRGB") && profile.empty()) profile = "sRGB IEC61966-2.1";
    }
    if (!profile.empty()) d.extended.emplace_back("ColorProfile", profile);
    iImages.push_back(d);
    return true;
  }
};

class MngReader : public PreparedReader {
 public:
  bool Open(const ByteSource& source) override {
    iImages.clear();
    ByteReader r(source);
    if (!HasSignature(r, '\x8A')) return false;
    png::Chunk c;
    if (!png::ReadChunk(r, 8, c) || c.type != FourCC("MHDR") || c.length < 28) {
      return Refuse("the first chunk is not a 28-byte MHDR");
    }
    ImageDescription frame;
    frame.columns = r.U32BE(c.data);
    frame.rows = r.U32BE(c.data + 4);
    const std::uint32_t ticks = r.U32BE(c.data + 8), layers = r.U32BE(c.data + 12), frames = r.U32BE(c.data + 16);
    for (int i = 0; i < kMaxChunks && iImages.size() < kMaxImages && png::ReadChunk(r, c.Next(), c); ++i) {
      if (c.type == FourCC("MEND")) break;
      ImageDescription image;
      std::string why;
      if (c.type == FourCC("IHDR") && c.length >= 13) {
        image.columns = r.U32BE(c.data);
        image.rows = r.U32BE(c.data + 4);
        const std::uint8_t depth = r.U8(c.data + 8);
        if (!SetPngColour(r.U8(c.data + 9), depth, image)) continue;
        image.extended.emplace_back("Compression", "Deflate");
        image.extended.emplace_back("BitsPerSample", std::to_string(depth));
      } else if (c.type != FourCC("JHDR") || !png::ReadJngHeader(r, c, image, why)) {
        continue;
      }
      image.type = iImages.empty() ? PXC_IT_MAIN : PXC_IT_PAGE;
      iImages.push_back(image);
    }
    const std::size_t embedded = iImages.size();
    if (iImages.empty()) iImages.emplace_back();
    ImageDescription& main = iImages.front();
    if (frame.columns > 0 && frame.rows > 0) {
      main.columns = frame.columns;
      main.rows = frame.rows;
    }
    main.extended.emplace_back("TicksPerSecond", std::to_string(ticks));
    if (layers > 0) main.extended.emplace_back("Layers", std::to_string(layers));
    if (frames > 0) main.extended.emplace_back("FrameCount", std::to_string(frames));
    main.extended.emplace_back("Frames", std::to_string(embedded));
    return true;
  }
};

}  // namespace

std::unique_ptr<FormatReader> MakeMngReader() { return std::make_unique<MngReader>(); }
std::unique_ptr<FormatReader> MakeJngReader() { return std::make_unique<JngReader>(); }
IMR_READER(MNG, MakeMngReader);
IMR_READER(JNG, MakeJngReader);

}  // namespace imr::formats
