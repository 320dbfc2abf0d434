// What the build derives from the catalog:
//   imr_catalog_config config BASE.json OUT.json
//     the default configuration with the order of the default selection,
//     each format's facts, and the modules the loader maps the plugins and
//     magic entries to;
//   imr_catalog_config tables OUT.cpp
//     the magic entry texts of every format, as constant tables that the
//     magic module's providers hand out without any work at run time.
// It fails, naming each problem, when the catalog is inconsistent.
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "formats/catalog/catalog.h"
#include "formats/catalog/signature.h"

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

// `text` as a C string literal: every byte that is not a letter, a digit or
// a blank as a three-digit octal escape, which never runs into what follows.
std::string Literal(const std::string& text) {
  std::string literal = "\"";
  for (const unsigned char c : text) {
    if (std::isalnum(c) || c == ' ' || c == '_' || c == '=' || c == '[' || c == ']' || c == '.') {
      literal += static_cast<char>(c);
    } else {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\%03o", c);
      literal += escape;
    }
  }
  return literal + "\"";
}

int WriteConfiguration(const char* basePath, const char* outPath) {
  std::ifstream base(basePath);
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
  std::ofstream out(outPath);
  out << configuration.dump(2) << '\n';
  return out ? 0 : 1;
}

int WriteTables(const char* outPath) {
  std::ofstream out(outPath);
  out << "// Generated from the format catalog (formats/catalog/catalog.cpp).\n"
         "#include \"formats/catalog/magic_tables.h\"\n\n"
         "namespace imr::formats {\nnamespace {\n";
  const auto formats = imr::formats::Formats();
  for (std::size_t f = 0; f < formats.size(); ++f) {
    std::size_t a = 0;
    for (const char* signature : formats[f].signatures) {
      out << "const char* const kF" << f << "A" << a++ << "[] = {";
      for (const std::string& text : imr::formats::EntryTexts(formats[f], signature)) {
        out << Literal(text) << ", ";
      }
      out << "nullptr};\n";
    }
    out << "const char* const* const kF" << f << "[] = {";
    for (std::size_t i = 0; i < a; ++i) out << "kF" << f << "A" << i << ", ";
    out << "nullptr};\n";
  }
  out << "}  // namespace\n\nconst MagicTable kMagicTables[] = {\n";
  for (std::size_t f = 0; f < formats.size(); ++f) {
    out << "    {\"" << formats[f].name << "\", kF" << f << "},\n";
  }
  out << "};\nconst std::size_t kMagicTableCount = " << formats.size() << ";\n\n"
      << "}  // namespace imr::formats\n";
  return out ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (!((mode == "config" && argc == 4) || (mode == "tables" && argc == 3))) {
    std::cerr << "usage: imr_catalog_config config BASE.json OUT.json\n"
                 "       imr_catalog_config tables OUT.cpp\n";
    return 2;
  }
  const std::vector<std::string> problems = imr::formats::CatalogProblems(imr::formats::RegisteredReaders());
  for (const std::string& problem : problems) std::cerr << "format catalog: " << problem << '\n';
  if (!problems.empty()) return 1;
  return mode == "config" ? WriteConfiguration(argv[2], argv[3]) : WriteTables(argv[2]);
}
