// PostScript and EPS, with the DOS EPS binary header and DCS 1.0 / 2.0
// separations: the DSC comments of the header and trailer.
#pragma once

#include <memory>

#include "formats/common/format_reader.h"

namespace imr::formats {

std::unique_ptr<FormatReader> MakeEpsReader();

}  // namespace imr::formats
