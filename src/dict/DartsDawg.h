// The caller's key list and the minimal acyclic automaton (DAWG) that the
// value-carrying build route lays out in the double array.
#ifndef ZORVSEG_DICT_DARTSDAWG_H_
#define ZORVSEG_DICT_DARTSDAWG_H_

#include <cstddef>
#include <cstring>

#include "dict/DartsPool.h"
#include "dict/DartsUnit.h"

namespace Darts {
namespace Details {

// View of the caller's arrays. Lengths and values are optional: without
// lengths keys end at their 0 byte, without values a key's value is its index.
template <class T>
class Keyset {
 public:
  Keyset(std::size_t num_keys, const char* const* keys,
         const std::size_t* lengths, const T* values)
      : num_keys_(num_keys), keys_(keys), lengths_(lengths), values_(values) {}

  std::size_t num_keys() const { return num_keys_; }
  const char* key(std::size_t id) const { return keys_[id]; }
  bool has_lengths() const { return lengths_ != nullptr; }
  bool has_values() const { return values_ != nullptr; }

  uchar_type byte_at(std::size_t id, std::size_t depth) const {
    if (lengths_ != nullptr && depth >= lengths_[id]) return 0;
    return static_cast<uchar_type>(keys_[id][depth]);
  }
  std::size_t length(std::size_t id) const {
    return lengths_ != nullptr ? lengths_[id] : std::strlen(keys_[id]);
  }
  T value(std::size_t id) const {
    return values_ != nullptr ? values_[id] : static_cast<T>(id);
  }

 private:
  std::size_t num_keys_;
  const char* const* keys_;
  const std::size_t* lengths_;
  const T* values_;
};

// A node of the automaton while its subtree is still open. Children form a
// chain through sibling links, newest (largest label) first. For a label-0
// node, child holds the value of the key ending there.
class DawgNode {
 public:
  id_type child = 0;
  id_type sibling = 0;
  uchar_type label = 0;
  bool is_state = false;  // first child of its parent: starts a unit chain
  bool has_sibling = false;

  unit_type unit() const {
    if (label == 0) return (child << 1) | (has_sibling ? 1u : 0u);
    return (child << 2) | (is_state ? 2u : 0u) | (has_sibling ? 1u : 0u);
  }
};

// A finished node, packed. Sibling chains are stored contiguously in
// ascending label order; has_sibling marks every unit but the last.
class DawgUnit {
 public:
  unit_type bits = 0;

  id_type child() const { return bits >> 2; }
  bool has_sibling() const { return (bits & 1u) != 0; }
  unit_type value() const { return bits >> 1; }
  bool is_state() const { return (bits & 2u) != 0; }
};

class DawgBuilder {
 public:
  DawgBuilder() = default;
  DawgBuilder(const DawgBuilder&) = delete;
  DawgBuilder& operator=(const DawgBuilder&) = delete;

  id_type root() const { return 0; }
  std::size_t size() const { return units_.size(); }
  std::size_t num_intersections() const { return intersections_.num_ones(); }

  id_type child(id_type id) const { return units_[id].child(); }
  id_type sibling(id_type id) const {
    return units_[id].has_sibling() ? id + 1 : 0;
  }
  unit_type value(id_type id) const { return units_[id].value(); }
  uchar_type label(id_type id) const { return labels_[id]; }
  bool is_leaf(id_type id) const { return label(id) == 0; }
  bool is_intersection(id_type id) const { return intersections_[id]; }
  id_type intersection_id(id_type id) const {
    return static_cast<id_type>(intersections_.rank(id) - 1);
  }

  void init() {
    table_.resize(kInitialTableSize, 0);
    AppendNode();
    AppendUnit();
    num_states_ = 1;
    nodes_[0].label = 0xFF;
    node_stack_.push(0);
  }

  // Keys must come in ascending byte order; a repeated key keeps its first
  // value.
  void insert(const char* key, std::size_t length, long value) {
    if (value < 0) ZS_TRIE_THROW("failed to insert key: negative value");
    if (length == 0) ZS_TRIE_THROW("failed to insert key: zero-length key");

    id_type id = 0;
    std::size_t pos = 0;
    for (; pos <= length; ++pos) {
      id_type child_id = nodes_[id].child;
      if (child_id == 0) break;
      uchar_type key_label = LabelAt(key, length, pos);
      uchar_type last_label = nodes_[child_id].label;
      if (key_label < last_label) {
        ZS_TRIE_THROW("failed to insert key: wrong key order");
      }
      if (key_label > last_label) {
        nodes_[child_id].has_sibling = true;
        Flush(child_id);
        break;
      }
      id = child_id;
    }
    if (pos > length) return;  // same key as the previous one

    for (; pos <= length; ++pos) {
      uchar_type key_label = LabelAt(key, length, pos);
      id_type child_id = AppendNode();
      DawgNode& child = nodes_[child_id];
      child.is_state = nodes_[id].child == 0;
      child.sibling = nodes_[id].child;
      child.label = key_label;
      nodes_[id].child = child_id;
      node_stack_.push(child_id);
      id = child_id;
    }
    nodes_[id].child = static_cast<id_type>(value);
  }

  void finish() {
    Flush(0);
    units_[0].bits = nodes_[0].unit();
    labels_[0] = nodes_[0].label;
    nodes_.clear();
    table_.clear();
    node_stack_.clear();
    recycle_bin_.clear();
    intersections_.build();
  }

