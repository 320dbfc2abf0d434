#include "formats/layered/psd_reader.h"

#include <optional>
#include <vector>

#include "formats/common/byte_reader.h"
#include "formats/common/embedded_image.h"
#include "formats/common/icc_profile.h"
#include "formats/common/reader_registry.h"
#include "formats/common/text_util.h"

namespace imr::formats {

namespace {

constexpr std::uint64_t kHeaderSize = 26;
constexpr std::uint16_t kMaxChannels = 56;

// Image resource ids.
enum : std::uint16_t {
  kResolutionInfo = 0x03ED,
  kAlphaNames = 0x03EE,
  kDisplayInfoOld = 0x03EF,
  kThumbnailBgr = 0x0409,
  kThumbnail = 0x040C,
  kIccProfile = 0x040F,
  kUnicodeAlphaNames = 0x0415,
  kTransparencyIndex = 0x0417,
  kVersionInfo = 0x0421,
  kExif1 = 0x0422,
  kExif3 = 0x0423,
  kXmp = 0x0424,
  kDisplayInfo = 0x0435,
};

enum ColorMode : std::uint16_t {
  kBitmap = 0, kGray = 1, kIndexed = 2, kRgb = 3, kCmyk = 4, kMultichannel = 7,
  kDuotone = 8, kLab = 9,
};

// Names kept per extra channel; more are not read.
constexpr std::size_t kMaxNames = 64;
constexpr std::uint32_t kMaxNameChars = 256;

struct Range {
  std::uint64_t offset = 0;
  std::uint64_t length = 0;
};

class PsdReader : public FormatReader {
 public:
  bool Open(const ByteSource& source) override {
    *this = PsdReader{};
    iSource = &source;
    ByteReader r(source);
    if (r.Text(0, 4) != "8BPS") return false;
    iVersion = r.U16(4);
    iChannels = r.U16(12);
    iRows = r.U32(14);
    iColumns = r.U32(18);
    iDepth = r.U16(22);
    iMode = r.U16(24);
    if (r.Failed()) return Refuse("the file ends inside the header");
    if (iVersion != 1 && iVersion != 2) return Refuse("version " + std::to_string(iVersion) + " is not 1 or 2");
    const std::uint32_t maxSide = iVersion == 1 ? 30000 : 300000;
    if (iChannels == 0 || iChannels > kMaxChannels || iRows == 0 || iColumns == 0 ||
        iRows > maxSide || iColumns > maxSide) {
      return Refuse(std::to_string(iChannels) + " channels of " + std::to_string(iColumns) + " x " +
                    std::to_string(iRows) + " are out of range");
    }
    if (iDepth != 1 && iDepth != 8 && iDepth != 16 && iDepth != 32) {
      return Refuse("bit depth " + std::to_string(iDepth) + " is not valid");
    }
    switch (iMode) {
      case kBitmap: case kGray: case kIndexed: case kRgb: case kCmyk:
      case kMultichannel: case kDuotone: case kLab:
        break;
      default:
        return Refuse("colour mode " + std::to_string(iMode) + " is not known");
    }
    ReadSections();
    return true;
  }

  bool Describe(std::uint32_t index, ImageDescription& out) override {
    if (!iSource) return false;
    out = ImageDescription{};
    if (index == 0) {
      DescribeMain(out);
      return true;
    }
    if (index == 1 && iThumbnail.length > 0) {
      out.type = PXC_IT_THUMBNAIL;
      out.columns = iThumbnailColumns;
      out.rows = iThumbnailRows;
      if (iThumbnailJpeg) {
        out = EmbeddedImage(PXC_IT_THUMBNAIL, iThumbnail.offset, iThumbnail.length);
      } else {
        // Raw thumbnails are the file's own RGB pixels.
        out.channelEncoding = PXC_CE_RGB;
        out.inks = 3;
        out.extended.emplace_back("Compression", "None");
        out.extended.emplace_back("BitsPerSample", "8");
      }
      return true;
    }
    return false;
  }

