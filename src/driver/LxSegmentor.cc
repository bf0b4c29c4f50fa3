#include "driver/LxSegmentor.h"

#include <cstdlib>

namespace new_seg {

namespace {
const size_t kCharsetUtf8 = 0x200000;
// Room left in the lattice beyond the longest sentence.
const size_t kSentenceSlack = 4;

// Widens an accessor index; negative values become huge and so out of range.
size_t Widen(int index) { return static_cast<size_t>(static_cast<int64_t>(index)); }
}  // namespace

LxSegmentor::LxSegmentor(int seg_mode_value)
    : seg_mode_(seg_mode_value),
      seg_net_(kSegNetCapacity),
      seg_net_builder_(&seg_net_, &seg_mode_),
      seg_net_searcher_(&seg_net_),
      seg_single_word_(&seg_net_),
      sentence_spliter_(kSegNetCapacity - kSentenceSlack),
      sentence_normalizer_(&seg_mode_, kSegNetCapacity),
      seg_net_adjuster_(&seg_net_, &sentence_normalizer_),
      span_map_(&encode_converter_, &sentence_normalizer_),
      seg_res_saver_(&seg_net_, &seg_mode_, &sentence_normalizer_, &span_map_) {
  seg_net_builder_.set_normalizer(&sentence_normalizer_);
}

LxSegmentor::~LxSegmentor() { free(utf_to_gbk_buf_); }

bool LxSegmentor::Init() {
  if (inited_) return true;
  if (!seg_net_.Init() || !seg_net_builder_.Init() || !sentence_spliter_.Init() ||
      !sentence_normalizer_.Init() || !encode_converter_.ok()) {
    return false;
  }
  inited_ = true;
  return true;
}

void LxSegmentor::Clear() {
  seg_net_.Clear();
  seg_net_builder_.Clear();
  seg_res_saver_.Clear();
  sentence_spliter_.Clear();
  sentence_normalizer_.Clear();
  ner_.Clear();
}

bool LxSegmentor::GrowInputBuffer(size_t capacity) {
  if (capacity <= utf_to_gbk_buf_capacity_) return true;
  char* grown = static_cast<char*>(realloc(utf_to_gbk_buf_, capacity + 1));
  if (grown == nullptr) return false;
  utf_to_gbk_buf_ = grown;
  utf_to_gbk_buf_capacity_ = capacity;
  return true;
}

// GB18030 output is at most as long as the UTF-8 input for most text; a
// character that grows (U+0080..U+07FF, or an invalid byte turned into
// U+FFFD) makes the buffer grow and the conversion continue where it stopped.
bool LxSegmentor::ConvertInput(const char* text, size_t len) {
  if (!GrowInputBuffer(len + 16)) return false;
  size_t produced = 0;
  size_t consumed = 0;
  for (;;) {
    size_t room = utf_to_gbk_buf_capacity_ - produced;
    size_t step_consumed = 0;
    bool complete = encode_converter_.Utf8ToGb(text + consumed, len - consumed,
                                               utf_to_gbk_buf_ + produced, room,
                                               step_consumed);
    produced += room;
    consumed += step_consumed;
    if (complete) break;
    if (!GrowInputBuffer(utf_to_gbk_buf_capacity_ * 2)) return false;
  }
  utf_to_gbk_buf_size_ = produced;
  utf_to_gbk_buf_[produced] = '\0';
  return true;
}

bool LxSegmentor::SegmentSentence(const char* sentence, size_t len) {
  size_t normalized_len = 0;
  const char* normalized = sentence_normalizer_.Normalize(sentence, len, normalized_len);
  if (normalized == nullptr) return false;
  span_map_.MapSentence(sentence, len);
  if (last_stage_ == Stage::kNormalize) return true;
  seg_net_.Clear();
  if (seg_mode_.is_single_word()) {
    if (!seg_single_word_.Segment(normalized, normalized_len)) return false;
  } else {
    if (seg_net_builder_.Build(normalized, normalized_len) < 0) return false;
    if (last_stage_ == Stage::kBuild) return true;
    if (seg_net_searcher_.Search() < 0) return false;
    if (seg_net_adjuster_.AdjustOptimalPath() < 0) return false;
  }
  if (last_stage_ == Stage::kSearch) return true;
  if (seg_mode_.is_pos_tag()) {
    seg_tag_.pos_tag(&seg_net_, &sentence_normalizer_, seg_mode_.is_ne_name());
  }
  if (last_stage_ == Stage::kTag) return true;
  if (seg_mode_.is_ne_name()) {
    ner_.NameEntityRecognite(normalized, normalized_len, seg_mode_, &seg_net_);
  }
  if (last_stage_ == Stage::kEntities) return true;
  return seg_res_saver_.Save(static_cast<int>(charset_));
}

bool LxSegmentor::segment(const char* text, size_t len, size_t charset) {
  if (text == nullptr) len = 0;
  // Cleared first, so that a failed call never leaves the previous call's
  // results looking like its own.
  Clear();
  const char* input = text;
  size_t input_len = len;
  if (charset == kCharsetUtf8 && len != 0) {
    if (!ConvertInput(text, len)) return false;
    text = utf_to_gbk_buf_;
    len = utf_to_gbk_buf_size_;
  }
  charset_ = charset;
  span_map_.Start(input, input_len, charset == kCharsetUtf8, text, len);
  if (last_stage_ == Stage::kConvert) return true;
  sentence_spliter_.SetText(text, len);
  size_t sentence_len = 0;
  while (const char* sentence = sentence_spliter_.GetNextSentence(sentence_len)) {
    if (!SegmentSentence(sentence, sentence_len)) return false;
  }
  return true;
}

const token_t* LxSegmentor::GetBasicTokenAt(int index) const {
  return seg_res_saver_.GetBasicTokenAt(Widen(index));
}
const comb_token_t* LxSegmentor::GetPhraseTokenAt(int index) const {
  return seg_res_saver_.GetPhraseTokenAt(Widen(index));
}
const additional_token_t* LxSegmentor::GetAdditionalTokenAt(int index) const {
  return seg_res_saver_.GetAdditionalTokenAt(Widen(index));
}
const token_t* LxSegmentor::GetMixTokenAt(int index) const {
  return seg_res_saver_.GetMixTokenAt(Widen(index));
}
pWP LxSegmentor::GetWordPosAt(int index) const {
  return seg_res_saver_.GetWordPosAt(Widen(index));
}
const token_span_t* LxSegmentor::GetBasicSpanAt(int index) const {
  return seg_res_saver_.GetBasicSpanAt(Widen(index));
}
const token_span_t* LxSegmentor::GetPhraseSpanAt(int index) const {
  return seg_res_saver_.GetPhraseSpanAt(Widen(index));
}
const token_span_t* LxSegmentor::GetMixSpanAt(int index) const {
  return seg_res_saver_.GetMixSpanAt(Widen(index));
}
const char* LxSegmentor::GetBasicAt(int index) const {
  const token_t* token = GetBasicTokenAt(index);
  return token == nullptr ? nullptr : token->word;
}
const char* LxSegmentor::GetPhraseAt(int index) const {
  const comb_token_t* token = GetPhraseTokenAt(index);
  return token == nullptr ? nullptr : token->word;
}
const char* LxSegmentor::GetMixWordAt(int index) const {
  const token_t* token = GetMixTokenAt(index);
  return token == nullptr ? nullptr : token->word;
}

}  // namespace new_seg
