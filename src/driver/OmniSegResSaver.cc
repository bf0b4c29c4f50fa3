#include "driver/OmniSegResSaver.h"

#include <cstdlib>
#include <cstring>

#include "dict/CoreDict.h"
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
const uint16_t kReportablePhraseBit = 0x0100;

// 32 entries, doubling below 128; beyond that the arrays grow by half, not
// by a fixed step, so a huge call costs amortised constant time per word.
size_t GetNewCapacity(size_t capacity) {
  if (capacity == 0) return 32;
  if (capacity < 128) return capacity * 2;
  return capacity + capacity / 2;
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
  return attribute != nullptr && (attribute->term_type & kReportablePhraseBit) != 0;
}
}  // namespace

OmniSegResSaver::OmniSegResSaver(OmniSegNet* seg_net, SegMode* seg_mode,
                                 SentenceNormalizer* normalizer)
    : seg_net_(seg_net),
      seg_mode_(seg_mode),
      normalizer_(normalizer),
      term_buffer_(kTermChunkSize) {}

OmniSegResSaver::~OmniSegResSaver() {
  free(basic_tokens_);
  free(word_poses_);
  free(phrase_tokens_);
  free(additional_tokens_);
  free(mix_tokens_);
}

void OmniSegResSaver::Clear() {
  term_buffer_.Clear();
  basic_tokens_size_ = phrase_tokens_size_ = 0;
  mix_tokens_size_ = additional_tokens_size_ = 0;
  term_idx_ = 0;
}

token_t* OmniSegResSaver::GetBasicToken() {
  // The word-position array is parallel to the basic tokens: grow it first
  // to the capacity the token array is about to get.
  if (basic_tokens_size_ == basic_tokens_capacity_) {
    size_t new_capacity = GetNewCapacity(basic_tokens_capacity_);
    WP* grown = static_cast<WP*>(realloc(word_poses_, new_capacity * sizeof(WP)));
    if (grown == nullptr) return nullptr;
    word_poses_ = grown;
  }
  token_t* token = NextSlot(basic_tokens_, basic_tokens_size_, basic_tokens_capacity_);
  if (token == nullptr) return nullptr;
  memset(&word_poses_[basic_tokens_size_ - 1], 0, sizeof(WP));
  return token;
}

comb_token_t* OmniSegResSaver::GetPhraseToken() {
  return NextSlot(phrase_tokens_, phrase_tokens_size_, phrase_tokens_capacity_);
}

token_t* OmniSegResSaver::GetMixToken() {
  return NextSlot(mix_tokens_, mix_tokens_size_, mix_tokens_capacity_);
}

additional_token_t* OmniSegResSaver::GetAdditionalToken() {
  return NextSlot(additional_tokens_, additional_tokens_size_, additional_tokens_capacity_);
}

const char* OmniSegResSaver::SaveText(size_t begin, size_t len, size_t& saved_len) {
  size_t term_len = 0;
  const char* term = normalizer_->GetTerm(begin, len, term_len);
  if (charset_ != kCharsetUtf8) {
    saved_len = term_len;
    return term_buffer_.AddTerm(term, 0, term_len);
  }
  size_t utf8_len = sizeof(gbk_to_utf_buffer_);
  encode_converter_.GBK2UTF(term, term_len, gbk_to_utf_buffer_, utf8_len);
  saved_len = utf8_len;
  return term_buffer_.AddTerm(gbk_to_utf_buffer_, 0, utf8_len);
}

bool OmniSegResSaver::Save(int charset) {
  charset_ = charset;
  bool merge_names = seg_mode_->is_ne_name() &&
                     (seg_mode_->is_ne_per_whole() || seg_mode_->is_ne_org_whole() ||
                      seg_mode_->is_ne_loc_whole());
  if (merge_names && !MergeName()) return false;
  if (seg_mode_->is_use_custom_rule() && !MergeCustomRule()) return false;
  if (seg_mode_->is_use_custom_word() && !MergeCustomWord()) return false;

  OmniSegNode* start = seg_net_->GetSegNode(0);
  if (start == nullptr) return false;
  size_t pos = 0;
  while (seg_net_->GetSegNode(pos)->next_term_len() != 0) {
    if (!SavePhrase(pos)) return false;
    pos += seg_net_->GetSegNode(pos)->next_term_len();
    if (seg_net_->GetSegNode(pos) == nullptr || !SaveBasic(pos)) return false;
  }
  if (seg_mode_->is_use_additional_rule_mode() && !AttachAdditionalToken()) return false;
  return SaveMixWord(charset);
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
    token->word = SaveText(phrase.phrase_end_pos - phrase.phrase_len, phrase.phrase_len,
                           token->wlen);
    if (token->word == nullptr) return false;
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
  const OmniSegItem* item = node->optimal_item();
  if (!node->is_optimal_seg_node() || item == nullptr) return false;
  token_t* token = GetBasicToken();
  if (token == nullptr) return false;
  token->word = SaveText(item->term_begin_pos, item->term_len, token->wlen);
  if (token->word == nullptr) return false;
  token->pos = item->pos_tag;
  WP& word_pos = word_poses_[basic_tokens_size_ - 1];
  word_pos.word = token->word;
  word_pos.pos = item->pos_tag;
  word_pos.bcw = item->undict_term_type == OmniSegItem::TYPE_CUS;
  return true;
}

bool OmniSegResSaver::SaveMixWord(int /*charset*/) {
  size_t pos = 0;
  size_t len = seg_net_->GetSegNode(0)->next_term_len();
  while (len != 0) {
    if (SaveMixPhrase(pos, len)) {
      pos += len;
    } else {
      pos += len;
      if (!SaveMixTerm(pos)) return false;
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
  switch (phrase->phrase_attribute_idx) {
    case kLocationPhraseIdx: token->pos = kTagLocation; break;
    case kPersonPhraseIdx: token->pos = kTagPerson; break;
    default: token->pos = kTagNoun; break;
  }
  len = phrase->phrase_len;
  return true;
}

bool OmniSegResSaver::SaveMixTerm(size_t node_pos) {
  const OmniSegNode* node = seg_net_->GetSegNode(node_pos);
  const OmniSegItem* item = node->optimal_item();
  if (!node->is_optimal_seg_node() || item == nullptr) return false;
  token_t* token = GetMixToken();
  if (token == nullptr) return false;
  token->word = SaveText(item->term_begin_pos, item->term_len, token->wlen);
  if (token->word == nullptr) return false;
  token->pos = item->pos_tag;
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
  if (id == kPersonPhraseIdx || id == kLocationPhraseIdx) return longest;
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

// The merges below need the entity recogniser and the custom vocabulary;
// until those resources exist they leave the path as it is.
bool OmniSegResSaver::MergeName() { return true; }
bool OmniSegResSaver::MergeCustomRule() { return true; }
bool OmniSegResSaver::MergeCustomWord() { return true; }
bool OmniSegResSaver::AttachAdditionalToken() { return true; }

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

}  // namespace new_seg
