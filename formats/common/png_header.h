// The colour of a PNG image from its IHDR, for the PNG reader and for the
// readers of containers that hold PNG streams (MNG, OpenRaster).
#pragma once

#include <cstdint>
#include <string_view>

#include "formats/common/format_reader.h"

namespace imr::formats {

// Encoding, inks and alpha of a PNG colour type at `depth`; false when the
// pair is not one PNG allows.
bool SetPngColour(std::uint8_t colour, std::uint8_t depth, ImageDescription& out);

// Size, colour and bit depth from the first 33 bytes of a PNG stream (the
// signature and IHDR); false when they are not a valid start of one.
bool DescribePngHead(std::string_view head, ImageDescription& out);

}  // namespace imr::formats
