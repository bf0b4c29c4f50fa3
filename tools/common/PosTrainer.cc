#include "common/PosTrainer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "common/LexiconTrainer.h"

namespace zorvseg_tools {

namespace {
const char* const kTags[] = {"a",  "ad", "an", "b",  "c",  "d",  "e",  "f",  "g",  "h",
                             "i",  "j",  "k",  "l",  "m",  "n",  "nr", "nrf", "nrg", "ns",
                             "nt", "nz", "nx", "o",  "p",  "q",  "r",  "s",  "t",  "u",
                             "v",  "vd", "vn", "w",  "x",  "y",  "z",  "Ag", "Bg", "Dg",
                             "Mg", "Ng", "Qg", "Rg", "Tg", "Vg", "Yg", "Zg"};
const size_t kTagCount = sizeof(kTags) / sizeof(kTags[0]);
const char kStart[] = "<s>";

size_t TagRank(const std::string& tag) {
  for (size_t i = 0; i < kTagCount; ++i) {
    if (tag == kTags[i]) return i;
  }
  return kTagCount;
}

std::string Weight(double value) {
  char buf[32];
  snprintf(buf, sizeof(buf), "%.6f", value);
  return buf;
}
}  // namespace

std::string PosTrainer::MapCorpusTag(const std::string& tag, bool* known, bool* mapped) {
  *known = true;
  *mapped = false;
  if (TagRank(tag) < kTagCount) return tag;
  // One-off typos of the corpus.
  if (tag == "vvn") {
    *mapped = true;
    return "vn";
  }
  if (tag == "na") {
    *mapped = true;
    return "n";
  }
  *known = false;
  return "n";
}

void PosTrainer::Count(const std::vector<CorpusSentence>& sentences, LexiconTrainer& lexicon) {
  for (const CorpusSentence& sentence : sentences) {
    std::string previous = kStart;
    for (const CorpusToken& token : sentence.tokens) {
      if (token.tag.empty()) {
        ++stats_.untagged_tokens;
        previous = kStart;
        continue;
      }
      bool known = false, mapped = false;
      std::string tag = MapCorpusTag(token.tag, &known, &mapped);
      if (mapped) ++stats_.mapped_tags[token.tag];
      if (!known) ++stats_.unknown_tags[token.tag];
      ++emissions_[lexicon.Normalise(token.word)][tag];
      ++tag_counts_[tag];
      ++transitions_[{previous, tag}];
      ++stats_.tagged_tokens;
      previous = tag;
    }
  }
}

// ln P(unknown | tag), estimated from the tags of the words seen once,
// most frequent first.
std::vector<std::pair<std::string, double>> PosTrainer::UnknownWordTags() const {
  std::map<std::string, size_t> hapax_tags;
  for (const auto& [word, counts] : emissions_) {
    size_t total = 0;
    for (const auto& tag_count : counts) total += tag_count.second;
    if (total == 1) ++hapax_tags[counts.begin()->first];
  }
  std::vector<std::pair<std::string, size_t>> ranked(hapax_tags.begin(), hapax_tags.end());
  std::sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) {
    if (a.second != b.second) return a.second > b.second;
    return TagRank(a.first) < TagRank(b.first);
  });
  std::vector<std::pair<std::string, double>> weights;
  for (const auto& [tag, count] : ranked) {
    weights.push_back(
        {tag, std::log(static_cast<double>(count) / static_cast<double>(tag_counts_.at(tag)))});
  }
  return weights;
}

std::string PosTrainer::SourceText() const {
  std::string text = "# part-of-speech model estimated by zorvseg-train\n";
  text += "default-transition " + Weight(std::log(1.0 / kTagCount)) + "\n";
  std::map<std::string, size_t> from_totals;
  for (const auto& [pair, count] : transitions_) from_totals[pair.first] += count;
  std::vector<std::string> from_tags{kStart};
  for (const char* tag : kTags) from_tags.push_back(tag);
  for (const std::string& from : from_tags) {
    auto total = from_totals.find(from);
    if (total == from_totals.end()) continue;
    for (const char* to : kTags) {
      auto seen = transitions_.find({from, to});
      double count = seen == transitions_.end() ? 0.0 : static_cast<double>(seen->second);
      double p = (count + 1.0) / (static_cast<double>(total->second) + kTagCount);
      text += "transition " + from + " " + to + " " + Weight(std::log(p)) + "\n";
    }
  }
  for (const auto& [word, counts] : emissions_) {
    std::vector<std::pair<std::string, size_t>> ranked(counts.begin(), counts.end());
    // Ties go to the more frequent tag, then to the tag table's order.
    std::sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) {
      if (a.second != b.second) return a.second > b.second;
      return TagRank(a.first) < TagRank(b.first);
    });
    text += "word " + word;
    for (const auto& [tag, count] : ranked) {
      double p = static_cast<double>(count) / static_cast<double>(tag_counts_.at(tag));
      text += " " + tag + ":" + Weight(std::log(p));
    }
    text += "\n";
  }
  // Words the dictionary does not hold are tagged like the words seen once.
  std::vector<std::pair<std::string, double>> unknown = UnknownWordTags();
  if (!unknown.empty()) {
    text += "unknown";
    for (const auto& [tag, weight] : unknown) text += " " + tag + ":" + Weight(weight);
    text += "\n";
  }
  // The file needs a name triple; the role model is not trained here.
  text += "name 1 2 3\n";
  return text;
}

}  // namespace zorvseg_tools
