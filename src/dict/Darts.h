// Static double-array trie: maps byte strings to non-negative 31-bit values.
//
// Built once from keys sorted in unsigned byte order, then only searched; a
// search does one array read per key byte and allocates nothing.
//
// Searches never read outside the unit array, so a truncated or corrupted
// file makes lookups fail instead of crashing. When an array is opened,
// built or handed over with its unit count, one pass checks that every
// node's children lie inside it; searches on such an array check only their
// start node. An array that fails the pass is searched with a bound check on
// every step. A view made by set_array(ptr, 0) has no known count and is
// searched unchecked: pass the real count whenever it is known.
#ifndef ZORVSEG_DICT_DARTS_H_
#define ZORVSEG_DICT_DARTS_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <new>
#include <string>

#include "dict/DartsBuilder.h"
#include "dict/DartsUnit.h"
#include "dict/HugePageAllocator.h"

namespace Darts {

template <class T>
class DoubleArrayImpl {
 public:
  typedef T value_type;
  typedef char key_type;
  typedef T result_type;
  typedef Details::unit_type unit_type;

  struct result_pair_type {
    value_type value;
    std::size_t length;
  };

  DoubleArrayImpl() = default;
  virtual ~DoubleArrayImpl() { clear(); }
  DoubleArrayImpl(const DoubleArrayImpl&) = delete;
  DoubleArrayImpl& operator=(const DoubleArrayImpl&) = delete;

  // Builds from num_keys keys in ascending unsigned byte order. Without
  // values each key's value is its index; with values the keys are first
  // merged into a DAWG so that equal suffixes share units. Throws
  // Details::Exception on bad input and leaves the current array unchanged.
  int build(std::size_t num_keys, const key_type* const* keys,
            const std::size_t* lengths = nullptr,
            const value_type* values = nullptr,
            Details::progress_func_type progress_func = nullptr) {
    Details::Keyset<value_type> keyset(num_keys, keys, lengths, values);
    Details::DoubleArrayBuilder builder(progress_func);
    builder.build(keyset);

    unit_type* units = AllocateUnits(builder.size());
    if (units == nullptr) {
      ZS_TRIE_THROW("failed to resize pool: std::bad_alloc");
    }
    builder.copy(units);
    Adopt(units, builder.size());
    if (progress_func != nullptr) progress_func(num_keys + 1, num_keys + 1);
    return 0;
  }

  // Value of the key (length 0: up to its 0 byte) starting at node_pos, or -1.
  value_type exactMatchSearch(const key_type* key, std::size_t length = 0,
                              std::size_t node_pos = 0) const {
    if (length == 0) length = std::strlen(key);
    if (__builtin_expect(!StartsOnVerifiedNode(node_pos), 0)) {
      return UnverifiedExactMatch(key, length, node_pos);
    }
    return static_cast<value_type>(
        Unchecked().ExactMatch(Bytes(key), length, node_pos));
  }

  // Number of keys that are prefixes of the key; the values of the first
  // max_num_results of them, shortest first, go to results.
  std::size_t commonPrefixSearch(const key_type* key, value_type* results,
                                 std::size_t max_num_results,
                                 std::size_t length = 0,
                                 std::size_t node_pos = 0) const {
    return PrefixSearch(key, length, node_pos, max_num_results,
                        [results](std::size_t i, long value, std::size_t) {
                          results[i] = static_cast<value_type>(value);
                        });
  }

  // As above, with the matched length of each prefix.
  std::size_t commonPrefixSearch(const key_type* key,
                                 result_pair_type* results,
                                 std::size_t max_num_results,
                                 std::size_t length = 0,
                                 std::size_t node_pos = 0) const {
    return PrefixSearch(
        key, length, node_pos, max_num_results,
        [results](std::size_t i, long value, std::size_t matched) {
          results[i].value = static_cast<value_type>(value);
          results[i].length = matched;
        });
  }

  // commonPrefixSearch from the root for up to Details::Walker's kMaxBatch
  // keys of known length, walked side by side (see CommonPrefixBatch).
  typedef Details::PrefixQuery<value_type> prefix_query_type;
  void commonPrefixSearchBatch(prefix_query_type* queries, std::size_t n) const {
    if (__builtin_expect(!StartsOnVerifiedNode(0), 0)) {
      if (RefusedStart(0)) {
        for (std::size_t q = 0; q < n; ++q) queries[q].count = 0;
        return;
      }
      PerStep().CommonPrefixBatch(queries, n, 0);
      return;
    }
    Unchecked().CommonPrefixBatch(queries, n, 0);
  }

