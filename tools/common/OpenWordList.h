// Reads an open word list: one word per line, a tab and a count after it
// (UTF-8; a line without a count counts once). Lines that cannot be used
// are counted, never fatal.
#ifndef ZORVSEG_TOOLS_COMMON_OPENWORDLIST_H_
#define ZORVSEG_TOOLS_COMMON_OPENWORDLIST_H_

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace zorvseg_tools {

struct OpenWordListStats {
  size_t lines = 0;
  size_t bad_lines = 0;  // empty word, bad count, invalid UTF-8 or not GBK
};

class OpenWordList {
 public:
  // False with a message when the file cannot be opened.
  bool Read(const std::string& path);

  const std::vector<std::pair<std::string, double>>& words() const { return words_; }
  const OpenWordListStats& stats() const { return stats_; }

 private:
  std::vector<std::pair<std::string, double>> words_;
  OpenWordListStats stats_;
};

}  // namespace zorvseg_tools

#endif  // ZORVSEG_TOOLS_COMMON_OPENWORDLIST_H_
