// Khronos textures.  KTX 1: after the 12-byte identifier, an endianness
// mark and twelve 32-bit fields (OpenGL type, format and internal formats,
// width, height, depth, array elements, faces, mipmap levels, key/value
// bytes), the key/value data, then each level as a size and its data.
// KTX 2: little-endian, a Vulkan format, the sizes and counts, a
// supercompression scheme, the offsets of the data format descriptor, the
// key/value data and the supercompression data, then an index of the
// levels.  Level 0 is the main image, every further level held in the file
// a reduced copy of it.
#include <algorithm>
#include <iterator>
#include <string>

#include "formats/common/byte_reader.h"
#include "formats/common/reader_registry.h"
#include "formats/texture/mipmaps.h"
#include "formats/texture/texture_reader.h"

namespace imr::formats {

namespace {

constexpr char kKtx1[] = "\xABKTX 11\xBB\r\n\x1A\n";
constexpr char kKtx2[] = "\xABKTX 20\xBB\r\n\x1A\n";
constexpr std::uint64_t kIdentifierSize = 12;
constexpr std::uint32_t kEndianness = 0x04030201;
constexpr std::uint64_t kKtx1HeaderSize = 64;
constexpr std::uint64_t kKtx2HeaderSize = 80;
constexpr std::uint64_t kKtx2LevelEntry = 24;
// Key/value pairs looked at; files hold a handful.
constexpr int kMaxPairs = 64;

struct Channels {
  PXC_TChannelEnc encoding = PXC_CE_UNKNOWN;
  std::uint16_t inks = 0;
  bool alpha = false;
};

// ------------------------------------------------------------------ KTX 1

// What an OpenGL base internal format holds.
Channels GlBaseChannels(std::uint32_t base) {
  switch (base) {
    case 0x1903: case 0x1909: case 0x1906: case 0x1902: case 0x1901: case 0x84F9:  // red, luminance, alpha, depth, stencil
      return {PXC_CE_GRAY, 1, false};
    case 0x190A: return {PXC_CE_GRAY, 1, true};   // luminance and alpha
    case 0x8227: return {PXC_CE_RGB, 2, false};   // red and green
    case 0x1907: case 0x80E0: case 0x8C40: return {PXC_CE_RGB, 3, false};  // RGB, BGR, sRGB
    case 0x1908: case 0x80E1: case 0x8C42: return {PXC_CE_RGB, 3, true};   // RGBA, BGRA, sRGB alpha
    default: return {};
  }
}

// The block compression of an OpenGL compressed internal format.
std::string GlCompression(std::uint32_t format) {
  if (format == 0x83F0 || format == 0x83F1 || format == 0x8C4C || format == 0x8C4D) return "DXT1";
  if (format == 0x83F2 || format == 0x8C4E) return "DXT3";
  if (format == 0x83F3 || format == 0x8C4F) return "DXT5";
  if (format == 0x8D64) return "ETC1";
  if (format >= 0x9270 && format <= 0x9273) return "EAC";
  if (format >= 0x9274 && format <= 0x9279) return "ETC2";
  if ((format >= 0x93B0 && format <= 0x93BD) || (format >= 0x93D0 && format <= 0x93DD)) return "ASTC";
  if (format == 0x8E8C || format == 0x8E8D) return "BC7";
  if (format == 0x8E8E || format == 0x8E8F) return "BC6H";
  if (format >= 0x8DBB && format <= 0x8DBC) return "BC4";
  if (format >= 0x8DBD && format <= 0x8DBE) return "BC5";
  if (format >= 0x8C00 && format <= 0x8C03) return "PVRTC";
  return "OpenGL format " + std::to_string(format);
}

// Bits per sample of an OpenGL pixel type; empty for others.
std::string GlTypeBits(std::uint32_t type) {
  switch (type) {
    case 0x1400: case 0x1401: return "8";
    case 0x1402: case 0x1403: case 0x140B: return "16";
    case 0x1404: case 0x1405: case 0x1406: return "32";
    case 0x8363: return "5,6,5";
    case 0x8033: return "4";
    case 0x8034: return "5,5,5,1";
    default: return {};
  }
}

// ------------------------------------------------------------------ KTX 2

// The block compression a data format descriptor's colour model names;
// empty for the uncompressed models.
const char* ModelCompression(std::uint8_t model) {
  switch (model) {
    case 128: return "BC1";
    case 129: return "BC2";
    case 130: return "BC3";
    case 131: return "BC4";
    case 132: return "BC5";
    case 133: return "BC6H";
    case 134: return "BC7";
    case 160: return "ETC1";
    case 161: return "ETC2";
    case 162: return "ASTC";
    case 163: return "ETC1S";
    case 164: return "PVRTC";
    case 165: return "PVRTC2";
    case 166: return "UASTC";
    default: return "";
  }
}

// The Vulkan name of `format` (without "VK_FORMAT_"); the number when not
// a core format.
std::string VkFormatName(std::uint32_t format) {
  static const char* const kSingles[] = {"UNDEFINED", "R4G4_UNORM_PACK8", "R4G4B4A4_UNORM_PACK16",
                                         "B4G4R4A4_UNORM_PACK16", "R5G6B5_UNORM_PACK16", "B5G6R5_UNORM_PACK16",
                                         "R5G5B5A1_UNORM_PACK16", "B5G5R5A1_UNORM_PACK16", "A1R5G5B5_UNORM_PACK16"};
  static const char* const kNumeric[] = {"UNORM", "SNORM", "USCALED", "SSCALED", "UINT", "SINT", "SRGB"};
  static const char* const kWide[] = {"UNORM", "SNORM", "USCALED", "SSCALED", "UINT", "SINT", "SFLOAT"};
  static const char* const kInteger[] = {"UINT", "SINT", "SFLOAT"};
  struct Run {
    std::uint32_t first, count;
    const char* components;
    const char* const* suffixes;
    const char* tail;
  };
  static const Run kRuns[] = {
      {9, 7, "R8", kNumeric, ""},          {16, 7, "R8G8", kNumeric, ""},       {23, 7, "R8G8B8", kNumeric, ""},
      {30, 7, "B8G8R8", kNumeric, ""},     {37, 7, "R8G8B8A8", kNumeric, ""},   {44, 7, "B8G8R8A8", kNumeric, ""},
      {51, 7, "A8B8G8R8", kNumeric, "_PACK32"}, {58, 6, "A2R10G10B10", kNumeric, "_PACK32"},
      {64, 6, "A2B10G10R10", kNumeric, "_PACK32"}, {70, 7, "R16", kWide, ""},    {77, 7, "R16G16", kWide, ""},
      {84, 7, "R16G16B16", kWide, ""},     {91, 7, "R16G16B16A16", kWide, ""},  {98, 3, "R32", kInteger, ""},
      {101, 3, "R32G32", kInteger, ""},    {104, 3, "R32G32B32", kInteger, ""}, {107, 3, "R32G32B32A32", kInteger, ""},
      {110, 3, "R64", kInteger, ""},       {113, 3, "R64G64", kInteger, ""},    {116, 3, "R64G64B64", kInteger, ""},
      {119, 3, "R64G64B64A64", kInteger, ""},
  };
  // 122 on: one name each, then pairs of block formats.
  static const char* const kOthers[] = {"B10G11R11_UFLOAT_PACK32", "E5B9G9R9_UFLOAT_PACK32", "D16_UNORM",
                                        "X8_D24_UNORM_PACK32", "D32_SFLOAT", "S8_UINT", "D16_UNORM_S8_UINT",
                                        "D24_UNORM_S8_UINT", "D32_SFLOAT_S8_UINT"};
  static const char* const kBlocks[] = {"BC1_RGB", "BC1_RGBA", "BC2", "BC3", "BC4", "BC5", "BC6H", "BC7",
                                        "ETC2_R8G8B8", "ETC2_R8G8B8A1", "ETC2_R8G8B8A8", "EAC_R11", "EAC_R11G11",
                                        "ASTC_4x4", "ASTC_5x4", "ASTC_5x5", "ASTC_6x5", "ASTC_6x6", "ASTC_8x5",
                                        "ASTC_8x6", "ASTC_8x8", "ASTC_10x5", "ASTC_10x6", "ASTC_10x8", "ASTC_10x10",
                                        "ASTC_12x10", "ASTC_12x12"};
  if (format < std::size(kSingles)) return kSingles[format];
  for (const Run& run : kRuns) {
    if (format >= run.first && format < run.first + run.count) {
      return std::string(run.components) + "_" + run.suffixes[format - run.first] + run.tail;
    }
  }
  if (format >= 122 && format < 122 + std::size(kOthers)) return kOthers[format - 122];
  const std::uint32_t block = format - 131;
  if (format >= 131 && block / 2 < std::size(kBlocks)) {
    const std::string name = kBlocks[block / 2];
    const bool signedPair = name == "BC4" || name == "BC5" || name.rfind("EAC", 0) == 0;
    const char* suffix = name == "BC6H" ? (block % 2 ? "SFLOAT" : "UFLOAT")
                         : signedPair   ? (block % 2 ? "SNORM" : "UNORM")
                                        : (block % 2 ? "SRGB" : "UNORM");
    return name + "_" + suffix + "_BLOCK";
  }
  return std::to_string(format);
}

const char* const kSupercompression[] = {"None", "BasisLZ", "Zstandard", "ZLIB"};

struct Descriptor {
  Channels channels;
  bool premultiplied = false;
  std::string compression = "None";
  std::string bits;
};

// Reads the basic block of the data format descriptor at `at`: its colour
// model and the channel of each sample.
bool ReadDescriptor(ByteReader& r, std::uint64_t at, std::uint64_t length, Descriptor& d) {
  if (length < 4 + 24) return false;
  const std::uint32_t blockSize = r.U32(at + 8) >> 16;
  const std::uint8_t model = r.U8(at + 12);
  d.premultiplied = (r.U8(at + 15) & 0x01) != 0;
  if (r.Failed() || blockSize < 24 || blockSize > length - 4) return false;
  const std::uint32_t samples = (blockSize - 24) / 16;
  bool colour[3] = {false, false, false}, alpha = false, other = false;
  for (std::uint32_t i = 0; i < samples; ++i) {
    const std::uint64_t sample = at + 4 + 24 + 16ull * i;
    const std::uint8_t bitLength = r.U8(sample + 2);
    const std::uint8_t id = r.U8(sample + 3) & 0x0F;
    if (model == 1 && i == 0) d.bits = std::to_string(bitLength + 1);
    switch (model) {
      case 1: case 2:  // RGBSDA, YUVSDA
        if (id <= 2) colour[id] = true;
        alpha |= id == 15;
        other |= id == 13 || id == 14;
        break;
      case 128: alpha |= id == 1; colour[0] = colour[1] = colour[2] = true; break;
      case 161:  // ETC2: red, green, colour, alpha
        if (id == 2) colour[0] = colour[1] = colour[2] = true;
        if (id <= 1) colour[id] = true;
        alpha |= id == 15;
        break;
      case 163:  // ETC1S: RGB, RRR, GGG, AAA
        colour[0] = true;
        if (id == 0) colour[1] = colour[2] = true;
        alpha |= id == 15;
        break;
      case 166:  // UASTC: RGB, RGBA, RRR, RRRG, RG
        colour[0] = true;
        colour[1] |= id == 0 || id == 3 || id == 6;
        colour[2] |= id == 0 || id == 3;
        alpha |= id == 3 || id == 5;
        break;
      default:  // one sample for the block: BC4 is one channel, BC5 two
        colour[0] = true;
        colour[1] |= model != 131;
        colour[2] |= model != 131 && model != 132;
        alpha |= model == 129 || model == 130 || model == 134 || model == 162;
        break;
    }
  }
  if (r.Failed()) return false;
  const int count = colour[0] + colour[1] + colour[2];
  d.channels.alpha = alpha;
  if (model == 2) {
    d.channels.encoding = PXC_CE_YCBCR;
    d.channels.inks = 3;
  } else if (count >= 2) {
    d.channels.encoding = PXC_CE_RGB;
    d.channels.inks = static_cast<std::uint16_t>(count);
  } else if (count == 1 || other) {
    d.channels.encoding = PXC_CE_GRAY;
    d.channels.inks = 1;
  }
  if (*ModelCompression(model) != '\0') d.compression = ModelCompression(model);
  return true;
}

class KtxReader : public PreparedReader {
 public:
  bool Open(const ByteSource& source) override {
    iImages.clear();
    ByteReader r(source, true);
    const std::string identifier = r.Text(0, kIdentifierSize);
    if (identifier == std::string(kKtx1, kIdentifierSize)) return OpenKtx1(r);
    if (identifier == std::string(kKtx2, kIdentifierSize)) return OpenKtx2(r);
    return false;
  }

