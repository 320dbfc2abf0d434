// The module of the shipped magic entries: one provider per format of the
// catalog, whose table holds the format's signatures as magic entry texts.
#include <array>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "formats/catalog/catalog.h"
#include "formats/catalog/signature.h"
#include "magic/imr_magic.h"

namespace {

using imr::formats::Format;
using imr::formats::Formats;

// The provider table of one format, with the strings it points to.
class Table {
 public:
  explicit Table(const Format& format) {
    for (const char* signature : format.signatures) {
      iTexts.push_back(imr::formats::EntryTexts(format, signature));
      std::vector<const char*>& alternative = iAlternatives.emplace_back();
      for (const std::string& text : iTexts.back()) alternative.push_back(text.c_str());
      alternative.push_back(nullptr);
    }
    for (const std::vector<const char*>& alternative : iAlternatives) iTable.push_back(alternative.data());
    iTable.push_back(nullptr);
  }
  IMR_TMagicTable Get() const { return iTable.data(); }

 private:
  std::deque<std::vector<std::string>> iTexts;
  std::deque<std::vector<const char*>> iAlternatives;
  std::vector<const char* const*> iTable;
};

// Built once the module registers, and kept for the process.
std::vector<Table>* sTables = nullptr;

// Providers take no argument, so each format needs a function of its own:
// Provider<I> returns the table of format I.
constexpr std::size_t kMaxFormats = 512;

template <std::size_t I>
IMR_TMagicTable Provider() {
  return I < sTables->size() ? (*sTables)[I].Get() : nullptr;
}

template <std::size_t... I>
constexpr std::array<IMR_TMagicProvider, sizeof...(I)> Providers(std::index_sequence<I...>) {
  return {&Provider<I>...};
}

}  // namespace

extern "C" __attribute__((visibility("default"))) bool PXC_RegisterModule() {
  static constexpr auto providers = Providers(std::make_index_sequence<kMaxFormats>());
  const auto formats = Formats();
  if (formats.size() > kMaxFormats) return false;
  try {
    auto* tables = new std::vector<Table>;
    tables->reserve(formats.size());
    for (const Format& format : formats) tables->emplace_back(format);
    sTables = tables;
  } catch (const imr::formats::SignatureError&) {
    return false;  // the catalog test keeps this from happening
  }
  for (std::size_t i = 0; i < formats.size(); ++i) {
    IMR_TMagic::RegisterMagic(ZQ_TString(formats[i].name), providers[i]);
  }
  return true;
}
