#include "formats/tiff/tiff_reader.h"

#include <algorithm>

#include "formats/common/byte_reader.h"
#include "formats/common/embedded_image.h"
#include "formats/common/icc_profile.h"
#include "formats/common/reader_registry.h"

namespace imr::formats {
namespace {

using tiff::Ifd;

// Panasonic RW2 tags: sensor size and the borders of the recorded area, and
// the JPEG preview.
constexpr std::uint16_t kRw2SensorWidth = 0x02;
constexpr std::uint16_t kRw2SensorHeight = 0x03;
constexpr std::uint16_t kRw2TopBorder = 0x04;
constexpr std::uint16_t kRw2LeftBorder = 0x05;
constexpr std::uint16_t kRw2BottomBorder = 0x06;
constexpr std::uint16_t kRw2RightBorder = 0x07;
constexpr std::uint16_t kRw2JpgFromRaw = 0x2E;

std::string CompressionName(std::uint64_t c) {
  switch (c) {
    case 1: return "None";
    case 2: return "CCITT RLE";
    case 3: return "CCITT Group 3";
    case 4: return "CCITT Group 4";
    case 5: return "LZW";
    case 6: return "Old-style JPEG";
    case 7: return "JPEG";
    case 8: case 32946: return "Deflate";
    case 9: return "JBIG B&W";
    case 10: return "JBIG Color";
    case 99: return "JPEG";
    case 262: return "Kodak 262";
    case 32766: return "NeXT";
    case 32767: return "Sony ARW Compressed";
    case 32769: return "Packed RAW";
    case 32770: return "Samsung SRW Compressed";
    case 32771: return "CCIRLEW";
    case 32772: return "Samsung SRW Compressed 2";
    case 32773: return "PackBits";
    case 32809: return "ThunderScan";
    case 32867: return "Kodak KDC Compressed";
    case 32895: return "IT8CTPAD";
    case 32896: return "IT8LW";
    case 32897: return "IT8MP";
    case 32898: return "IT8BL";
    case 32908: return "PixarFilm";
    case 32909: return "PixarLog";
    case 32947: return "DCS";
    case 34661: return "JBIG";
    case 34676: return "SGILog";
    case 34677: return "SGILog24";
    case 34712: return "JPEG 2000";
    case 34713: return "Nikon NEF Compressed";
    case 34715: return "JBIG2";
    case 34718: return "Microsoft Document Imaging (MDI) Binary Level Codec";
    case 34892: return "Lossy JPEG";
    case 34925: return "LZMA";
    case 50000: return "Zstandard";
    case 50001: return "WebP";
    case 50002: return "JPEG XL";
    case 52546: return "JPEG XL";
    case 65000: return "Kodak DCR Compressed";
    case 65535: return "Pentax PEF Compressed";
    default: return std::to_string(c);
  }
}

std::string BitsText(const std::vector<std::uint64_t>& bits) {
  if (bits.empty()) return {};
  if (std::all_of(bits.begin(), bits.end(), [&](std::uint64_t b) { return b == bits[0]; })) {
    return std::to_string(bits[0]);
  }
  std::string text;
  for (std::uint64_t b : bits) {
    if (!text.empty()) text += ',';
    text += std::to_string(b);
  }
  return text;
}

std::vector<std::string> SplitInkNames(const std::string& raw, std::size_t maxNames) {
  std::vector<std::string> names;
  std::size_t start = 0;
  while (start < raw.size() && names.size() < maxNames) {
    std::size_t end = raw.find('\0', start);
    if (end == std::string::npos) end = raw.size();
    if (end > start) names.push_back(raw.substr(start, end - start));
    start = end + 1;
  }
  return names;
}

// The format built on the TIFF structure that the header and IFD0 name.
std::string FormatOf(const tiff::Structure& t, const Ifd& ifd0, ByteReader& reader) {
  if (t.BigTiff()) return "BIGTIFF";
  if (t.HeaderVariant() == tiff::Variant::kOlympus) return "ORF";
  if (t.HeaderVariant() == tiff::Variant::kPanasonic) return "RW2";
  if (reader.Text(8, 2) == "CR") return "CR2";
  if (reader.Text(8, 4) == "IIII" && reader.Text(13, 3) == "waR") return "IIQ";
  if (ifd0.Find(tiff::kDngVersion) != nullptr) return "DNG";
  // TIFF/IT: two of the prepress tags 34016..34032 in IFD0.
  const auto prepress = std::count_if(ifd0.entries.begin(), ifd0.entries.end(), [](const tiff::Entry& e) {
    return e.tag >= 34016 && e.tag <= 34032;
  });
  if (prepress >= 2) return "TIFF_IT";
  // NEF: a Nikon camera's file whose IFD0 is the reduced rendering.
  if ((t.UInt(ifd0, tiff::kNewSubfileType).value_or(0) & 1) != 0 &&
      t.Ascii(ifd0, tiff::kMake, 64).rfind("NIKON", 0) == 0) {
    return "NEF";
  }
  return "TIFF";
}

bool IsReduced(const tiff::Structure& t, const Ifd& ifd) {
  const std::uint64_t subfile = t.UInt(ifd, tiff::kNewSubfileType).value_or(0);
  return (subfile & 1) != 0 || t.UInt(ifd, tiff::kSubfileType).value_or(0) == 2;
}

}  // namespace

bool TiffReader::ReadIfd(std::uint64_t offset, Ifd& ifd) {
  if (offset == 0 || !iVisited.insert(offset).second) return false;  // end, or a loop
  return iTiff->ReadIfd(offset, ifd);
}

bool TiffReader::HasSize(const Ifd& ifd) const {
  std::uint32_t c = 0, r = 0;
  Size(ifd, c, r);
  return c > 0 && r > 0;
}

void TiffReader::Size(const Ifd& ifd, std::uint32_t& columns, std::uint32_t& rows) const {
  const tiff::Structure& t = *iTiff;
  auto clamp = [](std::uint64_t v) {
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(v, 0xFFFFFFFFu));
  };
  columns = clamp(t.UInt(ifd, tiff::kImageWidth).value_or(0));
  rows = clamp(t.UInt(ifd, tiff::kImageLength).value_or(0));
  if ((columns == 0 || rows == 0) && t.HeaderVariant() == tiff::Variant::kPanasonic) {
    // RW2: the recorded area within the sensor's borders, else the sensor.
    const std::uint64_t top = t.UInt(ifd, kRw2TopBorder).value_or(0);
    const std::uint64_t left = t.UInt(ifd, kRw2LeftBorder).value_or(0);
    const std::uint64_t bottom = t.UInt(ifd, kRw2BottomBorder).value_or(0);
    const std::uint64_t right = t.UInt(ifd, kRw2RightBorder).value_or(0);
    if (right > left && bottom > top) {
      columns = clamp(right - left);
      rows = clamp(bottom - top);
    } else {
      columns = clamp(t.UInt(ifd, kRw2SensorWidth).value_or(0));
      rows = clamp(t.UInt(ifd, kRw2SensorHeight).value_or(0));
    }
  }
}

