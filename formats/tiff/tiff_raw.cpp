#include "formats/tiff/tiff_raw.h"

#include <algorithm>
#include <optional>

#include "formats/common/byte_reader.h"
#include "formats/common/camera_raw.h"
#include "formats/common/embedded_image.h"

namespace imr::formats::tiffraw {
namespace {

using tiff::Ifd;

constexpr std::uint16_t kStripByteCounts = 279;
constexpr std::uint16_t kCfaRepeatPatternDim = 0x828D;
constexpr std::uint16_t kCfaPattern = 0x828E;
constexpr std::uint16_t kExifCfaPattern = 0xA302;
constexpr std::uint16_t kDngPrivateData = 0xC634;
constexpr std::uint16_t kCanonRawSlices = 0xC640;
constexpr std::uint16_t kDefaultCropSize = 0xC620;
constexpr std::uint16_t kActiveArea = 0xC68D;
constexpr std::uint16_t kCanonSensorInfo = 0x00E0;
constexpr std::uint16_t kNikonPreviewIfd = 0x0011;

// Phase One directory tags 0x108..0x10D: the sensor's width and height, the
// picture's left and top margins, its width and height.
constexpr std::uint32_t kPhaseOneSizeTags = 0x108;
constexpr std::size_t kPhaseOneSizeCount = 6;
constexpr std::uint32_t kMaxPhaseOneEntries = 4096;

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

// The colour filter pattern of an IFD (TIFF/EP tags), else of the EXIF IFD.
std::string CfaPattern(const tiff::Structure& t, const Ifd& raw, const Ifd& ifd0) {
  const std::vector<std::uint64_t> dims = t.UInts(raw, kCfaRepeatPatternDim, 2);
  if (const tiff::Entry* cells = raw.Find(kCfaPattern); cells && dims.size() == 2) {
    const std::string bytes = t.Raw(*cells, 64);
    return raw::CfaPatternText({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()},
                               static_cast<unsigned>(std::min<std::uint64_t>(dims[1], 64)),
                               static_cast<unsigned>(std::min<std::uint64_t>(dims[0], 64)));
  }
  // EXIF: columns and rows as 16-bit numbers in the file's order, then the cells.
  Ifd exif;
  auto offset = t.UInt(ifd0, tiff::kExifIfd);
  if (!offset || !t.ReadIfd(*offset, exif)) return {};
  const tiff::Entry* pattern = exif.Find(kExifCfaPattern);
  if (!pattern) return {};
  const std::string bytes = t.Raw(*pattern, 68);
  if (bytes.size() < 4) return {};
  const auto number = [&](std::size_t at) {
    const auto hi = static_cast<std::uint8_t>(bytes[at + (t.LittleEndian() ? 1 : 0)]);
    const auto lo = static_cast<std::uint8_t>(bytes[at + (t.LittleEndian() ? 0 : 1)]);
    return static_cast<unsigned>(hi << 8 | lo);
  };
  return raw::CfaPatternText({reinterpret_cast<const std::uint8_t*>(bytes.data()) + 4, bytes.size() - 4},
                             number(0), number(2));
}

std::string PanasonicCompression(std::uint64_t c) {
  switch (c) {
    case 34316: return "Panasonic RAW 1";
    case 34826: return "Panasonic RAW 2";
    case 34828: return "Panasonic RAW 3";
    case 34830: return "Panasonic RAW 4";
    default: return std::to_string(c);
  }
}

bool PhaseOneSensor(const tiff::Structure& t, ImageDescription& out) {
  // At offset 8: "IIII" or "MMMM", "?Raw" (read in that order), and the
  // directory's position from there: entry count, a word, then entries of
  // tag, type, size and value (4 bytes each).
  constexpr std::uint64_t kBase = 8;
  ByteReader r(t.Source());
  const std::string order = r.Text(kBase, 4);
  if (order != "IIII" && order != "MMMM") return false;
  r.SetLittleEndian(order == "IIII");
  if (r.U32(kBase + 4) >> 8 != 0x526177) return false;  // "Raw"
  const std::uint64_t directory = kBase + r.U32(kBase + 8);
  const std::uint32_t entries = r.U32(directory);
  if (r.Failed() || entries > kMaxPhaseOneEntries) return false;
  std::uint64_t values[kPhaseOneSizeCount] = {};
  for (std::uint32_t i = 0; i < entries && !r.Failed(); ++i) {
    const std::uint64_t entry = directory + 8 + 16 * std::uint64_t{i};
    const std::uint32_t tag = r.U32(entry);
    if (tag >= kPhaseOneSizeTags && tag < kPhaseOneSizeTags + kPhaseOneSizeCount) {
      values[tag - kPhaseOneSizeTags] = r.U32(entry + 12);
    }
  }
  const std::uint64_t width = values[0], height = values[1], left = values[2], top = values[3];
  const std::uint64_t imageWidth = values[4], imageHeight = values[5];
  if (r.Failed() || width == 0 || height == 0) return false;
  raw::SetSensor(out, static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height));
  if (imageWidth > 0 && imageHeight > 0 && left + imageWidth <= width && top + imageHeight <= height) {
    raw::AddActiveArea(out, top, left, top + imageHeight, left + imageWidth);
    raw::AddCropSize(out, imageWidth, imageHeight);
  }
  return true;
}

bool CanonSensor(const tiff::Structure& t, const Ifd& ifd0, const Ifd* rawIfd, ImageDescription& out) {
  // The lossless JPEG frame of the first slice: samples per line of each
  // component, side by side.
  JpegFrame frame;
  bool haveFrame = false;
  if (rawIfd) {
    auto offset = t.UInt(*rawIfd, tiff::kStripOffsets), count = t.UInt(*rawIfd, kStripByteCounts);
    haveFrame = offset && count && ReadJpegFrame(t.Source(), *offset, *count, frame) && frame.components > 0;
  }
  bool known = false;
  if (auto note = tiff::MakerNote(t, ifd0)) {
    Ifd canon;
    if (t.ReadIfd(note->position, canon)) {
      std::vector<std::uint16_t> values;
      for (std::uint64_t v : t.UInts(canon, kCanonSensorInfo, 17)) values.push_back(static_cast<std::uint16_t>(v));
      known = raw::ReadCanonSensor(values, out);
    }
  }
  if (!known && haveFrame && frame.columns > 0 && frame.rows > 0) {
    raw::SetSensor(out, frame.columns * frame.components, frame.rows);
    known = true;
  }
  if (known && haveFrame) out.extended.emplace_back("BitsPerSample", std::to_string(frame.precision));
  return known;
}

}  // namespace

