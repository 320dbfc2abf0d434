// Description cost per file with the format readers, next to ImageMagick,
// side by side in one run on one thread:
//   imr L2/L4/L6  FillImageProxy through the default core at fill level 2
//                 (format from the magic tables), 4 (every image, with the
//                 readers) and 6 (details and dependencies), result cache off
//   identify      `identify -ping -format '%i %m %w %h\n' FILE...` as one
//                 process over the files it can read (MAGICK_THREAD_LIMIT=1);
//                 the files are arguments, since the usual security policy
//                 forbids @LIST (a list longer than the argument space would
//                 take more processes)
//
// formats_compare_bench [DIR] [--rounds R]
// DIR (walked recursively, regular files only) defaults to the end-to-end
// samples of every format family (tests/data/e2e).
// A first identify pass finds the files it cannot read: they are counted and
// left out of its list.  The library runs over every file, and over
// identify's list too, so that both sides can be set against each other.
// Each method runs R times (default 3) after a warm-up pass; the best round
// counts.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/imr_core.h"

namespace {

struct Options {
  std::string dir = IMR_FORMATS_SAMPLES;
  int rounds = 3;
};

bool Parse(int argc, char** argv, Options& options) {
  bool haveDir = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--rounds" && i + 1 < argc) {
      options.rounds = std::max(1, std::atoi(argv[++i]));
    } else if (!arg.empty() && arg[0] != '-' && !haveDir) {
      options.dir = arg;
      haveDir = true;
    } else {
      return false;
    }
  }
  return true;
}

std::vector<std::string> RegularFiles(const std::string& dir) {
  namespace fs = std::filesystem;
  std::vector<std::string> paths;
  std::error_code error;
  for (fs::recursive_directory_iterator it(dir, fs::directory_options::skip_permission_denied, error), end;
       !error && it != end; it.increment(error)) {
    if (it->is_regular_file(error) && !it->is_symlink(error)) {
      paths.push_back(fs::absolute(it->path()).string());
    }
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

double Seconds(const std::function<void()>& pass) {
  const auto start = std::chrono::steady_clock::now();
  pass();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Describes every file at `level`; returns how many were recognised.
std::size_t DescribeAll(const IMR_TCore& core, const std::vector<std::string>& files, PXC_TFillLevel level) {
  std::size_t recognised = 0;
  for (const std::string& file : files) {
    PXC_TImageProxy proxy;
    try {
      core.FillImageProxy(proxy, ZQ_TURL::FromPath(ZQ_TString(file)), level, IMR_IT_ALL);
      ++recognised;
    } catch (const ZQ_EException&) {
    }
  }
  return recognised;
}

// Runs identify over `files`, standard output into `output` and standard
// error discarded: one process while the arguments fit; false when it cannot
// be run.
bool RunIdentify(const std::vector<std::string>& files, const std::string& output) {
  constexpr std::size_t kMaxArguments = 1u << 20;  // bytes, well under ARG_MAX
  std::FILE* truncate = std::fopen(output.c_str(), "w");
  if (truncate == nullptr) return false;
  std::fclose(truncate);
  for (std::size_t next = 0; next < files.size();) {
    std::vector<const char*> argv = {"identify", "-ping", "-format", "%i %m %w %h\\n"};
    for (std::size_t bytes = 0; next < files.size() && bytes < kMaxArguments; ++next) {
      argv.push_back(files[next].c_str());
      bytes += files[next].size() + 1;
    }
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) {
      if (std::freopen(output.c_str(), "a", stdout) == nullptr ||
          std::freopen("/dev/null", "w", stderr) == nullptr) {
        _exit(127);
      }
      setenv("MAGICK_THREAD_LIMIT", "1", 1);
      setenv("OMP_NUM_THREADS", "1", 1);
      execvp("identify", const_cast<char* const*>(argv.data()));
      _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) == 127) return false;
  }
  return true;
}

// The files identify described: the first word of each line it printed.
std::set<std::string> FilesRead(const std::string& output) {
  std::set<std::string> files;
  std::ifstream in(output);
  for (std::string line; std::getline(in, line);) {
    std::istringstream words(line);
    std::string file;
    if (words >> file) files.insert(file);
  }
  return files;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!Parse(argc, argv, options)) {
    std::fprintf(stderr, "usage: %s [DIR] [--rounds R]\n", argv[0]);
    return 2;
  }
  const std::vector<std::string> files = RegularFiles(options.dir);
  if (files.empty()) {
    std::fprintf(stderr, "no files in %s\n", options.dir.c_str());
    return 1;
  }
  setenv("IMR_PLUGIN_PATH", IMR_MODULE_DIR, 0);
  if (!__ZQ_INITIALIZATION_FUNCTION_IMR__()) {
    std::fprintf(stderr, "the library did not initialise\n");
    return 1;
  }
  IMR_TCore::sReadFromCache = false;
  IMR_TCore::sWriteToCache = false;
  const IMR_TCore core;

  // identify's list: the files it can read.
  const std::string output = std::filesystem::temp_directory_path() /
                             ("formats_compare_" + std::to_string(getpid()) + ".txt");
  std::vector<std::string> readable;
  bool haveIdentify = RunIdentify(files, output);
  if (haveIdentify) {
    const std::set<std::string> read = FilesRead(output);
    for (const std::string& file : files) {
      if (read.count(file)) readable.push_back(file);
    }
    haveIdentify = !readable.empty();
  }

  struct Method {
    const char* name;
    std::size_t files;
    std::function<void()> pass;
    double best = 0;
  };
  std::size_t recognised[3] = {};
  const PXC_TFillLevel levels[3] = {PXC_FL_FORMAT, PXC_FL_ALL_IMAGES, PXC_FL_DEPENDENCIES};
  std::vector<Method> methods;
  for (int i = 0; i < 3; ++i) {
    static const char* const kNames[] = {"imr L2", "imr L4", "imr L6"};
    methods.push_back({kNames[i], files.size(), [&, i] { recognised[i] = DescribeAll(core, files, levels[i]); }});
  }
  if (haveIdentify) {
    for (int i = 0; i < 3; ++i) {
      static const char* const kNames[] = {"imr L2 (identify's files)", "imr L4 (identify's files)",
                                           "imr L6 (identify's files)"};
      methods.push_back({kNames[i], readable.size(), [&, i] { DescribeAll(core, readable, levels[i]); }});
    }
    methods.push_back({"identify -ping", readable.size(), [&] { RunIdentify(readable, output); }});
  }
  for (Method& method : methods) method.pass();  // warm-up: page cache, modules, identify's start
  for (int round = 0; round < options.rounds; ++round) {
    for (Method& method : methods) {
      const double seconds = Seconds(method.pass);
      if (round == 0 || seconds < method.best) method.best = seconds;
    }
  }

  std::printf("%zu files in %s; imr recognised %zu (level 2), %zu (level 4), %zu (level 6)\n",
              files.size(), options.dir.c_str(), recognised[0], recognised[1], recognised[2]);
  if (haveIdentify) {
    std::printf("identify cannot read %zu of them (left out of its list)\n", files.size() - readable.size());
  } else {
    std::printf("identify could not be run: its figures are missing\n");
  }
  std::printf("%-28s %8s %12s %14s\n", "method", "files", "files/s", "us/file");
  for (const Method& method : methods) {
    std::printf("%-28s %8zu %12.0f %14.1f\n", method.name, method.files, method.files / method.best,
                1e6 * method.best / method.files);
  }
  std::filesystem::remove(output);
  return 0;
}
