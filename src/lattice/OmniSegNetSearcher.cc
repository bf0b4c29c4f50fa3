#include "lattice/OmniSegNetSearcher.h"

#include <cfloat>
#include <cmath>

#include "dict/NGram.h"
#include "lattice/OmniSegNet.h"

namespace new_seg {

namespace {
const int kBrokenPath = -9;
}

// Penalty by how many bytes the longest crossing phrase exceeds the word:
// -ln of 0.95, 0.8, 0.7, 0.6, 0.5, 0.4, 0.4 for 1 to 7 or more bytes.
OmniSegNetSearcher::OmniSegNetSearcher(OmniSegNet* seg_net) : seg_net_(seg_net) {
  const double kProbabilities[kWeightDiscountsLen] = {1.0, 0.95, 0.8, 0.7, 0.6, 0.5, 0.4, 0.4};
  for (size_t i = 0; i < kWeightDiscountsLen; ++i) {
    weight_discounts_[i] = static_cast<float>(-std::log(kProbabilities[i]));
  }
}

int OmniSegNetSearcher::Search() {
  int result = FindOptimalPath();
  if (result < 0) return result;
  return SetOptimalPath() ? 0 : kBrokenPath;
}

bool OmniSegNetSearcher::GetSegItemDiscount(OmniSegItem& item) const {
  size_t begin = item.term_begin_pos;
  size_t len = item.term_len;
  if (len <= 1) return false;
  size_t longest = 0;
  for (size_t u = 1; u < len; ++u) {
    const OmniSegNode* node = seg_net_->GetSegNode(begin + u);
    if (node == nullptr) break;
    if (node->in_phrase_max_len() > u && node->in_phrase_max_len() > longest) {
      longest = node->in_phrase_max_len();
    }
    if (node->out_phrase_max_len() > len - u && node->out_phrase_max_len() > longest) {
      longest = node->out_phrase_max_len();
    }
  }
  if (longest <= len) return false;
  size_t excess = longest - len;
  if (excess > weight_discounts_len_ - 1) excess = weight_discounts_len_ - 1;
  item.weight_discount = weight_discounts_[excess];
  return true;
}

int OmniSegNetSearcher::FindOptimalPath() {
  size_t size = seg_net_->seg_net_size();
  if (size == 0) return 0;
  OmniSegNode* head = seg_net_->GetSegNode(0);
  head->set_optimal_weight(0.0f);
  int result = head->AddTerm(0, 0, kSentenceStartIdx, OmniSegItem::TYPE_SEG);
  if (result < 0) return result;
  for (size_t i = 0; i < size; ++i) SetPairHistories(seg_net_->GetSegNode(i));

  for (size_t i = 1; i < size; ++i) {
    if (i + kPrefetchAhead < size) PrefetchPairs(i + kPrefetchAhead);
    OmniSegNode* node = seg_net_->GetSegNode(i);
    if (!node->is_candidate_seg_node()) continue;
    node->set_optimal_weight(FLT_MAX);
    for (size_t k = 0; k < node->seg_item_size(); ++k) {
      OmniSegItem& edge = node->seg_items()[k];
      edge.max_weight = FLT_MAX;
      const OmniSegNode* start = seg_net_->GetSegNode(edge.term_begin_pos);
      // The backed-off cost does not depend on the predecessor: look it up
      // once per edge, and only when some pair is missing.
      float backed_off = -1.0f;
      for (size_t j = 0; j < start->seg_item_size(); ++j) {
        const OmniSegItem& before = start->seg_items()[j];
        if (before.max_weight > edge.max_weight) continue;
        float transition = 0.0f;
        if (!NGram::PairCostAfter(before.pair_history, before.term_attribute_idx,
                                  edge.term_attribute_idx, &transition)) {
          if (backed_off < 0.0f) backed_off = NGram::BackedOffCost(edge.term_attribute_idx);
          transition = backed_off;
        }
        float weight = transition + before.max_weight;
        if (weight <= edge.max_weight) {
          edge.max_weight = weight;
          edge.pre_seg_item_idx = j;
        }
      }
      edge.max_weight += edge.model_cost;
      if (GetSegItemDiscount(edge)) edge.max_weight += edge.weight_discount;
      if (edge.max_weight <= node->optimal_weight()) {
        node->set_optimal_weight(edge.max_weight);
        node->set_optimal_item_idx(k);
      }
    }
  }
  return 0;
}

// The pair costs of a node a few positions ahead, and the backed-off costs
// of its words, are fetched while this one is scored: their cache misses
// overlap instead of following one another.
void OmniSegNetSearcher::PrefetchPairs(size_t pos) const {
  const OmniSegNode* node = seg_net_->GetSegNode(pos);
  for (size_t k = 0; k < node->seg_item_size(); ++k) {
    const OmniSegItem& edge = node->seg_items()[k];
    NGram::PrefetchBackedOffCost(edge.term_attribute_idx);
    const OmniSegNode* start = seg_net_->GetSegNode(edge.term_begin_pos);
    for (size_t j = 0; j < start->seg_item_size(); ++j) {
      const OmniSegItem& before = start->seg_items()[j];
      NGram::PrefetchPair(before.pair_history, before.term_attribute_idx,
                          edge.term_attribute_idx);
    }
  }
}

// Each edge is the predecessor of every edge that starts where it ends: its
// half of the pair keys is walked once, here.
void OmniSegNetSearcher::SetPairHistories(OmniSegNode* node) {
  for (size_t k = 0; k < node->seg_item_size(); ++k) {
    OmniSegItem& item = node->seg_items()[k];
    item.pair_history = NGram::PairHistory(item.term_attribute_idx);
  }
}

bool OmniSegNetSearcher::SetOptimalPath() {
  size_t size = seg_net_->seg_net_size();
  if (size == 0) return false;
  size_t pos = size - 1;
  OmniSegNode* node = seg_net_->GetSegNode(pos);
  size_t item_idx = node->optimal_item_idx();
  size_t next_len = 0;
  for (;;) {
    if (item_idx >= node->seg_item_size()) return false;
    node->set_is_optimal_seg_node(true);
    node->set_next_term_len(next_len);
    node->set_optimal_item_idx(item_idx);
    if (pos == 0) return true;
    const OmniSegItem& edge = node->seg_items()[item_idx];
    // An edge that does not move back can only come from a broken lattice.
    if (edge.term_begin_pos >= pos || edge.max_weight == FLT_MAX) return false;
    next_len = edge.term_len;
    item_idx = edge.pre_seg_item_idx;
    pos = edge.term_begin_pos;
    node = seg_net_->GetSegNode(pos);
  }
}

}  // namespace new_seg
