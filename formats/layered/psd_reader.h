// Adobe Photoshop documents: PSD (version 1) and PSB (version 2, large
// document format).  Reads the header, the image resources and the layer
// section's layer count; the JPEG thumbnail resource is reported as an
// embedded image.
#pragma once

#include <memory>

#include "formats/common/format_reader.h"

namespace imr::formats {

std::unique_ptr<FormatReader> MakePsdReader();

}  // namespace imr::formats
