// JPEG (JFIF, EXIF) and MPO: the marker segments in front of the first scan.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "formats/common/format_reader.h"

namespace imr::formats {

// What the segments of one JPEG stream, from SOI to its first SOS, say.
struct JpegHeader {
  std::uint8_t sof = 0;  // SOFn marker, 0 when none was found
  std::uint8_t precision = 0;
  std::uint16_t rows = 0;
  std::uint16_t columns = 0;
  std::uint8_t components = 0;
  std::uint8_t componentIds[4] = {};
  bool jfif = false;
  std::uint8_t jfifMajor = 0, jfifMinor = 0, jfifUnits = 0;
  std::uint16_t xDensity = 0, yDensity = 0;
  // Photoshop ResolutionInfo (APP13), always in pixels per inch; 0 if none.
  double psXResolution = 0, psYResolution = 0;
  bool adobe = false;
  std::uint8_t adobeTransform = 0;
  // The TIFF structure of the first EXIF APP1 segment.
  std::uint64_t exifOffset = 0, exifLength = 0;
  bool xmp = false;
  // APP2 ICC_PROFILE chunks in sequence order: position, length.
  std::vector<std::pair<std::uint64_t, std::uint64_t>> icc;
  // The MP header (byte order mark) of an APP2 MPF segment.
  std::uint64_t mpfOffset = 0, mpfLength = 0;
  // Gain maps: the XMP names the hdrgm namespace or a GainMap item (an Ultra
  // HDR picture lists its gain map so, and the gain map describes itself
  // so), or an APP2 segment carries ISO 21496-1 gain map metadata.
  bool hdrgmXmp = false;
  bool isoGainMap = false;
  std::uint64_t scan = 0;  // the first SOS marker, 0 when none was reached
  std::string problem;     // why the walk failed, when it did
};

// Walks the segments of the stream at [start, end) of `source`.  False (with
// out.problem) when it does not start with SOI or no frame header precedes
// the first scan.
bool ReadJpegHeader(const ByteSource& source, std::uint64_t start, std::uint64_t end,
                    JpegHeader& out);

// Image 0 is the first stream; the further streams of the file follow (from
// the MP index; when that is damaged, or an Ultra HDR picture has none, found
// after the first stream's end), then the EXIF thumbnail as an embedded
// image.  A further stream is a preview, a page (another view of an MPO) or,
// when it is a gain map, an auxiliary image.
class JpegReader : public FormatReader {
 public:
  bool Open(const ByteSource& source) override;
  bool Describe(std::uint32_t index, ImageDescription& out) override;

  static constexpr std::size_t kMaxMpImages = 256;
  // Bytes of entropy-coded data searched for the end of a stream, and of
  // padding between one stream's end and the next one's start.
  static constexpr std::uint64_t kMaxScan = 64 << 20;
  static constexpr std::uint64_t kMaxPadding = 4096;

 private:
  struct MpImage {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
    PXC_TImageType type = PXC_IT_PAGE;
  };
  void ReadMpIndex();
  void FindStreams();
  void AddStream(std::uint64_t offset, std::uint64_t length, PXC_TImageType type);
  void Fill(const JpegHeader& header, ImageDescription& out) const;

  const ByteSource* iSource = nullptr;
  std::string iFormat;  // JPEG, JFIF or MPO
  JpegHeader iHeader;
  std::vector<MpImage> iMpImages;
  std::uint64_t iThumbOffset = 0, iThumbLength = 0;
};

std::unique_ptr<FormatReader> MakeJpegReader();

}  // namespace imr::formats
