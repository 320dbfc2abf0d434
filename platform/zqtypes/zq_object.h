// The root interface and root class of every registered class, and casts by
// class name.
#pragma once

#include "zqtypes/zq_class.h"

extern "C" {
// Diagnostic mask of the foundation library.  Bit 0x01 reports failed casts
// by class name (with the caller's file and line) on standard error.
extern unsigned int ZQ_DebugFlag;
}

class ZQ_IInterface {
 public:
  ZQ_IInterface() = default;
  ZQ_IInterface(const ZQ_IInterface&) = default;
  ZQ_IInterface& operator=(const ZQ_IInterface&) = default;
  virtual ~ZQ_IInterface() = default;

  // Address of the complete object.
  virtual void* ZQ_MostDerivedObject() const;
  // Cast by class name (see ZQ_DynamicInfoWalk).
  virtual void* ZQ_DynamicInfo(const char* name) const;

  static const ZQ_TClass* ZQ_ClassObject();
  static const char* ZQ_ClassName() { return "ZQ_IInterface"; }

  const ZQ_TClass* ClassObject() const {
    return static_cast<const ZQ_TClass*>(ZQ_DynamicInfo(nullptr));
  }
  const char* ClassName() const { return ClassObject()->Name(); }
  bool HasSuperclass(const char* name) const { return ClassObject()->HasSuperclass(name); }
  bool HasInterface(const char* name) const { return ClassObject()->Implements(name); }

  // The object viewed as the class `name`, or null.  `file` and `line` name
  // the caller; they are reported when ZQ_DebugFlag asks for failed casts.
  void* DynamicCast(const char* name, const char* file, int line) const;
};

class ZQ_TObject : public virtual ZQ_IInterface {
  ZQ_CLASS_BOILERPLATE(ZQ_TObject)
 public:
  ZQ_TObject() = default;
  ZQ_TObject(const ZQ_TObject&) = default;
  ZQ_TObject& operator=(const ZQ_TObject&) = default;
  ~ZQ_TObject() override = default;

  static ZQ_TObject* ZQ_Create();
  // Whether the object's class implements the interface `name`.
  virtual bool Implements(const char* name) const { return HasInterface(name); }
};

// Typed casts by class name; null pointers and failed casts give null.
template <class T>
T* ZQ_DynamicCast(ZQ_IInterface* object, const char* file = nullptr, int line = 0) {
  return object ? static_cast<T*>(object->DynamicCast(T::ZQ_ClassName(), file, line))
                : nullptr;
}
template <class T>
const T* ZQ_DynamicCast(const ZQ_IInterface* object, const char* file = nullptr,
                        int line = 0) {
  return object ? static_cast<const T*>(object->DynamicCast(T::ZQ_ClassName(), file, line))
                : nullptr;
}

#define ZQ_CAST(T, object) ZQ_DynamicCast<T>(object, __FILE__, __LINE__)
