#include "pos/TransitionBlock.h"

namespace new_seg {

void TransitionBlock::Use(const TagModel& model, const uint8_t* from, size_t from_count,
                          const uint8_t* to, size_t to_count) {
  if (&model == model_ && from == from_ && to == to_ && from_count == from_count_ &&
      to_count == to_count_) {
    return;
  }
  if (from != from_ || from_count != from_count_) {
    for (size_t j = 0; j < from_count; ++j) order_[j] = static_cast<uint8_t>(j);
  }
  model_ = &model;
  from_ = from;
  to_ = to;
  from_count_ = from_count;
  to_count_ = to_count;
  for (size_t k = 0; k < to_count; ++k) {
    float* row = weights_[k];
    for (size_t j = 0; j < from_count; ++j) row[j] = model.PosTransition(from[j], to[k]).weight;
    float greatest = row[0];
    for (size_t j = 1; j < from_count; ++j) greatest = row[j] > greatest ? row[j] : greatest;
    greatest_into_[k] = greatest;
  }
}

void TransitionBlock::SortByScore(const float* previous) {
  for (size_t i = 1; i < from_count_; ++i) {
    uint8_t candidate = order_[i];
    float score = previous[candidate];
    size_t at = i;
    for (; at > 0 && previous[order_[at - 1]] < score; --at) order_[at] = order_[at - 1];
    order_[at] = candidate;
  }
}

void TransitionBlock::Step(const float* previous, float floor, float* best, uint8_t* back) {
  SortByScore(previous);
  for (size_t k = 0; k < to_count_; ++k) {
    const float* row = weights_[k];
    float top = floor;
    size_t top_j = 0;
    for (size_t n = 0; n < from_count_; ++n) {
      size_t j = order_[n];
      // No candidate after one whose score plus the greatest weight into k
      // falls short of the best sum can reach it (nor tie it): scores only
      // fall from here. Rounding keeps the order: a + b <= a + c when b <= c.
      if (previous[j] + greatest_into_[k] < top) break;
      float sum = row[j] + previous[j];
      if (sum > top || (sum == top && top != floor && j < top_j)) {
        top = sum;
        top_j = j;
      }
    }
    best[k] = top;
    back[k] = static_cast<uint8_t>(top_j);
  }
}

}  // namespace new_seg
