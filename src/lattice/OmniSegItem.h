// A word edge of the lattice, stored at the node where the word ends.
#ifndef ZORVSEG_LATTICE_OMNISEGITEM_H_
#define ZORVSEG_LATTICE_OMNISEGITEM_H_

#include <cstddef>
#include <cstdint>

namespace new_seg {

// Reserved attribute ids; core-dictionary ids stay below kReservedIdBase.
const int32_t kReservedIdBase = 100000000;
const int32_t kSentenceStartIdx = 100000001;
const int32_t kPersonPhraseIdx = 100000010;
const int32_t kLocationPhraseIdx = 100000012;
const int32_t kOrganizationPhraseIdx = 100000013;
const int32_t kDatePhraseIdx = 100000023;
// URLs and e-mail addresses found in ASCII runs.
const int32_t kUrlPhraseIdx = 100000030;
const int32_t kEmailPhraseIdx = 100000031;

struct OmniSegItem {
  enum UnDictTermType : int32_t {
    TYPE_CJK = 0,
    TYPE_ENG = 1,
    TYPE_NUM = 2,
    TYPE_SEG = 3,  // separator, and the sentence-start edge
    TYPE_ERR = 4,  // invalid byte sequence
    TYPE_CUS = 5,  // custom-dictionary word
    TYPE_RUL = 6,  // rule match
  };

  size_t term_begin_pos;
  size_t term_len;
  int32_t term_attribute_idx;
  UnDictTermType undict_term_type;
  float max_weight;       // best path cost up to and including this edge
  float weight_discount;  // cost added when a phrase crosses this edge
  size_t pre_seg_item_idx;  // best preceding edge in the start node
  int64_t pair_history;     // the searcher's n-gram walk of this word as a predecessor
  uint8_t pos_tag;
  float model_cost;  // added to the path cost: how unsure a word model was
};

// A phrase edge, stored at the node where the phrase starts.
struct OmniPhraseItem {
  size_t phrase_end_pos;
  size_t phrase_len;
  int32_t phrase_attribute_idx;
};

}  // namespace new_seg

#endif  // ZORVSEG_LATTICE_OMNISEGITEM_H_
