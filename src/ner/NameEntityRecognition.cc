#include "ner/NameEntityRecognition.h"

#include <cstdio>
#include <cstring>

#include "dict/CoreDict.h"
#include "lattice/OmniSegNet.h"
#include "ner/Log.h"
#include "ner/NEDict.h"
#include "ner/NerRule.h"
#include "text/Gb18030.h"

namespace new_seg {

namespace {

// Piece-ending punctuation, by character code (a byte, or first byte + 256
// x second byte): TAB, LF, CR, ! " ; < > ? [ ] and 。 … ！ ； ？ 【 】 ＿.
// Commas and spaces do not end a piece.
class PunctuationTable {
 public:
  PunctuationTable() {
    std::memset(marks_, 0, sizeof(marks_));
    for (unsigned char c : {0x09, 0x0A, 0x0D, 0x21, 0x22, 0x3B, 0x3C, 0x3E, 0x3F, 0x5B, 0x5D}) {
      marks_[c] = 1;
    }
    const unsigned kWide[][2] = {{0xA1, 0xA3}, {0xA1, 0xAD}, {0xA3, 0xA1}, {0xA3, 0xBB},
                                 {0xA3, 0xBF}, {0xA1, 0xBE}, {0xA1, 0xBF}, {0xA3, 0xDF}};
    for (const auto& wide : kWide) marks_[wide[0] + 256 * wide[1]] = 1;
  }
  bool Marks(unsigned code) const { return marks_[code] != 0; }

