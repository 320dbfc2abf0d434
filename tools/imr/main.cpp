// imr: identify image and document files from the command line.
#include <CLI/CLI.hpp>
#include <iostream>

#include "tools/imr/commands.h"
#include "tools/imr/identify.h"

namespace {

// Reads an image-type mask in decimal or with a 0x prefix.
IMR_TImageTypes ParseTypes(const std::string& text) {
  std::size_t end = 0;
  unsigned long value = std::stoul(text, &end, 0);
  if (end != text.size()) throw CLI::ValidationError("--types", "not a number: " + text);
  return static_cast<IMR_TImageTypes>(value);
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"imr: recognises image and document files and describes every image in them"};
  app.require_subcommand(0, 1);
  bool version = false;
  app.add_flag("--version", version, "Print the registered version blocks and exit");

  IdentifyOptions identify;
  std::string types = "7";
  int level = PXC_FL_DEPENDENCIES;
  CLI::App* identifyCommand = app.add_subcommand(
      "identify", "Describe files: one line each (or one JSON object each, with --json)");
  identifyCommand->add_option("paths", identify.paths, "Files or directories to describe");
  identifyCommand->add_flag("--json", identify.json, "One JSON object per line");
  identifyCommand->add_option("--level", level,
                              "Fill level: 2 format, 3 geometry, 4 every image, 5 details, "
                              "6 dependencies (default 6)")
      ->check(CLI::Range(1, 6));
  identifyCommand->add_option("--types", types,
                              "Kinds of embedded image to describe: 0x01 main, 0x02 thumbnails, "
                              "0x04 previews, 0x78 auxiliary images and pages (default 7; results "
                              "are cached for masks up to 7)");
  identifyCommand->add_option("--max-images", identify.maxImages,
                              "Describe at most N images of each file (default 16384); the rest is "
                              "left out, with a note on standard error")
      ->check(CLI::Range(1u, 1u << 24));
  identifyCommand->add_flag("-r,--recursive", identify.recursive, "Walk directories");
  identifyCommand->add_option("-j,--jobs", identify.jobs, "Worker threads (default: one per core)")
      ->check(CLI::Range(1, 256));
  identifyCommand->add_flag("--explain", identify.explain,
                            "After each file, the plugins asked, in order, and what each answered "
                            "(no cached results are used)");
  identifyCommand->add_flag("--no-cache", identify.noCache,
                            "Neither read nor write the results cached beside the files");
  identifyCommand->add_option("--files-from", identify.filesFrom,
                              "Read paths from FILE, one per line ('-': standard input)");

  std::vector<std::string> smartidPaths;
  CLI::App* smartidCommand =
      app.add_subcommand("smartid", "Print the identity of files and the files they need");
  smartidCommand->add_option("paths", smartidPaths, "Files")->required();

  bool formatsJson = false;
  bool formatsChains = false;
  CLI::App* formatsCommand = app.add_subcommand(
      "formats",
      "List the formats: name, description, MIME type, extensions, the module that describes "
      "it and how deep");
  formatsCommand->add_flag("--json", formatsJson, "The same as a JSON array");
  formatsCommand->add_flag("--chains", formatsChains,
                           "List the magic entries in the order they are tried, with their byte "
                           "tests, and the selections")
      ->excludes("--json");

  std::string table;
  CLI::App* magicCommand = app.add_subcommand("magic", "Work with magic tables");
  magicCommand->require_subcommand(1);
  CLI::App* checkCommand = magicCommand->add_subcommand(
      "check",
      "Parse every entry text of a table file ('entry NAME' lines start an entry, a blank line "
      "ends an alternative, '#' starts a comment) and report each error with its line");
  checkCommand->add_option("file", table, "Table file")->required();
  std::string entry;
  CLI::App* showCommand =
      magicCommand->add_subcommand("show", "Print the byte tests of one magic entry");
  showCommand->add_option("name", entry, "Entry name, as imr formats lists it")->required();

  try {
    app.parse(argc, argv);
    identify.level = static_cast<PXC_TFillLevel>(level);
    identify.types = ParseTypes(types);
    if (identifyCommand->parsed() && identify.paths.empty() && identify.filesFrom.empty()) {
      throw CLI::RequiredError("paths or --files-from");
    }
  } catch (const CLI::ParseError& error) {
    const int status = app.exit(error);
    return status == 0 ? 0 : 2;
  } catch (const std::exception& error) {
    std::cerr << "imr: " << error.what() << '\n';
    return 2;
  }

  if (!__ZQ_INITIALIZATION_FUNCTION_IMR__()) {
    std::cerr << "imr: the library could not be initialised\n";
    return 2;
  }
  if (version) return RunVersion();
  if (identifyCommand->parsed()) return RunIdentify(identify);
  if (smartidCommand->parsed()) return RunSmartID(smartidPaths);
  if (formatsCommand->parsed()) return formatsChains ? RunFormatChains() : RunFormats(formatsJson);
  if (checkCommand->parsed()) return RunMagicCheck(table);
  if (showCommand->parsed()) return RunMagicShow(entry);
  std::cout << app.help();
  return 2;
}
