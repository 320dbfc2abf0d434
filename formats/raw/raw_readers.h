// Camera raw formats with structures of their own (the TIFF-based ones are
// read by the TIFF reader, CR3 by the HEIF reader).  Each describes the
// sensor as its main image (see common/camera_raw.h), then the previews and
// thumbnails the file holds: JPEG streams as embedded images, other
// renderings from what their headers say.
#pragma once

#include <memory>

#include "formats/common/format_reader.h"

namespace imr::formats {

// Canon CRW: a CIFF heap of records, the sensor record, the JPEG preview and
// thumbnail.
std::unique_ptr<FormatReader> MakeCrwReader();
// Minolta MRW: the PRD block's sensor and picture sizes, the TTW block's
// TIFF structure with its thumbnail and the maker note's preview.
std::unique_ptr<FormatReader> MakeMrwReader();
// Fujifilm RAF: the header's pointers, the raw header's sizes, the JPEG
// preview (whose EXIF thumbnail the JPEG reader reports).
std::unique_ptr<FormatReader> MakeRafReader();
// Sigma X3F: the header, the section directory at the end, the image
// sections (raw, previews, JPEG previews).
std::unique_ptr<FormatReader> MakeX3fReader();

}  // namespace imr::formats
