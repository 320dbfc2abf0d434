// The whole pipeline on arbitrary bytes, as a host meets a file: the input is
// written to a file and described at level 6 by a core that caches (the magic
// entries, every shipped module's plugins, embedded images, the record
// written beside the file); described again, the record must give the same
// description; then the same record with the input as its list of main-image
// tickets is read, then with the input as the record key itself: each must
// fail cleanly or give tickets.
//
// Seeds: the corpus, the end-to-end samples and every family's samples and
// regression inputs.
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "core/imr_core.h"

namespace {

namespace fs = std::filesystem;

constexpr IMR_TImageTypes kTypes = IMR_IT_MAIN | IMR_IT_THUMBNAIL | IMR_IT_PREVIEW;

std::string Printed(const PXC_TImageProxy& proxy) {
  std::ostringstream text;
  text << proxy.IndexOfSelected() << '\n';
  for (std::uint32_t i = 0; i < proxy.Entries(); ++i) proxy.TicketAt(i).PrintOn(text);
  return text.str();
}

// The description of `url`, or "-" when nothing recognises it or it cannot
// be read.
std::string Described(const IMR_TCore& core, const ZQ_TURL& url) {
  PXC_TImageProxy proxy;
  try {
    if (core.FillImageProxy(proxy, url, PXC_FL_DEPENDENCIES, kTypes, std::nothrow) == nullptr) {
      return "-";
    }
  } catch (const ZQ_EException&) {
    return "-";
  }
  return Printed(proxy);
}

std::string gPath;

void AddSeeds(int* argc, char*** argv) {
  bool fuzzing = false;
  for (int i = 1; i < *argc; ++i) {
    const std::string argument = (*argv)[i];
    if (argument.rfind("-merge", 0) == 0) return;
    if (argument[0] != '-' && fs::is_directory(argument)) fuzzing = true;
  }
  if (!fuzzing) return;
  static std::vector<std::string> folders = {IMR_SOURCE_DIR "/tests/data/corpus/exiftool"};
  for (const char* top : {IMR_SOURCE_DIR "/tests/data/e2e", IMR_SOURCE_DIR "/tests/data/formats"}) {
    for (const fs::directory_entry& family : fs::directory_iterator(top)) {
      if (!family.is_directory()) continue;
      folders.push_back(family.path().string());
      const fs::path regress = family.path() / "regress";
      if (fs::is_directory(regress)) folders.push_back(regress.string());
    }
  }
  static std::vector<char*> arguments((*argv), (*argv) + *argc);
  for (std::string& folder : folders) arguments.push_back(folder.data());
  arguments.push_back(nullptr);
  *argc = static_cast<int>(arguments.size() - 1);
  *argv = arguments.data();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  setenv("IMR_PLUGIN_PATH", IMR_MODULE_DIR, 1);
  setenv("ZQMESG_LOG_FILE", "/dev/null", 1);
  if (!__ZQ_INITIALIZATION_FUNCTION_IMR__()) return 1;
  char folder[] = "/tmp/imr_pipeline_fuzz.XXXXXX";
  if (mkdtemp(folder) == nullptr) return 1;
  gPath = std::string(folder) + "/input";
  AddSeeds(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const IMR_TCore* const cached = new IMR_TCore;
  // A new file each time: the record of the last input goes with it.
  ::unlink(gPath.c_str());
  if (FILE* file = std::fopen(gPath.c_str(), "wb")) {
    std::fwrite(data, 1, size, file);
    std::fclose(file);
  }
  const ZQ_TURL url = ZQ_TURL::FromPath(ZQ_TString(gPath));
  const std::string fresh = Described(*cached, url);
  if (Described(*cached, url) != fresh) __builtin_trap();

  // The input, stored raw, as the record's list of main-image tickets, then
  // as the record key.
  if (::getxattr(gPath.c_str(), "user.imr.IMR_CACHE_IT", nullptr, 0) > 0) {
    std::string value(1, 'R');
    value.append(reinterpret_cast<const char*>(data), size);
    for (const char* key : {"user.imr.IMR_CACHE_PRI", "user.imr.IMR_CACHE_IT"}) {
      if (::setxattr(gPath.c_str(), key, value.data(), value.size(), 0) != 0) break;
      PXC_TImageProxy proxy;
      IMR_TCore::LoadProxyCache(proxy, url, kTypes);
    }
  }
  return 0;
}
