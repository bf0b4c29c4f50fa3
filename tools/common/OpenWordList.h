// Reads a word list for the trainer: one word per line, then optionally a
// tab and a count, and a tab and a tag (UTF-8; no count counts once). Lines
// that cannot be used are counted, never fatal.
#ifndef ZORVSEG_TOOLS_COMMON_OPENWORDLIST_H_
#define ZORVSEG_TOOLS_COMMON_OPENWORDLIST_H_

#include <cstddef>
#include <string>
#include <vector>

namespace zorvseg_tools {

struct ListedWord {
  std::string word;  // UTF-8
  double count = 1.0;
  std::string tag;   // a tagger tag, or empty
};

struct OpenWordListStats {
  size_t lines = 0;
  size_t bad_lines = 0;  // no word, bad count or tag, not UTF-8 or GBK, over 255 bytes
};

class OpenWordList {
 public:
  // False with a message when the file cannot be opened.
  bool Read(const std::string& path);

  const std::vector<ListedWord>& words() const { return words_; }
  const OpenWordListStats& stats() const { return stats_; }

 private:
  bool ParseLine(const std::string& line, ListedWord* entry) const;

  std::vector<ListedWord> words_;
  OpenWordListStats stats_;
};

}  // namespace zorvseg_tools

#endif  // ZORVSEG_TOOLS_COMMON_OPENWORDLIST_H_
