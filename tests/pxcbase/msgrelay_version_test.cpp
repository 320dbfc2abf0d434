// Trace and log output, and the version registry.
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "msgrelay/zqmesg.h"
#include "pxc_test_support.h"
#include "pxcver/pxc_version.h"

using namespace pxctest;

// Traces are written only when the mask selects them; the log file variable
// is read at every message, and its files are appended to whole.
TEST(Messages, TracesFollowTheMaskAndTheLogFileVariableRedirects) {
  TempDir dir;
  const std::string longText(100000, 'x');
  {
    LogCapture first(dir, "first.log");
    EXPECT_EQ(ZQMESG_CheckTrace(0x04, 0x02), 0);
    ZQMESG_Trace(0x04, 0x02, "hidden %d\n", 1);
    ZQMESG_Trace(0, 0xFFFFFFFF, "hidden %d\n", 2);
    ZQMESG_Trace(0x06, 0x02, "shown %d %s\n", 3, "three");
    {
      LogCapture second(dir, "second.log");
      ZQMESG_Log("two %s\n", longText.c_str());
      EXPECT_EQ(second.Text(), "two " + longText + "\n");
    }
    ZQMESG_Log("logged\n");
    EXPECT_EQ(first.Text(), "shown 3 three\nlogged\n");
  }
  LogCapture again(dir, "first.log");
  ZQMESG_Log("four\n");
  EXPECT_EQ(again.Text(), "shown 3 three\nlogged\nfour\n");
}

TEST(Messages, SwitchingBackAndForthBetweenLogFilesUsesNoMoreDescriptors) {
  TempDir dir;
  // Few descriptors to spare: a file opened anew at every switch runs out.
  std::size_t open = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    ++open;
  }
  struct rlimit old {};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &old), 0);
  {
    struct Restore {
      rlimit limit;
      ~Restore() { ::setrlimit(RLIMIT_NOFILE, &limit); }
    } restore{old};
    struct rlimit few = old;
    few.rlim_cur = open + 32;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &few), 0);
    for (int i = 0; i < 200; ++i) {
      ScopedEnv file("ZQMESG_LOG_FILE", dir / (i % 2 == 0 ? "even.log" : "odd.log"));
      ZQMESG_Log("%d\n", i);
    }
  }
  EXPECT_EQ(Count(ReadFile(dir / "even.log"), "\n"), 100u);
  EXPECT_EQ(Count(ReadFile(dir / "odd.log"), "\n"), 100u);
}

// Without a log file, or with one that cannot be opened, messages go to
// standard error.
TEST(Messages, WithoutALogFileMessagesGoToStandardError) {
  TempDir dir;
  for (const std::optional<std::string>& file : {std::optional<std::string>(),
                                                 std::optional<std::string>(dir / "no/such.log")}) {
    ScopedEnv env("ZQMESG_LOG_FILE", file);
    ::testing::internal::CaptureStderr();
    ZQMESG_Log("to stderr %d\n", 1);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "to stderr 1\n");
  }
}

namespace {

using Records = std::vector<const PXC_TVersionRecord*>;

// Those of the sorted records that are among `ours`, in their order.
Records SortedOf(const Records& ours) {
  const int count = PXC_VersionSorted(nullptr, 0);
  Records records(static_cast<std::size_t>(count));
  EXPECT_EQ(PXC_VersionSorted(records.data(), count), count);
  std::erase_if(records, [&](const PXC_TVersionRecord* r) { return std::count(ours.begin(), ours.end(), r) == 0; });
  return records;
}

}  // namespace

// Records sort by name, then by version; a block registered twice is
// listed once, and records linked in later are seen.
TEST(Versions, BlocksAreListedOnceAndSorted) {
  static PXC_TVersionRecord third{"pxctest_alpha", 1, 9, "c.cpp", "Jan  1 2026/00:00:00", nullptr};
  static PXC_TVersionRecord second{"pxctest_zeta", 1, 1, "b.cpp", "Jan  1 2026/00:00:00", &third};
  static PXC_TVersionRecord first{"pxctest_alpha", 2, 5, "a.cpp", "Jan  1 2026/00:00:00", &second};
  static PXC_TVersionBlock block{&first, 0, "pxctest"};
  static PXC_TVersionRecord late{"pxctest_alpha", 2, 3, "d.cpp", "Feb  2 2026/12:00:00", nullptr};

  const int before = PXC_VersionSorted(nullptr, 0);
  PXC_VersionRegister(&block);
  PXC_VersionRegister(&block);
  PXC_VersionRegister(nullptr);
  EXPECT_EQ(PXC_VersionSorted(nullptr, 0), before + 3);
  EXPECT_EQ(SortedOf({&first, &second, &third}), (Records{&third, &first, &second}));

  // A record linked in after registration is seen.
  late.next = block.head;
  block.head = &late;
  EXPECT_EQ(PXC_VersionSorted(nullptr, 0), before + 4);
  EXPECT_EQ(SortedOf({&first, &second, &third, &late}), (Records{&third, &late, &first, &second}));

  TempDir dir;
  std::FILE* out = std::fopen((dir / "versions.txt").c_str(), "w");
  ASSERT_NE(out, nullptr);
  PXC_VersionPrint(out);
  std::fclose(out);
  const std::string printed = ReadFile(dir / "versions.txt");
  EXPECT_EQ(Count(printed, "pxctest "), 4u) << printed;
  EXPECT_NE(printed.find("d.cpp"), std::string::npos) << printed;
}
