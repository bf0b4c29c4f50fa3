#include "common/OpenWordList.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "common/GbkText.h"
#include "common/PosTrainer.h"

namespace zorvseg_tools {

namespace {
// Longer entries are not words (the custom dictionaries draw the same line).
const size_t kLongestWordBytes = 255;

// A count is a finite, non-negative number.
bool ParseCount(const std::string& text, double* count) {
  char* end = nullptr;
  errno = 0;
  double value = strtod(text.c_str(), &end);
  if (text.empty() || errno != 0 || *end != '\0' || !(value >= 0.0) || value > 1e15) {
    return false;
  }
  *count = value;
  return true;
}
}  // namespace

bool OpenWordList::ParseLine(const std::string& line, ListedWord* entry) const {
  std::vector<std::string> fields;
  std::istringstream in(line);
  std::string field;
  while (std::getline(in, field, '\t')) fields.push_back(field);
  if (fields.empty() || fields.size() > 3 || fields[0].empty()) return false;
  entry->word = fields[0];
  entry->count = 1.0;
  entry->tag.clear();
  if (fields.size() >= 2 && !ParseCount(fields[1], &entry->count)) return false;
  if (fields.size() == 3) {
    bool known = false, mapped = false;
    PosTrainer::MapCorpusTag(fields[2], &known, &mapped);
    if (!known || mapped) return false;
    entry->tag = fields[2];
  }
  std::string gbk;
  return Utf8LineToGbk(entry->word, &gbk) && gbk.size() <= kLongestWordBytes;
}

bool OpenWordList::Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    fprintf(stderr, "zorvseg-train: cannot open the word list %s\n", path.c_str());
    return false;
  }
  std::string line;
  while (std::getline(in, line)) {
    ++stats_.lines;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    ListedWord entry;
    if (ParseLine(line, &entry)) {
      words_.push_back(std::move(entry));
    } else {
      ++stats_.bad_lines;
    }
  }
  return true;
}

}  // namespace zorvseg_tools
