// Many threads describing files at once while the magic table grows: the
// first files seen add the shipped entries lazily, and host threads add,
// replace and reorder entries meanwhile.  Every result is checked.  The test
// runs in a process of its own, so it starts with an empty table.
#include <atomic>
#include <thread>

#include "magic_test_support.h"

namespace {

using namespace magictest;

constexpr int kThreads = 8;

// An entry the host adds; no sample carries its signature.
const char* const kHostA[] = {"[0]==1", "[1]==2", "[2]==3", "[3]==4", "FileFormat=HOST", "FillLevel=2",
                              nullptr};
const char* const* const kHost[] = {kHostA, nullptr};

class Concurrency : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(UseShippedModules()); }
  TempDir iDir;
};

// `kThreads` threads describe every file from their own starting points on
// one core (and its one magic plugin), while one host thread adds entries
// and another marks names trust-less and builds plugins over the default
// selection (the trust-less list and the selection share a lock).
TEST_F(Concurrency, OneSharedCoreWhileTheTableGrows) {
  std::vector<Sample> files;  // named by their paths
  for (int copy = 0; copy < 3; ++copy) {
    for (Sample sample : Samples()) {
      sample.name = iDir / (std::to_string(copy) + "-" + sample.name);
      WriteFile(sample.name, sample.bytes);
      files.push_back(sample);
    }
  }
  IMR_TMagic::LoadConfiguration();
  ASSERT_EQ(IMR_TMagic::MagicEntries().Entries(), 0u) << "the table must start empty";
  const IMR_TCore core;
  std::atomic<bool> done{false};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (std::size_t i = 0; i < files.size(); ++i) {
        const Sample& file = files[(i + t * files.size() / kThreads) % files.size()];
        const PXC_TFillLevel level = (i + t) % 4 == 0 ? PXC_FL_DEPENDENCIES : PXC_FL_FORMAT;
        EXPECT_EQ(FormatOf(core, file.name, level), file.format) << file.name << " at level " << level;
      }
    });
  }
  std::thread adder([&] {  // adds, replaces and merges entries
    for (int round = 0; !done.load() || round < 3; ++round) {
      const ZQ_TString name("HOST_" + std::to_string(round % 7));
      IMR_TMagic::AddMagicEntry(name, kHost);
      IMR_TMagic::UpdateDefaultSelection(name);
      for (const char* shipped : {"GIF", "TIFF", "SVG", "PNG", "TGA"}) {
        IMR_TMagic::AddMagicEntry(ZQ_TString(shipped), IMR_TMagic::MagicByName(ZQ_TString(shipped))());
      }
      IMR_TMagic::UpdateDefaultSelection(ZQ_TString());
      std::this_thread::yield();
    }
  });
  std::thread reorderer([&] {
    for (int round = 0; !done.load() || round < 3; ++round) {
      IMR_TMagic::AddInTrustLessList(ZQ_TString("HOST_LATE_" + std::to_string(round)));
      IMR_TMagic::AddInTrustLessList(ZQ_TString("HOST_" + std::to_string(round % 7)));
      IMR_TMagic plugin{ZQ_TString()};
      std::this_thread::yield();
    }
  });
  for (std::thread& thread : threads) thread.join();
  done = true;
  adder.join();
  reorderer.join();
  // The default selection names each entry once.
  const std::string items = " " + Items(IMR_TMagic(ZQ_TString()).Selection()) + " ";
  for (int i = 0; i < 7; ++i) EXPECT_LE(Count(items, " HOST_" + std::to_string(i) + " "), 1u) << items;
  EXPECT_EQ(Count(items, " GIF "), 1u);
  EXPECT_GT(IMR_TMagic::MagicEntries().Entries(), 80u);
}

}  // namespace
