#include "formats/film/film_util.h"

#include "formats/common/text_util.h"
#include "formats/common/tiff_structure.h"

namespace imr::formats {

std::string VersionField(const std::string& field) {
  std::string version = TrimPadding(field);
  if (!version.empty() && (version[0] == 'V' || version[0] == 'v')) version.erase(0, 1);
  if (version.empty() || version.find_first_not_of("0123456789.") != std::string::npos) return {};
  return version;
}

void SetScanOrientation(ImageDescription& out, std::uint64_t exifOrientation) {
  out.rotation = tiff::RotationFromOrientation(exifOrientation);
  if (std::string name = tiff::OrientationName(exifOrientation); !name.empty()) {
    out.extended.emplace_back("Orientation", name);
  }
}

}  // namespace imr::formats
