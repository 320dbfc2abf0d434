// imr_open and imr_close, and the table of open detectors.
#include "capi/detector.h"

#include <cstdint>
#include <shared_mutex>
#include <unordered_map>

#include "capi/arguments.h"
#include "capi/errors.h"
#include "capi/setup.h"

namespace imr::capi {
namespace {

class Registry {
 public:
  imr_detector* Add(std::shared_ptr<const IMR_TCore> core) {
    std::unique_lock lock(iMutex);
    const std::uintptr_t id = iNext++;
    iOpen.emplace(id, std::move(core));
    return reinterpret_cast<imr_detector*>(id);
  }
  std::shared_ptr<const IMR_TCore> Find(const imr_detector* handle) const {
    std::shared_lock lock(iMutex);
    auto found = iOpen.find(reinterpret_cast<std::uintptr_t>(handle));
    return found == iOpen.end() ? nullptr : found->second;
  }
  // The detector is freed when the last call still using it returns.
  bool Remove(const imr_detector* handle) {
    std::shared_ptr<const IMR_TCore> closing;  // let go after the lock
    std::unique_lock lock(iMutex);
    auto found = iOpen.find(reinterpret_cast<std::uintptr_t>(handle));
    if (found == iOpen.end()) return false;
    closing = std::move(found->second);
    iOpen.erase(found);
    return true;
  }

 private:
  mutable std::shared_mutex iMutex;
  std::unordered_map<std::uintptr_t, std::shared_ptr<const IMR_TCore>> iOpen;
  std::uintptr_t iNext = 1;
};

Registry& Detectors() {
  static Registry* registry = new Registry;  // lives for the process
  return *registry;
}

}  // namespace

imr_status FindDetector(const imr_detector* handle, std::shared_ptr<const IMR_TCore>& core) {
  if (handle == nullptr) return Fail(IMR_E_ARGUMENT, "the detector is null");
  core = Detectors().Find(handle);
  return core ? IMR_OK : Fail(IMR_E_CLOSED, "the detector is closed");
}

}  // namespace imr::capi

using namespace imr::capi;

extern "C" {

imr_status imr_open(const char* config_path, unsigned flags, imr_detector** detector) {
  return Guarded([&] {
    if (detector == nullptr) return Fail(IMR_E_ARGUMENT, "the detector pointer is null");
    *detector = nullptr;
    if ((flags & ~unsigned{IMR_OPEN_NO_CACHE}) != 0) {
      return Fail(IMR_E_ARGUMENT, "unknown flags " + std::to_string(flags));
    }
    if (config_path != nullptr) {
      if (const imr_status status = CheckPath(config_path, "configuration path"); status != IMR_OK) {
        return status;
      }
    }
    if (const imr_status status = SetUpLibrary(config_path); status != IMR_OK) return status;
    // A core over a copy of the default plugin list never touches the cache.
    auto core = (flags & IMR_OPEN_NO_CACHE)
                    ? std::make_shared<const IMR_TCore>(IMR_TCore::DefaultPluginList())
                    : std::make_shared<const IMR_TCore>();
    *detector = Detectors().Add(std::move(core));
    return Succeed();
  });
}

imr_status imr_close(imr_detector* detector) {
  return Guarded([&] {
    if (detector == nullptr) return Fail(IMR_E_ARGUMENT, "the detector is null");
    return Detectors().Remove(detector) ? Succeed() : Fail(IMR_E_CLOSED, "the detector is closed");
  });
}

}  // extern "C"
