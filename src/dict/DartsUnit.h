// Unit layout and the search walks of the static double-array trie.
//
// A unit is one 32-bit word. Bits 0-7 hold the label by which the unit is
// reached from its parent, bit 8 says that a key ends at this node (its value
// sits in the child reached by label 0), bit 9 scales the offset field (bits
// 10-30) by 256. Value units have bit 31 set and carry a 31-bit value, so the
// label test of a value unit never matches a key byte.
#ifndef ZORVSEG_DICT_DARTSUNIT_H_
#define ZORVSEG_DICT_DARTSUNIT_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <exception>

namespace Darts {
namespace Details {

typedef uint32_t unit_type;
typedef uint32_t id_type;
typedef unsigned char uchar_type;

// The only exception the trie throws; what() is "<file>:<line>: exception:
// <message>" with a message from a fixed list.
class Exception : public std::exception {
 public:
  explicit Exception(const char* text) noexcept : text_(text) {}
  const char* what() const noexcept override { return text_; }

 private:
  const char* text_;  // always a string literal
};

#define ZS_TRIE_STRINGIFY_(x) #x
#define ZS_TRIE_STRINGIFY(x) ZS_TRIE_STRINGIFY_(x)
#define ZS_TRIE_THROW(message)              \
  throw ::Darts::Details::Exception(        \
      __FILE__ ":" ZS_TRIE_STRINGIFY(__LINE__) ": exception: " message)

const id_type kBlockSize = 256;
const id_type kNumExtraBlocks = 16;
const id_type kNumExtras = kBlockSize * kNumExtraBlocks;
const id_type kLowerMask = 0xFF;
const id_type kUpperMask = 0xFFu << 21;
const id_type kMaxOffset = 1u << 29;
const id_type kUnscaledOffsetLimit = 1u << 21;

inline bool UnitHasLeaf(unit_type unit) { return ((unit >> 8) & 1) != 0; }
inline unit_type UnitValue(unit_type unit) { return unit & 0x7FFFFFFFu; }
inline unit_type UnitLabel(unit_type unit) { return unit & 0x800000FFu; }
inline id_type UnitOffset(unit_type unit) {
  return (unit >> 10) << ((unit & 0x200u) >> 6);
}

// An offset is storable when it fits 21 bits or is a multiple of 256 below
// 2^29; everything else would lose bits in the offset field.
inline bool IsStorableOffset(id_type relative_offset) {
  return (relative_offset & kLowerMask) == 0 ||
         (relative_offset & kUpperMask) == 0;
}

// True when every unit that can be a node has all its children (and its
// value unit) inside the array. Searches start from a checked node and only
// ever step onto node units, so on such an array no walk can leave it and the
// per-byte bound can be skipped. Value units (bit 31) are never stepped onto.
inline bool ChildBlocksInside(const unit_type* units, std::size_t size) {
  for (std::size_t id = 0; id < size; ++id) {
    unit_type unit = units[id];
    if ((unit & 0x80000000u) != 0) continue;
    if (((id ^ UnitOffset(unit)) | kLowerMask) >= size) return false;
  }
  return true;
}

// One key of a batched common-prefix search (Walker::CommonPrefixBatch):
// the search sets count to the number of prefixes that are keys and stores
// the values of the first max_results of them.
template <class T>
struct PrefixQuery {
  const char* key;
  std::size_t length;  // not 0
  T* results;
  std::size_t max_results;
  std::size_t count;
};

// The walks below are shared by every search. kBounded decides whether a
// node id is checked against the unit count before it is read: trie files
// come from disk, and a truncated or corrupted one must not make a lookup
// read past its array. Arrays that passed ChildBlocksInside are walked
// without the check.
template <bool kBounded>
struct Walker {
  const unit_type* units;
  std::size_t limit;  // unit count, or SIZE_MAX when unknown

  bool Inside(std::size_t id) const { return !kBounded || id < limit; }