  // Walks from node_pos over the key bytes from key_pos, updating both after
  // every matched byte. Returns the value of the reached node's key, -1 when
  // no key ends there, or -2 when a byte did not match (key_pos then points
  // at that byte and node_pos at the last node reached).
  value_type traverse(const key_type* key, std::size_t& node_pos,
                      std::size_t& key_pos, std::size_t length = 0) const {
    long value;
    if (__builtin_expect(!StartsOnVerifiedNode(node_pos), 0)) {
      value = UnverifiedTraverse(key, node_pos, key_pos, length);
    } else {
      value = Unchecked().Traverse(Bytes(key), node_pos, key_pos, length);
    }
    return static_cast<value_type>(value);
  }

  // Writes the units in host byte order; "ab" appends behind a header.
  int save(const char* file_name, const char* mode = "wb",
           std::size_t /*offset*/ = 0) const {
    if (size_ == 0) return -1;
    std::FILE* file = std::fopen(file_name, mode);
    if (file == nullptr) return -1;
    bool written = std::fwrite(array_, sizeof(unit_type), size_, file) == size_;
    bool closed = std::fclose(file) == 0;
    return written && closed ? 0 : -1;
  }

  // Reads size bytes (0: up to the end of the file) from byte offset on; a
  // trailing partial unit is ignored. The current array is replaced only
  // after a complete read.
  int open(const char* file_name, const char* mode = "rb",
           std::size_t offset = 0, std::size_t size = 0) {
    std::FILE* file = std::fopen(file_name, mode);
    if (file == nullptr) return -1;
    int result = ReadUnits(file, offset, size);
    std::fclose(file);
    return result;
  }

  // Makes the trie a view of units owned by the caller. size is the unit
  // count, and searches stay inside it; 0 means unknown (searches unchecked).
  void set_array(const void* ptr, std::size_t size = 0) {
    clear();
    array_ = static_cast<const unit_type*>(ptr);
    size_ = size;
    SetGuard(size != 0 ? GuardFor(array_, size) : Guard::kNone);
  }

  // True when searches check only their start node (see the file comment).
  bool is_verified() const { return guard_ == Guard::kVerified; }

  const void* array() const { return array_; }
  std::size_t size() const { return size_; }
  std::size_t unit_size() const { return sizeof(unit_type); }
  std::size_t total_size() const { return size_ * sizeof(unit_type); }

  void clear() {
    new_seg::FreeLarge(buf_, size_ * sizeof(unit_type));
    buf_ = nullptr;
    array_ = nullptr;
    size_ = 0;
    SetGuard(Guard::kPerStep);
  }

  // Lists every key below node_pos (prefixed by key) with its value.
  // Always returns -1.
  int output_key_values(std::size_t node_pos, const std::string& key,
                        std::map<std::string, unsigned int>& key_values) const {
    Details::Walker<true> w = PerStep();
    if (!w.Inside(node_pos)) return -1;
    unit_type unit = array_[node_pos];
    for (unsigned c = 1; c <= 0xFF; ++c) {
      std::size_t child = node_pos;
      unit_type child_unit = unit;
      if (!w.Step(child, child_unit, static_cast<Details::uchar_type>(c))) {
        continue;
      }
      std::string child_key = key + static_cast<char>(c);
      long value = w.Terminal(child, child_unit);
      if (value >= 0) key_values[child_key] = static_cast<unsigned int>(value);
      output_key_values(child, child_key, key_values);
    }
    return -1;
  }

 private:
  static const Details::uchar_type* Bytes(const key_type* key) {
    return reinterpret_cast<const Details::uchar_type*>(key);
  }

  // How searches stay inside the array.
  enum class Guard {
    kNone,      // unit count unknown: unchecked
    kVerified,  // every child block is inside: check the start node only
    kPerStep,   // check every node id before reading it
  };

  static Guard GuardFor(const unit_type* units, std::size_t size) {
    return Details::ChildBlocksInside(units, size) ? Guard::kVerified
                                                   : Guard::kPerStep;
  }

  void SetGuard(Guard guard) {
    guard_ = guard;
    verified_size_ = guard == Guard::kVerified ? size_ : 0;
  }

