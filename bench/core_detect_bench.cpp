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
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench_support.h"
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
  const std::vector<std::string> paths = bench::RegularFiles(options.dir, false);
  if (paths.empty()) {
    std::fprintf(stderr, "no files in %s\n", options.dir.c_str());
    return 1;
  }
  std::vector<ZQ_TURL> urls;
  for (const std::string& path : paths) urls.push_back(ZQ_TURL::FromPath(ZQ_TString(path)));

  magic_t cookie = bench::OpenLibmagic();
  if (cookie == nullptr) return 1;

  ZQ_TList trivial;
  trivial.AddAtTail(ZQ_TAny(ZQ_TString("IMRT_Trivial")));
  trivial.AddAtTail(ZQ_TAny(ZQ_TString()));
  const IMR_TCore explicitCore(&trivial);
  IMR_TCore::AddToDefaultPluginList(ZQ_TString("IMRT_Trivial"), ZQ_TString(), false);
  const IMR_TCore defaultCore;
  std::size_t failures = 0;

  auto floor = [&] { bench::FloorPass(paths, failures); };
  auto magic = [&] { bench::LibmagicPass(cookie, paths, failures); };
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

  std::vector<bench::Method> methods = {
      {"floor", floor, "floor: stat+open+pread 4K+close"},
      {"magic", magic, "libmagic magic_file, MAGIC_MIME"},
      {"off", off, "FillImageProxy level 2, cache off"},
      {"hit", hit, "FillImageProxy level 2, cache hit"},
  };
  bench::BestOfRounds(methods, options.rounds, options.only);

  std::printf("%zu files in %s, %zu with a cache record, best of %d rounds\n", paths.size(),
              options.dir.c_str(), records, options.rounds);
  std::printf("%-38s %12s %10s\n", "method", "us per file", "x floor");
  const bench::Method& floorMethod = methods[0];
  for (const bench::Method& method : methods) {
    if (!method.Ran()) continue;
    const double perFile = method.best / static_cast<double>(paths.size()) * 1e6;
    if (floorMethod.Ran()) {
      std::printf("%-38s %12.2f %10.2f\n", method.label, perFile, method.best / floorMethod.best);
    } else {
      std::printf("%-38s %12.2f %10s\n", method.label, perFile, "-");
    }
  }
  if (failures != 0) std::printf("%zu failures\n", failures);
  magic_close(cookie);
  std::error_code ignored;
  std::filesystem::remove_all(scratch, ignored);
  return 0;
}
