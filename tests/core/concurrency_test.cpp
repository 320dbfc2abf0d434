// Threads sharing the plugin caches, cores, plugins and the result cache.
// The tsan test preset runs these.
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <latch>
#include <mutex>
#include <random>
#include <thread>

#include "core_test_support.h"

using namespace coretest;

namespace {

constexpr int kThreads = 8;
constexpr IMR_TImageTypes kTypes = IMR_IT_MAIN | IMR_IT_THUMBNAIL | IMR_IT_PREVIEW;

std::atomic<int> sSlowCreations{0};

IMR_IPlugin* CreateSlowly(const ZQ_TString& key) {
  sSlowCreations++;
  ::usleep(20000);
  return new IMR_TPluginUnknown(key);
}

}  // namespace

TEST(Concurrency, PluginByNameCreatesOneInstanceForPairsAskedAtOnce) {
  IMR_TPlugin::RegisterCreator("CORETEST_Slow", &CreateSlowly);
  std::latch start(kThreads);
  std::vector<IMR_IPlugin*> unkeyed(kThreads);
  std::vector<IMR_IPlugin*> keyed(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      start.arrive_and_wait();
      // Half the threads ask for the keyed instance first.
      for (int i = 0; i < 2; ++i) {
        const bool key = (t + i) % 2 == 1;
        (key ? keyed : unkeyed)[t] = &IMR_TCore::PluginByName("CORETEST_Slow", ZQ_TString(key ? "k" : ""));
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(sSlowCreations.load(), 2);
  EXPECT_EQ(std::count(unkeyed.begin(), unkeyed.end(), unkeyed[0]), kThreads);
  EXPECT_EQ(std::count(keyed.begin(), keyed.end(), keyed[0]), kThreads);
  EXPECT_NE(unkeyed[0], keyed[0]);
}

namespace {

// Files of several shapes, described over and over by many threads through
// cores over the default list (cached; one shared core, or one per call) and
// over IMRT_Context (not cached); between rounds some files are rewritten and
// some records removed.  Every answer must match a run on one thread.
class Stress : public PlainAtHeadOfDefaultList {
 protected:
  void SetUp() override {
    PlainAtHeadOfDefaultList::SetUp();
    if (IsSkipped()) return;
    iExpected.resize(kFiles);
    for (int i = 0; i < kFiles; ++i) {
      iPaths.push_back(iDir / ("f" + std::to_string(i) + ".imrt"));
      Rewrite(i, i);
    }
  }

  static std::vector<imrt::Image> Shape(int shape) {
    imrt::Image slow = Img("0", 3, 8, 8);
    slow.sleepMicros = 300;
    const std::string inner = imrt::Write({Img("0", 3, 5, 5), Img("0", 3, 6, 6)});
    const std::string nested = imrt::Write({Img("0"), Embedded(inner, PXC_IT_PREVIEW), Img("5")});
    switch (shape % 6) {
      case 0: return {Img("0", 3, 1, 1)};
      case 1: return {Img("0", 1, 2, 2), slow, Img("0", 3, 3, 3)};
      case 2: return {Img("0", 3), Img("7", 2)};  // never cached
      case 3: return {Img("0", 2), Embedded(inner, PXC_IT_THUMBNAIL), Img("5"), Img("0", 3, 4, 4)};
      case 4: return {slow, Img("2", 1), Embedded(nested, PXC_IT_THUMBNAIL)};
      default: return {Img("0", 1), Img("0", 2, 7, 7), Img("4"), Img("0")};
    }
  }

  // New contents for `file`, and what describing it on one thread gives.
  void Rewrite(int file, int shape) {
    const ZQ_TURL url = WriteImrt(iPaths[file], Shape(shape));
    SetModified(iPaths[file], 1000000 + ++iGeneration);
    const ZQ_TList plain = Plugins({"IMRT_Plain"});
    PXC_TImageProxy proxy;
    IMR_TCore(&plain).FillImageProxy(proxy, url, PXC_FL_ALL_IMAGES, kTypes);
    iExpected[file] = Summary(proxy);
  }

  // One detection; a mismatch is recorded.
  void Detect(const IMR_TCore& shared, const IMR_TCore& context, bool sharedCore, std::mt19937& random) {
    const int file = static_cast<int>(random() % kFiles);
    const ZQ_TURL url = UrlOf(iPaths[file]);
    PXC_TImageProxy proxy;
    std::string summary;
    try {
      switch (random() % 5) {
        case 0:
          context.FillImageProxy(proxy, url, PXC_FL_ALL_IMAGES, kTypes);
          break;
        case 1:
          if (IMR_TCore::LoadProxyCache(proxy, url, kTypes)) break;
          [[fallthrough]];
        case 2:
          shared.FillImageProxy(proxy, url, PXC_FL_DETAILS, kTypes);
          break;
        default:
          if (sharedCore) shared.FillImageProxy(proxy, url, PXC_FL_ALL_IMAGES, kTypes);
          else IMR_TCore().FillImageProxy(proxy, url, PXC_FL_ALL_IMAGES, kTypes);
      }
      summary = Summary(proxy);
    } catch (const ZQ_EException& error) {
      summary = std::string(error.ClassName()) + ": " + error.Text().Std();
    }
    if (summary != iExpected[file]) {
      std::lock_guard lock(iMutex);
      if (iMismatches++ == 0) iFirstMismatch = iPaths[file] + ": " + summary + " != " + iExpected[file];
    }
  }

  static constexpr int kFiles = 24;
  static constexpr int kRounds = 4;
  static constexpr int kDetections = 64;

  std::vector<std::string> iPaths;
  std::vector<std::string> iExpected;
  int iGeneration = 0;
  std::mutex iMutex;
  int iMismatches = 0;
  std::string iFirstMismatch;
};

}  // namespace

TEST_F(Stress, ThreadsDescribingFilesThatChange) {
  const IMR_TCore shared;
  const ZQ_TList contextList = Plugins({"IMRT_Context"});
  const IMR_TCore context(&contextList);
  for (int round = 0; round < kRounds; ++round) {
    std::latch start(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
        std::mt19937 random(static_cast<unsigned>(round * kThreads + t));
        start.arrive_and_wait();
        for (int i = 0; i < kDetections; ++i) Detect(shared, context, t % 2 == 0, random);
      });
    }
    for (std::thread& thread : threads) thread.join();
    for (int file = round % 3; file < kFiles; file += 3) Rewrite(file, file + round + 1);
    for (int file = (round + 1) % 4; file < kFiles; file += 4) {
      ::removexattr(iPaths[file].c_str(), "user.imr.IMR_CACHE_IT");
    }
  }
  EXPECT_EQ(iMismatches, 0) << iFirstMismatch;
  EXPECT_EQ(Stats().exclusionViolations.load(), 0) << "a plugin that is not safe ran alongside another";
  EXPECT_GT(Stats().maxSafeInFlight.load(), 1) << "safe plugins never ran at once";
  EXPECT_EQ(Stats().contextsAlive.load(), 0);
}
