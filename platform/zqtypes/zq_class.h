// Run-time classes: one registry of ZQ_TClass objects by name, casts by class
// name, and the boilerplate every registered class carries.
//
// A registered class declares ZQ_CLASS_BOILERPLATE(Cls) in its body and, in
// one source file, ZQ_CLASS_DEFINE (its class object) and ZQ_DYNAMIC_INFO (its
// cast by name through its direct bases).  Exceptions use zq_exception.h's
// ZQ_DECLARE_EXCEPTION, which writes the whole class.
#pragma once

#include <cstddef>
#include <cstring>
#include <initializer_list>
#include <string_view>

class ZQ_TObject;

class ZQ_TClass {
 public:
  using Factory = ZQ_TObject* (*)();
  using Initializer = bool (*)();

  // Registers the class on the first call for `name`; every later call for the
  // same name returns the same object and ignores its other arguments.
  static ZQ_TClass* GetClassObject(bool isInterface, const char* name, std::size_t size,
                                   const ZQ_TClass* parent, Factory factory,
                                   Initializer initializer);
  // GetClassObject, then AddInterface for each interface unless already set up.
  static const ZQ_TClass* Register(bool isInterface, const char* name, std::size_t size,
                                   const ZQ_TClass* parent, Factory factory,
                                   Initializer initializer,
                                   std::initializer_list<const ZQ_TClass*> interfaces);
  // The registered class of that name, or null.
  static const ZQ_TClass* Find(const char* name);
  static const ZQ_TClass* Find(std::string_view name);
  // A new object of the named class, or null when the class is unknown or has
  // no creation function.  The caller owns the object.
  static ZQ_TObject* CreateObject(const char* name);

  const char* Name() const { return iName; }
  bool IsInterface() const { return iIsInterface; }
  std::size_t Size() const { return iSize; }
  const ZQ_TClass* Parent() const { return iParent; }
  Factory GetFactory() const { return iFactory; }
  Initializer GetInitializer() const { return iInitializer; }

  void AddInterface(const ZQ_TClass* iface);
  bool IsSetUp() const;
  void SetUp();

  // True when this class, an ancestor, or one of their interfaces (and the
  // interfaces' own ancestors) is named `name`.
  bool Implements(const char* name) const;
  // True when this class or one of its ancestors is named `name`.
  bool HasSuperclass(const char* name) const;
  // Runs the initialiser once.  A run that returned false is tried again on
  // the next call.  A class without initialiser is initialised at once.
  bool Initialize() const;
  // A new instance through the creation function, or null.
  ZQ_TObject* Create() const;

  ZQ_TClass(const ZQ_TClass&) = delete;
  ZQ_TClass& operator=(const ZQ_TClass&) = delete;

 private:
  ZQ_TClass(bool isInterface, const char* name, std::size_t size, const ZQ_TClass* parent,
            Factory factory, Initializer initializer);
  ~ZQ_TClass() = default;
  friend struct ZQ_TClassRegistry;

  const char* iName;
  bool iIsInterface;
  std::size_t iSize;
  const ZQ_TClass* iParent;
  Factory iFactory;
  Initializer iInitializer;
  struct State;
  State* iState;
};

// The cast by name that the base class `Base` of `self` defines.  (A helper:
// clang cannot expand `self->Bases::ZQ_DynamicInfo` over a pack of bases.)
template <class Base, class Self>
void* ZQ_DynamicInfoOfBase(const Self* self, const char* name) {
  return self->Base::ZQ_DynamicInfo(name);
}

// The cast by class name: `name` null gives the class object; a name equal to
// the class's own gives `self`; otherwise each direct base is asked in order.
template <class Self, class... Bases>
void* ZQ_DynamicInfoWalk(const Self* self, const char* name) {
  if (name == nullptr) return const_cast<ZQ_TClass*>(Self::ZQ_ClassObject());
  if (std::strcmp(name, Self::ZQ_ClassName()) == 0) return const_cast<Self*>(self);
  void* found = nullptr;
  ((found = found ? found : ZQ_DynamicInfoOfBase<Bases>(self, name)), ...);
  return found;
}