 private:
  // Walks the colour mode data, the image resources, the layer and mask
  // section and the start of the image data; every length is checked
  // against the file before it moves the position.
  void ReadSections() {
    ByteReader r(*iSource);
    const std::uint64_t size = r.Size();
    std::uint64_t at = kHeaderSize;
    const std::uint64_t colourModeLength = r.U32(at);
    if (r.Failed() || colourModeLength > size - at - 4) return;
    at += 4 + colourModeLength;
    const std::uint64_t resourcesLength = r.U32(at);
    if (r.Failed() || resourcesLength > size - at - 4) return;
    ReadResources(at + 4, at + 4 + resourcesLength);
    at += 4 + resourcesLength;
    const unsigned lengthSize = iVersion == 2 ? 8 : 4;
    const std::uint64_t layersLength = lengthSize == 8 ? r.U64(at) : r.U32(at);
    if (r.Failed() || layersLength > size - at - lengthSize) return;
    ReadLayerCount(at + lengthSize, at + lengthSize + layersLength);
    at += lengthSize + layersLength;
    const std::uint16_t compression = r.U16(at);
    if (!r.Failed()) iCompression = compression;
  }

  void ReadResources(std::uint64_t at, std::uint64_t end) {
    ByteReader r(*iSource);
    Range alphaNames, unicodeNames, displayInfo, displayInfoOld, bgrThumbnail;
    while (at + 12 <= end && !r.Failed()) {
      const std::string signature = r.Text(at, 4);
      if (signature != "8BIM" && signature != "MeSa" && signature != "PHUT" &&
          signature != "AgHg" && signature != "DCSR") {
        break;
      }
      const std::uint16_t id = r.U16(at + 4);
      const std::uint64_t nameLength = (std::uint64_t{r.U8(at + 6)} + 2) & ~std::uint64_t{1};
      const std::uint64_t sizeAt = at + 6 + nameLength;
      if (sizeAt + 4 > end) break;
      const std::uint64_t length = r.U32(sizeAt);
      const std::uint64_t data = sizeAt + 4;
      if (length > end - data) break;
      const Range range{data, length};
      switch (id) {
        case kResolutionInfo: ReadResolution(range); break;
        case kAlphaNames: alphaNames = range; break;
        case kDisplayInfoOld: displayInfoOld = range; break;
        case kThumbnail: ReadThumbnail(range); break;
        case kThumbnailBgr: bgrThumbnail = range; break;
        case kIccProfile: iProfile = range; break;
        case kUnicodeAlphaNames: unicodeNames = range; break;
        case kTransparencyIndex: iTransparentIndex = true; break;
        case kVersionInfo: ReadVersionInfo(range); break;
        case kExif1: case kExif3: iExif = true; break;
        case kXmp: iXmp = true; break;
        case kDisplayInfo: displayInfo = range; break;
        default: break;
      }
      at = data + length + (length & 1);
    }
    // Photoshop 4 kept a BGR thumbnail; newer files hold both, RGB preferred.
    if (iThumbnail.length == 0 && bgrThumbnail.length > 0) ReadThumbnail(bgrThumbnail);
    if (unicodeNames.length > 0) {
      ReadUnicodeNames(unicodeNames);
    } else if (alphaNames.length > 0) {
      ReadPascalNames(alphaNames);
    }
    if (displayInfo.length >= 4) {
      ReadKinds(displayInfo.offset + 4, displayInfo.length - 4, 13);
    } else if (displayInfoOld.length > 0) {
      ReadKinds(displayInfoOld.offset, displayInfoOld.length, 14);
    }
  }

  // hRes and vRes are 16.16 pixels per inch whatever display unit the
  // following fields choose; values under 1 ppi are writers' placeholders.
  void ReadResolution(const Range& range) {
    if (range.length < 16) return;
    ByteReader r(*iSource);
    const double h = r.U32(range.offset) / 65536.0;
    const double v = r.U32(range.offset + 8) / 65536.0;
    if (!r.Failed() && h >= 1 && v >= 1) {
      iHResolution = h;
      iVResolution = v;
    }
  }

  void ReadThumbnail(const Range& range) {
    if (range.length <= 28) return;
    ByteReader r(*iSource);
    const std::uint32_t format = r.U32(range.offset);
    const std::uint32_t width = r.U32(range.offset + 4);
    const std::uint32_t height = r.U32(range.offset + 8);
    const std::uint32_t compressed = r.U32(range.offset + 20);
    if (r.Failed() || width == 0 || height == 0) return;
    std::uint64_t length = range.length - 28;
    if (format == 1) {
      // JFIF data; anything else would reach the pipeline as an image it
      // cannot describe.
      if (!HoldsImage(*iSource, range.offset + 28, range.length - 28, EmbeddedKind::kJpeg)) return;
      if (compressed > 0 && compressed < length) length = compressed;
      iThumbnailJpeg = true;
    } else if (format != 0) {
      return;
    }
    iThumbnail = Range{range.offset + 28, length};
    iThumbnailColumns = width;
    iThumbnailRows = height;
  }

