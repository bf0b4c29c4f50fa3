// Fills the lattice of a sentence with its candidate words and phrases:
// core-dictionary matches at every character, trusted as the dictionary
// cuts them where the span is unambiguous and all added where it is not,
// and the ASCII segmentor's edges for ASCII runs.
#ifndef ZORVSEG_LATTICE_OMNISEGNETBUILDER_H_
#define ZORVSEG_LATTICE_OMNISEGNETBUILDER_H_

#include <cstddef>
#include <cstdint>

#include "ascii/AsciiSegmentor.h"
#include "dict/CoreDict.h"
#include "lattice/NumberUnitMatcher.h"
#include "lattice/UnknownWordFinder.h"

namespace new_seg {

class OmniSegNet;
class SegMode;
struct CoreTermAttribute;

// The dictionary matches that start at one byte position.
struct OmniSegTableNode {
  size_t node_size;          // number of matches; 0 off character starts
  size_t node_items_offset;  // first id in the match buffer
};

class OmniSegNetBuilder {
 public:
  OmniSegNetBuilder(OmniSegNet* seg_net, SegMode* seg_mode);
  ~OmniSegNetBuilder();
  OmniSegNetBuilder(const OmniSegNetBuilder&) = delete;
  OmniSegNetBuilder& operator=(const OmniSegNetBuilder&) = delete;

  bool Init();
  void Clear();
  // The normaliser whose text Build is given (tells the ASCII segmentor
  // which punctuation was full-width).
  void set_normalizer(const SentenceNormalizer* normalizer) {
    ascii_segmentor_.set_normalizer(normalizer);
  }
  // 0 on success; -1 for a sentence longer than the lattice, an
  // uninitialised builder or a full buffer; -2 when the ASCII segmentor fails.
  int Build(const char* sentence, size_t len);

  // Byte length of the next character; sets attach when it is a four-byte
  // combining mark that belongs to the character before it.
  static size_t feedChar(const char* text, size_t remaining, bool& attach);
  // A character with every combining mark that directly follows it.
  static size_t get_next_length(const char* text, size_t remaining);

 private:
  int BuildOmniSegTable(const char* sentence, size_t len);
  int AddAsciiRun(const char* sentence, size_t len, size_t run_start, size_t run_end);
  // Where the scan goes on after the cluster at pos: past its base
  // character, or past the ASCII run that starts there (cluster 1).
  static size_t ScanPast(const char* sentence, size_t len, size_t pos, size_t cluster);
  // The dictionary matches of the cluster at pos into the match buffer:
  // from the look-ahead batch when it holds them, else searched now. The
  // number of matches, more than free_slots when they do not fit.
  size_t FindMatches(const char* sentence, size_t len, size_t pos, size_t free_slots);
  // Searches the next kLookAhead cluster positions from pos side by side.
  void LookAhead(const char* sentence, size_t len, size_t pos);
  int FindAsciiLedWords(const char* sentence, size_t len, size_t run_start, size_t run_end);
  int BuildFromOmniSegTable();
  bool ShouldAllSeg(size_t pos, int32_t& attribute_idx, size_t& length) const;
  bool IsAmbiguousTerm(size_t pos, const CoreTermAttribute& attribute) const;
  bool IsAmbiguousRule(size_t pos, const CoreTermAttribute& attribute) const;
  bool CrossesRightBoundary(size_t pos, size_t end) const;
  int AddToSegNet(size_t pos, int32_t attribute_idx);
  int AddAllToSegNet(size_t pos, size_t length);
  int _AddToSegNet(size_t pos, size_t length);
  int AddDictionaryPhrase(size_t pos, int32_t id, const CoreTermAttribute& attribute);
  // Adds one-character edges where a sentence would otherwise have no path
  // (a dictionary whose only entries at some character are phrases).
  // The unknown-word model's words that the lexicon lacks, as edges.
  int AddUnknownWords(const char* sentence, size_t len);
  // Marks what the lexicon offers at each character and labels the runs of
  // weak characters; false when the model cannot be loaded.
  bool LabelWeakRuns(const char* sentence, size_t len);
  unsigned char MarkCharacter(const unsigned char* s, size_t pos, size_t cluster,
                              size_t* covered_to);
  // Labels a run of `chars` weak characters [begin, end) when it is long
  // enough; false when the model cannot be loaded.
  bool LabelRun(const char* sentence, size_t begin, size_t end, size_t chars);
  size_t LongestMatch(size_t pos) const;
  void MarkWordEnds(size_t pos, size_t cluster);
  bool HasWeakCharacter(size_t begin, size_t len) const;
  int EnsureCompletePath(const char* sentence, size_t len);

  const int32_t* MatchesAt(size_t pos) const {
    return node_items_buffer_ + omni_seg_table_[pos].node_items_offset;
  }

  OmniSegNet* seg_net_;
  SegMode* seg_mode_;
  AsciiSegmentor ascii_segmentor_;
  NumberUnitMatcher number_matcher_;
  UnknownWordFinder unknown_word_finder_;
  size_t numbers_scanned_to_ = 0;  // numbers may run on across runs ("19·1%")
  // Dictionary searches of the clusters ahead, run as one batch.
  static constexpr size_t kLookAhead = 8;
  static constexpr size_t kBatchedMatches = 16;  // more: searched again alone
  CoreDict::PrefixQuery look_ahead_[kLookAhead] = {};
  int32_t look_ahead_matches_[kLookAhead * kBatchedMatches] = {};
  size_t look_ahead_size_ = 0;
  size_t look_ahead_next_ = 0;

  int32_t* node_items_buffer_ = nullptr;
  size_t node_items_buffer_size_ = 0;
  size_t node_items_buffer_capacity_ = 0;
  OmniSegTableNode* omni_seg_table_ = nullptr;
  size_t omni_seg_table_size_ = 0;
  size_t omni_seg_table_capacity_ = 0;
  bool* reachable_ = nullptr;
  // Per byte: what the lexicon offers at the character starting there
  // (UnknownWordFinder's lexicon bits), and whether it is weak (no lexicon
  // word longer than a character starts at it or covers it).
  unsigned char* lexicon_ = nullptr;
  // Bits of lexicon_ besides UnknownWordFinder's: the character is weak; a
  // lexicon word ends just before this byte.
  static constexpr unsigned char kWeak = 0x10;
  static constexpr unsigned char kWordEndsBefore = 0x20;
  bool inited_ = false;
};

}  // namespace new_seg

#endif  // ZORVSEG_LATTICE_OMNISEGNETBUILDER_H_