std::string FormatOf(const tiff::Structure& t, const Ifd& ifd0) {
  if (t.BigTiff()) return "BIGTIFF";
  if (t.HeaderVariant() == tiff::Variant::kOlympus) return "ORF";
  if (t.HeaderVariant() == tiff::Variant::kPanasonic) return "RW2";
  ByteReader reader(t.Source());
  if (reader.Text(8, 2) == "CR") return "CR2";
  if (reader.Text(8, 4) == "IIII" && reader.Text(13, 3) == "waR") return "IIQ";
  if (ifd0.Find(tiff::kDngVersion) != nullptr) return "DNG";
  // TIFF/IT: two of the prepress tags 34016..34032 in IFD0.
  const auto prepress = std::count_if(ifd0.entries.begin(), ifd0.entries.end(), [](const tiff::Entry& e) {
    return e.tag >= 34016 && e.tag <= 34032;
  });
  if (prepress >= 2) return "TIFF_IT";
  // The makers' raw files: the raw data in IFD0 or in its SubIFDs.  Their
  // cameras' TIFF pictures hold neither.
  const std::string make = t.Ascii(ifd0, tiff::kMake, 64);
  const bool rawHere = HoldsRawData(t, ifd0);
  const bool subIfds = ifd0.Find(tiff::kSubIfds) != nullptr;
  if (StartsWith(make, "NIKON") && (t.UInt(ifd0, tiff::kNewSubfileType).value_or(0) & 1) != 0) return "NEF";
  if (StartsWith(make, "SONY") && (rawHere || subIfds || ifd0.Find(kDngPrivateData) != nullptr)) return "ARW";
  if (t.UInt(ifd0, tiff::kCompression).value_or(0) == 65535 ||  // Pentax's own compression
      ((StartsWith(make, "PENTAX") || StartsWith(make, "RICOH")) && rawHere)) {
    return "PEF";
  }
  if (StartsWith(make, "SAMSUNG") && (rawHere || subIfds)) return "SRW";
  return "TIFF";
}

bool IsRaw(std::string_view format) {
  for (std::string_view name : {"DNG", "CR2", "NEF", "ORF", "RW2", "IIQ", "ARW", "PEF", "SRW"}) {
    if (format == name) return true;
  }
  return false;
}

