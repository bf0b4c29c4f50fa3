// Segments the runs of single-byte characters inside a sentence: Latin
// words, pinyin, numbers, decimals, dotted numbers, URLs, e-mail addresses
// and punctuation. Competing candidates from fixed matchers are resolved
// by matcher priority; the survivors become lattice terms, and whole URLs,
// e-mail addresses and dotted numbers also become phrases over their
// pieces.
#ifndef ZORVSEG_ASCII_ASCIISEGMENTOR_H_
#define ZORVSEG_ASCII_ASCIISEGMENTOR_H_

#include <regex.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "ascii/AsciiDAGSegmentor.h"

namespace new_seg {

class OmniSegNet;
class SegMode;
class SentenceNormalizer;

class AsciiSegmentor {
 public:
  enum FragType : uint64_t {
    TYPE_SPLIT = 0,  // a piece of a URL, e-mail or dotted number
    TYPE_RULE = 1,
    TYPE_URL = 2,
    TYPE_EMAIL = 3,
    TYPE_IP = 4,  // dotted number
    TYPE_FLOAT = 5,
    TYPE_SEG = 6,
    TYPE_QUOTE = 7,
    TYPE_NUM = 8,
    TYPE_DICT = 9,
    TYPE_JOIN = 10,  // what no matcher claimed
  };

  // A candidate piece of the run, [begin, end) in bytes from the run start.
  struct Fragment {
    uint64_t begin;
    uint64_t end;
    uint64_t idx;  // core-dictionary id for dictionary words, else 0
    uint64_t type;
  };

  static const char* const pattern_url_;
  static const char* const pattern_email_;
  static const char* const pattern_ip_;
  static const char* const pattern_float_;
  // Matched by byte scans (match_class) rather than compiled.
  static const char* const pattern_seg_;
  static const char* const pattern_quote_;
  static const char* const pattern_num_;

  explicit AsciiSegmentor(SegMode* seg_mode);
  ~AsciiSegmentor();
  AsciiSegmentor(const AsciiSegmentor&) = delete;
  AsciiSegmentor& operator=(const AsciiSegmentor&) = delete;

  // Each adds the edges of the run [ascii_begin_pos, ascii_begin_pos +
  // ascii_len) of the sentence s (len bytes) to seg_net. 0 on success; -1
  // when the run could not be cut soundly or the lattice ran out of room.
  // Called once per sentence before its runs: the sentence is kept for the
  // failure report once, however many runs it has.
  void BeginSentence() { last_cached_ = nullptr; }
  int segment(const char* s, size_t len, size_t ascii_begin_pos, size_t ascii_len,
              OmniSegNet* seg_net);
  int segment_in_simple(const char* s, size_t len, size_t ascii_begin_pos, size_t ascii_len,
                        OmniSegNet* seg_net);
  int segment_in_whole(const char* s, size_t len, size_t ascii_begin_pos, size_t ascii_len,
                       OmniSegNet* seg_net);

  // The normaliser of the sentences segmented (none: no byte counts as
  // converted from full width).
  void set_normalizer(const SentenceNormalizer* normalizer) { normalizer_ = normalizer; }

  // The fragments the last call recorded.
  const std::vector<Fragment>& fragments() const { return fragments_; }
  // Writes "[piece] " per fragment and a line end.
  static void PrintResult(const std::vector<Fragment>& fragments, const char* text,
                          FILE* out = stdout);

 private:
  enum PatternId { kUrl, kEmail, kIp, kFloat, kPatternCount };

  const char* run() const { return str_ + ascii_begin_pos_; }
  void StoreCall(const char* s, size_t len, size_t ascii_begin_pos, size_t ascii_len);
  void CacheSentence(const char* s, size_t len);
  int Fail(int location);

  // Matchers: each offers its matches, in order, to valid_fragments.
  void match_rule();
  void match_regex(PatternId pattern, FragType type);
  bool CanMatch(PatternId pattern) const;
  // The leftmost-longest URL match at or after position, found by trying
  // the anchored expression only where a URL can start.
  bool FindUrl(size_t position, size_t* begin, size_t* end);
  // The one-character-class patterns (punctuation, quotes, digits), matched
  // by a byte scan that finds exactly what the expression finds.
  void match_class(bool (*in_class)(unsigned char), bool one_byte, FragType type);
  void match_dict();
  void match_dag();

  void valid_fragments(const Fragment& fragment);
  void SetOwner(const Fragment& fragment, int32_t owner);
  void CollectAccepted();
  void SortFragment();
  void fill_gaps();
  void adjust_fragments();
  bool IsText(const Fragment& fragment, const char* text) const;

  int add_fragments(OmniSegNet* seg_net);
  // Where the URL and e-mail phrases really end and begin (the patterns
  // stop short of them).
  uint64_t UrlPhraseEnd(size_t url_index) const;
  uint64_t EmailPhraseBegin(size_t email_index) const;
  uint64_t EmailPhraseEnd(size_t email_index) const;
  // The phrase from fragments_[index] stretched towards reach by whole
  // fragments.
  uint64_t FragmentEndWithin(size_t index, uint64_t reach) const;
  int add_term(OmniSegNet* seg_net, uint64_t begin, uint64_t end, int type, int location);
  int add_term_in_url(OmniSegNet* seg_net, const Fragment& fragment);
  int add_term_in_email(OmniSegNet* seg_net, const Fragment& fragment);
  int add_split_terms(OmniSegNet* seg_net, uint64_t begin, uint64_t end, int text_type);

  // Sentence punctuation that the normaliser made half-width (at an offset
  // of the run), other than between digits: it ends an ASCII word like the
  // full-width mark it was.
  bool IsHalvedPunctuation(size_t offset) const;

  SegMode* seg_mode_;
  const SentenceNormalizer* normalizer_ = nullptr;
  // The last sentences handed to segment, oldest first from cache_head_,
  // printed when a call fails. The strings keep their capacity.
  static const size_t kCacheSize = 15;
  std::array<std::string, kCacheSize> str_cache_;
  static const size_t kMaxCachedSentence = 1024;
  size_t cache_head_ = 0;
  size_t cache_count_ = 0;
  const char* last_cached_ = nullptr;
  bool exception_ = false;
  const char* str_ = nullptr;
  size_t str_len_ = 0;
  size_t ascii_begin_pos_ = 0;
  size_t ascii_len_ = 0;
  int result_[1024];
  std::vector<Fragment> fragments_;
  // While the matchers run: every fragment ever accepted, in acceptance
  // order, whether it is still accepted, and for each byte of the run the
  // accepted fragment over it (-1 for none). Accepted fragments never
  // overlap, so a new one is judged by the few fragments over its own
  // bytes instead of by a scan of all of them.
  std::vector<Fragment> accepted_;
  std::vector<uint8_t> alive_;
  std::vector<int32_t> owner_;
  std::vector<int32_t> inside_;
  regex_t patterns_[kPatternCount];
  bool compiled_[kPatternCount];
  regex_t anchored_url_;
  bool anchored_url_compiled_;
  regmatch_t re_matched_[1];
  AsciiDAGSegmentor dag_segmentor_;
  std::vector<AsciiDAGSegmentor::Part> parts_eng_;
  std::vector<AsciiDAGSegmentor::Part> parts_py_;
};

}  // namespace new_seg

#endif  // ZORVSEG_ASCII_ASCIISEGMENTOR_H_
