#include "pxc_ns/pxc_namesearch.h"

#include <atomic>

#include "pxcbase/pxcbase.h"

bool PXC_TNameSearch::IsDefaultCfg() {
  // Asked for every file: the answer is kept, with the generation of the
  // configuration it came from, as (generation << 1) | answer.
  static std::atomic<std::uint64_t> known{0};
  const std::uint64_t generation = PXC_CfsGeneration();
  const std::uint64_t kept = known.load(std::memory_order_acquire);
  if (kept >> 1 == generation) return (kept & 1) != 0;
  const ZQ_TString path("/Resources/Modules/PXC/NameSearch");
  PXC_ICfs& configuration = PXC_CfsWrap();
  bool isDefault = true;
  if (configuration.HasValue(path)) {
    ZQ_TAny value = configuration.Value(path);
    const ZQ_TString* name = value.DynamicCast<ZQ_TString>();
    isDefault = name == nullptr || name->IsEmpty() || *name == "default";
  }
  known.store(generation << 1 | (isDefault ? 1 : 0), std::memory_order_release);
  return isDefault;
}

bool __ZQ_INITIALIZATION_FUNCTION_PXC_NS__() { return __ZQ_INITIALIZATION_FUNCTION_PXCBASE__(); }
