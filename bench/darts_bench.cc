// Double-array trie: build time for both routes, and lookup rates with and
// without the unit-count bound that protects searches from damaged files.
//
//   build/bench/darts_bench --benchmark_filter=Build
//   build/bench/darts_bench --benchmark_filter='Match|Prefix'
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "dict/Darts.h"

namespace {

// Dictionary-like keys: one to four double-byte characters from the GBK
// hanzi area, sorted and unique.
std::vector<std::string> MakeKeys(std::size_t count, uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> lead(0xB0, 0xF7);
  std::uniform_int_distribution<int> trail(0xA1, 0xFE);
  std::uniform_int_distribution<int> chars(1, 4);
  std::vector<std::string> keys;
  keys.reserve(count + count / 8);
  while (keys.size() < count) {
    std::string key;
    for (int n = chars(rng); n > 0; --n) {
      key += static_cast<char>(lead(rng));
      key += static_cast<char>(trail(rng));
    }
    keys.push_back(key);
    if (keys.size() == count) {
      std::sort(keys.begin(), keys.end());
      keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    }
  }
  return keys;
}

struct KeyList {
  std::vector<std::string> keys;
  std::vector<const char*> pointers;
  std::vector<std::size_t> lengths;
  std::vector<int> values;
};

const KeyList& Keys(std::size_t count) {
  static std::vector<std::pair<std::size_t, KeyList*>> cache;
  for (auto& entry : cache) {
    if (entry.first == count) return *entry.second;
  }
  KeyList* list = new KeyList;
  list->keys = MakeKeys(count, 42);
  for (std::size_t i = 0; i < list->keys.size(); ++i) {
    list->pointers.push_back(list->keys[i].c_str());
    list->lengths.push_back(list->keys[i].size());
    list->values.push_back(static_cast<int>(i % 5000));  // repeats: DAWG shares
  }
  cache.emplace_back(count, list);
  return *list;
}

void BM_BuildKeyset(benchmark::State& state) {
  const KeyList& list = Keys(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    Darts::DoubleArray trie;
    trie.build(list.pointers.size(), list.pointers.data(), list.lengths.data());
    state.counters["units"] = static_cast<double>(trie.size());
  }
  state.SetItemsProcessed(state.iterations() * list.pointers.size());
}
BENCHMARK(BM_BuildKeyset)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_BuildDawg(benchmark::State& state) {
  const KeyList& list = Keys(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    Darts::DoubleArray trie;
    trie.build(list.pointers.size(), list.pointers.data(), list.lengths.data(),
               list.values.data());
    state.counters["units"] = static_cast<double>(trie.size());
  }
  state.SetItemsProcessed(state.iterations() * list.pointers.size());
}
BENCHMARK(BM_BuildDawg)->Arg(1000000)->Unit(benchmark::kMillisecond);

// A built trie and lookup inputs in a shuffled order, so that successive
// lookups do not walk the array in key order.
struct LookupSet {
  Darts::DoubleArray trie;
  std::vector<std::string> queries;  // keys, then text runs for prefix search
};

const LookupSet& Lookups(std::size_t count) {
  static std::vector<std::pair<std::size_t, LookupSet*>> cache;
  for (auto& entry : cache) {
    if (entry.first == count) return *entry.second;
  }
  const KeyList& list = Keys(count);
  LookupSet* set = new LookupSet;
  set->trie.build(list.pointers.size(), list.pointers.data(), list.lengths.data());
  set->queries = list.keys;
  std::mt19937 rng(7);
  std::shuffle(set->queries.begin(), set->queries.end(), rng);
  if (set->queries.size() > 200000) set->queries.resize(200000);
  cache.emplace_back(count, set);
  return *set;
}

// How a lookup guards its reads:
//   kUnchecked: the bare walk with no check at all (the baseline);
//   kShipped:   the public search on an array verified when it was loaded,
//               which checks its start node only (what every dictionary
//               runs);
//   kPerStep:   a bound check before every read (arrays that fail the
//               load-time check).
// Every variant is a call that the compiler may not inline or specialise,
// and reads the unit pointer from the trie object, as a dictionary lookup
// called from the lattice builder does; the baseline also keeps the public
// search's handling of a zero length, so the variants differ only in their
// checks.
enum Guard { kUnchecked, kShipped, kPerStep };

const uint32_t* UnitsOf(const Darts::DoubleArray& trie) {
  return static_cast<const uint32_t*>(trie.array());
}

template <int kGuard>
__attribute__((noipa)) long ExactLookup(const Darts::DoubleArray& trie,
                                        const char* key, std::size_t length) {
  if (kGuard == kShipped) return trie.exactMatchSearch(key, length);
  if (length == 0) length = std::strlen(key);
  auto bytes = reinterpret_cast<const Darts::Details::uchar_type*>(key);
  if (kGuard == kPerStep) {
    return Darts::Details::Walker<true>{UnitsOf(trie), trie.size()}.ExactMatch(
        bytes, length, 0);
  }
  return Darts::Details::Walker<false>{UnitsOf(trie), SIZE_MAX}.ExactMatch(
      bytes, length, 0);
}

template <int kGuard>
__attribute__((noipa)) std::size_t PrefixLookup(
    const Darts::DoubleArray& trie, const char* text, std::size_t length,
    int* results) {
  if (kGuard == kShipped) {
    return trie.commonPrefixSearch(text, results, 64, length);
  }
  auto store = [results](std::size_t i, long value, std::size_t) {
    results[i] = static_cast<int>(value);
  };
  auto bytes = reinterpret_cast<const Darts::Details::uchar_type*>(text);
  if (kGuard == kPerStep) {
    return Darts::Details::Walker<true>{UnitsOf(trie), trie.size()}
        .CommonPrefix(bytes, length, 0, 64, store);
  }
  return Darts::Details::Walker<false>{UnitsOf(trie), SIZE_MAX}.CommonPrefix(
      bytes, length, 0, 64, store);
}

template <int kGuard>
void BM_ExactMatch(benchmark::State& state) {
  const LookupSet& set = Lookups(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    long sum = 0;
    for (const std::string& q : set.queries) sum += ExactLookup<kGuard>(set.trie, q.data(), q.size());
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * set.queries.size());
}
BENCHMARK_TEMPLATE(BM_ExactMatch, kUnchecked)->Name("BM_ExactMatch/unchecked")
    ->Arg(10000)->Arg(1000000);
BENCHMARK_TEMPLATE(BM_ExactMatch, kShipped)->Name("BM_ExactMatch/shipped")
    ->Arg(10000)->Arg(1000000);
BENCHMARK_TEMPLATE(BM_ExactMatch, kPerStep)->Name("BM_ExactMatch/per_step")
    ->Arg(10000)->Arg(1000000);

// Prefix search as the lattice builder runs it: at every character of a
// text made of dictionary words, collect all words starting there.
template <int kGuard>
void BM_CommonPrefix(benchmark::State& state) {
  const LookupSet& set = Lookups(static_cast<std::size_t>(state.range(0)));
  std::string text;
  for (std::size_t i = 0; i < set.queries.size() && text.size() < (1u << 20); ++i) {
    text += set.queries[i];
  }
  int results[64];
  for (auto _ : state) {
    std::size_t found = 0;
    for (std::size_t pos = 0; pos < text.size(); pos += 2) {
      found += PrefixLookup<kGuard>(set.trie, text.data() + pos,
                                    text.size() - pos, results);
    }
    benchmark::DoNotOptimize(found);
    benchmark::DoNotOptimize(results);
  }
  state.SetItemsProcessed(state.iterations() * (text.size() / 2));
}
BENCHMARK_TEMPLATE(BM_CommonPrefix, kUnchecked)->Name("BM_CommonPrefix/unchecked")
    ->Arg(10000)->Arg(1000000);
BENCHMARK_TEMPLATE(BM_CommonPrefix, kShipped)->Name("BM_CommonPrefix/shipped")
    ->Arg(10000)->Arg(1000000);
BENCHMARK_TEMPLATE(BM_CommonPrefix, kPerStep)->Name("BM_CommonPrefix/per_step")
    ->Arg(10000)->Arg(1000000);

// The one pass over the units that open, build and set_array make.
void BM_VerifyUnits(benchmark::State& state) {
  const LookupSet& set = Lookups(static_cast<std::size_t>(state.range(0)));
  auto units = static_cast<const uint32_t*>(set.trie.array());
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        Darts::Details::ChildBlocksInside(units, set.trie.size()));
  }
  state.counters["units"] = static_cast<double>(set.trie.size());
  state.SetBytesProcessed(state.iterations() * set.trie.total_size());
}
BENCHMARK(BM_VerifyUnits)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
