// GPU texture files: DirectDraw Surface, Khronos KTX (1 and 2) and
// Blizzard's BLP.
#pragma once

#include <memory>

#include "formats/common/format_reader.h"

namespace imr::formats {

std::unique_ptr<FormatReader> MakeDdsReader();
std::unique_ptr<FormatReader> MakeKtxReader();  // KTX 1 and KTX 2
std::unique_ptr<FormatReader> MakeBlpReader();  // BLP0, BLP1 and BLP2

}  // namespace imr::formats
