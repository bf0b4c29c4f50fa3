#include "driver/OmniSegResSaver.h"

#include <cstdlib>
#include <cstring>

#include "custom/AdditionalRule.h"
#include "dict/CoreDict.h"
#include "custom/CustomDictContainer.h"
#include "custom/CustomRule.h"
#include "driver/InputSpanMap.h"
#include "driver/SegMode.h"
#include "lattice/OmniSegNet.h"
#include "text/SentenceNormalizer.h"

namespace new_seg {

namespace {
// Chunk size of the word-text store; large enough for the UTF-8 form of
// the longest word a sentence can hold.
const size_t kTermChunkSize = OmniSegResSaver::kUtf8WordCapacity;
const int kCharsetUtf8 = 0x200000;
const unsigned char kTagNoun = 16;
const unsigned char kTagPerson = 17;
const unsigned char kTagLocation = 20;
const unsigned char kTagOrganization = 21;
const unsigned char kTagUrl = 50;    // "www"
const unsigned char kTagEmail = 52;  // "email"

// 32 entries, doubling below 128; beyond that the arrays grow by half, not
// by a fixed step, so a huge call costs amortised constant time per word.
size_t GetNewCapacity(size_t capacity) {
  if (capacity == 0) return 32;
  if (capacity < 128) return capacity * 2;
  return capacity + capacity / 2;
}

// Grows an array that runs parallel to a result array to the capacity the
// result array is about to get; false when out of memory.
template <typename T>
bool GrowParallel(T*& items, size_t size, size_t capacity) {
  if (size != capacity) return true;
  T* grown = static_cast<T*>(realloc(items, GetNewCapacity(capacity) * sizeof(T)));
  if (grown == nullptr) return false;
  items = grown;
  return true;
}

// Hands out the next slot of a growable result array, or null.
template <typename T>
T* NextSlot(T*& items, size_t& size, size_t& capacity) {
  if (size == capacity) {
    size_t new_capacity = GetNewCapacity(capacity);
    T* grown = static_cast<T*>(realloc(items, new_capacity * sizeof(T)));
    if (grown == nullptr) return nullptr;
    items = grown;
    capacity = new_capacity;
  }
  T* slot = &items[size++];
  memset(static_cast<void*>(slot), 0, sizeof(T));
  return slot;
}

bool IsReportableCorePhrase(int32_t attribute_idx) {
  const CoreTermAttribute* attribute = CoreDict::GetValue(attribute_idx);
  return attribute != nullptr && (attribute->term_type & kTermReportPhrase) != 0;
}
}  // namespace

OmniSegResSaver::OmniSegResSaver(OmniSegNet* seg_net, SegMode* seg_mode,
                                 SentenceNormalizer* normalizer, const InputSpanMap* span_map)
    : seg_net_(seg_net),
      seg_mode_(seg_mode),
      normalizer_(normalizer),
      span_map_(span_map),
      term_buffer_(kTermChunkSize) {}

OmniSegResSaver::~OmniSegResSaver() {
  free(basic_tokens_);
  free(word_poses_);
  free(basic_spans_);
  free(phrase_tokens_);
  free(phrase_spans_);
  free(additional_tokens_);
  free(mix_tokens_);
  free(mix_spans_);
}

void OmniSegResSaver::Clear() {
  term_buffer_.Clear();
  basic_tokens_size_ = phrase_tokens_size_ = 0;
  mix_tokens_size_ = additional_tokens_size_ = 0;
  term_idx_ = 0;
}

token_t* OmniSegResSaver::GetBasicToken() {
  // The word-position and span arrays are parallel to the basic tokens:
  // they grow first to the capacity the token array is about to get.
  if (!GrowParallel(word_poses_, basic_tokens_size_, basic_tokens_capacity_) ||
      !GrowParallel(basic_spans_, basic_tokens_size_, basic_tokens_capacity_)) {
    return nullptr;
  }
  token_t* token = NextSlot(basic_tokens_, basic_tokens_size_, basic_tokens_capacity_);
  if (token == nullptr) return nullptr;
  memset(&word_poses_[basic_tokens_size_ - 1], 0, sizeof(WP));
  return token;
}

comb_token_t* OmniSegResSaver::GetPhraseToken() {
  if (!GrowParallel(phrase_spans_, phrase_tokens_size_, phrase_tokens_capacity_)) return nullptr;
  return NextSlot(phrase_tokens_, phrase_tokens_size_, phrase_tokens_capacity_);
}

token_t* OmniSegResSaver::GetMixToken() {
  if (!GrowParallel(mix_spans_, mix_tokens_size_, mix_tokens_capacity_)) return nullptr;
  return NextSlot(mix_tokens_, mix_tokens_size_, mix_tokens_capacity_);
}

additional_token_t* OmniSegResSaver::GetAdditionalToken() {
  return NextSlot(additional_tokens_, additional_tokens_size_, additional_tokens_capacity_);
}

const char* OmniSegResSaver::SaveText(size_t begin, size_t len, size_t& saved_len) {
  size_t term_len = 0;
  const char* term = normalizer_->GetTerm(begin, len, term_len);
  return StoreText(term, term_len, saved_len);
}

const char* OmniSegResSaver::StoreText(const char* text, size_t len, size_t& saved_len) {
  if (charset_ != kCharsetUtf8) {
    saved_len = len;
    return term_buffer_.AddTerm(text, 0, len);
  }
  size_t utf8_len = sizeof(gbk_to_utf_buffer_);
  encode_converter_.GBK2UTF(text, len, gbk_to_utf_buffer_, utf8_len);
  saved_len = utf8_len;
  return term_buffer_.AddTerm(gbk_to_utf_buffer_, 0, utf8_len);
}

bool OmniSegResSaver::Save(int charset) {
  charset_ = charset;
  bool merge_names = seg_mode_->is_ne_name() &&
                     (seg_mode_->is_ne_per_whole() || seg_mode_->is_ne_org_whole() ||
                      seg_mode_->is_ne_loc_whole());
  if (seg_mode_->is_ne_name() && seg_mode_->is_pos_tag()) TagPersonNameWords();
  if (merge_names && !MergeName()) return false;
  if (seg_mode_->is_use_custom_rule() && !MergeCustomRule()) return false;
  if (seg_mode_->is_use_custom_word() && !MergeCustomWord()) return false;

  OmniSegNode* start = seg_net_->GetSegNode(0);
  if (start == nullptr) return false;
  size_t first_word_idx = basic_tokens_size_;
  size_t pos = 0;
  while (seg_net_->GetSegNode(pos)->next_term_len() != 0) {
    if (!SavePhrase(pos)) return false;
    pos += seg_net_->GetSegNode(pos)->next_term_len();
    if (seg_net_->GetSegNode(pos) == nullptr || !SaveBasic(pos)) return false;
  }
  if (seg_mode_->is_use_additional_rule_mode() && !AttachAdditionalToken(first_word_idx)) {
    return false;
  }
  return SaveMixWord(first_word_idx);
}

bool OmniSegResSaver::SavePhrase(size_t node_pos) {
  const OmniSegNode* node = seg_net_->GetSegNode(node_pos);
  if (!node->is_optimal_seg_node()) return false;
  for (size_t i = 0; i < node->phrase_item_size(); ++i) {
    const OmniPhraseItem& phrase = node->phrase_items()[i];
    const OmniSegNode* end = seg_net_->GetSegNode(node_pos, phrase.phrase_len);
    if (phrase.phrase_attribute_idx < 0 || end == nullptr || !end->is_optimal_seg_node()) {
      continue;
    }
    comb_token_t* token = GetPhraseToken();
    if (token == nullptr) return false;
    size_t begin = phrase.phrase_end_pos - phrase.phrase_len;
    token->word = SaveText(begin, phrase.phrase_len, token->wlen);
    if (token->word == nullptr) return false;
    phrase_spans_[phrase_tokens_size_ - 1] = span_map_->Span(begin, phrase.phrase_len);
    token->cls = phrase.phrase_attribute_idx >= kReservedIdBase ? phrase.phrase_attribute_idx : 0;
    token->sidx = token->eidx = basic_tokens_size_;
    size_t pos = node_pos;
    while (pos < phrase.phrase_end_pos) {
      size_t next = seg_net_->GetSegNode(pos)->next_term_len();
      if (next == 0) return false;
      pos += next;
      ++token->eidx;
    }
    if (pos != phrase.phrase_end_pos) return false;
  }
  return true;
}

bool OmniSegResSaver::SaveBasic(size_t node_pos) {
  const OmniSegNode* node = seg_net_->GetSegNode(node_pos);
  const OmniSegItem* item = node->is_optimal_seg_node() ? node->optimal_item() : nullptr;
  token_t* token = item == nullptr ? nullptr : GetBasicToken();
  if (token == nullptr) return false;
  token->word = SaveText(item->term_begin_pos, item->term_len, token->wlen);
  if (token->word == nullptr) return false;
  basic_spans_[basic_tokens_size_ - 1] = span_map_->Span(item->term_begin_pos, item->term_len);
  token->pos = item->pos_tag;
  WP& word_pos = word_poses_[basic_tokens_size_ - 1];
  word_pos.word = token->word;
  word_pos.pos = item->pos_tag;
  word_pos.bcw = item->undict_term_type == OmniSegItem::TYPE_CUS;
  return true;
}

// basic_idx follows the sentence's basic words along the path, so a path
// word taken as a mix word reuses the text already saved for it.
bool OmniSegResSaver::SaveMixWord(size_t basic_idx) {
  size_t pos = 0;
  size_t len = seg_net_->GetSegNode(0)->next_term_len();
  while (len != 0) {
    if (SaveMixPhrase(pos, len)) {
      basic_idx += PathWordsBetween(pos, pos + len);
      pos += len;
    } else {
      pos += len;
      if (!SaveMixTerm(basic_idx++)) return false;
    }
    len = seg_net_->GetSegNode(pos)->next_term_len();
  }
  return true;
}

bool OmniSegResSaver::SaveMixPhrase(size_t node_pos, size_t& len) {
  const OmniSegNode* node = seg_net_->GetSegNode(node_pos);
  if (!node->is_optimal_seg_node()) return false;
  const OmniPhraseItem* phrase = GetMaxLenPhrase(node_pos);
  if (phrase == nullptr) return false;
  token_t* token = GetMixToken();
  if (token == nullptr) return false;
  token->word = SaveText(node_pos, phrase->phrase_len, token->wlen);
  if (token->word == nullptr) {
    --mix_tokens_size_;  // give the slot back; the path word is saved instead
    return false;
  }
  mix_spans_[mix_tokens_size_ - 1] = span_map_->Span(node_pos, phrase->phrase_len);
  switch (phrase->phrase_attribute_idx) {
    case kLocationPhraseIdx: token->pos = kTagLocation; break;
    case kPersonPhraseIdx: token->pos = kTagPerson; break;
    case kUrlPhraseIdx: token->pos = kTagUrl; break;
    case kEmailPhraseIdx: token->pos = kTagEmail; break;
    default: token->pos = kTagNoun; break;
  }
  len = phrase->phrase_len;
  return true;
}

bool OmniSegResSaver::SaveMixTerm(size_t basic_idx) {
  if (basic_idx >= basic_tokens_size_) return false;
  token_t* token = GetMixToken();
  if (token == nullptr) return false;
  *token = basic_tokens_[basic_idx];
  mix_spans_[mix_tokens_size_ - 1] = basic_spans_[basic_idx];
  return true;
}

const OmniPhraseItem* OmniSegResSaver::GetMaxLenPhrase(size_t node_pos) const {
  const OmniSegNode* node = seg_net_->GetSegNode(node_pos);
  const OmniPhraseItem* longest = nullptr;
  for (size_t i = 0; i < node->phrase_item_size(); ++i) {
    const OmniPhraseItem& phrase = node->phrase_items()[i];
    if (phrase.phrase_attribute_idx <= 0) continue;
    const OmniSegNode* end = seg_net_->GetSegNode(node_pos + phrase.phrase_len);
    if (end == nullptr || !end->is_optimal_seg_node()) continue;
    if (longest == nullptr || phrase.phrase_len > longest->phrase_len) longest = &phrase;
  }
  if (longest == nullptr) return nullptr;
  int32_t id = longest->phrase_attribute_idx;
  if (id == kOrganizationPhraseIdx) return nullptr;
  // URLs and e-mail addresses are shown whole whatever else they contain.
  if (id == kPersonPhraseIdx || id == kLocationPhraseIdx || id == kUrlPhraseIdx ||
      id == kEmailPhraseIdx) {
    return longest;
  }
  bool reportable = id >= kReservedIdBase || IsReportableCorePhrase(id);
  if (reportable && !IsAmbiguousPhrase(node_pos, longest->phrase_len)) return longest;
  return nullptr;
}

bool OmniSegResSaver::IsAmbiguousPhrase(size_t node_pos, size_t phrase_len) const {
  size_t offset = seg_net_->GetSegNode(node_pos)->next_term_len();
  while (offset != 0 && offset < phrase_len) {
    const OmniSegNode* inner = seg_net_->GetSegNode(node_pos + offset);
    if (inner->is_candidate_phrase_node() &&
        (offset < inner->in_phrase_max_len() ||
         offset + inner->out_phrase_max_len() > phrase_len)) {
      return true;
    }
    offset += inner->next_term_len();
    if (inner->next_term_len() == 0) break;
  }
  return false;
}

// The entity phrase at node_pos that the mode asks to keep whole and that
// ends on the path, the last one listed first; null when none.
const OmniPhraseItem* OmniSegResSaver::WholeNamePhrase(size_t node_pos) const {
  const OmniSegNode* node = seg_net_->GetSegNode(node_pos);
  for (size_t i = node->phrase_item_size(); i-- > 0;) {
    const OmniPhraseItem& phrase = node->phrase_items()[i];
    int32_t id = phrase.phrase_attribute_idx;
    if ((id == kPersonPhraseIdx && seg_mode_->is_ne_per_whole()) ||
        (id == kOrganizationPhraseIdx && seg_mode_->is_ne_org_whole()) ||
        (id == kLocationPhraseIdx && seg_mode_->is_ne_loc_whole())) {
      if (phrase.phrase_len > 0 && IsPathNode(node_pos + phrase.phrase_len)) return &phrase;
    }
  }
  return nullptr;
}

bool OmniSegResSaver::MergeName() {
  size_t size = seg_net_->seg_net_size();
  size_t pos = 0;
  while (pos < size) {
    const OmniSegNode* node = seg_net_->GetSegNode(pos);
    const OmniPhraseItem* phrase =
        node->is_optimal_seg_node() ? WholeNamePhrase(pos) : nullptr;
    if (phrase == nullptr) {
      ++pos;
      continue;
    }
    size_t end = pos + phrase->phrase_len;
    int32_t id = phrase->phrase_attribute_idx;
    int added = seg_net_->AddTerm(pos, phrase->phrase_len, id, OmniSegItem::TYPE_CJK);
    if (added < 0) return false;
    if (added > 0) {  // the end node takes no words: the name stays cut
      ++pos;
      continue;
    }
    seg_net_->SetPathWord(pos, end);
    seg_net_->GetSegNode(end)->optimal_item()->pos_tag =
        id == kPersonPhraseIdx ? kTagPerson
                               : (id == kOrganizationPhraseIdx ? kTagOrganization : kTagLocation);
    pos = end;
  }
  return true;
}

void OmniSegResSaver::TagPersonNameWords() {
  size_t pos = 0;
  while (size_t len = seg_net_->GetSegNode(pos)->next_term_len()) {
    const OmniSegNode* node = seg_net_->GetSegNode(pos);
    size_t name_len = 0;
    for (size_t i = 0; i < node->phrase_item_size(); ++i) {
      const OmniPhraseItem& phrase = node->phrase_items()[i];
      if (phrase.phrase_attribute_idx == kPersonPhraseIdx && phrase.phrase_len > name_len &&
          IsPathNode(pos + phrase.phrase_len)) {
        name_len = phrase.phrase_len;
      }
    }
    if (name_len == 0) {
      pos += len;
      continue;
    }
    // The name ends on a path node, so its words lead there.
    for (size_t end = pos + name_len; pos < end && len != 0;
         len = seg_net_->GetSegNode(pos)->next_term_len()) {
      pos += len;
      OmniSegItem* word = seg_net_->GetSegNode(pos)->optimal_item();
      if (word != nullptr) word->pos_tag = kTagPerson;
    }
  }
}

bool OmniSegResSaver::IsPathNode(size_t pos) const {
  const OmniSegNode* node = seg_net_->GetSegNode(pos);
  return node != nullptr && node->is_optimal_seg_node();
}

size_t OmniSegResSaver::PathWordsBetween(size_t begin, size_t end) const {
  size_t words = 0;
  size_t pos = begin;
  while (pos < end) {
    size_t len = seg_net_->GetSegNode(pos)->next_term_len();
    if (len == 0) return 0;
    pos += len;
    ++words;
  }
  return pos == end ? words : 0;
}

bool OmniSegResSaver::MergeCustomRule() {
  if (CustomRule::GetSize() == 0) return true;
  size_t text_len = 0;
  const char* text = normalizer_->GetSegmentUsedStr(text_len);
  size_t pos = 0;
  for (;;) {
    size_t word_len = seg_net_->GetSegNode(pos)->next_term_len();
    if (word_len == 0 || pos >= text_len) return true;
    int applied = ApplyCustomRule(text, text_len, pos, word_len);
    if (applied < 0) return false;
    pos += applied > 0 ? static_cast<size_t>(applied) : word_len;
  }
}

bool OmniSegResSaver::CanCutAt(size_t begin, const uint8_t* cuts, size_t rule_len) const {
  if (cuts == nullptr) return !seg_net_->GetSegNode(begin + rule_len)->is_rule_seg_node();
  for (size_t i = 1; cuts[i - 1] != rule_len; ++i) {
    if (seg_net_->GetSegNode(begin + cuts[i])->is_rule_seg_node()) return false;
  }
  return true;
}

int OmniSegResSaver::ApplyCustomRule(const char* text, size_t text_len, size_t begin,
                                     size_t word_len) {
  size_t count = CustomRule::CommonPrefixSearch(text + begin, text_len - begin, result_,
                                                kMaxPrefixResults);
  if (count > kMaxPrefixResults) count = kMaxPrefixResults;
  for (size_t i = count; i-- > 0;) {
    const CustomRuleAttribute* rule = CustomRule::GetValue(result_[i]);
    if (rule == nullptr) continue;
    if (rule->rule_len < word_len) return 0;
    if (PathWordsBetween(begin, begin + rule->rule_len) == 0) continue;
    // Null for a rule given without token lengths: it stays one token.
    const uint8_t* cuts = CustomRule::GetSegInfo(rule->rule_seg_info_index);
    if (!CanCutAt(begin, cuts, rule->rule_len)) continue;
    size_t piece_begin = begin;
    for (size_t j = 1; piece_begin < begin + rule->rule_len; ++j) {
      size_t piece_end = begin + (cuts != nullptr ? cuts[j] : rule->rule_len);
      if (seg_net_->AddTerm(piece_begin, piece_end - piece_begin, -1, OmniSegItem::TYPE_RUL) !=
          0) {
        return -1;
      }
      seg_net_->SetPathWord(piece_begin, piece_end);
      piece_begin = piece_end;
    }
    return static_cast<int>(rule->rule_len);
  }
  return 0;
}

bool OmniSegResSaver::MergeCustomWord() {
  // Fetched once per sentence: a switch of the working dictionary takes
  // effect from the next sentence on.
  const CustomDict* dict = CustomDictContainer::GetWorkingDict();
  if (dict == nullptr || dict->size() == 0) return true;
  size_t text_len = 0;
  const char* text = normalizer_->GetSegmentUsedStr(text_len);
  size_t pos = 0;
  for (;;) {
    size_t word_len = seg_net_->GetSegNode(pos)->next_term_len();
    if (word_len == 0 || pos >= text_len) return true;
    size_t count = dict->CommonPrefixSearch(text + pos, text_len - pos, result_,
                                            kMaxPrefixResults);
    if (count > kMaxPrefixResults) count = kMaxPrefixResults;
    size_t merged_len = 0;
    for (size_t i = count; i-- > 0 && merged_len == 0;) {
      const CustomTermAttribute* word = dict->GetValue(result_[i]);
      if (word == nullptr) continue;
      if (word->term_len < word_len) break;
      size_t end = pos + word->term_len;
      if (PathWordsBetween(pos, end) == 0) continue;
      int added = seg_net_->AddTerm(pos, word->term_len, -1, OmniSegItem::TYPE_CUS);
      if (added < 0) return false;
      if (added > 0) continue;  // the end node takes no words
      seg_net_->SetPathWord(pos, end);
      seg_net_->GetSegNode(end)->optimal_item()->pos_tag = word->term_pos;
      merged_len = word->term_len;
    }
    pos += merged_len > 0 ? merged_len : word_len;
  }
}

bool OmniSegResSaver::AttachAdditionalToken(size_t first_word_idx) {
  if (seg_net_->seg_net_size() <= 1 || AdditionalRule::GetSize() == 0) return true;
  size_t text_len = 0;
  const char* text = normalizer_->GetSegmentUsedStr(text_len);
  term_idx_ = first_word_idx;
  size_t pos = 0;
  for (;;) {
    size_t word_len = seg_net_->GetSegNode(pos)->next_term_len();
    if (word_len == 0 || pos >= text_len) return true;
    size_t count = AdditionalRule::CommonPrefixSearch(text + pos, text_len - pos, result_,
                                                      kMaxPrefixResults);
    if (count > kMaxPrefixResults) count = kMaxPrefixResults;
    const AdditionalRuleAttribute* rule = nullptr;
    size_t words = 0;
    for (size_t i = count; i-- > 0 && rule == nullptr;) {
      const AdditionalRuleAttribute* candidate = AdditionalRule::GetValue(result_[i]);
      if (candidate == nullptr) continue;
      words = PathWordsBetween(pos, pos + candidate->rule_len);
      if (words > 0) rule = candidate;
    }
    if (rule == nullptr) {
      ++term_idx_;
      pos += word_len;
      continue;
    }
    if (!EmitAdditionalGroups(*rule, pos, words)) return false;
    term_idx_ += words;
    pos += rule->rule_len;
  }
}

bool OmniSegResSaver::GroupEqualsPath(const std::vector<std::string>& group,
                                      size_t begin) const {
  size_t pos = begin;
  for (const std::string& word : group) {
    size_t len = seg_net_->GetSegNode(pos)->next_term_len();
    size_t output_len = 0;
    const char* output = normalizer_->GetTerm(pos, len, output_len);
    if (word.size() != output_len || word.compare(0, output_len, output, output_len) != 0) {
      return false;
    }
    pos += len;
  }
  return true;
}

bool OmniSegResSaver::EmitAdditionalGroups(const AdditionalRuleAttribute& rule, size_t begin,
                                           size_t words_len) {
  size_t last_group_first = additional_tokens_size_;
  for (const std::vector<std::string>& group : rule.groups) {
    if (group.size() == words_len && GroupEqualsPath(group, begin)) continue;
    size_t group_first = additional_tokens_size_;
    for (const std::string& word : group) {
      additional_token_t* token = GetAdditionalToken();
      if (token == nullptr) return false;
      token->word = StoreText(word.data(), word.size(), token->wlen);
      if (token->word == nullptr) return false;
      token->start_idx = term_idx_;
      token->end_idx = term_idx_ + words_len;
      token->next_group_additional_idx = group_first + group.size();
    }
    last_group_first = group_first;
  }
  // The last alternative shown points nowhere, whichever group it was.
  for (size_t i = last_group_first; i < additional_tokens_size_; ++i) {
    additional_tokens_[i].next_group_additional_idx = 0;
  }
  return true;
}

seg_tokens_t* OmniSegResSaver::GetAllRes() {
  seg_tokens_.fine_grain_seg_tokens = basic_tokens_;
  seg_tokens_.fine_grain_tokens_num = basic_tokens_size_;
  seg_tokens_.thick_seg_tokens = phrase_tokens_;
  seg_tokens_.thick_seg_tokens_num = phrase_tokens_size_;
  seg_tokens_.mix_seg_tokens = mix_tokens_;
  seg_tokens_.mix_seg_tokens_num = mix_tokens_size_;
  return &seg_tokens_;
}

const token_t* OmniSegResSaver::GetBasicTokenAt(size_t index) const {
  return index < basic_tokens_size_ ? &basic_tokens_[index] : nullptr;
}

pWP OmniSegResSaver::GetWordPosAt(size_t index) const {
  return index < basic_tokens_size_ ? &word_poses_[index] : nullptr;
}

const comb_token_t* OmniSegResSaver::GetPhraseTokenAt(size_t index) const {
  return index < phrase_tokens_size_ ? &phrase_tokens_[index] : nullptr;
}

const additional_token_t* OmniSegResSaver::GetAdditionalTokenAt(size_t index) const {
  return index < additional_tokens_size_ ? &additional_tokens_[index] : nullptr;
}

const token_t* OmniSegResSaver::GetMixTokenAt(size_t index) const {
  return index < mix_tokens_size_ ? &mix_tokens_[index] : nullptr;
}

const token_span_t* OmniSegResSaver::GetBasicSpanAt(size_t index) const {
  return index < basic_tokens_size_ ? &basic_spans_[index] : nullptr;
}

const token_span_t* OmniSegResSaver::GetPhraseSpanAt(size_t index) const {
  return index < phrase_tokens_size_ ? &phrase_spans_[index] : nullptr;
}

const token_span_t* OmniSegResSaver::GetMixSpanAt(size_t index) const {
  return index < mix_tokens_size_ ? &mix_spans_[index] : nullptr;
}

}  // namespace new_seg
