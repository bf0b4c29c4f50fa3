#include "common/OpenWordList.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "common/GbkText.h"

namespace zorvseg_tools {

namespace {
// A count is a finite, non-negative number; no count means one.
bool ParseCount(const std::string& text, double* count) {
  if (text.empty()) {
    *count = 1.0;
    return true;
  }
  char* end = nullptr;
  errno = 0;
  double value = strtod(text.c_str(), &end);
  if (errno != 0 || *end != '\0' || !(value >= 0.0) || value > 1e15) return false;
  *count = value;
  return true;
}
}  // namespace

bool OpenWordList::Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    fprintf(stderr, "zorvseg-train: cannot open the word list %s\n", path.c_str());
    return false;
  }
  std::string line;
  std::string gbk;
  while (std::getline(in, line)) {
    ++stats_.lines;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t tab = line.find('\t');
    std::string word = line.substr(0, tab);
    double count = 0.0;
    if (word.empty() || !ParseCount(tab == std::string::npos ? "" : line.substr(tab + 1), &count) ||
        !Utf8LineToGbk(word, &gbk)) {
      ++stats_.bad_lines;
      continue;
    }
    words_.emplace_back(std::move(word), count);
  }
  return true;
}

}  // namespace zorvseg_tools