bool TiffReader::Open(const ByteSource& source) {
  iSource = &source;
  iTiff = std::make_unique<tiff::Structure>(source);
  iImages.clear();
  iEmbedded.clear();
  iVisited.clear();
  iChainDone = false;
  if (!iTiff->ReadHeader(true) || !ReadIfd(iTiff->FirstIfd(), iIfd0)) return false;
  const tiff::Structure& t = *iTiff;
  iNext = iIfd0.next;
  // Canon CR2 marks itself after the header; DNG has its version tag.
  ByteReader reader(source);
  iFormat = FormatOf(t, iIfd0, reader);
  iRawLike = iFormat == "ORF" || iFormat == "RW2" || iFormat == "CR2" || iFormat == "DNG";

  // A reduced-resolution IFD0 with SubIFDs: the full image is among them.
  std::vector<Ifd> subIfds;
  const std::vector<std::uint64_t> subOffsets = t.UInts(iIfd0, tiff::kSubIfds, kMaxSubIfds);
  if (IsReduced(t, iIfd0) || !HasSize(iIfd0)) {
    for (std::uint64_t offset : subOffsets) {
      Ifd sub;
      if (ReadIfd(offset, sub)) subIfds.push_back(std::move(sub));
    }
  }
  std::size_t best = subIfds.size();
  std::uint64_t bestArea = 0;
  bool bestFull = false;
  for (std::size_t i = 0; i < subIfds.size(); ++i) {
    std::uint32_t c = 0, r = 0;
    Size(subIfds[i], c, r);
    if (c == 0 || r == 0) continue;
    const bool full = !IsReduced(t, subIfds[i]);
    const std::uint64_t area = std::uint64_t{c} * r;
    if (best == subIfds.size() || (full && !bestFull) || (full == bestFull && area > bestArea)) {
      best = i;
      bestArea = area;
      bestFull = full;
    }
  }
  if (best < subIfds.size()) {
    iRawLike = true;
    Size(subIfds[best], iMainColumns, iMainRows);
    iImages.push_back({subIfds[best].offset, Role::kMain});
    if (HasSize(iIfd0)) iImages.push_back({iIfd0.offset, Role::kReduced});
    AddEmbedded(iIfd0, false);
    for (std::size_t i = 0; i < subIfds.size(); ++i) {
      if (i != best) AddImage(subIfds[i], true);
    }
  } else if (HasSize(iIfd0)) {
    Size(iIfd0, iMainColumns, iMainRows);
    iImages.push_back({iIfd0.offset, Role::kMain});
    AddEmbedded(iIfd0, false);
    for (const Ifd& sub : subIfds) AddEmbedded(sub, true);  // JPEG-only SubIFDs
  } else {
    return false;
  }
  return true;
}

