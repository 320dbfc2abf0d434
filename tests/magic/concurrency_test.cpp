// Many threads describing files at once while the magic table grows: the
// first files seen add the shipped entries lazily, and host threads add,
// replace and reorder entries meanwhile.  Every result is checked.  Each test
// runs in a process of its own, so each starts with an empty table.
#include <atomic>
#include <thread>

#include "magic_samples.h"
#include "magic_test_support.h"

namespace {

using namespace magictest;

constexpr int kThreads = 8;

// An entry the host adds; no sample carries its signature.
const char* const kHostA[] = {"[0]==1", "[1]==2", "[2]==3", "[3]==4", "FileFormat=HOST", "FillLevel=2",
                              nullptr};
const char* const* const kHost[] = {kHostA, nullptr};

// Host edits while threads match: adding, replacing and merging entries.
void AddEntries(int round) {
  const ZQ_TString name("HOST_" + std::to_string(round % 7));
  IMR_TMagic::AddMagicEntry(name, kHost);
  IMR_TMagic::UpdateDefaultSelection(name);
  for (const char* shipped : {"GIF", "TIFF", "SVG", "PNG", "TGA"}) {
    IMR_TMagic::AddMagicEntry(ZQ_TString(shipped), IMR_TMagic::MagicByName(ZQ_TString(shipped))());
  }
  IMR_TMagic::UpdateDefaultSelection(ZQ_TString());
}

class Concurrency : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(UseShippedModules()); }

  void SetUp() override {
    for (int copy = 0; copy < 3; ++copy) {
      for (Sample sample : Samples()) {
        sample.name = iDir / (std::to_string(copy) + "-" + sample.name);
        WriteFile(sample.name, sample.bytes);
        iFiles.push_back(sample);
      }
    }
  }

  // Runs `kThreads` threads, each describing every file from its own
  // starting point on the core `coreOf(thread)` and through one shared
  // plugin, while one host thread adds entries and another marks names
  // trust-less and builds plugins over the default selection.
  template <class CoreOf>
  void RunAll(CoreOf coreOf) {
    std::atomic<bool> done{false};
    std::atomic<int> checked{0};
    std::vector<std::string> failures[kThreads];
    IMR_TMagic plugin{ZQ_TString()};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
        const IMR_TCore& core = coreOf(t);
        for (std::size_t i = 0; i < iFiles.size(); ++i) {
          const Sample& file = iFiles[(i + t * iFiles.size() / kThreads) % iFiles.size()];
          const PXC_TFillLevel level = (i + t) % 4 == 0 ? PXC_FL_DEPENDENCIES : PXC_FL_FORMAT;
          std::string format = FormatOf(core, file.name, level);
          // The shared plugin alone, as a host with its own pipeline would call it.
          PXC_TBuffer buffer = Buffer(file.bytes);
          PXC_TImageTicket ticket;
          if (plugin.ImageInfo(buffer, ticket, PXC_FL_FORMAT, 0, IMR_IT_ALL) != IMR_PS_RECOGNIZED) {
            ticket = PXC_TImageTicket();
          }
          const std::string alone = ticket.FileFormat().Std();
          if (alone != file.format) format += " (the plugin alone: " + alone + ")";
          if (format != file.format && failures[t].size() < 5) {
            failures[t].push_back(file.name + " at level " + std::to_string(level) + ": got '" + format +
                                  "', want '" + file.format + "'");
          }
          ++checked;
        }
      });
    }
    std::thread adder([&] {
      for (int round = 0; !done.load() || round < 3; ++round) {
        AddEntries(round);
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
    EXPECT_EQ(checked.load(), static_cast<int>(kThreads * iFiles.size()));
    for (int t = 0; t < kThreads; ++t) {
      for (const std::string& failure : failures[t]) ADD_FAILURE() << "thread " << t << ": " << failure;
    }
    // The default selection names each entry once.
    const std::string items = " " + Items(IMR_TMagic(ZQ_TString()).Selection()) + " ";
    for (int i = 0; i < 7; ++i) EXPECT_LE(Count(items, " HOST_" + std::to_string(i) + " "), 1u) << items;
    EXPECT_EQ(Count(items, " GIF "), 1u);
  }

  TempDir iDir;
  std::vector<Sample> iFiles;  // named by their paths
};

TEST_F(Concurrency, OneSharedCoreWhileTheTableGrows) {
  IMR_TMagic::LoadConfiguration();
  ASSERT_EQ(IMR_TMagic::MagicEntries().Entries(), 0u) << "the table must start empty";
  const IMR_TCore core;
  RunAll([&](int) -> const IMR_TCore& { return core; });
  EXPECT_GT(IMR_TMagic::MagicEntries().Entries(), 80u);
}

TEST_F(Concurrency, SeparateCoresWhileTheTableGrows) {
  std::vector<std::unique_ptr<IMR_TCore>> cores;
  for (int t = 0; t < kThreads; ++t) cores.push_back(std::make_unique<IMR_TCore>());
  IMR_TMagic::LoadConfiguration();
  ASSERT_EQ(IMR_TMagic::MagicEntries().Entries(), 0u) << "the table must start empty";
  RunAll([&](int t) -> const IMR_TCore& { return *cores[t]; });
}

}  // namespace
