#include "zqtypes/zqtypes.h"

bool __ZQ_INITIALIZATION_FUNCTION_zqtypes__() {
  static const bool initialised = [] {
    const ZQ_TClass* classes[] = {
        ZQ_IInterface::ZQ_ClassObject(),   ZQ_TObject::ZQ_ClassObject(),
        ZQ_IPackable::ZQ_ClassObject(),    ZQ_IPrintable::ZQ_ClassObject(),
        ZQ_IHumanReadable::ZQ_ClassObject(), ZQ_IThrowable::ZQ_ClassObject(),
        ZQ_TString::ZQ_ClassObject(),      ZQ_TUInt32::ZQ_ClassObject(),
        ZQ_TBool::ZQ_ClassObject(),        ZQ_TList::ZQ_ClassObject(),
        ZQ_TDict::ZQ_ClassObject(),        ZQ_TArray::ZQ_ClassObject(),
        ZQ_TTime::ZQ_ClassObject(),        ZQ_TURL::ZQ_ClassObject(),
        ZQ_EException::ZQ_ClassObject(),   ZQ_EStream::ZQ_ClassObject(),
        ZQ_EStreamTruncated::ZQ_ClassObject(), ZQ_EStreamFormat::ZQ_ClassObject(),
        ZQ_EUnknownClass::ZQ_ClassObject(), ZQ_ERange::ZQ_ClassObject(),
    };
    for (const ZQ_TClass* object : classes) {
      if (!object->Initialize()) return false;
    }
    return true;
  }();
  return initialised;
}
