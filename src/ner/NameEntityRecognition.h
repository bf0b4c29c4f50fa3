// Person, place, organisation and date recognition over one searched
// sentence lattice. Three recognisers run independently: a longest-match
// scan of the entity dictionary, a CRF labeller over the sentence's pieces
// and the fixed annotations of the NER rules (which override the other
// two where they match). The dictionary and CRF candidates are then merged
// left to right into phrases, person names optionally reshaped, and date
// expressions added. The only output is the lattice: phrases, forced word
// boundaries and rewritten path words.
//
// One recogniser per handle; the entity model is process-wide (Init).
#ifndef ZORVSEG_NER_NAMEENTITYRECOGNITION_H_
#define ZORVSEG_NER_NAMEENTITYRECOGNITION_H_

#include <cstddef>
#include <cstdint>

#include "driver/SegMode.h"
#include "ner/CrfWrapper.h"
#include "ner/NameEntityOtherType.h"
#include "ner/NameEntityResult.h"
#include "ner/PersonNameAdjustor.h"

namespace new_seg {

class OmniSegNet;

class NameEntityRecognition {
 public:
  // Loads the entity model; true when loaded or already loaded.
  static bool Init(const char* path);
  // Releases the model; safe when nothing is loaded. Always true.
  static bool UnInit();

  NameEntityRecognition();
  NameEntityRecognition(const NameEntityRecognition&) = delete;
  NameEntityRecognition& operator=(const NameEntityRecognition&) = delete;

  void Clear();
  // Adds the entities of the normalised sentence (GBK, len bytes) to its
  // searched lattice. False for null arguments, or when the lattice cannot
  // take a word or a date phrase for lack of memory.
  bool NameEntityRecognite(const char* sentence, std::size_t len, SegMode seg_mode,
                           OmniSegNet* seg_net);

  // The pieces of the last sentence, as [begin, end) byte offsets.
  std::size_t piece_count() const { return piece_count_; }
  std::size_t piece_begin(std::size_t i) const { return m_sentence_pos_begin_[i]; }
  std::size_t piece_end(std::size_t i) const { return m_sentence_pos_end_[i]; }

  // The candidates of the last sentence, for inspection.
  std::size_t dict_ne_number() const { return dict_ne_number_; }
  const _name_entity_result* dict_ne() const { return dict_ne_; }
  std::size_t crf_ne_number() const { return crf_ne_number_; }
  const _name_entity_result* crf_ne() const { return crf_ne_; }
  std::size_t rule_ne_number() const { return rule_ne_number_; }
  const _name_entity_result* rule_ne() const { return rule_ne_; }

  // Byte length (1 or 2) of the piece-ending punctuation character at
  // text, or -1.
  static int IsPunc(const char* text, std::size_t len);

  // What the CRF sees, shared with the trainer so that training and
  // recognition cut and describe text alike:
  // the pieces of a sentence as [begin, end) offsets, at most `capacity`
  // (the last may be empty); their count, at least 1.
  static std::size_t SplitPieces(const char* sentence, std::size_t len, uint32_t* begins,
                                 uint32_t* ends, std::size_t capacity);
  // Byte length of the token at pos: a character, or a number (digits with
  // a '.' kept only between two digits) of at most 1024 bytes.
  static std::size_t CrfTokenLen(const char* text, std::size_t pos, std::size_t end);
  // The name-character code of a token: its dictionary entry's, when the
  // entry is a name character; else 0.
  static uint32_t NameCharacterCode(const char* token, std::size_t len);
  // The feature line of the token [pos, pos + len): the token, its name-
  // character code, its byte offset and the answer column. snprintf's result.
  static int FeatureLine(const char* sentence, std::size_t pos, std::size_t len,
                         const char* answer, char* line, std::size_t capacity);

