// Turns the best path of each sentence into the result arrays the public
// API hands out: basic words, phrases, mix words and additional tokens.
#ifndef ZORVSEG_DRIVER_OMNISEGRESSAVER_H_
#define ZORVSEG_DRIVER_OMNISEGRESSAVER_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "driver/TermBuffer.h"
#include "text/EncodeConverter.h"
#include "zorvseg_types.h"

namespace new_seg {

struct AdditionalRuleAttribute;
class InputSpanMap;
class OmniSegNet;
class OmniSegNode;
struct OmniPhraseItem;
class SegMode;
class SentenceNormalizer;

class OmniSegResSaver {
 public:
  // span_map gives every saved word its place in the caller's text.
  OmniSegResSaver(OmniSegNet* seg_net, SegMode* seg_mode, SentenceNormalizer* normalizer,
                  const InputSpanMap* span_map);
  ~OmniSegResSaver();
  OmniSegResSaver(const OmniSegResSaver&) = delete;
  OmniSegResSaver& operator=(const OmniSegResSaver&) = delete;

  // Appends the current sentence's results; charset as given to LxSegment.
  bool Save(int charset);
  void Clear();
  seg_tokens_t* GetAllRes();

  const token_t* GetBasicTokenAt(size_t index) const;
  pWP GetWordPosAt(size_t index) const;
  const comb_token_t* GetPhraseTokenAt(size_t index) const;
  const additional_token_t* GetAdditionalTokenAt(size_t index) const;
  const token_t* GetMixTokenAt(size_t index) const;
  const token_span_t* GetBasicSpanAt(size_t index) const;
  const token_span_t* GetPhraseSpanAt(size_t index) const;
  const token_span_t* GetMixSpanAt(size_t index) const;
  size_t basic_tokens_size() const { return basic_tokens_size_; }
  size_t phrase_tokens_size() const { return phrase_tokens_size_; }
  size_t additional_tokens_size() const { return additional_tokens_size_; }
  size_t mix_tokens_size() const { return mix_tokens_size_; }

  // Longest UTF-8 form of one word: a sentence is at most 1024 GB18030
  // bytes, and no character grows by more than half when re-encoded.
  static constexpr size_t kUtf8WordCapacity = 2048;

 private:
  // Recognised names the mode keeps whole become single path words.
  bool MergeName();
  // Tags the path words inside each recognised person name "nr": the tagger
  // leaves person tags to entity recognition, which has the better view.
  void TagPersonNameWords();
  const OmniPhraseItem* WholeNamePhrase(size_t node_pos) const;
  bool IsPathNode(size_t pos) const;
  bool MergeCustomRule();
  bool MergeCustomWord();
  // first_word_idx: index of the sentence's first basic word.
  bool AttachAdditionalToken(size_t first_word_idx);

  // The longest custom rule at path boundary begin that is at least as long
  // as the path word there and ends on the path, applied: its length, 0
  // when none applies, -1 when the lattice cannot take its tokens.
  int ApplyCustomRule(const char* text, size_t text_len, size_t begin, size_t word_len);
  bool CanCutAt(size_t begin, const uint8_t* cuts, size_t rule_len) const;
  int ApplyCustomWord(const char* text, size_t text_len, size_t begin, size_t word_len);
  // Emits the groups of the rule at begin that differ from the path's
  // words_len words there.
  bool EmitAdditionalGroups(const AdditionalRuleAttribute& rule, size_t begin,
                            size_t words_len);
  bool GroupEqualsPath(const std::vector<std::string>& group, size_t begin) const;
  // Number of path words from begin to end; 0 when end is not on the path.
  size_t PathWordsBetween(size_t begin, size_t end) const;

  bool SavePhrase(size_t node_pos);
  bool SaveBasic(size_t node_pos);
  bool SaveMixWord(size_t basic_idx);
  bool SaveMixPhrase(size_t node_pos, size_t& len);
  bool SaveMixTerm(size_t basic_idx);
  const OmniPhraseItem* GetMaxLenPhrase(size_t node_pos) const;
  bool IsAmbiguousPhrase(size_t node_pos, size_t phrase_len) const;

  // Copies the output text of [begin, begin + len) into the term buffer,
  // converted to UTF-8 when the call asked for it.
  const char* SaveText(size_t begin, size_t len, size_t& saved_len);
  // The same for GB18030 text from elsewhere.
  const char* StoreText(const char* text, size_t len, size_t& saved_len);

  // Each hands out the next token, with room for its span at the same
  // index of the span array, or null.
  token_t* GetBasicToken();
  comb_token_t* GetPhraseToken();
  token_t* GetMixToken();
  additional_token_t* GetAdditionalToken();

  OmniSegNet* seg_net_;
  SegMode* seg_mode_;
  SentenceNormalizer* normalizer_;
  const InputSpanMap* span_map_;
  TermBuffer term_buffer_;
  int charset_ = 0;

  seg_tokens_t seg_tokens_{};
  token_t* basic_tokens_ = nullptr;
  WP* word_poses_ = nullptr;
  token_span_t* basic_spans_ = nullptr;
  size_t basic_tokens_size_ = 0;
  size_t basic_tokens_capacity_ = 0;
  comb_token_t* phrase_tokens_ = nullptr;
  token_span_t* phrase_spans_ = nullptr;
  size_t phrase_tokens_size_ = 0;
  size_t phrase_tokens_capacity_ = 0;
  token_t* mix_tokens_ = nullptr;
  token_span_t* mix_spans_ = nullptr;
  size_t mix_tokens_size_ = 0;
  size_t mix_tokens_capacity_ = 0;
  additional_token_t* additional_tokens_ = nullptr;
  size_t additional_tokens_size_ = 0;
  size_t additional_tokens_capacity_ = 0;
  size_t term_idx_ = 0;

  // Identifiers of every prefix search made here; matches beyond this many
  // at one position are not considered.
  static constexpr size_t kMaxPrefixResults = 1024;
  int result_[kMaxPrefixResults];

  EncodeConverter encode_converter_;
  char gbk_to_utf_buffer_[kUtf8WordCapacity];
};

}  // namespace new_seg

#endif  // ZORVSEG_DRIVER_OMNISEGRESSAVER_H_
