// Paint Shop Pro images: the general image attributes block.
#pragma once

#include <memory>

#include "formats/common/format_reader.h"

namespace imr::formats {

std::unique_ptr<FormatReader> MakePspReader();

}  // namespace imr::formats
