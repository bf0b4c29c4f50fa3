#include "ner/NameEntityOtherType.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "lattice/OmniSegNet.h"
#include "text/EncodeConverter.h"
#include "text/Gb18030.h"

namespace new_seg {

namespace {

// In the order they are tried. The first twelve are the Chinese-written
// expressions; a best match among them made only of digits is dropped
// before the three digit-written calendar dates are tried.
const char* const kDatePatterns[NameEntityOtherType::kPatternCount] = {
    // a count in digits of a time unit
    "(上|下|前|每|第|这|最近)?(([0-9]+)|几)(个)?(周|星期|礼拜|月|月份|年|天|日|季度|小时|分钟|秒)",
    // a count in numerals of a time unit
    "(上|下|前|每|第|这|最近)?(((一|二|两|三|四|五|六|七|八|九|零|十|〇|半|几)(十|百|千|万|亿|兆)?)+"
    "(一|二|两|三|四|五|六|七|八|九)?)(个)?(周|星期|礼拜|月|月份|年|天|日|季度|小时|分钟|秒)",
    // years and months, with a part of the period
    "((([0-9]+)|(((一|二|两|三|四|五|六|七|八|九|零|〇)?)+))?(年|月))+"
    "(初|末|底|内|中|前|间|终|年底|月底|上旬|下旬|中旬|中下旬)?",
    // years written from 两千
    "((两千)(零)?((((一|二|两|三|四|五|六|七|八|九|零|〇)?)+)|[0-9]+))(年|月)"
    "(((一|二|两|三|四|五|六|七|八|九|零|〇)+|[0-9]+)(月))?"
    "(初|末|底|内|中|前|间|终|年底|月底|上旬|下旬|中旬|中下旬)?",
    // clock times with 点, 时 or 小时, minutes and seconds
    "(晚上|早上|早晨|凌晨|半夜|下午|每晚|每天)?(((十|二十)?(零|一|两|二|三|四|五|六|七|八|九|十|〇))"
    "|([0-2]?[0-9]))(点|时|小时)((过|差)?((((十|二十|三十|四十|五十|六十))?"
    "(零|一|两|二|三|四|五|六|七|八|九|十|〇))|([0-6]?[0-9]))(分))?((过|差)?((((十|二十|三十|四十|"
    "五十|六十))?(零|一|两|二|三|四|五|六|七|八|九|十|〇))|([0-6]?[0-9]))?(秒))?",
    // quarter and half hours
    "(((十|二十)?(〇|零|一|两|二|三|四|五|六|七|八|九|十))|([0-2]?[0-9]))(点(((一|三)刻)|半))",
    // centuries and decades
    "(((((一|二|两|三|四|五|六|七|八|九|零|十|〇)?)+)|[0-9]+)世纪)?(初|初期|末|末期|中|中期)?"
    "(((((一|二|两|三|四|五|六|七|八|九))十)|[0-9]+)年代)?(初|初期|末|末期|中|中期)?",
    // lunar and festival dates, with an eve or a day offset
    "((腊|正|元|一|二|三|四|五|六|七|八|九|十|十一|十二|[0-9]+)月|大年)(初)?"
    "((十|二十|三十)?(零|一|二|三|四|五|六|七|八|九|十)|[0-9]+)"
    "(前夕|前夜|前([0-9]+|(((一|二|两|三|四|五|六|七|八|九|零|十)?(十|百|千|万|亿|兆)?)+"
    "(一|二|两|三|四|五|六|七|八|九|零|十)?))天|后([0-9]+|(((一|二|两|三|四|五|六|七|八|九|零|十)?"
    "(十|百|千|万|亿|兆)?)+(一|二|两|三|四|五|六|七|八|九|零|十)?))天)?",
    // year, month and day with 日 or 号, before or after
    "((([0-9]+)|(一|二|三|四|五|六|七|八|九|十|零|〇)+)(年|年度))?"
    "((([0-9]+)|(一|二|三|四|五|六|七|八|九|十|零|〇)+)(月))?"
    "((([0-9]+)|(一|二|三|四|五|六|七|八|九|十|零|〇)+)(日|号))?(之后|之前|前|后)?",
    // years of the common era
    "(公元)(前)?(([0-9]+)|(一|二|三|四|五|六|七|八|九|十|零|〇)+)(年)",
    // clock times hh:mm[:ss]
    "(0[0-9]|1[0-9]|2[0-4])((:|：)(0[0-9]|[1-6]?[0-9]))((：|:)(0[0-9]|[1-6]?[0-9]))?",
    // minutes and seconds
    "(((十|二十|三十|四十|五十|六十)?(零|一|两|二|三|四|五|六|七|八|九|十|〇))|([0-6]?[0-9]))分"
    "((过|差)?((十|二十|三十|四十|五十|六十)?(零|一|两|二|三|四|五|六|七|八|九|十|〇))|([0-6]?[0-9]))?秒",
    // yyyy[-/.]mm[-/.]dd with the days each month has, 29 February of leap years
    "(([0-9]{3}[1-9]|[0-9]{2}[1-9][0-9]{1}|[0-9]{1}[1-9][0-9]{2}|[1-9][0-9]{3})[-/.]?"
    "(((0[13578]|1[02])[-/.]?(0[1-9]|[12][0-9]|3[01]))|((0[469]|11)[-/.]?(0[1-9]|[12][0-9]|30))|"
    "(02[-/.]?(0[1-9]|[1][0-9]|2[0-8]))))|((([0-9]{2})(0[48]|[2468][048]|[13579][26])|"
    "((0[48]|[2468][048]|[3579][26])00))[-/.]?02[-/.]?29)",
    // yy[-/.]mm[-/.]dd
    "(([0-9]{2})[-/.]?(((0[13578]|1[02])[-/.]?(0[1-9]|[12][0-9]|3[01]))|"
    "((0[469]|11)[-/.]?(0[1-9]|[12][0-9]|30))|(02[-/.]?(0[1-9]|[1][0-9]|2[0-8]))))",
    // yyyy-m-d with required separators
    "(([0-9]{3}[1-9]|[0-9]{2}[1-9][0-9]{1}|[0-9]{1}[1-9][0-9]{2}|[1-9][0-9]{3})[-/.]"
    "(((0[13578]|1[02]|[13578])[-/.]([1-9]|0[1-9]|[12][0-9]|3[01]))|"
    "(([469]|0[469]|11)[-/.]([1-9]|0[1-9]|[12][0-9]|30))|((2|02)[-/.]([1-9]|0[1-9]|[1][0-9]|2[0-8]))))|"
    "((([0-9]{2})(0[48]|[2468][048]|[13579][26])|((0[48]|[2468][048]|[3579][26])00))[-/.](2|02)[-/.]29)",
};
const std::size_t kChineseWrittenPatterns = 12;

// No date expression is longer; the expressions look no further, so a
// long run of digits costs a bounded amount per position.
const std::size_t kMaxDateBytes = 96;

// GB18030 bytes of the time prefixes, filled once.
const char kOneCharPrefixesUtf8[] = "腊正元一两二三四五六七八九十零〇当上下本前后每第这周";
const char kTwoCharPrefixesUtf8[] = "公元星期礼拜最近晚上早上早晨凌晨半夜下午每晚每天大年";

std::string ToGb(const char* utf8) {
  EncodeConverter converter;
  std::size_t length = std::strlen(utf8);
  std::string gb(length * 2 + 4, '\0');
  std::size_t produced = gb.size();
  converter.UTF2GBK(utf8, length, &gb[0], produced);
  gb.resize(produced);
  return gb;
}

const std::string& OneCharPrefixes() {
  static const std::string prefixes = ToGb(kOneCharPrefixesUtf8);
  return prefixes;
}

const std::string& TwoCharPrefixes() {
  static const std::string prefixes = ToGb(kTwoCharPrefixesUtf8);
  return prefixes;
}

// Whether the bytes at text equal one of the `width`-byte units of list.
bool InUnitList(const char* text, const std::string& list, std::size_t width) {
  for (std::size_t i = 0; i + width <= list.size(); i += width) {
    if (std::memcmp(text, list.data() + i, width) == 0) return true;
  }
  return false;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A GBK character whose second byte reads as an operator would change
// what the expression means.
bool HasOperatorTrailByte(const std::string& gb) {
  static const char kOperators[] = "^$.[]|()*+?{}\\";
  for (std::size_t i = 0; i < gb.size(); ++i) {
    if (static_cast<unsigned char>(gb[i]) < 0x80) continue;
    if (i + 1 < gb.size() && std::strchr(kOperators, gb[i + 1]) != nullptr) return true;
    ++i;
  }
  return false;
}

bool IsChineseCharacter(const unsigned char* c) {
  return (c[0] >= 0xB0 && c[0] <= 0xF7 && c[1] >= 0xA1 && c[1] <= 0xFE) ||
         (c[0] >= 0x81 && c[0] <= 0xA0 && c[1] >= 0x40 && c[1] <= 0xFE) ||
         (c[0] >= 0xAA && c[0] <= 0xFE && c[1] >= 0x40 && c[1] <= 0xA0);
}

bool HasChineseCharacter(const char* text, std::size_t len) {
  for (std::size_t pos = 0; pos < len;) {
    std::size_t step = GbCharLen(text, pos, len);
    if (step == 2 && IsChineseCharacter(reinterpret_cast<const unsigned char*>(text + pos))) {
      return true;
    }
    pos += step;
  }
  return false;
}

bool OnlyDigitsAndParentheses(const char* text, std::size_t len) {
  for (std::size_t i = 0; i < len; ++i) {
    if (!IsDigit(text[i]) && text[i] != '(') return false;
  }
  return true;
}

// Makes the "C" locale the calling thread's for the object's lifetime.
class CLocaleScope {
 public:
  explicit CLocaleScope(locale_t c_locale)
      : previous_(c_locale != static_cast<locale_t>(0) ? uselocale(c_locale)
                                                       : static_cast<locale_t>(0)) {}
  ~CLocaleScope() {
    if (previous_ != static_cast<locale_t>(0)) uselocale(previous_);
  }
  CLocaleScope(const CLocaleScope&) = delete;
  CLocaleScope& operator=(const CLocaleScope&) = delete;

 private:
  locale_t previous_;
};

}  // namespace

NameEntityOtherType::NameEntityOtherType() {
  std::memset(m_holiday_ne_, 0, sizeof(m_holiday_ne_));
}

NameEntityOtherType::~NameEntityOtherType() {
  for (std::size_t i = 0; i < kPatternCount; ++i) {
    if (compiled_[i]) regfree(&patterns_[i]);
  }
  if (c_locale_ != static_cast<locale_t>(0)) freelocale(c_locale_);
}

// The expressions are compiled on first use, so that handles that never
// recognise dates do not pay for them.
void NameEntityOtherType::CompileOnce() {
  if (compile_tried_) return;
  compile_tried_ = true;
  c_locale_ = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  CLocaleScope scope(c_locale_);
  for (std::size_t i = 0; i < kPatternCount; ++i) compiled_[i] = Compile(i, kDatePatterns[i]);
}

std::size_t NameEntityOtherType::compiled_count() {
  CompileOnce();
  std::size_t count = 0;
  for (bool compiled : compiled_) count += compiled ? 1 : 0;
  return count;
}

bool NameEntityOtherType::Compile(std::size_t index, const char* pattern_utf8) {
  std::string gb = ToGb(pattern_utf8);
  if (HasOperatorTrailByte(gb)) {
    std::fprintf(stderr, "date expression %zu: a character's second byte reads as an "
                 "operator; expression skipped\n", index + 1);
    return false;
  }
  // Anchored: only a match starting at the position counts, and the search
  // never scans ahead for a later one.
  std::string anchored = "^(" + gb + ")";
  int error = regcomp(&patterns_[index], anchored.c_str(), REG_EXTENDED);
  if (error != 0) {
    char message[256];
    regerror(error, &patterns_[index], message, sizeof(message));
    std::fprintf(stderr, "date expression %zu does not compile: %s; expression skipped\n",
                 index + 1, message);
    return false;
  }
  return true;
}

std::size_t NameEntityOtherType::MatchAt(std::size_t index, const char* sentence,
                                         std::size_t len, std::size_t pos) {
  if (!compiled_[index]) return 0;
  std::size_t window = len - pos < kMaxDateBytes ? len - pos : kMaxDateBytes;
  re_matched_[0].rm_so = 0;
  re_matched_[0].rm_eo = static_cast<regoff_t>(window);
  if (regexec(&patterns_[index], sentence + pos, 1, re_matched_, REG_STARTEND) != 0) return 0;
  if (re_matched_[0].rm_so != 0 || re_matched_[0].rm_eo <= 0) return 0;
  std::size_t length = static_cast<std::size_t>(re_matched_[0].rm_eo);
  // A number is never cut: 2013-02-29 is no date, not the date 2013-02-2.
  std::size_t end = pos + length;
  if (end < len && IsDigit(sentence[end]) && IsDigit(sentence[end - 1])) return 0;
  return length;
}

std::size_t NameEntityOtherType::GetDateNameEntity(const char* sentence, std::size_t len,
                                                   std::size_t pos) {
  if (pos >= len) return 0;
  // Nor does a date start inside a number (a four-byte character's last
  // byte is no digit).
  if (pos > 0 && IsDigit(sentence[pos]) && IsDigit(sentence[pos - 1]) &&
      !EndsFourByteChar(sentence, pos)) {
    return 0;
  }
  CompileOnce();
  CLocaleScope scope(c_locale_);
  std::size_t best = 0;
  for (std::size_t i = 0; i < kChineseWrittenPatterns; ++i) {
    std::size_t length = MatchAt(i, sentence, len, pos);
    if (length > best) best = length;
  }
  if (best > 0 && OnlyDigitsAndParentheses(sentence + pos, best)) best = 0;
  for (std::size_t i = kChineseWrittenPatterns; i < kPatternCount; ++i) {
    std::size_t length = MatchAt(i, sentence, len, pos);
    if (length > best) best = length;
  }
  return best;
}

bool NameEntityOtherType::IsTimePrefix(const char* sentence, std::size_t len, std::size_t pos) {
  if (pos >= len) return false;
  if (IsDigit(sentence[pos])) return true;
  if (len - pos >= 2 && InUnitList(sentence + pos, OneCharPrefixes(), 2)) return true;
  return len - pos >= 4 && InUnitList(sentence + pos, TwoCharPrefixes(), 4);
}

bool NameEntityOtherType::CutsNoPhrase(const OmniSegNet* seg_net, std::size_t pos,
                                       std::size_t len) {
  for (std::size_t i = 0; i <= len; ++i) {
    const OmniSegNode* node = seg_net->GetSegNode(pos + i);
    if (node == nullptr) return false;
    if (i < len && node->out_phrase_max_len() > len - i) return false;
    if (i > 0 && node->in_phrase_max_len() > i) return false;
  }
  return true;
}

bool NameEntityOtherType::IsValidEntity(const OmniSegNet* seg_net, uint32_t kind,
                                        std::size_t pos, const NEDictAttribute& record) {
  if ((kind & record.type) == 0 || record.len == 0) return false;
  const OmniSegNode* start = seg_net->GetSegNode(pos);
  const OmniSegNode* end = seg_net->GetSegNode(pos + record.len);
  if (start == nullptr || end == nullptr || !start->is_optimal_seg_node() ||
      !end->is_optimal_seg_node()) {
    return false;
  }
  return CutsNoPhrase(seg_net, pos, record.len);
}

bool NameEntityOtherType::AddNameEntity(uint32_t kind, std::size_t pos, std::size_t len,
                                        uint8_t state, uint8_t geo_code) {
  if ((kind & kNeDate) == 0 || m_holiday_ne_number_ >= kNeCapacity) return true;
  _name_entity_result& result = m_holiday_ne_[m_holiday_ne_number_++];
  result.start_pos = static_cast<uint32_t>(pos);
  result.len = static_cast<uint32_t>(len);
  result.type = state;
  result.geo_code = geo_code;
  result.mold = kNeDateMold;
  return true;
}

std::size_t NameEntityOtherType::DictionaryDateAt(const char* sentence, std::size_t len,
                                                  std::size_t pos, const OmniSegNet* seg_net,
                                                  uint32_t mode_type) {
  std::size_t count =
      NEDict::CommonPrefixSearch(sentence + pos, len - pos, m_result_, kNeCapacity);
  if (count > kNeCapacity) count = kNeCapacity;
  for (std::size_t i = count; i-- > 0;) {
    const NEDictAttribute* record = NEDict::GetValue(m_result_[i]);
    if (record == nullptr || !IsValidEntity(seg_net, kNeDate & mode_type, pos, *record)) {
      continue;
    }
    AddNameEntity(kNeDate, pos, record->len, kNeFromDictionary, 0);
    return record->len;
  }
  return 0;
}

bool NameEntityOtherType::GetDateTypeNameEntity(const char* sentence, std::size_t len,
                                                const OmniSegNet* seg_net,
                                                uint32_t mode_type) {
  if (sentence == nullptr || seg_net == nullptr) return false;
  m_holiday_ne_number_ = 0;
  if (len == 0) return true;
  // A sentence that is itself a holiday, when the dictionary is sure of it.
  const NEDictAttribute* whole = NEDict::GetValue(NEDict::ExactMatchSearch(sentence, len));
  if (whole != nullptr && (whole->type & kNeDate & mode_type) != 0 &&
      static_cast<double>(whole->attr.score) > 0.6) {
    AddNameEntity(kNeDate, 0, whole->len, kNeFromDictionary, 0);
    return true;
  }
  if (!HasChineseCharacter(sentence, len)) return true;
  std::size_t pos = 0;
  while (pos < len && m_holiday_ne_number_ < kNeCapacity) {
    std::size_t step = GbCharLen(sentence, pos, len);
    if (IsTimePrefix(sentence, len, pos)) {
      std::size_t length = GetDateNameEntity(sentence, len, pos);
      if (length >= 3) {
        bool fits = CutsNoPhrase(seg_net, pos, length);
        if (fits) AddNameEntity(kNeDate, pos, length, kNeFromDictionary, 0);
        pos += fits ? length : step;
        continue;
      }
    }
    std::size_t taken = DictionaryDateAt(sentence, len, pos, seg_net, mode_type);
    pos += taken > 0 ? taken : step;
  }
  return true;
}

}  // namespace new_seg
