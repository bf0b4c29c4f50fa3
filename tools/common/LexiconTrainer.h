// Turns a training corpus into the core dictionary and the n-gram model:
// words normalised exactly as the library normalises input, bracketed
// compounds as phrases with split positions, and word and word-pair costs
// estimated from the counts.
#ifndef ZORVSEG_TOOLS_COMMON_LEXICONTRAINER_H_
#define ZORVSEG_TOOLS_COMMON_LEXICONTRAINER_H_

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "common/NumberClassTrainer.h"
#include "common/OpenWordList.h"
#include "common/TrainingCorpus.h"
#include "common/VerbComplementFilter.h"

namespace zorvseg_tools {

struct LexiconStats {
  size_t tokens = 0;
  size_t words = 0;             // distinct words in the lexicon
  size_t phrases = 0;           // compounds entered as phrases
  size_t compounds_as_words = 0;  // compounds that are more often plain words
  size_t long_compounds = 0;    // compounds too long for one-byte split positions
  size_t four_byte_words = 0;   // words holding characters outside GBK
  size_t mostly_split = 0;      // words the corpus more often writes as several
  size_t single_ascii = 0;      // lone letters and digits, left out
  size_t open_words = 0;        // open-list words added
  size_t open_known = 0;        // open-list words the corpus already has
  size_t open_skipped = 0;      // single characters, ASCII or count 0, left out
  size_t open_conflicts = 0;    // strings the corpus writes across word ends
  size_t open_cheaper_split = 0;  // strings the corpus words make more likely
  size_t open_compounds = 0;    // strings made of several longer corpus words
  size_t open_verb_complements = 0;  // verbs with complements the corpus writes apart
  size_t own_words = 0;         // own-list words added
  size_t own_known = 0;         // own-list words the corpus already has
  size_t own_conflicts = 0;     // own-list strings the corpus writes across word ends
  size_t pairs = 0;             // distinct word pairs, sentence starts included
  size_t sentence_starts = 0;
};

class LexiconTrainer {
 public:
  // The normaliser must be loaded (its table) before training.
  explicit LexiconTrainer(int32_t normalise_mode) : normalise_mode_(normalise_mode) {}

  void Count(const std::vector<CorpusSentence>& sentences);
  // Words of an open word list (UTF-8, with counts from another, larger
  // text) fill in vocabulary the corpus never shows: a word enters the
  // lexicon only when the corpus holds no token of it and never writes its
  // string across a word end, so the corpus keeps deciding the standard
  // wherever it has seen the text. Its count is scaled onto the corpus.
  void AddOpenWords(const std::vector<ListedWord>& words, double scale);
  // Words of our own lists (numerals, say) enter with their counts and tags
  // unless the corpus has them or writes them across a word end; the other
  // checks of open words are meant for lists of unknown quality.
  void AddOwnWords(const std::vector<ListedWord>& words);
  // Entries that text never matches and that only carry tags (see
  // CSegmentTag's last-character entries).
  void AddTagOnlyEntries(const std::vector<std::string>& keys);
  // Tags the own lists gave, by normalised word.
  const std::map<std::string, std::string>& own_tags() const { return own_tags_; }
  // The text lexicon (GB18030 bytes) in the core dictionary's format.
  std::string LexiconText();
  // The n-gram table in the compiler's format; ids come from the core
  // dictionary, which must be built from LexiconText() first.
  std::string NGramText();
  // Normalised words in UTF-8, one per line, sorted: the vocabulary for
  // out-of-vocabulary measurements.
  std::string WordListUtf8() const;

  const LexiconStats& stats() const { return stats_; }
  // The open-list words that entered the lexicon (normalised, GB18030).
  std::vector<std::string> OpenWords() const;

  // The library's view of a corpus word: GB18030, normalised.
  std::string Normalise(const std::string& utf8);
  // The lexicon entry a corpus word counts for: its number class ("N年")
  // or the normalised word. Valid after Count.
  std::string LexiconKey(const std::string& utf8);
  const NumberClassTrainer& numbers() const { return numbers_; }

 private:
  void CountSplitUses();
  size_t DropWrittenAcrossWordEnds(std::map<std::string, double>& candidates) const;
  void DropOpenWordsCheaperSplit();
  void DropOpenCompounds();
  void DropVerbComplements();
  bool IsCompoundOfCorpusWords(const std::string& word) const;
  struct PairHistory {
    double total = 0;  // pairs starting with the word
    double types = 0;  // distinct words after it
  };
  struct PairCounts {
    std::unordered_map<std::string, size_t> counts;  // "first\0second"
    std::unordered_map<std::string, PairHistory> histories;
  };
  PairCounts CountPairs() const;
  double SplitCost(const std::string& word, const PairCounts& pairs) const;
  bool MostlySplit(const std::string& word, size_t count) const;

  struct PhraseCount {
    std::vector<uint8_t> splits;
    size_t count = 0;
  };

  int32_t normalise_mode_;
  NumberClassTrainer numbers_;
  VerbComplementFilter verb_complements_;
  std::map<std::string, size_t> word_counts_;  // number classes for numbers
  std::set<std::string> corpus_words_;         // normalised, as written
  std::map<std::string, PhraseCount> phrase_counts_;
  std::map<std::string, size_t> split_counts_;
  std::map<std::string, double> open_counts_;  // normalised, scaled; own words too
  std::map<std::string, std::string> own_tags_;
  std::vector<std::string> tag_only_entries_;
  std::vector<std::vector<std::string>> sentences_;  // lexicon keys
  std::unordered_map<std::string, std::string> normalised_;
  LexiconStats stats_;
};

}  // namespace zorvseg_tools

#endif  // ZORVSEG_TOOLS_COMMON_LEXICONTRAINER_H_
