// Checks of the arguments the C interface is given; each sets the message
// and returns IMR_E_ARGUMENT when it fails.
#pragma once

#include "capi/imr.h"

namespace imr::capi {

// A non-empty UTF-8 path; `what` names it in the message.
imr_status CheckPath(const char* path, const char* what);
// A level from IMR_LEVEL_MIN to IMR_LEVEL_MAX and a mask within IMR_TYPES_ALL.
imr_status CheckRequest(int level, unsigned types);

}  // namespace imr::capi
