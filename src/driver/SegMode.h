// The segmentation mode of a handle: one bit set read by every stage.
#ifndef ZORVSEG_DRIVER_SEGMODE_H_
#define ZORVSEG_DRIVER_SEGMODE_H_

#include <cstdint>

#include "zorvseg_mode.h"

namespace new_seg {

class SegMode {
 public:
  explicit SegMode(int32_t value = 0) : seg_mode_value_(value) {}

  int32_t seg_mode_value() const { return seg_mode_value_; }
  void set_seg_mode_value(int32_t value) { seg_mode_value_ = value; }

  bool is_single_word() const { return Has(kModeSingleWord); }
  bool is_pos_tag() const { return Has(kModePosTag); }
  bool is_use_custom_word() const { return Has(kModeUseCustomWord); }
  bool is_sbc_to_dbc() const { return Has(kModeSbcToDbc); }
  bool is_upper_to_lower() const { return Has(kModeUpperToLower); }
  bool is_use_phrase() const { return Has(kModeUsePhrase); }
  bool is_use_custom_rule() const { return Has(kModeUseCustomRule); }
  bool is_ne_name() const { return Has(kModeNeName); }
  bool is_traditional_to_simplified() const { return Has(kModeTraditionalToSimplified); }
  bool is_ne_per_whole() const { return Has(kModeNePerWhole); }
  bool is_ne_org_whole() const { return Has(kModeNeOrgWhole); }
  bool is_ne_loc_whole() const { return Has(kModeNeLocWhole); }
  bool is_use_whole_mode() const { return Has(kModeUseWholeMode); }
  bool is_use_ascii_lm_mode() const { return Has(kModeUseAsciiLmMode); }
  bool is_use_ascii_lm_pinyin() const { return Has(kModeUseAsciiLmPinyin); }
  bool is_use_simple_mode() const { return Has(kModeUseSimpleMode); }
  bool is_use_additional_rule_mode() const { return Has(kModeUseAdditionalRuleMode); }
  bool is_adjust_ne() const { return Has(kModeAdjustNe); }
  bool is_find_unknown_words() const { return Has(kModeFindUnknownWords); }

  void set_single_word() { Set(kModeSingleWord); }
  void set_pos_tag() { Set(kModePosTag); }
  void set_use_custom_word() { Set(kModeUseCustomWord); }
  void set_sbc_to_dbc() { Set(kModeSbcToDbc); }
  void set_upper_to_lower() { Set(kModeUpperToLower); }
  void set_use_phrase() { Set(kModeUsePhrase); }
  void set_use_custom_rule() { Set(kModeUseCustomRule); }
  void set_ne_name() { Set(kModeNeName); }
  void set_traditional_to_simplified() { Set(kModeTraditionalToSimplified); }
  void set_ne_name_whole() { Set(kModeNePerWhole); }
  void set_ne_org_whole() { Set(kModeNeOrgWhole); }
  void set_ne_loc_whole() { Set(kModeNeLocWhole); }
  void set_use_whole_mode() { Set(kModeUseWholeMode); }
  void set_use_ascii_lm_mode() { Set(kModeUseAsciiLmMode); }
  void set_use_ascii_lm_pinyin() { Set(kModeUseAsciiLmPinyin); }
  void set_use_simple_mode() { Set(kModeUseSimpleMode); }
  void set_find_unknown_words() { Set(kModeFindUnknownWords); }

 private:
  bool Has(int32_t bit) const { return (seg_mode_value_ & bit) != 0; }
  void Set(int32_t bit) { seg_mode_value_ |= bit; }

  int32_t seg_mode_value_;
};

}  // namespace new_seg

#endif  // ZORVSEG_DRIVER_SEGMODE_H_
