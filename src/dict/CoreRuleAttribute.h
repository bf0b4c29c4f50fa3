// Attribute record of one core rule, 16 bytes in memory and in core_rule.dat
// alike.
#ifndef ZORVSEG_DICT_CORERULEATTRIBUTE_H_
#define ZORVSEG_DICT_CORERULEATTRIBUTE_H_

#include <cstdint>

namespace new_seg {

struct CoreRuleAttribute {
  uint8_t rule_len;                  // byte length of the pattern
  uint8_t rule_effective_begin_pos;  // start of the part that is cut
  uint8_t rule_effective_len;        // length of that part
  uint8_t padding[5];                // carried unread
  // Byte index of the split-position list in the seg-info array; 0 when the
  // effective part is one piece.
  uint64_t rule_seg_info_index;
};

static_assert(sizeof(CoreRuleAttribute) == 16,
              "CoreRuleAttribute is stored as a 16-byte record");

}  // namespace new_seg

#endif  // ZORVSEG_DICT_CORERULEATTRIBUTE_H_
