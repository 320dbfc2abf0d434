// Small raster formats, one reader each: Truevision TGA, ZSoft PCX and its
// multi-page DCX container, SGI image, Netpbm (PBM, PGM, PPM, PAM, PFM),
// QOI, Sun raster, X BitMap, X PixMap, X Window dump, WBMP, CALS raster,
// Kodak Photo CD and headerless Windows DIBs.
#pragma once

#include <memory>

#include "formats/common/format_reader.h"

namespace imr::formats {

std::unique_ptr<FormatReader> MakeTgaReader();
std::unique_ptr<FormatReader> MakePcxReader();  // PCX and DCX
std::unique_ptr<FormatReader> MakeSgiReader();
std::unique_ptr<FormatReader> MakePnmReader();  // P1-P7, Pf and PF
std::unique_ptr<FormatReader> MakeQoiReader();
std::unique_ptr<FormatReader> MakeSunReader();
std::unique_ptr<FormatReader> MakeXbmReader();
std::unique_ptr<FormatReader> MakeXpmReader();  // XPM3 and XPM2
std::unique_ptr<FormatReader> MakeXwdReader();
std::unique_ptr<FormatReader> MakeWbmpReader();
std::unique_ptr<FormatReader> MakeCalsReader();
std::unique_ptr<FormatReader> MakePcdReader();
std::unique_ptr<FormatReader> MakeDibReader();

}  // namespace imr::formats
