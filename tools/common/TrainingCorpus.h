// Reads an annotated corpus for training: the People's Daily format (an id
// token, word/tag tokens, [bracketed compounds]tag, X（Y音）sound notes) or
// plain text with words separated by spaces, in UTF-8 or GBK. Every line
// that yields words becomes one sentence; what cannot be used is counted.
#ifndef ZORVSEG_TOOLS_COMMON_TRAININGCORPUS_H_
#define ZORVSEG_TOOLS_COMMON_TRAININGCORPUS_H_

#include <cstddef>
#include <set>
#include <string>
#include <vector>

namespace zorvseg_tools {

struct CorpusToken {
  std::string word;  // UTF-8, as written in the corpus
  std::string tag;   // empty in plain text
  int compound = -1;  // index of the bracketed compound it belongs to
};

struct CorpusCompound {
  size_t first = 0;  // first token of the compound in its sentence
  size_t count = 0;  // number of tokens
  std::string tag;
};

struct CorpusSentence {
  std::vector<CorpusToken> tokens;
  std::vector<CorpusCompound> compounds;
};

struct CorpusStats {
  size_t lines = 0;
  size_t empty_lines = 0;
  size_t held_out_lines = 0;
  size_t cr_bytes = 0;
  size_t malformed_tokens = 0;   // no word or no tag
  size_t overlong_tokens = 0;    // over 100 characters
  size_t sound_notes = 0;        // X（Y音）reduced to X
  size_t unbalanced_brackets = 0;
  size_t invalid_text_lines = 0;  // not convertible from the declared encoding
};

struct CorpusOptions {
  bool people_daily = true;
  bool gbk = false;
  std::set<std::string> held_out_days;  // YYYYMMDD prefixes of paragraph ids
  size_t held_out_first_line = 0;       // 1-based line range, 0 = none
  size_t held_out_last_line = 0;
};

// Reads "YYYYMMDD[,YYYYMMDD...]" into days; false for anything else.
bool ParseHeldOutDays(const std::string& list, std::set<std::string>& days);

class TrainingCorpus {
 public:
  // Reads the whole file; false with a message when it cannot be opened.
  bool Read(const std::string& path, const CorpusOptions& options);

  const std::vector<CorpusSentence>& sentences() const { return sentences_; }
  const CorpusStats& stats() const { return stats_; }

 private:
  bool IsHeldOut(size_t line_no, const std::string& line, const CorpusOptions& options) const;
  void ParseLine(const std::string& line, const CorpusOptions& options);
  void AddToken(std::string token, bool people_daily, CorpusSentence& sentence,
                int& open_compound);

  std::vector<CorpusSentence> sentences_;
  CorpusStats stats_;
};

}  // namespace zorvseg_tools

#endif  // ZORVSEG_TOOLS_COMMON_TRAININGCORPUS_H_
