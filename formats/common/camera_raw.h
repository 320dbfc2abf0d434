// What the readers of camera raw files share, whichever structure holds the
// file (TIFF, CIFF heaps, RAF, MRW, X3F, ISO boxes): the sensor's image as
// the main image, its details under common names, and Canon's sensor record.
//
// The main image of a raw file is the sensor's geometry: every pixel the raw
// data holds, masked borders included.  Where the file says which part of it
// makes the picture, that goes to the details:
//   ActiveArea       "top left bottom right" of the sensor (bottom and right
//                    exclusive), as DNG writes it
//   DefaultCropSize  "WxH" of the developed picture
//   CFAPattern       the colour filter rows, "RG/GB"
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "formats/common/format_reader.h"

namespace imr::formats::raw {

// Sets `out` to the sensor image of `columns` x `rows`: a main image whose
// colour filter array develops to RGB.
void SetSensor(ImageDescription& out, std::uint32_t columns, std::uint32_t rows);

void AddActiveArea(ImageDescription& out, std::uint64_t top, std::uint64_t left, std::uint64_t bottom,
                   std::uint64_t right);
void AddCropSize(ImageDescription& out, std::uint64_t columns, std::uint64_t rows);

// The colour filter pattern of `columns` x `rows` cells with the colour codes
// of TIFF/EP (0 red, 1 green, 2 blue, 3 cyan, 4 magenta, 5 yellow, 6 white),
// rows separated by '/'; empty when the cells are not all given or a code is
// unknown.
std::string CfaPatternText(std::span<const std::uint8_t> cells, unsigned columns, unsigned rows);

// A clockwise turn for display given in degrees (0, 90, 180, 270), as
// CRW and X3F headers give it; PXC_IR_NONE for other values.
PXC_TImageRotation RotationFromDegrees(std::int64_t degrees);

// Canon's sensor record (the SensorInfo of CR2 maker notes and CRW heaps):
// 16-bit values, [1] width, [2] height, [5..8] left, top, right and bottom
// borders of the picture (inclusive).  False when the width or height is 0.
bool ReadCanonSensor(std::span<const std::uint16_t> values, ImageDescription& out);

}  // namespace imr::formats::raw
