// Date and time expressions: calendar dates in digits, clock times,
// durations and counts of time units, relative and lunar dates, centuries
// and decades (fifteen regular expressions over GBK bytes), and holidays
// from the entity dictionary. One per handle; it keeps the compiled
// expressions and the date results of the current sentence.
#ifndef ZORVSEG_NER_NAMEENTITYOTHERTYPE_H_
#define ZORVSEG_NER_NAMEENTITYOTHERTYPE_H_

#include <locale.h>
#include <regex.h>

#include <cstddef>
#include <cstdint>

#include "ner/NEDict.h"
#include "ner/NameEntityResult.h"

namespace new_seg {

class OmniSegNet;

class NameEntityOtherType {
 public:
  static constexpr std::size_t kPatternCount = 15;

  NameEntityOtherType();
  ~NameEntityOtherType();
  NameEntityOtherType(const NameEntityOtherType&) = delete;
  NameEntityOtherType& operator=(const NameEntityOtherType&) = delete;

  // Records the date expressions of the sentence (GBK, len bytes) whose
  // spans cut no phrase of its searched lattice. False only for null
  // arguments.
  bool GetDateTypeNameEntity(const char* sentence, std::size_t len, const OmniSegNet* seg_net,
                             uint32_t mode_type);
  // Byte length of the longest date expression starting at pos, or 0.
  std::size_t GetDateNameEntity(const char* sentence, std::size_t len, std::size_t pos);
  // Whether a date expression may start at pos: an ASCII digit or one of
  // the one- and two-character time prefixes.
  static bool IsTimePrefix(const char* sentence, std::size_t len, std::size_t pos);
  // Whether the entry's kind shares a bit with `kind` and its span at pos
  // lies on the best path without cutting a phrase.
  static bool IsValidEntity(const OmniSegNet* seg_net, uint32_t kind, std::size_t pos,
                            const NEDictAttribute& record);
  // Whether [pos, pos + len) cuts no phrase of the lattice.
  static bool CutsNoPhrase(const OmniSegNet* seg_net, std::size_t pos, std::size_t len);

  std::size_t holiday_ne_number() const { return m_holiday_ne_number_; }
  const _name_entity_result& holiday_ne(std::size_t i) const { return m_holiday_ne_[i]; }
  // How many expressions compiled (all of them unless one was refused).
  std::size_t compiled_count();

 private:
  // Records a date result for a kind with the date bit; others record nothing.
  bool AddNameEntity(uint32_t kind, std::size_t pos, std::size_t len, uint8_t state,
                     uint8_t geo_code);
  void CompileOnce();
  bool Compile(std::size_t index, const char* pattern_utf8);
  // Length of pattern `index`'s longest match starting at pos (0: none).
  std::size_t MatchAt(std::size_t index, const char* sentence, std::size_t len,
                      std::size_t pos);
  std::size_t DictionaryDateAt(const char* sentence, std::size_t len, std::size_t pos,
                               const OmniSegNet* seg_net, uint32_t mode_type);

  std::size_t m_holiday_ne_number_ = 0;
  _name_entity_result m_holiday_ne_[kNeCapacity];
  int m_result_[kNeCapacity];
  regex_t patterns_[kPatternCount];
  bool compiled_[kPatternCount] = {};
  regmatch_t re_matched_[1];
  // The expressions are GBK bytes and must be compiled and matched byte by
  // byte whatever locale the host program set.
  locale_t c_locale_ = static_cast<locale_t>(0);
  bool compile_tried_ = false;
};

}  // namespace new_seg

#endif  // ZORVSEG_NER_NAMEENTITYOTHERTYPE_H_
