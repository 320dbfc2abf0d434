// JPEG XL: the codestream's size header and image metadata (orientation,
// bit depth, extra channels, colour space), read bit by bit from the head
// of the codestream; in the box container, from the jxlc box or the jxlp
// parts in their order, with the Exif, XML and JPEG reconstruction boxes as
// details.
#include "formats/boxed/jxl_reader.h"

#include <algorithm>
#include <string>

#include "formats/common/byte_reader.h"
#include "formats/common/iso_box.h"
#include "formats/common/reader_registry.h"
#include "formats/common/tiff_structure.h"

namespace imr::formats {
namespace {

constexpr std::size_t kHead = 4096;  // codestream bytes the headers must fit in
constexpr int kMaxBoxes = 4096;
constexpr char kContainer[] = "\0\0\0\x0CJXL \r\n\x87\n";

// Bits of the codestream, least significant first; reads past the end give
// zeros and set the failed flag.
class Bits {
 public:
  explicit Bits(const std::string& bytes) : iBytes(bytes) {}
  bool Failed() const { return iFailed; }
  std::uint32_t Read(int count) {
    std::uint32_t value = 0;
    for (int i = 0; i < count; ++i, ++iAt) {
      if (iAt / 8 >= iBytes.size()) {
        iFailed = true;
        continue;
      }
      value |= ((static_cast<std::uint8_t>(iBytes[iAt / 8]) >> (iAt % 8)) & 1u) << i;
    }
    return value;
  }
  bool Bool() { return Read(1) != 0; }
  // One of four distributions, chosen by two bits: a constant when `bits`
  // is 0, else `offset` plus that many bits.
  struct Choice {
    int bits;
    std::uint32_t offset;
  };
  std::uint64_t U32(Choice c0, Choice c1, Choice c2, Choice c3) {
    const Choice choices[] = {c0, c1, c2, c3};
    const Choice& c = choices[Read(2)];
    return std::uint64_t{c.offset} + Read(c.bits);
  }
  std::uint64_t Enum() { return U32({0, 0}, {0, 1}, {4, 2}, {6, 18}); }

