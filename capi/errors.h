// How the C interface reports failures: a status for the caller and a
// message kept per thread, with no exception ever crossing into C.
#pragma once

#include <new>
#include <string>
#include <string_view>

#include "capi/imr.h"
#include "describe/description.h"

namespace imr::capi {

// Records `message` as the calling thread's last error; returns `status`.
imr_status Fail(imr_status status, std::string message);
// Clears the calling thread's last error; returns IMR_OK.
imr_status Succeed();
// The status of a failure that the description reports by exception class.
imr_status StatusOfClass(std::string_view errorClass);

// Runs `body` (which returns an imr_status) and turns whatever it throws into
// a status and message.
template <class Body>
imr_status Guarded(Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return Fail(IMR_E_NO_MEMORY, "out of memory");
  } catch (const ZQ_EException&) {
    auto [errorClass, message] = CurrentFailure();
    return Fail(StatusOfClass(errorClass), std::move(message));
  } catch (const std::exception& error) {
    return Fail(IMR_E_INTERNAL, error.what());
  } catch (...) {
    return Fail(IMR_E_INTERNAL, "unknown failure");
  }
}

}  // namespace imr::capi
