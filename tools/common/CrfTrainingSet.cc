#include "common/CrfTrainingSet.h"

#include <algorithm>
#include <map>
#include <set>
#include <unordered_map>

#include "crf/Allocator.h"
#include "crf/UnigramTemplates.h"

namespace zorvseg_tools {

namespace {

using new_seg::CRFPP::kPosSlots;
using new_seg::CRFPP::kWordSlots;
using new_seg::CRFPP::kWordTrie;
using new_seg::CRFPP::MAX_X_SIZE;

const std::size_t kMaxLabels = 65535;
// What a key byte costs in a trie, roughly and generously.
const uint64_t kTrieBytesPerKeyByte = 8;

// The non-empty TAB-separated pieces of a line, as the tagger keeps them.
std::vector<std::string> Pieces(const std::string& line) {
  std::vector<std::string> pieces;
  std::size_t start = 0;
  while (start <= line.size()) {
    std::size_t tab = line.find('\t', start);
    if (tab == std::string::npos) tab = line.size();
    if (tab > start) pieces.push_back(line.substr(start, tab - start));
    start = tab + 1;
  }
  return pieces;
}

}  // namespace

void ReadColumnFile(const std::string& text, std::size_t xsize, LabelledSequences* out) {
  new_seg::CRFPP::TokenTable tokens;
  std::vector<std::string> labels;
  bool bad = false;
  auto finish = [&]() {
    if (bad) {
      ++out->skipped_sequences;
    } else if (!tokens.empty()) {
      out->tokens.push_back(std::move(tokens));
      out->labels.push_back(std::move(labels));
    }
    tokens.clear();
    labels.clear();
    bad = false;
  };
  auto refuse = [&](const std::string& problem) {
    if (out->first_bad_line == 0) {
      out->first_bad_line = out->lines;
      out->first_problem = problem;
    }
    bad = true;
  };
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    ++out->lines;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) {
      finish();
      continue;
    }
    std::vector<std::string> pieces = Pieces(line);
    if (line.size() >= new_seg::CRFPP::Allocator::kStringBlockSize) {
      refuse("a line of 8192 bytes or more");
    } else if (pieces.size() < 2) {
      refuse("a token needs a column and its label");
    } else if (pieces.size() - 1 > MAX_X_SIZE) {
      refuse("more than 10 columns");
    } else if (xsize == 0 && out->tokens.empty() && tokens.empty() && !bad) {
      xsize = pieces.size() - 1;
    }
    if (pieces.size() >= 2 && pieces.size() - 1 != xsize && xsize != 0) {
      refuse(std::to_string(pieces.size() - 1) + " columns, not " + std::to_string(xsize));
    }
    if (bad || pieces.size() < 2) continue;
    labels.push_back(pieces.back());
    pieces.pop_back();
    tokens.push_back(std::move(pieces));
  }
  finish();
}

bool CrfTrainingSet::SplitTemplates(const std::vector<std::string>& templates,
                                    std::size_t xsize, std::string* error) {
  for (const std::string& templ : templates) {
    if (!templ.empty() && templ[0] == 'U') {
      unigram_templates_.push_back(templ);
    } else if (templ.empty() || templ[0] != 'B' || templ.find('%') != std::string::npos) {
      *error = "template '" + templ +
               "' cannot be used: unigram templates are U00..U15, and the only "
               "bigram template is B (label-to-label transitions)";
      return false;
    }
  }
  new_seg::CRFPP::ObservationExtractor extractor(unigram_templates_, xsize);
  if (!extractor.dropped().empty()) {
    *error = "template '" + extractor.dropped().front() +
             "' does not compile: its prefix is not U00..U15, or it reaches a row "
             "beyond 8 or a column beyond the " + std::to_string(xsize) + " columns";
    return false;
  }
  return true;
}

// Gives every distinct observation and (observation, slot) pair an id, in
// the order they are first seen.
class CrfTrainingSet::Interner {
 public:
  explicit Interner(CrfTrainingSet* set) : set_(set) {}

  void Add(const std::vector<std::vector<new_seg::CRFPP::Observation>>& positions) {
    for (const auto& position : positions) {
      for (const auto& o : position) set_->raw_ids_.push_back(FeatureId(o));
      set_->raw_begin_.push_back(static_cast<uint32_t>(set_->raw_ids_.size()));
    }
  }

