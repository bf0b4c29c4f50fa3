// The segmentation mode of a handle: one bit set read by every stage.
#ifndef ZORVSEG_DRIVER_SEGMODE_H_
#define ZORVSEG_DRIVER_SEGMODE_H_

#include <cstdint>

namespace new_seg {

class SegMode {
 public:
  static constexpr int32_t kSingleWord = 0x00000002;
  static constexpr int32_t kPosTag = 0x00000004;
  static constexpr int32_t kUseCustomWord = 0x00000008;
  static constexpr int32_t kSbcToDbc = 0x00000010;
  static constexpr int32_t kUpperToLower = 0x00000020;
  static constexpr int32_t kUsePhrase = 0x00000040;  // read by no stage
  static constexpr int32_t kUseCustomRule = 0x00000080;
  static constexpr int32_t kNeName = 0x00000100;
  static constexpr int32_t kTraditionalToSimplified = 0x00000200;
  static constexpr int32_t kNePerWhole = 0x00010000;
  static constexpr int32_t kNeOrgWhole = 0x00020000;
  static constexpr int32_t kNeLocWhole = 0x00040000;
  static constexpr int32_t kUseWholeMode = 0x00080000;
  static constexpr int32_t kUseAsciiLmMode = 0x01000000;
  static constexpr int32_t kUseAsciiLmPinyin = 0x02000000;
  static constexpr int32_t kUseSimpleMode = 0x08000000;
  static constexpr int32_t kUseAdditionalRuleMode = 0x10000000;
  static constexpr int32_t kAdjustNe = 0x20000000;
  // The default mode of the extension module; the command-line segmenter
  // picks its own.
  static constexpr int32_t kDefaultMode = 0x08212314;

  explicit SegMode(int32_t value = 0) : seg_mode_value_(value) {}

  int32_t seg_mode_value() const { return seg_mode_value_; }
  void set_seg_mode_value(int32_t value) { seg_mode_value_ = value; }

  bool is_single_word() const { return Has(kSingleWord); }
  bool is_pos_tag() const { return Has(kPosTag); }
  bool is_use_custom_word() const { return Has(kUseCustomWord); }
  bool is_sbc_to_dbc() const { return Has(kSbcToDbc); }
  bool is_upper_to_lower() const { return Has(kUpperToLower); }
  bool is_use_phrase() const { return Has(kUsePhrase); }
  bool is_use_custom_rule() const { return Has(kUseCustomRule); }
  bool is_ne_name() const { return Has(kNeName); }
  bool is_traditional_to_simplified() const { return Has(kTraditionalToSimplified); }
  bool is_ne_per_whole() const { return Has(kNePerWhole); }
  bool is_ne_org_whole() const { return Has(kNeOrgWhole); }
  bool is_ne_loc_whole() const { return Has(kNeLocWhole); }
  bool is_use_whole_mode() const { return Has(kUseWholeMode); }
  bool is_use_ascii_lm_mode() const { return Has(kUseAsciiLmMode); }
  bool is_use_ascii_lm_pinyin() const { return Has(kUseAsciiLmPinyin); }
  bool is_use_simple_mode() const { return Has(kUseSimpleMode); }
  bool is_use_additional_rule_mode() const { return Has(kUseAdditionalRuleMode); }
  bool is_adjust_ne() const { return Has(kAdjustNe); }

  void set_single_word() { Set(kSingleWord); }
  void set_pos_tag() { Set(kPosTag); }
  void set_use_custom_word() { Set(kUseCustomWord); }
  void set_sbc_to_dbc() { Set(kSbcToDbc); }
  void set_upper_to_lower() { Set(kUpperToLower); }
  void set_use_phrase() { Set(kUsePhrase); }
  void set_use_custom_rule() { Set(kUseCustomRule); }
  void set_ne_name() { Set(kNeName); }
  void set_traditional_to_simplified() { Set(kTraditionalToSimplified); }
  void set_ne_name_whole() { Set(kNePerWhole); }
  void set_ne_org_whole() { Set(kNeOrgWhole); }
  void set_ne_loc_whole() { Set(kNeLocWhole); }
  void set_use_whole_mode() { Set(kUseWholeMode); }
  void set_use_ascii_lm_mode() { Set(kUseAsciiLmMode); }
  void set_use_ascii_lm_pinyin() { Set(kUseAsciiLmPinyin); }
  void set_use_simple_mode() { Set(kUseSimpleMode); }

 private:
  bool Has(int32_t bit) const { return (seg_mode_value_ & bit) != 0; }
  void Set(int32_t bit) { seg_mode_value_ |= bit; }

  int32_t seg_mode_value_;
};

}  // namespace new_seg

#endif  // ZORVSEG_DRIVER_SEGMODE_H_
