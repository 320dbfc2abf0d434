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
const char* const kHostA[] = {"[0]==0x01", "[1]==0x02", "[2]==0x03", "[3]==0x04", "FileFormat=HOST",
                              "FillLevel=2", nullptr};
const char* const* const kHost[] = {kHostA, nullptr};

struct File {
  std::string path;
  std::string format;
};

class Concurrency : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(UseShippedModules()); }

  void SetUp() override {
    for (int copy = 0; copy < 3; ++copy) {
      for (const Sample& sample : Samples()) {
        File file{iDir / (std::to_string(copy) + "-" + sample.name), sample.format};
        WriteFile(file.path, sample.bytes);
        iFiles.push_back(file);
      }
    }
  }

  // What `core` makes of `file`: its format, "" when declined, or the error.
  static std::string Describe(const IMR_TCore& core, const File& file, PXC_TFillLevel level) {
    PXC_TImageProxy proxy;
    try {
      core.FillImageProxy(proxy, ZQ_TURL::FromPath(ZQ_TString(file.path)), level, IMR_IT_ALL);
      const PXC_TImageTicket* selected = proxy.Selected();
      if (selected == nullptr) return "!no selected image";
      if (selected->FillLevel() < level) return "!filled to " + std::to_string(selected->FillLevel());
      return selected->FileFormat().Std();
    } catch (const IMR_EPluginFileNotRecognized&) {
      return "";
    } catch (const ZQ_EException& error) {
      return std::string("!") + error.ClassName() + ": " + error.Text().Std();
    }
  }

  // Runs `kThreads` describing threads, each over every file from its own
  // starting point, with the host threads running alongside until they end.
  // `coreOf(thread)` gives the core a thread uses.
  template <class CoreOf>
  void RunAll(CoreOf coreOf) {
    std::atomic<bool> done{false};
    std::atomic<int> checked{0};
    std::vector<std::string> failures[kThreads];
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
        const IMR_TCore& core = coreOf(t);
        for (std::size_t i = 0; i < iFiles.size(); ++i) {
          const File& file = iFiles[(i + t * iFiles.size() / kThreads) % iFiles.size()];
          const PXC_TFillLevel level = (i + t) % 4 == 0 ? PXC_FL_DEPENDENCIES : PXC_FL_FORMAT;
          const std::string format = Describe(core, file, level);
          if (format != file.format && failures[t].size() < 5) {
            failures[t].push_back(file.path + " at level " + std::to_string(level) + ": got '" +
                                  format + "', want '" + file.format + "'");
          }
          ++checked;
        }
      });
    }
    // Host threads: one adds, replaces and merges entries, one marks them
    // trust-less and builds plugins over the default selection.
    std::thread adder([&] {
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
    EXPECT_EQ(checked.load(), static_cast<int>(kThreads * iFiles.size()));
    for (int t = 0; t < kThreads; ++t) {
      for (const std::string& failure : failures[t]) ADD_FAILURE() << "thread " << t << ": " << failure;
    }
    // The default selection names each host entry once.
    IMR_TMagic plugin{ZQ_TString()};
    const std::string items = " " + Items(plugin.Selection()) + " ";
    for (int i = 0; i < 7; ++i) {
      EXPECT_LE(Count(items, " HOST_" + std::to_string(i) + " "), 1u) << items;
    }
    EXPECT_EQ(Count(items, " GIF "), 1u);
  }

  TempDir iDir;
  std::vector<File> iFiles;
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

TEST_F(Concurrency, OnePluginOverBuffersInMemory) {
  // The plugin alone, as a host with its own pipeline would call it.
  IMR_TMagic plugin{ZQ_TString()};
  const std::vector<Sample> samples = Samples();
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (std::size_t i = 0; i < 4 * samples.size(); ++i) {
        const Sample& sample = samples[(i * 7 + t * 13) % samples.size()];
        PXC_TBuffer buffer = Buffer(sample.bytes);
        PXC_TImageTicket ticket;
        const IMR_TPluginStatus status = plugin.ImageInfo(buffer, ticket, PXC_FL_FORMAT, 0, IMR_IT_ALL);
        const bool recognized = status == IMR_PS_RECOGNIZED;
        if (recognized != !sample.format.empty() ||
            (recognized && ticket.FileFormat().Std() != sample.format)) {
          ++wrong;
        }
      }
    });
  }
  std::thread adder([] {
    for (int round = 0; round < 20; ++round) {
      IMR_TMagic::AddMagicEntry(ZQ_TString("JPEG"), IMR_TMagic::MagicByName(ZQ_TString("JPEG"))());
      IMR_TMagic::AddMagicEntry(ZQ_TString("HOST_X"), kHost);
    }
  });
  for (std::thread& thread : threads) thread.join();
  adder.join();
  EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
