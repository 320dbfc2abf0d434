#include "formats/common/format_reader.h"

#include <cmath>

namespace imr::formats {

void SetResolution(ImageDescription& out, double x, double y, double unitsPerInch) {
  const double h = x * unitsPerInch, v = y * unitsPerInch;
  if (!(h > 0) || !(v > 0) || !std::isfinite(h) || !std::isfinite(v)) return;
  out.hResolution = h;
  out.vResolution = v;
  out.units = PXC_MU_INCH;
  out.hRealSize = out.columns / h;
  out.vRealSize = out.rows / v;
}

std::uint32_t PagePixels(double points) {
  const double rounded = std::floor(points + 0.5);
  if (!(rounded >= 1)) return 1;
  return rounded >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(rounded);
}

}  // namespace imr::formats
