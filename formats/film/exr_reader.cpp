// OpenEXR: the version field and the header attributes of every part.  A
// single-part file has one header; a multi-part file a header per part, each
// an image (the first the main image, the others pages).  The display
// window gives the picture's size, the data window where its pixels lie.
#include <algorithm>
#include <bit>
#include <string>
#include <vector>

#include "formats/common/byte_reader.h"
#include "formats/common/reader_registry.h"
#include "formats/common/text_util.h"
#include "formats/film/film_reader.h"

namespace imr::formats {
namespace {

constexpr std::uint32_t kMagic = 20000630;
constexpr std::uint32_t kTiledFlag = 0x200, kLongNamesFlag = 0x400, kDeepFlag = 0x800, kMultipartFlag = 0x1000;
constexpr std::size_t kMaxParts = 1024;       // parts described; the rest are not read
constexpr int kMaxAttributes = 4096;          // per header
constexpr std::size_t kMaxChannels = 4096;    // per channel list
constexpr std::size_t kMaxListedChannels = 32;

struct Box {
  bool set = false;
  std::int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  std::int64_t Width() const { return std::int64_t{x1} - x0 + 1; }
  std::int64_t Height() const { return std::int64_t{y1} - y0 + 1; }
  std::string Text() const {
    return "(" + std::to_string(x0) + " " + std::to_string(y0) + ")-(" + std::to_string(x1) + " " +
           std::to_string(y1) + ")";
  }
};

struct Channel {
  std::string name;
  std::int32_t type = 0;  // 0 unsigned int, 1 half, 2 float
};

struct Part {
  Box data, display;
  std::vector<Channel> channels;
  bool hasChannels = false;
  int compression = -1;
  int lineOrder = -1;
  float aspect = 1;
  float xDensity = 0;
  std::string type, name, view;
  std::uint32_t tileWidth = 0, tileHeight = 0;
  int levelMode = -1;
};

const char* CompressionName(int code) {
  static const char* const kNames[] = {"None", "RLE", "ZIPS", "ZIP", "PIZ", "PXR24", "B44", "B44A", "DWAA", "DWAB"};
  return code >= 0 && code < static_cast<int>(std::size(kNames)) ? kNames[code] : nullptr;
}

// The part of a channel name after its layer ("diffuse.R" is R of diffuse).
std::string BaseName(const std::string& name) {
  const std::size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(dot + 1);
}

// Reads the attributes of one header from `pos` to its terminating NUL.
class HeaderParser {
 public:
  HeaderParser(ByteReader& r, std::size_t maxName) : iR(r), iMaxName(maxName) {}

  // Fills `part`; an empty string on success, else why it failed.
  std::string Parse(std::uint64_t& pos, Part& part) {
    for (int n = 0; n < kMaxAttributes; ++n) {
      if (iR.U8(pos) == 0) {
        if (iR.Failed()) return "the file ends inside a header";
        ++pos;
        return {};
      }
      std::string name, type;
      if (!Name(pos, name) || !Name(pos, type)) return "an attribute name is cut short or too long";
      const std::uint32_t size = iR.U32LE(pos);
      pos += 4;
      if (iR.Failed() || size > iR.Size() - std::min(pos, iR.Size())) {
        return "the attribute " + name + " runs past the end of the file";
      }
      Attribute(name, type, pos, size, part);
      pos += size;
    }
    return "a header holds more than " + std::to_string(kMaxAttributes) + " attributes";
  }

 private:
  // A NUL-terminated name of at most iMaxName bytes.
  bool Name(std::uint64_t& pos, std::string& out) {
    const std::string text = iR.Text(pos, iMaxName + 1);
    const std::size_t nul = text.find('\0');
    if (nul == std::string::npos || nul == 0) return false;
    out = text.substr(0, nul);
    pos += nul + 1;
    return true;
  }

  std::string String(std::uint64_t at, std::uint32_t size) { return TrimPadding(iR.Text(at, std::min<std::uint32_t>(size, 256))); }

