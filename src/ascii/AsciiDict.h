// Weighted English words and pinyin syllables for the language-model
// reading of ASCII runs: two tries mapping a key to its natural-log weight
// scaled by FACTOR.
//
// One dictionary per process (all members static), built from
// ascii_dict.txt at start-up and read-only afterwards.
#ifndef ZORVSEG_ASCII_ASCIIDICT_H_
#define ZORVSEG_ASCII_ASCIIDICT_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dict/Darts.h"

namespace new_seg {

enum AsciiType { kEng = 0, kPinyin = 1 };

// A key found at the start of a text: a view of the text's first bytes, so
// that lookups allocate nothing.
struct AsciiResult {
  std::string_view key;
  double prob;
};

class AsciiDict {
 public:
  static const std::size_t kMaxResults = 30;
  static constexpr double FACTOR = 1000000.0;
  static constexpr double total_eng_prob_ = 18.266529;
  static constexpr double total_pinyin_prob_ = 13.316312;

  // Builds both tries from the file; false when it cannot be read or a trie
  // cannot be built (with a message naming the file on stderr).
  static bool Init(const char* path);
  // Empties both tries.
  static void UnInit();
  static bool Build(const char* path);
  static bool BuildDict(std::vector<std::pair<std::string, double>>& pairs, double min_prob,
                        Darts::DoubleArray* trie);

  // Appends the keys of the chosen trie that are prefixes of text, shortest
  // first, at most kMaxResults; returns the size of results.
  static std::size_t CommonPrefixSearch(AsciiType type, const char* text, std::size_t len,
                                        std::vector<AsciiResult>& results);

  static double default_eng_prob() { return default_eng_prob_; }
  static double default_pinyin_prob() { return default_pinyin_prob_; }

 private:
  static Darts::DoubleArray eng_trie_;
  static Darts::DoubleArray pinyin_trie_;
  static double default_eng_prob_;
  static double default_pinyin_prob_;
};

}  // namespace new_seg

#endif  // ZORVSEG_ASCII_ASCIIDICT_H_
