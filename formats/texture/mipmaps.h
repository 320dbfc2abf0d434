// Mipmap levels of a texture: each a copy of the main image reduced by
// half per level, described as an image of its own.
#pragma once

#include <cstdint>

#include "formats/common/format_reader.h"

namespace imr::formats {

// Level `level` of the texture whose level 0 is `main`: its size halved
// `level` times (at least 1 pixel), typed as a reduced copy (a thumbnail up
// to 256 pixels a side, a preview above), with its level as a detail.
ImageDescription MipmapLevel(const ImageDescription& main, std::uint32_t level);

// Levels a texture can have whose longest side is the longer of `columns`
// and `rows` (1 for a 1 x 1 texture).
std::uint32_t MaxMipmapLevels(std::uint32_t columns, std::uint32_t rows);

}  // namespace imr::formats