  // A walk on a verified array cannot leave it once it starts on a node unit
  // inside it. One compare covers both "verified" and "inside".
  bool StartsOnVerifiedNode(std::size_t node_pos) const {
    return node_pos < verified_size_ && (array_[node_pos] & 0x80000000u) == 0;
  }

  bool StartsInside(std::size_t node_pos) const {
    return node_pos < size_ && (array_[node_pos] & 0x80000000u) == 0;
  }

  // Searches on a verified array (every loaded dictionary) check only their
  // start node and take the unchecked walk inline. Everything else goes out
  // of line: a bad start node on a verified array fails, other arrays are
  // walked with their guard (every step checked, or none when the unit count
  // is unknown).
  Details::Walker<false> Unchecked() const { return {array_, SIZE_MAX}; }
  Details::Walker<true> PerStep() const {
    return {array_, guard_ == Guard::kNone ? SIZE_MAX : size_};
  }
  bool RefusedStart(std::size_t node_pos) const {
    return guard_ == Guard::kVerified && !StartsInside(node_pos);
  }

  template <class Store>
  std::size_t PrefixSearch(const key_type* key, std::size_t length,
                           std::size_t node_pos, std::size_t max_num_results,
                           const Store& store) const {
    if (__builtin_expect(!StartsOnVerifiedNode(node_pos), 0)) {
      return UnverifiedPrefixSearch(key, length, node_pos, max_num_results,
                                    store);
    }
    return Unchecked().CommonPrefix(Bytes(key), length, node_pos,
                                    max_num_results, store);
  }

  __attribute__((noinline)) value_type UnverifiedExactMatch(
      const key_type* key, std::size_t length, std::size_t node_pos) const {
    if (RefusedStart(node_pos)) return -1;
    return static_cast<value_type>(
        PerStep().ExactMatch(Bytes(key), length, node_pos));
  }

  template <class Store>
  __attribute__((noinline)) std::size_t UnverifiedPrefixSearch(
      const key_type* key, std::size_t length, std::size_t node_pos,
      std::size_t max_num_results, const Store& store) const {
    if (RefusedStart(node_pos)) return 0;
    return PerStep().CommonPrefix(Bytes(key), length, node_pos,
                                  max_num_results, store);
  }

  __attribute__((noinline)) long UnverifiedTraverse(
      const key_type* key, std::size_t& node_pos, std::size_t& key_pos,
      std::size_t length) const {
    if (RefusedStart(node_pos)) return -2;
    return PerStep().Traverse(Bytes(key), node_pos, key_pos, length);
  }

  // Units live in huge pages where the kernel allows: every search reads
  // them at random.
  static unit_type* AllocateUnits(std::size_t count) {
    return static_cast<unit_type*>(new_seg::AllocateLarge(count * sizeof(unit_type)));
  }
  void Adopt(unit_type* units, std::size_t count) {
    clear();
    buf_ = units;
    array_ = units;
    size_ = count;
    SetGuard(GuardFor(units, count));
  }

  int ReadUnits(std::FILE* file, std::size_t offset, std::size_t size) {
    if (size == 0) {
      if (std::fseek(file, 0, SEEK_END) != 0) return -1;
      long end = std::ftell(file);
      if (end < 0 || static_cast<std::size_t>(end) < offset) return -1;
      size = static_cast<std::size_t>(end) - offset;
    }
    if (std::fseek(file, static_cast<long>(offset), SEEK_SET) != 0) return -1;
    std::size_t count = size / sizeof(unit_type);
    unit_type* units = AllocateUnits(count);
    if (units == nullptr) {
      ZS_TRIE_THROW("failed to open double-array: std::bad_alloc");
    }
    if (std::fread(units, sizeof(unit_type), count, file) != count) {
      new_seg::FreeLarge(units, count * sizeof(unit_type));
      return -1;
    }
    Adopt(units, count);
    return 0;
  }

  const unit_type* array_ = nullptr;
  std::size_t size_ = 0;
  unit_type* buf_ = nullptr;
  Guard guard_ = Guard::kPerStep;
  std::size_t verified_size_ = 0;  // size_ when verified, else 0
};

typedef DoubleArrayImpl<int> DoubleArray;

}  // namespace Darts

// The CRF labeller names the trie through its own namespace; it is the same
// implementation.
namespace new_seg {
namespace Darts = ::Darts;
}  // namespace new_seg

#endif  // ZORVSEG_DICT_DARTS_H_
