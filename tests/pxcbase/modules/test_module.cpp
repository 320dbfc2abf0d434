// A module for the dynamic loader's tests.  PXCTEST_VARIANT selects how it
// behaves when loaded:
//   0  registers creators of the kind PXCTEST_Kind and succeeds
//   1  needs a symbol that nothing defines, so it cannot be loaded
//   2  has no registration function
//   3  its registration reports failure
#include "pxcbase/pxc_loader.h"

namespace {

[[maybe_unused]] int sRegistrations = 0;
[[maybe_unused]] void (*sGate)() = nullptr;

[[maybe_unused]] int Alpha() { return 42; }
[[maybe_unused]] int Registrations() { return sRegistrations; }

}  // namespace

extern "C" {

#if PXCTEST_VARIANT == 0
// Called at the start of the registration when set: lets a test hold the
// registration open while another thread works.
__attribute__((visibility("default"))) void PXCTEST_SetRegistrationGate(void (*gate)()) {
  sGate = gate;
}
#endif

#if PXCTEST_VARIANT == 1
int pxctest_symbol_defined_nowhere();
#endif

#if PXCTEST_VARIANT != 2
__attribute__((visibility("default"))) bool PXC_RegisterModule() {
  ++sRegistrations;
  if (sGate != nullptr) sGate();
#if PXCTEST_VARIANT == 1
  if (pxctest_symbol_defined_nowhere() == 0) return false;
#endif
#if PXCTEST_VARIANT == 3
  return false;
#endif
  PXC_TDynamicLoader& loader = PXC_TDynamicLoader::sLoader;
  loader.RegisterProvider("PXCTEST_Kind");
  loader.RegisterCreator("PXCTEST_Kind", "alpha", reinterpret_cast<PXC_TDynamicLoader::Function>(&Alpha));
  loader.RegisterCreator("PXCTEST_Kind", "registrations",
                         reinterpret_cast<PXC_TDynamicLoader::Function>(&Registrations));
  return true;
}
#endif

#if PXCTEST_VARIANT == 2
__attribute__((visibility("default"))) int PXCTEST_NotARegistration() { return sRegistrations; }
#endif
}
