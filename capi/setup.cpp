#include "capi/setup.h"

#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>

#include "capi/errors.h"
#include "core/imr_core.h"

namespace imr::capi {
namespace {

std::mutex sMutex;
// The overlay in force once the library is set up ("" for none).
std::optional<std::string> sOverlay;

// Points IMR_CONFIG at `path` (or unsets it) and rereads the configuration.
void LoadConfiguration(const std::optional<std::string>& path) {
  if (path) {
    ::setenv("IMR_CONFIG", path->c_str(), 1);
  } else {
    ::unsetenv("IMR_CONFIG");
  }
  PXC_CfsReload();
}

}  // namespace

imr_status SetUpLibrary(const char* configPath) {
  std::lock_guard lock(sMutex);
  if (sOverlay) {
    if (configPath == nullptr || *sOverlay == configPath) return IMR_OK;
    return Fail(IMR_E_CONFIG, "the configuration is read once per process and was loaded from " +
                                  (sOverlay->empty() ? std::string("the built-in one") : *sOverlay) +
                                  ", not " + configPath);
  }
  if (configPath != nullptr) {
    const char* previous = std::getenv("IMR_CONFIG");
    const std::optional<std::string> before = previous ? std::optional<std::string>(previous) : std::nullopt;
    LoadConfiguration(std::string(configPath));
    const ZQ_TString error = PXC_CfsWrap().LoadError();
    if (!error.IsEmpty()) {
      LoadConfiguration(before);
      return Fail(IMR_E_CONFIG, error.Std());
    }
  }
  if (!__ZQ_INITIALIZATION_FUNCTION_IMR__()) {
    return Fail(IMR_E_CONFIG, "the library could not be initialised");
  }
  const char* overlay = std::getenv("IMR_CONFIG");
  sOverlay = overlay ? overlay : "";
  return IMR_OK;
}

}  // namespace imr::capi
