// PDF: version, page count, the first page's geometry, document information.
#pragma once

#include <memory>

#include "formats/common/format_reader.h"

namespace imr::formats {

std::unique_ptr<FormatReader> MakePdfReader();

}  // namespace imr::formats
