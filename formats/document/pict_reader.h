// Macintosh PICT (QuickDraw pictures, version 1 and 2): the picture frame and
// the kind of the first pixel map drawn.
#pragma once

#include <memory>

#include "formats/common/format_reader.h"

namespace imr::formats {

std::unique_ptr<FormatReader> MakePictReader();

}  // namespace imr::formats
