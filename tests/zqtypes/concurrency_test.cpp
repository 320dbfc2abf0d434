// Threads sharing the foundation types: the reader-writer lock, and copies of
// one shared list, dictionary, variant and string that each thread changes.
// Run under ThreadSanitizer by the tsan test preset.
#include <gtest/gtest.h>

#include <atomic>
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
  std::atomic<int> readersInside{0};
  std::atomic<int> mostReadersInside{0};
  std::atomic<bool> torn{false};
  RunThreads([&](int t) {
    for (int i = 0; i < 2000; ++i) {
      if (t % 4 == 0) {
        ZQ_TLockGuard guard(lock, true);
        ++first;
        ++second;
      } else {
        ZQ_TLockGuard guard(lock, false);
        const int inside = ++readersInside;
        int most = mostReadersInside.load();
        while (inside > most && !mostReadersInside.compare_exchange_weak(most, inside)) {
        }
        if (first != second) torn = true;
        --readersInside;
      }
    }
  });
  EXPECT_FALSE(torn);
  EXPECT_EQ(first, 2 * 2000);
  EXPECT_EQ(second, first);
  // Readers may share the lock; that they did is likely but not certain.
  EXPECT_GE(mostReadersInside.load(), 1);
}

TEST(Concurrency, ExplicitLockAndUnlock) {
  ZQ_TRWLock lock;
  std::vector<int> values;
  RunThreads([&](int t) {
    for (int i = 0; i < 200; ++i) {
      lock.LockExclusive();
      values.push_back(t);
      lock.UnlockExclusive();
      lock.LockShared();
      EXPECT_FALSE(values.empty());
      lock.UnlockShared();
    }
  });
  EXPECT_EQ(values.size(), static_cast<std::size_t>(kThreads * 200));
}

TEST(Concurrency, CopiesOfOneSharedListChangedInEachThread) {
  ZQ_TDict inner;
  inner.Add("shared", ZQ_TString(std::string(30, 's')));
  ZQ_TList shared{"a", ZQ_TString(std::string(40, 'b')), 7u, true, ZQ_TAny(inner)};
  const ZQ_TList snapshot = shared;
  RunThreads([&](int t) {
    for (int i = 0; i < 300; ++i) {
      ZQ_TList mine = shared;  // concurrent copies of one list
      mine.AddAtTail(t);
      mine[0] = ZQ_TAny(ZQ_TString(std::to_string(t)));
      mine[4].DynamicCast<ZQ_TDict>()->Add("thread", t);
      mine.RemoveAt(1);
      EXPECT_EQ(mine.Entries(), 5u);
      EXPECT_EQ(mine[0], ZQ_TAny(ZQ_TString(std::to_string(t))));
      const ZQ_TList again = mine;  // a copy of the own copy, read while shared
      EXPECT_EQ(again[3].DynamicCast<ZQ_TDict>()->Entries(), 2u);
    }
  });
  EXPECT_EQ(shared, snapshot);
  EXPECT_EQ(std::as_const(shared)[4].DynamicCast<ZQ_TDict>()->Entries(), 1u);
}

TEST(Concurrency, CopiesOfOneSharedDictChangedInEachThread) {
  ZQ_TDict shared;
  for (int i = 0; i < 20; ++i) shared.Add("key" + std::to_string(i), i);
  const ZQ_TDict snapshot = shared;
  RunThreads([&](int t) {
    for (int i = 0; i < 300; ++i) {
      ZQ_TDict mine = shared;
      EXPECT_TRUE(mine.HasKey("key7"));
      mine.Add("key7", 1000 + t);
      mine.Remove("key3");
      mine.Add("thread" + std::to_string(t), t);
      ZQ_TIterator<ZQ_TDict> it(mine);
      it.Value() = "first";
      EXPECT_EQ(*mine.ValueOfKey("key7"), ZQ_TAny(1000 + t));
      EXPECT_FALSE(mine.HasKey("key3"));
    }
  });
  EXPECT_EQ(shared, snapshot);
  EXPECT_EQ(*shared.ValueOfKey("key0"), ZQ_TAny(0));
}

TEST(Concurrency, CopiesOfOneSharedVariantAndString) {
  ZQ_TList list{1, 2, 3};
  const ZQ_TAny shared(list);
  const ZQ_TAny text(ZQ_TString(std::string(64, 't')));
  const ZQ_TString string(std::string(64, 'u'));
  RunThreads([&](int t) {
    for (int i = 0; i < 300; ++i) {
      ZQ_TAny mine = shared;
      ZQ_TList* mutableList = mine.DynamicCast<ZQ_TList>();
      ASSERT_NE(mutableList, nullptr);
      mutableList->AddAtTail(t);
      EXPECT_EQ(std::as_const(mine).DynamicCast<ZQ_TList>()->Entries(), 4u);
      ZQ_TAny textCopy = text;
      ZQ_TString stringCopy = string;
      stringCopy += "!";
      EXPECT_EQ(textCopy, text);
      EXPECT_EQ(stringCopy.Length(), 65u);
    }
  });
  EXPECT_EQ(shared.DynamicCast<ZQ_TList>()->Entries(), 3u);
  EXPECT_EQ(string.Length(), 64u);
}

TEST(Concurrency, StreamsAndRegistryFromManyThreads) {
  ZQ_TDict dict;
  dict.Add("list", ZQ_TAny(ZQ_TList{"x", 1u, false}));
  dict.Add("url", ZQ_TAny(ZQ_TURL("/tmp/x")));
  RunThreads([&](int) {
    for (int i = 0; i < 100; ++i) {
      EXPECT_TRUE(__ZQ_INITIALIZATION_FUNCTION_zqtypes__());
      ZQ_TMemoryStream memory;
      ZQ_TDataStream packed(memory);
      packed.Insert(dict);
      memory.Seek(0);
      ZQ_TObject* back = packed.Extract();
      ASSERT_NE(ZQ_CAST(ZQ_TDict, back), nullptr);
      EXPECT_EQ(*ZQ_CAST(ZQ_TDict, back), dict);
      delete back;
      ZQ_TMemoryStream text;
      ZQ_THumanReadableStream readable(text);
      readable.Insert(dict);
      text.Seek(0);
      back = readable.Extract();
      EXPECT_NE(ZQ_CAST(ZQ_TDict, back), nullptr);
      delete back;
    }
  });
}
