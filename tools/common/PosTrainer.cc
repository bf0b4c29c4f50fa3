#include "common/PosTrainer.h"

#include <algorithm>
#include <cmath>

#include "common/GbkText.h"
#include "common/LexiconTrainer.h"
#include "common/TagPerceptron.h"
#include "dict/CoreDict.h"
#include "pos/CSegmentTag.h"

namespace zorvseg_tools {

namespace {
const char* const kTags[] = {"a",  "ad", "an", "b",  "c",  "d",  "e",  "f",  "g",  "h",
                             "i",  "j",  "k",  "l",  "m",  "n",  "nr", "nrf", "nrg", "ns",
                             "nt", "nz", "nx", "o",  "p",  "q",  "r",  "s",  "t",  "u",
                             "v",  "vd", "vn", "w",  "x",  "y",  "z",  "Ag", "Bg", "Dg",
                             "Mg", "Ng", "Qg", "Rg", "Tg", "Vg", "Yg", "Zg"};
const size_t kTagCount = sizeof(kTags) / sizeof(kTags[0]);
const char kStart[] = "<s>";
// Words seen at most this often stand for the words never seen: their tags,
// by first and last character and by length, are what the tags of a
// lexicon word without a tagged token are guessed from.
const size_t kRareCount = 5;
// Weight of the rare-word tag distribution against a feature's own counts.
const double kFeaturePrior = 5.0;
// Guessed tags below this probability are left out of a word's list.
const double kLeastGuess = 0.1;
const size_t kLongestLengthClass = 5;
// Word-context weights smaller than this are left out of tag_context.dat.
const double kLeastContextWeight = 0.05;

// Characters of a GB18030 word: the byte length of the first one, the start
// of the last one and their number.
struct CharacterSpan {
  size_t first_length = 0;
  size_t last_start = 0;
  size_t count = 0;
};

CharacterSpan SpanOf(const std::string& word) {
  std::vector<size_t> ends = CharacterEnds(word);
  CharacterSpan span;
  span.count = ends.size() - 1;
  span.first_length = span.count > 0 ? ends[1] : 0;
  span.last_start = span.count > 0 ? ends[span.count - 1] : 0;
  return span;
}

std::string LengthClass(size_t characters) {
  return std::to_string(std::min(characters, kLongestLengthClass));
}

size_t TagRank(const std::string& tag) {
  for (size_t i = 0; i < kTagCount; ++i) {
    if (tag == kTags[i]) return i;
  }
  return kTagCount;
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
    tagged_sentences_.emplace_back();
    for (const CorpusToken& token : sentence.tokens) {
      if (token.tag.empty()) {
        ++stats_.untagged_tokens;
        previous = kStart;
        tagged_sentences_.emplace_back();
        continue;
      }
      bool known = false, mapped = false;
      std::string tag = MapCorpusTag(token.tag, &known, &mapped);
      if (mapped) ++stats_.mapped_tags[token.tag];
      if (!known) ++stats_.unknown_tags[token.tag];
      std::string word = lexicon.LexiconKey(token.word);
      ++emissions_[word][tag];
      ++tag_counts_[tag];
      ++transitions_[{previous, tag}];
      ++stats_.tagged_tokens;
      auto number = word_numbers_.emplace(word, static_cast<uint32_t>(word_numbers_.size()));
      if (number.second) numbered_words_.push_back(word);
      tagged_sentences_.back().push_back({number.first->second, static_cast<int>(TagRank(tag))});
      previous = tag;
    }
  }
  CountFeatureTags();
}

std::map<std::string, PosTrainer::WeightedTags> PosTrainer::EstimatedEmissions() const {
  std::map<std::string, WeightedTags> lists;
  for (const auto& [word, counts] : emissions_) {
    std::vector<std::pair<std::string, size_t>> ranked(counts.begin(), counts.end());
    // Ties go to the more frequent tag, then to the tag table's order.
    std::sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) {
      if (a.second != b.second) return a.second > b.second;
      return TagRank(a.first) < TagRank(b.first);
    });
    WeightedTags& list = lists[word];
    for (const auto& [tag, count] : ranked) {
      double p = static_cast<double>(count) / static_cast<double>(tag_counts_.at(tag));
      list.push_back({tag, std::log(p)});
    }
  }
  return lists;
}

// ln P(tag | previous tag), with add-one smoothing, for every previous tag
// the corpus has.
std::map<std::pair<std::string, std::string>, double> PosTrainer::EstimatedTransitions() const {
  std::map<std::string, size_t> from_totals;
  for (const auto& [pair, count] : transitions_) from_totals[pair.first] += count;
  std::map<std::pair<std::string, std::string>, double> weights;
  for (const auto& [from, total] : from_totals) {
    for (const char* to : kTags) {
      auto seen = transitions_.find({from, to});
      double count = seen == transitions_.end() ? 0.0 : static_cast<double>(seen->second);
      weights[{from, to}] = std::log((count + 1.0) / (static_cast<double>(total) + kTagCount));
    }
  }
  return weights;
}

