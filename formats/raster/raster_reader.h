// Small raster formats, one reader each: Truevision TGA, ZSoft PCX and its
// multi-page DCX container, SGI image, Netpbm (PBM, PGM, PPM, PAM, PFM),
// QOI and DirectDraw Surface.
#pragma once

#include <memory>

#include "formats/common/format_reader.h"

namespace imr::formats {

std::unique_ptr<FormatReader> MakeTgaReader();
std::unique_ptr<FormatReader> MakePcxReader();  // PCX and DCX
std::unique_ptr<FormatReader> MakeSgiReader();
std::unique_ptr<FormatReader> MakePnmReader();  // P1-P7, Pf and PF
std::unique_ptr<FormatReader> MakeQoiReader();
std::unique_ptr<FormatReader> MakeDdsReader();

}  // namespace imr::formats