 private:
  unsigned char marks_[65536];
};

const PunctuationTable& Punctuation() {
  static const PunctuationTable table;
  return table;
}

const uint32_t kAllKinds = 0xFFFFFFFFu;

// Forces a best-path boundary at pos; true when there is one afterwards.
bool ForceBoundary(OmniSegNet* seg_net, std::size_t pos) {
  if (seg_net->SplitTerm(pos) < 0) return false;
  const OmniSegNode* node = seg_net->GetSegNode(pos);
  return node != nullptr && node->is_optimal_seg_node();
}

bool Overlaps(std::size_t begin, std::size_t end, const _name_entity_result& result) {
  return result.start_pos < end && result.start_pos + result.len > begin;
}

bool IsOptimal(const OmniSegNet* seg_net, std::size_t pos) {
  const OmniSegNode* node = seg_net->GetSegNode(pos);
  return node != nullptr && node->is_optimal_seg_node();
}

}  // namespace

bool NameEntityRecognition::inited_ = false;

bool NameEntityRecognition::Init(const char* path) {
  if (inited_) return true;
  Punctuation();
  inited_ = CrfWrapper::Init(path);
  return inited_;
}

bool NameEntityRecognition::UnInit() {
  CrfWrapper::UnInit();
  inited_ = false;
  return true;
}

NameEntityRecognition::NameEntityRecognition() {
  std::memset(dict_ne_, 0, sizeof(dict_ne_));
  std::memset(crf_ne_, 0, sizeof(crf_ne_));
  std::memset(rule_ne_, 0, sizeof(rule_ne_));
}

void NameEntityRecognition::Clear() {
  dict_ne_number_ = crf_ne_number_ = rule_ne_number_ = 0;
  piece_count_ = 0;
  has_last_ = false;
  last_end_ = 0;
}

int NameEntityRecognition::IsPunc(const char* text, std::size_t len) {
  if (len == 0) return -1;
  std::size_t char_len = GbCharLen(text, 0, len);
  if (char_len > 2) return -1;
  return Punctuation().Marks(GbCharCode(text, 0, char_len)) ? static_cast<int>(char_len) : -1;
}

bool NameEntityRecognition::NameEntityRecognite(const char* sentence, std::size_t len,
                                                SegMode seg_mode, OmniSegNet* seg_net) {
  if (sentence == nullptr || seg_net == nullptr) return false;
  if (len == 0) return true;
  Clear();
  m_mode_type_ = kAllKinds;
  ner_by_dict(sentence, len, seg_net, m_mode_type_);
  SplitSentence(sentence, len);
  for (std::size_t i = 0; i < piece_count_; ++i) {
    ner_by_crf(sentence, m_sentence_pos_begin_[i], m_sentence_pos_end_[i], seg_net,
               m_mode_type_);
  }
  ner_by_rule(sentence, len, seg_net, m_mode_type_);
  ner_disamb(sentence, seg_net);
  if (seg_mode.is_adjust_ne()) {
    bool adjusted = name_adjustor_.Adjust(sentence, crf_ne_, crf_ne_number_, seg_net, true) &&
                    name_adjustor_.Adjust(sentence, dict_ne_, dict_ne_number_, seg_net, false);
    if (!adjusted) return false;
  }
  return AddDates(sentence, len, seg_net);
}

bool NameEntityRecognition::AddDates(const char* sentence, std::size_t len,
                                     OmniSegNet* seg_net) {
  m_ner_othertype_.GetDateTypeNameEntity(sentence, len, seg_net, m_mode_type_);
  for (std::size_t i = 0; i < m_ner_othertype_.holiday_ne_number(); ++i) {
    const _name_entity_result& date = m_ner_othertype_.holiday_ne(i);
    if (date.len == 0 || !IsOptimal(seg_net, date.start_pos) ||
        !IsOptimal(seg_net, date.start_pos + date.len)) {
      continue;
    }
    // A date the lattice refuses (1) leaves the later ones to be added.
    if (seg_net->AddPhrase(date.start_pos, date.len, kDatePhraseIdx) < 0) return false;
  }
  return true;
}

bool NameEntityRecognition::IsValidEntity(const OmniSegNet* seg_net, uint32_t mask,
                                          std::size_t start, uint32_t kind, std::size_t len,
                                          bool from_crf) const {
  if ((mask & kind) == 0) return false;
  if (!from_crf && (kind & kNeScanRefused) != 0) return false;
  if (len == 0) return false;
  const OmniSegNode* first = seg_net->GetSegNode(start);
  const OmniSegNode* last = seg_net->GetSegNode(start + len);
  if (first == nullptr || last == nullptr || !first->is_optimal_seg_node() ||
      !last->is_optimal_seg_node() || !first->could_add_phrase() || !last->could_add_phrase()) {
    return false;
  }
  // Only phrases that lie on the best path count as cut. A phrase that
  // holds the span whole, sharing an end with it, is no cut: the lexicon's
  // compounds hold names (中国 of 中国政府, 北京市 of a city's bureau).
  for (std::size_t i = 0; i <= len; ++i) {
    std::size_t pos = start + i;
    const OmniSegNode* node = seg_net->GetSegNode(pos);
    if (node == nullptr) return false;
    std::size_t out_len = node->out_phrase_max_len();
    std::size_t in_len = node->in_phrase_max_len();
    ZS_LOG_INFO("cur_pos=%zu, attr_len=%zu, i=%zu", start, len, i);
    if (!IsOptimal(seg_net, pos + out_len)) continue;
    if (i > 0 && i < len && out_len > len - i) {
      ZS_LOG_INFO("node %zu, out_phrase_max_len=%zu", pos, out_len);
      return false;
    }
    if (in_len <= pos && IsOptimal(seg_net, pos - in_len) && i > 0 && i < len && i < in_len) {
      ZS_LOG_INFO("node %zu, in_phrase_max_len=%zu", pos, in_len);
      return false;
    }
  }
  return true;
}

void NameEntityRecognition::ner_by_dict(const char* sentence, std::size_t len,
                                        OmniSegNet* seg_net, uint32_t mask) {
  // A sentence that is one entry is that entity, whatever its kind.
  const NEDictAttribute* whole = NEDict::GetValue(NEDict::ExactMatchSearch(sentence, len));
  if (whole != nullptr) {
    dict_ne_[dict_ne_number_++] = {0, whole->len, whole->type, kNeFromDictionary, 0};
    return;
  }
  std::size_t pos = 0;
  while (pos < len && dict_ne_number_ < kNeCapacity) {
    std::size_t count =
        NEDict::CommonPrefixSearch(sentence + pos, len - pos, trie_result_, kNeCapacity);
    ZS_LOG_INFO("cur_pos=%zu, ret_value=%zu, start=%.*s", pos, count,
                static_cast<int>(len - pos), sentence + pos);
    if (count > kNeCapacity) count = kNeCapacity;
    std::size_t taken = TakeDictEntry(sentence, pos, count, seg_net, mask, false);
    // A person's name that begins a longer word (邓小平 of 邓小平理论) is
    // found too, when no entry fits the words as they are.
    if (taken == 0) taken = TakeDictEntry(sentence, pos, count, seg_net, mask, true);
    pos += taken > 0 ? taken : GbCharLen(sentence, pos, len);
  }
}

bool NameEntityRecognition::BeginsWordBeforeWord(const OmniSegNet* seg_net,
                                                 const char* sentence, std::size_t start,
                                                 std::size_t len) {
  if (!IsOptimal(seg_net, start) || IsOptimal(seg_net, start + len)) return false;
  for (std::size_t i = 1; i < len; ++i) {
    if (IsOptimal(seg_net, start + i)) return false;
  }
  std::size_t end = start + len + 1;
  while (seg_net->GetSegNode(end) != nullptr && !IsOptimal(seg_net, end)) ++end;
  if (seg_net->GetSegNode(end) == nullptr) return false;
  // Only a name compounded with a word of its own (邓小平 + 理论, 马克思 +
  // 主义) comes apart; a name that merely begins a longer name or term
  // (格林 of 格林尼治, 小丰 of 小丰营村, 波尔 of 波尔卡) leaves its rest
  // no word, and splitting there wrecks the word and finds a wrong name.
  std::size_t rest = end - start - len;
  const std::size_t kTwoCharacterBytes = 4;  // the rest must be a word of two characters or more
  if (rest < kTwoCharacterBytes) return false;
  const CoreTermAttribute* word =
      CoreDict::GetValue(CoreDict::ExactMatchSearch(sentence + start + len, rest));
  return word != nullptr && (word->term_type & kTermWord) != 0;
}

std::size_t NameEntityRecognition::TakeDictEntry(const char* sentence, std::size_t pos,
                                                 std::size_t count,
                                                 OmniSegNet* seg_net, uint32_t mask,
                                                 bool split_words) {
  for (std::size_t i = count; i-- > 0;) {
    const NEDictAttribute* entry = NEDict::GetValue(trie_result_[i]);
    if (entry == nullptr) continue;
    ZS_LOG_INFO("cur_pos=%zu, get value %zu, mold=%u, len=%u", pos, i, entry->type, entry->len);
    // A single character is never an entity; a place needs its score.
    if ((entry->type & kNeNameChar) != 0 || entry->len <= 2) continue;
    if ((entry->type & kNePlace) != 0 && entry->attr.score <= 0.5f) continue;
    if (split_words) {
      if ((entry->type & kNePersonBits) == 0 || (entry->type & kNeScanRefused) != 0 ||
          !BeginsWordBeforeWord(seg_net, sentence, pos, entry->len) ||
          !ForceBoundary(seg_net, pos + entry->len)) {
        continue;
      }
    }
    if (!IsValidEntity(seg_net, mask, pos, entry->type, entry->len, false)) continue;
    dict_ne_[dict_ne_number_++] = {static_cast<uint32_t>(pos), entry->len, entry->type,
                                   kNeFromDictionary, 0};
    ZS_LOG_INFO("ner_by_dict %zu: start_pos=%zu, len=%u, mold=%u", dict_ne_number_, pos,
                entry->len, entry->type);
    return entry->len;
  }
  return 0;
}

std::size_t NameEntityRecognition::SplitPieces(const char* sentence, std::size_t len,
                                               uint32_t* begins, uint32_t* ends,
                                               std::size_t capacity) {
  std::size_t count = 0;
  std::size_t begin = 0;
  std::size_t pos = 0;
  while (pos < len && count + 1 < capacity) {
    std::size_t char_len = GbCharLen(sentence, pos, len);
    if (IsPunc(sentence + pos, len - pos) > 0) {
      if (pos == begin) {
        begin = pos + char_len;  // leading punctuation is no part of a piece
      } else {
        begins[count] = static_cast<uint32_t>(begin);
        ends[count++] = static_cast<uint32_t>(pos + char_len);
        begin = pos + char_len;
      }
    }
    pos += char_len;
  }
  begins[count] = static_cast<uint32_t>(begin < len ? begin : len);
  ends[count++] = static_cast<uint32_t>(len);
  return count;
}

std::size_t NameEntityRecognition::SplitSentence(const char* sentence, std::size_t len) {
  piece_count_ = SplitPieces(sentence, len, m_sentence_pos_begin_, m_sentence_pos_end_,
                             kNeCapacity);
  return piece_count_;
}

namespace {
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
}  // namespace

std::size_t NameEntityRecognition::CrfTokenLen(const char* text, std::size_t pos,
                                               std::size_t end) {
  const std::size_t kMaxNumberBytes = 1024;
  if (!IsDigit(text[pos])) return GbCharLen(text, pos, end);
  std::size_t len = 1;
  while (pos + len < end && len < kMaxNumberBytes) {
    char c = text[pos + len];
    bool inner_dot = c == '.' && pos + len + 1 < end && IsDigit(text[pos + len + 1]) &&
                     len + 1 < kMaxNumberBytes;
    if (!IsDigit(c) && !inner_dot) break;
    len += inner_dot ? 2 : 1;
  }
  return len;
}

uint32_t NameEntityRecognition::NameCharacterCode(const char* token, std::size_t len) {
  const NEDictAttribute* entry = NEDict::GetValue(NEDict::ExactMatchSearch(token, len));
  return entry != nullptr && (entry->type & kNeNameChar) != 0 ? entry->first_last_name : 0;
}

int NameEntityRecognition::FeatureLine(const char* sentence, std::size_t pos, std::size_t len,
                                       const char* answer, char* line, std::size_t capacity) {
  // A TAB would split the line's columns: the tagger reads it as a space.
  bool tab = len == 1 && sentence[pos] == '\t';
  return std::snprintf(line, capacity, "%.*s\t%u\t%zu\t%s", static_cast<int>(len),
                       tab ? " " : sentence + pos, NameCharacterCode(sentence + pos, len), pos,
                       answer);
}

bool NameEntityRecognition::AddCrfTokens(const char* sentence, std::size_t begin,
                                         std::size_t end) {
  token_count_ = 0;
  token_offsets_[0] = static_cast<uint32_t>(begin);
  for (std::size_t pos = begin; pos < end && token_count_ < kNeCapacity;) {
    std::size_t len = CrfTokenLen(sentence, pos, end);
    int written = FeatureLine(sentence, pos, len, "O", feature_line_, sizeof(feature_line_));
    ZS_LOG_INFO("crf add: %s", feature_line_);
    if (written < 0 || !m_crf_wrapper_.Add(feature_line_, static_cast<std::size_t>(written))) {
      ZS_LOG_INFO("crf add failed");
      return false;
    }
    pos += len;
    token_offsets_[++token_count_] = static_cast<uint32_t>(pos);
  }
  return true;
}

bool NameEntityRecognition::ner_by_crf(const char* sentence, std::size_t begin, std::size_t end,
                                       OmniSegNet* seg_net, uint32_t mask) {
  m_crf_wrapper_.Clear();
  if (begin >= end || !AddCrfTokens(sentence, begin, end)) return false;
  if (!m_crf_wrapper_.Parse()) {
    ZS_LOG_INFO("crf parse error");
    return false;
  }
  std::size_t first = crf_ne_number_;
  m_crf_wrapper_.GenCrfResult(crf_ne_, crf_ne_number_, kNeCapacity, token_offsets_);
  ZS_LOG_INFO("crf_ne_number_=%zu", crf_ne_number_ - first);
  for (std::size_t i = first; i < crf_ne_number_; ++i) {
    _name_entity_result& result = crf_ne_[i];
    if (!IsValidEntity(seg_net, mask, result.start_pos, result.mold, result.len, true)) {
      ZS_LOG_INFO("crf result %zu filtered: %.*s", i, static_cast<int>(result.len),
                  sentence + result.start_pos);
      result.type = kNeRejected;
    }
    ZS_LOG_INFO("crf result %zu: start=%u, len=%u", i, result.start_pos, result.len);
  }
  return true;
}

void NameEntityRecognition::RejectOverlapping(std::size_t begin, std::size_t end,
                                              _name_entity_result* results, std::size_t count,
                                              std::size_t* cursor) {
  // Results are in text order and do not overlap, and rule matches come in
  // text order: results that end before this match never overlap a later one.
  while (*cursor < count && results[*cursor].start_pos + results[*cursor].len <= begin) {
    ++*cursor;
  }
  for (std::size_t i = *cursor; i < count && results[i].start_pos < end; ++i) {
    if (Overlaps(begin, end, results[i])) results[i].type = kNeRejected;
  }
}

bool NameEntityRecognition::OverlapsRuleResults(std::size_t begin, std::size_t end,
                                                std::size_t first) const {
  for (std::size_t i = first; i < rule_ne_number_; ++i) {
    if (Overlaps(begin, end, rule_ne_[i])) return true;
  }
  return false;
}

void NameEntityRecognition::ner_by_rule(const char* sentence, std::size_t len,
                                        OmniSegNet* seg_net, uint32_t mask) {
  std::size_t dict_cursor = 0;
  std::size_t crf_cursor = 0;
  std::size_t pos = 0;
  while (pos < len) {
    std::size_t count =
        NerRule::common_prefix_search(sentence + pos, len - pos, rule_values_, kNeCapacity);
    if (count > kNeCapacity) count = kNeCapacity;
    const ner_rule_t* rule = count > 0 ? NerRule::get_value(rule_values_[count - 1]) : nullptr;
    if (rule == nullptr || rule->text_length <= 0) {
      pos += GbCharLen(sentence, pos, len);
      continue;
    }
    std::size_t end = pos + rule->text_length;
    RejectOverlapping(pos, end, dict_ne_, dict_ne_number_, &dict_cursor);
    RejectOverlapping(pos, end, crf_ne_, crf_ne_number_, &crf_cursor);
    // Earlier rules' spans end before this match, so only this rule's own
    // spans can overlap a new one.
    std::size_t first_of_rule = rule_ne_number_;
    for (int32_t k = 0; k < rule->ne_count && rule_ne_number_ < kNeCapacity; ++k) {
      uint32_t kind = static_cast<uint32_t>(rule->type_list[k]);
      if ((kind & mask) == 0) continue;
      std::size_t span_begin = pos + rule->offset_list[k];
      std::size_t span_end = span_begin + rule->length_list[k];
      if (OverlapsRuleResults(span_begin, span_end, first_of_rule)) continue;
      rule_ne_[rule_ne_number_] = {static_cast<uint32_t>(span_begin),
                                   static_cast<uint32_t>(span_end - span_begin), kind, kNeFound, 0};
      // Counted only when both ends really are word boundaries now.
      bool split = ForceBoundary(seg_net, span_begin);
      split = ForceBoundary(seg_net, span_end) && split;
      if (split) ++rule_ne_number_;
    }
    pos = end;
  }
  AddRulePhrases(seg_net);
}

void NameEntityRecognition::AddRulePhrases(OmniSegNet* seg_net) {
  const struct {
    uint32_t bit;
    int32_t phrase;
  } kRuleKinds[] = {{kRulePerson, kPersonPhraseIdx},
                    {kRulePlace, kLocationPhraseIdx},
                    {kRuleOrganization, kOrganizationPhraseIdx},
                    {kRuleDate, kDatePhraseIdx}};
  for (std::size_t i = 0; i < rule_ne_number_; ++i) {
    for (const auto& kind : kRuleKinds) {
      if ((rule_ne_[i].mold & kind.bit) == 0) continue;
      seg_net->AddPhrase(rule_ne_[i].start_pos, rule_ne_[i].len, kind.phrase);
    }
  }
}

namespace {

// Whether a dictionary entry of kind bits `mold` has been the CRF's kind.
bool DictionaryKnowsKind(uint32_t mold, uint32_t crf_phrase) {
  switch (static_cast<int32_t>(crf_phrase)) {
    case kPersonPhraseIdx:
      return (mold & kNePersonBits) != 0;
    case kLocationPhraseIdx:
      return (mold & kNePlace) != 0;
    case kOrganizationPhraseIdx:
      return (mold & kNeOrganization) != 0;
    default:
      return false;
  }
}

}  // namespace

int NameEntityRecognition::select_result(const _name_entity_result& dict,
                                         const _name_entity_result& crf) {
  if (dict.start_pos < crf.start_pos) return 0;
  if (dict.start_pos == crf.start_pos && dict.len > crf.len) return 0;
  // On the same span the dictionary's kind wins unless it has been the
  // CRF's kind too: the CRF guesses from a few characters around (哈瓦那 as
  // a person), the dictionary knows what the corpus made of these words.
  if (dict.start_pos == crf.start_pos && dict.len == crf.len &&
      !DictionaryKnowsKind(dict.mold, crf.mold)) {
    return 0;
  }
  return 1;
}

bool NameEntityRecognition::HasPhraseKind(uint32_t mold) {
  return (mold & (kNePersonBits | kNeOrganization | kNePlace)) != 0;
}

bool NameEntityRecognition::AddDictPhrase(const _name_entity_result& result,
                                          OmniSegNet* seg_net) {
  const struct {
    uint32_t bits;
    int32_t phrase;
  } kDictKinds[] = {{kNePersonBits, kPersonPhraseIdx},
                    {kNeOrganization, kOrganizationPhraseIdx},
                    {kNePlace, kLocationPhraseIdx}};
  for (const auto& kind : kDictKinds) {
    if ((result.mold & kind.bits) == 0) continue;
    if (seg_net->AddPhrase(result.start_pos, result.len, kind.phrase) == 0) {
      Select(result);
      return true;
    }
  }
  return false;
}

bool NameEntityRecognition::AddCrfPhrase(const _name_entity_result& result,
                                         OmniSegNet* seg_net) {
  if (seg_net->AddPhrase(result.start_pos, result.len, static_cast<int32_t>(result.mold)) != 0) {
    return false;
  }
  Select(result);
  return true;
}

void NameEntityRecognition::Select(const _name_entity_result& result) {
  has_last_ = true;
  last_end_ = result.start_pos + result.len;
}

bool NameEntityRecognition::ConflictsWithLast(const _name_entity_result& result) const {
  return has_last_ && result.start_pos < last_end_;
}

void NameEntityRecognition::LogResult(const char* source, std::size_t index,
                                      const _name_entity_result& result,
                                      const char* sentence) const {
  ZS_LOG_INFO("%s %zu: start=%u, len=%u, ne=%.*s, mold=%u", source, index, result.start_pos,
              result.len, static_cast<int>(result.len), sentence + result.start_pos, result.mold);
}

void NameEntityRecognition::ner_disamb(const char* sentence, OmniSegNet* seg_net) {
  ZS_LOG_INFO("====================");
  ZS_LOG_INFO("crf_ne_number_=%zu, dict_ne_number_=%zu", crf_ne_number_, dict_ne_number_);
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < dict_ne_number_ && j < crf_ne_number_) {
    ZS_LOG_INFO("===== in ner_disamb =====");
    _name_entity_result& dict = dict_ne_[i];
    _name_entity_result& crf = crf_ne_[j];
    LogResult("dict_result", i, dict, sentence);
    LogResult("crf_result", j, crf, sentence);
    if (dict.type == kNeRejected) {
      ZS_LOG_INFO("dict_result %zu: not valid, filtered", i);
      ++i;
      continue;
    }
    if (crf.type == kNeRejected) {
      ZS_LOG_INFO("crf_result %zu: not valid, filtered", j);
      ++j;
      continue;
    }
    if (ConflictsWithLast(dict)) {
      ZS_LOG_INFO("dict_result %zu: conflict with previous selected result", i);
      dict.type = kNeRejected;
      ++i;
      continue;
    }
    if (ConflictsWithLast(crf)) {
      ZS_LOG_INFO("crf_result %zu: conflict with previous selected result", j);
      crf.type = kNeRejected;
      ++j;
      continue;
    }
    int selected = select_result(dict, crf);
    ZS_LOG_INFO("select_witch=%d", selected);
    if (selected == 1) {
      ++j;
      if (AddCrfPhrase(crf, seg_net)) {
        ZS_LOG_INFO("crf_result %zu: add succeed", j - 1);
        continue;
      }
      ZS_LOG_INFO("crf_result %zu: add failed", j - 1);
      crf.type = kNeRejected;
    }
    if (!HasPhraseKind(dict.mold)) {
      ZS_LOG_INFO("dict_result %zu: type not valid", i);
      dict.type = kNeRejected;
      ++i;
      continue;
    }
    ++i;
    if (AddDictPhrase(dict, seg_net)) continue;
    dict.type = kNeRejected;
    if (selected == 0) {
      ++j;
      if (AddCrfPhrase(crf, seg_net)) {
        ZS_LOG_INFO("crf_result %zu: add succeed", j - 1);
      } else {
        ZS_LOG_INFO("crf_result %zu: add failed", j - 1);
        crf.type = kNeRejected;
      }
    }
  }
  for (; i < dict_ne_number_; ++i) {
    _name_entity_result& dict = dict_ne_[i];
    LogResult("dict_result", i, dict, sentence);
    if (dict.type == kNeRejected) continue;
    if (ConflictsWithLast(dict)) {
      ZS_LOG_INFO("dict_result %zu: conflict with previous selected result", i);
      dict.type = kNeRejected;
      continue;
    }
    if ((dict.mold & kNeNotPersonShaped) != 0) continue;
    if (!AddDictPhrase(dict, seg_net)) dict.type = kNeRejected;
  }
  for (; j < crf_ne_number_; ++j) {
    _name_entity_result& crf = crf_ne_[j];
    LogResult("crf_result", j, crf, sentence);
    if (crf.type == kNeRejected) continue;
    if (ConflictsWithLast(crf)) {
      ZS_LOG_INFO("crf_result %zu: conflict with previous selected result", j);
      crf.type = kNeRejected;
      continue;
    }
    if (!AddCrfPhrase(crf, seg_net)) crf.type = kNeRejected;
  }
}

}  // namespace new_seg