 private:
  bool OpenKtx1(ByteReader& r) {
    if (r.U32(12) != kEndianness) r.SetLittleEndian(false);
    if (r.U32(12) != kEndianness) return Refuse("the endianness mark is not 0x04030201 in either byte order");
    const std::uint32_t glType = r.U32(16), internal = r.U32(28), base = r.U32(32);
    const std::uint32_t width = r.U32(36), height = r.U32(40), depth = r.U32(44);
    const std::uint32_t arrays = r.U32(48), faces = r.U32(52), levels = r.U32(56), keyValueBytes = r.U32(60);
    if (r.Failed()) return Refuse("the header is cut short");
    if (width == 0) return Refuse("the width is 0");
    if (faces != 1 && faces != 6) return Refuse(std::to_string(faces) + " faces (1 or 6 expected)");
    const std::uint32_t rows = height == 0 ? 1 : height;
    // A volume's depth halves with its levels too.
    if (levels > MaxMipmapLevels(std::max(width, depth), rows)) return Refuse(std::to_string(levels) + " mipmap levels for the size");
    if (keyValueBytes > r.Size() - kKtx1HeaderSize) return Refuse("the key/value data runs past the end of the file");

    ImageDescription main;
    main.version = "1";
    main.columns = width;
    main.rows = rows;
    const Channels c = GlBaseChannels(base);
    SetChannels(main, c, false);
    main.extended.emplace_back("Compression", glType == 0 ? GlCompression(internal) : "None");
    const std::string bits = GlTypeBits(glType);
    if (!bits.empty()) main.extended.emplace_back("BitsPerSample", bits);
    main.extended.emplace_back("ByteOrder", r.LittleEndian() ? "little-endian" : "big-endian");
    ReadKeyValues(r, kKtx1HeaderSize, keyValueBytes, main);
    AddLayout(main, depth, arrays, faces, levels);

    // Each level: its size, then its data (of every face, for a cube map
    // that is not an array), padded to four bytes.
    std::uint32_t held = 0;
    std::uint64_t at = kKtx1HeaderSize + keyValueBytes;
    for (std::uint32_t level = 0; level < std::max(levels, 1u); ++level) {
      const std::uint64_t size = r.U32(at);
      const std::uint64_t step = ((size + 3) & ~std::uint64_t{3}) * (faces == 6 && arrays == 0 ? 6 : 1);
      if (r.Failed() || step > r.Size() - at - 4) break;
      ++held;
      at += 4 + step;
    }
    AddLevels(main, held);
    return true;
  }

