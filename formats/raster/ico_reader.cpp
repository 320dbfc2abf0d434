#include "formats/raster/ico_reader.h"

#include <cstring>
#include <string>
#include <vector>

#include "formats/common/byte_reader.h"
#include "formats/common/reader_registry.h"
#include "formats/raster/dib_util.h"
#include "formats/raster/icon_util.h"

namespace imr::formats {

namespace {

// Icons of a file are alternatives of one picture at different sizes and
// depths, not pages: every icon is reported as PXC_IT_MAIN, in the order
// the file stores them.

constexpr std::uint64_t kIcoEntrySize = 16;

// ---------------------------------------------------------------- ICO/CUR

class IcoFile {
 public:
  // False with `why` empty when the bytes are not an icon file.
  bool Open(const ByteSource& source, std::string& why) {
    iSource = &source;
    ByteReader r(source, true);
    const std::uint16_t reserved = r.U16(0);
    iType = r.U16(2);
    iCount = r.U16(4);
    if (r.Failed() || reserved != 0 || (iType != 1 && iType != 2)) return false;
    if (iCount == 0 || 6 + kIcoEntrySize * iCount > r.Size()) {
      why = iCount == 0 ? "the directory lists no icons" : "the directory runs past the end of the file";
      return false;
    }
    // The magic is weak: the first entry must hold a readable image.
    ImageDescription first;
    if (DescribeEntry(0, first, true)) return true;
    why = "the first icon holds neither a PNG nor a readable bitmap";
    return false;
  }

  bool Describe(std::uint32_t index, ImageDescription& out) {
    if (index >= iCount) return false;
    return DescribeEntry(index, out, false);
  }

 private:
  // Fills `out` from entry `index`; with `strict`, false unless its data
  // holds a PNG or a valid DIB header.  Entries whose data is unreadable are
  // described from the directory alone.
  bool DescribeEntry(std::uint32_t index, ImageDescription& out, bool strict) {
    ByteReader r(*iSource, true);
    const std::uint64_t entry = 6 + kIcoEntrySize * index;
    const std::uint32_t dirWidth = r.U8(entry) == 0 ? 256 : r.U8(entry);
    const std::uint32_t dirHeight = r.U8(entry + 1) == 0 ? 256 : r.U8(entry + 1);
    const std::uint16_t planesOrX = r.U16(entry + 4);
    const std::uint16_t bitsOrY = r.U16(entry + 6);
    std::uint64_t length = r.U32(entry + 8);
    const std::uint64_t offset = r.U32(entry + 12);
    if (r.Failed()) return false;
    if (offset < r.Size() && length > r.Size() - offset) length = r.Size() - offset;

    out = ImageDescription{};
    out.format = iType == 2 ? "CUR" : "ICO";
    out.type = PXC_IT_MAIN;
    bool read = false;
    if (offset < r.Size() && IconStreamKind(*iSource, offset, length) == IconStream::kPng) {
      read = DescribeIconStream(*iSource, offset, length, out);
    } else if (offset < r.Size()) {
      DibHeader dib;
      if (ReadDibHeader(r, offset, dib) && dib.height >= 2) {
        // The stored height covers the colour bitmap and the AND mask.
        dib.height /= 2;
        DescribeDib(r, dib, offset, out);
        // Windows ignores the resolution fields of icon bitmaps.
        out.units = PXC_MU_NONE;
        out.hResolution = out.vResolution = out.hRealSize = out.vRealSize = 0;
        // The AND mask (or, at 32 bits, the fourth byte) is straight alpha.
        out.alphaPlane = PXC_AP_UNASSOCIATED;
        read = true;
      }
    }
    if (!read) {
      if (strict) return false;
      out = ImageDescription{};
      out.format = iType == 2 ? "CUR" : "ICO";
      out.columns = dirWidth;
      out.rows = dirHeight;
      if (iType == 1 && bitsOrY != 0) {
        out.extended.emplace_back("BitsPerSample", std::to_string(bitsOrY));
      }
    }
    if (iType == 2) {
      out.extended.emplace_back("HotSpot", std::to_string(planesOrX) + "," + std::to_string(bitsOrY));
    }
    return true;
  }

