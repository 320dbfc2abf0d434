// Name search: which configuration resolves file names.  Detection results
// are cached only while the default one is in force, since another may make
// the same file name mean another file.
#pragma once

extern "C" {
bool __ZQ_INITIALIZATION_FUNCTION_PXC_NS__();
}

class PXC_TNameSearch {
 public:
  // True unless the configuration value "/Resources/Modules/PXC/NameSearch"
  // names a configuration other than "default".
  static bool IsDefaultCfg();
};
