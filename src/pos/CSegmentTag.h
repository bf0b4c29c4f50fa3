// Part-of-speech tagging of the best path: a first-order hidden Markov model
// over the words of one sentence, decoded with the Viterbi algorithm.
//
// The model (tag_info.dat) is process-wide and read-only after Init; each
// handle owns one CSegmentTag with fixed-size work arrays, so tagging never
// allocates. Weights are log-probabilities: a path's score is the sum of its
// transition and emission weights, and the highest score wins.
#ifndef ZORVSEG_POS_CSEGMENTTAG_H_
#define ZORVSEG_POS_CSEGMENTTAG_H_

#include <cstddef>
#include <cstdint>

#include "pos/TagContext.h"
#include "pos/TagModel.h"
#include "pos/TransitionBlock.h"

namespace new_seg {

class OmniSegNet;
class SentenceNormalizer;

class CSegmentTag {
 public:
  static constexpr size_t PBUFSIZE = TagModel::PBUFSIZE;
  static constexpr size_t RBUFSIZE = TagModel::RBUFSIZE;
  static constexpr size_t MAX_POS_ROLE_TYPE = TagModel::MAX_POS_ROLE_TYPE;
  static constexpr size_t MAX_WORD_LEN = 1025;  // most words tagged per sentence

  // Tag ids of the LxPosId2Str table the tagger names.
  static constexpr uint8_t kTagNumber = 15;       // "m"
  static constexpr uint8_t kTagNoun = 16;         // "n"
  static constexpr uint8_t kTagPerson = 17;       // "nr"
  static constexpr uint8_t kTagLetters = 23;      // "nx"
  static constexpr uint8_t kTagPunctuation = 34;  // "w"
  static constexpr uint8_t kTagSentenceStart = 49;

  // A word of two or more characters that the dictionary does not hold
  // ("红嫂" given as a word) is tagged like the rare words ending in the
  // same character: the model lists their tags under the dictionary entry
  // made of this marker and that character ("S嫂"). Segmentation text is
  // always lower case, so such entries never match text.
  static constexpr char kLastCharacterMarker = 'S';

  CSegmentTag() = default;
  virtual ~CSegmentTag() = default;
  CSegmentTag(const CSegmentTag&) = delete;
  CSegmentTag& operator=(const CSegmentTag&) = delete;

  // Loads tag_info.dat; true when loaded or already loaded. False with a
  // message naming the file when it is missing or damaged.
  static bool Init(const char* tag_dict_file);
  static bool UnInit();
  static bool IsLoaded() { return mProbDict != nullptr; }
  // Loads the word-context weights (tag_context.dat); true when loaded,
  // already loaded, or when there is no such file: the tagger then goes by
  // tag_info.dat alone. False with a message for a damaged file.
  static bool InitContext(const char* tag_context_file);
  static void UnInitContext();

  // Writes a tag into every path word's optimal item; with use_ne a person
  // tag ("nr") becomes "n", names being left to entity recognition. Without
  // a loaded model the words stay untagged. Always true.
  bool pos_tag(OmniSegNet* seg_net, SentenceNormalizer* sentence_normalizer, bool use_ne);

  // Name of tag `pos` ("n" outside 1..48) and of role `role` (false outside
  // 1..51); str needs room for 6 bytes.
  static bool _get_pos_char(int pos, char* str);
  static bool _get_role_char(int role, char* str);

  // A word's candidate tags with their emission weights.
  struct CandidateList {
    const uint8_t* tags;
    const float* weights;
    size_t count;
  };
  // The candidates of a dictionary word: its own list, or the default list
  // ("d", "n", "u", "v") for a word the model does not know. WordCandidates
  // reads the per-id entries, RecordCandidates the record index the
  // entries are made from.
  static CandidateList WordCandidates(uint32_t id);
  static CandidateList RecordCandidates(uint32_t id);

 private:

  void _get_ids_from_seg_net(OmniSegNet* seg_net, SentenceNormalizer* sentence_normalizer);
  // The id of the last-character entry of an unknown word, or 0.
  static uint32_t LastCharacterClass(const char* word, size_t len);
  void do_pos_tag(bool use_ne);
  void get_pos_tag_result(OmniSegNet* seg_net);
  // The candidates of word `word`: fixed by its kind, its own list, or the
  // default list for a word the model does not know.
  CandidateList _get_candidates(size_t word) const;
  // `candidates` of word `word` with the weights its neighbours add (in
  // m_context_weights), or `candidates` when they add none.
  CandidateList WithContext(size_t word, const CandidateList& candidates);
  // Starts fetching the weights word `word` gives its neighbours.
  void PrefetchContext(size_t word) const;
  // Candidate `CurPosID` of word `CurID`, from the lists do_pos_tag chose.
  uint8_t _get_pos(size_t CurID, size_t CurPosID) const;

  // A word's candidate tags and weights in one 16-byte entry, four to a
  // cache line, instead of an index, a record and two list arrays: the
  // tagger reads one entry per word. Lists longer than kInlineTags stay in
  // the model and the entry holds where they start.
  static constexpr size_t kInlineTags = 3;
  struct WordTags {
    uint8_t count;  // 0: no list of its own
    uint8_t tags[kInlineTags];
    union {
      float weights[kInlineTags];  // count <= kInlineTags
      uint32_t start;              // longer lists: index into the model's lists
    };
  };
  // Ids beyond this many have no entry and go through the record index.
  static constexpr uint32_t kWordTagsIds = 1u << 22;
  static bool BuildWordTags();
  static const WordTags* WordTagsOf(uint32_t id) {
    return id < m_word_tags_size ? &m_word_tags[id] : nullptr;
  }

  static TagModel* mProbDict;
  static TagContext* m_context;  // null without word-context weights
  static int32_t* m_pIDtoIndex;  // mMaxID + 1 entries, -1 for an id without a record
  static uint32_t mMaxID;
  static WordTags* m_word_tags;  // by id, for ids below m_word_tags_size
  static uint32_t m_word_tags_size;

  uint32_t m_SegResult[MAX_WORD_LEN] = {};  // word identifiers of the sentence
  uint32_t m_SegType[MAX_WORD_LEN] = {};    // word kinds of the sentence
  size_t mSegResultLen = 0;
  float m_pre_weight_buf[MAX_POS_ROLE_TYPE] = {};
  float m_cur_weight_buf[MAX_POS_ROLE_TYPE] = {};
  float m_context_weights[MAX_POS_ROLE_TYPE] = {};
  float m_tag_bonus[PBUFSIZE] = {};  // by tag; all 0 between two WithContext calls
  // Back-pointers: for word i and candidate k, the best candidate index of
  // word i - 1 (indices stay below 53, so a byte holds them).
  uint8_t m_pre_role_id[MAX_WORD_LEN + 1][MAX_POS_ROLE_TYPE] = {};
  uint8_t m_pos_tag_result[MAX_WORD_LEN] = {};
  CandidateList m_candidates[MAX_WORD_LEN] = {};  // each word's list, kept for backtracking
  TransitionBlock transition_block_;  // the steps between long lists
};

}  // namespace new_seg

#endif  // ZORVSEG_POS_CSEGMENTTAG_H_
