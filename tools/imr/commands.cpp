#include "tools/imr/commands.h"

#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>

#include "base/imr_version.h"
#include "magic/imr_magic-priv.h"
#include "magic/imr_magic.h"

int RunSmartID(const std::vector<std::string>& paths) {
  const IMR_TCore core;
  int status = 0;
  for (const std::string& path : paths) {
    PXC_TImageProxy proxy;
    try {
      core.FillImageProxy(proxy, ZQ_TURL::FromPath(ZQ_TString(path)), PXC_FL_DEPENDENCIES, IMR_IT_ALL);
      std::cout << path << ": " << core.SmartID(proxy, false) << '\n';
    } catch (const ZQ_EException& error) {
      const ZQ_EException* cause = error.Data().DynamicCast<ZQ_EException>();
      std::cout << path << ": error: " << (cause ? cause->Text() : error.Text()) << '\n';
      status = 1;
    }
  }
  return status;
}

int RunFormats() {
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
      if (!IMR_TMagic::MagicEntries().HasKey(name)) {
        IMR_TMagic::AddMagicEntry(name, IMR_TMagic::MagicByName(name)());
      }
    } catch (const ZQ_EException& error) {
      std::cout << "  " << *item << ": " << error.ClassName() << ": " << error.Text() << '\n';
      continue;
    }
    const ZQ_TAny* chains = std::as_const(IMR_TMagic::MagicEntries()).ValueOfKey(name);
    const ZQ_TList* list = chains ? chains->DynamicCast<ZQ_TList>() : nullptr;
    std::cout << "  " << *item << " (" << (list ? list->Entries() : 0) << " alternatives)\n";
    for (std::uint32_t c = 0; list && c < list->Entries(); ++c) {
      const IMR_TMatch* chain = (*list)[c].DynamicCast<IMR_TMatch>();
      if (chain == nullptr) continue;
      ZQ_IPrintable::Indent();
      ZQ_IPrintable::Indent();
      std::cout << ZQ_IPrintable::Prefix() << "alternative " << c + 1 << ":\n";
      ZQ_IPrintable::Indent();
      chain->PrintOn(std::cout);
      ZQ_IPrintable::ReverseIndent();
      ZQ_IPrintable::ReverseIndent();
      ZQ_IPrintable::ReverseIndent();
    }
  }
  std::cout << "Selections:\n";
  for (const ZQ_TDict::Entry& entry : selections) {
    std::cout << "  " << entry.key << ": " << PXC_Any2String(entry.value) << '\n';
  }
  return 0;
}

int RunMagicCheck(const std::string& path) {
  std::ifstream file(path);
  if (!file) {
    std::cerr << "imr: cannot read " << path << '\n';
    return 2;
  }
  int lineNumber = 0;
  int entries = 0;
  int alternatives = 0;
  int texts = 0;
  int errors = 0;
  bool inAlternative = false;
  for (std::string line; std::getline(file, line);) {
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) {
      inAlternative = false;
      continue;
    }
    if (line[0] == '#') continue;
    if (line.rfind("entry ", 0) == 0) {
      ++entries;
      inAlternative = false;
      continue;
    }
    if (!inAlternative) {
      ++alternatives;
      inAlternative = true;
    }
    ++texts;
    try {
      std::unique_ptr<IMR_TMatch> element(ParseMagicEntry(line.c_str()));
    } catch (const ZQ_EException& error) {
      ++errors;
      std::cout << path << ':' << lineNumber << ": " << error.Text() << '\n';
    }
  }
  std::cout << path << ": " << entries << " entries, " << alternatives << " alternatives, " << texts
            << " entry texts, " << errors << (errors == 1 ? " error" : " errors") << '\n';
  return errors == 0 ? 0 : 1;
}

int RunVersion() {
  std::cout << "imr " << IMR_VERSION_TEXT << '\n';
  PXC_VersionPrint(stdout);
  return 0;
}
