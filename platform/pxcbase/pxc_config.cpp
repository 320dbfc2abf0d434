#include "pxcbase/pxc_config.h"

#include <fstream>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <sstream>

#include "msgrelay/zqmesg.h"
#include "pxcbase/pxc_exceptions.h"
#include "u8shim/u8shim.h"

namespace {

using Json = nlohmann::ordered_json;

ZQ_TAny ToAny(const Json& value) {
  switch (value.type()) {
    case Json::value_t::object: {
      ZQ_TDict dict;
      for (const auto& [key, item] : value.items()) dict.Add(key, ToAny(item));
      return ZQ_TAny(dict);
    }
    case Json::value_t::array: {
      ZQ_TList list;
      for (const Json& item : value) list.AddAtTail(ToAny(item));
      return ZQ_TAny(list);
    }
    case Json::value_t::string:
      return ZQ_TAny(ZQ_TString(value.get_ref<const std::string&>()));
    case Json::value_t::boolean:
      return ZQ_TAny(value.get<bool>());
    case Json::value_t::number_unsigned:
      if (value.get<std::uint64_t>() <= 0xFFFFFFFFu) {
        return ZQ_TAny(static_cast<unsigned int>(value.get<std::uint64_t>()));
      }
      return ZQ_TAny(ZQ_TString(value.dump()));
    case Json::value_t::number_integer:
    case Json::value_t::number_float:
      return ZQ_TAny(ZQ_TString(value.dump()));
    default:
      return ZQ_TAny();
  }
}

// Lays `overlay` over `base`: dictionaries merge, anything else replaces.
void Merge(ZQ_TDict& base, const ZQ_TDict& overlay) {
  for (const ZQ_TDict::Entry& entry : overlay) {
    ZQ_TAny& target = base[entry.key];
    const ZQ_TDict* from = entry.value.DynamicCast<ZQ_TDict>();
    ZQ_TDict* into = std::as_const(target).DynamicCast<ZQ_TDict>() ? target.DynamicCast<ZQ_TDict>()
                                                                    : nullptr;
    if (from != nullptr && into != nullptr) {
      Merge(*into, *from);
    } else {
      target = entry.value;
    }
  }
}

// Line and column (both from 1) of byte `offset` in `text`.
std::pair<std::size_t, std::size_t> Place(const std::string& text, std::size_t offset) {
  std::size_t line = 1;
  std::size_t column = 1;
  for (std::size_t i = 0; i < offset && i < text.size(); ++i) {
    if (text[i] == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
  }
  return {line, column};
}

class PXC_TCfs : public ZQ_TObject, public virtual PXC_ICfs {
  ZQ_CLASS_BOILERPLATE(PXC_TCfs)
 public:
  PXC_TCfs() { Load(); }

  void Load() {
    ZQ_TDict root;
    ZQ_TString error;
    ZQ_TAny defaults = ToAny(Json::parse(PXC_DefaultConfiguration()));
    if (const ZQ_TDict* dict = defaults.DynamicCast<ZQ_TDict>()) root = *dict;
    const char* overlayPath = getenv_utf8("IMR_CONFIG");
    if (overlayPath != nullptr && *overlayPath != '\0') {
      error = Overlay(root, overlayPath);
      if (!error.IsEmpty()) {
        ZQMESG_Log("PXC: %s; the default configuration is used\n", error.Narrow());
      }
    }
    std::lock_guard lock(iMutex);
    iRoot = std::make_shared<const ZQ_TDict>(root);
    iError = error;
  }

  ZQ_TAny Value(const ZQ_TString& path) const override {
    std::shared_ptr<const ZQ_TDict> root = Snapshot();
    const ZQ_TAny* value = Find(*root, path);
    if (value == nullptr) ZQ_THROW(PXC_EPXCBASE, "No configuration value %s", path);
    return *value;
  }

  bool HasValue(const ZQ_TString& path) const override {
    return Find(*Snapshot(), path) != nullptr;
  }

  ZQ_TString LoadError() const override {
    std::lock_guard lock(iMutex);
    return iError;
  }

 private:
  // Lays the document of the file at `path` over `root`; returns why it could
  // not, or empty.
  static ZQ_TString Overlay(ZQ_TDict& root, const char* path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream contents;
    contents << file.rdbuf();
    if (!file) return ZQ_TString::Format("IMR_CONFIG file %s cannot be read", path);
    try {
      ZQ_TAny overlay = ToAny(Json::parse(contents.str()));
      const ZQ_TDict* dict = overlay.DynamicCast<ZQ_TDict>();
      if (dict == nullptr) {
        return ZQ_TString::Format("IMR_CONFIG file %s does not hold a JSON object", path);
      }
      Merge(root, *dict);
      return ZQ_TString();
    } catch (const Json::parse_error& parseError) {
      auto [line, column] = Place(contents.str(), parseError.byte > 0 ? parseError.byte - 1 : 0);
      // The reason follows the library's own place ("... column N: "); it may
      // hold ": " itself ("last read: '...'").
      std::string reason = parseError.what();
      std::size_t colon = reason.find(": ", reason.find(", column "));
      if (colon != std::string::npos) reason = reason.substr(colon + 2);
      return ZQ_TString::Format("IMR_CONFIG file %s, line %zu, column %zu: %s", path, line,
                                column, reason.c_str());
    }
  }

  std::shared_ptr<const ZQ_TDict> Snapshot() const {
    std::lock_guard lock(iMutex);
    return iRoot;
  }

  static const ZQ_TAny* Find(const ZQ_TDict& root, const ZQ_TString& path) {
    const ZQ_TDict* dict = &root;
    const ZQ_TAny* value = nullptr;
    std::string_view rest = path.View();
    while (!rest.empty()) {
      if (rest.front() == '/') {
        rest.remove_prefix(1);
        continue;
      }
      std::size_t slash = rest.find('/');
      std::string_view part = rest.substr(0, slash);
      rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash);
      if (dict == nullptr) return nullptr;
      value = dict->ValueOfKey(part);
      if (value == nullptr) return nullptr;
      dict = value->DynamicCast<ZQ_TDict>();
    }
    return value;
  }

  mutable std::mutex iMutex;
  std::shared_ptr<const ZQ_TDict> iRoot;
  ZQ_TString iError;
};

ZQ_CLASS_DEFINE(PXC_TCfs, false, ZQ_TObject::ZQ_ClassObject(), nullptr, nullptr, PXC_ICfs)
ZQ_DYNAMIC_INFO(PXC_TCfs, ZQ_TObject, PXC_ICfs)

PXC_TCfs& Instance() {
  static PXC_TCfs* configuration = new PXC_TCfs;  // lives for the process
  return *configuration;
}

}  // namespace

PXC_ICfs& PXC_CfsWrap() { return Instance(); }

void PXC_CfsReload() { Instance().Load(); }

ZQ_INTERFACE_IMPLEMENT(PXC_ICfs, ZQ_IInterface)
