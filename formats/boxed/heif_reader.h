// HEIF / HEIC / AVIF (and Canon CR3, which shares the ISO base media
// structure): the primary item, its alpha and its thumbnails.
#pragma once

#include <memory>

#include "formats/common/format_reader.h"

namespace imr::formats {

std::unique_ptr<FormatReader> MakeHeifReader();

}  // namespace imr::formats
