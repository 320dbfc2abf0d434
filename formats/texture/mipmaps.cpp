#include "formats/texture/mipmaps.h"

#include <algorithm>
#include <string>

namespace imr::formats {

ImageDescription MipmapLevel(const ImageDescription& main, std::uint32_t level) {
  ImageDescription out = main;
  out.columns = std::max<std::uint32_t>(1, level < 32 ? main.columns >> level : 0);
  out.rows = std::max<std::uint32_t>(1, level < 32 ? main.rows >> level : 0);
  out.type = std::max(out.columns, out.rows) <= 256 ? PXC_IT_THUMBNAIL : PXC_IT_PREVIEW;
  out.extended.emplace_back("MipmapLevel", std::to_string(level));
  return out;
}

std::uint32_t MaxMipmapLevels(std::uint32_t columns, std::uint32_t rows) {
  std::uint32_t levels = 1;
  for (std::uint32_t side = std::max(columns, rows); side > 1; side >>= 1) ++levels;
  return levels;
}

}  // namespace imr::formats