  // Moves id to its child for byte c; false when there is none.
  bool Step(std::size_t& id, unit_type& unit, uchar_type c) const {
    std::size_t child = id ^ UnitOffset(unit) ^ c;
    if (!Inside(child)) return false;
    unit_type child_unit = units[child];
    if (UnitLabel(child_unit) != c) return false;
    id = child;
    unit = child_unit;
    return true;
  }

  // Value of the key ending at the node (id, unit), or -1.
  long Terminal(std::size_t id, unit_type unit) const {
    if (!UnitHasLeaf(unit)) return -1;
    std::size_t value_id = id ^ UnitOffset(unit);
    if (!Inside(value_id)) return -1;
    return static_cast<long>(UnitValue(units[value_id]));
  }

  long ExactMatch(const uchar_type* key, std::size_t length,
                  std::size_t id) const {
    if (!Inside(id)) return -1;
    unit_type unit = units[id];
    for (std::size_t i = 0; i < length; ++i) {
      if (!Step(id, unit, key[i])) return -1;
    }
    return Terminal(id, unit);
  }

  // Calls store(index, value, matched_length) for the first max_results
  // prefixes of the key that are keys; returns how many there are in all.
  // length 0 means the key ends at its first 0 byte.
  template <class Store>
  std::size_t CommonPrefix(const uchar_type* key, std::size_t length,
                           std::size_t id, std::size_t max_results,
                           Store store) const {
    if (!Inside(id)) return 0;
    std::size_t count = 0;
    unit_type unit = units[id];
    for (std::size_t i = 0; length != 0 ? i < length : key[i] != 0; ++i) {
      if (!Step(id, unit, key[i])) break;
      if (!UnitHasLeaf(unit)) continue;
      long value = Terminal(id, unit);
      if (value < 0) break;
      if (count < max_results) store(count, value, i + 1);
      ++count;
    }
    return count;
  }

  // CommonPrefix for up to kMaxBatch keys at once: the keys take one step
  // each in turn, so that the reads of different keys, each likely a cache
  // miss, overlap instead of waiting on one another.
  static constexpr std::size_t kMaxBatch = 32;
  template <class T>
  void CommonPrefixBatch(PrefixQuery<T>* queries, std::size_t n, std::size_t root) const {
    std::size_t ids[kMaxBatch];
    unit_type node_units[kMaxBatch];
    std::size_t done_bytes[kMaxBatch];
    uint32_t active = 0;
    for (std::size_t q = 0; q < n && q < kMaxBatch; ++q) {
      queries[q].count = 0;
      if (!Inside(root) || queries[q].length == 0) continue;
      ids[q] = root;
      node_units[q] = units[root];
      done_bytes[q] = 0;
      active |= uint32_t{1} << q;
    }
    while (active != 0) {
      for (uint32_t lanes = active; lanes != 0; lanes &= lanes - 1) {
        unsigned q = static_cast<unsigned>(__builtin_ctz(lanes));
        PrefixQuery<T>& query = queries[q];
        const uchar_type* key = reinterpret_cast<const uchar_type*>(query.key);
        bool stepped = Step(ids[q], node_units[q], key[done_bytes[q]]);
        bool ended = !stepped || ++done_bytes[q] == query.length;
        if (stepped && UnitHasLeaf(node_units[q])) {
          long value = Terminal(ids[q], node_units[q]);
          if (value < 0) {
            ended = true;
          } else {
            if (query.count < query.max_results) {
              query.results[query.count] = static_cast<T>(value);
            }
            ++query.count;
          }
        }
        if (ended) active &= ~(uint32_t{1} << q);
      }
    }
  }

  // Step-wise search: see DoubleArrayImpl::traverse.
  long Traverse(const uchar_type* key, std::size_t& node_pos,
                std::size_t& key_pos, std::size_t length) const {
    std::size_t id = node_pos;
    if (!Inside(id)) return -2;
    unit_type unit = units[id];
    for (; length != 0 ? key_pos < length : key[key_pos] != 0; ++key_pos) {
      if (!Step(id, unit, key[key_pos])) return -2;
      node_pos = id;
    }
    return Terminal(id, unit);
  }
};

}  // namespace Details
}  // namespace Darts

#endif  // ZORVSEG_DICT_DARTSUNIT_H_
