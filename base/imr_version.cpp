#include "base/imr_version.h"

#include <dlfcn.h>

PXC_TVersionBlock& IMR_VersionBlock() {
  static PXC_TVersionBlock block{nullptr, 0, "IMR"};
  return block;
}

IMR_TVersionRecord::IMR_TVersionRecord(const char* library, int major, int build,
                                       const char* definedIn)
    : iRecord{library, major, build, definedIn, __DATE__ "/" __TIME__,
              IMR_VersionBlock().head} {
  IMR_VersionBlock().head = &iRecord;
}

IMR_TVersionRegistration::IMR_TVersionRegistration() {
  iLibrary = ::dlopen("libPXC_VER.so", RTLD_NOW | RTLD_LOCAL);
  if (iLibrary == nullptr) return;
  auto reg = reinterpret_cast<void (*)(PXC_TVersionBlock*)>(::dlsym(iLibrary, "PXC_VersionRegister"));
  if (reg != nullptr) reg(&IMR_VersionBlock());
}

IMR_TVersionRegistration::~IMR_TVersionRegistration() {
  if (iLibrary != nullptr) ::dlclose(iLibrary);
}

// Static initialisers, in this order: one registration, the records, three
// more registrations (the registry sees records linked after a call, since it
// keeps the block's address).  The core adds one more record of its own.
namespace {
IMR_TVersionRegistration sFirstRegistration;
IMR_TVersionRecord sPxcbaseRecord("PXCBASE", 2, 7031, "imr_version");
IMR_TVersionRecord sImrRecord("IMR", IMR_VERSION_MAJOR, IMR_VERSION_BUILD, "imr_version");
IMR_TVersionRecord sNameSearchRecord("PXC_NS", 1, 4, "imr_version");
IMR_TVersionRegistration sSecondRegistration;
IMR_TVersionRegistration sThirdRegistration;
IMR_TVersionRegistration sFourthRegistration;
}  // namespace
