#include "formats/jpeg/jpeg_reader.h"

#include <algorithm>
#include <cstring>
#include <tuple>

#include "formats/common/byte_reader.h"
#include "formats/common/embedded_image.h"
#include "formats/common/icc_profile.h"
#include "formats/common/reader_registry.h"
#include "formats/common/tiff_structure.h"

namespace imr::formats {
namespace {

constexpr int kMaxSegments = 100000;
constexpr std::uint64_t kMaxGarbage = 4096;  // stray bytes skipped before a marker
constexpr std::size_t kMaxIccChunks = 255;

bool IsSof(std::uint8_t m) {
  return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
}

std::string SofName(std::uint8_t m) {
  std::string name;
  switch (m & 0x03) {
    case 0: name = "Baseline"; break;  // SOF0 only: C4, C8, CC are not frames
    case 1: name = "Extended sequential"; break;
    case 2: name = "Progressive"; break;
    case 3: name = "Lossless"; break;
  }
  if (m & 0x04) name = "Differential " + name;  // hierarchical SOF5-7, SOF13-15
  if (m & 0x08) name += " (arithmetic)";
  return name;
}

// The ICC chunks of a JPEG read as one profile.
class ChunkSource : public ByteSource {
 public:
  ChunkSource(const ByteSource& parent, const std::vector<std::pair<std::uint64_t, std::uint64_t>>& chunks)
      : iParent(parent), iChunks(chunks) {
    for (const auto& c : chunks) iSize += c.second;
  }
  std::uint64_t Size() const override { return iSize; }
  std::size_t Read(std::uint64_t position, void* out, std::size_t count) const override {
    std::size_t done = 0;
    std::uint64_t base = 0;
    for (const auto& [offset, length] : iChunks) {
      if (done == count) break;
      if (position < base + length) {
        const std::uint64_t within = position - base;
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(length - within, count - done));
        const std::size_t got = iParent.Read(offset + within, static_cast<std::uint8_t*>(out) + done, n);
        done += got;
        position += got;
        if (got != n) break;
      }
      base += length;
    }
    return done;
  }

 private:
  const ByteSource& iParent;
  const std::vector<std::pair<std::uint64_t, std::uint64_t>>& iChunks;
  std::uint64_t iSize = 0;
};

// Finds ResolutionInfo (0x03ED) among the Photoshop image resources in
// [pos, end): horizontal resolution 16.16, unit, width unit, then vertical.
void ReadResolutionInfo(ByteReader& r, std::uint64_t pos, std::uint64_t end, JpegHeader& out) {
  for (int resources = 0; resources < 1000 && pos + 12 <= end; ++resources) {
    if (r.Text(pos, 4) != "8BIM") return;
    const std::uint16_t id = r.U16BE(pos + 4);
    const std::uint8_t nameLength = r.U8(pos + 6);
    std::uint64_t p = pos + 6 + ((nameLength + 2u) & ~1u);  // Pascal name padded to even
    if (p + 4 > end) return;
    const std::uint64_t size = r.U32BE(p);
    p += 4;
    if (size > end - p) return;
    if (id == 0x03ED && size >= 16) {
      out.psXResolution = r.U32BE(p) / 65536.0;
      out.psYResolution = r.U32BE(p + 8) / 65536.0;
      return;
    }
    pos = p + size + (size & 1);
  }
}

}  // namespace