void TiffReader::AddEmbedded(const Ifd& ifd, bool fromSubIfd) {
  if (iEmbedded.size() >= kMaxImages) return;
  const tiff::Structure& t = *iTiff;
  auto add = [&](std::uint64_t offset, std::uint64_t length, bool preview) {
    if (!HoldsImage(*iSource, offset, length, EmbeddedKind::kJpeg)) return;
    Embedded e{offset, length, preview ? PXC_IT_PREVIEW : PXC_IT_THUMBNAIL};
    std::uint32_t c = 0, r = 0;
    if (JpegFrameSize(*iSource, offset, length, c, r)) {
      e.type = std::max(c, r) <= 256 ? PXC_IT_THUMBNAIL : PXC_IT_PREVIEW;
    }
    iEmbedded.push_back(e);
  };
  // An IFD without pixels of its own that points to a JPEG stream.
  if (!HasSize(ifd)) {
    auto offset = t.UInt(ifd, tiff::kJpegInterchangeFormat);
    auto length = t.UInt(ifd, tiff::kJpegInterchangeFormatLength);
    if (offset && length) add(*offset, *length, fromSubIfd);
  }
  if (t.HeaderVariant() == tiff::Variant::kPanasonic) {
    if (const tiff::Entry* jpg = ifd.Find(kRw2JpgFromRaw)) {
      add(jpg->position, t.ValueBytes(*jpg), true);
    }
  }
}

void TiffReader::AddImage(const Ifd& ifd, bool fromSubIfd) {
  AddEmbedded(ifd, fromSubIfd);
  if (!HasSize(ifd) || iImages.size() >= kMaxImages) return;
  const tiff::Structure& t = *iTiff;
  const std::uint64_t subfile = t.UInt(ifd, tiff::kNewSubfileType).value_or(0);
  Role role = Role::kPage;
  if (subfile & 4) {
    role = Role::kMask;
  } else if (IsReduced(t, ifd)) {
    role = Role::kReduced;
  } else if (iRawLike) {
    // Raw files do not always flag their smaller renderings.
    std::uint32_t c = 0, r = 0;
    Size(ifd, c, r);
    if (std::uint64_t{c} * r < std::uint64_t{iMainColumns} * iMainRows) role = Role::kReduced;
  }
  iImages.push_back({ifd.offset, role});
}

bool TiffReader::Step() {
  if (iChainDone) return false;
  Ifd ifd;
  if (iImages.size() >= kMaxImages || !ReadIfd(iNext, ifd)) {
    iChainDone = true;
    return false;
  }
  iNext = ifd.next;
  AddImage(ifd, false);
  return true;
}

