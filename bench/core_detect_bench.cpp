// Detection cost per file, side by side in one run:
//   floor      stat + open + pread of 4 KiB + close
//   libmagic   magic_file with MAGIC_MIME
//   core off   FillImageProxy at level 2 with the test module's trivial
//              plugin (one byte check), result cache off
//   core hit   the same over the default list, served by the result cache
//
// core_detect_bench [DIR] [--files N] [--rounds R] [--only floor|magic|off|hit]
// Without DIR it fills a temporary folder with N generated files (default
// 2000).  Each method runs R times (default 5) over all files, interleaved
// with the others; the best round counts.  --only runs one method, for
// profilers.
#include <dirent.h>
#include <fcntl.h>
#include <magic.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "core/imr_core.h"
#include "imrt_format.h"

namespace {

struct Options {
  std::string dir;
  int files = 2000;
  int rounds = 5;
  std::string only;
};

Options Parse(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--files" && i + 1 < argc) {
      options.files = std::atoi(argv[++i]);
    } else if (arg == "--rounds" && i + 1 < argc) {
      options.rounds = std::atoi(argv[++i]);
    } else if (arg == "--only" && i + 1 < argc) {
      options.only = argv[++i];
    } else {
      options.dir = arg;
    }
  }
  return options;
}

void Write(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// IMRT files of one to three images and 100 bytes to 6 KiB.
void Generate(const std::string& dir, int count) {
  std::mt19937 random(7);
  for (int i = 0; i < count; ++i) {
    std::vector<imrt::Image> images(1 + random() % 3);
    for (imrt::Image& image : images) {
      image.columns = 1 + random() % 4000;
      image.rows = 1 + random() % 4000;
    }
    std::string tail(100 + random() % 6000, '\0');
    for (char& c : tail) c = static_cast<char>(random());
    Write(dir + "/g" + std::to_string(i) + ".imrt", imrt::Write(images, tail));
  }
}

std::vector<std::string> RegularFiles(const std::string& dir) {
  std::vector<std::string> paths;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.is_regular_file()) paths.push_back(entry.path().string());
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

// Makes the test module's trivial plugin loadable.
void UseTestModule(const std::string& dir) {
  const std::string overlay = dir + "/core_detect_bench.json";
  Write(overlay,
        R"({"Resources": {"Modules": {"PXC": {"Plugins": {"IMR_TPlugin": )"
        R"({"IMRT_Trivial": "imrt_plugins.so"}}}}}})");
  ::setenv("IMR_CONFIG", overlay.c_str(), 1);
  ::setenv("IMR_PLUGIN_PATH", IMRT_MODULE_DIR, 1);
  PXC_CfsReload();
}

double Seconds(const std::function<void()>& pass) {
  const auto start = std::chrono::steady_clock::now();
  pass();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  Options options = Parse(argc, argv);
  if (!__ZQ_INITIALIZATION_FUNCTION_IMR__()) {
    std::fprintf(stderr, "the detection library did not initialise\n");
    return 1;
  }
  std::filesystem::path scratch = std::filesystem::temp_directory_path() /
                                  ("core_detect_bench." + std::to_string(::getpid()));
  std::filesystem::create_directories(scratch);
  if (options.dir.empty()) {
    options.dir = (scratch / "files").string();
    std::filesystem::create_directories(options.dir);
    Generate(options.dir, options.files);
  }
  UseTestModule(scratch.string());
  const std::vector<std::string> paths = RegularFiles(options.dir);
  if (paths.empty()) {
    std::fprintf(stderr, "no files in %s\n", options.dir.c_str());
    return 1;
  }
  std::vector<ZQ_TURL> urls;
  for (const std::string& path : paths) urls.push_back(ZQ_TURL::FromPath(ZQ_TString(path)));

  magic_t cookie = magic_open(MAGIC_MIME);
  if (cookie == nullptr || magic_load(cookie, nullptr) != 0) {
    std::fprintf(stderr, "libmagic: %s\n", cookie ? magic_error(cookie) : "cannot open");
    return 1;
  }

  ZQ_TList trivial;
  trivial.AddAtTail(ZQ_TAny(ZQ_TString("IMRT_Trivial")));
  trivial.AddAtTail(ZQ_TAny(ZQ_TString()));
  const IMR_TCore explicitCore(&trivial);
  IMR_TCore::AddToDefaultPluginList(ZQ_TString("IMRT_Trivial"), ZQ_TString(), false);
  const IMR_TCore defaultCore;
  std::size_t failures = 0;

  auto floor = [&] {
    char block[4096];
    for (const std::string& path : paths) {
      struct stat facts;
      if (::stat(path.c_str(), &facts) != 0) ++failures;
      const int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
      if (file < 0) {
        ++failures;
        continue;
      }
      if (::pread(file, block, sizeof block, 0) < 0) ++failures;
      ::close(file);
    }
  };
  auto magic = [&] {
    for (const std::string& path : paths) {
      if (magic_file(cookie, path.c_str()) == nullptr) ++failures;
    }
  };
  auto describe = [&](const IMR_TCore& core) {
    PXC_TImageProxy proxy;
    for (const ZQ_TURL& url : urls) {
      try {
        core.FillImageProxy(proxy, url, PXC_FL_FORMAT, IMR_IT_MAIN);
      } catch (const ZQ_EException&) {
        ++failures;
      }
    }
  };
  auto off = [&] {
    IMR_TCore::sReadFromCache = IMR_TCore::sWriteToCache = false;
    describe(explicitCore);
  };
  auto hit = [&] {
    IMR_TCore::sReadFromCache = true;
    IMR_TCore::sWriteToCache = false;
    describe(defaultCore);
  };

  // Records for the cached runs: one run over all images writes them.
  IMR_TCore::sReadFromCache = false;
  IMR_TCore::sWriteToCache = true;
  if (options.only.empty() || options.only == "hit") {
    PXC_TImageProxy proxy;
    for (const ZQ_TURL& url : urls) {
      try {
        defaultCore.FillImageProxy(proxy, url, PXC_FL_ALL_IMAGES, IMR_IT_MAIN);
      } catch (const ZQ_EException&) {
      }
    }
  }
  std::size_t records = 0;
  for (const ZQ_TURL& url : urls) {
    PXC_TImageProxy proxy;
    if (IMR_TCore::LoadProxyCache(proxy, url, IMR_IT_MAIN)) ++records;
  }

  struct Method {
    const char* key;
    const char* name;
    std::function<void()> pass;
    double best;
  };
  std::vector<Method> methods = {
      {"floor", "floor: stat+open+pread 4K+close", floor, 1e30},
      {"magic", "libmagic magic_file, MAGIC_MIME", magic, 1e30},
      {"off", "FillImageProxy level 2, cache off", off, 1e30},
      {"hit", "FillImageProxy level 2, cache hit", hit, 1e30},
  };
  for (int round = 0; round < options.rounds; ++round) {
    for (Method& method : methods) {
      if (!options.only.empty() && options.only != method.key) continue;
      method.best = std::min(method.best, Seconds(method.pass));
    }
  }

  std::printf("%zu files in %s, %zu with a cache record, best of %d rounds\n", paths.size(),
              options.dir.c_str(), records, options.rounds);
  std::printf("%-38s %12s %10s\n", "method", "us per file", "x floor");
  const double floorTime = methods[0].best;
  for (const Method& method : methods) {
    if (method.best >= 1e30) continue;
    const double perFile = method.best / static_cast<double>(paths.size()) * 1e6;
    if (floorTime < 1e30) {
      std::printf("%-38s %12.2f %10.2f\n", method.name, perFile, method.best / floorTime);
    } else {
      std::printf("%-38s %12.2f %10s\n", method.name, perFile, "-");
    }
  }
  if (failures != 0) std::printf("%zu failures\n", failures);
  magic_close(cookie);
  std::error_code ignored;
  std::filesystem::remove_all(scratch, ignored);
  return 0;
}
