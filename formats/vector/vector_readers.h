// Vector drawings: SVG (plain and gzip-compressed), Windows Metafile,
// Enhanced Metafile and WordPerfect graphics.  Each file is one drawing,
// described by the size its header states; a physical size comes with the
// resolution that turns it into the columns and rows reported.
#pragma once

#include <memory>

#include "formats/common/format_reader.h"

namespace imr::formats {

std::unique_ptr<FormatReader> MakeSvgReader();
std::unique_ptr<FormatReader> MakeWmfReader();
std::unique_ptr<FormatReader> MakeEmfReader();
std::unique_ptr<FormatReader> MakeWpgReader();

}  // namespace imr::formats
