// What `imr identify` prints for one file as a line of text.
#pragma once

#include <string>

#include "describe/description.h"

// "path: TIFF 6.0 (image/tiff), main image, 2480 x 3508 px, 300 dpi, CMYK, 2 images"
std::string DescribeLine(const IdentifyResult& result);
