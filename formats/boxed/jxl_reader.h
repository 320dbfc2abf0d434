// JPEG XL: a bare codestream, or the box container holding one.
#pragma once

#include <memory>

#include "formats/common/format_reader.h"

namespace imr::formats {

std::unique_ptr<FormatReader> MakeJxlReader();

}  // namespace imr::formats
