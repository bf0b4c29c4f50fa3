// Lays a sorted key list (or a DAWG built from one) out in a double array.
//
// Only the last 16 blocks of 256 units are open for placement; their per-unit
// bookkeeping lives in a ring of 4096 extras, so the builder's working memory
// stays fixed whatever the number of keys. A block leaving the window is
// fixed: its free units get labels no search can ever match.
#ifndef ZORVSEG_DICT_DARTSBUILDER_H_
#define ZORVSEG_DICT_DARTSBUILDER_H_

#include <cstddef>

#include "dict/DartsDawg.h"
#include "dict/DartsPool.h"
#include "dict/DartsUnit.h"

namespace Darts {
namespace Details {

typedef int (*progress_func_type)(std::size_t, std::size_t);

// A unit under construction; same bit layout as the search side.
class DoubleArrayBuilderUnit {
 public:
  unit_type bits = 0;

  void set_has_leaf() { bits |= 0x100u; }
  void set_value(unit_type value) { bits = value | 0x80000000u; }
  void set_label(uchar_type label) { bits = (bits & ~0xFFu) | label; }
  void set_offset(id_type offset) {
    if (offset >= kMaxOffset) {
      ZS_TRIE_THROW("failed to modify unit: too large offset");
    }
    bits &= 0x800001FFu;
    if (offset < kUnscaledOffsetLimit) {
      bits |= offset << 10;
    } else {
      bits |= (offset << 2) | 0x200u;
    }
  }
};

// Bookkeeping of one unit of the open window: a link in the circular list of
// free units, whether the unit is taken (fixed) and whether its id is in use
// as some node's offset (used).
class DoubleArrayBuilderExtraUnit {
 public:
  id_type prev = 0;
  id_type next = 0;
  bool is_fixed = false;
  bool is_used = false;
};

class DoubleArrayBuilder {
 public:
  explicit DoubleArrayBuilder(progress_func_type progress)
      : progress_(progress) {}
  DoubleArrayBuilder(const DoubleArrayBuilder&) = delete;
  DoubleArrayBuilder& operator=(const DoubleArrayBuilder&) = delete;

  template <class T>
  void build(const Keyset<T>& keyset) {
    if (keyset.has_values()) {
      DawgBuilder dawg;
      BuildDawg(keyset, &dawg);
      BuildFromDawg(dawg);
    } else {
      BuildFromKeyset(keyset);
    }
  }

  std::size_t size() const { return units_.size(); }
  // Copies the finished units out; the caller owns the buffer.
  void copy(unit_type* out) const {
    for (std::size_t i = 0; i < units_.size(); ++i) out[i] = units_[i].bits;
  }

 private:
  template <class T>
  void BuildDawg(const Keyset<T>& keyset, DawgBuilder* dawg) {
    dawg->init();
    for (std::size_t i = 0; i < keyset.num_keys(); ++i) {
      dawg->insert(keyset.key(i), keyset.length(i),
                   static_cast<long>(keyset.value(i)));
      ReportProgress(i + 1, keyset.num_keys() + 1);
    }
    dawg->finish();
  }

  void ReportProgress(std::size_t done, std::size_t total) const {
    if (progress_ != nullptr) progress_(done, total);
  }

  // --- the keyset route ---

  template <class T>
  void BuildFromKeyset(const Keyset<T>& keyset) {
    units_.reserve(NextPowerOfTwo(keyset.num_keys()));
    StartLayout();
    if (keyset.num_keys() > 0) {
      BuildFromKeyset(keyset, 0, keyset.num_keys(), 0, 0);
    }
    FinishLayout();
  }

  template <class T>
  void BuildFromKeyset(const Keyset<T>& keyset, std::size_t begin,
                       std::size_t end, std::size_t depth, id_type dic_id) {
    id_type offset = ArrangeFromKeyset(keyset, begin, end, depth, dic_id);

    while (begin < end && keyset.byte_at(begin, depth) == 0) ++begin;
    if (begin == end) return;

    std::size_t run_begin = begin;
    uchar_type run_label = keyset.byte_at(begin, depth);
    for (std::size_t i = begin + 1; i < end; ++i) {
      uchar_type label = keyset.byte_at(i, depth);
      if (label == run_label) continue;
      BuildFromKeyset(keyset, run_begin, i, depth + 1, offset ^ run_label);
      run_begin = i;
      run_label = label;
    }
    BuildFromKeyset(keyset, run_begin, end, depth + 1, offset ^ run_label);
  }