bool ReadJpegHeader(const ByteSource& source, std::uint64_t start, std::uint64_t end,
                    JpegHeader& out) {
  out = JpegHeader{};
  ByteReader r(source);
  end = std::min(end, r.Size());
  if (start >= end || end - start < 2 || r.U16BE(start) != 0xFFD8) {
    out.problem = "the stream does not start with SOI";
    return false;
  }
  if (end - start < 4) {
    out.problem = "the stream ends after its SOI";
    return false;
  }
  std::vector<std::tuple<std::uint8_t, std::uint64_t, std::uint64_t>> icc;
  std::uint64_t pos = start + 2;
  for (int segments = 0; segments < kMaxSegments; ++segments) {
    // Find the next marker: 0xFF, any fill bytes, then the code.
    std::uint64_t skipped = 0;
    while (pos < end && r.U8(pos) != 0xFF && skipped < kMaxGarbage) {
      ++pos;
      ++skipped;
    }
    while (pos + 1 < end && r.U8(pos + 1) == 0xFF && skipped < 2 * kMaxGarbage) {
      ++pos;
      ++skipped;
    }
    if (pos + 2 > end || r.U8(pos) != 0xFF) break;
    const std::uint8_t marker = r.U8(pos + 1);
    pos += 2;
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;  // no length
    if (marker == 0xDA) out.scan = pos - 2;
    if (marker == 0xD9 || marker == 0xDA || marker == 0xD8) break;       // EOI, SOS, SOI
    const std::uint64_t length = pos + 2 > end ? 0 : r.U16BE(pos);
    if (length < 2 || length > end - pos) {
      static constexpr char kHex[] = "0123456789ABCDEF";
      out.problem = std::string("the FF") + kHex[marker >> 4] + kHex[marker & 15] + " segment at byte " +
                    std::to_string(pos - 2) + " runs past the end of the file";
      break;
    }
    const std::uint64_t data = pos + 2;
    const std::uint64_t size = length - 2;
    if (IsSof(marker) && out.sof == 0 && size >= 6) {
      out.sof = marker;
      out.precision = r.U8(data);
      out.rows = r.U16BE(data + 1);
      out.columns = r.U16BE(data + 3);
      out.components = r.U8(data + 5);
      for (std::uint8_t i = 0; i < std::min<std::uint8_t>(out.components, 4); ++i) {
        if (6 + 3 * std::uint64_t{i} < size) out.componentIds[i] = r.U8(data + 6 + 3 * i);
      }
    } else if (marker == 0xE0 && size >= 14 && !out.jfif && r.Text(data, 5) == std::string("JFIF\0", 5)) {
      out.jfif = true;
      out.jfifMajor = r.U8(data + 5);
      out.jfifMinor = r.U8(data + 6);
      out.jfifUnits = r.U8(data + 7);
      out.xDensity = r.U16BE(data + 8);
      out.yDensity = r.U16BE(data + 10);
    } else if (marker == 0xE1 && size > 6 && out.exifLength == 0 &&
               r.Text(data, 4) == "Exif" && r.U8(data + 4) == 0) {
      out.exifOffset = data + 6;
      out.exifLength = size - 6;
    } else if (marker == 0xE1 && r.Text(data, 29) == std::string("http://ns.adobe.com/xap/1.0/\0", 29)) {
      out.xmp = true;
      const std::string packet = r.Text(data + 29, static_cast<std::size_t>(size - 29));
      out.hdrgmXmp |= packet.find("hdrgm:") != std::string::npos || packet.find("\"GainMap\"") != std::string::npos;
    } else if (marker == 0xE2 && r.Text(data, 28) == std::string("urn:iso:std:iso:ts:21496:-1\0", 28)) {
      out.isoGainMap = size > 28 + 4;  // the primary picture's segment holds a version only
    } else if (marker == 0xE2 && size > 14 && r.Text(data, 12) == std::string("ICC_PROFILE\0", 12)) {
      if (icc.size() < kMaxIccChunks) icc.emplace_back(r.U8(data + 12), data + 14, size - 14);
    } else if (marker == 0xE2 && size > 8 && out.mpfLength == 0 &&
               r.Text(data, 4) == std::string("MPF\0", 4)) {
      out.mpfOffset = data + 4;
      out.mpfLength = size - 4;
    } else if (marker == 0xED && size > 14 && r.Text(data, 14) == std::string("Photoshop 3.0\0", 14)) {
      ReadResolutionInfo(r, data + 14, data + size, out);
    } else if (marker == 0xEE && size >= 12 && r.Text(data, 5) == "Adobe") {
      out.adobe = true;
      out.adobeTransform = r.U8(data + 11);
    }
    pos = data + size;
  }
  std::stable_sort(icc.begin(), icc.end(),
                   [](const auto& a, const auto& b) { return std::get<0>(a) < std::get<0>(b); });
  for (const auto& [seq, offset, length] : icc) out.icc.emplace_back(offset, length);
  if (out.sof == 0 && out.problem.empty()) out.problem = "no frame header (SOFn) comes before the first scan";
  if (r.Failed() && out.problem.empty()) out.problem = "the file ends inside a segment";
  return out.problem.empty();
}

bool JpegReader::Open(const ByteSource& source) {
  iSource = &source;
  iMpImages.clear();
  iThumbOffset = iThumbLength = 0;
  std::uint8_t soi[2] = {};
  if (source.Read(0, soi, 2) != 2 || soi[0] != 0xFF || soi[1] != 0xD8) return false;
  if (!ReadJpegHeader(source, 0, source.Size(), iHeader)) return Refuse(iHeader.problem);
  ReadMpIndex();
  // A damaged MP index, or a gain map that only the XMP announces: the
  // streams that follow the first one's end.
  if (iMpImages.empty() && (iHeader.mpfLength > 0 || iHeader.hdrgmXmp)) FindStreams();
  // MPO: an MPF segment and further images; JFIF: a JFIF APP0 as the first
  // segment.
  ByteReader reader(source);
  if (iHeader.mpfLength > 0 && !iMpImages.empty()) {
    iFormat = "MPO";
  } else if (reader.U16BE(2) == 0xFFE0 && reader.Text(6, 5) == std::string("JFIF\0", 5)) {
    iFormat = "JFIF";
  } else {
    iFormat = "JPEG";
  }
  if (iHeader.exifLength > 0) {
    SliceSource exif(source, iHeader.exifOffset, iHeader.exifLength);
    const tiff::ExifSummary summary = tiff::ReadExifSummary(exif);
    const std::uint64_t thumbnail = iHeader.exifOffset + summary.thumbnailOffset;
    if (summary.thumbnailLength > 0 &&
        HoldsImage(source, thumbnail, summary.thumbnailLength, EmbeddedKind::kJpeg)) {
      iThumbOffset = thumbnail;
      iThumbLength = summary.thumbnailLength;
    }
  }
  return true;
}

