// What the film readers share: version fields and scan orientations.
#pragma once

#include <cstdint>
#include <string>

#include "formats/common/format_reader.h"

namespace imr::formats {

// A version field such as "V2.0" as "2.0"; empty when it holds no version
// number.
std::string VersionField(const std::string& field);

// Sets the rotation of `out` from an EXIF orientation (1-8), the way the
// stored lines run, and names it in the detail "Orientation".
void SetScanOrientation(ImageDescription& out, std::uint64_t exifOrientation);

}  // namespace imr::formats
