// Word-transition costs for the best-path search: costs (negative base-2
// logarithms of probabilities) of word pairs and single words keyed by
// core-dictionary ids, with a back-off penalty and a floor for unseen words.
//
// The table is four tries (files base + "0" ... base + "3") loaded once per
// process; an NGram object is only a handle to it.
#ifndef ZORVSEG_DICT_NGRAM_H_
#define ZORVSEG_DICT_NGRAM_H_

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <vector>

#include "dict/Darts.h"
#include "dict/NGramPairTable.h"
#include "dict/Prefetch.h"

namespace new_seg {

// What a build read, for the data compiler's report.
struct NGramBuildStats {
  std::size_t lines = 0;           // lines read
  std::size_t skipped_blank = 0;   // empty or all-blank lines
  std::size_t beyond_order = 0;    // lines with more ids than max order
  std::size_t entries[4] = {0, 0, 0, 0};  // distinct keys per trie
};

class NGram {
 public:
  static const std::size_t trie_num_ = 4;
  static const std::size_t kKeyBufferSize = 10;

  // Opens base_path + "0" ... + "3". True when all four load or the table is
  // already loaded; false with a message naming the file otherwise.
  static bool Init(const char* base_path);
  static bool UnInit();

  // Builds from a text table: per line a cost, a count (unused) and up to
  // max_order word ids, separated by white space. The first id is the first
  // key id; each further id replaces the second. -1 ids are skipped.
  static bool Build(const char* text_path, std::size_t max_order);
  static bool BuildFromStream(std::istream& in, const char* source_name,
                              std::size_t max_order,
                              NGramBuildStats* stats = nullptr);

  // Writes the four tries, each through a temporary file.
  static bool Save(const char* base_path);

  // The two halves of GetNGram(id, &previous, 1), for callers that score one
  // word after many predecessors: the pair's own cost when the table has
  // it, else the word's backed-off cost (the same for every predecessor).
  static bool PairCost(int32_t previous, int32_t id, float* cost);
  static float BackedOffCost(int32_t id) {
    if (id >= 0 && static_cast<std::size_t>(id) < backed_off_costs_.size()) {
      return backed_off_costs_[static_cast<std::size_t>(id)];
    }
    return LookedUpBackedOffCost(id);
  }
  // Starts fetching what BackedOffCost(id) will read from its table.
  static void PrefetchBackedOffCost(int32_t id) {
    if (id >= 0 && static_cast<std::size_t>(id) < backed_off_costs_.size()) {
      PrefetchForRead(&backed_off_costs_[static_cast<std::size_t>(id)]);
    }
  }
  // Looks up the backed-off cost of every id from 0 to word_count once, so
  // that BackedOffCost reads it from a table (one lookup per lattice edge
  // otherwise). Loading or building a table drops the cache.
  static void CacheBackedOffCosts(std::size_t word_count);
  // Lays the pairs of words 1..word_count out for the search (see
  // NGramPairTable); PairHistory and PairCostAfter then read them from there.
  // Caches the backed-off costs as CacheBackedOffCosts does, also when it
  // fails because the tries hold more pairs than the table takes (lookups
  // stay on the tries). Loading or building a table drops both.
  static bool BuildPairTable(std::size_t word_count);
  static const NGramPairTable& pair_table() { return pair_table_; }

  // PairCost in two steps, for a predecessor scored against many words: the
  // first word is looked up once (PairHistory: its successor list in the
  // pair table, or the trie node its key bytes lead to, or kNoPairHistory
  // when no pair starts with that word), then only the second word.
  static constexpr int64_t kNoPairHistory = -1;
  // A history that the pair table covers, with some pair starting there.
  static constexpr int64_t kTableHistory = int64_t{1} << 62;
  static constexpr int64_t kHasPairs = int64_t{1} << 61;
  static constexpr int64_t kTablePairs = kTableHistory | kHasPairs;
  static int64_t PairHistory(int32_t previous);
  static bool PairCostAfter(int64_t history, int32_t previous, int32_t id, float* cost) {
    // The pair table's answers are inline: the search asks for every pair
    // of its lattice.
    if (history >= 0 && (history & kTableHistory) != 0 && pair_table_.CoversSecond(id)) {
      return (history & kHasPairs) != 0 && pair_table_.Find(previous, id, cost);
    }
    return UncoveredPairCostAfter(history, previous, id, cost);
  }
  // Starts fetching what PairCostAfter will read, so that the cache misses
  // of many pairs overlap.
  static void PrefetchPair(int64_t history, int32_t previous, int32_t id) {
    if (history >= 0 && (history & kTablePairs) == kTablePairs && pair_table_.CoversSecond(id)) {
      pair_table_.Prefetch(previous, id);
    }
  }

  // Cost of word id after history[0] (history_len 1), or of id alone.
  static float GetNGram(int32_t id, const int32_t* history,
                        std::size_t history_len);

  // Looks up every entry of a text table; prints mismatches on stderr and
  // returns true when every entry is found with its cost.
  static bool test(const char* text_path);

  // Encodes (first, second) into key (kKeyBufferSize bytes, NUL-terminated);
  // returns the key length, 8 or 9.
  static std::size_t _EncodeKey(uint32_t first, uint32_t second, char* key);
  // Trie holding an encoded key.
  static std::size_t _hash(const char* key, std::size_t length);

  static float BackoffPenalty();  // -log2(0.4)
  static float UnseenCost();      // -log2(8e-11)

  static const Darts::DoubleArray* GetTrie(std::size_t i);
  static std::size_t max_order() { return max_order_; }

 private:
  static bool LookupCost(uint32_t first, uint32_t second, float* cost);
  static bool UncoveredPairCostAfter(int64_t history, int32_t previous, int32_t id,
                                     float* cost);
  static float LookedUpBackedOffCost(int32_t id);

  static Darts::DoubleArrayImpl<int>* trie_impl_pt_;
  static std::size_t max_order_;
  static std::vector<float> backed_off_costs_;  // by id; empty when not cached
  static NGramPairTable pair_table_;            // empty when not built
};

}  // namespace new_seg

#endif  // ZORVSEG_DICT_NGRAM_H_
