#include "formats/tiff/tiff_reader.h"

#include <algorithm>
#include <tuple>

#include "formats/common/byte_reader.h"
#include "formats/common/camera_raw.h"
#include "formats/common/embedded_image.h"
#include "formats/common/icc_profile.h"
#include "formats/common/reader_registry.h"
#include "formats/tiff/tiff_raw.h"

namespace imr::formats {
namespace {

using tiff::Ifd;

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

bool IsReduced(const tiff::Structure& t, const Ifd& ifd) {
  const std::uint64_t subfile = t.UInt(ifd, tiff::kNewSubfileType).value_or(0);
  return (subfile & 1) != 0 || t.UInt(ifd, tiff::kSubfileType).value_or(0) == 2;
}

// A header of the TIFF family: II or MM, then 42, 43 (BigTIFF) or a raw
// maker's variant ("RO", "RS", "OR", 0x55).
bool TiffMagic(const ByteSource& source) {
  ByteReader r(source);
  const std::string order = r.Text(0, 2);
  if (order != "II" && order != "MM") return false;
  r.SetLittleEndian(order == "II");
  const std::uint16_t version = r.U16(2);
  return !r.Failed() && (version == 42 || version == 43 || version == 0x4F52 || version == 0x5352 || version == 0x55);
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
    columns = clamp(t.UInt(ifd, tiffraw::kRw2SensorWidth).value_or(0));
    rows = clamp(t.UInt(ifd, tiffraw::kRw2SensorHeight).value_or(0));
  }
}

bool TiffReader::RawData(const Ifd& ifd) const {
  // RW2 keeps its raw data in IFD0 under tags of its own.
  return tiffraw::HoldsRawData(*iTiff, ifd) ||
         (iTiff->HeaderVariant() == tiff::Variant::kPanasonic && ifd.offset == iIfd0.offset);
}

void TiffReader::ReadTree(const Ifd& ifd, std::vector<Ifd>& tree) {
  tree.push_back(ifd);
  std::size_t read = 0;
  for (std::uint64_t offset : iTiff->UInts(ifd, tiff::kSubIfds, kMaxSubIfds)) {
    Ifd sub;
    for (std::uint64_t at = offset; read < kMaxSubIfds && ReadIfd(at, sub); at = sub.next, ++read) {
      tree.push_back(sub);
    }
  }
}

bool TiffReader::ReadChain(std::vector<Ifd>& tree) {
  Ifd ifd;
  if (iChainDone || iImages.size() >= kMaxImages || !ReadIfd(iNext, ifd)) {
    iChainDone = true;
    return false;
  }
  iNext = ifd.next;
  ReadTree(ifd, tree);
  return true;
}

bool TiffReader::Open(const ByteSource& source) {
  iSource = &source;
  iTiff = std::make_unique<tiff::Structure>(source);
  iImages.clear();
  iVisited.clear();
  iChainDone = false;
  iMakerSensor = false;
  iSensor = ImageDescription{};
  if (!iTiff->ReadHeader(true)) {
    if (!TiffMagic(source)) return false;
    return Refuse("the header points to IFD0 outside the file, or its BigTIFF fields are wrong");
  }
  if (!ReadIfd(iTiff->FirstIfd(), iIfd0)) {
    return Refuse("IFD0 at byte " + std::to_string(iTiff->FirstIfd()) + " has no entries, too many, or is cut short");
  }
  iNext = iIfd0.next;
  iFormat = tiffraw::FormatOf(*iTiff, iIfd0);
  iRaw = tiffraw::IsRaw(iFormat);

  // A raw file's IFDs are all read now: its main image may be anywhere.
  std::vector<Ifd> tree;
  ReadTree(iIfd0, tree);
  while (iRaw && tree.size() < kMaxRawIfds && ReadChain(tree)) {
  }
  if (!ChooseMain(tree)) return Refuse("no IFD of the file states an image size");
  iImages.push_back({iMainIfd, Role::kMain});
  for (const Ifd& ifd : tree) AddImages(ifd);
  for (const auto& [offset, length] : tiffraw::MakerPreviews(*iTiff, iFormat, iIfd0)) AddJpeg(offset, length);
  return true;
}

bool TiffReader::ChooseMain(const std::vector<Ifd>& tree) {
  const tiff::Structure& t = *iTiff;
  const auto area = [this](const Ifd& ifd) {
    std::uint32_t c = 0, r = 0;
    Size(ifd, c, r);
    return std::uint64_t{c} * r;
  };
  // The sensor of a raw file whose raw IFD does not state it.
  if (iFormat == "CR2" || iFormat == "IIQ") {
    const auto raw = std::find_if(tree.begin(), tree.end(), [&](const Ifd& ifd) {
      return iFormat == "CR2" && tiffraw::IsCanonRawIfd(t, ifd);
    });
    const Ifd* rawIfd = raw == tree.end() ? nullptr : &*raw;
    if (tiffraw::MakerSensor(t, iFormat, iIfd0, rawIfd, iSensor)) {
      iMakerSensor = true;
      iMainIfd = rawIfd ? rawIfd->offset : 0;
      iMainArea = std::uint64_t{iSensor.columns} * iSensor.rows;
      return true;
    }
  }
  if (!iRaw && HasSize(iIfd0) && !IsReduced(t, iIfd0)) {
    iMainIfd = iIfd0.offset;
    iMainArea = area(iIfd0);
    return true;
  }
  // Raw data first, then full resolution, then the largest.
  const Ifd* best = nullptr;
  auto rank = [&](const Ifd& ifd) { return std::tuple(iRaw && RawData(ifd), !IsReduced(t, ifd), area(ifd)); };
  for (const Ifd& ifd : tree) {
    if (HasSize(ifd) && (!best || rank(ifd) > rank(*best))) best = &ifd;
  }
  if (!best) return false;
  iMainIfd = best->offset;
  iMainArea = area(*best);
  return true;
}

void TiffReader::AddImages(const Ifd& ifd) {
  const tiff::Structure& t = *iTiff;
  if (ifd.offset != iMainIfd && HasSize(ifd) && iImages.size() < kMaxImages) {
    std::uint32_t c = 0, r = 0;
    Size(ifd, c, r);
    Role role = Role::kPage;
    if (t.UInt(ifd, tiff::kNewSubfileType).value_or(0) & 4) {
      role = Role::kMask;
    } else if (IsReduced(t, ifd) || (iRaw && std::uint64_t{c} * r < iMainArea)) {
      role = Role::kReduced;  // raw files do not always flag their smaller renderings
    }
    iImages.push_back({ifd.offset, role});
  }
  // A JPEG stream the IFD points to without pixels of its own.
  if (!HasSize(ifd)) {
    auto offset = t.UInt(ifd, tiff::kJpegInterchangeFormat);
    auto length = t.UInt(ifd, tiff::kJpegInterchangeFormatLength);
    if (offset && length) AddJpeg(*offset, *length);
  }
  if (t.HeaderVariant() == tiff::Variant::kPanasonic) {
    if (const tiff::Entry* jpg = ifd.Find(tiffraw::kRw2JpgFromRaw)) AddJpeg(jpg->position, t.ValueBytes(*jpg));
  }
}

void TiffReader::AddJpeg(std::uint64_t offset, std::uint64_t length) {
  ImageDescription jpeg;
  if (iImages.size() >= kMaxImages || !EmbeddedJpeg(*iSource, offset, length, jpeg)) return;
  Image image;
  image.jpegOffset = offset;
  image.jpegLength = length;
  image.jpegType = jpeg.type;
  iImages.push_back(image);
}

bool TiffReader::Step() {
  std::vector<Ifd> tree;
  if (!ReadChain(tree)) return false;
  for (const Ifd& ifd : tree) AddImages(ifd);
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
      out.type = ReducedImageType(out.columns, out.rows);
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

void TiffReader::FillMain(ImageDescription& out) {
  Ifd ifd;
  if (!iTiff->ReadIfd(iMainIfd != 0 ? iMainIfd : iIfd0.offset, ifd)) return;
  Fill(ifd, Role::kMain, out);
  if (iMakerSensor) {
    if (iMainIfd == 0) {
      // No IFD holds the raw data: IFD0 lends its metadata, not its pixels'
      // compression, depth or resolution.
      std::erase_if(out.extended, [](const auto& detail) {
        return detail.first == "Compression" || detail.first == "BitsPerSample";
      });
      out.hResolution = out.vResolution = out.hRealSize = out.vRealSize = 0;
      out.units = PXC_MU_NONE;
    }
    raw::SetSensor(out, iSensor.columns, iSensor.rows);
    SetResolution(out, out.hResolution, out.vResolution);  // the real size of the sensor
    out.extended.insert(out.extended.end(), iSensor.extended.begin(), iSensor.extended.end());
  } else if (iRaw && RawData(ifd) && iTiff->UInt(ifd, tiff::kPhotometric).value_or(0) != 34892) {
    // A colour filter array, whatever photometric value the maker wrote;
    // linear raw keeps what its samples say.
    raw::SetSensor(out, out.columns, out.rows);
  }
  if (iRaw) tiffraw::AddRawDetails(*iTiff, ifd, iIfd0, out);
}

bool TiffReader::Describe(std::uint32_t index, ImageDescription& out) {
  if (!iTiff || iImages.empty()) return false;
  while (index >= iImages.size() && Step()) {
  }
  if (index >= iImages.size()) return false;
  out = ImageDescription{};
  const Image& image = iImages[index];
  if (image.role == Role::kMain) {
    FillMain(out);
    return true;
  }
  if (image.ifdOffset == 0) {
    out = EmbeddedImage(image.jpegType, image.jpegOffset, image.jpegLength);
    return true;
  }
  Ifd ifd;
  if (!iTiff->ReadIfd(image.ifdOffset, ifd)) {
    return Refuse("the IFD at byte " + std::to_string(image.ifdOffset) + " cannot be read again");
  }
  Fill(ifd, image.role, out);
  return true;
}

std::unique_ptr<FormatReader> MakeTiffReader() { return std::make_unique<TiffReader>(); }
IMR_READER(TIFF, MakeTiffReader);

}  // namespace imr::formats