  void Attribute(const std::string& name, const std::string& type, std::uint64_t at, std::uint32_t size, Part& p) {
    if (type == "box2i" && size == 16 && (name == "dataWindow" || name == "displayWindow")) {
      Box& box = name == "dataWindow" ? p.data : p.display;
      box.x0 = static_cast<std::int32_t>(iR.U32LE(at));
      box.y0 = static_cast<std::int32_t>(iR.U32LE(at + 4));
      box.x1 = static_cast<std::int32_t>(iR.U32LE(at + 8));
      box.y1 = static_cast<std::int32_t>(iR.U32LE(at + 12));
      box.set = true;
    } else if (type == "chlist" && name == "channels") {
      Channels(at, size, p);
    } else if (type == "compression" && name == "compression" && size == 1) {
      p.compression = iR.U8(at);
    } else if (type == "lineOrder" && name == "lineOrder" && size == 1) {
      p.lineOrder = iR.U8(at);
    } else if (type == "float" && size == 4 && (name == "pixelAspectRatio" || name == "xDensity")) {
      (name == "xDensity" ? p.xDensity : p.aspect) = std::bit_cast<float>(iR.U32LE(at));
    } else if (type == "tiledesc" && name == "tiles" && size == 9) {
      p.tileWidth = iR.U32LE(at);
      p.tileHeight = iR.U32LE(at + 4);
      p.levelMode = iR.U8(at + 8) & 0x0F;
    } else if (type == "string" && (name == "type" || name == "name" || name == "view")) {
      (name == "type" ? p.type : name == "name" ? p.name : p.view) = String(at, size);
    }
  }

  // Entries of a name, a pixel type, a linear flag, three reserved bytes
  // and two sampling rates, then a NUL.
  void Channels(std::uint64_t at, std::uint32_t size, Part& p) {
    p.hasChannels = true;
    const std::uint64_t end = at + size;
    while (at < end && p.channels.size() < kMaxChannels) {
      const std::string text = iR.Text(at, static_cast<std::size_t>(std::min<std::uint64_t>(end - at, iMaxName + 1)));
      const std::size_t nul = text.find('\0');
      if (nul == std::string::npos || nul == 0 || end - at < nul + 1 + 16) return;
      p.channels.push_back({text.substr(0, nul), static_cast<std::int32_t>(iR.U32LE(at + nul + 1))});
      at += nul + 1 + 16;
    }
  }

  ByteReader& iR;
  std::size_t iMaxName;
};

class ExrReader : public PreparedReader {
 public:
  bool Open(const ByteSource& source) override {
    iImages.clear();
    ByteReader r(source, true);
    if (r.U32(0) != kMagic) return false;
    const std::uint32_t field = r.U32(4);
    if (r.Failed()) return Refuse("the file ends inside the version field");
    const std::uint32_t version = field & 0xFF;
    if (version != 1 && version != 2) return Refuse("version " + std::to_string(version) + " is not known");
    const bool multipart = (field & kMultipartFlag) != 0;
    HeaderParser parser(r, (field & kLongNamesFlag) ? 255 : 31);

    std::uint64_t pos = 8;
    while (iImages.size() < kMaxParts) {
      if (multipart && r.U8(pos) == 0) break;  // the empty header that ends the list
      Part part;
      if (std::string problem = parser.Parse(pos, part); !problem.empty()) {
        if (iImages.empty()) return Refuse(problem);
        break;  // later parts damaged: the ones read stand
      }
      ImageDescription d;
      if (std::string problem = DescribePart(part, field, d); !problem.empty()) {
        if (iImages.empty()) return Refuse(problem);
        break;
      }
      d.version = std::to_string(version);
      d.type = iImages.empty() ? PXC_IT_MAIN : PXC_IT_PAGE;
      iImages.push_back(d);
      if (!multipart) break;
    }
    if (iImages.empty()) return Refuse("the file holds no part");
    if (multipart) iImages[0].extended.emplace_back("Parts", std::to_string(iImages.size()));
    return true;
  }

