// TIFF/EXIF structure parsing shared by the TIFF reader and the readers of
// formats that embed EXIF or TIFF-structured blocks (JPEG EXIF and MPF, PNG
// eXIf, WebP EXIF, CR3 metadata): header, IFDs, tag values, and the
// orientation every reader reports.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "formats/common/format_reader.h"

namespace imr::formats::tiff {

// Tags the readers look at.
enum Tag : std::uint16_t {
  kNewSubfileType = 254,
  kSubfileType = 255,
  kImageWidth = 256,
  kImageLength = 257,
  kBitsPerSample = 258,
  kCompression = 259,
  kPhotometric = 262,
  kMake = 271,
  kModel = 272,
  kStripOffsets = 273,
  kOrientation = 274,
  kSamplesPerPixel = 277,
  kXResolution = 282,
  kYResolution = 283,
  kResolutionUnit = 296,
  kSoftware = 305,
  kInkSet = 332,
  kInkNames = 333,
  kNumberOfInks = 334,
  kSubIfds = 330,
  kExtraSamples = 338,
  kJpegInterchangeFormat = 513,
  kJpegInterchangeFormatLength = 514,
  kXmp = 700,
  kExifIfd = 34665,
  kMakerNote = 37500,
  kIccProfile = 34675,
  kDngVersion = 50706,
};

struct Entry {
  std::uint16_t tag = 0;
  std::uint16_t type = 0;
  std::uint64_t count = 0;
  std::uint64_t position = 0;  // where the value bytes are in the source
};

struct Ifd {
  std::uint64_t offset = 0;
  std::uint64_t next = 0;  // 0 at the end of the chain
  std::vector<Entry> entries;
  const Entry* Find(std::uint16_t tag) const;
};

// Size in bytes of one value of a field type; 0 for types not known.
unsigned TypeSize(std::uint16_t type);

// Header variants.
enum class Variant { kClassic, kBigTiff, kOlympus, kPanasonic, kJpegXr };

class Structure {
 public:
  explicit Structure(const ByteSource& source) : iSource(source), iSize(source.Size()) {}

  // Reads the header: II or MM, then 42 (TIFF), 43 (BigTIFF with 8-byte
  // offsets) or, when `rawVariants`, the Olympus ("RO", "RS", "OR") and
  // Panasonic (0x55) versions.  False when it is none of them.
  bool ReadHeader(bool rawVariants);
  // Reads the header of a JPEG XR file: "II", 0xBC, version 1, then the
  // first directory's offset; its directories are TIFF's.
  bool ReadJpegXrHeader();
  bool LittleEndian() const { return iLittle; }
  bool BigTiff() const { return iBig; }
  Variant HeaderVariant() const { return iVariant; }
  std::uint64_t FirstIfd() const { return iFirstIfd; }
  const ByteSource& Source() const { return iSource; }

  // Reads the directory at `offset`; false when it is not within the source
  // or holds no entry.  At most kMaxEntries entries are accepted.
  static constexpr std::uint64_t kMaxEntries = 4096;
  bool ReadIfd(std::uint64_t offset, Ifd& out) const;

  // Value `index` of a field as an unsigned integer (integer types; rationals
  // truncated), or as a real number; nothing when absent or out of range.
  std::optional<std::uint64_t> UInt(const Entry& entry, std::uint64_t index = 0) const;
  std::optional<std::uint64_t> UInt(const Ifd& ifd, std::uint16_t tag, std::uint64_t index = 0) const;
  std::optional<double> Real(const Entry& entry, std::uint64_t index = 0) const;
  std::optional<double> Real(const Ifd& ifd, std::uint16_t tag, std::uint64_t index = 0) const;
  // Up to `maxCount` integer values of a field.
  std::vector<std::uint64_t> UInts(const Ifd& ifd, std::uint16_t tag, std::size_t maxCount) const;
  // The raw bytes of a field, at most `maxBytes`.
  std::string Raw(const Entry& entry, std::size_t maxBytes) const;
  // An ASCII field up to its first NUL, without trailing blanks.
  std::string Ascii(const Ifd& ifd, std::uint16_t tag, std::size_t maxBytes = 1024) const;
  // Byte range of a field's value, clamped to the source.
  std::uint64_t ValueBytes(const Entry& entry) const;

 private:
  std::uint64_t Decode(const std::uint8_t* bytes, unsigned size) const;

  const ByteSource& iSource;
  std::uint64_t iSize;
  bool iLittle = false;
  bool iBig = false;
  Variant iVariant = Variant::kClassic;
  std::uint64_t iFirstIfd = 0;
};

// The MakerNote field of the EXIF IFD that IFD0 points to; null when there
// is none.  Its value is a maker's block: an IFD, or a header and then an
// IFD or a TIFF structure of its own, depending on the maker.
std::optional<Entry> MakerNote(const Structure& t, const Ifd& ifd0);

// What JPEG, PNG and WebP readers take from an EXIF block.
struct ExifSummary {
  bool valid = false;
  bool hasResolution = false;
  double xResolution = 0;
  double yResolution = 0;
  std::uint64_t resolutionUnit = 2;  // 1 none, 2 inch, 3 cm
  std::uint64_t orientation = 0;     // 0 when absent
  std::string software;
  bool hasExifIfd = false;
  // JPEG thumbnail of IFD1, relative to the TIFF header; length 0 if none.
  std::uint64_t thumbnailOffset = 0;
  std::uint64_t thumbnailLength = 0;
};
// Parses the TIFF structure that `source` holds from position 0.
ExifSummary ReadExifSummary(const ByteSource& source);

// EXIF/TIFF Orientation 1..8 as a rotation, and its name as ImageMagick
// prints it (TopLeft, ...); PXC_IR_NONE / empty for other values.
PXC_TImageRotation RotationFromOrientation(std::uint64_t orientation);
std::string OrientationName(std::uint64_t orientation);

}  // namespace imr::formats::tiff
