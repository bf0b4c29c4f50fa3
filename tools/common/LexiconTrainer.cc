#include "common/LexiconTrainer.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <set>
#include <string_view>
#include <unordered_set>

#include "common/GbkText.h"
#include "dict/CoreDict.h"
#include "dict/NGram.h"
#include "driver/SegMode.h"
#include "lattice/OmniSegItem.h"
#include "text/EncodeConverter.h"
#include "text/Gb18030.h"
#include "text/SentenceNormalizer.h"

namespace zorvseg_tools {

namespace {
const int kWordType = new_seg::kTermWord;
const int kReportablePhraseType = new_seg::kTermPhrase | new_seg::kTermReportPhrase;
// Absolute discount of the pair estimates: observed pairs give up this much
// count to the back-off, which adds the word's own cost plus a fixed penalty.
const double kDiscount = 0.75;
const double kNoPath = 1e300;
const size_t kMaxSplitLength = 255;
const size_t kMaxJoinedTokens = 4;
const size_t kMaxJoinedBytes = 16;

bool HasAsciiByte(const std::string& gb) {
  for (unsigned char c : gb) {
    if (c < 0x80) return true;
  }
  return false;
}

// P(word | previous) with absolute discounting: the pair gives up kDiscount
// of its count to the back-off, spread by the word's own probability.
double DiscountedPairProbability(double pair_count, double history_total, double history_types,
                                 double word_probability) {
  return (pair_count - kDiscount) / history_total +
         kDiscount * history_types / history_total * word_probability;
}

}  // namespace

std::string LexiconTrainer::Normalise(const std::string& utf8) {
  auto cached = normalised_.find(utf8);
  if (cached != normalised_.end()) return cached->second;
  static new_seg::EncodeConverter converter;
  std::string gb(utf8.size() * 4 + 8, '\0');
  size_t gb_len = gb.size();
  converter.UTF2GBK(utf8.data(), utf8.size(), &gb[0], gb_len);
  gb.resize(gb_len);
  new_seg::SegMode mode(normalise_mode_);
  new_seg::SentenceNormalizer normalizer(&mode, gb.size() + 1);
  size_t len = 0;
  const char* normalised = normalizer.Init() ? normalizer.Normalize(gb.data(), gb.size(), len)
                                             : nullptr;
  std::string result = normalised == nullptr ? gb : std::string(normalised, len);
  normalised_.emplace(utf8, result);
  return result;
}

std::string LexiconTrainer::LexiconKey(const std::string& utf8) {
  std::string word = Normalise(utf8);
  std::string number_class = numbers_.ClassOf(word);
  return number_class.empty() ? word : number_class;
}

void LexiconTrainer::Count(const std::vector<CorpusSentence>& sentences) {
  std::vector<std::vector<std::string>> normalised;
  for (const CorpusSentence& sentence : sentences) {
    normalised.emplace_back();
    for (const CorpusToken& token : sentence.tokens) normalised.back().push_back(Normalise(token.word));
  }
  numbers_.Learn(normalised);
  for (size_t s = 0; s < sentences.size(); ++s) {
    const std::vector<std::string>& words = normalised[s];
    std::vector<std::string> keys;
    for (const std::string& word : words) {
      std::string number_class = numbers_.ClassOf(word);
      keys.push_back(number_class.empty() ? word : number_class);
      ++word_counts_[keys.back()];
      corpus_words_.insert(word);
      ++stats_.tokens;
    }
    for (const CorpusCompound& compound : sentences[s].compounds) {
      if (compound.count < 2) continue;
      std::string text;
      std::vector<uint8_t> splits{0};
      for (size_t i = compound.first; i < compound.first + compound.count; ++i) {
        text += words[i];
        splits.push_back(static_cast<uint8_t>(std::min(text.size(), kMaxSplitLength)));
      }
      if (text.size() > kMaxSplitLength) {
        ++stats_.long_compounds;
        continue;
      }
      PhraseCount& phrase = phrase_counts_[text];
      phrase.splits = splits;
      ++phrase.count;
    }
    verb_complements_.Count(keys, sentences[s].tokens);
    sentences_.push_back(std::move(keys));
  }
  verb_complements_.Finish();
}

void LexiconTrainer::AddOpenWords(const std::vector<ListedWord>& words, double scale) {
  for (const ListedWord& listed : words) {
    std::string word = Normalise(listed.word);
    double count = listed.count;
    if (CharacterEnds(word).size() < 3 || HasAsciiByte(word) || !(count * scale > 0.0)) {
      ++stats_.open_skipped;
    } else if (corpus_words_.count(word) > 0 || phrase_counts_.count(word) > 0) {
      ++stats_.open_known;
    } else {
      double& scaled = open_counts_[word];
      scaled = std::max(scaled, count * scale);
    }
  }
  stats_.open_conflicts = DropWrittenAcrossWordEnds(open_counts_);
  DropOpenWordsCheaperSplit();
  DropOpenCompounds();
  DropVerbComplements();
  stats_.open_words = open_counts_.size();
}

void LexiconTrainer::AddTagOnlyEntries(const std::vector<std::string>& keys) {
  tag_only_entries_.insert(tag_only_entries_.end(), keys.begin(), keys.end());
}

void LexiconTrainer::AddOwnWords(const std::vector<ListedWord>& words) {
  std::map<std::string, double> own;
  std::map<std::string, std::string> tags;
  for (const ListedWord& listed : words) {
    std::string word = Normalise(listed.word);
    if (word.empty() || corpus_words_.count(word) > 0 || phrase_counts_.count(word) > 0) {
      ++stats_.own_known;
      continue;
    }
    double& count = own[word];
    count = std::max(count, listed.count);
    if (!listed.tag.empty()) tags[word] = listed.tag;
  }
  stats_.own_conflicts = DropWrittenAcrossWordEnds(own);
  for (const auto& [word, count] : own) {
    double& merged = open_counts_[word];
    merged = std::max(merged, count);
    auto tag = tags.find(word);
    if (tag != tags.end()) own_tags_[word] = tag->second;
  }
  stats_.own_words = own.size();
}

// Every substring of the training text that runs past the end of the word
// it starts in is looked up among the candidates.
size_t LexiconTrainer::DropWrittenAcrossWordEnds(std::map<std::string, double>& candidates) const {
  std::unordered_set<std::string_view> open;
  size_t longest = 0;
  for (const auto& entry : candidates) {
    open.insert(entry.first);
    longest = std::max(longest, entry.first.size());
  }
  std::set<std::string> conflicts;
  std::string text;
  std::vector<size_t> word_ends;
  for (const std::vector<std::string>& words : sentences_) {
    text.clear();
    word_ends.clear();
    for (const std::string& word : words) {
      text += word;
      word_ends.push_back(text.size());
    }
    size_t word = 0;
    for (size_t start = 0; start < text.size();
         start += new_seg::GbCharLen(text.data(), start, text.size())) {
      while (word_ends[word] <= start) ++word;
      size_t end = word_ends[word];
      while (end < text.size() && end - start < longest) {
        end += new_seg::GbCharLen(text.data(), end, text.size());
        auto hit = open.find(std::string_view(text).substr(start, end - start));
        if (hit != open.end()) conflicts.emplace(*hit);
      }
    }
  }
  for (const std::string& word : conflicts) candidates.erase(word);
  return conflicts.size();
}

// Cost in bits of the cheapest way to write the word with corpus words and
// single characters, scored as the segmenter scores a path: word costs,
// discounted pair costs where the corpus has the pair, the fixed back-off
// penalty where it has not.
double LexiconTrainer::SplitCost(const std::string& word, const PairCounts& pairs) const {
  const double total = static_cast<double>(stats_.tokens);
  const std::vector<size_t> ends = CharacterEnds(word);
  const size_t n = ends.size() - 1;
  auto piece = [&](size_t from, size_t to) {
    return word.substr(ends[from], ends[to] - ends[from]);
  };
  auto unigram = [&](const std::string& text, size_t from, size_t to, double* cost) {
    auto found = word_counts_.find(text);
    if (found != word_counts_.end()) {
      *cost = -std::log2(static_cast<double>(found->second) / total);
      return true;
    }
    *cost = std::log2(total);  // a character without an entry
    return to == from + 1;
  };
  // best[from][to]: cheapest way to write the first `to` characters ending
  // with the piece from..to.
  std::vector<std::vector<double>> best(n + 1, std::vector<double>(n + 1, kNoPath));
  for (size_t to = 1; to < n; ++to) {
    double cost;
    if (unigram(piece(0, to), 0, to, &cost)) best[0][to] = cost + new_seg::NGram::BackoffPenalty();
  }
  for (size_t mid = 1; mid < n; ++mid) {
    for (size_t from = 0; from < mid; ++from) {
      if (best[from][mid] >= kNoPath) continue;
      std::string left = piece(from, mid);
      for (size_t to = mid + 1; to <= n; ++to) {
        std::string right = piece(mid, to);
        double cost;
        if (!unigram(right, mid, to, &cost)) continue;
        double step = cost + new_seg::NGram::BackoffPenalty();
        auto pair = pairs.counts.find(left + '\0' + right);
        if (pair != pairs.counts.end()) {
          const PairHistory& history = pairs.histories.at(left);
          step = -std::log2(DiscountedPairProbability(static_cast<double>(pair->second),
                                                      history.total, history.types,
                                                      std::exp2(-cost)));
        }
        best[mid][to] = std::min(best[mid][to], best[from][mid] + step);
      }
    }
  }
  double cheapest = kNoPath;
  for (size_t from = 1; from < n; ++from) cheapest = std::min(cheapest, best[from][n]);
  return cheapest;
}

LexiconTrainer::PairCounts LexiconTrainer::CountPairs() const {
  PairCounts pairs;
  for (const std::vector<std::string>& words : sentences_) {
    for (size_t i = 0; i + 1 < words.size(); ++i) {
      PairHistory& history = pairs.histories[words[i]];
      if (pairs.counts[words[i] + '\0' + words[i + 1]]++ == 0) ++history.types;
      ++history.total;
    }
  }
  return pairs;
}

void LexiconTrainer::DropOpenWordsCheaperSplit() {
  const double total = static_cast<double>(stats_.tokens);
  PairCounts pairs = CountPairs();
  for (auto it = open_counts_.begin(); it != open_counts_.end();) {
    double listed_cost = -std::log2(it->second / total) + new_seg::NGram::BackoffPenalty();
    if (SplitCost(it->first, pairs) < listed_cost) {
      it = open_counts_.erase(it);
      ++stats_.open_cheaper_split;
    } else {
      ++it;
    }
  }
}

// The standard writes a compound of words apart ("官方 语言"), while open
// lists often hold it whole; such a list word would always come out whole.
bool LexiconTrainer::IsCompoundOfCorpusWords(const std::string& word) const {
  const std::vector<size_t> ends = CharacterEnds(word);
  std::vector<bool> reachable(ends.size(), false);
  reachable[0] = true;
  for (size_t to = 2; to < ends.size(); ++to) {
    for (size_t from = 0; from + 2 <= to && !reachable[to]; ++from) {
      if (!reachable[from] || (from == 0 && to + 1 == ends.size())) continue;
      reachable[to] = word_counts_.count(word.substr(ends[from], ends[to] - ends[from])) > 0;
    }
  }
  return reachable.back();
}

void LexiconTrainer::DropOpenCompounds() {
  for (auto it = open_counts_.begin(); it != open_counts_.end();) {
    if (IsCompoundOfCorpusWords(it->first)) {
      it = open_counts_.erase(it);
      ++stats_.open_compounds;
    } else {
      ++it;
    }
  }
}

void LexiconTrainer::DropVerbComplements() {
  for (auto it = open_counts_.begin(); it != open_counts_.end();) {
    if (verb_complements_.WrittenApart(it->first)) {
      it = open_counts_.erase(it);
      ++stats_.open_verb_complements;
    } else {
      ++it;
    }
  }
}

// The builder trusts a dictionary word wherever nothing else crosses its
// span, so a string the corpus writes more often as several words than as
// one ("做 好" against "做好") would always come out whole. Such words are
// left out of the lexicon; the n-gram model still joins its parts.
void LexiconTrainer::CountSplitUses() {
  for (const std::vector<std::string>& words : sentences_) {
    for (size_t i = 0; i < words.size(); ++i) {
      std::string joined = words[i];
      for (size_t j = i + 1; j < words.size() && j < i + kMaxJoinedTokens; ++j) {
        joined += words[j];
        if (joined.size() > kMaxJoinedBytes) break;
        auto word = word_counts_.find(joined);
        if (word != word_counts_.end()) ++split_counts_[joined];
      }
    }
  }
}

bool LexiconTrainer::MostlySplit(const std::string& word, size_t count) const {
  auto split = split_counts_.find(word);
  return split != split_counts_.end() && split->second > count;
}

std::string LexiconTrainer::LexiconText() {
  CountSplitUses();
  // One line per term; a term that is both a plain word and a compound
  // keeps the use it has more often.
  std::map<std::string, std::string> lines;
  for (const auto& [word, count] : word_counts_) {
    // Number classes are never trusted as dictionary words are: they are
    // candidates beside the number's other edges, and their costs decide.
    bool number_class = NumberClassTrainer::IsClassKey(word);
    if (!number_class && MostlySplit(word, count)) {
      ++stats_.mostly_split;
      continue;
    }
    // A lone letter or digit as a dictionary word would make the ASCII
    // segmentor's longest match cut every English word into letters.
    if (!number_class && word.size() == 1 && std::isalnum(static_cast<unsigned char>(word[0]))) {
      ++stats_.single_ascii;
      continue;
    }
    lines[word] = std::to_string(kWordType);
    if (HasFourByteCharacter(word)) ++stats_.four_byte_words;
  }
  for (const auto& [text, phrase] : phrase_counts_) {
    auto word = word_counts_.find(text);
    if (word != word_counts_.end() && word->second >= phrase.count) {
      ++stats_.compounds_as_words;
      continue;
    }
    std::string line = std::to_string(kReportablePhraseType);
    for (uint8_t split : phrase.splits) line += " " + std::to_string(split);
    lines[text] = line;
    ++stats_.phrases;
  }
  for (const auto& entry : open_counts_) lines.emplace(entry.first, std::to_string(kWordType));
  for (const std::string& key : numbers_.JoinerKeys()) lines[key] = std::to_string(kWordType);
  for (const std::string& key : tag_only_entries_) lines[key] = std::to_string(kWordType);
  stats_.words = word_counts_.size() - stats_.mostly_split - stats_.single_ascii;
  std::string text;
  for (const auto& [term, fields] : lines) text += term + "\t" + fields + "\n";
  return text;
}

std::string LexiconTrainer::NGramText() {
  // Corpus counts are whole numbers; open-list counts are scaled, and do not
  // add to the corpus total they are measured against.
  std::map<int32_t, double> unigrams;
  size_t total = 0;
  for (const auto& [word, count] : word_counts_) {
    int id = new_seg::CoreDict::ExactMatchSearch(word.data(), word.size());
    if (id < 0) continue;
    unigrams[id] += static_cast<double>(count);
    total += count;
  }
  for (const auto& [word, count] : open_counts_) {
    int id = new_seg::CoreDict::ExactMatchSearch(word.data(), word.size());
    if (id >= 0) unigrams.emplace(id, count);
  }
  std::map<std::pair<int32_t, int32_t>, size_t> pairs;
  std::map<int32_t, size_t> history_total, history_types;
  for (const std::vector<std::string>& words : sentences_) {
    int32_t previous = new_seg::kSentenceStartIdx;
    for (const std::string& word : words) {
      int id = new_seg::CoreDict::ExactMatchSearch(word.data(), word.size());
      if (id < 0) {
        previous = 0;
        continue;
      }
      if (previous == new_seg::kSentenceStartIdx) ++stats_.sentence_starts;
      if (previous != 0 && pairs[{previous, id}]++ == 0) ++history_types[previous];
      if (previous != 0) ++history_total[previous];
      previous = id;
    }
  }
  stats_.pairs = pairs.size();
  std::string text;
  // Id 0: characters and runs without a dictionary entry cost as much as a
  // word seen once.
  text += FixedDecimal(-std::log2(1.0 / static_cast<double>(total))) + " 0 0\n";
  std::map<int32_t, double> probability;
  for (const auto& [id, count] : unigrams) {
    probability[id] = count / static_cast<double>(total);
    text += FixedDecimal(-std::log2(probability[id])) + " " +
            std::to_string(std::max<long>(1, std::lround(count))) + " " + std::to_string(id) +
            "\n";
  }
  for (const auto& [pair, count] : pairs) {
    double p = DiscountedPairProbability(static_cast<double>(count),
                                         static_cast<double>(history_total.at(pair.first)),
                                         static_cast<double>(history_types.at(pair.first)),
                                         probability[pair.second]);
    text += FixedDecimal(-std::log2(p)) + " " + std::to_string(count) + " " +
            std::to_string(pair.first) + " " + std::to_string(pair.second) + "\n";
  }
  return text;
}

std::vector<std::string> LexiconTrainer::OpenWords() const {
  std::vector<std::string> words;
  for (const auto& entry : open_counts_) words.push_back(entry.first);
  return words;
}

std::string LexiconTrainer::WordListUtf8() const {
  new_seg::EncodeConverter converter;
  std::string list;
  for (const std::string& word : corpus_words_) {
    std::string utf8(word.size() * 2 + 8, '\0');
    size_t len = utf8.size();
    converter.GBK2UTF(word.data(), word.size(), &utf8[0], len);
    utf8.resize(len);
    list += utf8 + "\n";
  }
  return list;
}

}  // namespace zorvseg_tools