 private:
  // The description of a part; an empty string, else why it cannot be read.
  static std::string DescribePart(const Part& p, std::uint32_t field, ImageDescription& d) {
    if (!p.hasChannels) return "a header has no channel list";
    const Box& box = p.display.set ? p.display : p.data;
    if (!box.set) return "a header has neither a display window nor a data window";
    if (box.Width() <= 0 || box.Height() <= 0 || box.Width() > 0xFFFFFFFF || box.Height() > 0xFFFFFFFF) {
      return "the window " + box.Text() + " is empty";
    }
    d.columns = static_cast<std::uint32_t>(box.Width());
    d.rows = static_cast<std::uint32_t>(box.Height());
    DescribeChannels(p.channels, d);
    if (p.xDensity > 0) SetResolution(d, p.xDensity, p.xDensity * p.aspect);

    // A multi-part file names each part's kind, a single-part one flags it.
    const bool deep = p.type.empty() ? (field & kDeepFlag) != 0 : p.type.compare(0, 4, "deep") == 0;
    const bool tiled = p.type.empty() ? (field & kTiledFlag) != 0 : p.type.find("tile") != std::string::npos;
    const std::string storage = std::string(deep ? "deep " : "") + (tiled ? "tiled" : "scanline");
    if (const char* name = CompressionName(p.compression)) d.extended.emplace_back("Compression", name);
    d.extended.emplace_back("Storage", storage);
    if (p.tileWidth > 0 && p.tileHeight > 0) {
      static const char* const kLevels[] = {"", ", mipmap levels", ", ripmap levels"};
      d.extended.emplace_back("TileSize", std::to_string(p.tileWidth) + "x" + std::to_string(p.tileHeight) +
                                              (p.levelMode >= 0 && p.levelMode < 3 ? kLevels[p.levelMode] : ""));
    }
    if (p.lineOrder >= 0 && p.lineOrder <= 2) {
      static const char* const kOrders[] = {"increasing y", "decreasing y", "random y"};
      d.extended.emplace_back("LineOrder", kOrders[p.lineOrder]);
    }
    if (p.data.set) d.extended.emplace_back("DataWindow", p.data.Text());
    if (p.display.set) d.extended.emplace_back("DisplayWindow", p.display.Text());
    if (p.aspect > 0 && p.aspect != 1) d.extended.emplace_back("PixelAspectRatio", DecimalText(p.aspect));
    if (!p.name.empty()) d.extended.emplace_back("PartName", p.name);
    if (!p.view.empty()) d.extended.emplace_back("View", p.view);
    return {};
  }

  // The colour model from the channels' names: R, G and B; Y with or without
  // the chroma channels RY and BY; any other set of channels is described by
  // its names.  A is alpha, premultiplied as OpenEXR keeps it.
  static void DescribeChannels(const std::vector<Channel>& channels, ImageDescription& d) {
    std::vector<std::string> bases;  // distinct, without alpha
    for (const Channel& c : channels) {
      const std::string base = BaseName(c.name);
      if (base == "A") {
        d.alphaPlane = PXC_AP_ASSOCIATED;
      } else if (std::find(bases.begin(), bases.end(), base) == bases.end()) {
        bases.push_back(base);
      }
    }
    const auto has = [&](const char* name) { return std::find(bases.begin(), bases.end(), name) != bases.end(); };
    if (has("R") && has("G") && has("B")) {
      d.channelEncoding = PXC_CE_RGB;
      d.inks = 3;
    } else if (has("Y") && (has("RY") || has("BY"))) {
      d.channelEncoding = PXC_CE_YCBCR;
      d.inks = 3;
    } else if (has("Y") || bases.size() == 1) {
      d.channelEncoding = PXC_CE_GRAY;
      d.inks = 1;
    } else if (!bases.empty()) {
      d.channelEncoding = PXC_CE_MULTICHANNEL;
      d.inks = static_cast<std::uint16_t>(std::min<std::size_t>(bases.size(), 0xFFFF));
      d.inkNames.assign(bases.begin(), bases.begin() + std::min(bases.size(), kMaxListedChannels));
    }
    // The sample type of R, else of Y, else of the first channel.
    const Channel* sample = nullptr;
    for (const char* name : {"R", "Y"}) {
      for (const Channel& c : channels) {
        if (sample == nullptr && BaseName(c.name) == name) sample = &c;
      }
    }
    if (sample == nullptr && !channels.empty()) sample = &channels[0];
    if (sample != nullptr && sample->type >= 0 && sample->type <= 2) {
      static const char* const kFormats[] = {"unsigned integer", "half float", "float"};
      d.extended.emplace_back("BitsPerSample", sample->type == 1 ? "16" : "32");
      d.extended.emplace_back("SampleFormat", kFormats[sample->type]);
    }
    std::string list;
    for (std::size_t i = 0; i < channels.size() && i < kMaxListedChannels; ++i) {
      list += (i ? "," : "") + channels[i].name;
    }
    if (channels.size() > kMaxListedChannels) list += ",...";
    if (!list.empty()) d.extended.emplace_back("Channels", list);
  }
};

}  // namespace

std::unique_ptr<FormatReader> MakeExrReader() { return std::make_unique<ExrReader>(); }
IMR_READER(EXR, MakeExrReader);

}  // namespace imr::formats