  bool OpenKtx2(ByteReader& r) {
    const std::uint32_t vkFormat = r.U32(12);
    const std::uint32_t width = r.U32(20), height = r.U32(24), depth = r.U32(28);
    const std::uint32_t layers = r.U32(32), faces = r.U32(36), levels = r.U32(40), scheme = r.U32(44);
    const std::uint32_t dfdOffset = r.U32(48), dfdLength = r.U32(52);
    const std::uint32_t kvdOffset = r.U32(56), kvdLength = r.U32(60);
    if (r.Failed()) return Refuse("the header is cut short");
    if (width == 0) return Refuse("the width is 0");
    if (faces != 1 && faces != 6) return Refuse(std::to_string(faces) + " faces (1 or 6 expected)");
    const std::uint32_t rows = height == 0 ? 1 : height;
    if (levels > MaxMipmapLevels(std::max(width, depth), rows)) return Refuse(std::to_string(levels) + " mipmap levels for the size");
    if (dfdOffset > r.Size() || dfdLength > r.Size() - dfdOffset) {
      return Refuse("the data format descriptor runs past the end of the file");
    }
    Descriptor d;
    if (!ReadDescriptor(r, dfdOffset, dfdLength, d)) return Refuse("the data format descriptor cannot be read");

    ImageDescription main;
    main.version = "2";
    main.columns = width;
    main.rows = rows;
    SetChannels(main, d.channels, d.premultiplied);
    main.extended.emplace_back("Compression", d.compression);
    if (!d.bits.empty()) main.extended.emplace_back("BitsPerSample", d.bits);
    if (scheme != 0) {
      main.extended.emplace_back("Supercompression",
                                 scheme < std::size(kSupercompression) ? kSupercompression[scheme]
                                                                       : "scheme " + std::to_string(scheme));
    }
    main.extended.emplace_back("VkFormat", VkFormatName(vkFormat));
    if (kvdOffset <= r.Size() && kvdLength <= r.Size() - kvdOffset) ReadKeyValues(r, kvdOffset, kvdLength, main);
    AddLayout(main, depth, layers, faces, levels);

    // The level index: where each level's data lies.
    std::uint32_t heldLevels = 0;
    for (std::uint32_t level = 0; level < std::max(levels, 1u); ++level) {
      const std::uint64_t entry = kKtx2HeaderSize + kKtx2LevelEntry * level;
      const std::uint64_t offset = r.U64(entry), length = r.U64(entry + 8);
      if (r.Failed() || offset > r.Size() || length > r.Size() - offset) break;
      ++heldLevels;
    }
    AddLevels(main, heldLevels);
    return true;
  }

