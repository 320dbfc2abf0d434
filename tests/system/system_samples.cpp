#include "tests/system/system_samples.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace systemtest {

namespace fs = std::filesystem;

std::vector<Sample> CopySamples(const testsupport::TempDir& dir) {
  std::vector<std::string> sources;
  const fs::path data(IMR_TEST_DATA);
  for (const fs::directory_entry& entry : fs::directory_iterator(data / "corpus/exiftool")) {
    if (entry.path().filename() != "EXPECTED.tsv") sources.push_back(entry.path().string());
  }
  for (const fs::directory_entry& family : fs::directory_iterator(data / "e2e")) {
    if (!family.is_directory()) continue;
    for (const fs::directory_entry& entry : fs::directory_iterator(family.path())) {
      sources.push_back(entry.path().string());
    }
  }
  // Damaged files that once broke a reader: their roads must agree too.
  for (const fs::directory_entry& family : fs::directory_iterator(data / "formats")) {
    if (!fs::is_directory(family.path() / "regress")) continue;
    for (const fs::directory_entry& entry : fs::directory_iterator(family.path() / "regress")) {
      sources.push_back(entry.path().string());
    }
  }
  std::sort(sources.begin(), sources.end());
  std::vector<Sample> samples;
  for (const std::string& source : sources) {
    std::string name = fs::relative(source, data).string();
    std::string flat = name;
    std::replace(flat.begin(), flat.end(), '/', '_');
    fs::copy_file(source, dir / flat);
    samples.push_back({name, ZQ_TURL::FromPath(ZQ_TString(dir / flat))});
  }
  return samples;
}

void StartLibrary() {
  setenv("IMR_PLUGIN_PATH", IMR_MODULE_DIR, 1);
  ASSERT_TRUE(__ZQ_INITIALIZATION_FUNCTION_IMR__());
}

const IMR_TCore& UncachedCore() {
  static const IMR_TCore* core = new IMR_TCore(IMR_TCore::DefaultPluginList());
  return *core;
}

PXC_TImageProxy Filled(const IMR_TCore& core, const ZQ_TURL& url, PXC_TFillLevel level) {
  PXC_TImageProxy proxy;
  try {
    core.FillImageProxy(proxy, url, level, kTypes);
  } catch (const IMR_EPluginFileNotRecognized&) {
    proxy = PXC_TImageProxy();
  }
  return proxy;
}

std::string Printed(const PXC_TImageTicket& ticket) {
  std::ostringstream text;
  ticket.PrintOn(text);
  return text.str();
}

std::string Printed(const PXC_TImageProxy& proxy) {
  std::string text = "selected " + std::to_string(proxy.IndexOfSelected()) + "\n";
  for (std::uint32_t i = 0; i < proxy.Entries(); ++i) text += Printed(proxy.TicketAt(i));
  return text;
}

}  // namespace systemtest