  template <class T>
  id_type ArrangeFromKeyset(const Keyset<T>& keyset, std::size_t begin,
                            std::size_t end, std::size_t depth,
                            id_type dic_id) {
    labels_.resize(0);
    long terminal_value = -1;
    for (std::size_t i = begin; i < end; ++i) {
      uchar_type label = keyset.byte_at(i, depth);
      if (label == 0) {
        if (keyset.has_lengths() && depth < keyset.length(i)) {
          ZS_TRIE_THROW("failed to build double-array: invalid null character");
        }
        if (keyset.value(i) < 0) {
          ZS_TRIE_THROW("failed to build double-array: negative value");
        }
        if (terminal_value < 0) {
          terminal_value = static_cast<long>(keyset.value(i));
        }
        ReportProgress(i + 1, keyset.num_keys() + 1);
      }
      if (labels_.empty()) {
        labels_.append(label);
      } else if (label != labels_.back()) {
        if (label < labels_.back()) {
          ZS_TRIE_THROW("failed to build double-array: wrong key order");
        }
        labels_.append(label);
      }
    }
    return PlaceChildren(dic_id, static_cast<unit_type>(terminal_value));
  }

  // Chooses an offset for node dic_id that fits every label in labels_ and
  // reserves the children: label 0 becomes the terminal value unit.
  id_type PlaceChildren(id_type dic_id, unit_type terminal_value) {
    id_type offset = FindValidOffset(dic_id);
    units_[dic_id].set_offset(dic_id ^ offset);
    for (std::size_t i = 0; i < labels_.size(); ++i) {
      id_type child_id = offset ^ labels_[i];
      ReserveId(child_id);
      if (labels_[i] == 0) {
        units_[dic_id].set_has_leaf();
        units_[child_id].set_value(terminal_value);
      } else {
        units_[child_id].set_label(labels_[i]);
      }
    }
    extras(offset).is_used = true;
    return offset;
  }

  // --- the DAWG route ---

  void BuildFromDawg(const DawgBuilder& dawg) {
    units_.reserve(NextPowerOfTwo(dawg.size()));
    placed_offsets_.reset(dawg.num_intersections());
    StartLayout();
    if (dawg.child(dawg.root()) != 0) BuildFromDawg(dawg, dawg.root(), 0);
    FinishLayout();
    placed_offsets_.clear();
  }

  void BuildFromDawg(const DawgBuilder& dawg, id_type dawg_id, id_type dic_id) {
    id_type dawg_child = dawg.child(dawg_id);
    bool shared = dawg.is_intersection(dawg_child);
    id_type intersection = shared ? dawg.intersection_id(dawg_child) : 0;
    if (shared && ReusePlacedChain(dawg, dawg_child, intersection, dic_id)) {
      return;
    }

    labels_.resize(0);
    unit_type terminal_value = 0;
    for (id_type c = dawg_child; c != 0; c = dawg.sibling(c)) {
      labels_.append(dawg.label(c));
      if (dawg.is_leaf(c)) terminal_value = dawg.value(c);
    }
    id_type offset = PlaceChildren(dic_id, terminal_value);
    if (shared) placed_offsets_[intersection] = offset;

    for (id_type c = dawg_child; c != 0; c = dawg.sibling(c)) {
      if (!dawg.is_leaf(c)) BuildFromDawg(dawg, c, offset ^ dawg.label(c));
    }
  }

  // A chain shared by several DAWG nodes is laid out once; later parents
  // point at the same children when the relative offset is storable.
  bool ReusePlacedChain(const DawgBuilder& dawg, id_type dawg_child,
                        id_type intersection, id_type dic_id) {
    id_type offset = placed_offsets_[intersection];
    if (offset == 0) return false;
    id_type relative = offset ^ dic_id;
    if (!IsStorableOffset(relative)) return false;
    if (dawg.is_leaf(dawg_child)) units_[dic_id].set_has_leaf();
    units_[dic_id].set_offset(relative);
    return true;
  }