void TiffReader::Fill(const Ifd& ifd, Role role, ImageDescription& out) const {
  const tiff::Structure& t = *iTiff;
  out.format = iFormat;
  if (const tiff::Entry* dng = iIfd0.Find(tiff::kDngVersion)) {
    std::string v;
    for (std::uint64_t i = 0; i < 4; ++i) {
      if (!v.empty()) v += '.';
      v += std::to_string(t.UInt(*dng, i).value_or(0));
    }
    out.version = v;
  }
  Size(ifd, out.columns, out.rows);
  switch (role) {
    case Role::kMain: out.type = PXC_IT_MAIN; break;
    case Role::kPage: out.type = PXC_IT_PAGE; break;
    case Role::kReduced:
      out.type = std::max(out.columns, out.rows) <= 256 ? PXC_IT_THUMBNAIL : PXC_IT_PREVIEW;
      break;
    case Role::kMask:
      out.type = PXC_IT_AUXILIARY;
      out.subtype = PXC_IS_MASK;
      break;
  }

  // Resolution: unit 2 (inch) when absent, 3 centimetre, 1 none.
  // Panasonic files give tags 282.. meanings of their own.
  const bool panasonic = t.HeaderVariant() == tiff::Variant::kPanasonic;
  auto x = panasonic ? std::nullopt : t.Real(ifd, tiff::kXResolution);
  auto y = panasonic ? std::nullopt : t.Real(ifd, tiff::kYResolution);
  if (x && !y) y = x;
  if (y && !x) x = y;
  const std::uint64_t unit = t.UInt(ifd, tiff::kResolutionUnit).value_or(2);
  if (x && (unit == 2 || unit == 3)) SetResolution(out, *x, *y, unit == 3 ? 2.54 : 1.0);

  // Colour.
  // Without SamplesPerPixel, one sample per BitsPerSample value.
  const std::vector<std::uint64_t> bits = t.UInts(ifd, tiff::kBitsPerSample, 64);
  const std::uint64_t spp = std::clamp<std::uint64_t>(
      t.UInt(ifd, tiff::kSamplesPerPixel).value_or(std::max<std::size_t>(bits.size(), 1)), 1,
      0xFFFF);
  const std::uint64_t bps = bits.empty() ? 1 : bits[0];
  const std::uint64_t compression = t.UInt(ifd, tiff::kCompression).value_or(1);
  const std::vector<std::uint64_t> extras = t.UInts(ifd, tiff::kExtraSamples, 64);
  std::uint64_t photometric;
  if (auto p = t.UInt(ifd, tiff::kPhotometric)) {
    photometric = *p;
  } else if (t.HeaderVariant() == tiff::Variant::kPanasonic) {
    photometric = 32803;
  } else {
    photometric = spp >= 3 ? (compression == 6 || compression == 7 ? 6 : 2) : 1;
  }
  std::uint64_t expected = 1;  // colour samples the interpretation uses
  switch (photometric) {
    case 0: case 1:
      out.channelEncoding = bps == 1 ? PXC_CE_BILEVEL : PXC_CE_GRAY;
      break;
    case 2:
      out.channelEncoding = PXC_CE_RGB;
      expected = 3;
      break;
    case 3: out.channelEncoding = PXC_CE_INDEXED; break;
    case 4: out.channelEncoding = PXC_CE_BILEVEL; break;
    case 5: {
      const std::uint64_t inkSet = t.UInt(ifd, tiff::kInkSet).value_or(0);
      auto inks = t.UInt(ifd, tiff::kNumberOfInks);
      const std::uint64_t colour =
          spp > extras.size() ? spp - extras.size() : spp;
      expected = std::clamp<std::uint64_t>(inks.value_or(inkSet == 1 ? 4 : colour), 1, spp);
      out.channelEncoding =
          (inkSet == 1 || (inkSet == 0 && expected == 4)) ? PXC_CE_CMYK : PXC_CE_MULTICHANNEL;
      if (const tiff::Entry* names = ifd.Find(tiff::kInkNames)) {
        out.inkNames = SplitInkNames(t.Raw(*names, 4096), 64);
      }
      break;
    }
    case 6:
      out.channelEncoding = PXC_CE_YCBCR;
      expected = 3;
      break;
    case 8: case 9: case 10:
      out.channelEncoding = PXC_CE_LAB;
      expected = spp >= 3 ? 3 : 1;
      break;
    case 32803: case 34892:  // colour filter array, linear raw: RGB once developed
      out.channelEncoding = PXC_CE_RGB;
      expected = std::min<std::uint64_t>(spp, 3);
      break;
    case 32844: out.channelEncoding = PXC_CE_GRAY; break;  // LogL
    case 32845:  // LogLuv
      out.channelEncoding = PXC_CE_XYZ;
      expected = std::min<std::uint64_t>(spp, 3);
      break;
    default:
      out.channelEncoding = PXC_CE_UNKNOWN;
      expected = spp > extras.size() ? spp - extras.size() : spp;
  }
  expected = std::min(expected, spp);
  out.inks = static_cast<std::uint16_t>(expected);
  if (photometric == 32803 || photometric == 34892) out.inks = 3;
  if (!extras.empty() && spp > expected) {
    out.alphaPlane = extras[0] == 1   ? PXC_AP_ASSOCIATED
                     : extras[0] == 2 ? PXC_AP_UNASSOCIATED
                                      : PXC_AP_UNSPECIFIED;
  } else if (spp > expected) {
    out.alphaPlane = PXC_AP_UNSPECIFIED;
  }

  // Metadata: a SubIFD holding the main image leaves it to IFD0.
  const bool inherit = role == Role::kMain && ifd.offset != iIfd0.offset;
  auto find = [&](std::uint16_t tag) -> std::pair<const Ifd*, const tiff::Entry*> {
    if (const tiff::Entry* e = ifd.Find(tag)) return {&ifd, e};
    if (inherit) {
      if (const tiff::Entry* e = iIfd0.Find(tag)) return {&iIfd0, e};
    }
    return {nullptr, nullptr};
  };
  std::uint64_t orientation = 0;
  if (auto [o, e] = find(tiff::kOrientation); e) orientation = t.UInt(*e).value_or(0);
  out.rotation = tiff::RotationFromOrientation(orientation);

  if (!panasonic || ifd.Find(tiff::kCompression)) {
    out.extended.emplace_back("Compression", CompressionName(compression));
  }
  if (std::string b = BitsText(bits); !b.empty()) out.extended.emplace_back("BitsPerSample", b);
  if (auto [o, e] = find(tiff::kIccProfile); e) {
    out.extended.emplace_back("ColorProfile", IccColorProfile(*iSource, e->position, t.ValueBytes(*e)));
  }
  if (auto [o, e] = find(tiff::kExifIfd); e) out.extended.emplace_back("Exif", "yes");
  if (auto [o, e] = find(tiff::kXmp); e) out.extended.emplace_back("XMP", "yes");
  if (auto [o, e] = find(tiff::kSoftware); e) {
    if (std::string s = t.Ascii(*o, tiff::kSoftware, 256); !s.empty()) {
      out.extended.emplace_back("Software", s);
    }
  }
  if (std::string name = tiff::OrientationName(orientation); !name.empty()) {
    out.extended.emplace_back("Orientation", name);
  }
}

bool TiffReader::Describe(std::uint32_t index, ImageDescription& out) {
  if (!iTiff || iImages.empty()) return false;
  while (index >= iImages.size() && Step()) {
  }
  out = ImageDescription{};
  if (index < iImages.size()) {
    const Image& image = iImages[index];
    Ifd ifd;
    if (!iTiff->ReadIfd(image.ifdOffset, ifd)) return false;
    Fill(ifd, image.role, out);
    return true;
  }
  const std::size_t e = index - iImages.size();
  if (e >= iEmbedded.size()) return false;
  out = EmbeddedImage(iEmbedded[e].type, iEmbedded[e].offset, iEmbedded[e].length);
  return true;
}

std::unique_ptr<FormatReader> MakeTiffReader() { return std::make_unique<TiffReader>(); }
IMR_READER(TIFF, MakeTiffReader);

}  // namespace imr::formats
