// Autodesk Animator animations: FLI (320 x 200) and FLC (any size).
#pragma once

#include <memory>

#include "formats/common/format_reader.h"

namespace imr::formats {

std::unique_ptr<FormatReader> MakeFliReader();  // FLI and FLC

}  // namespace imr::formats
