// Plugin instances by name and key, created on first use and kept for the
// life of the process.
#include <algorithm>
#include <mutex>
#include <shared_mutex>

#include "core/imr_core.h"

void IMR_TPluginHandle::ZQ_Pack(ZQ_IPacking& out) const {
  out.PackU64(reinterpret_cast<std::uintptr_t>(iPlugin));
}

void IMR_TPluginHandle::ZQ_Unpack(ZQ_IUnpacking& in) {
  iPlugin = reinterpret_cast<IMR_IPlugin*>(static_cast<std::uintptr_t>(in.UnpackU64()));
}

bool IMR_TPluginHandle::ZQ_IsIdent(const ZQ_IPackable& other) const {
  const IMR_TPluginHandle* handle = ZQ_DynamicCast<IMR_TPluginHandle>(&other);
  return handle != nullptr && handle->iPlugin == iPlugin;
}

// ---------------------------------------------------------------------------

IMR_TPluginCache::~IMR_TPluginCache() {
  // iOwned holds each plugin once, however many keys hold it or held it.
  for (IMR_IPlugin* plugin : iOwned) delete plugin;
}

ZQ_TObject* IMR_TPluginCache::ZQ_Create() { return new IMR_TPluginCache; }

IMR_IPlugin* IMR_TPluginCache::PluginOf(const ZQ_TString& key) const {
  const ZQ_TAny* value = ValueOfKey(key);
  if (value == nullptr || value->IsIllegal()) return nullptr;
  const IMR_TPluginHandle* handle = value->DynamicCast<IMR_TPluginHandle>();
  return handle ? handle->Plugin() : nullptr;
}

void IMR_TPluginCache::Store(const ZQ_TString& key, IMR_IPlugin* plugin) {
  Add(key, ZQ_TAny(IMR_TPluginHandle(plugin)));
  if (plugin != nullptr && std::find(iOwned.begin(), iOwned.end(), plugin) == iOwned.end()) {
    iOwned.push_back(plugin);
  }
}

ZQ_IPackable* IMR_TPluginCache::ZQ_Clone(void*) const { return new IMR_TPluginCache(*this); }

bool IMR_TPluginCache::ZQ_IsIdent(const ZQ_IPackable& other) const {
  return ZQ_TDict::ZQ_IsIdent(other);  // qualified: a virtual call would come back here
}

void IMR_TPluginCache::ZQ_Pack(ZQ_IPacking& out) const {
  static_cast<const ZQ_TDict*>(DynamicCast("ZQ_TDict", __FILE__, __LINE__))->ZQ_TDict::ZQ_Pack(out);
}

void IMR_TPluginCache::ZQ_Unpack(ZQ_IUnpacking& in) {
  static_cast<ZQ_TDict*>(DynamicCast("ZQ_TDict", __FILE__, __LINE__))->ZQ_TDict::ZQ_Unpack(in);
}

ZQ_CLASS_IMPLEMENT(IMR_TPluginHandle, ZQ_TObject, &IMR_TPluginHandle::ZQ_Create, nullptr,
                   ZQ_IPackable)
ZQ_CLASS_IMPLEMENT(IMR_TPluginCache, ZQ_TDict, &IMR_TPluginCache::ZQ_Create, nullptr,
                   ZQ_IPackable)

// ---------------------------------------------------------------------------

namespace {
// Guards both plugin caches: lookups share it, the creation of an instance
// holds it exclusively, so that each (name, key) gets exactly one instance.
std::shared_mutex& CacheMutex() {
  static std::shared_mutex* mutex = new std::shared_mutex;
  return *mutex;
}
}  // namespace

IMR_IPlugin& IMR_TCore::PluginByName(const ZQ_TString& name, const ZQ_TString& key) {
  {
    std::shared_lock lock(CacheMutex());
    if (key.IsEmpty()) {
      if (IMR_IPlugin* plugin = sPlugins->PluginOf(name)) return *plugin;
    } else if (const ZQ_TAny* entry = std::as_const(*sPluginsWithKey).ValueOfKey(name)) {
      const IMR_TPluginCache* cache = entry->DynamicCast<IMR_TPluginCache>();
      if (IMR_IPlugin* plugin = cache ? cache->PluginOf(key) : nullptr) return *plugin;
    }
  }
  // Find the creator first: it may load a module, which must not happen
  // under the cache lock.
  IMR_TPluginCreator creator = IMR_TPlugin::CreatorByName(name);
  std::unique_lock lock(CacheMutex());
  IMR_TPluginCache* cache = sPlugins;
  const ZQ_TString* cacheKey = &name;
  if (!key.IsEmpty()) {
    ZQ_TAny& entry = (*sPluginsWithKey)[name];
    if (std::as_const(entry).DynamicCast<IMR_TPluginCache>() == nullptr) {
      entry = ZQ_TAny(IMR_TPluginCache());
    }
    cache = entry.DynamicCast<IMR_TPluginCache>();
    cacheKey = &key;
  }
  if (IMR_IPlugin* plugin = cache->PluginOf(*cacheKey)) return *plugin;  // another thread won
  IMR_IPlugin* plugin = creator(key.IsEmpty() ? ZQ_TString::sEmpty : key);
  if (plugin == nullptr) IMR_THROW(IMR_EPluginNotFound);  // nothing to keep or hand out
  cache->Store(*cacheKey, plugin);
  return *plugin;
}
