// Formats of film scanning, visual effects and high-dynamic-range imaging,
// one reader each: DPX, Kodak Cineon, OpenEXR and Radiance RGBE.
#pragma once

#include <memory>

#include "formats/common/format_reader.h"

namespace imr::formats {

std::unique_ptr<FormatReader> MakeDpxReader();
std::unique_ptr<FormatReader> MakeCineonReader();
std::unique_ptr<FormatReader> MakeExrReader();
std::unique_ptr<FormatReader> MakeHdrReader();

}  // namespace imr::formats
