// The record of one word of the POS intervention dictionary: its length and
// the identifiers of the tag sequences ("rules") listed for it.
#ifndef ZORVSEG_POS_POSCORETERMATTRIBUTE_H_
#define ZORVSEG_POS_POSCORETERMATTRIBUTE_H_

#include <cstddef>

namespace new_seg {

struct PosCoreTermAttribute {
  static constexpr size_t kMaxRules = 4;

  size_t length = 0;   // the word's length in bytes
  size_t ruleNum = 0;  // rules held, at most kMaxRules
  size_t ruleIDs[kMaxRules] = {};

  // Keeps the first kMaxRules distinct identifiers in the order first seen.
  void AddtypeID(size_t ID) {
    for (size_t i = 0; i < ruleNum; ++i) {
      if (ruleIDs[i] == ID) return;
    }
    if (ruleNum < kMaxRules) ruleIDs[ruleNum++] = ID;
  }
};

}  // namespace new_seg

#endif  // ZORVSEG_POS_POSCORETERMATTRIBUTE_H_
