// The word pairs of the n-gram model laid out for the best-path search: an
// open-addressing hash of (first id, second id) -> cost. A pair lookup in
// the tries walks 8 or 9 bytes scattered over megabytes of units, a cache
// miss at nearly every byte; here it is one probe, and a bit per first word
// says whether any pair starts with it at all.
//
// Built at load time from the four tries, for the ids the search uses: first
// ids 1..word_count and the sentence start, second ids 1..word_count. For
// those it answers exactly as the tries do (a key the tries hold but no
// lookup could reach is left out); other ids are not covered and the caller
// asks the tries.
#ifndef ZORVSEG_DICT_NGRAMPAIRTABLE_H_
#define ZORVSEG_DICT_NGRAMPAIRTABLE_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "dict/Darts.h"
#include "dict/HugePageAllocator.h"
#include "dict/Prefetch.h"

namespace new_seg {

class NGramPairTable {
 public:
  // Reads every pair (first, second) of the tries with both ids in
  // 1..word_count, or the first one the sentence start. tries[i] holds the
  // keys whose first byte's low two bits are i; encode(first, second, key)
  // writes a key as the tries store it and returns its length. False (and
  // the table left empty) when the tries hold more pairs than the table
  // takes, as only a damaged file would. On the way it reads the single
  // words: single_values[id] for id 1..word_count is the trie value of
  // (id, 0), or kNoValue.
  typedef std::size_t (*EncodeFn)(uint32_t first, uint32_t second, char* key);
  static constexpr uint32_t kNoValue = 0xFFFFFFFFu;  // trie values have 31 bits
  bool Build(const Darts::DoubleArray* tries, std::size_t trie_count, std::size_t word_count,
             EncodeFn encode, std::vector<uint32_t>* single_values);
  void Clear();

  bool empty() const { return slots_.empty(); }
  std::size_t pair_count() const { return pair_count_; }
  std::size_t memory_bytes() const;

  bool CoversFirst(int32_t first) const {
    return !slots_.empty() &&
           ((first >= 1 && static_cast<std::size_t>(first) <= word_count_) ||
            first == kSentenceStart);
  }
  bool CoversSecond(int32_t second) const {
    return second >= 1 && static_cast<std::size_t>(second) <= word_count_;
  }
  // Whether any pair starts with a covered first id.
  bool HasPairs(int32_t first) const {
    std::size_t bit = first == kSentenceStart ? 0 : static_cast<std::size_t>(first);
    return (has_pairs_[bit / 64] >> (bit % 64)) & 1u;
  }
  // The cost of a pair of covered ids; false when the tries lack it.
  bool Find(int32_t first, int32_t second, float* cost) const {
    uint64_t key = Key(static_cast<uint32_t>(first), static_cast<uint32_t>(second));
    for (std::size_t slot = Home(key);; slot = (slot + 1) & mask_) {
      const Slot& s = slots_[slot];
      if (s.first == 0) return false;
      if (s.first == static_cast<uint32_t>(first) && s.second == static_cast<uint32_t>(second)) {
        *cost = s.cost;
        return true;
      }
    }
  }

  // Starts fetching the slot where a pair's probe begins.
  void Prefetch(int32_t first, int32_t second) const {
    PrefetchForRead(&slots_[Home(Key(static_cast<uint32_t>(first),
                                        static_cast<uint32_t>(second)))]);
  }

  // Most pairs a table takes (12 bytes a slot, at most half the slots used).
  static constexpr std::size_t kMaxPairs = std::size_t{1} << 22;
  static constexpr int32_t kSentenceStart = 100000001;

 private:
  class Reader;
  struct Pair {
    uint32_t first;
    uint32_t second;
    float cost;
  };
  typedef Pair Slot;  // first 0: empty

  static uint64_t Key(uint32_t first, uint32_t second) {
    return (uint64_t{first} << 32) | second;
  }
  std::size_t Home(uint64_t key) const {
    return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> shift_);
  }
  void Lay(std::size_t word_count, const std::vector<Pair>& pairs);

  std::size_t word_count_ = 0;
  std::size_t pair_count_ = 0;
  std::vector<Slot, HugePageAllocator<Slot>> slots_;  // a power of two of them
  std::size_t mask_ = 0;
  unsigned shift_ = 64;
  std::vector<uint64_t> has_pairs_;  // bit per first id; bit 0: the sentence start
};

}  // namespace new_seg

#endif  // ZORVSEG_DICT_NGRAMPAIRTABLE_H_