void JpegReader::ReadMpIndex() {
  if (iHeader.mpfLength == 0) return;
  SliceSource mp(*iSource, iHeader.mpfOffset, iHeader.mpfLength);
  tiff::Structure t(mp);
  tiff::Ifd index;
  if (!t.ReadHeader(false) || !t.ReadIfd(t.FirstIfd(), index)) return;
  const tiff::Entry* entries = index.Find(0xB002);
  if (!entries) return;
  const std::uint64_t count =
      std::min<std::uint64_t>({t.UInt(index, 0xB001).value_or(0), entries->count / 16, kMaxMpImages});
  const std::string raw = t.Raw(*entries, static_cast<std::size_t>(count * 16));
  auto value = [&](std::size_t at, unsigned bytes) {
    std::uint64_t v = 0;
    for (unsigned i = 0; i < bytes; ++i) {
      v = (v << 8) | static_cast<std::uint8_t>(raw[at + (t.LittleEndian() ? bytes - 1 - i : i)]);
    }
    return v;
  };
  const std::uint64_t size = iSource->Size();
  // Entry 0 is the first image itself; the others are offsets from the MP header.
  for (std::size_t i = 1; i < raw.size() / 16; ++i) {
    const std::uint64_t attribute = value(i * 16, 4);
    std::uint64_t length = value(i * 16 + 4, 4);
    const std::uint64_t offset = value(i * 16 + 8, 4);
    if (offset == 0 || ((attribute >> 24) & 7) != 0) continue;  // not a JPEG of its own
    const std::uint64_t absolute = iHeader.mpfOffset + offset;
    if (absolute >= size) continue;
    length = std::min(length, size - absolute);
    // the large thumbnail classes are previews
    const std::uint32_t type = attribute & 0xFFFFFF;
    AddStream(absolute, length, type == 0x010001 || type == 0x010002 ? PXC_IT_PREVIEW : PXC_IT_PAGE);
  }
}

void JpegReader::FindStreams() {
  // Entropy-coded data holds no EOI marker: the first FF D9 after a stream's
  // first scan ends it, and the next SOI follows, after some padding.
  const std::uint64_t size = iSource->Size();
  std::uint64_t scan = iHeader.scan, searched = 0;
  std::vector<std::uint8_t> chunk(64 * 1024);
  while (scan != 0 && iMpImages.size() < kMaxMpImages && searched < kMaxScan) {
    std::uint64_t eoi = 0;
    for (std::uint64_t at = scan + 2; eoi == 0 && at + 1 < size && searched < kMaxScan;) {
      const std::size_t got = iSource->Read(at, chunk.data(), chunk.size());
      if (got < 2) return;
      for (std::size_t i = 0; i + 1 < got; ++i) {
        if (chunk[i] == 0xFF && chunk[i + 1] == 0xD9) {
          eoi = at + i;
          break;
        }
      }
      at += got - 1;  // a marker may straddle two chunks
      searched += got;
    }
    if (eoi == 0) return;
    std::uint8_t padding[kMaxPadding];
    const std::size_t got = iSource->Read(eoi + 2, padding, sizeof padding);
    std::size_t skip = 0;
    while (skip < got && padding[skip] != 0xFF) ++skip;
    const std::uint64_t next = eoi + 2 + skip;
    const std::size_t before = iMpImages.size();
    AddStream(next, size - next, PXC_IT_PAGE);
    if (iMpImages.size() == before) return;
    JpegHeader header;
    ReadJpegHeader(*iSource, next, size, header);
    scan = header.scan;
  }
}

void JpegReader::AddStream(std::uint64_t offset, std::uint64_t length, PXC_TImageType type) {
  JpegHeader header;
  if (iMpImages.size() >= kMaxMpImages || !HoldsImage(*iSource, offset, length, EmbeddedKind::kJpeg)) return;
  if (ReadJpegHeader(*iSource, offset, offset + length, header) && (header.hdrgmXmp || header.isoGainMap)) {
    type = PXC_IT_AUXILIARY;
  }
  iMpImages.push_back({offset, length, type});
}

