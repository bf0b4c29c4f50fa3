// Estimates the part-of-speech model from a tagged corpus: for every word
// its tags with ln P(word | tag), most frequent first, and ln P(tag |
// previous tag) with add-one smoothing. Corpus tags are mapped onto the
// tagger's 48 tags.
#ifndef ZORVSEG_TOOLS_COMMON_POSTRAINER_H_
#define ZORVSEG_TOOLS_COMMON_POSTRAINER_H_

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "common/TrainingCorpus.h"
#include "pos/TagContext.h"

namespace zorvseg_tools {

class LexiconTrainer;

struct PosStats {
  size_t tagged_tokens = 0;
  size_t untagged_tokens = 0;
  size_t guessed_words = 0;  // lexicon words tagged by their characters
  size_t given_words = 0;    // lexicon words tagged by their list
  std::map<std::string, size_t> mapped_tags;   // corpus typos and their counts
  std::map<std::string, size_t> unknown_tags;  // tags taken as "n"
  size_t wrong_in_last_pass = 0;  // tokens the refined model still tags wrong
};

class PosTrainer {
 public:
  // The tagger's name for a corpus tag; typos are mapped, anything else
  // unknown becomes "n". `known` tells whether the tag was a tagger tag.
  static std::string MapCorpusTag(const std::string& tag, bool* known, bool* mapped);

  // Words are normalised by the lexicon trainer, so they match its lexicon.
  void Count(const std::vector<CorpusSentence>& sentences, LexiconTrainer& lexicon);
  // The entries whose tags words without an entry take by their last
  // character ("S嫂"; see CSegmentTag), for the lexicon. Valid after Count.
  std::vector<std::string> LastCharacterKeys() const;
  bool has_tags() const { return stats_.tagged_tokens > 0; }
  // Words the lexicon holds without a tagged token (GB18030, normalised)
  // take the tag their list gave or get tags guessed from their first and
  // last characters and their length; the last-character entries get the
  // tags of the rare words ending in their character.
  void GuessTags(const std::vector<std::string>& words,
                 const std::map<std::string, std::string>& given_tags);
  // The weights of the model: the estimates above, refined by `passes`
  // passes of the averaged perceptron over the corpus (none: estimates
  // only). With `context` the perceptron also learns the word-context
  // weights (ContextRecords). Call before SourceText.
  void TrainWeights(size_t passes, double rate, bool context);
  // The word-context weights by dictionary id (the dictionary built from
  // the lexicon must be loaded); none without context training.
  std::vector<new_seg::TagContext::Record> ContextRecords() const;
  // The model source (GB18030 words) in the tag-model compiler's format.
  std::string SourceText() const;
  const PosStats& stats() const { return stats_; }

 private:
  using TagDistribution = std::map<std::string, double>;
  using WeightedTags = std::vector<std::pair<std::string, double>>;
  std::map<std::string, WeightedTags> EstimatedEmissions() const;
  std::map<std::pair<std::string, std::string>, double> EstimatedTransitions() const;
  std::vector<std::pair<std::string, double>> UnknownWordTags() const;
  static size_t TimesSeen(const std::map<std::string, size_t>& counts);
  static TagDistribution FeatureTags(const std::map<std::string, TagDistribution>& table,
                                     const std::string& feature, const TagDistribution& prior);
  TagDistribution RareWordTags() const;
  std::vector<std::pair<std::string, double>> GuessWeights(const TagDistribution& tags) const;
  void CountFeatureTags();

  std::map<std::string, std::map<std::string, size_t>> emissions_;  // word -> tag -> count
  std::map<std::string, size_t> tag_counts_;
  std::map<std::pair<std::string, std::string>, size_t> transitions_;
  // Tags of the rare corpus words by first and last character and length.
  std::map<std::string, TagDistribution> first_character_tags_;
  std::map<std::string, TagDistribution> last_character_tags_;
  std::map<std::string, TagDistribution> length_tags_;  // key: characters, "5" for 5+
  std::map<std::string, std::vector<std::pair<std::string, double>>> guessed_;
  // Tagged corpus sentences: word numbers (into numbered_words_) and tags.
  std::map<std::string, uint32_t> word_numbers_;
  std::vector<std::string> numbered_words_;
  std::vector<std::vector<std::pair<uint32_t, int>>> tagged_sentences_;
  std::map<std::string, WeightedTags> emission_weights_;
  std::map<std::pair<std::string, std::string>, double> transition_weights_;
  std::vector<std::tuple<int, uint32_t, int, double>> context_weights_;  // side, word, tag
  PosStats stats_;
};

}  // namespace zorvseg_tools

#endif  // ZORVSEG_TOOLS_COMMON_POSTRAINER_H_
