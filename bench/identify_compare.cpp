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
#include <fcntl.h>
#include <magic.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

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

std::vector<std::string> RegularFiles(const std::string& dir) {
  namespace fs = std::filesystem;
  std::vector<std::string> paths;
  std::error_code error;
  for (fs::recursive_directory_iterator it(dir, fs::directory_options::skip_permission_denied, error),
       end;
       !error && it != end; it.increment(error)) {
    if (it->is_regular_file(error) && !it->is_symlink(error)) paths.push_back(it->path().string());
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

double Seconds(const std::function<void()>& pass) {
  const auto start = std::chrono::steady_clock::now();
  pass();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
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
  const std::vector<std::string> paths = RegularFiles(options.dir);
  if (paths.empty()) {
    std::fprintf(stderr, "no files in %s\n", options.dir.c_str());
    return 1;
  }

  magic_t cookie = magic_open(MAGIC_MIME);
  if (cookie == nullptr || magic_load(cookie, nullptr) != 0) {
    std::fprintf(stderr, "libmagic: %s\n", cookie ? magic_error(cookie) : "cannot open");
    return 1;
  }

  IMR_TCore::sReadFromCache = false;
  IMR_TCore::sWriteToCache = false;
  const IMR_TCore core;
  std::size_t floorFailures = 0, magicFailures = 0, declined = 0, errors = 0;
  std::map<std::string, std::size_t> formats;

  auto floor = [&] {
    char block[4096];
    for (const std::string& path : paths) {
      struct stat facts;
      if (::stat(path.c_str(), &facts) != 0) ++floorFailures;
      const int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
      if (file < 0) {
        ++floorFailures;
        continue;
      }
      if (::pread(file, block, sizeof block, 0) < 0) ++floorFailures;
      ::close(file);
    }
  };
  auto libmagic = [&] {
    for (const std::string& path : paths) {
      if (magic_file(cookie, path.c_str()) == nullptr) ++magicFailures;
    }
  };
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

  struct Method {
    const char* name;
    std::function<void()> pass;
    double best = 1e300;
  };
  std::vector<Method> methods = {{"floor", floor}, {"libmagic", libmagic}, {"imr", imr}};
  if (!options.only.empty()) {
    std::erase_if(methods, [&](const Method& m) { return options.only != m.name; });
    if (methods.empty()) {
      std::fprintf(stderr, "unknown method %s\n", options.only.c_str());
      return 2;
    }
  }
  // Warm-up: the page cache, libmagic's database, IMR's lazily built table.
  counting = true;
  for (Method& method : methods) method.pass();
  counting = false;
  for (int round = 0; round < options.rounds; ++round) {
    for (Method& method : methods) method.best = std::min(method.best, Seconds(method.pass));
  }

  std::printf("%zu files in %s, best of %d rounds, one thread\n", paths.size(),
              options.dir.c_str(), options.rounds);
  std::printf("%-10s %12s %12s\n", "method", "files/s", "us/file");
  for (const Method& method : methods) {
    std::printf("%-10s %12.0f %12.2f\n", method.name, paths.size() / method.best,
                1e6 * method.best / paths.size());
  }
  auto find = [&](const char* name) -> const Method* {
    for (const Method& method : methods) {
      if (std::string(name) == method.name) return &method;
    }
    return nullptr;
  };
  const Method* f = find("floor");
  const Method* m = find("libmagic");
  const Method* i = find("imr");
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
