// Threads sharing the foundation types: the reader-writer lock, copies of one
// shared list, dictionary, variant and string that each thread changes, and
// the streams and class registry.  Run under ThreadSanitizer by the tsan
// test preset.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "zqtypes/zqtypes.h"

namespace {

constexpr int kThreads = 8;

template <class Body>
void RunThreads(Body body) {
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) threads.emplace_back(body, t);
  for (std::thread& thread : threads) thread.join();
}

}  // namespace

TEST(Concurrency, ReaderWriterLockKeepsAPairConsistent) {
  ZQ_TRWLock lock;
  long first = 0;
  long second = 0;
  std::atomic<bool> torn{false};
  RunThreads([&](int t) {
    for (int i = 0; i < 2000; ++i) {
      if (t % 4 == 0) {
        ZQ_TLockGuard guard(lock, true);
        ++first;
        ++second;
      } else {
        ZQ_TLockGuard guard(lock, false);
        if (first != second) torn = true;
      }
      if (i % 10 == 0) {  // the explicit calls as well
        lock.LockShared();
        if (first != second) torn = true;
        lock.UnlockShared();
      }
    }
  });
  EXPECT_FALSE(torn);
  EXPECT_EQ(first, 2 * 2000);
  EXPECT_EQ(second, first);
}

TEST(Concurrency, CopiesOfSharedContainersChangedInEachThread) {
  ZQ_TDict inner;
  inner.Add("shared", ZQ_TString(std::string(30, 's')));
  const ZQ_TList list{"a", ZQ_TString(std::string(40, 'b')), 7u, true, ZQ_TAny(inner)};
  ZQ_TDict dict;
  for (int i = 0; i < 20; ++i) dict.Add("key" + std::to_string(i), i);  // indexed
  const ZQ_TAny variant(ZQ_TList{1, 2, 3});
  const ZQ_TString string(std::string(64, 'u'));
  const ZQ_TList listBefore = list;
  const ZQ_TDict dictBefore = dict;
  RunThreads([&](int t) {
    for (int i = 0; i < 300; ++i) {
      ZQ_TList myList = list;
      myList.AddAtTail(t);
      myList[0] = ZQ_TAny(ZQ_TString(std::to_string(t)));
      myList[4].DynamicCast<ZQ_TDict>()->Add("thread", t);
      myList.RemoveAt(1);

      ZQ_TDict myDict = dict;
      myDict.Add("key7", 1000 + t);
      myDict.Remove("key3");
      EXPECT_EQ(*myDict.ValueOfKey("key7"), ZQ_TAny(1000 + t));
      EXPECT_FALSE(myDict.HasKey("key3"));

      ZQ_TAny myVariant = variant;
      myVariant.DynamicCast<ZQ_TList>()->AddAtTail(t);
      EXPECT_EQ(std::as_const(myVariant).DynamicCast<ZQ_TList>()->Entries(), 4u);
      ZQ_TString myString = string;
      myString += "!";
      EXPECT_EQ(myString.Length(), 65u);
    }
  });
  EXPECT_EQ(list, listBefore);
  EXPECT_EQ(std::as_const(list)[4].DynamicCast<ZQ_TDict>()->Entries(), 1u);
  EXPECT_EQ(dict, dictBefore);
  EXPECT_EQ(variant.DynamicCast<ZQ_TList>()->Entries(), 3u);
  EXPECT_EQ(string.Length(), 64u);
}

TEST(Concurrency, StreamsAndRegistryFromManyThreads) {
  ZQ_TDict dict;
  dict.Add("list", ZQ_TAny(ZQ_TList{"x", 1u, false}));
  dict.Add("url", ZQ_TAny(ZQ_TURL("/tmp/x")));
  RunThreads([&](int) {
    for (int i = 0; i < 100; ++i) {
      EXPECT_TRUE(__ZQ_INITIALIZATION_FUNCTION_zqtypes__());
      ZQ_TMemoryStream packed;
      ZQ_TDataStream data(packed);
      data.Insert(dict);
      packed.Seek(0);
      std::unique_ptr<ZQ_TObject> back(data.Extract());
      ASSERT_NE(ZQ_CAST(ZQ_TDict, back.get()), nullptr);
      EXPECT_EQ(*ZQ_CAST(ZQ_TDict, back.get()), dict);
    }
  });
}
