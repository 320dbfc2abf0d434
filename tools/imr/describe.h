// What `imr identify` prints for one file as text.
#pragma once

#include <string>

#include "describe/description.h"

// "path: TIFF 6.0 (image/tiff), main image, 2480 x 3508 px, 300 dpi, CMYK, 2 images",
// then, with the plugins' answers recorded (--explain), one indented line per
// answer: "  image 0: PNG declined: the IHDR chunk is cut short".
std::string DescribeLine(const IdentifyResult& result);
