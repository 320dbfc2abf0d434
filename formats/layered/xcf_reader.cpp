#include "formats/layered/xcf_reader.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cmath>
#include <string>

#include "formats/common/byte_reader.h"
#include "formats/common/icc_profile.h"
#include "formats/common/reader_registry.h"

namespace imr::formats {

namespace {

constexpr std::uint64_t kMagicSize = 14;
constexpr std::uint32_t kMaxImageSize = 524288;
constexpr double kMinResolution = 0.005;
constexpr double kMaxResolution = 1048576;
// Image properties read before giving up on finding their end.
constexpr int kMaxProperties = 4096;
constexpr int kMaxParasites = 1024;
// Bytes of a metadata parasite searched for EXIF and XMP entries.
constexpr std::uint64_t kMaxMetadataScan = 1 << 20;

enum Property : std::uint32_t {
  kPropEnd = 0,
  kPropCompression = 17,
  kPropResolution = 19,
  kPropParasites = 21,
};

struct Precision {
  int bits = 8;
  bool isFloat = false;
  const char* curve = "non-linear";
};

// Precision codes: version 4 numbered them 0..4; versions 5 and 6 used
// 100..550 with half floats at 400; later versions use GIMP's own enum
// (half 500, float 600, double 700; xx75 perceptual).
bool DecodePrecision(std::uint32_t version, std::uint32_t code, Precision& p) {
  if (version == 4) {
    static const Precision kV4[] = {{8, false, "non-linear"}, {16, false, "non-linear"},
                                    {32, false, "linear"}, {16, true, "linear"},
                                    {32, true, "linear"}};
    if (code > 4) return false;
    p = kV4[code];
    return true;
  }
  const std::uint32_t family = code / 100;
  const std::uint32_t curve = code % 100;
  if (curve != 0 && curve != 50 && !(version >= 7 && curve == 75)) return false;
  p.curve = curve == 0 ? "linear" : curve == 50 ? "non-linear" : "perceptual";
  if (version <= 6) {
    switch (family) {
      case 1: p.bits = 8; break;
      case 2: p.bits = 16; break;
      case 3: p.bits = 32; break;
      case 4: p.bits = 16; p.isFloat = true; break;
      case 5: p.bits = 32; p.isFloat = true; break;
      default: return false;
    }
    return true;
  }
  switch (family) {
    case 1: p.bits = 8; break;
    case 2: p.bits = 16; break;
    case 3: p.bits = 32; break;
    case 5: p.bits = 16; p.isFloat = true; break;
    case 6: p.bits = 32; p.isFloat = true; break;
    case 7: p.bits = 64; p.isFloat = true; break;
    default: return false;
  }
  return true;
}

class XcfReader : public FormatReader {
 public:
  bool Open(const ByteSource& source) override {
    *this = XcfReader{};
    ByteReader r(source, false);
    const std::string magic = r.Text(0, kMagicSize);
    if (magic.size() != kMagicSize || magic.compare(0, 9, "gimp xcf ") != 0 || magic[13] != '\0') {
      return false;
    }
    const std::string tag = magic.substr(9, 4);
    if (tag == "file") {
      iVersion = 0;
    } else if (tag[0] == 'v' && std::isdigit(static_cast<unsigned char>(tag[1])) &&
               std::isdigit(static_cast<unsigned char>(tag[2])) &&
               std::isdigit(static_cast<unsigned char>(tag[3]))) {
      iVersion = static_cast<std::uint32_t>(std::stoi(tag.substr(1)));
    } else {
      return Refuse("the version tag '" + tag + "' is not valid");
    }
    iWidth = r.U32(14);
    iHeight = r.U32(18);
    iBaseType = r.U32(22);
    iPropertiesAt = 26;
    if (iVersion >= 4) {
      const std::uint32_t code = r.U32(26);
      if (!DecodePrecision(iVersion, code, iPrecision)) {
        return Refuse("precision " + std::to_string(code) + " is not valid in version " + std::to_string(iVersion));
      }
      iPropertiesAt = 30;
    }
    if (r.Failed() || iWidth == 0 || iHeight == 0 || iWidth > kMaxImageSize ||
        iHeight > kMaxImageSize || iBaseType > 2) {
      return Refuse(r.Failed() ? "the file ends inside the header"
                               : "the image size or base type is out of range");
    }
    iSource = &source;
    return true;
  }

  bool Describe(std::uint32_t index, ImageDescription& out) override {
    if (!iSource || index != 0) return false;
    out = ImageDescription{};
    out.version = std::to_string(iVersion);
    out.columns = iWidth;
    out.rows = iHeight;
    static const PXC_TChannelEnc kEncodings[] = {PXC_CE_RGB, PXC_CE_GRAY, PXC_CE_INDEXED};
    out.channelEncoding = kEncodings[iBaseType];
    out.inks = iBaseType == 0 ? 3 : 1;
    ReadProperties(out);
    return true;
  }

