// Helpers of the detection library's tests: the shared helpers
// (tests/support), the test module (loaded on demand through a configuration
// overlay and IMR_PLUGIN_PATH), IMRT files and readable summaries of proxies,
// and a core subclass that reaches the ticket walk.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/imr_core.h"
#include "imrt_format.h"
#include "tests/support/test_support.h"

namespace coretest {

using testsupport::Count;
using testsupport::LogCapture;
using testsupport::Raised;
using testsupport::ReadFile;
using testsupport::ScopedEnv;
using testsupport::SetModified;
using testsupport::TempDir;
using testsupport::WriteFile;

// The counters of the test module (loaded on first use).
imrt::Stats& Stats();

// A plugin list of (name, key) pairs; names without a key get "".
ZQ_TList Plugins(std::initializer_list<const char*> names);
ZQ_TList Pairs(std::initializer_list<std::pair<const char*, const char*>> pairs);

// Image lines of IMRT files.
imrt::Image Img(const std::string& status, int type = 3, unsigned columns = 0, unsigned rows = 0);
imrt::Image Embedded(const std::string& payload, int type = 3);
imrt::Image WithRefs(imrt::Image image, std::vector<std::string> refs);
// Writes an IMRT file of `images` at `path`; returns its URL.
ZQ_TURL WriteImrt(const std::string& path, const std::vector<imrt::Image>& images);

// "format:type:index" per ticket ("WxH" added when set, "@n" for a related
// index), "*" before the selected one, blank separated.
std::string Summary(const PXC_TImageProxy& proxy);
std::string TicketSummary(const PXC_TImageTicket& ticket);
// The ticket's extended-info number `key`, or -1.
long Extended(const PXC_TImageTicket& ticket, const char* key);

// What a run at level 4 over the IMRT data `bytes` (named `url`) must give,
// in the form of Summary: statuses 0, 2, 5, 6 and 7 and the end of the
// images (4), with IMRT_Plain at the head of the list and all image types.
std::string ExpectedSummary(const std::string& bytes);

// A core whose ticket walk the tests call directly.
class TestCore : public IMR_TCore {
 public:
  using IMR_TCore::IMR_TCore;
  // A ticket of `url` (with its facts) that walks `plugins`.
  static PXC_TImageTicket Ticket(const ZQ_TURL& url, const ZQ_TList& plugins);
  static ZQ_TList& TicketPlugins(PXC_TImageTicket& ticket);
  static void Clear(PXC_TImageTicket& ticket) { Wipe(ticket); }
  // The walk for image `index` over the whole file.
  static bool Fill(PXC_TImageTicket& ticket, PXC_TFillLevel level, std::uint32_t index,
                   IMR_IContextPlugin*& context, bool& cacheable,
                   IMR_TImageTypes types = IMR_IT_ALL);
  using IMR_TCore::FillUpImageTicket;
};

// Tests that start with the test module's counters reset and end with no
// context plugin alive.
class ModuleCountersTest : public ::testing::Test {
 protected:
  void SetUp() override { Stats().Reset(); }
  void TearDown() override { EXPECT_EQ(Stats().contextsAlive.load(), 0); }
};

// Tests over the default plugin list (whose results the cache keeps) with
// IMRT_Plain added at its head and the module's counters reset; skipped under
// another cache strategy.  The list is restored afterwards.  iDir holds the
// test's files.
class PlainAtHeadOfDefaultList : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  ZQ_TList iSaved;
  TempDir iDir;
};

// Saves and restores the core's cache switches and default list.
class CacheSwitches {
 public:
  CacheSwitches(bool read, bool write);
  ~CacheSwitches();

 private:
  bool iRead;
  bool iWrite;
};

}  // namespace coretest