 private:
  void ner_by_dict(const char* sentence, std::size_t len, OmniSegNet* seg_net, uint32_t mask);
  // Records the longest of the `count` entries found at pos (in
  // trie_result_) that may be an entity there; its length, or 0. With
  // split_words only persons that begin a longer path word whose rest is a
  // lexicon word are taken, and that path word is split after them.
  std::size_t TakeDictEntry(const char* sentence, std::size_t pos, std::size_t count,
                            OmniSegNet* seg_net, uint32_t mask, bool split_words);
  // Whether one path word begins at start and runs beyond start + len, and
  // its rest after start + len is a lexicon word of two or more characters.
  static bool BeginsWordBeforeWord(const OmniSegNet* seg_net, const char* sentence,
                                   std::size_t start, std::size_t len);
  // Cuts the sentence into pieces at piece-ending punctuation; returns the
  // piece count (at least 1).
  std::size_t SplitSentence(const char* sentence, std::size_t len);
  // Labels one piece [begin, end) of the sentence with the CRF; false when
  // the tagger refuses a line or the parse (the piece gives no result).
  bool ner_by_crf(const char* sentence, std::size_t begin, std::size_t end, OmniSegNet* seg_net,
                  uint32_t mask);
  // The piece's tokens as feature lines for the tagger; false when one is
  // refused.
  bool AddCrfTokens(const char* sentence, std::size_t begin, std::size_t end);
  void ner_by_rule(const char* sentence, std::size_t len, OmniSegNet* seg_net, uint32_t mask);
  void ner_disamb(const char* sentence, OmniSegNet* seg_net);
  // Whether [start, start + len) may become an entity of kind bits `kind`:
  // both ends on the best path and open to phrases, no phrase cut.
  bool IsValidEntity(const OmniSegNet* seg_net, uint32_t mask, std::size_t start, uint32_t kind,
                     std::size_t len, bool from_crf) const;
  static int select_result(const _name_entity_result& dict, const _name_entity_result& crf);
  bool AddDates(const char* sentence, std::size_t len, OmniSegNet* seg_net);

  // Rule pass helpers.
  void RejectOverlapping(std::size_t begin, std::size_t end, _name_entity_result* results,
                         std::size_t count, std::size_t* cursor);
  bool OverlapsRuleResults(std::size_t begin, std::size_t end, std::size_t first) const;
  void AddRulePhrases(OmniSegNet* seg_net);

  // Merge helpers: the phrase of a dictionary result (person, then
  // organisation, then place, whichever its bits allow and the lattice
  // takes); false when none applies or none was added.
  static bool HasPhraseKind(uint32_t mold);
  bool AddDictPhrase(const _name_entity_result& result, OmniSegNet* seg_net);
  bool AddCrfPhrase(const _name_entity_result& result, OmniSegNet* seg_net);
  void Select(const _name_entity_result& result);
  bool ConflictsWithLast(const _name_entity_result& result) const;
  void LogResult(const char* source, std::size_t index, const _name_entity_result& result,
                 const char* sentence) const;

  std::size_t dict_ne_number_ = 0;
  _name_entity_result dict_ne_[kNeCapacity];
  std::size_t crf_ne_number_ = 0;
  _name_entity_result crf_ne_[kNeCapacity];
  std::size_t rule_ne_number_ = 0;
  _name_entity_result rule_ne_[kNeCapacity];
  int trie_result_[kNeCapacity];
  int64_t rule_values_[kNeCapacity];
  // Pieces as byte offsets of the sentence: [begin, end).
  std::size_t piece_count_ = 0;
  uint32_t m_sentence_pos_begin_[kNeCapacity];
  uint32_t m_sentence_pos_end_[kNeCapacity];
  uint32_t m_mode_type_ = 0;
  // Where each token of the current piece starts, and where the last ends.
  uint32_t token_offsets_[kNeCapacity + 1];
  std::size_t token_count_ = 0;
  // One feature line: a token of at most 1024 bytes and three short columns.
  char feature_line_[kNeCapacity + 64];

  // The merge's last added result.
  bool has_last_ = false;
  std::size_t last_end_ = 0;

  CrfWrapper m_crf_wrapper_;
  PersonNameAdjustor name_adjustor_;
  NameEntityOtherType m_ner_othertype_;

  static bool inited_;
};

}  // namespace new_seg

#endif  // ZORVSEG_NER_NAMEENTITYRECOGNITION_H_
