// One step of the tagger's Viterbi recursion between two long candidate
// lists, pruned without changing its result.
//
// A word the model does not know may carry dozens of candidate tags (the
// model's list for unknown words), and text of one such word per character
// pairs them word after word: the plain step costs the product of the two
// list lengths. Here the previous word's candidates are visited in order of
// falling score, and for each current candidate the visit stops as soon as
// even its best transition cannot lift a score to the best sum found: on the
// trained model a handful of the dozens are visited.
//
// The transition weights of the pair of lists are copied into a block with
// the greatest weight into each current candidate, and the block is kept
// while the same pair of lists follows itself, as it does in such runs.
//
// The result is exactly the plain recursion's: the same sums, the greatest
// one, and among equal ones the earliest previous candidate.
#ifndef ZORVSEG_POS_TRANSITIONBLOCK_H_
#define ZORVSEG_POS_TRANSITIONBLOCK_H_

#include <cstddef>
#include <cstdint>

#include "pos/TagModel.h"

namespace new_seg {

class TransitionBlock {
 public:
  // Lists shorter than this pair up faster by the plain loop.
  static constexpr size_t kMinPairs = 64;

  // Makes the block hold the weights from each tag of `from` to each tag of
  // `to` (the lists stay the caller's and must outlive their use here).
  void Use(const TagModel& model, const uint8_t* from, size_t from_count, const uint8_t* to,
           size_t to_count);

  // For every candidate k of `to`: best[k] = the greatest weight(j, k) +
  // previous[j] over the candidates j of `from` when it is above `floor`,
  // else `floor`; back[k] = the first j giving it (0 with the floor).
  // The weights and scores must be finite (the model loader sees to it).
  void Step(const float* previous, float floor, float* best, uint8_t* back);

 private:
  static constexpr size_t kMaxCount = TagModel::MAX_POS_ROLE_TYPE;

  // Sorts order_ by falling previous score, starting from the order of the
  // last step: scores of a run of like words keep their order.
  void SortByScore(const float* previous);

  const TagModel* model_ = nullptr;
  const uint8_t* from_ = nullptr;
  const uint8_t* to_ = nullptr;
  size_t from_count_ = 0;
  size_t to_count_ = 0;
  float weights_[kMaxCount][kMaxCount];  // [k][j]: from candidate j to candidate k
  float greatest_into_[kMaxCount];       // [k]: the greatest weights_[k][j]
  uint8_t order_[kMaxCount];             // the candidates of `from`, by falling score
};

}  // namespace new_seg

#endif  // ZORVSEG_POS_TRANSITIONBLOCK_H_
