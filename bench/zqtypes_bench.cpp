// Copies of the foundation types next to their std counterparts, and
// dictionary look-ups.  Lists, dictionaries and long strings share their
// storage between copies, so a copy should cost an atomic increment.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "zqtypes/zqtypes.h"

namespace {

const std::string kShort[2] = {"IMR_TMagic", ""};
const std::string kLong[2] = {"IMR_TMagicNumberDetector", "application/octet-stream"};

template <class T>
void Copy(benchmark::State& state, const T& original) {
  for (auto _ : state) {
    T copy(original);
    benchmark::DoNotOptimize(copy);
    benchmark::ClobberMemory();
  }
}

ZQ_TList ZQList(const std::string (&texts)[2]) {
  ZQ_TList list;
  for (const std::string& text : texts) list.AddAtTail(ZQ_TString(text));
  return list;
}

std::vector<std::string> StdVector(const std::string (&texts)[2]) {
  return {texts[0], texts[1]};
}

std::string Key(int i) { return "property_" + std::to_string(i); }
std::string Value(int i) { return "value number " + std::to_string(i); }

ZQ_TDict ZQDict(int entries) {
  ZQ_TDict dict;
  for (int i = 0; i < entries; ++i) dict.Add(Key(i), ZQ_TString(Value(i)));
  return dict;
}

template <class Map>
Map StdMap(int entries) {
  Map map;
  for (int i = 0; i < entries; ++i) map.emplace(Key(i), Value(i));
  return map;
}

void BM_ListCopy_ZQ_Short(benchmark::State& s) { Copy(s, ZQList(kShort)); }
void BM_ListCopy_Std_Short(benchmark::State& s) { Copy(s, StdVector(kShort)); }
void BM_ListCopy_ZQ_Long(benchmark::State& s) { Copy(s, ZQList(kLong)); }
void BM_ListCopy_Std_Long(benchmark::State& s) { Copy(s, StdVector(kLong)); }

void BM_DictCopy10_ZQ(benchmark::State& s) { Copy(s, ZQDict(10)); }
void BM_DictCopy10_StdMap(benchmark::State& s) {
  Copy(s, StdMap<std::map<std::string, std::string>>(10));
}
void BM_DictCopy10_StdUnorderedMap(benchmark::State& s) {
  Copy(s, StdMap<std::unordered_map<std::string, std::string>>(10));
}

void BM_AnyCopy_Text(benchmark::State& s) { Copy(s, ZQ_TAny(ZQ_TString(kShort[0]))); }
void BM_AnyCopy_LongText(benchmark::State& s) { Copy(s, ZQ_TAny(ZQ_TString(kLong[0]))); }
void BM_AnyCopy_Object(benchmark::State& s) { Copy(s, ZQ_TAny(ZQDict(10))); }

void BM_StringCopy_ZQ_Short(benchmark::State& s) { Copy(s, ZQ_TString(kShort[0])); }
void BM_StringCopy_Std_Short(benchmark::State& s) { Copy(s, kShort[0]); }
void BM_StringCopy_ZQ_Long(benchmark::State& s) { Copy(s, ZQ_TString(kLong[0])); }
void BM_StringCopy_Std_Long(benchmark::State& s) { Copy(s, kLong[0]); }

// Looks up every key in turn, each one present.
void BM_DictLookup_ZQ(benchmark::State& state) {
  const int entries = static_cast<int>(state.range(0));
  const ZQ_TDict dict = ZQDict(entries);
  std::vector<std::string> keys;
  for (int i = 0; i < entries; ++i) keys.push_back(Key(i));
  std::size_t next = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(dict.ValueOfKey(keys[next]));
    if (++next == keys.size()) next = 0;
  }
}

void BM_DictLookup_StdUnorderedMap(benchmark::State& state) {
  const int entries = static_cast<int>(state.range(0));
  const auto map = StdMap<std::unordered_map<std::string, std::string>>(entries);
  std::vector<std::string> keys;
  for (int i = 0; i < entries; ++i) keys.push_back(Key(i));
  std::size_t next = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(map.find(keys[next]));
    if (++next == keys.size()) next = 0;
  }
}

// The least a shared copy can cost: one atomic increment to copy and one
// atomic decrement to destroy, as ZQ_TShared does.
void BM_Reference_AtomicIncDec(benchmark::State& state) {
  std::atomic<std::uint32_t> refs{1};
  for (auto _ : state) {
    refs.fetch_add(1, std::memory_order_relaxed);
    benchmark::ClobberMemory();
    if (refs.fetch_sub(1, std::memory_order_acq_rel) == 1) benchmark::DoNotOptimize(refs);
  }
}

}  // namespace

BENCHMARK(BM_Reference_AtomicIncDec);
BENCHMARK(BM_ListCopy_ZQ_Short);
BENCHMARK(BM_ListCopy_Std_Short);
BENCHMARK(BM_ListCopy_ZQ_Long);
BENCHMARK(BM_ListCopy_Std_Long);
BENCHMARK(BM_DictCopy10_ZQ);
BENCHMARK(BM_DictCopy10_StdMap);
BENCHMARK(BM_DictCopy10_StdUnorderedMap);
BENCHMARK(BM_AnyCopy_Text);
BENCHMARK(BM_AnyCopy_LongText);
BENCHMARK(BM_AnyCopy_Object);
BENCHMARK(BM_StringCopy_ZQ_Short);
BENCHMARK(BM_StringCopy_Std_Short);
BENCHMARK(BM_StringCopy_ZQ_Long);
BENCHMARK(BM_StringCopy_Std_Long);
BENCHMARK(BM_DictLookup_ZQ)->Arg(10)->Arg(100);
BENCHMARK(BM_DictLookup_StdUnorderedMap)->Arg(10)->Arg(100);

BENCHMARK_MAIN();
