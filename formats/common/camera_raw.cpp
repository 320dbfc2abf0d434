#include "formats/common/camera_raw.h"

namespace imr::formats::raw {

void SetSensor(ImageDescription& out, std::uint32_t columns, std::uint32_t rows) {
  out.type = PXC_IT_MAIN;
  out.columns = columns;
  out.rows = rows;
  out.channelEncoding = PXC_CE_RGB;
  out.inks = 3;
  out.alphaPlane = PXC_AP_NONE;
}

void AddActiveArea(ImageDescription& out, std::uint64_t top, std::uint64_t left, std::uint64_t bottom,
                   std::uint64_t right) {
  if (bottom <= top || right <= left) return;
  out.extended.emplace_back("ActiveArea", std::to_string(top) + " " + std::to_string(left) + " " +
                                              std::to_string(bottom) + " " + std::to_string(right));
}

void AddCropSize(ImageDescription& out, std::uint64_t columns, std::uint64_t rows) {
  if (columns == 0 || rows == 0) return;
  out.extended.emplace_back("DefaultCropSize", std::to_string(columns) + "x" + std::to_string(rows));
}

std::string CfaPatternText(std::span<const std::uint8_t> cells, unsigned columns, unsigned rows) {
  static constexpr char kColours[] = "RGBCMYW";
  if (columns == 0 || rows == 0 || columns > 8 || rows > 8 || cells.size() < std::size_t{columns} * rows) {
    return {};
  }
  std::string text;
  for (unsigned r = 0; r < rows; ++r) {
    if (r > 0) text += '/';
    for (unsigned c = 0; c < columns; ++c) {
      const std::uint8_t code = cells[r * columns + c];
      if (code > 6) return {};
      text += kColours[code];
    }
  }
  return text;
}

PXC_TImageRotation RotationFromDegrees(std::int64_t degrees) {
  switch (degrees) {
    case 90: return PXC_IR_90;
    case 180: return PXC_IR_180;
    case 270: return PXC_IR_270;
    default: return PXC_IR_NONE;
  }
}

bool ReadCanonSensor(std::span<const std::uint16_t> values, ImageDescription& out) {
  if (values.size() < 3 || values[1] == 0 || values[2] == 0) return false;
  SetSensor(out, values[1], values[2]);
  if (values.size() >= 9) {
    const std::uint64_t left = values[5], top = values[6], right = values[7], bottom = values[8];
    if (right < values[1] && bottom < values[2]) AddActiveArea(out, top, left, bottom + 1, right + 1);
  }
  return true;
}

}  // namespace imr::formats::raw
