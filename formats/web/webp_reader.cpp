#include "formats/web/webp_reader.h"

#include <algorithm>

#include "formats/common/byte_reader.h"
#include "formats/common/icc_profile.h"
#include "formats/common/reader_registry.h"
#include "formats/common/tiff_structure.h"

namespace imr::formats {
namespace {

constexpr int kMaxChunks = 1000000;

std::uint32_t U24(ByteReader& r, std::uint64_t pos) {
  return r.U8(pos) | (std::uint32_t{r.U8(pos + 1)} << 8) | (std::uint32_t{r.U8(pos + 2)} << 16);
}

// Next chunk after the one at `pos` of payload `size`: chunks are padded to even.
std::uint64_t After(std::uint64_t pos, std::uint64_t size) { return pos + 8 + size + (size & 1); }

// The orientation of an EXIF chunk's payload; some writers keep JPEG's
// "Exif\0\0" in front of the TIFF header.
std::uint64_t ExifOrientation(const ByteSource& source, std::uint64_t data, std::uint64_t size) {
  ByteReader r(source);
  const std::uint64_t skip = r.Text(data, 6) == std::string("Exif\0\0", 6) ? 6 : 0;
  SliceSource exif(source, data + skip, size - std::min(size, skip));
  return tiff::ReadExifSummary(exif).orientation;
}

}  // namespace

bool WebpReader::ReadBitstream(std::uint64_t pos, std::uint64_t end, Frame& frame) const {
  ByteReader r(*iSource, true);
  for (int chunks = 0; chunks < 16 && pos + 8 <= end; ++chunks) {
    const std::string id = r.Text(pos, 4);
    const std::uint64_t size = r.U32(pos + 4);
    const std::uint64_t data = pos + 8;
    if (size > end - data) return false;
    if (id == "ALPH") {
      frame.alpha = true;
    } else if (id == "VP8 ") {
      // Frame tag (key frame when bit 0 is clear), start code, 14-bit sizes.
      if (size < 10 || (r.U8(data) & 1) != 0 || r.U8(data + 3) != 0x9D ||
          r.U8(data + 4) != 0x01 || r.U8(data + 5) != 0x2A) {
        return false;
      }
      frame.columns = r.U16(data + 6) & 0x3FFF;
      frame.rows = r.U16(data + 8) & 0x3FFF;
      frame.lossless = false;
      return !r.Failed();
    } else if (id == "VP8L") {
      // Signature 0x2F, then width-1 and height-1 in 14 bits each, alpha, version.
      if (size < 5 || r.U8(data) != 0x2F) return false;
      const std::uint32_t bits = r.U32(data + 1);
      if ((bits >> 29) != 0) return false;
      frame.columns = (bits & 0x3FFF) + 1;
      frame.rows = ((bits >> 14) & 0x3FFF) + 1;
      frame.alpha = frame.alpha || ((bits >> 28) & 1) != 0;
      frame.lossless = true;
      return !r.Failed();
    } else {
      return false;
    }
    pos = After(pos, size);
  }
  return false;
}

bool WebpReader::Open(const ByteSource& source) {
  iSource = &source;
  iExtended = iAnimated = iIcc = iExif = iXmp = iDone = false;
  iColorProfile.clear();
  iOrientation = 0;
  iMain = Frame{};
  iFrames.clear();
  ByteReader r(source, true);
  if (r.Text(0, 4) != "RIFF" || r.Text(8, 4) != "WEBP") return false;
  iEnd = std::min<std::uint64_t>(8 + std::uint64_t{r.U32(4)}, r.Size());
  if (iEnd < 20) return Refuse("the RIFF data is too short to hold an image");
  const std::string first = r.Text(12, 4);
  if (first == "VP8 " || first == "VP8L") {
    return ReadBitstream(12, iEnd, iMain) || Refuse("the " + first + " bitstream header is not valid");
  }
  if (first != "VP8X" || r.U32(16) < 10) return Refuse("the first chunk is not VP8, VP8L or a 10-byte VP8X");

  iExtended = true;
  const std::uint8_t flags = r.U8(20);
  iAnimated = (flags & 0x02) != 0;
  iXmp = (flags & 0x04) != 0;
  iExif = (flags & 0x08) != 0;
  iMain.alpha = (flags & 0x10) != 0;
  iIcc = (flags & 0x20) != 0;
  iMain.columns = U24(r, 24) + 1;
  iMain.rows = U24(r, 27) + 1;
  if (r.Failed()) return Refuse("the file ends inside the VP8X chunk");

  // Chunks after VP8X: for a still image, as far as its metadata; for an
  // animation, up to the first frame (the rest are read as they are asked for).
  std::uint64_t pos = After(12, r.U32(16));
  bool haveBitstream = false;
  for (int chunks = 0; chunks < kMaxChunks && pos + 8 <= iEnd; ++chunks) {
    const std::string id = r.Text(pos, 4);
    const std::uint64_t size = r.U32(pos + 4);
    const std::uint64_t data = pos + 8;
    if (size > iEnd - data) break;
    if (id == "ICCP") {
      iColorProfile = IccColorProfile(source, data, size);
    } else if (id == "EXIF") {
      iOrientation = ExifOrientation(source, data, size);
    } else if (id == "ANMF") {
      break;
    } else if (!iAnimated && !haveBitstream && (id == "ALPH" || id == "VP8 " || id == "VP8L")) {
      Frame frame;
      if (ReadBitstream(pos, iEnd, frame)) {
        iMain.lossless = frame.lossless;
        iMain.alpha = iMain.alpha || frame.alpha;
        haveBitstream = true;
      }
    }
    pos = After(pos, size);
  }
  iNext = pos;
  if (iAnimated) return NextFrame() || Refuse("the animation has no frame");  // image 0 is the first frame
  return haveBitstream || Refuse("no valid bitstream chunk follows VP8X");
}

bool WebpReader::NextFrame() {
  if (!iAnimated || iDone || iFrames.size() >= kMaxFrames) {
    iDone = true;
    return false;
  }
  ByteReader r(*iSource, true);
  for (int chunks = 0; chunks < kMaxChunks && iNext + 8 <= iEnd; ++chunks) {
    const std::uint64_t pos = iNext;
    const std::string id = r.Text(pos, 4);
    const std::uint64_t size = r.U32(pos + 4);
    const std::uint64_t data = pos + 8;
    if (size > iEnd - data) break;
    iNext = After(pos, size);
    if (id == "ANMF" && size >= 16) {
      Frame frame;
      frame.columns = U24(r, data + 6) + 1;
      frame.rows = U24(r, data + 9) + 1;
      Frame stream;
      if (ReadBitstream(data + 16, data + size, stream)) {
        frame.lossless = stream.lossless;
        frame.alpha = stream.alpha;
      }
      iFrames.push_back(frame);
      return !r.Failed();
    }
    if (id == "EXIF") iOrientation = ExifOrientation(*iSource, data, size);
  }
  iDone = true;
  return false;
}

void WebpReader::Fill(const Frame& frame, ImageDescription& out) const {
  out.columns = frame.columns;
  out.rows = frame.rows;
  out.channelEncoding = PXC_CE_RGB;
  out.inks = 3;
  if (frame.alpha) out.alphaPlane = PXC_AP_UNASSOCIATED;
  out.extended.emplace_back("Compression", frame.lossless ? "VP8L lossless" : "VP8 lossy");
  out.extended.emplace_back("BitsPerSample", "8");
}

bool WebpReader::Describe(std::uint32_t index, ImageDescription& out) {
  if (!iSource) return false;
  out = ImageDescription{};
  if (index == 0) {
    while (NextFrame()) {  // count the frames; picks up an EXIF after them
    }
    Frame main = iMain;
    if (iAnimated && !iFrames.empty()) main.lossless = iFrames[0].lossless;
    Fill(main, out);
    out.rotation = tiff::RotationFromOrientation(iOrientation);
    if (!iColorProfile.empty()) out.extended.emplace_back("ColorProfile", iColorProfile);
    if (iExif) out.extended.emplace_back("Exif", "yes");
    if (iXmp) out.extended.emplace_back("XMP", "yes");
    if (iAnimated) out.extended.emplace_back("Frames", std::to_string(iFrames.size()));
    if (std::string name = tiff::OrientationName(iOrientation); !name.empty()) {
      out.extended.emplace_back("Orientation", name);
    }
    return true;
  }
  while (index >= iFrames.size() && NextFrame()) {
  }
  if (index >= iFrames.size()) return false;
  Fill(iFrames[index], out);
  out.type = PXC_IT_PAGE;
  return true;
}

std::unique_ptr<FormatReader> MakeWebpReader() { return std::make_unique<WebpReader>(); }
IMR_READER(WEBP, MakeWebpReader);

}  // namespace imr::formats