  static void SetChannels(ImageDescription& out, const Channels& c, bool premultiplied) {
    out.channelEncoding = c.encoding;
    out.inks = c.inks;
    if (c.alpha) out.alphaPlane = premultiplied ? PXC_AP_ASSOCIATED : PXC_AP_UNASSOCIATED;
  }

  // The key/value pairs: a 32-bit size, the key and value (each ended by a
  // NUL), padding to four bytes.  The writer and the orientation are kept.
  static void ReadKeyValues(ByteReader& reader, std::uint64_t at, std::uint64_t length, ImageDescription& out) {
    ByteReader r(reader);
    const std::uint64_t end = at + length;
    for (int i = 0; i < kMaxPairs && at + 4 <= end; ++i) {
      const std::uint64_t size = r.U32(at);
      if (r.Failed() || size > end - at - 4) return;
      const std::string pair = r.Text(at + 4, static_cast<std::size_t>(size));
      const std::size_t nul = pair.find('\0');
      if (nul != std::string::npos) {
        const std::string key = pair.substr(0, nul);
        std::string value = pair.substr(nul + 1);
        value.resize(std::min(value.find('\0'), value.size()));
        if (key == "KTXwriter") out.extended.emplace_back("Software", value);
        // "T=u" (KTX 1) or a second letter 'u' (KTX 2): rows run bottom up.
        if (key == "KTXorientation" && (value.find("T=u") != std::string::npos || (value.size() >= 2 && value[1] == 'u'))) {
          out.rotation = PXC_IR_MIRROR_180;
        }
      }
      at += 4 + ((size + 3) & ~std::uint64_t{3});
    }
  }

  static void AddLayout(ImageDescription& out, std::uint32_t depth, std::uint32_t arrays, std::uint32_t faces,
                        std::uint32_t levels) {
    if (depth > 1) out.extended.emplace_back("Depth", std::to_string(depth));
    if (arrays > 0) out.extended.emplace_back("ArraySize", std::to_string(arrays));
    if (faces == 6) out.extended.emplace_back("CubeFaces", "6");
    if (levels > 1) out.extended.emplace_back("Mipmaps", std::to_string(levels));
  }

  // Level 0 from the header, and every further level the file holds.
  void AddLevels(const ImageDescription& main, std::uint32_t held) {
    iImages.push_back(main);
    for (std::uint32_t level = 1; level < held; ++level) iImages.push_back(MipmapLevel(main, level));
  }
};

}  // namespace

std::unique_ptr<FormatReader> MakeKtxReader() { return std::make_unique<KtxReader>(); }
IMR_READER(KTX, MakeKtxReader);

}  // namespace imr::formats
