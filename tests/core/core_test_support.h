// Helpers of the detection library's tests: the shared helpers
// (tests/support), the test module (loaded on demand through a configuration
// overlay and IMR_PLUGIN_PATH), IMRT files and readable summaries of proxies.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/imr_core.h"
#include "imrt_format.h"
#include "tests/support/test_support.h"

namespace coretest {

using namespace testsupport;

// The counters of the test module (loaded on first use).
imrt::Stats& Stats();

// A plugin list of (name, key) pairs; names without a key get "".
ZQ_TList Plugins(std::initializer_list<const char*> names);
ZQ_TList Pairs(std::initializer_list<std::pair<const char*, const char*>> pairs);

// Image lines of IMRT files: status, type and size; an embedded file; references.
inline imrt::Image Img(const std::string& status, int type = 3, unsigned columns = 0,
                       unsigned rows = 0) {
  imrt::Image image;
  image.status = status;
  image.type = type;
  image.columns = columns;
  image.rows = rows;
  return image;
}
inline imrt::Image Embedded(const std::string& payload, int type = 3) {
  imrt::Image image = Img("6", type);
  image.payload = payload;
  return image;
}
inline imrt::Image WithRefs(imrt::Image image, std::vector<std::string> refs) {
  image.refs = std::move(refs);
  return image;
}
// Writes an IMRT file of `images` at `path`; returns its URL.
ZQ_TURL WriteImrt(const std::string& path, const std::vector<imrt::Image>& images);
inline ZQ_TURL UrlOf(const std::string& path) { return ZQ_TURL::FromPath(ZQ_TString(path)); }

// "format:type:index" per ticket ("WxH" added when set, "@n" for a related
// index), "*" before the selected one, blank separated.
std::string Summary(const PXC_TImageProxy& proxy);
std::string TicketSummary(const PXC_TImageTicket& ticket);
// The ticket's extended-info number `key`, or -1.
long Extended(const PXC_TImageTicket& ticket, const char* key);

// Tests with a folder of their own, iDir, for the files they write.
class FilesTest : public ::testing::Test {
 protected:
  ZQ_TURL Write(const std::string& name, const std::vector<imrt::Image>& images) {
    return WriteImrt(iDir / name, images);
  }

  TempDir iDir;
};

// Tests that start with the test module's counters reset and end with no
// context plugin alive.
class ModuleCountersTest : public FilesTest {
 protected:
  void SetUp() override { Stats().Reset(); }
  void TearDown() override { EXPECT_EQ(Stats().contextsAlive.load(), 0); }

  // Describes `url` through a core over `plugins` into iProxy; its summary.
  std::string Describe(const ZQ_TURL& url, PXC_TFillLevel level = PXC_FL_ALL_IMAGES,
                       const ZQ_TList& plugins = Plugins({"IMRT_Plain"}),
                       IMR_TImageTypes types = IMR_IT_ALL);

  PXC_TImageProxy iProxy;
};

// Tests over the default plugin list (whose results the cache keeps) with
// IMRT_Plain added at its head and the module's counters reset; skipped under
// another cache strategy.  The list is restored afterwards.
class PlainAtHeadOfDefaultList : public FilesTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  ZQ_TList iSaved;
};

}  // namespace coretest
