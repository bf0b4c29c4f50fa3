// The short keys of a CRF model's observation trie in an open-addressing
// hash table.
//
// A trie walk takes one dependent memory read per key byte, and at every
// token the templates look up a few keys (a character, a character pair)
// whose trie nodes are rarely in cache: each read that misses waits for
// the one before. A key of at most 8 bytes packs into one 64-bit word, so
// one probe of this table (usually one cache line) answers what the walk
// answers, and the probes of different templates overlap. Every key of the
// trie up to 8 bytes is in the table: a key the table lacks, the trie lacks
// too. Longer keys are left to the trie.
#ifndef ZORVSEG_CRF_OBSERVATIONTABLE_H_
#define ZORVSEG_CRF_OBSERVATIONTABLE_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "dict/Darts.h"
#include "dict/Prefetch.h"

namespace new_seg {
namespace CRFPP {

class ObservationTable {
 public:
  static const std::size_t kMaxKeyBytes = 8;

  // Packs `length` (1 to 8) bytes, none of them zero, into a key: the bytes
  // in order from the lowest, the rest zero. Keys of different lengths
  // differ, and no key is 0.
  static uint64_t Pack(const char* bytes, std::size_t length) {
    // Byte by byte rather than a copy of variable length: keys are a few
    // bytes long, and a call to the library's copy costs more than they do.
    uint64_t key = 0;
    for (std::size_t i = 0; i < length; ++i) {
      key |= uint64_t{static_cast<unsigned char>(bytes[i])} << (8 * i);
    }
    return key;
  }

  // Fills the table with every key of 1 to 8 bytes of the trie and its
  // value; what was there is dropped. False (the table then empty) when
  // memory runs out or the trie is not one whose checks passed.
  bool Build(const Darts::DoubleArray& trie);

  // The value of the packed key, or -1 when the trie has no such key.
  int Find(uint64_t key) const {
    for (std::size_t slot = Home(key);; slot = (slot + 1) & mask_) {
      const Entry& entry = entries_[slot];
      if (entry.key == key) return entry.value;
      if (entry.key == 0) return -1;
    }
  }

  // Asks for the key's first slot ahead of Find.
  void Prefetch(uint64_t key) const { PrefetchForRead(&entries_[Home(key)]); }

  std::size_t size() const { return size_; }

 private:
  struct Entry {
    uint64_t key;  // 0: free
    int32_t value;
    int32_t unused;
  };

  std::size_t Home(uint64_t key) const {
    return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> shift_) & mask_;
  }
  void Clear();
  void Insert(uint64_t key, int value);
  static void CollectKeys(const Darts::DoubleArray& trie, std::vector<Entry>* keys);

  // Never empty: a single free slot when nothing is built, so that Find
  // needs no test of its own.
  std::vector<Entry> entries_ = std::vector<Entry>(1, Entry{0, -1, 0});
  std::size_t mask_ = 0;
  unsigned shift_ = 63;
  std::size_t size_ = 0;
};

}  // namespace CRFPP
}  // namespace new_seg

#endif  // ZORVSEG_CRF_OBSERVATIONTABLE_H_
