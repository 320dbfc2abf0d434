// The detectors behind the C interface's handles.  A handle is a number
// never reused, so a closed or made-up handle is recognised as such, and
// a call holds its detector alive while another thread closes it.
#pragma once

#include <memory>

#include "capi/imr.h"
#include "core/imr_core.h"

namespace imr::capi {

// Sets `core` to the detector of `handle`; IMR_E_ARGUMENT for a null
// handle, IMR_E_CLOSED for one closed or never opened (with the message set).
imr_status FindDetector(const imr_detector* handle, std::shared_ptr<const IMR_TCore>& core);

}  // namespace imr::capi
