// The dynamic loader: creator functions filed by kind ("provider") and name,
// and modules loaded on demand that register more of them.
//
// A module is a shared object exporting `bool PXC_RegisterModule()`, which
// registers its creators.  The configuration maps a kind's names to module
// files under "/Resources/Modules/PXC/Plugins/<kind>"; a relative file name
// is looked for in each folder of IMR_PLUGIN_PATH (colon-separated), then in
// the folder "imr" beside this library, then in the build tree's module
// folder.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>

#include "zqtypes/zqtypes.h"

class PXC_TDynamicLoader : public ZQ_TObject {
  ZQ_CLASS_BOILERPLATE(PXC_TDynamicLoader)
 public:
  // Every function is kept untyped; users cast it to the kind's type.
  using Function = void (*)();

  static PXC_TDynamicLoader sLoader;
  static ZQ_TObject* ZQ_Create() { return nullptr; }  // the one loader is sLoader

  // Makes `kind` known; registering it again changes nothing.
  void RegisterProvider(const ZQ_TString& kind);
  // Files `function` under (kind, name), replacing an earlier one;
  // PXC_EDynamicLoaderNoSuchProvider when the kind is unknown.
  void RegisterCreator(const ZQ_TString& kind, const ZQ_TString& name, Function function);
  // The function filed under (kind, name); PXC_EDynamicLoaderNoSuchCreator
  // when there is none.  Safe to call from many threads.
  Function Creator(const ZQ_TString& kind, const ZQ_TString& name) const;
  // Likewise, null when there is none.
  Function FindCreator(const ZQ_TString& kind, const ZQ_TString& name) const;
  // The function filed under (kind, name), loading the module configured
  // for it first when it is not registered yet; PXC_EDynamicLoaderNoSuchCreator
  // when there is still none.
  Function LoadedCreator(const ZQ_TString& kind, const ZQ_TString& name);
  // Loads the module that the configuration names for (kind, name), once.
  // False when none is configured or its file is not on the search path
  // (reported once on the log); PXC_EDynamicLoaderNoSuchPlugin with the
  // loader's reason when the module cannot be loaded or does not register.
  bool LoadPluginByName(const ZQ_TString& kind, const ZQ_TString& name);
  // The configured modules of `kind`: name to module file.
  ZQ_TDict PluginsFromCfs(const ZQ_TString& kind) const;
  // The names registered under `kind` (each with the module that registered
  // it, empty for built-in ones).
  ZQ_TDict operator[](const ZQ_TString& kind) const;

  // A number that changes whenever a creator is registered (a module that
  // loads registers its creators), so that a name found missing can be
  // looked up again.
  std::uint64_t Generation() const { return iGeneration.load(std::memory_order_acquire); }

  // The folders searched for modules, in order.
  static std::vector<std::string> SearchPath();

 private:
  PXC_TDynamicLoader() = default;
  struct Entry {
    Function function;
    std::string module;
  };
  std::string Locate(const std::string& file) const;

  std::atomic<std::uint64_t> iGeneration{0};
  mutable std::shared_mutex iMutex;  // guards iKinds
  std::map<std::string, std::map<std::string, Entry, std::less<>>, std::less<>> iKinds;
  std::recursive_mutex iLoadMutex;   // serialises module loading
  std::map<std::string, std::string> iLoaded;  // module path to failure ("" when loaded)
};
