// OpenRaster: the layer stack of a ZIP archive, its merged image and thumbnail.
#pragma once

#include <memory>

#include "formats/common/format_reader.h"

namespace imr::formats {

std::unique_ptr<FormatReader> MakeOraReader();

}  // namespace imr::formats