 private:
  uint32_t FeatureId(const new_seg::CRFPP::Observation& o) {
    std::string key(1, static_cast<char>(o.trie_tag));
    key += o.key;
    auto observation =
        observation_ids_.emplace(key, static_cast<uint32_t>(set_->observations_.size()));
    if (observation.second) set_->observations_.push_back({o.trie_tag, o.key});
    uint64_t pair = uint64_t{observation.first->second} << 4 | o.slot;
    auto feature = feature_ids_.emplace(pair, static_cast<uint32_t>(set_->raw_features_.size()));
    if (feature.second) {
      set_->raw_features_.push_back({observation.first->second, static_cast<uint32_t>(o.slot)});
      set_->raw_counts_.push_back(0);
    }
    ++set_->raw_counts_[feature.first->second];
    return feature.first->second;
  }

  CrfTrainingSet* set_;
  std::unordered_map<std::string, uint32_t> observation_ids_;
  std::unordered_map<uint64_t, uint32_t> feature_ids_;
};

bool CrfTrainingSet::Build(const LabelledSequences& data, std::size_t xsize,
                           const std::vector<std::string>& templates, std::size_t min_count,
                           std::string* error) {
  if (!SplitTemplates(templates, xsize, error)) return false;
  std::set<std::string> label_set;
  for (const auto& labels : data.labels) label_set.insert(labels.begin(), labels.end());
  if (label_set.empty() || label_set.size() > kMaxLabels) {
    *error = "the training data has " + std::to_string(label_set.size()) +
             " labels (1 to 65535 can be trained)";
    return false;
  }
  labels_.assign(label_set.begin(), label_set.end());
  std::map<std::string, uint16_t> label_ids;
  for (const std::string& label : labels_) {
    label_ids.emplace(label, static_cast<uint16_t>(label_ids.size()));
  }

  new_seg::CRFPP::ObservationExtractor extractor(unigram_templates_, xsize);
  Interner interner(this);
  std::vector<std::vector<new_seg::CRFPP::Observation>> positions;
  for (std::size_t s = 0; s < data.tokens.size(); ++s) {
    extractor.Extract(data.tokens[s], &positions);
    interner.Add(positions);
    for (const std::string& label : data.labels[s]) gold_.push_back(label_ids[label]);
    sequence_begin_.push_back(static_cast<uint32_t>(gold_.size()));
  }
  ApplyCutOff(min_count);
  return true;
}

std::size_t CrfTrainingSet::CutOffFor(uint64_t max_bytes, std::size_t min_count) const {
  // An observation stays while any of its features reaches the cut-off.
  std::vector<uint32_t> best_count(observations_.size(), 0);
  for (std::size_t f = 0; f < raw_features_.size(); ++f) {
    uint32_t& best = best_count[raw_features_[f].observation];
    best = std::max(best, raw_counts_[f]);
  }
  std::map<uint32_t, uint64_t, std::greater<uint32_t>> bytes_by_count;
  for (std::size_t o = 0; o < observations_.size(); ++o) {
    std::size_t slots = observations_[o].trie_tag == kWordTrie ? kWordSlots : kPosSlots;
    bytes_by_count[best_count[o]] +=
        slots * ysize() * sizeof(float) + kTrieBytesPerKeyByte * (observations_[o].key.size() + 1);
  }
  uint64_t bytes = (kWordSlots + ysize()) * ysize() * sizeof(float);
  for (const auto& entry : bytes_by_count) {
    bytes += entry.second;
    // Observations seen this often no longer fit: keep only the more
    // frequent ones.
    if (bytes > max_bytes) return std::max<std::size_t>(min_count, entry.first + 1);
  }
  return min_count;
}

// Kept features are numbered by falling frequency (first seen first among
// equals): the weights the optimiser reads most often then share cache
// lines, which is most of the speed of training.
void CrfTrainingSet::ApplyCutOff(std::size_t min_count) {
  std::vector<uint32_t> kept;
  for (std::size_t f = 0; f < raw_features_.size(); ++f) {
    if (raw_counts_[f] >= min_count) kept.push_back(static_cast<uint32_t>(f));
  }
  std::stable_sort(kept.begin(), kept.end(),
                   [this](uint32_t a, uint32_t b) { return raw_counts_[a] > raw_counts_[b]; });
  std::vector<uint32_t> kept_id(raw_features_.size(), UINT32_MAX);
  features_.clear();
  for (uint32_t f : kept) {
    kept_id[f] = static_cast<uint32_t>(features_.size());
    features_.push_back(raw_features_[f]);
  }
  feature_ids_.clear();
  feature_begin_.assign(1, 0);
  for (std::size_t p = 0; p + 1 < raw_begin_.size(); ++p) {
    for (uint32_t i = raw_begin_[p]; i < raw_begin_[p + 1]; ++i) {
      if (kept_id[raw_ids_[i]] != UINT32_MAX) feature_ids_.push_back(kept_id[raw_ids_[i]]);
    }
    feature_begin_.push_back(static_cast<uint32_t>(feature_ids_.size()));
  }
}

}  // namespace zorvseg_tools
