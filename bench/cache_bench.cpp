// What the result cache saves, per file, side by side in one run over real
// files with the shipped plugins:
//   floor       stat + open + pread of 4 KiB + close
//   fresh L6    FillImageProxy at level 6, cache off
//   hit L6      the same answered by a record written at level 6
//   raised L6   the same answered by a record written at level 4, raised to
//               level 6 (the record stays at level 4, so every run raises)
//   fresh L2    FillImageProxy at level 2 (the magic entries), cache off
//   record keys the two keys of a level-4 record that any raise must read
//               before it knows the record is to be raised, unread
//
// cache_bench [DIR] [--rounds R] [--only METHOD]
// DIR (its regular files, walked recursively) defaults to the end-to-end
// samples and the corpus under tests/data; the files are copied into two
// temporary folders, one per kind of record.  Each method runs R times
// (default 5), interleaved with the others; the best round counts.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_support.h"
#include "core/imr_core.h"
#include "pxcbase/pxc_metadata.h"

namespace {

namespace fs = std::filesystem;

constexpr IMR_TImageTypes kTypes = IMR_IT_MAIN | IMR_IT_THUMBNAIL | IMR_IT_PREVIEW;

// Copies `paths` into `dir` under numbered names; their URLs.
std::vector<ZQ_TURL> CopyInto(const std::vector<std::string>& paths, const fs::path& dir) {
  fs::create_directories(dir);
  std::vector<ZQ_TURL> urls;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    const fs::path copy = dir / (std::to_string(i) + fs::path(paths[i]).extension().string());
    fs::copy_file(paths[i], copy);
    urls.push_back(ZQ_TURL::FromPath(ZQ_TString(copy.string())));
  }
  return urls;
}

std::size_t Describe(const IMR_TCore& core, const std::vector<ZQ_TURL>& urls, PXC_TFillLevel level) {
  std::size_t described = 0;
  PXC_TImageProxy proxy;
  for (const ZQ_TURL& url : urls) {
    try {
      core.FillImageProxy(proxy, url, level, kTypes);
      ++described;
    } catch (const ZQ_EException&) {
    }
  }
  return described;
}

// Reads the record keys that tell a raise from a hit (the record, then the
// main images' tickets), skipping their contents.
void ReadRecordKeys(const std::vector<ZQ_TURL>& urls) {
  const ZQ_TString record("IMR_CACHE_IT");
  const ZQ_TString primary("IMR_CACHE_PRI");
  const auto skip = [](const char* className) {
    return [className](ZQ_TDataStream& in) {
      in.EnterObject(className);
      in.LeaveObject();
    };
  };
  for (const ZQ_TURL& url : urls) {
    const PXC_TMetadata metadata(url);
    if (metadata.ReadKey(record, skip(ZQ_TArray::ZQ_ClassName()))) {
      metadata.ReadKey(primary, skip(ZQ_TList::ZQ_ClassName()));
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> dirs;
  int rounds = 5;
  std::string only;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--rounds" && i + 1 < argc) {
      rounds = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--only" && i + 1 < argc) {
      only = argv[++i];
    } else {
      dirs.push_back(arg);
    }
  }
  if (dirs.empty()) dirs = {IMR_TEST_DATA "/e2e", IMR_TEST_DATA "/corpus/exiftool"};
  ::setenv("IMR_PLUGIN_PATH", IMR_MODULE_DIR, 0);
  if (!__ZQ_INITIALIZATION_FUNCTION_IMR__()) {
    std::fprintf(stderr, "the detection library did not initialise\n");
    return 1;
  }
  std::vector<std::string> paths;
  for (const std::string& dir : dirs) {
    for (std::string& path : bench::RegularFiles(dir, true)) paths.push_back(std::move(path));
  }
  const fs::path scratch = fs::temp_directory_path() / ("cache_bench." + std::to_string(::getpid()));
  const std::vector<ZQ_TURL> six = CopyInto(paths, scratch / "six");
  const std::vector<ZQ_TURL> four = CopyInto(paths, scratch / "four");

  const IMR_TCore uncached(IMR_TCore::DefaultPluginList());
  const IMR_TCore cached;
  const std::size_t recognised = Describe(cached, six, PXC_FL_DEPENDENCIES);
  Describe(cached, four, PXC_FL_ALL_IMAGES);
  IMR_TCore::sWriteToCache = false;  // the records stay as written

  std::size_t failures = 0;
  std::vector<bench::Method> methods = {
      {"floor", [&] { bench::FloorPass(paths, failures); }, "floor: stat+open+pread 4K+close"},
      {"fresh", [&] { Describe(uncached, six, PXC_FL_DEPENDENCIES); }, "fresh L6, cache off"},
      {"hit", [&] { Describe(cached, six, PXC_FL_DEPENDENCIES); }, "hit L6, record of level 6"},
      {"raised", [&] { Describe(cached, four, PXC_FL_DEPENDENCIES); }, "raised L6, record of level 4"},
      {"fresh2", [&] { Describe(uncached, six, PXC_FL_FORMAT); }, "fresh L2, cache off"},
      {"keys", [&] { ReadRecordKeys(four); }, "record keys a raise reads, unread"},
  };
  bench::BestOfRounds(methods, rounds, only);

  std::printf("%zu files (%zu recognised), best of %d rounds\n", paths.size(), recognised, rounds);
  std::printf("%-34s %12s %10s\n", "method", "us per file", "x floor");
  for (const bench::Method& method : methods) {
    if (!method.Ran()) continue;
    const double perFile = method.best / static_cast<double>(paths.size()) * 1e6;
    if (methods[0].Ran()) {
      std::printf("%-34s %12.2f %10.2f\n", method.label, perFile, method.best / methods[0].best);
    } else {
      std::printf("%-34s %12.2f %10s\n", method.label, perFile, "-");
    }
  }
  std::error_code ignored;
  fs::remove_all(scratch, ignored);
  return failures == 0 ? 0 : 1;
}