void PosTrainer::TrainWeights(size_t passes, double rate, bool context) {
  emission_weights_ = EstimatedEmissions();
  transition_weights_ = EstimatedTransitions();
  if (passes == 0 || numbered_words_.empty()) return;
  TagPerceptron perceptron(kTagCount);
  for (const std::string& word : numbered_words_) {
    std::vector<std::pair<int, double>> candidates;
    for (const auto& [tag, weight] : emission_weights_.at(word)) {
      candidates.push_back({static_cast<int>(TagRank(tag)), weight});
    }
    perceptron.AddWord(candidates);
  }
  auto tag_number = [](const std::string& tag) {
    return tag == kStart ? static_cast<int>(kTagCount) : static_cast<int>(TagRank(tag));
  };
  for (const auto& [pair, weight] : transition_weights_) {
    perceptron.SetTransition(tag_number(pair.first), tag_number(pair.second), weight);
  }
  for (std::vector<std::pair<uint32_t, int>>& sentence : tagged_sentences_) {
    perceptron.AddSentence(std::move(sentence));
  }
  tagged_sentences_.clear();
  if (context) perceptron.UseContext();
  stats_.wrong_in_last_pass = perceptron.Train(passes, rate);
  for (const TagPerceptron::ContextWeight& w : perceptron.ContextWeights(kLeastContextWeight)) {
    context_weights_.emplace_back(w.side, w.word, w.tag, w.weight);
  }
  for (size_t number = 0; number < numbered_words_.size(); ++number) {
    WeightedTags& list = emission_weights_.at(numbered_words_[number]);
    for (size_t k = 0; k < list.size(); ++k) list[k].second = perceptron.Emission(number, k);
  }
  for (auto& [pair, weight] : transition_weights_) {
    weight = perceptron.Transition(tag_number(pair.first), tag_number(pair.second));
  }
}

std::vector<new_seg::TagContext::Record> PosTrainer::ContextRecords() const {
  std::vector<new_seg::TagContext::Record> records;
  for (const auto& [side, number, tag, weight] : context_weights_) {
    const std::string& word = numbered_words_[number];
    int id = new_seg::CoreDict::ExactMatchSearch(word.data(), word.size());
    if (id <= 0) continue;
    // Tag ids count from 1 in the order of kTags.
    records.push_back({static_cast<uint32_t>(id), static_cast<uint8_t>(side),
                       static_cast<uint8_t>(tag + 1), 0, static_cast<float>(weight)});
  }
  return records;
}

