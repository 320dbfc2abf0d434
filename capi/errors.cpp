// Statuses, the per-thread message of the last failure, and the release of
// strings handed to the caller.
#include "capi/errors.h"

#include <cstdlib>

namespace imr::capi {
namespace {
thread_local std::string tLastError;
}  // namespace

imr_status Fail(imr_status status, std::string message) {
  tLastError = std::move(message);
  return status;
}

imr_status Succeed() {
  tLastError.clear();
  return IMR_OK;
}

imr_status StatusOfClass(std::string_view errorClass) {
  if (errorClass == "IMR_EPluginFileNotRecognized") return IMR_E_NOT_RECOGNIZED;
  if (errorClass == "IMR_EPluginCannotReadFile") return IMR_E_CANNOT_READ;
  return IMR_E_INTERNAL;
}

}  // namespace imr::capi

extern "C" {

const char* imr_last_error(void) { return imr::capi::tLastError.c_str(); }

const char* imr_status_name(imr_status status) {
  switch (status) {
    case IMR_OK:
      return "IMR_OK";
    case IMR_E_ARGUMENT:
      return "IMR_E_ARGUMENT";
    case IMR_E_CLOSED:
      return "IMR_E_CLOSED";
    case IMR_E_NOT_RECOGNIZED:
      return "IMR_E_NOT_RECOGNIZED";
    case IMR_E_CANNOT_READ:
      return "IMR_E_CANNOT_READ";
    case IMR_E_CONFIG:
      return "IMR_E_CONFIG";
    case IMR_E_NO_MEMORY:
      return "IMR_E_NO_MEMORY";
    case IMR_E_INTERNAL:
      return "IMR_E_INTERNAL";
  }
  return "";
}

void imr_free(void* text) { std::free(text); }

}  // extern "C"