 private:
  const std::string& iBytes;
  std::size_t iAt = 0;
  bool iFailed = false;
};

constexpr std::uint32_t kRatios[8][2] = {{0, 0}, {1, 1}, {12, 10}, {4, 3}, {3, 2}, {16, 9}, {5, 4}, {2, 1}};

void ReadSize(Bits& b, std::uint64_t& columns, std::uint64_t& rows) {
  const auto side = [&b](bool small) {
    return small ? (std::uint64_t{b.Read(5)} + 1) * 8 : b.U32({9, 1}, {13, 1}, {18, 1}, {30, 1});
  };
  const bool small = b.Bool();
  rows = side(small);
  const std::uint32_t ratio = b.Read(3);
  columns = ratio == 0 ? side(small) : rows * kRatios[ratio][0] / kRatios[ratio][1];
}

void SkipPreview(Bits& b) {
  const auto side = [&b](bool div8) {
    if (div8) b.U32({0, 16}, {0, 32}, {5, 1}, {9, 33});
    else b.U32({6, 1}, {8, 65}, {10, 321}, {12, 1345});
  };
  const bool div8 = b.Bool();
  side(div8);
  if (b.Read(3) == 0) side(div8);
}

struct BitDepth {
  std::uint64_t bits = 8;
  bool floating = false;
};

BitDepth ReadBitDepth(Bits& b) {
  BitDepth depth;
  depth.floating = b.Bool();
  if (!depth.floating) {
    depth.bits = b.U32({0, 8}, {0, 10}, {0, 12}, {6, 1});
  } else {
    depth.bits = b.U32({0, 32}, {0, 16}, {0, 24}, {6, 1});
    b.Read(4);  // exponent bits
  }
  return depth;
}

enum ExtraChannel : std::uint64_t { kAlpha = 0, kSpotColour = 2, kBlack = 4, kCfa = 5 };

struct Metadata {
  std::uint64_t columns = 0, rows = 0;
  std::uint64_t orientation = 1;
  BitDepth depth;
  bool animated = false;
  bool alpha = false, associated = false, black = false;
  std::uint64_t extraChannels = 0;
  std::uint64_t colourSpace = 0;  // RGB, grey, XYB, unknown
};

bool ReadCodestream(const std::string& head, Metadata& m) {
  Bits b(head);
  if (b.Read(16) != 0x0AFF) return false;
  ReadSize(b, m.columns, m.rows);
  if (b.Bool()) return !b.Failed();  // all default: 8-bit RGB without extra channels
  if (b.Bool()) {  // extra fields
    m.orientation = 1 + b.Read(3);
    if (b.Bool()) {
      std::uint64_t c, r;
      ReadSize(b, c, r);  // intrinsic size
    }
    if (b.Bool()) SkipPreview(b);
    if (b.Bool()) {
      m.animated = true;
      b.U32({0, 100}, {0, 1000}, {10, 1}, {30, 1});
      b.U32({0, 1}, {0, 1001}, {8, 1}, {10, 1});
      b.U32({0, 0}, {3, 0}, {16, 0}, {32, 0});
      b.Bool();
    }
  }
  m.depth = ReadBitDepth(b);
  b.Bool();  // 16-bit buffers suffice
  m.extraChannels = b.U32({0, 0}, {0, 1}, {4, 2}, {12, 1});
  for (std::uint64_t i = 0; i < m.extraChannels && !b.Failed(); ++i) {
    std::uint64_t type = kAlpha;
    bool associated = false;
    if (!b.Bool()) {
      type = b.Enum();
      ReadBitDepth(b);
      b.U32({0, 0}, {0, 3}, {0, 4}, {3, 1});  // dimension shift
      const std::uint64_t name = b.U32({0, 0}, {4, 0}, {5, 16}, {10, 48});
      for (std::uint64_t c = 0; c < name && !b.Failed(); ++c) b.Read(8);
      if (type == kAlpha) associated = b.Bool();
      if (type == kSpotColour) b.Read(32), b.Read(32);  // four half floats
      if (type == kCfa) b.U32({0, 1}, {2, 0}, {4, 3}, {8, 19});
    }
    if (type == kAlpha && !m.alpha) {
      m.alpha = true;
      m.associated = associated;
    }
    m.black |= type == kBlack;
  }
  b.Bool();  // XYB encoded
  if (!b.Bool()) {  // colour encoding not all default
    b.Bool();  // an ICC profile
    m.colourSpace = b.Enum();
  }
  return !b.Failed();
}

class JxlReader : public PreparedReader {
 public:
  bool Open(const ByteSource& source) override {
    iImages.clear();
    ByteReader r(source);
    ImageDescription d;
    std::string head;
    if (r.Text(0, 2) == "\xFF\x0A") {
      head = r.Text(0, kHead);
    } else if (r.Text(0, 12) == std::string(kContainer, 12)) {
      ReadContainer(source, head, d);
      if (head.empty()) return Refuse("the container holds no codestream box");
    } else {
      return false;
    }
    Metadata m;
    if (!ReadCodestream(head, m)) return Refuse("the codestream's headers are cut short or not valid");
    if (m.columns == 0 || m.rows == 0 || m.columns > 0xFFFFFFFF || m.rows > 0xFFFFFFFF) {
      return Refuse("the image size is out of range");
    }
    d.columns = static_cast<std::uint32_t>(m.columns);
    d.rows = static_cast<std::uint32_t>(m.rows);
    d.rotation = tiff::RotationFromOrientation(m.orientation);
    if (m.black) {
      d.channelEncoding = PXC_CE_CMYK;
      d.inks = 4;
    } else if (m.colourSpace == 1) {
      d.channelEncoding = PXC_CE_GRAY;
      d.inks = 1;
    } else {
      d.channelEncoding = PXC_CE_RGB;
      d.inks = 3;
    }
    if (m.alpha) d.alphaPlane = m.associated ? PXC_AP_ASSOCIATED : PXC_AP_UNASSOCIATED;
    d.extended.insert(d.extended.begin(), {{"Compression", "JPEG XL"},
                                           {"BitsPerSample", std::to_string(m.depth.bits) + (m.depth.floating ? " float" : "")}});
    if (m.extraChannels > 0) d.extended.emplace_back("ExtraChannels", std::to_string(m.extraChannels));
    if (m.animated) d.extended.emplace_back("Animation", "yes");
    if (std::string name = tiff::OrientationName(m.orientation); !name.empty() && m.orientation != 1) {
      d.extended.emplace_back("Orientation", name);
    }
    iImages.push_back(d);
    return true;
  }

 private:
  // The head of the codestream of jxlc, or of the jxlp parts in order, and
  // the metadata boxes as details.
  static void ReadContainer(const ByteSource& source, std::string& head, ImageDescription& d) {
    ByteReader r(source);
    box::Box b;
    std::uint64_t at = 12;
    for (int i = 0; i < kMaxBoxes && box::ReadBox(source, at, r.Size(), b); ++i, at = b.end) {
      const std::size_t room = kHead - head.size();
      // A Brotli-compressed box names the type it holds.
      const std::uint32_t type = b.type == FourCC("brob") ? r.U32BE(b.content) : b.type;
      if (b.type == FourCC("jxlc") && head.empty()) {
        head = r.Text(b.content, static_cast<std::size_t>(std::min<std::uint64_t>(b.ContentSize(), room)));
      } else if (b.type == FourCC("jxlp") && b.ContentSize() >= 4 && room > 0) {
        head += r.Text(b.content + 4, static_cast<std::size_t>(std::min<std::uint64_t>(b.ContentSize() - 4, room)));
      } else if (type == FourCC("Exif")) {
        d.extended.emplace_back("Exif", "yes");
      } else if (type == FourCC("xml ")) {
        d.extended.emplace_back("XMP", "yes");
      } else if (type == FourCC("jbrd")) {
        d.extended.emplace_back("JPEGReconstruction", "yes");
      }
      if (b.end <= at) break;
    }
  }
};

}  // namespace

std::unique_ptr<FormatReader> MakeJxlReader() { return std::make_unique<JxlReader>(); }
IMR_READER(JXL, MakeJxlReader);

}  // namespace imr::formats
