// Windows and OS/2 bitmaps: "BM" files with any of the DIB headers, OS/2
// bitmap arrays ("BA") and bitmaps written one after another.
#pragma once

#include <memory>

#include "formats/common/format_reader.h"

namespace imr::formats {

std::unique_ptr<FormatReader> MakeBmpReader();

}  // namespace imr::formats
