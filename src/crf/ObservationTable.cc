#include "crf/ObservationTable.h"

#include <cstring>
#include <new>

#include "dict/DartsUnit.h"

namespace new_seg {
namespace CRFPP {

namespace {

// A node of the walk over the trie and the key that leads to it.
struct Visit {
  std::size_t id;
  uint64_t key;
  std::size_t depth;
};

}  // namespace

void ObservationTable::Clear() {
  std::vector<Entry>(1, Entry{0, -1, 0}).swap(entries_);
  mask_ = 0;
  shift_ = 63;
  size_ = 0;
}

// Depth first down to depth 8. A node's child for byte c is unit
// block ^ c of its child block, when that unit's label is c; the 256 units
// of a block are compared in one pass that the compiler can vectorise,
// since most nodes have no child but their value. The load checks made
// sure that every child block lies inside the array.
void ObservationTable::CollectKeys(const Darts::DoubleArray& trie,
                                   std::vector<Entry>* keys) {
  using namespace Darts::Details;
  const unit_type* units = static_cast<const unit_type*>(trie.array());
  std::vector<Visit> stack;
  stack.push_back({0, 0, 0});
  while (!stack.empty()) {
    Visit node = stack.back();
    stack.pop_back();
    std::size_t block = node.id ^ UnitOffset(units[node.id]);
    const unit_type* base = units + (block & ~std::size_t{0xFF});
    unit_type low = static_cast<unit_type>(block & 0xFF);
    unsigned char match[256];
    for (unit_type j = 0; j < 256; ++j) match[j] = (base[j] & 0x800000FFu) == (j ^ low);
    match[low] = 0;  // label 0: the value unit, not a child
    // Eight flags at a time: a node has few children.
    for (std::size_t group = 0; group < 256; group += 8) {
      uint64_t flags;
      std::memcpy(&flags, match + group, sizeof(flags));
      if (flags == 0) continue;
      for (std::size_t j = group; j < group + 8; ++j) {
        if (!match[j]) continue;
        std::size_t child = (block & ~std::size_t{0xFF}) + j;
        unit_type unit = units[child];
        uint64_t key = node.key | uint64_t{j ^ low} << (8 * node.depth);
        if (UnitHasLeaf(unit)) {
          unit_type value = UnitValue(units[child ^ UnitOffset(unit)]);
          keys->push_back(Entry{key, static_cast<int32_t>(value), 0});
        }
        if (node.depth + 1 < kMaxKeyBytes) stack.push_back({child, key, node.depth + 1});
      }
    }
  }
}

bool ObservationTable::Build(const Darts::DoubleArray& trie) {
  Clear();
  // Only a checked array whose root is a node is walked as CollectKeys does.
  const auto* units = static_cast<const Darts::Details::unit_type*>(trie.array());
  if (!trie.is_verified() || units == nullptr || trie.size() == 0 ||
      (units[0] & 0x80000000u) != 0) {
    return false;
  }
  try {
    std::vector<Entry> keys;
    CollectKeys(trie, &keys);
    // At most half full: a probe rarely reads a second slot.
    std::size_t slots = 2;
    unsigned bits = 1;
    while (slots < 2 * keys.size()) {
      slots *= 2;
      ++bits;
    }
    entries_.assign(slots, Entry{0, -1, 0});
    mask_ = slots - 1;
    shift_ = 64 - bits;
    for (const Entry& entry : keys) Insert(entry.key, entry.value);
  } catch (const std::bad_alloc&) {
    Clear();
    return false;
  }
  return true;
}

void ObservationTable::Insert(uint64_t key, int value) {
  std::size_t slot = Home(key);
  while (entries_[slot].key != 0 && entries_[slot].key != key) slot = (slot + 1) & mask_;
  if (entries_[slot].key == 0) ++size_;
  entries_[slot] = Entry{key, value, 0};
}

}  // namespace CRFPP
}  // namespace new_seg