// Declares the static class members and the cast by name.
#define ZQ_CLASS_BOILERPLATE(Cls)                                                   \
 public:                                                                            \
  static const ZQ_TClass* ZQ_ClassObject();                                         \
  static const char* ZQ_ClassName() { return #Cls; }                                \
  static bool ZQ_IsInterface() { return ZQ_ClassObject()->IsInterface(); }          \
  static ZQ_TClass::Factory ZQ_Factory() { return ZQ_ClassObject()->GetFactory(); } \
  static const ZQ_TClass* ZQ_ParentClass() { return ZQ_ClassObject()->Parent(); }   \
  static bool ZQ_HasInterface(const char* n) { return ZQ_ClassObject()->Implements(n); } \
  static bool ZQ_HasSuperclass(const char* n) {                                     \
    return ZQ_ClassObject()->HasSuperclass(n);                                      \
  }                                                                                 \
  void* ZQ_DynamicInfo(const char* name) const override;

// Defines Cls::ZQ_ClassObject.  `parent` is a class object or nullptr,
// `factory` and `init` function pointers or nullptr; the trailing arguments
// are the class's interfaces, given as class names.
#define ZQ_CLASS_DEFINE(Cls, isInterface, parent, factory, init, ...)               \
  const ZQ_TClass* Cls::ZQ_ClassObject() {                                          \
    static const ZQ_TClass* const object = ZQ_TClass::Register(                     \
        isInterface, #Cls, sizeof(Cls), parent, factory, init,                      \
        {ZQ_INTERFACE_OBJECTS(__VA_ARGS__)});                                       \
    return object;                                                                  \
  }

// Defines Cls::ZQ_DynamicInfo over the direct bases given.
#define ZQ_DYNAMIC_INFO(Cls, ...)                                                   \
  void* Cls::ZQ_DynamicInfo(const char* name) const {                               \
    return ZQ_DynamicInfoWalk<Cls __VA_OPT__(, ) __VA_ARGS__>(this, name);          \
  }

// Both of the above for the common case of a concrete class whose direct
// bases are its parent class followed by the interfaces it adds.
#define ZQ_CLASS_IMPLEMENT(Cls, Parent, factory, init, ...)                         \
  ZQ_CLASS_DEFINE(Cls, false, Parent::ZQ_ClassObject(), factory, init, __VA_ARGS__)  \
  ZQ_DYNAMIC_INFO(Cls, Parent __VA_OPT__(, ) __VA_ARGS__)

// The same for an interface: no parent class, no factory, no initialiser.
#define ZQ_INTERFACE_IMPLEMENT(Cls, ...)                                            \
  ZQ_CLASS_DEFINE(Cls, true, nullptr, nullptr, nullptr, __VA_ARGS__)                \
  ZQ_DYNAMIC_INFO(Cls, __VA_ARGS__)

#define ZQ_INTERFACE_OBJECT_(I) I::ZQ_ClassObject()
#define ZQ_INTERFACE_OBJECTS(...) __VA_OPT__(ZQ_FOR_EACH_(ZQ_INTERFACE_OBJECT_, __VA_ARGS__))

// A small for-each over up to eight macro arguments, comma separated.
#define ZQ_FE_1(M, a) M(a)
#define ZQ_FE_2(M, a, ...) M(a), ZQ_FE_1(M, __VA_ARGS__)
#define ZQ_FE_3(M, a, ...) M(a), ZQ_FE_2(M, __VA_ARGS__)
#define ZQ_FE_4(M, a, ...) M(a), ZQ_FE_3(M, __VA_ARGS__)
#define ZQ_FE_5(M, a, ...) M(a), ZQ_FE_4(M, __VA_ARGS__)
#define ZQ_FE_6(M, a, ...) M(a), ZQ_FE_5(M, __VA_ARGS__)
#define ZQ_FE_7(M, a, ...) M(a), ZQ_FE_6(M, __VA_ARGS__)
#define ZQ_FE_8(M, a, ...) M(a), ZQ_FE_7(M, __VA_ARGS__)
#define ZQ_FE_PICK_(_1, _2, _3, _4, _5, _6, _7, _8, N, ...) N
#define ZQ_FOR_EACH_(M, ...)                                                        \
  ZQ_FE_PICK_(__VA_ARGS__, ZQ_FE_8, ZQ_FE_7, ZQ_FE_6, ZQ_FE_5, ZQ_FE_4, ZQ_FE_3,    \
              ZQ_FE_2, ZQ_FE_1, )(M, __VA_ARGS__)
