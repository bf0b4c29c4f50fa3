// Custom rules (custom_rule.dat): strings that must be cut into given
// tokens wherever they span whole words of the best path.
//
// Line format: "string,len1,len2,..." - the token byte lengths, which must
// be positive, end on character boundaries and add up to the string's
// length (at most 255 bytes). A line without a comma keeps the string as
// one token. Empty lines and lines starting with '#' are skipped; a string
// given again replaces the earlier rule. Strings are matched lower-cased.
//
// One rule set per process (all members static). Search results are 1-based
// ids: id k names GetValue(k).
#ifndef ZORVSEG_CUSTOM_CUSTOMRULE_H_
#define ZORVSEG_CUSTOM_CUSTOMRULE_H_

#include <cstddef>
#include <cstdint>

#include "dict/RecordDictFile.h"

namespace new_seg {

struct CustomRuleAttribute {
  size_t rule_len;             // byte length of the rule string
  size_t rule_seg_info_index;  // start of the boundary list; 0: no list
};

class CustomRule {
 public:
  // Boundaries are kept in single bytes.
  static const size_t kMaxCutRuleLen = 255;

  // Loads the rules; false with a message when the file cannot be read.
  // Lines with unusable token lengths are reported and skipped.
  static bool Init(const char* path);
  static bool UnInit();

  static int ExactMatchSearch(const char* key, size_t len = 0, size_t node_pos = 0);
  static size_t CommonPrefixSearch(const char* key, size_t len, int* results, size_t maximum,
                                   size_t node_pos = 0);
  // Raw 0-based value, -1 (no rule ends here) or -2 (no match).
  static int Traverse(const char* key, size_t len, size_t* node_pos, size_t* key_pos);

  // Attribute of a 1-based id; null when out of range.
  static const CustomRuleAttribute* GetValue(int id);
  // The boundary list of a rule: 0, the running sums of its token lengths,
  // ending with rule_len. Null for index 0 or an index out of range.
  static const uint8_t* GetSegInfo(size_t index);
  static size_t GetSegInfoSize() { return rules_.seg_info_size(); }
  static size_t GetSize() { return rules_.size(); }

 private:
  static RecordDictFile<CustomRuleAttribute> rules_;
};

}  // namespace new_seg

#endif  // ZORVSEG_CUSTOM_CUSTOMRULE_H_
