#include "zqtypes/zq_class.h"

#include <cstdio>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "zqtypes/zq_object.h"

unsigned int ZQ_DebugFlag = 0;

struct ZQ_TClass::State {
  std::vector<const ZQ_TClass*> interfaces;
  bool setUp = false;
  bool initialized = false;
  std::recursive_mutex mutex;  // initialisers may register further classes
};

// Owns every class object, and a copy of its name, for the life of the
// process: a name may come from a module that is unloaded later.
struct ZQ_TClassRegistry {
  std::shared_mutex mutex;
  std::unordered_map<std::string_view, ZQ_TClass*> byName;

  static ZQ_TClassRegistry& Instance() {
    static ZQ_TClassRegistry* registry = new ZQ_TClassRegistry;  // never destroyed
    return *registry;
  }
};

ZQ_TClass::ZQ_TClass(bool isInterface, const char* name, std::size_t size,
                     const ZQ_TClass* parent, Factory factory, Initializer initializer)
    : iName(name),
      iIsInterface(isInterface),
      iSize(size),
      iParent(parent),
      iFactory(factory),
      iInitializer(initializer),
      iState(new State) {}

ZQ_TClass* ZQ_TClass::GetClassObject(bool isInterface, const char* name, std::size_t size,
                                     const ZQ_TClass* parent, Factory factory,
                                     Initializer initializer) {
  if (name == nullptr) return nullptr;
  ZQ_TClassRegistry& registry = ZQ_TClassRegistry::Instance();
  {
    std::shared_lock lock(registry.mutex);
    auto it = registry.byName.find(name);
    if (it != registry.byName.end()) return it->second;
  }
  std::unique_lock lock(registry.mutex);
  auto it = registry.byName.find(name);
  if (it != registry.byName.end()) return it->second;
  const std::size_t length = std::strlen(name);
  char* owned = new char[length + 1];
  std::memcpy(owned, name, length + 1);
  ZQ_TClass* object = new ZQ_TClass(isInterface, owned, size, parent, factory, initializer);
  registry.byName.emplace(std::string_view(owned, length), object);
  return object;
}

const ZQ_TClass* ZQ_TClass::Register(bool isInterface, const char* name, std::size_t size,
                                     const ZQ_TClass* parent, Factory factory,
                                     Initializer initializer,
                                     std::initializer_list<const ZQ_TClass*> interfaces) {
  ZQ_TClass* object = GetClassObject(isInterface, name, size, parent, factory, initializer);
  std::lock_guard lock(object->iState->mutex);
  if (!object->iState->setUp) {
    for (const ZQ_TClass* iface : interfaces) object->iState->interfaces.push_back(iface);
    object->iState->setUp = true;
  }
  return object;
}

const ZQ_TClass* ZQ_TClass::Find(const char* name) {
  return name == nullptr ? nullptr : Find(std::string_view(name));
}

const ZQ_TClass* ZQ_TClass::Find(std::string_view name) {
  // Classes are never unregistered: each thread keeps those it has found
  // (under their own names, which live as long), and most look-ups take no
  // lock shared with other threads.
  thread_local std::unordered_map<std::string_view, const ZQ_TClass*> found;
  if (auto known = found.find(name); known != found.end()) return known->second;
  const ZQ_TClass* object = nullptr;
  {
    ZQ_TClassRegistry& registry = ZQ_TClassRegistry::Instance();
    std::shared_lock lock(registry.mutex);
    auto it = registry.byName.find(name);
    if (it != registry.byName.end()) object = it->second;
  }
  if (object != nullptr) found.emplace(std::string_view(object->iName), object);
  return object;
}

ZQ_TObject* ZQ_TClass::CreateObject(const char* name) {
  const ZQ_TClass* object = Find(name);
  return object ? object->Create() : nullptr;
}

void ZQ_TClass::AddInterface(const ZQ_TClass* iface) {
  std::lock_guard lock(iState->mutex);
  for (const ZQ_TClass* known : iState->interfaces) {
    if (known == iface) return;
  }
  iState->interfaces.push_back(iface);
}

bool ZQ_TClass::IsSetUp() const {
  std::lock_guard lock(iState->mutex);
  return iState->setUp;
}

void ZQ_TClass::SetUp() {
  std::lock_guard lock(iState->mutex);
  iState->setUp = true;
}

bool ZQ_TClass::HasSuperclass(const char* name) const {
  for (const ZQ_TClass* c = this; c != nullptr; c = c->iParent) {
    if (std::strcmp(c->iName, name) == 0) return true;
  }
  return false;
}

bool ZQ_TClass::Implements(const char* name) const {
  for (const ZQ_TClass* c = this; c != nullptr; c = c->iParent) {
    if (std::strcmp(c->iName, name) == 0) return true;
    std::vector<const ZQ_TClass*> interfaces;
    {
      std::lock_guard lock(c->iState->mutex);
      interfaces = c->iState->interfaces;
    }
    for (const ZQ_TClass* iface : interfaces) {
      if (iface != c && iface->Implements(name)) return true;
    }
  }
  return false;
}

bool ZQ_TClass::Initialize() const {
  std::lock_guard lock(iState->mutex);
  if (iState->initialized) return true;
  iState->initialized = iInitializer == nullptr || iInitializer();
  return iState->initialized;
}

ZQ_TObject* ZQ_TClass::Create() const { return iFactory ? iFactory() : nullptr; }

// ---------------------------------------------------------------------------

void* ZQ_IInterface::ZQ_MostDerivedObject() const {
  return const_cast<void*>(dynamic_cast<const void*>(this));
}

const ZQ_TClass* ZQ_IInterface::ZQ_ClassObject() {
  static const ZQ_TClass* const object =
      ZQ_TClass::Register(true, "ZQ_IInterface", sizeof(ZQ_IInterface), nullptr, nullptr,
                          nullptr, {});
  return object;
}

void* ZQ_IInterface::ZQ_DynamicInfo(const char* name) const {
  return ZQ_DynamicInfoWalk<ZQ_IInterface>(this, name);
}

void* ZQ_IInterface::DynamicCast(const char* name, const char* file, int line) const {
  void* result = ZQ_DynamicInfo(name);
  if (result == nullptr && (ZQ_DebugFlag & 0x01) != 0) {
    std::fprintf(stderr, "ZQ: cannot cast %s to %s (%s:%d)\n", ClassName(), name,
                 file ? file : "?", line);
  }
  return result;
}

ZQ_TObject* ZQ_TObject::ZQ_Create() { return new ZQ_TObject; }

ZQ_CLASS_DEFINE(ZQ_TObject, false, nullptr, &ZQ_TObject::ZQ_Create, nullptr, ZQ_IInterface)
ZQ_DYNAMIC_INFO(ZQ_TObject, ZQ_IInterface)
