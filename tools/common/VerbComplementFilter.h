// Open word lists hold verbs with their complements as words ("抬起来",
// "冲过去", "伸进"), while the corpus writes most such combinations apart
// ("抬 起来") and keeps only some common ones whole ("提出"). A listed word
// made of a corpus verb and a complement is left out when the corpus
// writes that complement after more different verbs as a word of its own
// than it has verbs ending in it.
#ifndef ZORVSEG_TOOLS_COMMON_VERBCOMPLEMENTFILTER_H_
#define ZORVSEG_TOOLS_COMMON_VERBCOMPLEMENTFILTER_H_

#include <cstddef>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "common/TrainingCorpus.h"

namespace zorvseg_tools {

class VerbComplementFilter {
 public:
  // One corpus sentence: its lexicon keys and its tokens (for the tags).
  void Count(const std::vector<std::string>& words, const std::vector<CorpusToken>& tokens);
  // Call once after the last sentence.
  void Finish();
  // Whether the corpus would write the word (normalised, GB18030) as a
  // verb and a complement apart.
  bool WrittenApart(const std::string& word) const;

 private:
  bool MostlyVerb(const std::string& word) const;
  bool ComplementWrittenApart(const std::string& complement) const;

  std::map<std::string, size_t> tokens_;
  std::map<std::string, size_t> verb_tokens_;
  // Complement -> the verbs the corpus writes it after, as a verb of its own.
  std::map<std::string, std::set<std::string>> verbs_before_;
  // Complement -> the corpus verbs that end in it.
  std::map<std::string, size_t> verbs_ending_in_;
};

}  // namespace zorvseg_tools

#endif  // ZORVSEG_TOOLS_COMMON_VERBCOMPLEMENTFILTER_H_
