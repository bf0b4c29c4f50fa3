// Cuts the text of one call into sentences short enough for the lattice,
// preferring to cut right after punctuation or white space.
#ifndef ZORVSEG_TEXT_SENTENCESPLITER_H_
#define ZORVSEG_TEXT_SENTENCESPLITER_H_

#include <cstddef>
#include <cstdint>
#include <memory>

namespace new_seg {

class SentenceSpliter {
 public:
  explicit SentenceSpliter(size_t max_could_seg_len);

  bool Init();
  void Clear();
  void SetText(const char* text, size_t len);
  // The next sentence and its length, or null when the text is used up.
  const char* GetNextSentence(size_t& sentence_len);

  // How far back from the window end a cut is looked for.
  static constexpr size_t kLookBack = 128;

 private:
  size_t FindCut(size_t cur) const;
  bool IsPunctuationAt(size_t pos, size_t char_len) const;

  const char* text_ = nullptr;
  size_t text_len_ = 0;
  size_t next_sentence_begin_pos_ = 0;
  size_t max_could_seg_len_;
  bool inited_ = false;
  std::unique_ptr<uint8_t[]> is_punction_chars_;
};

}  // namespace new_seg

#endif  // ZORVSEG_TEXT_SENTENCESPLITER_H_
