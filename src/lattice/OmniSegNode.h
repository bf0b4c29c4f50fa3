// One byte position of the lattice: the word edges ending here, the phrase
// edges starting here, and the best-path flags the stages share.
#ifndef ZORVSEG_LATTICE_OMNISEGNODE_H_
#define ZORVSEG_LATTICE_OMNISEGNODE_H_

#include <cstdio>

#include "lattice/OmniSegItem.h"

namespace new_seg {

class alignas(64) OmniSegNode {
 public:
  OmniSegNode() = default;
  ~OmniSegNode();
  OmniSegNode(const OmniSegNode&) = delete;
  OmniSegNode& operator=(const OmniSegNode&) = delete;

  // 0 added, 1 refused (rule node), -1 out of memory.
  int AddTerm(size_t begin, size_t len, int32_t attribute_idx, float weight_discount,
              OmniSegItem::UnDictTermType type);
  int AddTerm(size_t begin, size_t len, int32_t attribute_idx,
              OmniSegItem::UnDictTermType type) {
    return AddTerm(begin, len, attribute_idx, 1.0f, type);
  }
  // 0 added, 1 refused (phrases forbidden here), -1 out of memory.
  int AddPhrase(size_t end, size_t len, int32_t attribute_idx);
  // One zero-filled entry appended; null when out of memory.
  OmniSegItem* GetNewSegItem();
  OmniPhraseItem* GetNewPhraseItem();
  void Clear();
  void Dump(const char* prefix, FILE* file) const;

  bool is_candidate_seg_node() const { return is_candidate_seg_node_; }
  void set_is_candidate_seg_node(bool v) { is_candidate_seg_node_ = v; }
  bool is_optimal_seg_node() const { return is_optimal_seg_node_; }
  void set_is_optimal_seg_node(bool v) { is_optimal_seg_node_ = v; }
  bool is_rule_seg_node() const { return is_rule_seg_node_; }
  void set_is_rule_seg_node(bool v) { is_rule_seg_node_ = v; }
  bool could_add_phrase() const { return could_add_phrase_; }
  void forbid_add_phrase() { could_add_phrase_ = false; }

  OmniSegItem* seg_items() const { return seg_items_; }
  size_t seg_item_size() const { return seg_item_size_; }
  size_t seg_item_capacity() const { return seg_item_capacity_; }
  size_t optimal_item_idx() const { return optimal_item_idx_; }
  void set_optimal_item_idx(size_t v) { optimal_item_idx_ = static_cast<uint32_t>(v); }
  OmniSegItem* optimal_item() const {
    return optimal_item_idx_ < seg_item_size_ ? &seg_items_[optimal_item_idx_] : nullptr;
  }
  float optimal_weight() const { return optimal_weight_; }
  void set_optimal_weight(float v) { optimal_weight_ = v; }
  size_t next_term_len() const { return next_term_len_; }
  void set_next_term_len(size_t v) { next_term_len_ = static_cast<uint32_t>(v); }

  bool is_candidate_phrase_node() const { return is_candidate_phrase_node_; }
  void set_is_candidate_phrase_node(bool v) { is_candidate_phrase_node_ = v; }
  OmniPhraseItem* phrase_items() const { return phrase_items_; }
  size_t phrase_item_size() const { return phrase_item_size_; }
  size_t phrase_item_capacity() const { return phrase_item_capacity_; }
  size_t in_phrase_max_len() const { return in_phrase_max_len_; }
  void set_in_phrase_max_len(size_t v) { in_phrase_max_len_ = static_cast<uint32_t>(v); }
  size_t out_phrase_max_len() const { return out_phrase_max_len_; }
  void set_out_phrase_max_len(size_t v) { out_phrase_max_len_ = static_cast<uint32_t>(v); }

 private:
  static constexpr uint32_t kGrowStep = 4;

  // One 64-byte line a node: the search and the builder's checks walk the
  // nodes of a sentence in turn. Counts and lengths are bounded by the
  // sentence capacity, far below 2^32.
  bool is_candidate_seg_node_ = false;
  bool is_optimal_seg_node_ = false;
  bool is_rule_seg_node_ = false;
  bool could_add_phrase_ = true;
  bool is_candidate_phrase_node_ = false;
  OmniSegItem* seg_items_ = nullptr;
  OmniPhraseItem* phrase_items_ = nullptr;
  uint32_t seg_item_capacity_ = 0;
  uint32_t seg_item_size_ = 0;
  uint32_t optimal_item_idx_ = 0;
  float optimal_weight_ = 0.0f;
  uint32_t next_term_len_ = 0;
  uint32_t phrase_item_capacity_ = 0;
  uint32_t phrase_item_size_ = 0;
  uint32_t in_phrase_max_len_ = 0;
  uint32_t out_phrase_max_len_ = 0;
};

static_assert(sizeof(OmniSegNode) == 64, "a lattice node is one cache line");

}  // namespace new_seg

#endif  // ZORVSEG_LATTICE_OMNISEGNODE_H_
