// Words the lexicon may lack, proposed by a character-level model: every
// character of a sentence is labelled by its position in a word (B begins,
// M continues, E ends a word of two or more characters, S stands alone) and
// each B...E run of multi-byte characters becomes a candidate word, with a
// cost that says how sure the model was.
//
// The model ("unk_model.dat" in the data directory) is loaded once per
// process, by the first sentence that asks for it, so that processes that
// never switch the stage on never read it. Each finder (one per handle)
// opens its own tagger on it.
#ifndef ZORVSEG_LATTICE_UNKNOWNWORDFINDER_H_
#define ZORVSEG_LATTICE_UNKNOWNWORDFINDER_H_

#include <cstddef>
#include <cstdint>
#include <memory>

namespace new_seg {

namespace CRFPP {
class TaggerImpl;
}  // namespace CRFPP

class UnknownWordFinder {
 public:
  struct Span {
    size_t begin;  // byte offset in the sentence
    size_t len;    // bytes
    // -log2 of the model's confidence in the word: the product over its
    // characters of the share their labels take of the label scores there.
    float cost;
  };
  static constexpr size_t kMaxSpans = 512;
  // Longer runs are not proposed: the corpus has next to no words this long
  // outside the lexicon, and a long run is more often a labelling slip.
  static constexpr size_t kMaxWordChars = 8;

  // Remembers where the model is; reads nothing. Always true: a missing
  // model is an error only for sentences that need it.
  static bool SetModelPath(const char* path);
  // Drops the model and the path; taggers opened on it reopen or fail on
  // their next use.
  static void UnInit();

  UnknownWordFinder();
  ~UnknownWordFinder();
  UnknownWordFinder(const UnknownWordFinder&) = delete;
  UnknownWordFinder& operator=(const UnknownWordFinder&) = delete;

  // What the lexicon offers at a character, as bits: a lexicon word longer
  // than a character starts there, ends there, covers it (starts earlier).
  // Models with a third column read them (as the letter 'a' + bits).
  static constexpr unsigned char kWordStarts = 1;
  static constexpr unsigned char kWordEnds = 2;
  static constexpr unsigned char kWordCovers = 4;

  // Labels the sentence [sentence, sentence + len) and collects the
  // multi-character words; false (no spans) when the model cannot be
  // loaded or the tagger refuses the sentence. `lexicon`, when given, holds
  // the lexicon bits of each character at its first byte's offset.
  bool Find(const char* sentence, size_t len, const unsigned char* lexicon = nullptr) {
    Clear();
    return Label(sentence, 0, len, lexicon);
  }
  // Forgets the spans found.
  void Clear() { span_count_ = 0; }
  // Labels the stretch [begin, end) of the sentence as a sequence of its
  // own and adds its words (offsets in the sentence) to the spans found.
  bool Label(const char* sentence, size_t begin, size_t end,
             const unsigned char* lexicon = nullptr);
  const Span* spans() const { return spans_; }
  size_t span_count() const { return span_count_; }

  // The class column of a character of `len` bytes (1, 2 or 4) in
  // GB18030: 'D' digit, 'L' Latin letter, 'P' punctuation or symbol
  // (ASCII ones and the two-byte symbol rows), 'N' Chinese numeral,
  // 'C' any other character. The training columns use the same rule.
  static char CharClass(const unsigned char* c, size_t len);

 private:
  bool Ready();
  bool AddToken(const char* token, size_t len, unsigned char lexicon);
  float LabelCost(size_t token) const;
  void CollectSpans();

  std::unique_ptr<CRFPP::TaggerImpl> tagger_;
  uint64_t tagger_generation_ = 0;
  static constexpr size_t kMaxTokens = 1024;
  // Byte offset of each token, and one past the last.
  uint32_t offsets_[kMaxTokens + 1] = {};
  // Per token: its text (up to 4 bytes), its class and its lexicon letter,
  // each zero-ended.
  static constexpr size_t kColumnTextPerToken = 12;
  char column_text_[kMaxTokens * kColumnTextPerToken] = {};
  size_t token_count_ = 0;
  Span spans_[kMaxSpans] = {};
  size_t span_count_ = 0;
  // Label ids of B, M and E in the model, or -1 (every other label stands
  // for a single-character word).
  int label_b_ = -1, label_m_ = -1, label_e_ = -1;
};

}  // namespace new_seg

#endif  // ZORVSEG_LATTICE_UNKNOWNWORDFINDER_H_
