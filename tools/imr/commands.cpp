#include "tools/imr/commands.h"

#include <fstream>
#include <iostream>
#include <memory>

#include "base/imr_version.h"
#include "describe/description.h"
#include "magic/imr_magic-priv.h"

int RunSmartID(const std::vector<std::string>& paths) {
  const IMR_TCore core;
  int status = 0;
  for (const std::string& path : paths) {
    try {
      const std::uint32_t id = FileSmartID(core, path);
      std::cout << path << ": " << id << '\n';
    } catch (const ZQ_EException&) {
      std::cout << path << ": error: " << CurrentFailure().second << '\n';
      status = 1;
    }
  }
  return status;
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
