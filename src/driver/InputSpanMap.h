// Maps positions in the text a handle segments back to the text the caller
// gave LxSegment. UTF-8 input is converted to GB18030 first, the text is cut
// into sentences, and each sentence is normalised (a full-width character
// that becomes half-width leaves one byte for two), so a word's position in
// the lattice is not its position in the caller's text.
//
// The map walks the caller's text and the converted text in step, one
// character at a time, one sentence at a time, while the call runs (the
// caller's text is only known to be valid then), and keeps the positions of
// the current sentence only, so it needs no memory that grows with the text.
#ifndef ZORVSEG_DRIVER_INPUTSPANMAP_H_
#define ZORVSEG_DRIVER_INPUTSPANMAP_H_

#include <cstddef>
#include <cstdint>

#include "zorvseg_types.h"

namespace new_seg {

class EncodeConverter;
class SentenceNormalizer;

class InputSpanMap {
 public:
  // The longest sentence it maps; longer ones cannot be normalised either.
  static constexpr size_t kMaxSentenceLen = 1024;

  InputSpanMap(EncodeConverter* converter, const SentenceNormalizer* normalizer);

  // A new call: input is the caller's text, converted_text what it is
  // segmented as (the same pointer for a GBK call).
  void Start(const char* input, size_t input_len, bool utf8, const char* converted_text,
             size_t converted_len);
  // Maps the sentence at [sentence, sentence + len) of the converted text;
  // sentences come in text order.
  void MapSentence(const char* sentence, size_t len);
  // The span in the caller's text of [begin, begin + len) of the current
  // sentence's normalised text.
  token_span_t Span(size_t begin, size_t len) const;

 private:
  // Moves the cursor over one character of both texts; false at the end of
  // either.
  bool Step(size_t& converted_len);

  EncodeConverter* converter_;
  const SentenceNormalizer* normalizer_;
  const char* input_ = nullptr;
  size_t input_len_ = 0;
  bool utf8_ = false;
  const char* converted_ = nullptr;
  size_t converted_len_ = 0;

  // The cursor: a character start in both texts, and its character index.
  size_t converted_pos_ = 0;
  size_t input_pos_ = 0;
  size_t char_pos_ = 0;

  // The current sentence: where it starts in the caller's text, and for
  // each of its bytes (and its end) the offset of the character holding it
  // from there, in bytes and in characters.
  size_t sentence_input_base_ = 0;
  size_t sentence_char_base_ = 0;
  uint16_t input_offset_[kMaxSentenceLen + 1] = {};
  uint16_t char_offset_[kMaxSentenceLen + 1] = {};
};

}  // namespace new_seg

#endif  // ZORVSEG_DRIVER_INPUTSPANMAP_H_
