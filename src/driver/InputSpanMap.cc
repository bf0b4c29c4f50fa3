#include "driver/InputSpanMap.h"

#include "text/EncodeConverter.h"
#include "text/Gb18030.h"
#include "text/SentenceNormalizer.h"

namespace new_seg {

InputSpanMap::InputSpanMap(EncodeConverter* converter, const SentenceNormalizer* normalizer)
    : converter_(converter), normalizer_(normalizer) {}

void InputSpanMap::Start(const char* input, size_t input_len, bool utf8,
                         const char* converted_text, size_t converted_len) {
  input_ = input;
  input_len_ = input == nullptr ? 0 : input_len;
  utf8_ = utf8;
  converted_ = converted_text;
  converted_len_ = converted_text == nullptr ? 0 : converted_len;
  converted_pos_ = input_pos_ = char_pos_ = 0;
  sentence_input_base_ = sentence_char_base_ = 0;
  input_offset_[0] = char_offset_[0] = 0;
}

// A UTF-8 character is converted again exactly as the whole text was, so
// the two texts stay in step whatever the converter did with it (a
// character outside GBK, an ill-formed byte turned into U+FFFD).
bool InputSpanMap::Step(size_t& converted_len) {
  if (converted_pos_ >= converted_len_ || input_pos_ >= input_len_) return false;
  size_t input_len;
  if (utf8_) {
    char converted[8];
    input_len = converter_->Utf8CharToGb(input_ + input_pos_, input_len_ - input_pos_,
                                         converted, converted_len);
  } else {
    input_len = converted_len = GbCharLen(converted_, converted_pos_, converted_len_);
  }
  converted_pos_ += converted_len;
  input_pos_ += input_len;
  ++char_pos_;
  return true;
}

void InputSpanMap::MapSentence(const char* sentence, size_t len) {
  size_t begin = static_cast<size_t>(sentence - converted_);
  if (len > kMaxSentenceLen) len = kMaxSentenceLen;
  size_t converted_len = 0;
  // Sentences follow each other; should one start further on, the
  // characters before it are passed over.
  while (converted_pos_ < begin && Step(converted_len)) {
  }
  sentence_input_base_ = input_pos_;
  sentence_char_base_ = char_pos_;
  size_t end = begin + len;
  size_t filled = converted_pos_ > begin ? converted_pos_ - begin : 0;
  for (size_t k = 0; k < filled && k < len; ++k) input_offset_[k] = char_offset_[k] = 0;
  while (converted_pos_ < end) {
    uint16_t input_offset = static_cast<uint16_t>(input_pos_ - sentence_input_base_);
    uint16_t char_offset = static_cast<uint16_t>(char_pos_ - sentence_char_base_);
    size_t char_begin = converted_pos_;
    if (!Step(converted_len)) break;
    // Every byte of a character maps to its start: a word never starts or
    // ends inside one, and if it did, the character would go to the word
    // holding its end.
    for (size_t p = char_begin; p < converted_pos_ && p < end; ++p) {
      input_offset_[p - begin] = input_offset;
      char_offset_[p - begin] = char_offset;
    }
  }
  // The end maps to the cursor; so does the rest, should either text end
  // early.
  size_t mapped = converted_pos_ > begin ? converted_pos_ - begin : 0;
  for (size_t k = mapped < len ? mapped : len; k <= len; ++k) {
    input_offset_[k] = static_cast<uint16_t>(input_pos_ - sentence_input_base_);
    char_offset_[k] = static_cast<uint16_t>(char_pos_ - sentence_char_base_);
  }
}

token_span_t InputSpanMap::Span(size_t begin, size_t len) const {
  size_t first = normalizer_->SourcePos(begin);
  size_t last = normalizer_->SourcePos(begin + len);
  if (first > kMaxSentenceLen) first = kMaxSentenceLen;
  if (last > kMaxSentenceLen) last = kMaxSentenceLen;
  token_span_t span;
  span.begin = sentence_input_base_ + input_offset_[first];
  span.end = sentence_input_base_ + input_offset_[last];
  span.char_begin = sentence_char_base_ + char_offset_[first];
  span.char_end = sentence_char_base_ + char_offset_[last];
  return span;
}

}  // namespace new_seg
