#include "lattice/OmniSegNode.h"

#include <cstdlib>
#include <cstring>

namespace new_seg {

namespace {
// Appends one zero-filled entry to a malloc'ed array that grows by `step`
// entries and is never shrunk.
template <typename T>
T* AppendZeroed(T*& items, uint32_t& size, uint32_t& capacity, uint32_t step) {
  if (size == capacity) {
    T* grown = static_cast<T*>(realloc(items, (size_t{capacity} + step) * sizeof(T)));
    if (grown == nullptr) return nullptr;
    items = grown;
    capacity += step;
  }
  T* item = &items[size++];
  memset(static_cast<void*>(item), 0, sizeof(T));
  return item;
}
}  // namespace

OmniSegNode::~OmniSegNode() {
  free(seg_items_);
  free(phrase_items_);
}

OmniSegItem* OmniSegNode::GetNewSegItem() {
  return AppendZeroed(seg_items_, seg_item_size_, seg_item_capacity_, kGrowStep);
}

OmniPhraseItem* OmniSegNode::GetNewPhraseItem() {
  return AppendZeroed(phrase_items_, phrase_item_size_, phrase_item_capacity_, kGrowStep);
}

int OmniSegNode::AddTerm(size_t begin, size_t len, int32_t attribute_idx,
                         float weight_discount, OmniSegItem::UnDictTermType type) {
  if (is_rule_seg_node_) return 1;
  OmniSegItem* item = GetNewSegItem();
  if (item == nullptr) return -1;
  item->term_begin_pos = begin;
  item->term_len = len;
  item->term_attribute_idx = attribute_idx;
  item->weight_discount = weight_discount;
  item->undict_term_type = type;
  is_candidate_seg_node_ = true;
  return 0;
}

int OmniSegNode::AddPhrase(size_t end, size_t len, int32_t attribute_idx) {
  if (!could_add_phrase_) return 1;
  OmniPhraseItem* item = GetNewPhraseItem();
  if (item == nullptr) return -1;
  item->phrase_end_pos = end;
  item->phrase_len = len;
  item->phrase_attribute_idx = attribute_idx;
  is_candidate_phrase_node_ = true;
  return 0;
}

void OmniSegNode::Clear() {
  is_candidate_seg_node_ = false;
  is_optimal_seg_node_ = false;
  is_rule_seg_node_ = false;
  could_add_phrase_ = true;
  seg_item_size_ = 0;
  optimal_item_idx_ = 0;
  optimal_weight_ = 0.0f;
  next_term_len_ = 0;
  is_candidate_phrase_node_ = false;
  phrase_item_size_ = 0;
  in_phrase_max_len_ = 0;
  out_phrase_max_len_ = 0;
}

void OmniSegNode::Dump(const char* prefix, FILE* file) const {
  fprintf(file, "%sis_candidate_seg_node    : %d\n", prefix, is_candidate_seg_node_);
  fprintf(file, "%sis_optimal_seg_node      : %d\n", prefix, is_optimal_seg_node_);
  fprintf(file, "%sis_rule_seg_node         : %d\n", prefix, is_rule_seg_node_);
  fprintf(file, "%scould_add_phrase         : %d\n", prefix, could_add_phrase_);
  fprintf(file, "%sseg_item_size            : %lu\n", prefix, seg_item_size());
  fprintf(file, "%soptimal_item_idx         : %lu\n", prefix, optimal_item_idx());
  fprintf(file, "%soptimal_weight           : %f\n", prefix, optimal_weight_);
  fprintf(file, "%snext_term_len            : %lu\n", prefix, next_term_len());
  fprintf(file, "%sis_candidate_phrase_node : %d\n", prefix, is_candidate_phrase_node_);
  fprintf(file, "%sin_phrase_max_len        : %lu\n", prefix, in_phrase_max_len());
  fprintf(file, "%sout_phrase_max_len       : %lu\n", prefix, out_phrase_max_len());
  for (size_t i = 0; i < seg_item_size_; ++i) {
    const OmniSegItem& item = seg_items_[i];
    fprintf(file, "%s\tseg_item_%lu:\n", prefix, i);
    fprintf(file, "%s\tterm_begin_pos     : %lu\n", prefix, item.term_begin_pos);
    fprintf(file, "%s\tterm_len           : %lu\n", prefix, item.term_len);
    fprintf(file, "%s\tundict_term_type   : %u\n", prefix,
            static_cast<unsigned>(item.undict_term_type));
    fprintf(file, "%s\tterm_attribute_idx : %d\n", prefix, item.term_attribute_idx);
    fprintf(file, "%s\tmax_weight         : %f\n", prefix, item.max_weight);
    fprintf(file, "%s\tweigh_discount     : %f\n", prefix, item.weight_discount);
    fprintf(file, "%s\tpre_seg_item_idx   : %lu\n", prefix, item.pre_seg_item_idx);
    fprintf(file, "%s\tpos_tag            : %u\n", prefix, item.pos_tag);
    fprintf(file, "\n");
  }
  for (size_t i = 0; i < phrase_item_size_; ++i) {
    const OmniPhraseItem& item = phrase_items_[i];
    fprintf(file, "%s\tphrase_item_%lu:\n", prefix, i);
    fprintf(file, "%s\tphrase_end_pos     : %lu\n", prefix, item.phrase_end_pos);
    fprintf(file, "%s\tphrase_len           : %lu\n", prefix, item.phrase_len);
    fprintf(file, "%s\tphrase_attribute_idx : %d\n", prefix, item.phrase_attribute_idx);
    fprintf(file, "\n");
  }
}

}  // namespace new_seg
