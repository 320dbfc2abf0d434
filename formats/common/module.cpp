// The module of one family of readers (IMR_READER_FAMILY): registers a plugin
// for each reader of the family that the module contains.
#include <array>
#include <string_view>
#include <utility>

#include "formats/common/format_plugin.h"
#include "formats/common/reader_registry.h"

namespace {

using imr::formats::RegisteredReaders;

// Creators take only a key, so each reader needs a function of its own:
// Creator<I> makes the plugin of registered reader I.
constexpr std::size_t kMaxReaders = 64;

template <std::size_t I>
IMR_IPlugin* Creator(const ZQ_TString& key) {
  const imr::formats::RegisteredReader& reader = RegisteredReaders()[I];
  return new imr::formats::ReaderPlugin(key, reader.plugin, reader.make);
}

template <std::size_t... I>
constexpr std::array<IMR_TPluginCreator, sizeof...(I)> Creators(std::index_sequence<I...>) {
  return {&Creator<I>...};
}

}  // namespace

extern "C" __attribute__((visibility("default"))) bool PXC_RegisterModule() {
  static constexpr auto creators = Creators(std::make_index_sequence<kMaxReaders>());
  const auto readers = RegisteredReaders();
  if (readers.size() > kMaxReaders) return false;
  for (std::size_t i = 0; i < readers.size(); ++i) {
    if (std::string_view(readers[i].family) != IMR_READER_FAMILY) continue;
    IMR_TPlugin::RegisterCreator(ZQ_TString(readers[i].plugin), creators[i]);
  }
  return true;
}