  void clear() {
    nodes_.clear();
    units_.clear();
    labels_.clear();
    intersections_.clear();
    table_.clear();
    node_stack_.clear();
    recycle_bin_.clear();
    num_states_ = 0;
  }

 private:
  static const std::size_t kInitialTableSize = 1024;

  static uchar_type LabelAt(const char* key, std::size_t length,
                            std::size_t pos) {
    if (pos == length) return 0;
    uchar_type c = static_cast<uchar_type>(key[pos]);
    if (c == 0) ZS_TRIE_THROW("failed to insert key: invalid null character");
    return c;
  }

  static id_type Mix(id_type key) {
    key = ~key + (key << 15);
    key ^= key >> 12;
    key += key << 2;
    key ^= key >> 4;
    key *= 2057;
    key ^= key >> 16;
    return key;
  }

  id_type HashOfUnits(id_type first) const {
    id_type hash = 0;
    for (id_type id = first;; ++id) {
      hash ^= Mix(units_[id].bits ^ (static_cast<id_type>(labels_[id]) << 24));
      if (!units_[id].has_sibling()) break;
    }
    return hash;
  }

  id_type HashOfNodes(id_type head) const {
    id_type hash = 0;
    for (id_type id = head; id != 0; id = nodes_[id].sibling) {
      hash ^= Mix(nodes_[id].unit() ^ (static_cast<id_type>(nodes_[id].label) << 24));
    }
    return hash;
  }

  // True when the emitted chain starting at first equals the node chain.
  // Equal units carry equal has_sibling bits, so equal lengths follow.
  bool ChainEquals(id_type first, id_type head, id_type length) const {
    if (first + length > units_.size()) return false;
    id_type unit_id = first + length - 1;
    for (id_type id = head; id != 0; id = nodes_[id].sibling, --unit_id) {
      if (units_[unit_id].bits != nodes_[id].unit() ||
          labels_[unit_id] != nodes_[id].label) {
        return false;
      }
    }
    return true;
  }

  static id_type ChainLength(const AutoPool<DawgNode>& nodes, id_type head) {
    id_type length = 0;
    for (id_type id = head; id != 0; id = nodes[id].sibling) ++length;
    return length;
  }

  // Finds an emitted chain equal to the node chain at head. Returns its
  // first unit (0 when none) and the empty slot where it would go.
  id_type FindChain(id_type head, id_type length, id_type* slot) const {
    id_type mask = static_cast<id_type>(table_.size() - 1);
    id_type i = HashOfNodes(head) & mask;
    for (;; i = (i + 1) & mask) {
      id_type first = table_[i];
      if (first == 0) break;
      if (ChainEquals(first, head, length)) return first;
    }
    *slot = i;
    return 0;
  }

  void InsertChain(id_type first) {
    id_type mask = static_cast<id_type>(table_.size() - 1);
    id_type i = HashOfUnits(first) & mask;
    while (table_[i] != 0) i = (i + 1) & mask;
    table_[i] = first;
  }

  void ExpandTable() {
    std::size_t new_size = table_.size() * 2;
    table_.clear();
    table_.resize(new_size, 0);
    for (id_type id = 1; id < units_.size(); ++id) {
      if (labels_[id] == 0 || units_[id].is_state()) InsertChain(id);
    }
  }

  // Minimises every open chain above node id on the stack: each chain is
  // replaced by an identical chain already emitted, or emitted itself.
  void Flush(id_type id) {
    while (node_stack_.top() != id) {
      id_type head = node_stack_.top();
      node_stack_.pop();
      if (num_states_ >= table_.size() - (table_.size() >> 2)) ExpandTable();

      id_type length = ChainLength(nodes_, head);
      id_type slot = 0;
      id_type first = FindChain(head, length, &slot);
      if (first != 0) {
        intersections_.set(first, true);
      } else {
        first = EmitChain(head, length);
        table_[slot] = first;
        ++num_states_;
      }
      RecycleChain(head);
      nodes_[node_stack_.top()].child = first;
    }
    node_stack_.pop();
  }

  id_type EmitChain(id_type head, id_type length) {
    id_type first = static_cast<id_type>(units_.size());
    for (id_type i = 0; i < length; ++i) AppendUnit();
    id_type unit_id = first + length - 1;
    for (id_type id = head; id != 0; id = nodes_[id].sibling, --unit_id) {
      units_[unit_id].bits = nodes_[id].unit();
      labels_[unit_id] = nodes_[id].label;
    }
    return first;
  }

  void RecycleChain(id_type head) {
    for (id_type id = head; id != 0;) {
      id_type next = nodes_[id].sibling;
      recycle_bin_.push(id);
      id = next;
    }
  }

  id_type AppendNode() {
    id_type id;
    if (recycle_bin_.empty()) {
      id = static_cast<id_type>(nodes_.size());
      nodes_.append(DawgNode());
    } else {
      id = recycle_bin_.top();
      recycle_bin_.pop();
      nodes_[id] = DawgNode();
    }
    return id;
  }

  void AppendUnit() {
    intersections_.append();
    units_.append(DawgUnit());
    labels_.append(0);
  }

  AutoPool<DawgNode> nodes_;
  AutoPool<DawgUnit> units_;
  AutoPool<uchar_type> labels_;
  BitVector intersections_;
  AutoPool<id_type> table_;
  AutoStack<id_type> node_stack_;
  AutoStack<id_type> recycle_bin_;
  std::size_t num_states_ = 0;
};

}  // namespace Details
}  // namespace Darts

#endif  // ZORVSEG_DICT_DARTSDAWG_H_