  const ByteSource* iSource = nullptr;
  std::uint16_t iType = 0;
  std::uint16_t iCount = 0;
};

// ------------------------------------------------------------------- ICNS

enum class Kind { kMono, kMonoMask, kIndexed4, kIndexed8, kRgb, kMask8, kStream, kArgbOrStream };

struct ElementType {
  char type[5];
  std::uint16_t width, height;
  Kind kind;
};

constexpr ElementType kElementTypes[] = {
    {"ICON", 32, 32, Kind::kMono},      {"ICN#", 32, 32, Kind::kMonoMask},
    {"icm#", 16, 12, Kind::kMonoMask},  {"icm4", 16, 12, Kind::kIndexed4},
    {"icm8", 16, 12, Kind::kIndexed8},  {"ics#", 16, 16, Kind::kMonoMask},
    {"ics4", 16, 16, Kind::kIndexed4},  {"ics8", 16, 16, Kind::kIndexed8},
    {"is32", 16, 16, Kind::kRgb},       {"s8mk", 16, 16, Kind::kMask8},
    {"icl4", 32, 32, Kind::kIndexed4},  {"icl8", 32, 32, Kind::kIndexed8},
    {"il32", 32, 32, Kind::kRgb},       {"l8mk", 32, 32, Kind::kMask8},
    {"ich#", 48, 48, Kind::kMonoMask},  {"ich4", 48, 48, Kind::kIndexed4},
    {"ich8", 48, 48, Kind::kIndexed8},  {"ih32", 48, 48, Kind::kRgb},
    {"h8mk", 48, 48, Kind::kMask8},     {"it32", 128, 128, Kind::kRgb},
    {"t8mk", 128, 128, Kind::kMask8},   {"icp4", 16, 16, Kind::kStream},
    {"icp5", 32, 32, Kind::kStream},    {"icp6", 64, 64, Kind::kStream},
    {"ic07", 128, 128, Kind::kStream},  {"ic08", 256, 256, Kind::kStream},
    {"ic09", 512, 512, Kind::kStream},  {"ic10", 1024, 1024, Kind::kStream},
    {"ic11", 32, 32, Kind::kStream},    {"ic12", 64, 64, Kind::kStream},
    {"ic13", 256, 256, Kind::kStream},  {"ic14", 512, 512, Kind::kStream},
    {"ic04", 16, 16, Kind::kArgbOrStream}, {"ic05", 32, 32, Kind::kArgbOrStream},
    {"icsb", 18, 18, Kind::kArgbOrStream}, {"icsB", 36, 36, Kind::kArgbOrStream},
    {"sb24", 24, 24, Kind::kArgbOrStream}, {"SB24", 48, 48, Kind::kArgbOrStream},
};

const ElementType* FindElementType(const std::string& type) {
  for (const ElementType& t : kElementTypes) {
    if (type == t.type) return &t;
  }
  return nullptr;  // table of contents, version, names and unknown types
}

class IcnsFile {
 public:
  bool Open(const ByteSource& source, std::string& why) {
    iSource = &source;
    ByteReader r(source, false);
    if (r.Text(0, 4) != "icns") return false;
    const std::uint64_t declared = r.U32(4);
    if (r.Failed() || declared < 8) {
      why = "the file length is cut short or under 8 bytes";
      return false;
    }
    iEnd = declared < r.Size() ? declared : r.Size();
    iNext = 8;
    // An icon file with no icon in it is not one.
    while (iIcons.empty() && Step()) {
    }
    if (iIcons.empty()) why = "no icon element";
    return !iIcons.empty();
  }

  // Icons in file order, then the 8-bit masks that go with them.
  bool Describe(std::uint32_t index, ImageDescription& out) {
    while (index >= iIcons.size() && Step()) {
    }
    if (index < iIcons.size()) return DescribeElement(iIcons[index], out);
    while (Step()) {
    }
    index -= static_cast<std::uint32_t>(iIcons.size());
    if (index < iMasks.size()) return DescribeElement(iMasks[index], out);
    return false;
  }

 private:
  struct Element {
    const ElementType* type;
    std::uint64_t data;    // after the 8-byte element header
    std::uint64_t length;  // of the data
  };