void JpegReader::Fill(const JpegHeader& h, ImageDescription& out) const {
  out.format = iFormat;
  out.columns = h.columns;
  out.rows = h.rows;
  if (h.jfif) out.version = std::to_string(h.jfifMajor) + "." + (h.jfifMinor < 10 ? "0" : "") +
                            std::to_string(h.jfifMinor);
  tiff::ExifSummary exif;
  if (h.exifLength > 0) {
    SliceSource source(*iSource, h.exifOffset, h.exifLength);
    exif = tiff::ReadExifSummary(source);
  }
  // The EXIF resolution wins over the JFIF density, and that over Photoshop's
  // ResolutionInfo, as ImageMagick has it (cameras keep a default 72 dpi in
  // JFIF and the real value in EXIF); an EXIF unit of 1 states no physical
  // resolution.  JFIF units: 1 dots per inch, 2 per centimetre, 0 an aspect
  // ratio only.
  if (exif.hasResolution) {
    if (exif.resolutionUnit == 2 || exif.resolutionUnit == 3) {
      SetResolution(out, exif.xResolution, exif.yResolution,
                          exif.resolutionUnit == 3 ? 2.54 : 1.0);
    }
  } else if (h.jfif && (h.jfifUnits == 1 || h.jfifUnits == 2)) {
    SetResolution(out, h.xDensity, h.yDensity, h.jfifUnits == 2 ? 2.54 : 1.0);
  } else if (h.psXResolution > 0) {
    SetResolution(out, h.psXResolution, h.psYResolution, 1.0);
  }
  out.rotation = tiff::RotationFromOrientation(exif.orientation);

  switch (h.components) {
    case 1:
      out.channelEncoding = PXC_CE_GRAY;
      out.inks = 1;
      break;
    case 3: {
      // Adobe transform 0 means no colour transform; without an Adobe
      // segment, component ids 'R' 'G' 'B' say the same.
      const bool rgb = h.adobe ? h.adobeTransform == 0
                               : (!h.jfif && h.componentIds[0] == 'R' && h.componentIds[1] == 'G' &&
                                  h.componentIds[2] == 'B');
      out.channelEncoding = rgb ? PXC_CE_RGB : PXC_CE_YCBCR;
      out.inks = 3;
      break;
    }
    case 4:
      out.channelEncoding = h.adobe && h.adobeTransform == 2 ? PXC_CE_YCCK : PXC_CE_CMYK;
      out.inks = 4;
      break;
    default:
      out.channelEncoding = PXC_CE_UNKNOWN;
      out.inks = h.components;
  }

  out.extended.emplace_back("Compression", SofName(h.sof));
  out.extended.emplace_back("BitsPerSample", std::to_string(h.precision));
  if (!h.icc.empty()) {
    ChunkSource profile(*iSource, h.icc);
    out.extended.emplace_back("ColorProfile", IccColorProfile(profile, 0, profile.Size()));
  }
  if (exif.valid) out.extended.emplace_back("Exif", "yes");
  if (h.xmp) out.extended.emplace_back("XMP", "yes");
  if (!exif.software.empty()) out.extended.emplace_back("Software", exif.software);
  if ((h.sof & 0x03) == 2) out.extended.emplace_back("Interlace", "Progressive");
  if (std::string name = tiff::OrientationName(exif.orientation); !name.empty()) {
    out.extended.emplace_back("Orientation", name);
  }
}

bool JpegReader::Describe(std::uint32_t index, ImageDescription& out) {
  if (!iSource) return false;
  out = ImageDescription{};
  if (index == 0) {
    Fill(iHeader, out);
    return true;
  }
  std::size_t i = index - 1;
  if (i < iMpImages.size()) {
    const MpImage& mp = iMpImages[i];
    JpegHeader header;
    // Still an image of the file when its header cannot be read.
    if (ReadJpegHeader(*iSource, mp.offset, mp.offset + mp.length, header)) Fill(header, out);
    out.format = iFormat;
    out.type = mp.type;
    if (mp.type == PXC_IT_AUXILIARY) {
      out.subtype = PXC_IS_OTHER;
      out.extended.emplace_back("GainMap", header.isoGainMap ? "ISO 21496-1" : "Ultra HDR");
    }
    return true;
  }
  i -= iMpImages.size();
  if (i == 0 && iThumbLength > 0) {
    out = EmbeddedImage(PXC_IT_THUMBNAIL, iThumbOffset, iThumbLength);
    return true;
  }
  return false;
}

std::unique_ptr<FormatReader> MakeJpegReader() { return std::make_unique<JpegReader>(); }
IMR_READER(JPEG, MakeJpegReader);

}  // namespace imr::formats