bool HoldsRawData(const tiff::Structure& t, const Ifd& ifd) {
  const std::uint64_t photometric = t.UInt(ifd, tiff::kPhotometric).value_or(0);
  if (photometric == 32803 || photometric == 34892) return true;
  switch (t.UInt(ifd, tiff::kCompression).value_or(1)) {
    case 262: case 32767: case 32769: case 32770: case 32772: case 32867: case 34713: case 65000: case 65535:
      return true;
    default:
      return false;
  }
}

bool IsCanonRawIfd(const tiff::Structure& t, const Ifd& ifd) {
  if (ifd.Find(kCanonRawSlices)) return true;
  return !ifd.Find(tiff::kImageWidth) && ifd.Find(tiff::kStripOffsets) &&
         t.UInt(ifd, tiff::kCompression).value_or(0) == 6;
}

bool MakerSensor(const tiff::Structure& t, std::string_view format, const Ifd& ifd0, const Ifd* raw,
                 ImageDescription& out) {
  if (format == "CR2") return CanonSensor(t, ifd0, raw, out);
  if (format == "IIQ") return PhaseOneSensor(t, out);
  return false;
}

void AddRawDetails(const tiff::Structure& t, const Ifd& raw, const Ifd& ifd0, ImageDescription& out) {
  if (t.HeaderVariant() == tiff::Variant::kPanasonic) {
    const std::uint64_t top = t.UInt(raw, kRw2TopBorder).value_or(0), left = t.UInt(raw, kRw2LeftBorder).value_or(0);
    raw::AddActiveArea(out, top, left, t.UInt(raw, kRw2BottomBorder).value_or(0),
                       t.UInt(raw, kRw2RightBorder).value_or(0));
    // 1 RGGB, 2 GRBG, 3 GBRG, 4 BGGR
    static const char* const kPatterns[] = {"RG/GB", "GR/BG", "GB/RG", "BG/GR"};
    const std::uint64_t pattern = t.UInt(raw, kRw2CfaPattern).value_or(0);
    if (pattern >= 1 && pattern <= 4) out.extended.emplace_back("CFAPattern", kPatterns[pattern - 1]);
    if (auto c = t.UInt(raw, kRw2Compression)) out.extended.emplace_back("Compression", PanasonicCompression(*c));
    if (auto b = t.UInt(raw, kRw2BitsPerSample)) out.extended.emplace_back("BitsPerSample", std::to_string(*b));
    return;
  }
  if (std::string cfa = CfaPattern(t, raw, ifd0); !cfa.empty()) out.extended.emplace_back("CFAPattern", cfa);
  auto cropWidth = t.Real(raw, kDefaultCropSize, 0), cropHeight = t.Real(raw, kDefaultCropSize, 1);
  if (cropWidth && cropHeight && *cropWidth >= 1 && *cropHeight >= 1 && *cropWidth < 1e9 && *cropHeight < 1e9) {
    raw::AddCropSize(out, static_cast<std::uint64_t>(*cropWidth), static_cast<std::uint64_t>(*cropHeight));
  }
  const std::vector<std::uint64_t> area = t.UInts(raw, kActiveArea, 4);
  if (area.size() == 4) raw::AddActiveArea(out, area[0], area[1], area[2], area[3]);
}

std::vector<std::pair<std::uint64_t, std::uint64_t>> MakerPreviews(const tiff::Structure& t, std::string_view format,
                                                                   const Ifd& ifd0) {
  std::vector<std::pair<std::uint64_t, std::uint64_t>> previews;
  if (format != "NEF") return previews;
  // Nikon's maker note: "Nikon\0", a version, then a TIFF structure of its
  // own, whose offsets count from its header.
  auto note = tiff::MakerNote(t, ifd0);
  ByteReader r(t.Source());
  if (!note || note->count < 18 || r.Text(note->position, 6) != std::string("Nikon\0", 6)) return previews;
  const std::uint64_t base = note->position + 10;
  SliceSource block(t.Source(), base, note->count - 10);
  tiff::Structure nikon(block);
  Ifd main, preview;
  if (!nikon.ReadHeader(false) || !nikon.ReadIfd(nikon.FirstIfd(), main)) return previews;
  auto at = nikon.UInt(main, kNikonPreviewIfd);
  if (!at || !nikon.ReadIfd(*at, preview)) return previews;
  auto offset = nikon.UInt(preview, tiff::kJpegInterchangeFormat);
  auto length = nikon.UInt(preview, tiff::kJpegInterchangeFormatLength);
  if (offset && length && *offset < block.Size() && *length <= block.Size() - *offset) {
    previews.emplace_back(base + *offset, *length);
  }
  return previews;
}

}  // namespace imr::formats::tiffraw
