// What a format reader sees and what it reports.  A format reader parses a
// file's headers (never its pixel data) and describes each image of the
// file; the format plugins turn its descriptions into image tickets.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "pxcbase/pxc_enums.h"

namespace imr::formats {

// Random access to the bytes of a file, or of a byte range embedded in one.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Number of bytes the source holds.
  virtual std::uint64_t Size() const = 0;
  // Copies up to `count` bytes from `position` into `out`; fewer at the end
  // of the source or on a read error.  Returns the number copied.
  virtual std::size_t Read(std::uint64_t position, void* out, std::size_t count) const = 0;
};

// One image of a file as a reader describes it.  Resolutions are pixels per
// `units`, real sizes are in `units`; readers report inches (PXC_MU_INCH)
// whenever the file states a physical resolution, converting from
// centimetres or metres, and leave both at 0 with PXC_MU_NONE otherwise.
struct ImageDescription {
  std::string format;   // FileFormat; empty: the name of the plugin the reader
                        // serves, which is its format's (readers of several
                        // formats name each: BIGTIFF, APNG, DNG, ...)
  std::string version;  // FileFormatVersion, empty when not known
  PXC_TImageType type = PXC_IT_MAIN;
  PXC_TImageSubtype subtype = PXC_IS_NONE;
  std::uint32_t columns = 0;
  std::uint32_t rows = 0;
  double hResolution = 0;
  double vResolution = 0;
  double hRealSize = 0;
  double vRealSize = 0;
  PXC_TMUnits units = PXC_MU_NONE;
  PXC_TImageRotation rotation = PXC_IR_NONE;
  PXC_TChannelEnc channelEncoding = PXC_CE_UNKNOWN;
  PXC_TAlphaPlane alphaPlane = PXC_AP_NONE;
  std::uint16_t inks = 0;   // colour channels without alpha (CMYK 4, RGB 3, ...)
  std::int32_t pages = 0;   // pages of a document, 0 when not a paged format
  std::vector<std::string> inkNames;
  // Details such as "Compression", "BitsPerSample", "ColorProfile",
  // "Software", "Layers", "Frames", in the order found.
  std::vector<std::pair<std::string, std::string>> extended;
  // Files the image needs (linked plates, placed files), as written in the
  // file: absolute paths, or paths relative to the file's folder.
  std::vector<std::string> externalRefs;
  // An image held inside the file in a format of its own (an EXIF thumbnail,
  // an EPS preview): `type` says what it is to its container and the pipeline
  // describes the bytes [embeddedOffset, embeddedOffset + embeddedLength)
  // separately; the other fields are then not used.
  bool embedded = false;
  std::uint64_t embeddedOffset = 0;
  std::uint64_t embeddedLength = 0;
};

// Sets the resolution (pixels per inch), units and real size of `out` from a
// resolution in pixels per unit, where `unitsPerInch` is 1 for inches, 2.54
// for centimetres and 0.0254 for metres; columns and rows must be set first.
// Leaves them at 0 and PXC_MU_NONE unless both values are positive and
// finite.
void SetResolution(ImageDescription& out, double x, double y, double unitsPerInch = 1.0);

// The pixels of a page side of `points` (PostScript, EPS, PDF) rendered at
// 72 dpi, as Ghostscript sizes a page: to the nearest integer, halves up,
// and at least 1.
std::uint32_t PagePixels(double points);

// Reads one family of formats.  A reader is created for one file and keeps
// what it learned between calls, so describing images 0, 1, 2, ... in turn
// does not start from scratch.
class FormatReader {
 public:
  virtual ~FormatReader() = default;
  // Checks and reads the headers; false when the bytes are not a readable
  // file of this family.  Every read stays within source.Size().
  virtual bool Open(const ByteSource& source) = 0;
  // Describes image `index` (0 is the main image); false when the file has
  // no such image or its header cannot be read.
  virtual bool Describe(std::uint32_t index, ImageDescription& out) = 0;

  // Why the last Open or Describe returned false, for a file whose headers
  // say it is of the family but cannot be read ("the IHDR chunk is cut
  // short"); empty when the bytes are simply not of the family or the image
  // number is past the file's last.
  const std::string& Refusal() const { return iRefusal; }

 protected:
  // Records `reason` and returns false, for `return Refuse("...");`.
  bool Refuse(std::string reason) {
    iRefusal = std::move(reason);
    return false;
  }

 private:
  std::string iRefusal;
};

// Makes a new reader of one family.
using ReaderFactory = std::unique_ptr<FormatReader> (*)();

// A reader of formats whose images are all known once the headers are read:
// Open fills iImages, and Describe hands out their copies.
class PreparedReader : public FormatReader {
 public:
  bool Describe(std::uint32_t index, ImageDescription& out) final {
    if (index >= iImages.size()) return false;
    out = iImages[index];
    return true;
  }

 protected:
  std::vector<ImageDescription> iImages;
};

}  // namespace imr::formats
