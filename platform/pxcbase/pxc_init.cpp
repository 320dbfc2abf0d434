#include "pxcbase/pxcbase.h"

bool __ZQ_INITIALIZATION_FUNCTION_PXCBASE__() {
  static const bool initialised = [] {
    if (!__ZQ_INITIALIZATION_FUNCTION_zqtypes__()) return false;
    std::size_t count = 0;
    const ZQ_TClass* const* exceptions = PXC_ExceptionClasses(count);
    for (std::size_t i = 0; i < count; ++i) {
      if (!exceptions[i]->Initialize()) return false;
    }
    const ZQ_TClass* classes[] = {
        PXC_TTag::ZQ_ClassObject(),        PXC_TReference::ZQ_ClassObject(),
        PXC_TKnot::ZQ_ClassObject(),       PXC_TInk::ZQ_ClassObject(),
        PXC_IBuffer::ZQ_ClassObject(),     PXC_TBuffer::ZQ_ClassObject(),
        PXC_IRelocatable::ZQ_ClassObject(), PXC_IMetadata::ZQ_ClassObject(),
        PXC_TMetadata::ZQ_ClassObject(),   PXC_TImageTicket::ZQ_ClassObject(),
        PXC_TImageProxy::ZQ_ClassObject(), PXC_TDynamicLoader::ZQ_ClassObject(),
        PXC_ICfs::ZQ_ClassObject(),
    };
    for (const ZQ_TClass* object : classes) {
      if (!object->Initialize()) return false;
    }
    return true;
  }();
  return initialised;
}
