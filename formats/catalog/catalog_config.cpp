// Writes the default configuration with what the catalog gives it: the
// order of the default selection, each format's facts, and the modules the
// loader maps the plugins and magic entries to.  Run by the build:
//   imr_catalog_config BASE.json OUT.json
// It fails, naming each problem, when the catalog is inconsistent.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "formats/catalog/catalog.h"

namespace {

using Json = nlohmann::ordered_json;
using imr::formats::Format;

Json Extensions(const char* text) {
  Json list = Json::array();
  std::istringstream words(text);
  for (std::string word; words >> word;) list.push_back(word);
  return list;
}

std::string ModuleOf(const char* plugin) {
  const imr::formats::RegisteredReader* reader = plugin ? imr::formats::FindReader(plugin) : nullptr;
  return reader ? std::string("imr_") + reader->family + ".so" : std::string();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: imr_catalog_config BASE.json OUT.json\n";
    return 2;
  }
  const std::vector<std::string> problems = imr::formats::CatalogProblems(imr::formats::RegisteredReaders());
  for (const std::string& problem : problems) std::cerr << "format catalog: " << problem << '\n';
  if (!problems.empty()) return 1;

  std::ifstream base(argv[1]);
  Json configuration = Json::parse(base, nullptr, true, true);
  Json& imr = configuration["Resources"]["Modules"]["IMR"];
  Json& plugins = configuration["Resources"]["Modules"]["PXC"]["Plugins"];
  Json order = Json::array();
  Json formats = Json::object();
  Json readers = Json::object();
  Json entries = Json::object();
  readers["GENERIC"] = "imr_generic.so";
  for (const Format& format : imr::formats::Formats()) {
    order.push_back(format.name);
    formats[format.name] = {{"Description", format.description},
                            {"Mime", format.mime},
                            {"Extensions", Extensions(format.extensions)},
                            {"Module", ModuleOf(format.plugin)},
                            {"Depth", imr::formats::DepthName(format.depth)}};
    if (format.plugin != nullptr) readers[format.plugin] = ModuleOf(format.plugin);
    entries[format.name] = "imr_magic_tables.so";
  }
  imr["Selections"]["ALL SELECTION"] = order;
  imr["Formats"] = formats;
  plugins["IMR_TPlugin"] = readers;
  plugins["IMR_TMatch"] = entries;

  std::ofstream out(argv[2]);
  out << configuration.dump(2) << '\n';
  return out ? 0 : 1;
}
