#include "pxc_ns/pxc_namesearch.h"

#include "pxcbase/pxcbase.h"

// Read each time: a reloaded configuration may name another name search.
bool PXC_TNameSearch::IsDefaultCfg() {
  const ZQ_TString path("/Resources/Modules/PXC/NameSearch");
  PXC_ICfs& configuration = PXC_CfsWrap();
  if (!configuration.HasValue(path)) return true;
  ZQ_TAny value = configuration.Value(path);
  const ZQ_TString* name = value.DynamicCast<ZQ_TString>();
  return name == nullptr || name->IsEmpty() || *name == "default";
}

bool __ZQ_INITIALIZATION_FUNCTION_PXC_NS__() { return __ZQ_INITIALIZATION_FUNCTION_PXCBASE__(); }
