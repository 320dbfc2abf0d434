// `imr formats` and `imr magic show`: the formats the library recognises,
// and the magic entries that recognise them.
#include <algorithm>
#include <iostream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "describe/format_facts.h"
#include "magic/imr_magic-priv.h"
#include "magic/imr_magic.h"
#include "tools/imr/commands.h"

namespace {

using Json = nlohmann::ordered_json;

// How deep the module describes a format, in the words of the listing.
std::string DepthText(const std::string& depth) {
  if (depth == "recognised") return "recognised only";
  if (depth == "images") return "every image";
  return depth;
}

std::string Join(const std::vector<std::string>& texts) {
  std::string joined;
  for (const std::string& text : texts) joined += (joined.empty() ? "" : ",") + text;
  return joined;
}

// `text` with every byte that does not print on a terminal, and the
// backslash, written as \xNN or \\; line ends stay.
std::string Printable(std::string_view text) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n' || (byte >= 0x20 && byte < 0x7f)) {
      out += c;
    } else {
      out += {'\\', 'x', kHex[byte >> 4], kHex[byte & 15]};
    }
  }
  return out;
}

// The alternatives of the magic entry `name`, loading it from its provider
// on first use; throws when no provider serves it.
const ZQ_TList* Alternatives(const ZQ_TString& name) {
  if (!IMR_TMagic::MagicEntries().HasKey(name)) {
    IMR_TMagic::AddMagicEntry(name, IMR_TMagic::MagicByName(name)());
  }
  const ZQ_TAny* chains = std::as_const(IMR_TMagic::MagicEntries()).ValueOfKey(name);
  return chains ? chains->DynamicCast<ZQ_TList>() : nullptr;
}

// Prints entry `label` (a selection item) with the byte tests of each of its
// alternatives.
void PrintEntry(const ZQ_TString& label, const ZQ_TList* alternatives, std::ostream& out) {
  out << "  " << Printable(label.View()) << " (" << (alternatives ? alternatives->Entries() : 0)
      << " alternatives)\n";
  for (std::uint32_t c = 0; alternatives && c < alternatives->Entries(); ++c) {
    const IMR_TMatch* chain = (*alternatives)[c].DynamicCast<IMR_TMatch>();
    if (chain == nullptr) continue;
    std::ostringstream text;
    ZQ_IPrintable::Indent();
    ZQ_IPrintable::Indent();
    text << ZQ_IPrintable::Prefix() << "alternative " << c + 1 << ":\n";
    ZQ_IPrintable::Indent();
    chain->PrintOn(text);
    ZQ_IPrintable::ReverseIndent();
    ZQ_IPrintable::ReverseIndent();
    ZQ_IPrintable::ReverseIndent();
    out << Printable(text.str());
  }
}

}  // namespace

int RunFormats(bool json) {
  const std::vector<FormatFacts>& formats = AllFormatFacts();
  if (json) {
    // An array with one format on each line.
    std::cout << '[';
    for (std::size_t i = 0; i < formats.size(); ++i) {
      const FormatFacts& f = formats[i];
      const Json object = {{"name", f.name},     {"description", f.description},
                           {"mime", f.mime},     {"extensions", f.extensions},
                           {"module", f.module}, {"depth", f.depth}};
      std::cout << (i ? ",\n  " : "\n  ") << object.dump();
    }
    std::cout << "\n]\n";
    return 0;
  }
  std::vector<std::vector<std::string>> rows;
  for (const FormatFacts& f : formats) {
    rows.push_back({f.name, f.description, f.mime, Join(f.extensions), f.module.empty() ? "-" : f.module,
                    DepthText(f.depth)});
  }
  std::vector<std::size_t> widths(6, 0);
  for (const auto& row : rows) {
    for (std::size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
  }
  for (const auto& row : rows) {
    std::string line;
    for (std::size_t i = 0; i + 1 < row.size(); ++i)
      line += row[i] + std::string(widths[i] - row[i].size() + 2, ' ');
    std::cout << line << row.back() << '\n';
  }
  return 0;
}

int RunFormatChains() {
  IMR_TMagic::LoadConfiguration();
  ZQ_TDict& selections = IMR_TMagic::Selections();
  const ZQ_TAny* all = std::as_const(selections).ValueOfKey(IMR_kDefaultSelection);
  const ZQ_TList* order = all ? all->DynamicCast<ZQ_TList>() : nullptr;
  std::cout << "Magic entries, in the order the default selection tries them:\n";
  for (std::uint32_t i = 0; order && i < order->Entries(); ++i) {
    const ZQ_TString* item = (*order)[i].DynamicCast<ZQ_TString>();
    if (item == nullptr) continue;
    const ZQ_TString name = item->Substring(0, item->Find('(') < 0 ? -1 : item->Find('('));
    try {
      PrintEntry(*item, Alternatives(name), std::cout);
    } catch (const ZQ_EException& error) {
      std::cout << "  " << Printable(item->View()) << ": " << error.ClassName() << ": "
                << Printable(error.Text().View()) << '\n';
    }
  }
  std::cout << "Selections:\n";
  for (const ZQ_TDict::Entry& entry : selections) {
    std::cout << "  " << Printable(entry.key.View()) << ": " << Printable(PXC_Any2String(entry.value).View())
              << '\n';
  }
  return 0;
}

int RunMagicShow(const std::string& name) {
  IMR_TMagic::LoadConfiguration();
  try {
    PrintEntry(ZQ_TString(name), Alternatives(ZQ_TString(name)), std::cout);
  } catch (const ZQ_EException&) {
    std::cerr << "imr: no magic entry " << name << " (see imr formats)\n";
    return 1;
  }
  return 0;
}
