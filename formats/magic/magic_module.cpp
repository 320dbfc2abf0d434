// The module of the shipped magic tables: registers one provider per entry
// of kShippedMagic with the magic plugin.
#include <array>
#include <utility>

#include "formats/magic/magic_tables.h"
#include "magic/imr_magic.h"

namespace {

// Providers take no argument, so each entry needs a function of its own:
// Provider<I> returns the table of entry I.
constexpr std::size_t kMaxEntries = 512;

template <std::size_t I>
IMR_TMagicTable Provider() {
  return I < imr::formats::kShippedMagicCount ? imr::formats::kShippedMagic[I].table : nullptr;
}

template <std::size_t... I>
constexpr std::array<IMR_TMagicProvider, sizeof...(I)> Providers(std::index_sequence<I...>) {
  return {&Provider<I>...};
}

}  // namespace

extern "C" __attribute__((visibility("default"))) bool PXC_RegisterModule() {
  static constexpr auto providers = Providers(std::make_index_sequence<kMaxEntries>());
  if (imr::formats::kShippedMagicCount > kMaxEntries) return false;
  for (std::size_t i = 0; i < imr::formats::kShippedMagicCount; ++i) {
    IMR_TMagic::RegisterMagic(ZQ_TString(imr::formats::kShippedMagic[i].name), providers[i]);
  }
  return true;
}
