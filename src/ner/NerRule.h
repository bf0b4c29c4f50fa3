// Hand-written entity annotations: for a literal text, which byte spans
// inside it are entities and of what kind. The recogniser's rule pass
// takes the longest rule text at each position and lets its spans override
// what the dictionary and the CRF found there.
//
// One rule set per process (all state static), loaded from ner_rules.txt:
// GBK text, one rule per line, the text then TAB-separated spans
// "offset,length,kind" (bytes; kind bits 0x40 person, 0x2000 place,
// 0x200000 organisation, 0x20000 date). Leading and trailing white space is
// trimmed; empty lines and lines starting with '#' are skipped. Bad lines
// and spans are reported on stderr and skipped.
#ifndef ZORVSEG_NER_NERRULE_H_
#define ZORVSEG_NER_NERRULE_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "dict/Darts.h"

namespace new_seg {

struct ner_rule_t {
  int32_t text_length;         // bytes of the rule text
  int32_t ne_count;            // number of spans
  const int32_t* offset_list;  // span starts inside the text, increasing
  const int32_t* length_list;  // span lengths
  const int32_t* type_list;    // span kind bits
};

// Kind bits a rule span may carry.
const int32_t kRulePerson = 0x40;
const int32_t kRulePlace = 0x2000;
const int32_t kRuleDate = 0x20000;
const int32_t kRuleOrganization = 0x200000;

class NerRule {
 public:
  // Replaces the rules by the file's. False with a message when the file
  // cannot be opened or the trie cannot be built (the loaded rules are
  // kept then); true otherwise, even when no line was valid.
  static bool load_dict(const char* path);
  static void unload_dict();

  // Number of rule texts that are prefixes of the len bytes of text (0:
  // NUL-terminated); the values of the first `maximum`, shortest first, go
  // to values.
  static std::size_t common_prefix_search(const char* text, std::size_t len, int64_t* values,
                                          std::size_t maximum, std::size_t node_pos = 0);
  // Value of the text, or -1.
  static int64_t exact_match_search(const char* text, std::size_t len, std::size_t node_pos = 0);
  // The rule of a value; null when out of range.
  static const ner_rule_t* get_value(int64_t value);
  static std::size_t size() { return _all_rule.size(); }

 private:
  static std::unique_ptr<Darts::DoubleArray> _trie;
  static std::vector<ner_rule_t> _all_rule;
  static std::vector<int32_t> _all_offset;
  static std::vector<int32_t> _all_length;
  static std::vector<int32_t> _all_type;
};

}  // namespace new_seg

#endif  // ZORVSEG_NER_NERRULE_H_
