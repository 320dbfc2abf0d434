// Camera raw files built on the TIFF structure: which format a file is,
// which IFDs hold raw sensor data, the sensor geometry that maker data give
// where the raw IFD does not state it, the raw details, and the previews
// maker notes point to.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "formats/common/format_reader.h"
#include "formats/common/tiff_structure.h"

namespace imr::formats::tiffraw {

// Panasonic RW2 tags of IFD0: sensor size, the borders of the picture, bits,
// compression and filter pattern, and the JPEG preview.
enum Rw2Tag : std::uint16_t {
  kRw2SensorWidth = 0x02,
  kRw2SensorHeight = 0x03,
  kRw2TopBorder = 0x04,
  kRw2LeftBorder = 0x05,
  kRw2BottomBorder = 0x06,
  kRw2RightBorder = 0x07,
  kRw2CfaPattern = 0x09,
  kRw2BitsPerSample = 0x0A,
  kRw2Compression = 0x0B,
  kRw2JpgFromRaw = 0x2E,
};

// The format the header and IFD0 name: TIFF, BIGTIFF, TIFF_IT, or the raw
// formats DNG, CR2, NEF, ORF, RW2, IIQ, ARW, PEF and SRW.
std::string FormatOf(const tiff::Structure& t, const tiff::Ifd& ifd0);
bool IsRaw(std::string_view format);

// An IFD whose pixels are raw sensor data: a colour filter array, linear raw,
// or a camera maker's raw compression.
bool HoldsRawData(const tiff::Structure& t, const tiff::Ifd& ifd);

// The IFD of a CR2 that holds the raw data: Canon's slice tag, or strips of
// old-style JPEG data without an image size.
bool IsCanonRawIfd(const tiff::Structure& t, const tiff::Ifd& ifd);

// The sensor of formats whose raw IFD does not state it, as a main image
// (raw::SetSensor) with its details: CR2 from Canon's SensorInfo, else from
// the lossless JPEG frame of the raw strip (`raw`, may be null); IIQ from the
// Phase One directory.  False when the file does not give it.
bool MakerSensor(const tiff::Structure& t, std::string_view format, const tiff::Ifd& ifd0, const tiff::Ifd* raw,
                 ImageDescription& out);

// Details of the main image of a raw file read from its IFD `raw` (and IFD0,
// where the file keeps them): the filter pattern, DNG's crop and active
// area, and RW2's borders, bits and compression.
void AddRawDetails(const tiff::Structure& t, const tiff::Ifd& raw, const tiff::Ifd& ifd0, ImageDescription& out);

// JPEG streams that maker notes point to (the PreviewIFD of Nikon's), as
// offsets and lengths in the file.
std::vector<std::pair<std::uint64_t, std::uint64_t>> MakerPreviews(const tiff::Structure& t, std::string_view format,
                                                                   const tiff::Ifd& ifd0);

}  // namespace imr::formats::tiffraw
