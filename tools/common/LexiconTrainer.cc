#include "common/LexiconTrainer.h"

#include <cctype>
#include <cmath>
#include <cstdio>

#include "dict/CoreDict.h"
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
const size_t kMaxSplitLength = 255;
const size_t kMaxJoinedTokens = 4;
const size_t kMaxJoinedBytes = 16;

bool HasFourByteCharacter(const std::string& gb) {
  for (size_t i = 0; i < gb.size();) {
    size_t len = new_seg::GbCharLen(gb.data(), i, gb.size());
    if (len == 4) return true;
    i += len;
  }
  return false;
}

std::string FormatCost(double cost) {
  char buf[32];
  snprintf(buf, sizeof(buf), "%.6f", cost);
  return buf;
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

void LexiconTrainer::Count(const std::vector<CorpusSentence>& sentences) {
  for (const CorpusSentence& sentence : sentences) {
    std::vector<std::string> words;
    for (const CorpusToken& token : sentence.tokens) {
      words.push_back(Normalise(token.word));
      ++word_counts_[words.back()];
      ++stats_.tokens;
    }
    for (const CorpusCompound& compound : sentence.compounds) {
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
    sentences_.push_back(std::move(words));
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
    if (MostlySplit(word, count)) {
      ++stats_.mostly_split;
      continue;
    }
    // A lone letter or digit as a dictionary word would make the ASCII
    // segmentor's longest match cut every English word into letters.
    if (word.size() == 1 && std::isalnum(static_cast<unsigned char>(word[0]))) {
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
  stats_.words = word_counts_.size() - stats_.mostly_split - stats_.single_ascii;
  std::string text;
  for (const auto& [term, fields] : lines) text += term + "\t" + fields + "\n";
  return text;
}

std::string LexiconTrainer::NGramText() {
  std::map<int32_t, size_t> unigrams;
  size_t total = 0;
  for (const auto& [word, count] : word_counts_) {
    int id = new_seg::CoreDict::ExactMatchSearch(word.data(), word.size());
    if (id < 0) continue;
    unigrams[id] += count;
    total += count;
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
  text += FormatCost(-std::log2(1.0 / static_cast<double>(total))) + " 0 0\n";
  std::map<int32_t, double> probability;
  for (const auto& [id, count] : unigrams) {
    probability[id] = static_cast<double>(count) / static_cast<double>(total);
    text += FormatCost(-std::log2(probability[id])) + " " + std::to_string(count) + " " +
            std::to_string(id) + "\n";
  }
  for (const auto& [pair, count] : pairs) {
    double history = static_cast<double>(history_total.at(pair.first));
    double backoff_mass = kDiscount * static_cast<double>(history_types.at(pair.first)) / history;
    double p = (static_cast<double>(count) - kDiscount) / history +
               backoff_mass * probability[pair.second];
    text += FormatCost(-std::log2(p)) + " " + std::to_string(count) + " " +
            std::to_string(pair.first) + " " + std::to_string(pair.second) + "\n";
  }
  return text;
}

std::string LexiconTrainer::WordListUtf8() const {
  new_seg::EncodeConverter converter;
  std::string list;
  for (const auto& [word, count] : word_counts_) {
    std::string utf8(word.size() * 2 + 8, '\0');
    size_t len = utf8.size();
    converter.GBK2UTF(word.data(), word.size(), &utf8[0], len);
    utf8.resize(len);
    list += utf8 + "\n";
  }
  return list;
}

}  // namespace zorvseg_tools
