// DjVu: a single page (FORM:DJVU) or a bundled document (FORM:DJVM) whose
// directory points at each page.
#pragma once

#include <memory>

#include "formats/common/format_reader.h"

namespace imr::formats {

std::unique_ptr<FormatReader> MakeDjvuReader();

}  // namespace imr::formats
