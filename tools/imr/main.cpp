// imr: identify image and document files from the command line.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstring>
#include <iostream>

#include "tools/imr/commands.h"
#include "tools/imr/identify.h"

namespace {

// Reads an image-type mask in decimal or with a 0x prefix: 1 to 0x7F.
IMR_TImageTypes ParseTypes(const std::string& text) {
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const std::string digits = hex ? text.substr(2) : text;
  const bool number =
      !digits.empty() && digits.size() <= 8 &&
      digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") == std::string::npos;
  if (!number) throw CLI::ValidationError("--types " + text, "not a number (decimal, or hexadecimal with 0x)");
  const unsigned long value = std::stoul(digits, nullptr, hex ? 16 : 10);
  if (value == 0 || value > IMR_IT_ALL) {
    throw CLI::ValidationError("--types " + text, "no kind of image is 0 or beyond 0x7F (all)");
  }
  return static_cast<IMR_TImageTypes>(value);
}

// Checks that the list of paths can be read without waiting for ever: a
// folder or a file that cannot be opened is refused, and a named pipe that
// nothing writes to within a few seconds too.
void CheckPathList(const std::string& list) {
  if (list.empty() || list == "-") return;
  const std::string option = "--files-from " + list;
  struct stat facts {};
  if (::stat(list.c_str(), &facts) != 0) throw CLI::ValidationError(option, std::strerror(errno));
  if (S_ISDIR(facts.st_mode)) throw CLI::ValidationError(option, "is a directory");
  if (!S_ISFIFO(facts.st_mode)) {
    if (::access(list.c_str(), R_OK) != 0) throw CLI::ValidationError(option, std::strerror(errno));
    return;
  }
  // A pipe of the shell's (<(...)) has its writer; a named one may have none.
  char target[64] = {};
  if (::readlink(list.c_str(), target, sizeof target - 1) > 0 && std::strncmp(target, "pipe:", 5) == 0) return;
  const int fd = ::open(list.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) throw CLI::ValidationError(option, std::strerror(errno));
  pollfd wait{fd, POLLIN, 0};
  const int ready = ::poll(&wait, 1, 5000);
  ::close(fd);
  if (ready <= 0) throw CLI::ValidationError(option, "a named pipe that nothing writes to");
}

// Takes the arguments after a lone "--" out of argv: they are paths, even
// when they start with '-'.
std::vector<std::string> TakePathsAfterDashes(int& argc, char** argv) {
  std::vector<std::string> paths;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--") != 0) continue;
    paths.assign(argv + i + 1, argv + argc);
    argc = i;
    break;
  }
  return paths;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> trailing = TakePathsAfterDashes(argc, argv);
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
  smartidCommand->add_option("paths", smartidPaths, "Files");

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
    identify.paths.insert(identify.paths.end(), trailing.begin(), trailing.end());
    smartidPaths.insert(smartidPaths.end(), trailing.begin(), trailing.end());
    if (identifyCommand->parsed()) {
      if (identify.paths.empty() && identify.filesFrom.empty()) throw CLI::RequiredError("paths or --files-from");
      CheckPathList(identify.filesFrom);
    }
    if (smartidCommand->parsed() && smartidPaths.empty()) throw CLI::RequiredError("paths");
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
