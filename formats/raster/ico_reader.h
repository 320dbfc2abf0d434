// Icon files: Windows ICO and CUR (a directory of DIB or PNG entries) and
// Apple ICNS (a sequence of typed icon elements).
#pragma once

#include <memory>

#include "formats/common/format_reader.h"

namespace imr::formats {

// Reads ICO, CUR and ICNS; the file's first bytes choose which.
std::unique_ptr<FormatReader> MakeIcoReader();

}  // namespace imr::formats
