#include "describe/format_facts.h"

#include <unordered_map>

#include "pxcbase/pxcbase.h"

namespace {

std::string Text(const ZQ_TDict& facts, const char* key) {
  const ZQ_TAny* value = facts.ValueOfKey(ZQ_TString(key));
  const ZQ_TString* text = value ? value->DynamicCast<ZQ_TString>() : nullptr;
  return text ? text->Std() : std::string();
}

std::vector<std::string> Texts(const ZQ_TDict& facts, const char* key) {
  std::vector<std::string> texts;
  const ZQ_TAny* value = facts.ValueOfKey(ZQ_TString(key));
  const ZQ_TList* list = value ? value->DynamicCast<ZQ_TList>() : nullptr;
  for (std::uint32_t i = 0; list && i < list->Entries(); ++i) {
    if (const ZQ_TString* text = (*list)[i].DynamicCast<ZQ_TString>()) texts.push_back(text->Std());
  }
  return texts;
}

std::vector<FormatFacts> ReadFormatFacts() {
  const ZQ_TString path("/Resources/Modules/IMR/Formats");
  std::vector<FormatFacts> all;
  PXC_ICfs& configuration = PXC_CfsWrap();
  if (!configuration.HasValue(path)) return all;
  const ZQ_TAny section = configuration.Value(path);
  const ZQ_TDict* formats = section.DynamicCast<ZQ_TDict>();
  if (formats == nullptr) return all;
  for (const ZQ_TDict::Entry& entry : *formats) {
    const ZQ_TDict* facts = entry.value.DynamicCast<ZQ_TDict>();
    if (facts == nullptr) continue;
    all.push_back({entry.key.Std(), Text(*facts, "Description"), Text(*facts, "Mime"),
                   Texts(*facts, "Extensions"), Text(*facts, "Module"), Text(*facts, "Depth")});
  }
  return all;
}

// The facts in the order read, and an index by name into them.
struct Catalog {
  Catalog() : all(ReadFormatFacts()) {
    for (const FormatFacts& facts : all) byName.emplace(facts.name, &facts);
  }
  std::vector<FormatFacts> all;
  std::unordered_map<std::string_view, const FormatFacts*> byName;
};

const Catalog& TheCatalog() {
  static const Catalog catalog;
  return catalog;
}

}  // namespace

const std::vector<FormatFacts>& AllFormatFacts() { return TheCatalog().all; }

const FormatFacts& FormatFactsOf(std::string_view name) {
  static const FormatFacts unknown;
  const Catalog& catalog = TheCatalog();
  auto found = catalog.byName.find(name);
  return found == catalog.byName.end() ? unknown : *found->second;
}
