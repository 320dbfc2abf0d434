// GIMP's native XCF files, every version from "gimp xcf file" (version 0)
// on; offsets are 64-bit from version 11.
#pragma once

#include <memory>

#include "formats/common/format_reader.h"

namespace imr::formats {

std::unique_ptr<FormatReader> MakeXcfReader();

}  // namespace imr::formats
