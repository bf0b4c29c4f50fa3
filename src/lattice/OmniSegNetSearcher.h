// Finds the cheapest path through the lattice with n-gram word-transition
// costs and a penalty for words that cut through a candidate phrase, and
// records it in the nodes.
#ifndef ZORVSEG_LATTICE_OMNISEGNETSEARCHER_H_
#define ZORVSEG_LATTICE_OMNISEGNETSEARCHER_H_

#include <cstddef>

namespace new_seg {

class OmniSegNet;
class OmniSegNode;
struct OmniSegItem;

class OmniSegNetSearcher {
 public:
  explicit OmniSegNetSearcher(OmniSegNet* seg_net);

  // 0 on success, negative when the start edge cannot be added, -9 when no
  // complete path exists.
  int Search();
  int FindOptimalPath();
  bool SetOptimalPath();
  // True, with the item's weight_discount set, when a phrase crosses it.
  bool GetSegItemDiscount(OmniSegItem& item) const;

 private:
  static constexpr size_t kWeightDiscountsLen = 8;

  static void SetPairHistories(OmniSegNode* node);
  void PrefetchPairs(size_t pos) const;
  static constexpr size_t kPrefetchAhead = 4;

  OmniSegNet* seg_net_;
  size_t weight_discounts_len_ = kWeightDiscountsLen;
  float weight_discounts_[kWeightDiscountsLen];
};

}  // namespace new_seg

#endif  // ZORVSEG_LATTICE_OMNISEGNETSEARCHER_H_