  // Reads the element header at iNext; false at the end or on a bad length.
  bool Step() {
    if (iNext + 8 > iEnd) return false;
    ByteReader r(*iSource, false);
    const std::string type = r.Text(iNext, 4);
    const std::uint64_t length = r.U32(iNext + 4);
    if (r.Failed() || length < 8 || length > iEnd - iNext) {
      iNext = iEnd;
      return false;
    }
    const Element element{FindElementType(type), iNext + 8, length - 8};
    iNext += length;
    if (element.type != nullptr && element.length > 0) {
      (element.type->kind == Kind::kMask8 ? iMasks : iIcons).push_back(element);
    }
    return true;
  }

  bool DescribeElement(const Element& e, ImageDescription& out) {
    ByteReader r(*iSource, false);
    out = ImageDescription{};
    out.format = "ICNS";
    out.type = PXC_IT_MAIN;
    out.columns = e.type->width;
    out.rows = e.type->height;
    const std::uint64_t pixels = std::uint64_t{e.type->width} * e.type->height;
    const auto set = [&](PXC_TChannelEnc encoding, const char* compression, const char* bits) {
      out.channelEncoding = encoding;
      out.inks = 1;
      out.extended.emplace_back("Compression", compression);
      out.extended.emplace_back("BitsPerSample", bits);
    };
    switch (e.type->kind) {
      case Kind::kMono:
        set(PXC_CE_BILEVEL, "None", "1");
        break;
      case Kind::kMonoMask:
        set(PXC_CE_BILEVEL, "None", "1");
        out.alphaPlane = PXC_AP_UNASSOCIATED;  // the mask follows the icon
        break;
      case Kind::kIndexed4:
        set(PXC_CE_INDEXED, "None", "4");
        break;
      case Kind::kIndexed8:
        set(PXC_CE_INDEXED, "None", "8");
        break;
      case Kind::kMask8:
        out.type = PXC_IT_AUXILIARY;
        out.subtype = PXC_IS_MASK;
        set(PXC_CE_GRAY, "None", "8");
        break;
      case Kind::kRgb: {
        // 128-pixel icons start with four zero bytes; stored raw only when
        // the data is exactly three planes, otherwise run-length coded.
        const std::uint64_t skip = std::strcmp(e.type->type, "it32") == 0 ? 4 : 0;
        set(PXC_CE_RGB, e.length == skip + 3 * pixels ? "None" : "RLE", "8");
        out.inks = 3;
        break;
      }
      case Kind::kStream:
      case Kind::kArgbOrStream:
        if (IconStreamKind(*iSource, e.data, e.length) != IconStream::kNone) {
          DescribeIconStream(*iSource, e.data, e.length, out);
        } else if (e.type->kind == Kind::kArgbOrStream && r.Text(e.data, 4) == "ARGB") {
          set(PXC_CE_RGB, "RLE", "8");
          out.inks = 3;
          out.alphaPlane = PXC_AP_UNASSOCIATED;
        } else if (e.length == 3 * pixels || e.length < 3 * pixels) {
          // Early 'icp4'/'icp5' elements hold the run-length RGB of is32.
          set(PXC_CE_RGB, e.length == 3 * pixels ? "None" : "RLE", "8");
          out.inks = 3;
        }
        break;
    }
    return true;
  }

  const ByteSource* iSource = nullptr;
  std::uint64_t iEnd = 0;
  std::uint64_t iNext = 0;
  std::vector<Element> iIcons;
  std::vector<Element> iMasks;
};

// ------------------------------------------------------------------ reader

class IcoReader : public FormatReader {
 public:
  bool Open(const ByteSource& source) override {
    iIco = IcoFile{};
    iIcns = IcnsFile{};
    iIsIcns = false;
    iOpen = false;
    ByteReader r(source);
    std::string why;
    if (r.Text(0, 4) == "icns") {
      iIsIcns = true;
      iOpen = iIcns.Open(source, why);
    } else {
      iOpen = iIco.Open(source, why);
    }
    return iOpen || why.empty() ? iOpen : Refuse(why);
  }

  bool Describe(std::uint32_t index, ImageDescription& out) override {
    if (!iOpen) return false;
    return iIsIcns ? iIcns.Describe(index, out) : iIco.Describe(index, out);
  }

 private:
  IcoFile iIco;
  IcnsFile iIcns;
  bool iIsIcns = false;
  bool iOpen = false;
};

}  // namespace

std::unique_ptr<FormatReader> MakeIcoReader() { return std::make_unique<IcoReader>(); }
IMR_READER(ICO, MakeIcoReader);

}  // namespace imr::formats
