#include "text/SentenceSpliter.h"

#include <algorithm>
#include <new>

#include "text/Gb18030.h"

namespace new_seg {

namespace {
const uint16_t kSentenceEndCodes[] = {
    0x09, 0x0A, 0x0D, 0x20, '!', ',', ';', '?',
    0xA1A1,  // ideographic space
    0xA3A1,  // 。
    0xADA1,  // …
    0xA1A3,  // ！
    0xACA3,  // ，
    0xBAA3,  // ：
    0xBBA3,  // ；
    0xBFA3,  // ？
};
}  // namespace

SentenceSpliter::SentenceSpliter(size_t max_could_seg_len)
    : max_could_seg_len_(max_could_seg_len) {}

bool SentenceSpliter::Init() {
  if (inited_) return true;
  is_punction_chars_.reset(new (std::nothrow) uint8_t[65536]());
  if (!is_punction_chars_) return false;
  for (uint16_t code : kSentenceEndCodes) is_punction_chars_[code] = 1;
  inited_ = true;
  return true;
}

void SentenceSpliter::Clear() {
  text_ = nullptr;
  text_len_ = 0;
  next_sentence_begin_pos_ = 0;
}

void SentenceSpliter::SetText(const char* text, size_t len) {
  text_ = text;
  text_len_ = text == nullptr ? 0 : len;
  next_sentence_begin_pos_ = 0;
}

bool SentenceSpliter::IsPunctuationAt(size_t pos, size_t char_len) const {
  return char_len <= 2 && is_punction_chars_[GbCharCode(text_, pos, char_len)] != 0;
}

// The cut for a sentence starting at cur when the rest of the text is longer
// than the lattice takes: right after the first sentence-ending character in
// the last kLookBack bytes of the window, else at the first character
// boundary at or after the window end. Characters are never cut in two.
size_t SentenceSpliter::FindCut(size_t cur) const {
  const unsigned char* t = reinterpret_cast<const unsigned char*>(text_);
  size_t end = cur + max_could_seg_len_;
  if (t[end - 1] >= 0x80) --end;
  size_t from = end - std::min(max_could_seg_len_, kLookBack);

  // Walk from the sentence start so that four-byte characters, whose second
  // and fourth bytes look like ASCII digits, cannot throw the walk off.
  size_t pos = cur;
  while (pos < from) pos += GbCharLen(text_, pos, text_len_);
  while (pos < end) {
    size_t char_len = GbCharLen(text_, pos, text_len_);
    bool stop_after = IsPunctuationAt(pos, char_len);
    pos += char_len;
    if (stop_after) return pos;
  }
  return pos;
}

const char* SentenceSpliter::GetNextSentence(size_t& sentence_len) {
  if (!inited_ || text_ == nullptr || next_sentence_begin_pos_ >= text_len_) {
    return nullptr;
  }
  size_t cur = next_sentence_begin_pos_;
  size_t stop = text_len_ - cur <= max_could_seg_len_ ? text_len_ : FindCut(cur);
  sentence_len = stop - cur;
  next_sentence_begin_pos_ = stop;
  return text_ + cur;
}

}  // namespace new_seg
