// Formats of science, medicine and image processing, one reader each:
// FITS, DICOM, VICAR, Khoros VIFF, the VIPS native format, ImageMagick's
// MIFF and its persistent cache MPC, and JPEG 2000's PGX test format.
#pragma once

#include <memory>

#include "formats/common/format_reader.h"

namespace imr::formats {

std::unique_ptr<FormatReader> MakeFitsReader();
std::unique_ptr<FormatReader> MakeDicomReader();
std::unique_ptr<FormatReader> MakeVicarReader();
std::unique_ptr<FormatReader> MakeViffReader();
std::unique_ptr<FormatReader> MakeVipsReader();
std::unique_ptr<FormatReader> MakeMiffReader();  // MIFF and MPC
std::unique_ptr<FormatReader> MakePgxReader();

}  // namespace imr::formats
