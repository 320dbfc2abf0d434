// Still-image codecs with headers of their own: JPEG XR (HD Photo), BPG,
// FlashPix, FLIF and PGF.  One picture per file (a BPG or FLIF animation
// reports its frames as a detail).
#pragma once

#include <memory>

#include "formats/common/format_reader.h"

namespace imr::formats {

std::unique_ptr<FormatReader> MakeJxrReader();
std::unique_ptr<FormatReader> MakeBpgReader();
std::unique_ptr<FormatReader> MakeFpxReader();
std::unique_ptr<FormatReader> MakeFlifReader();
std::unique_ptr<FormatReader> MakePgfReader();

}  // namespace imr::formats
