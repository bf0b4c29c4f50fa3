// Additional rules (additional_rule.dat): strings with alternative
// segmentations that are reported beside the basic words wherever the
// string spans whole words of the result.
//
// Line format: "string<TAB>group<TAB>group...", each group a comma-separated
// list of words (empty words included). Empty lines and lines starting with
// '#' are skipped; a string given again points at the later line. Strings
// are matched lower-cased; group words are kept as written.
//
// One rule set per process (all members static). Trie values are 0-based
// indexes of GetValue.
#ifndef ZORVSEG_CUSTOM_ADDITIONALRULE_H_
#define ZORVSEG_CUSTOM_ADDITIONALRULE_H_

#include <cstddef>
#include <string>
#include <vector>

#include "dict/Darts.h"

namespace new_seg {

struct AdditionalRuleAttribute {
  size_t rule_len;  // byte length of the rule string
  // Alternative segmentations of the rule string, in file order.
  std::vector<std::vector<std::string>> groups;
};

class AdditionalRule {
 public:
  // A group word longer than this is refused: result words are stored in
  // chunks that must also hold their UTF-8 form.
  static const size_t kMaxWordLen = 1024;

  // Loads the rules; false with a message when the file cannot be read.
  static bool Init(const char* path);
  static bool UnInit();

  // Plain trie search: the 0-based indexes of the first `maximum` rules that
  // are prefixes of key, shortest first; returns how many there are.
  static size_t CommonPrefixSearch(const char* key, size_t len, int* results, size_t maximum,
                                   size_t node_pos = 0);
  // The rule at a 0-based index; null when out of range.
  static const AdditionalRuleAttribute* GetValue(int index);
  static size_t GetSize() { return values_.size(); }

 private:
  static Darts::DoubleArrayImpl<int>* trie_impl_pt_;
  static std::vector<AdditionalRuleAttribute> values_;
};

}  // namespace new_seg

#endif  // ZORVSEG_CUSTOM_ADDITIONALRULE_H_
