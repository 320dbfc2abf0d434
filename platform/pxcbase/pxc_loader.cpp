#include "pxcbase/pxc_loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <sstream>

#include "msgrelay/zqmesg.h"
#include "pxcbase/pxc_config.h"
#include "pxcbase/pxc_exceptions.h"
#include "u8shim/u8shim.h"

PXC_TDynamicLoader PXC_TDynamicLoader::sLoader;

namespace {

// The module whose registration runs on this thread, or null.  Creators are
// filed under it; kept per thread so that creators another thread registers
// meanwhile are not taken for the module's.
thread_local const std::string* tLoading = nullptr;

// `message` with its "%s" replaced by `datum`, as the exception's text reads.
std::string Filled(const std::string& message, const std::string& datum) {
  std::string text = message;
  std::size_t at = text.find("%s");
  if (at != std::string::npos) text.replace(at, 2, datum);
  return text;
}

}  // namespace

void PXC_TDynamicLoader::RegisterProvider(const ZQ_TString& kind) {
  std::unique_lock lock(iMutex);
  iKinds.try_emplace(kind.Std());
}

void PXC_TDynamicLoader::RegisterCreator(const ZQ_TString& kind, const ZQ_TString& name,
                                         Function function) {
  std::unique_lock lock(iMutex);
  auto found = iKinds.find(kind.View());
  if (found == iKinds.end()) ZQ_THROW(PXC_EDynamicLoaderNoSuchProvider, "No provider %s", kind);
  found->second[name.Std()] = Entry{function, tLoading ? *tLoading : std::string()};
  iGeneration.fetch_add(1, std::memory_order_acq_rel);
}

PXC_TDynamicLoader::Function PXC_TDynamicLoader::FindCreator(const ZQ_TString& kind,
                                                             const ZQ_TString& name) const {
  std::shared_lock lock(iMutex);
  auto found = iKinds.find(kind.View());
  if (found == iKinds.end()) return nullptr;
  auto entry = found->second.find(name.View());
  return entry == found->second.end() ? nullptr : entry->second.function;
}

PXC_TDynamicLoader::Function PXC_TDynamicLoader::Creator(const ZQ_TString& kind,
                                                         const ZQ_TString& name) const {
  if (Function function = FindCreator(kind, name)) return function;
  ZQ_THROW(PXC_EDynamicLoaderNoSuchCreator,
           ZQ_TString::Format("No creator %%s of kind %s", kind.Narrow()), name);
}

PXC_TDynamicLoader::Function PXC_TDynamicLoader::LoadedCreator(const ZQ_TString& kind,
                                                               const ZQ_TString& name) {
  if (Function function = FindCreator(kind, name)) return function;
  LoadPluginByName(kind, name);
  return Creator(kind, name);
}

ZQ_TDict PXC_TDynamicLoader::PluginsFromCfs(const ZQ_TString& kind) const {
  ZQ_TString path = ZQ_TString("/Resources/Modules/PXC/Plugins/") + kind.View();
  PXC_ICfs& configuration = PXC_CfsWrap();
  if (!configuration.HasValue(path)) return ZQ_TDict();
  ZQ_TAny value = configuration.Value(path);
  const ZQ_TDict* modules = value.DynamicCast<ZQ_TDict>();
  return modules ? *modules : ZQ_TDict();
}

ZQ_TDict PXC_TDynamicLoader::operator[](const ZQ_TString& kind) const {
  ZQ_TDict names;
  std::shared_lock lock(iMutex);
  auto found = iKinds.find(kind.View());
  if (found == iKinds.end()) return names;
  for (const auto& [name, entry] : found->second) names.Add(name, ZQ_TString(entry.module));
  return names;
}

std::vector<std::string> PXC_TDynamicLoader::SearchPath() {
  std::vector<std::string> folders;
  if (const char* path = getenv_utf8("IMR_PLUGIN_PATH")) {
    std::stringstream parts(path);
    std::string folder;
    while (std::getline(parts, folder, ':')) {
      if (!folder.empty()) folders.push_back(folder);
    }
  }
  Dl_info self;
  if (dladdr(reinterpret_cast<void*>(&PXC_TDynamicLoader::SearchPath), &self) != 0 &&
      self.dli_fname != nullptr) {
    std::string library = self.dli_fname;
    std::size_t slash = library.rfind('/');
    folders.push_back((slash == std::string::npos ? std::string(".") : library.substr(0, slash)) +
                      "/imr");
  }
#ifdef PXC_BUILD_MODULE_DIR
  folders.push_back(PXC_BUILD_MODULE_DIR);
#endif
  return folders;
}

std::string PXC_TDynamicLoader::Locate(const std::string& file) const {
  if (!file.empty() && file[0] == '/') return ::access(file.c_str(), R_OK) == 0 ? file : "";
  for (const std::string& folder : SearchPath()) {
    std::string candidate = folder + "/" + file;
    if (::access(candidate.c_str(), R_OK) == 0) return candidate;
  }
  return "";
}

bool PXC_TDynamicLoader::LoadPluginByName(const ZQ_TString& kind, const ZQ_TString& name) {
  ZQ_TDict modules = PluginsFromCfs(kind);
  const ZQ_TAny* configured = modules.ValueOfKey(name);
  const ZQ_TString* file = configured ? configured->DynamicCast<ZQ_TString>() : nullptr;
  if (file == nullptr || file->IsEmpty()) return false;

  std::lock_guard load(iLoadMutex);
  std::string path = Locate(file->Std());
  if (path.empty()) {
    std::string missing(1, '?');  // missing modules are remembered as "?<file>"
    missing += file->View();
    if (iLoaded.try_emplace(missing, "missing").second) {
      ZQMESG_Log("PXC: the module %s for %s %s is not on the plugin path\n", file->Narrow(),
                 kind.Narrow(), name.Narrow());
    }
    return false;
  }
  auto known = iLoaded.find(path);
  if (known != iLoaded.end()) {
    if (known->second.empty()) return true;
    ZQ_THROW(PXC_EDynamicLoaderNoSuchPlugin, ZQ_TString(known->second), ZQ_TString(path));
  }
  std::string failure;  // the message, whose "%s" is the module's path
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    failure = "Cannot load the module %s: ";
    failure += ::dlerror();
  } else {
    auto registration = reinterpret_cast<bool (*)()>(::dlsym(handle, "PXC_RegisterModule"));
    if (registration == nullptr) {
      failure = "The module %s has no PXC_RegisterModule";
    } else {
      const std::string* outer = tLoading;  // a registration may load another module
      tLoading = &path;
      bool registered = false;
      try {
        registered = registration();
      } catch (...) {
        registered = false;
      }
      tLoading = outer;
      if (!registered) failure = "The module %s failed to register";
    }
  }
  iLoaded[path] = failure;
  if (!failure.empty()) {
    ZQMESG_Log("PXC: %s\n", Filled(failure, path).c_str());
    ZQ_THROW(PXC_EDynamicLoaderNoSuchPlugin, ZQ_TString(failure), ZQ_TString(path));
  }
  return true;
}

ZQ_CLASS_IMPLEMENT(PXC_TDynamicLoader, ZQ_TObject, &PXC_TDynamicLoader::ZQ_Create, nullptr)
