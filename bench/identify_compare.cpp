// Recognition cost per file over a folder of real files, side by side in one
// run on one thread:
//   floor      stat + open + pread of 4 KiB + close
//   libmagic   magic_file with MAGIC_MIME
//   imr        FillImageProxy at level 2 through the default core, result
//              cache off: what `imr identify --level 2 --no-cache -j 1` does
//              for each file, with the shipped magic tables and GENERIC
//
// identify_compare_bench DIR [--rounds R] [--only floor|libmagic|imr]
// DIR is walked recursively (regular files only).  Each method runs R times
// (default 5) over all files, interleaved with the others, after one warm-up
// pass of each; the best round counts.  --only runs one method, for
// profilers.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "bench_support.h"
#include "core/imr_core.h"

namespace {

struct Options {
  std::string dir;
  int rounds = 5;
  std::string only;
};

bool Parse(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--rounds" && i + 1 < argc) {
      options.rounds = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--only" && i + 1 < argc) {
      options.only = argv[++i];
    } else if (!arg.empty() && arg[0] != '-' && options.dir.empty()) {
      options.dir = arg;
    } else {
      return false;
    }
  }
  return !options.dir.empty();
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!Parse(argc, argv, options)) {
    std::fprintf(stderr, "usage: %s DIR [--rounds R] [--only floor|libmagic|imr]\n", argv[0]);
    return 2;
  }
  // The shipped modules of this build, unless the caller points elsewhere.
  ::setenv("IMR_PLUGIN_PATH", IMR_MODULE_DIR, 0);
  if (!__ZQ_INITIALIZATION_FUNCTION_IMR__()) {
    std::fprintf(stderr, "the detection library did not initialise\n");
    return 1;
  }
  const std::vector<std::string> paths = bench::RegularFiles(options.dir, true);
  if (paths.empty()) {
    std::fprintf(stderr, "no files in %s\n", options.dir.c_str());
    return 1;
  }

  magic_t cookie = bench::OpenLibmagic();
  if (cookie == nullptr) return 1;

  IMR_TCore::sReadFromCache = false;
  IMR_TCore::sWriteToCache = false;
  const IMR_TCore core;
  std::size_t floorFailures = 0, magicFailures = 0, declined = 0, errors = 0;
  std::map<std::string, std::size_t> formats;

  auto floor = [&] { bench::FloorPass(paths, floorFailures); };
  auto libmagic = [&] { bench::LibmagicPass(cookie, paths, magicFailures); };
  bool counting = false;
  auto imr = [&] {
    for (const std::string& path : paths) {
      PXC_TImageProxy proxy;
      try {
        core.FillImageProxy(proxy, ZQ_TURL::FromPath(ZQ_TString(path)), PXC_FL_FORMAT, IMR_IT_ALL);
        if (counting) ++formats[proxy.Selected() ? proxy.Selected()->FileFormat().Std() : "?"];
      } catch (const IMR_EPluginFileNotRecognized&) {
        if (counting) ++declined;
      } catch (const ZQ_EException&) {
        if (counting) ++errors;
      }
    }
  };

  std::vector<bench::Method> methods = {{"floor", floor}, {"libmagic", libmagic}, {"imr", imr}};
  if (!options.only.empty()) {
    std::erase_if(methods, [&](const bench::Method& m) { return options.only != m.key; });
    if (methods.empty()) {
      std::fprintf(stderr, "unknown method %s\n", options.only.c_str());
      return 2;
    }
  }
  // Warm-up: the page cache, libmagic's database, IMR's lazily built table.
  counting = true;
  for (bench::Method& method : methods) method.pass();
  counting = false;
  bench::BestOfRounds(methods, options.rounds);

  std::printf("%zu files in %s, best of %d rounds, one thread\n", paths.size(),
              options.dir.c_str(), options.rounds);
  std::printf("%-10s %12s %12s\n", "method", "files/s", "us/file");
  for (const bench::Method& method : methods) {
    std::printf("%-10s %12.0f %12.2f\n", method.key, paths.size() / method.best,
                1e6 * method.best / paths.size());
  }
  auto find = [&](const char* key) -> const bench::Method* {
    for (const bench::Method& method : methods) {
      if (std::string(key) == method.key) return &method;
    }
    return nullptr;
  };
  const bench::Method* f = find("floor");
  const bench::Method* m = find("libmagic");
  const bench::Method* i = find("imr");
  if (i != nullptr && m != nullptr) {
    std::printf("imr / libmagic files per second: %.2fx (goal: at least 5x)\n", m->best / i->best);
  }
  if (i != nullptr && f != nullptr) {
    std::printf("imr time / floor time: %.2fx (goal: at most 2x)\n", i->best / f->best);
  }
  if (i != nullptr) {
    std::printf("imr: %zu declined, %zu errors;", declined, errors);
    for (const auto& [format, count] : formats) std::printf(" %s %zu", format.c_str(), count);
    std::printf("\n");
  }
  if (floorFailures + magicFailures > 0) {
    std::printf("floor failures %zu, libmagic failures %zu\n", floorFailures, magicFailures);
  }
  magic_close(cookie);
  return 0;
}