  void ReadVersionInfo(const Range& range) {
    ByteReader r(*iSource);
    if (range.length < 9) return;
    const std::uint64_t chars = r.U32(range.offset + 5);
    if (chars == 0 || chars > kMaxNameChars || chars * 2 > range.length - 9) return;
    std::vector<std::uint8_t> units(chars * 2);
    if (!r.Bytes(range.offset + 9, units.data(), units.size())) return;
    std::string writer;
    AppendUtf16(writer, units.data(), chars);
    if (!writer.empty()) iSoftware = writer;
  }

  // 0x0415: each name a 32-bit count of UTF-16 units, then the units.
  void ReadUnicodeNames(const Range& range) {
    ByteReader r(*iSource);
    std::uint64_t at = range.offset;
    const std::uint64_t end = range.offset + range.length;
    while (at + 4 <= end && iNames.size() < kMaxNames) {
      const std::uint64_t chars = r.U32(at);
      at += 4;
      if (chars > (end - at) / 2 || chars > kMaxNameChars) break;
      std::string name;
      if (chars > 0) {
        std::vector<std::uint8_t> units(chars * 2);
        if (!r.Bytes(at, units.data(), units.size())) break;
        AppendUtf16(name, units.data(), chars);
      }
      iNames.push_back(name);
      at += chars * 2;
    }
  }

  // 0x03EE: Pascal strings one after another.
  void ReadPascalNames(const Range& range) {
    ByteReader r(*iSource);
    std::uint64_t at = range.offset;
    const std::uint64_t end = range.offset + range.length;
    while (at < end && iNames.size() < kMaxNames) {
      const std::uint64_t length = r.U8(at);
      if (length > end - at - 1) break;
      iNames.push_back(r.Text(at + 1, length));
      at += 1 + length;
    }
  }

  // Display info: one record per extra channel, whose kind byte sits at
  // offset 12 (0 alpha, 1 inverted alpha, 2 spot colour).
  void ReadKinds(std::uint64_t at, std::uint64_t length, std::uint64_t recordSize) {
    ByteReader r(*iSource);
    for (std::uint64_t i = 0; i + recordSize <= length && iKinds.size() < kMaxChannels; i += recordSize) {
      iKinds.push_back(r.U8(at + i + 12));
    }
  }

  // The layer count opens the layer info; files of 16 and 32 bits keep
  // their layers in an "Lr16"/"Lr32" block after the global mask instead.
  void ReadLayerCount(std::uint64_t at, std::uint64_t end) {
    ByteReader r(*iSource);
    const unsigned lengthSize = iVersion == 2 ? 8 : 4;
    if (at + lengthSize > end) return;
    const std::uint64_t infoLength = lengthSize == 8 ? r.U64(at) : r.U32(at);
    if (infoLength >= 2 && infoLength <= end - at - lengthSize) {
      SetLayers(static_cast<std::int16_t>(r.U16(at + lengthSize)));
      if (iLayers > 0) return;
    }
    if (infoLength > end - at - lengthSize) return;
    at += lengthSize + infoLength;
    if (at + 4 > end) return;
    const std::uint64_t maskLength = r.U32(at);
    if (maskLength > end - at - 4) return;
    at += 4 + maskLength;
    while (at + 12 <= end && !r.Failed()) {
      const std::string signature = r.Text(at, 4);
      if (signature != "8BIM" && signature != "8B64") break;
      const std::string key = r.Text(at + 4, 4);
      const bool wide = iVersion == 2 &&
          (key == "LMsk" || key == "Lr16" || key == "Lr32" || key == "Layr" || key == "Mt16" ||
           key == "Mt32" || key == "Mtrn" || key == "Alph" || key == "FMsk" || key == "lnk2" ||
           key == "FEid" || key == "FXid" || key == "PxSD");
      const std::uint64_t data = at + 8 + (wide ? 8 : 4);
      if (data > end) break;
      const std::uint64_t length = wide ? r.U64(at + 8) : r.U32(at + 8);
      if (length > end - data) break;
      if ((key == "Lr16" || key == "Lr32" || key == "Layr") && length >= 2) {
        SetLayers(static_cast<std::int16_t>(r.U16(data)));
        return;
      }
      at = data + length;
    }
  }

  void SetLayers(std::int16_t count) { iLayers = count < 0 ? -count : count; }