  // --- placement shared by both routes ---

  static std::size_t NextPowerOfTwo(std::size_t n) {
    std::size_t p = 1;
    while (p < n) p <<= 1;
    return p;
  }

  DoubleArrayBuilderExtraUnit& extras(id_type id) {
    return extras_[id % kNumExtras];
  }
  id_type num_units() const { return static_cast<id_type>(units_.size()); }
  id_type num_blocks() const { return num_units() / kBlockSize; }

  void StartLayout() {
    extras_.reset(kNumExtras);
    extras_head_ = 0;
    ReserveId(0);
    extras(0).is_used = true;
    units_[0].set_offset(1);
    units_[0].set_label(0);
  }

  void FinishLayout() {
    FixAllBlocks();
    extras_.clear();
    labels_.clear();
  }

  id_type FindValidOffset(id_type id) {
    if (extras_head_ < num_units()) {
      id_type free_id = extras_head_;
      do {
        id_type offset = free_id ^ labels_[0];
        if (IsValidOffset(id, offset)) return offset;
        free_id = extras(free_id).next;
      } while (free_id != extras_head_);
    }
    return num_units() | (id & kLowerMask);
  }

  bool IsValidOffset(id_type id, id_type offset) {
    if (extras(offset).is_used) return false;
    if (!IsStorableOffset(id ^ offset)) return false;
    for (std::size_t i = 1; i < labels_.size(); ++i) {
      if (extras(offset ^ labels_[i]).is_fixed) return false;
    }
    return true;
  }

  void ReserveId(id_type id) {
    if (id >= num_units()) ExpandUnits();
    DoubleArrayBuilderExtraUnit& extra = extras(id);
    if (id == extras_head_) {
      extras_head_ = extra.next;
      if (extras_head_ == id) extras_head_ = num_units();
    }
    extras(extra.prev).next = extra.next;
    extras(extra.next).prev = extra.prev;
    extra.is_fixed = true;
  }

  void ExpandUnits() {
    id_type old_units = num_units();
    id_type old_blocks = num_blocks();
    id_type new_units = old_units + kBlockSize;
    bool window_full = old_blocks + 1 > kNumExtraBlocks;

    if (window_full) FixBlock(old_blocks - kNumExtraBlocks);
    units_.resize(new_units);
    if (window_full) {
      for (id_type id = old_units; id < new_units; ++id) {
        extras(id).is_used = false;
        extras(id).is_fixed = false;
      }
    }

    for (id_type id = old_units + 1; id < new_units; ++id) {
      extras(id - 1).next = id;
      extras(id).prev = id - 1;
    }
    // Splice the new run into the free list just before its head. With an
    // empty list the head equals old_units and the run becomes the list.
    id_type last = new_units - 1;
    extras(old_units).prev = last;
    extras(last).next = old_units;
    id_type head = extras_head_;
    id_type before_head = extras(head).prev;
    extras(old_units).prev = before_head;
    extras(last).next = head;
    extras(before_head).next = old_units;
    extras(head).prev = last;
  }

  void FixAllBlocks() {
    id_type end = num_blocks();
    id_type begin = end > kNumExtraBlocks ? end - kNumExtraBlocks : 0;
    for (id_type block = begin; block != end; ++block) FixBlock(block);
  }

  void FixBlock(id_type block) {
    id_type begin = block * kBlockSize;
    id_type end = begin + kBlockSize;

    id_type unused_offset = 0;
    for (id_type offset = begin; offset != end; ++offset) {
      if (!extras(offset).is_used) {
        unused_offset = offset;
        break;
      }
    }
    for (id_type id = begin; id != end; ++id) {
      if (extras(id).is_fixed) continue;
      ReserveId(id);
      units_[id].set_label(static_cast<uchar_type>(id ^ unused_offset));
    }
  }

  progress_func_type progress_;
  AutoPool<DoubleArrayBuilderUnit> units_;
  AutoArray<DoubleArrayBuilderExtraUnit> extras_;
  AutoPool<uchar_type> labels_;
  AutoArray<id_type> placed_offsets_;
  id_type extras_head_ = 0;
};

}  // namespace Details
}  // namespace Darts

#endif  // ZORVSEG_DICT_DARTSBUILDER_H_
