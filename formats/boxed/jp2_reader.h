// JPEG 2000: JP2 / JPX box files and raw J2K codestreams.
#pragma once

#include <memory>

#include "formats/common/format_reader.h"

namespace imr::formats {

std::unique_ptr<FormatReader> MakeJp2Reader();

}  // namespace imr::formats