  void DescribeMain(ImageDescription& out) {
    out.type = PXC_IT_MAIN;
    out.version = std::to_string(iVersion);
    if (iVersion == 2) out.format = "PSB";
    out.columns = iColumns;
    out.rows = iRows;
    SetResolution(out, iHResolution, iVResolution);
    std::uint16_t modeChannels = 1;
    std::vector<std::string> processNames = {"Gray"};
    switch (iMode) {
      case kBitmap: out.channelEncoding = PXC_CE_BILEVEL; processNames = {"Black"}; break;
      case kGray: out.channelEncoding = PXC_CE_GRAY; break;
      case kIndexed: out.channelEncoding = PXC_CE_INDEXED; processNames = {"Index"}; break;
      case kDuotone: out.channelEncoding = PXC_CE_DUOTONE; break;
      case kRgb:
        out.channelEncoding = PXC_CE_RGB;
        modeChannels = 3;
        processNames = {"Red", "Green", "Blue"};
        break;
      case kLab:
        out.channelEncoding = PXC_CE_LAB;
        modeChannels = 3;
        processNames = {"Lightness", "a", "b"};
        break;
      case kCmyk:
        out.channelEncoding = PXC_CE_CMYK;
        modeChannels = 4;
        processNames = {"Cyan", "Magenta", "Yellow", "Black"};
        break;
      case kMultichannel:
        out.channelEncoding = PXC_CE_MULTICHANNEL;
        modeChannels = iChannels;
        processNames.clear();
        break;
    }
    if (modeChannels > iChannels) modeChannels = iChannels;
    // Channels past the mode's colour channels are alpha or spot channels;
    // display info tells which, and spot channels are inks of their own.
    // Multichannel documents name every channel as an ink.
    std::vector<std::string> spotNames;
    std::uint16_t alphas = 0;
    const std::uint16_t extra = static_cast<std::uint16_t>(iChannels - modeChannels);
    for (std::uint16_t i = 0; i < extra; ++i) {
      if (i < iKinds.size() && iKinds[i] == 2) {
        spotNames.push_back(i < iNames.size() ? iNames[i] : std::string());
      } else {
        ++alphas;
      }
    }
    out.inks = static_cast<std::uint16_t>(modeChannels + spotNames.size());
    if (iMode == kMultichannel) {
      for (std::uint16_t i = 0; i < modeChannels && i < iNames.size(); ++i) {
        out.inkNames.push_back(iNames[i]);
      }
    } else if (!spotNames.empty()) {
      // Named inks: the process colours first, then the spot colours.
      out.inkNames = processNames;
      out.inkNames.insert(out.inkNames.end(), spotNames.begin(), spotNames.end());
    }
    if (alphas > 0) {
      out.alphaPlane = PXC_AP_UNSPECIFIED;
    } else if (iMode == kIndexed && iTransparentIndex) {
      out.alphaPlane = PXC_AP_TRANSPARENT_INDEX;
    }

    if (iCompression) {
      static const char* const kNames[] = {"None", "RLE", "ZIP", "ZIP with prediction"};
      out.extended.emplace_back("Compression", *iCompression < 4 ? kNames[*iCompression] : "Unknown");
    }
    out.extended.emplace_back("BitsPerSample", std::to_string(iDepth));
    if (iProfile.length > 0) {
      out.extended.emplace_back("ColorProfile", IccColorProfile(*iSource, iProfile.offset, iProfile.length));
    }
    if (iExif) out.extended.emplace_back("Exif", "yes");
    if (iXmp) out.extended.emplace_back("XMP", "yes");
    if (!iSoftware.empty()) out.extended.emplace_back("Software", iSoftware);
    if (iLayers > 0) out.extended.emplace_back("Layers", std::to_string(iLayers));
  }

  const ByteSource* iSource = nullptr;
  std::uint16_t iVersion = 0;
  std::uint16_t iChannels = 0;
  std::uint32_t iRows = 0;
  std::uint32_t iColumns = 0;
  std::uint16_t iDepth = 0;
  std::uint16_t iMode = 0;
  double iHResolution = 0;
  double iVResolution = 0;
  Range iProfile;
  bool iExif = false;
  bool iXmp = false;
  bool iTransparentIndex = false;
  std::string iSoftware;
  std::vector<std::string> iNames;
  std::vector<std::uint8_t> iKinds;
  Range iThumbnail;
  bool iThumbnailJpeg = false;
  std::uint32_t iThumbnailColumns = 0;
  std::uint32_t iThumbnailRows = 0;
  int iLayers = 0;
  std::optional<std::uint16_t> iCompression;
};

}  // namespace

std::unique_ptr<FormatReader> MakePsdReader() { return std::make_unique<PsdReader>(); }
IMR_READER(PSD, MakePsdReader);

}  // namespace imr::formats