 private:
  // Walks the image properties, then counts the layer pointers after them.
  void ReadProperties(ImageDescription& out) {
    ByteReader r(*iSource, false);
    const std::uint64_t size = r.Size();
    std::uint64_t at = iPropertiesAt;
    int compression = -1;
    double xRes = 0, yRes = 0;
    bool ended = false;
    std::string profile;
    bool exif = false, xmp = false;
    for (int i = 0; i < kMaxProperties && at + 8 <= size; ++i) {
      const std::uint32_t type = r.U32(at);
      const std::uint64_t length = r.U32(at + 4);
      const std::uint64_t data = at + 8;
      if (type == kPropEnd) {
        at = data;
        ended = true;
        break;
      }
      if (length > size - data) break;
      if (type == kPropCompression && length >= 1) {
        compression = r.U8(data);
      } else if (type == kPropResolution && length >= 8) {
        xRes = std::bit_cast<float>(r.U32(data));
        yRes = std::bit_cast<float>(r.U32(data + 4));
      } else if (type == kPropParasites) {
        ReadParasites(data, data + length, profile, exif, xmp);
      }
      at = data + length;
    }

    const bool resolutionOk = std::isfinite(xRes) && std::isfinite(yRes) &&
                              xRes >= kMinResolution && yRes >= kMinResolution &&
                              xRes <= kMaxResolution && yRes <= kMaxResolution;
    if (resolutionOk) SetResolution(out, xRes, yRes);
    if (compression >= 0) {
      static const char* const kNames[] = {"None", "RLE", "zlib", "Fractal"};
      out.extended.emplace_back("Compression", compression < 4 ? kNames[compression] : "Unknown");
    }
    out.extended.emplace_back("BitsPerSample", std::to_string(iPrecision.bits));
    if (iVersion >= 4) {
      out.extended.emplace_back("Precision", std::to_string(iPrecision.bits) + "-bit " +
                                                 (iPrecision.isFloat ? "float " : "integer ") +
                                                 iPrecision.curve);
    }
    if (!profile.empty()) out.extended.emplace_back("ColorProfile", profile);
    if (exif) out.extended.emplace_back("Exif", "yes");
    if (xmp) out.extended.emplace_back("XMP", "yes");
    if (ended) out.extended.emplace_back("Layers", std::to_string(CountLayers(at)));
  }

  // Layer pointers up to a zero one; a pointer outside the file ends the
  // list early, since what follows cannot be trusted.
  std::uint64_t CountLayers(std::uint64_t at) const {
    ByteReader r(*iSource, false);
    const unsigned pointerSize = iVersion >= 11 ? 8 : 4;
    std::uint64_t count = 0;
    while (at + pointerSize <= r.Size()) {
      const std::uint64_t pointer = pointerSize == 8 ? r.U64(at) : r.U32(at);
      if (pointer == 0 || pointer >= r.Size()) break;
      ++count;
      at += pointerSize;
    }
    return count;
  }

  // Parasites: a name (32-bit length with its NUL), flags, a 32-bit size and
  // the data.  GIMP keeps the ICC profile, EXIF and XMP among them.
  void ReadParasites(std::uint64_t at, std::uint64_t end, std::string& profile, bool& exif,
                     bool& xmp) const {
    ByteReader r(*iSource, false);
    for (int i = 0; i < kMaxParasites && at + 4 <= end; ++i) {
      const std::uint64_t nameLength = r.U32(at);
      if (nameLength > end - at - 4 || nameLength > 256) break;
      std::string name = r.Text(at + 4, static_cast<std::size_t>(nameLength));
      if (!name.empty() && name.back() == '\0') name.pop_back();
      const std::uint64_t sizeAt = at + 4 + nameLength + 4;
      if (sizeAt + 4 > end) break;
      const std::uint64_t length = r.U32(sizeAt);
      const std::uint64_t data = sizeAt + 4;
      if (r.Failed() || length > end - data) break;
      if (name == "icc-profile") {
        profile = IccColorProfile(*iSource, data, length);
      } else if (name == "exif-data" || name == "jpeg-exif-data") {
        exif = true;
      } else if (name == "gimp-metadata") {
        xmp = true;
      } else if (name == "gimp-image-metadata") {
        // GIMP 2.10's XML lists tags by their family: "Exif.", "Xmp.".
        const std::string text = r.Text(data, static_cast<std::size_t>(std::min(length, kMaxMetadataScan)));
        exif = exif || text.find("\"Exif.") != std::string::npos;
        xmp = xmp || text.find("\"Xmp.") != std::string::npos;
      }
      at = data + length;
    }
  }

  const ByteSource* iSource = nullptr;
  std::uint32_t iVersion = 0;
  std::uint32_t iWidth = 0, iHeight = 0, iBaseType = 0;
  Precision iPrecision;
  std::uint64_t iPropertiesAt = 0;
};

}  // namespace

std::unique_ptr<FormatReader> MakeXcfReader() { return std::make_unique<XcfReader>(); }
IMR_READER(XCF, MakeXcfReader);

}  // namespace imr::formats
