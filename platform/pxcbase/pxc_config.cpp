#include "pxcbase/pxc_config.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>

#include "msgrelay/zqmesg.h"
#include "pxcbase/pxc_exceptions.h"
#include "u8shim/u8shim.h"

namespace {

using Json = nlohmann::ordered_json;

// Builds the configuration's objects straight from the parser's events, in
// the document's order, without a JSON tree in between.
class Builder : public nlohmann::json_sax<Json> {
 public:
  // The document's value (after a successful parse).
  ZQ_TAny& Result() { return iResult; }
  // Where and why the parse failed.
  std::size_t ErrorByte() const { return iErrorByte; }
  const std::string& ErrorText() const { return iErrorText; }

  bool null() override { return Put(ZQ_TAny()); }
  bool boolean(bool value) override { return Put(ZQ_TAny(value)); }
  bool number_integer(number_integer_t value) override { return Put(ZQ_TAny(ZQ_TString(std::to_string(value)))); }
  bool number_unsigned(number_unsigned_t value) override {
    return Put(value <= 0xFFFFFFFFu ? ZQ_TAny(static_cast<unsigned int>(value))
                                    : ZQ_TAny(ZQ_TString(std::to_string(value))));
  }
  bool number_float(number_float_t, const string_t& text) override { return Put(ZQ_TAny(ZQ_TString(text))); }
  bool string(string_t& value) override { return Put(ZQ_TAny(ZQ_TString(value))); }
  bool binary(binary_t&) override { return Put(ZQ_TAny()); }
  bool start_object(std::size_t) override {
    iOpen.push_back({ZQ_TAny::Adopt(new ZQ_TDict), {}});
    return true;
  }
  bool key(string_t& key) override {
    iOpen.back().key = key;
    return true;
  }
  bool end_object() override { return Close(); }
  bool start_array(std::size_t) override {
    iOpen.push_back({ZQ_TAny::Adopt(new ZQ_TList), {}});
    return true;
  }
  bool end_array() override { return Close(); }
  bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception& error) override {
    iErrorByte = position;
    iErrorText = error.what();
    return false;
  }

 private:
  struct Open {
    ZQ_TAny container;  // a ZQ_TDict or ZQ_TList
    std::string key;    // of the next value, in a dictionary
  };
  bool Put(ZQ_TAny value) {
    if (iOpen.empty()) {
      iResult = std::move(value);
    } else if (ZQ_TDict* dict = iOpen.back().container.DynamicCast<ZQ_TDict>()) {
      (*dict)[iOpen.back().key] = std::move(value);
    } else {
      iOpen.back().container.DynamicCast<ZQ_TList>()->AddAtTail(value);
    }
    return true;
  }
  bool Close() {
    ZQ_TAny done = std::move(iOpen.back().container);
    iOpen.pop_back();
    return Put(std::move(done));
  }

  std::vector<Open> iOpen;
  ZQ_TAny iResult;
  std::size_t iErrorByte = 0;
  std::string iErrorText;
};

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

// Reads the regular file at `path` into `text`; the reason when it cannot.
// Opened without blocking, so that a FIFO named by mistake is refused.
const char* ReadWhole(const char* path, std::string& text) {
  const int file = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (file < 0) return std::strerror(errno);
  struct stat facts {};
  if (::fstat(file, &facts) != 0 || !S_ISREG(facts.st_mode)) {
    ::close(file);
    return S_ISDIR(facts.st_mode) ? "it is a directory" : "not a regular file";
  }
  char chunk[65536];
  for (;;) {
    const ssize_t got = ::read(file, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      const int error = errno;
      ::close(file);
      return std::strerror(error);
    }
    if (got == 0) break;
    text.append(chunk, static_cast<std::size_t>(got));
  }
  ::close(file);
  return nullptr;
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
    Builder defaults;
    Json::sax_parse(PXC_DefaultConfiguration(), &defaults);
    if (const ZQ_TDict* dict = defaults.Result().DynamicCast<ZQ_TDict>()) root = *dict;
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
    iGeneration.fetch_add(1, std::memory_order_release);
  }

  std::uint64_t Generation() const { return iGeneration.load(std::memory_order_acquire); }

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
    std::string text;
    if (const char* why = ReadWhole(path, text)) {
      return ZQ_TString::Format("IMR_CONFIG file %s cannot be read (%s)", path, why);
    }
    Builder overlay;
    if (!Json::sax_parse(text, &overlay)) {
      auto [line, column] = Place(text, overlay.ErrorByte() > 0 ? overlay.ErrorByte() - 1 : 0);
      // The reason follows the library's own place ("... column N: "); it may
      // hold ": " itself ("last read: '...'").
      std::string reason = overlay.ErrorText();
      std::size_t colon = reason.find(": ", reason.find(", column "));
      if (colon != std::string::npos) reason = reason.substr(colon + 2);
      return ZQ_TString::Format("IMR_CONFIG file %s, line %zu, column %zu: %s", path, line,
                                column, reason.c_str());
    }
    const ZQ_TDict* dict = overlay.Result().DynamicCast<ZQ_TDict>();
    if (dict == nullptr) {
      return ZQ_TString::Format("IMR_CONFIG file %s does not hold a JSON object", path);
    }
    Merge(root, *dict);
    return ZQ_TString();
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
  std::atomic<std::uint64_t> iGeneration{0};
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

std::uint64_t PXC_CfsGeneration() { return Instance().Generation(); }

ZQ_INTERFACE_IMPLEMENT(PXC_ICfs, ZQ_IInterface)
