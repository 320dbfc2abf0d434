// Threads sharing the image-object library: the loader while a module
// registers, the configuration while it is reloaded, buffers over one file,
// and the log.  Run under ThreadSanitizer by the tsan preset.
#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <sstream>
#include <thread>
#include <vector>

#include "msgrelay/zqmesg.h"
#include "pxc_test_support.h"

using namespace pxctest;

namespace {

constexpr int kThreads = 6;
PXC_TDynamicLoader& Loader() { return PXC_TDynamicLoader::sLoader; }

int Stable() { return 1; }
PXC_TDynamicLoader::Function AsFunction(int (*function)()) {
  return reinterpret_cast<PXC_TDynamicLoader::Function>(function);
}

template <class Body>
void RunThreads(int count, Body body) {
  std::vector<std::thread> threads;
  for (int t = 0; t < count; ++t) threads.emplace_back(body, t);
  for (std::thread& thread : threads) thread.join();
}

// Waits up to ten seconds for `flag`.
bool WaitFor(const std::atomic<bool>& flag) {
  for (int i = 0; i < 10000 && !flag.load(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return flag.load();
}

}  // namespace

namespace {
std::atomic<bool> sInsideRegistration{false};
std::atomic<bool> sSideRegistered{false};
// Holds the module's registration open until the other thread has registered.
void Gate() {
  sInsideRegistration = true;
  WaitFor(sSideRegistered);
}
}  // namespace

// Creators another thread registers while a module's registration runs are
// not filed under the module (the module being loaded was once shared by all
// threads).
TEST(Concurrency, CreatorsRegisteredDuringAModuleLoadAreNotTheModules) {
  TempDir dir;
  ScopedEnv path("IMR_PLUGIN_PATH", std::string(PXCTEST_MODULE_DIR));
  ScopedOverlay overlay(
      dir, R"({"Resources": {"Modules": {"PXC": {"Plugins": {"PXCTEST_Kind": {"alpha": "pxctest_module.so"}}}}}})");
  const std::string module = std::string(PXCTEST_MODULE_DIR) + "/pxctest_module.so";
  void* handle = ::dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(handle, nullptr) << ::dlerror();
  auto setGate = reinterpret_cast<void (*)(void (*)())>(::dlsym(handle, "PXCTEST_SetRegistrationGate"));
  ASSERT_NE(setGate, nullptr);
  setGate(&Gate);

  std::atomic<bool> loaded{false};
  RunThreads(2, [&](int t) {
    if (t == 0) {
      loaded = Loader().LoadPluginByName("PXCTEST_Kind", "alpha");
      return;
    }
    if (!WaitFor(sInsideRegistration)) return;
    Loader().RegisterProvider("PXCTEST_Side");
    Loader().RegisterCreator("PXCTEST_Side", "side", AsFunction(&Stable));
    sSideRegistered = true;
    EXPECT_EQ(Loader().Creator("PXCTEST_Side", "side"), AsFunction(&Stable));
  });
  setGate(nullptr);
  ASSERT_TRUE(loaded);
  ASSERT_TRUE(sSideRegistered);
  const ZQ_TDict side = Loader()["PXCTEST_Side"];
  ASSERT_NE(side.ValueOfKey("side"), nullptr);
  EXPECT_EQ(side.ValueOfKey("side")->ToText(), "");
  const ZQ_TDict kind = Loader()["PXCTEST_Kind"];
  ASSERT_NE(kind.ValueOfKey("alpha"), nullptr);
  EXPECT_EQ(kind.ValueOfKey("alpha")->ToText().Std(), module);
}

TEST(Concurrency, TheConfigurationIsReadWhileItIsReloaded) {
  TempDir dir;
  const std::string overlay = dir / "imr.json";
  auto write = [&](int strategy) {
    const std::string temporary = overlay + ".new";
    WriteFile(temporary, "{\"Resources\": {\"Modules\": {\"IMR\": {\"Strategy\": " +
                             std::to_string(strategy) + "}}}}");
    std::filesystem::rename(temporary, overlay);
  };
  write(5);
  ScopedEnv env("IMR_CONFIG", overlay);
  PXC_CfsReload();
  std::atomic<bool> done{false};
  std::atomic<int> wrong{0};
  RunThreads(kThreads, [&](int t) {
    if (t == 0) {
      for (int i = 0; i < 60; ++i) {
        write(5 + i % 2);
        PXC_CfsReload();
      }
      done = true;
      return;
    }
    while (!done) {
      const ZQ_TAny value = PXC_CfsWrap().Value(ZQ_TString("/Resources/Modules/IMR/Strategy"));
      const ZQ_TUInt32* number = value.DynamicCast<ZQ_TUInt32>();
      if (number == nullptr || (number->Value() != 5 && number->Value() != 6)) ++wrong;
      if (!PXC_CfsWrap().LoadError().IsEmpty()) ++wrong;
      if (!PXC_CfsWrap().HasValue(ZQ_TString("/Resources/Modules/PXC/NameSearch"))) ++wrong;
    }
  });
  EXPECT_EQ(wrong.load(), 0);
  ScopedEnv none("IMR_CONFIG", std::nullopt);
  PXC_CfsReload();
}

TEST(Concurrency, BuffersOverOneFileReadTheirOwnRanges) {
  TempDir dir;
  const std::string bytes = Pattern(3u << 20, 11);
  WriteFile(dir / "big.bin", bytes);
  std::unique_ptr<PXC_IBuffer> parent(
      PXC_IBuffer::Create(ZQ_TURL::FromPath(ZQ_TString(dir / "big.bin")), 0, 0, 16));
  auto text = [](const PXC_IBuffer& buffer) {
    return std::string(reinterpret_cast<const char*>(buffer.Data()), buffer.Size());
  };
  std::atomic<int> wrong{0};
  RunThreads(kThreads, [&](int t) {
    PXC_TBuffer buffer(*parent);
    std::unique_ptr<PXC_IBuffer> current(new PXC_TBuffer(buffer));
    for (int step = 0; step < 4 && current; ++step) {
      if (text(*current) != bytes.substr(0, current->Size())) ++wrong;
      current.reset(PXC_IBuffer::ExtendBuffer(*current));
    }
    for (int i = 0; i < 20; ++i) {
      const std::uint64_t position = (t * 104729ull + i * 65537ull) % (bytes.size() - 5000);
      buffer.ReadAt(position, 5000);
      if (text(buffer.Reserved()) != bytes.substr(position, 5000)) ++wrong;
      std::unique_ptr<PXC_IBuffer> slice(buffer.Reserved().SubBuffer(100, 200, i % 2 == 0));
      if (text(*slice) != bytes.substr(position + 100, 200)) ++wrong;
    }
  });
  EXPECT_EQ(wrong.load(), 0);
}

TEST(Concurrency, MessagesOfManyThreadsNeverInterleave) {
  constexpr int kMessages = 150;
  constexpr std::size_t kLength = 6000;
  TempDir dir;
  LogCapture log(dir);
  RunThreads(kThreads, [&](int t) {
    const std::string payload(kLength, static_cast<char>('a' + t));
    for (int i = 0; i < kMessages; ++i) {
      if (i % 2 == 0) {
        ZQMESG_Log("T%d M%d %s END\n", t, i, payload.c_str());
      } else {
        ZQMESG_Trace(0x10, 0x30, "T%d M%d %s END\n", t, i, payload.c_str());
      }
    }
  });
  std::istringstream lines(log.Text());
  std::vector<int> counts(kThreads, 0);
  int lineCount = 0;
  for (std::string line; std::getline(lines, line); ++lineCount) {
    int t = -1;
    int i = -1;
    int used = 0;
    ASSERT_EQ(std::sscanf(line.c_str(), "T%d M%d %n", &t, &i, &used), 2) << line.substr(0, 80);
    ASSERT_TRUE(t >= 0 && t < kThreads) << line.substr(0, 80);
    EXPECT_EQ(line.substr(static_cast<std::size_t>(used)),
              std::string(kLength, static_cast<char>('a' + t)) + " END");
    ++counts[static_cast<std::size_t>(t)];
  }
  EXPECT_EQ(lineCount, kThreads * kMessages);
  for (int count : counts) EXPECT_EQ(count, kMessages);
}
