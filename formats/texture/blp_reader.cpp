// Blizzard textures.  BLP0 and BLP1: the content (JPEG or palette), the
// alpha depth, width and height, two words of picture type, then sixteen
// mipmap offsets and sixteen lengths.  BLP2: the content, a compression
// (palette, DXT or raw BGRA), the alpha depth and encoding, a mipmap flag,
// width and height, then the offsets and lengths.  Level 0 is the main
// image, every further level held in the file a reduced copy of it (BLP0
// keeps its levels in files of their own).
#include <algorithm>
#include <string>

#include "formats/common/byte_reader.h"
#include "formats/common/reader_registry.h"
#include "formats/texture/mipmaps.h"
#include "formats/texture/texture_reader.h"

namespace imr::formats {

namespace {

constexpr std::uint32_t kMaxLevels = 16;

class BlpReader : public PreparedReader {
 public:
  bool Open(const ByteSource& source) override {
    iImages.clear();
    ByteReader r(source, true);
    const std::string magic = r.Text(0, 4);
    if (magic != "BLP0" && magic != "BLP1" && magic != "BLP2") return false;
    const char version = magic[3];
    const std::uint32_t content = r.U32(4);
    std::uint32_t compression = 0, alphaDepth = 0, alphaEncoding = 0, width = 0, height = 0, mipmaps = 0;
    std::uint64_t offsets = 0;
    if (version == '2') {
      compression = r.U8(8);
      alphaDepth = r.U8(9);
      alphaEncoding = r.U8(10);
      mipmaps = r.U8(11);
      width = r.U32(12);
      height = r.U32(16);
      offsets = 20;
    } else {
      alphaDepth = r.U32(8);
      width = r.U32(12);
      height = r.U32(16);
      mipmaps = r.U32(24);
      offsets = 28;
    }
    r.U32(offsets + 8 * kMaxLevels - 4);  // the header ends with the lengths
    if (r.Failed()) return Refuse("the header is cut short");
    if (width == 0 || height == 0) return Refuse("the width or height is 0");
    if (content > 1) return Refuse("an unknown content type " + std::to_string(content));
    if (version == '2' && content == 1 && (compression < 1 || compression > 3)) {
      return Refuse("an unknown compression " + std::to_string(compression));
    }
    if (alphaDepth != 0 && alphaDepth != 1 && alphaDepth != 4 && alphaDepth != 8) {
      return Refuse("an alpha depth of " + std::to_string(alphaDepth) + " bits");
    }

    ImageDescription main;
    main.version = std::string(1, version);
    main.columns = width;
    main.rows = height;
    main.channelEncoding = PXC_CE_RGB;
    main.inks = 3;
    std::string name = "None", bits = "8";
    if (content == 0) {
      name = "JPEG";
    } else if (version != '2' || compression == 1) {
      main.channelEncoding = PXC_CE_INDEXED;
      main.inks = 1;
    } else if (compression == 2) {
      name = alphaEncoding == 7 ? "DXT5" : alphaEncoding == 1 ? "DXT3" : "DXT1";
      bits.clear();
    }
    if (alphaDepth > 0) main.alphaPlane = PXC_AP_UNASSOCIATED;
    main.extended.emplace_back("Compression", name);
    if (!bits.empty()) main.extended.emplace_back("BitsPerSample", bits);
    if (alphaDepth > 0) main.extended.emplace_back("AlphaDepth", std::to_string(alphaDepth));

    // The levels the file holds, in order, up to the first one missing.
    std::uint32_t held = 1;
    if (mipmaps != 0 && version != '0') {
      const std::uint32_t most = std::min(kMaxLevels, MaxMipmapLevels(width, height));
      while (held < most) {
        const std::uint64_t offset = r.U32(offsets + 4 * held), length = r.U32(offsets + 4 * (kMaxLevels + held));
        if (offset == 0 || length == 0 || offset > r.Size() || length > r.Size() - offset) break;
        ++held;
      }
      main.extended.emplace_back("Mipmaps", std::to_string(held));
    }
    iImages.push_back(main);
    for (std::uint32_t level = 1; level < held; ++level) iImages.push_back(MipmapLevel(main, level));
    return true;
  }
};

}  // namespace

std::unique_ptr<FormatReader> MakeBlpReader() { return std::make_unique<BlpReader>(); }
IMR_READER(BLP, MakeBlpReader);

}  // namespace imr::formats
