// Threads describing the same real files at mixed levels through one cached
// core, so that they write, read and raise one another's records: every
// answer is one that a single thread gives, and the records left behind
// answer as a fresh description does.
#include <gtest/gtest.h>

#include <latch>
#include <mutex>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include "tests/system/system_samples.h"

namespace systemtest {
namespace {

constexpr IMR_TImageTypes kTypes = IMR_IT_MAIN | IMR_IT_THUMBNAIL | IMR_IT_PREVIEW;
constexpr PXC_TFillLevel kLevels[] = {PXC_FL_FORMAT, PXC_FL_ALL_IMAGES, PXC_FL_DEPENDENCIES};

std::string Described(const IMR_TCore& core, const ZQ_TURL& url, PXC_TFillLevel level) {
  PXC_TImageProxy proxy;
  try {
    core.FillImageProxy(proxy, url, level, kTypes);
  } catch (const ZQ_EException& error) {
    return error.ClassName();
  }
  std::ostringstream text;
  text << proxy.IndexOfSelected() << '\n';
  for (std::uint32_t i = 0; i < proxy.Entries(); ++i) proxy.TicketAt(i).PrintOn(text);
  return text.str();
}

TEST(SystemConcurrency, ThreadsRaiseAndReadRecordsOfTheSameFiles) {
  StartLibrary();
  const testsupport::TempDir dir;
  const std::vector<Sample> samples = CopySamples(dir);
  // What one thread gives at each level; a record of a deeper level may
  // answer a request, so a request at level L may get any level from L on.
  std::vector<std::vector<std::string>> fresh(samples.size());
  for (std::size_t i = 0; i < samples.size(); ++i) {
    for (PXC_TFillLevel level : kLevels) fresh[i].push_back(Described(UncachedCore(), samples[i].url, level));
  }

  const IMR_TCore cached;
  constexpr int kThreads = 4;
  constexpr int kDetections = 400;
  std::mutex mutex;
  std::vector<std::string> mismatches;
  std::latch start(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      std::mt19937 random(static_cast<unsigned>(t));
      start.arrive_and_wait();
      for (int d = 0; d < kDetections; ++d) {
        // A few files, so that the threads meet on them.
        const std::size_t file = random() % 24 * (samples.size() / 24);
        const std::size_t level = random() % std::size(kLevels);
        const std::string answer = Described(cached, samples[file].url, kLevels[level]);
        const std::set<std::string> allowed(fresh[file].begin() + static_cast<long>(level), fresh[file].end());
        if (allowed.count(answer) == 0) {
          std::lock_guard lock(mutex);
          mismatches.push_back(samples[file].name + " at level " + std::to_string(kLevels[level]) + ":\n" +
                               answer);
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_TRUE(mismatches.empty()) << mismatches.size() << " answers no thread alone gives, first:\n"
                                  << mismatches.front();
  for (std::size_t i = 0; i < samples.size(); ++i) {
    EXPECT_EQ(Described(cached, samples[i].url, PXC_FL_DEPENDENCIES), fresh[i].back()) << samples[i].name;
  }
}

}  // namespace
}  // namespace systemtest
