#include "ascii/AsciiDict.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "dict/DictFile.h"

namespace new_seg {

Darts::DoubleArray AsciiDict::eng_trie_;
Darts::DoubleArray AsciiDict::pinyin_trie_;
double AsciiDict::default_eng_prob_ = 0.8 * 100.0;
double AsciiDict::default_pinyin_prob_ = 0.8 * 100.0;

namespace {

const char kWhat[] = "ascii dictionary";
const double kNoWeight = -1.0;
const double kStartMinimum = 100.0;
const double kDefaultShare = 0.8;
// Trie values are 31-bit: weights beyond this cannot be stored.
const double kMaxWeight = 2147.0;

typedef std::vector<std::pair<std::string, double>> WeightedKeys;

struct Lists {
  WeightedKeys eng;
  WeightedKeys pinyin;
  double eng_min = kStartMinimum;
  double pinyin_min = kStartMinimum;
};

std::vector<std::string> SplitAt(const std::string& text, char separator) {
  std::vector<std::string> fields;
  std::size_t begin = 0;
  for (;;) {
    std::size_t end = text.find(separator, begin);
    fields.push_back(text.substr(begin, end - begin));
    if (end == std::string::npos) return fields;
    begin = end + 1;
  }
}

// The longest numeric prefix; an empty field is no weight, text that does
// not start with a number weighs 0.
double ParseWeight(const std::string& field) {
  if (field.empty()) return kNoWeight;
  char* end = nullptr;
  double weight = std::strtod(field.c_str(), &end);
  return end == field.c_str() ? 0.0 : weight;
}

void NoteMinimum(double weight, double* minimum) {
  if (weight > 0 && weight < *minimum) *minimum = weight;
}

// False, with a message, for a weight the trie cannot hold.
bool ReadLine(const std::string& line, const char* path, std::size_t line_no, Lists* lists) {
  std::vector<std::string> fields = SplitAt(line, '\t');
  if (fields.size() < 2 || fields[0].empty()) return true;
  bool english = fields[1] == "0";
  if (!english && fields[1] != "1") return true;
  double weight = fields.size() > 2 ? ParseWeight(fields[2]) : kNoWeight;
  if (!std::isfinite(weight) || weight > kMaxWeight) {
    dict_file::ReportLineError(path, line_no, "weight '" + fields[2] + "' is out of range");
    return false;
  }
  if (!english) {
    lists->pinyin.emplace_back(fields[0], weight);
    NoteMinimum(weight, &lists->pinyin_min);
    return true;
  }
  lists->eng.emplace_back(fields[0], weight);
  NoteMinimum(weight, &lists->eng_min);
  if (fields.size() > 3) {
    for (const std::string& variant : SplitAt(fields[3], ',')) {
      if (!variant.empty()) lists->eng.emplace_back(variant, weight);
    }
  }
  return true;
}

}  // namespace

bool AsciiDict::Init(const char* path) { return Build(path); }

void AsciiDict::UnInit() {
  eng_trie_.clear();
  pinyin_trie_.clear();
  default_eng_prob_ = 0;
  default_pinyin_prob_ = 0;
}

bool AsciiDict::Build(const char* path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    dict_file::ReportFileError(kWhat, path, "cannot open the file");
    return false;
  }
  Lists lists;
  std::string line;
  std::size_t line_no = 0;
  while (std::getline(in, line)) {
    ++line_no;
    if (line.empty()) continue;
    if (!ReadLine(line, path, line_no, &lists)) return false;
  }
  if (in.bad()) {
    dict_file::ReportFileError(kWhat, path, "read error");
    return false;
  }
  default_eng_prob_ = kDefaultShare * lists.eng_min;
  default_pinyin_prob_ = kDefaultShare * lists.pinyin_min;
  return BuildDict(lists.eng, lists.eng_min, &eng_trie_) &&
         BuildDict(lists.pinyin, lists.pinyin_min, &pinyin_trie_);
}

bool AsciiDict::BuildDict(std::vector<std::pair<std::string, double>>& pairs, double min_prob,
                          Darts::DoubleArray* trie) {
  // Sorted by key, then weight: the first of equal keys has the smallest
  // weight (no weight, -1, sorts first), and the trie keeps the first.
  std::sort(pairs.begin(), pairs.end());
  std::vector<const char*> keys;
  std::vector<std::size_t> lengths;
  std::vector<int> values;
  const std::string* previous = nullptr;
  for (const auto& pair : pairs) {
    if (previous != nullptr && *previous == pair.first) continue;
    previous = &pair.first;
    double weight = pair.second >= 0 ? pair.second : min_prob;
    keys.push_back(pair.first.data());
    lengths.push_back(pair.first.size());
    values.push_back(static_cast<int>(weight * FACTOR));
  }
  if (keys.empty()) {
    trie->clear();
    return true;
  }
  try {
    trie->build(keys.size(), keys.data(), lengths.data(), values.data());
  } catch (const Darts::Details::Exception& e) {
    std::fprintf(stderr, "build error: %s\n", e.what());
    return false;
  }
  return true;
}

std::size_t AsciiDict::CommonPrefixSearch(AsciiType type, const char* text, std::size_t len,
                                          std::vector<AsciiResult>& results) {
  if ((type != kEng && type != kPinyin) || len == 0) return results.size();
  const Darts::DoubleArray& trie = type == kEng ? eng_trie_ : pinyin_trie_;
  if (trie.size() == 0) return results.size();
  Darts::DoubleArray::result_pair_type found[kMaxResults];
  std::size_t count = trie.commonPrefixSearch(text, found, kMaxResults, len);
  if (count > kMaxResults) count = kMaxResults;
  for (std::size_t i = 0; i < count; ++i) {
    results.push_back({std::string_view(text, found[i].length), found[i].value / FACTOR});
  }
  return results.size();
}

}  // namespace new_seg