// ln P(unknown | tag), estimated from the tags of the words seen once,
// most frequent first.
std::vector<std::pair<std::string, double>> PosTrainer::UnknownWordTags() const {
  std::map<std::string, size_t> hapax_tags;
  for (const auto& [word, counts] : emissions_) {
    if (TimesSeen(counts) == 1) ++hapax_tags[counts.begin()->first];
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

size_t PosTrainer::TimesSeen(const std::map<std::string, size_t>& counts) {
  size_t seen = 0;
  for (const auto& tag_count : counts) seen += tag_count.second;
  return seen;
}

PosTrainer::TagDistribution PosTrainer::RareWordTags() const {
  TagDistribution tags;
  double total = 0;
  for (const auto& [word, counts] : emissions_) {
    if (TimesSeen(counts) > kRareCount) continue;
    for (const auto& [tag, count] : counts) {
      tags[tag] += static_cast<double>(count);
      total += static_cast<double>(count);
    }
  }
  for (auto& entry : tags) entry.second /= total;
  return tags;
}

void PosTrainer::CountFeatureTags() {
  for (const auto& [word, counts] : emissions_) {
    CharacterSpan span = SpanOf(word);
    if (TimesSeen(counts) > kRareCount || span.count < 2) continue;
    for (const auto& [tag, count] : counts) {
      first_character_tags_[word.substr(0, span.first_length)][tag] += static_cast<double>(count);
      last_character_tags_[word.substr(span.last_start)][tag] += static_cast<double>(count);
      length_tags_[LengthClass(span.count)][tag] += static_cast<double>(count);
    }
  }
}

// P(tag | feature), drawn towards the rare-word distribution when the
// feature has few examples.
PosTrainer::TagDistribution PosTrainer::FeatureTags(
    const std::map<std::string, TagDistribution>& table, const std::string& feature,
    const TagDistribution& prior) {
  TagDistribution result;
  auto counts = table.find(feature);
  double total = 0;
  if (counts != table.end()) {
    for (const auto& entry : counts->second) total += entry.second;
  }
  for (const auto& [tag, p] : prior) {
    double count = 0;
    if (counts != table.end()) {
      auto seen = counts->second.find(tag);
      if (seen != counts->second.end()) count = seen->second;
    }
    result[tag] = (count + kFeaturePrior * p) / (total + kFeaturePrior);
  }
  return result;
}

void PosTrainer::GuessTags(const std::vector<std::string>& words,
                           const std::map<std::string, std::string>& given_tags) {
  TagDistribution prior = RareWordTags();
  if (prior.empty()) return;
  for (const std::string& word : words) {
    if (word.empty() || emissions_.count(word) > 0) continue;
    auto given = given_tags.find(word);
    if (given != given_tags.end() && tag_counts_.count(given->second) > 0) {
      // As likely as a word seen once with that tag.
      double weight = -std::log(static_cast<double>(tag_counts_.at(given->second)));
      guessed_[word] = {{given->second, weight}};
      ++stats_.given_words;
      continue;
    }
    CharacterSpan span = SpanOf(word);
    TagDistribution first =
        FeatureTags(first_character_tags_, word.substr(0, span.first_length), prior);
    TagDistribution last = FeatureTags(last_character_tags_, word.substr(span.last_start), prior);
    TagDistribution length = FeatureTags(length_tags_, LengthClass(span.count), prior);
    // The two characters and the length as independent evidence.
    TagDistribution combined;
    for (const auto& [tag, p] : prior) combined[tag] = first[tag] * last[tag] * length[tag] / (p * p);
    std::vector<std::pair<std::string, double>> weights = GuessWeights(combined);
    if (weights.empty()) continue;
    guessed_[word] = std::move(weights);
    ++stats_.guessed_words;
  }
  for (const auto& entry : last_character_tags_) {
    std::string key = new_seg::CSegmentTag::kLastCharacterMarker + entry.first;
    guessed_[key] = GuessWeights(FeatureTags(last_character_tags_, entry.first, prior));
  }
}

std::vector<std::string> PosTrainer::LastCharacterKeys() const {
  std::vector<std::string> keys;
  for (const auto& entry : last_character_tags_) {
    keys.push_back(new_seg::CSegmentTag::kLastCharacterMarker + entry.first);
  }
  return keys;
}

// ln P(word | tag) up to a constant, which does not matter: the weights of
// one word are only compared with each other. Tags below kLeastGuess of the
// (unnormalised) distribution are left out; the likeliest come first.
std::vector<std::pair<std::string, double>> PosTrainer::GuessWeights(
    const TagDistribution& tags) const {
  double total = 0;
  for (const auto& entry : tags) total += entry.second;
  std::vector<std::pair<std::string, double>> weights;
  for (const auto& [tag, p] : tags) {
    if (p / total < kLeastGuess) continue;
    weights.push_back({tag, std::log(p / total / static_cast<double>(tag_counts_.at(tag)))});
  }
  std::sort(weights.begin(), weights.end(), [&](const auto& a, const auto& b) {
    if (tags.at(a.first) != tags.at(b.first)) return tags.at(a.first) > tags.at(b.first);
    return TagRank(a.first) < TagRank(b.first);
  });
  return weights;
}

std::string PosTrainer::SourceText() const {
  std::string text = "# part-of-speech model estimated by zorvseg-train\n";
  text += "default-transition " + FixedDecimal(std::log(1.0 / kTagCount)) + "\n";
  std::vector<std::string> from_tags{kStart};
  for (const char* tag : kTags) from_tags.push_back(tag);
  for (const std::string& from : from_tags) {
    for (const char* to : kTags) {
      auto weight = transition_weights_.find({from, to});
      if (weight == transition_weights_.end()) continue;
      text += "transition " + from + " " + to + " " + FixedDecimal(weight->second) + "\n";
    }
  }
  for (const auto& [word, weights] : emission_weights_) {
    text += "word " + word;
    for (const auto& [tag, weight] : weights) text += " " + tag + ":" + FixedDecimal(weight);
    text += "\n";
  }
  for (const auto& [word, weights] : guessed_) {
    text += "word " + word;
    for (const auto& [tag, weight] : weights) text += " " + tag + ":" + FixedDecimal(weight);
    text += "\n";
  }
  // Words the dictionary does not hold are tagged like the words seen once.
  std::vector<std::pair<std::string, double>> unknown = UnknownWordTags();
  if (!unknown.empty()) {
    text += "unknown";
    for (const auto& [tag, weight] : unknown) text += " " + tag + ":" + FixedDecimal(weight);
    text += "\n";
  }
  // The file needs a name triple; the role model is not trained here.
  text += "name 1 2 3\n";
  return text;
}

}  // namespace zorvseg_tools
