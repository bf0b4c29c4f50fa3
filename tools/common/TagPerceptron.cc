#include "common/TagPerceptron.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace zorvseg_tools {

namespace {
const uint32_t kShuffleSeed = 20240613;
const double kScoreFloor = -1e300;
}  // namespace

TagPerceptron::TagPerceptron(size_t tag_count)
    : tag_count_(tag_count), transitions_((tag_count + 1) * tag_count) {}

void TagPerceptron::AddWord(const std::vector<std::pair<int, double>>& candidates) {
  candidate_tags_.emplace_back();
  emissions_.emplace_back();
  for (const auto& [tag, weight] : candidates) {
    candidate_tags_.back().push_back(tag);
    emissions_.back().push_back(Weight{weight, 0});
  }
}

void TagPerceptron::SetTransition(int from, int to, double weight) {
  TransitionWeight(from, to) = Weight{weight, 0};
}

void TagPerceptron::AddSentence(std::vector<std::pair<uint32_t, int>> sentence) {
  if (!sentence.empty()) sentences_.push_back(std::move(sentence));
}

// The candidate index of each word on the best path; ties go to the
// earlier candidate, as in the tagger.
void TagPerceptron::Decode(const std::vector<std::pair<uint32_t, int>>& sentence,
                           std::vector<int>* best) {
  size_t n = sentence.size();
  if (scores_.size() < n) {
    scores_.resize(n);
    back_.resize(n);
  }
  for (size_t i = 0; i < n; ++i) {
    const std::vector<int>& tags = candidate_tags_[sentence[i].first];
    scores_[i].assign(tags.size(), kScoreFloor);
    back_[i].assign(tags.size(), 0);
    for (size_t k = 0; k < tags.size(); ++k) {
      double emission = emissions_[sentence[i].first][k].value;
      if (use_context_ && tags.size() > 1) emission += ContextScore(sentence, i, tags[k]);
      if (i == 0) {
        scores_[i][k] = TransitionWeight(static_cast<int>(tag_count_), tags[k]).value + emission;
        continue;
      }
      const std::vector<int>& previous = candidate_tags_[sentence[i - 1].first];
      for (size_t j = 0; j < previous.size(); ++j) {
        double score = scores_[i - 1][j] + TransitionWeight(previous[j], tags[k]).value;
        if (score > scores_[i][k]) {
          scores_[i][k] = score;
          back_[i][k] = static_cast<int>(j);
        }
      }
      scores_[i][k] += emission;
    }
  }
  best->assign(n, 0);
  double top = kScoreFloor;
  for (size_t k = 0; k < scores_[n - 1].size(); ++k) {
    if (scores_[n - 1][k] > top) {
      top = scores_[n - 1][k];
      (*best)[n - 1] = static_cast<int>(k);
    }
  }
  for (size_t i = n - 1; i > 0; --i) (*best)[i - 1] = back_[i][(*best)[i]];
}

size_t TagPerceptron::Train(size_t passes, double rate) {
  std::vector<size_t> order(sentences_.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::mt19937 random(kShuffleSeed);
  std::vector<int> best, gold;
  size_t wrong = 0;
  for (size_t pass = 0; pass < passes; ++pass) {
    wrong = 0;
    // Fisher-Yates with the generator's raw output, the same everywhere.
    for (size_t i = order.size(); i > 1; --i) std::swap(order[i - 1], order[random() % i]);
    for (size_t index : order) {
      const std::vector<std::pair<uint32_t, int>>& sentence = sentences_[index];
      Decode(sentence, &best);
      gold.assign(sentence.size(), 0);
      for (size_t i = 0; i < sentence.size(); ++i) {
        const std::vector<int>& tags = candidate_tags_[sentence[i].first];
        for (size_t k = 0; k < tags.size(); ++k) {
          if (tags[k] == sentence[i].second) gold[i] = static_cast<int>(k);
        }
      }
      int gold_previous = static_cast<int>(tag_count_), best_previous = gold_previous;
      for (size_t i = 0; i < sentence.size(); ++i) {
        const std::vector<int>& tags = candidate_tags_[sentence[i].first];
        int gold_tag = tags[gold[i]], best_tag = tags[best[i]];
        if (gold_tag != best_tag) {
          ++wrong;
          Update(emissions_[sentence[i].first][gold[i]], rate);
          Update(emissions_[sentence[i].first][best[i]], -rate);
          if (use_context_) {
            UpdateContext(sentence, i, gold_tag, rate);
            UpdateContext(sentence, i, best_tag, -rate);
          }
        }
        if (gold_tag != best_tag || gold_previous != best_previous) {
          Update(TransitionWeight(gold_previous, gold_tag), rate);
          Update(TransitionWeight(best_previous, best_tag), -rate);
        }
        gold_previous = gold_tag;
        best_previous = best_tag;
      }
      ++step_;
    }
  }
  return wrong;
}

double TagPerceptron::ContextScore(const std::vector<std::pair<uint32_t, int>>& sentence,
                                   size_t i, int tag) const {
  double score = 0;
  if (i > 0) {
    auto found = context_.find(ContextKey(0, sentence[i - 1].first, tag));
    if (found != context_.end()) score += found->second.value;
  }
  if (i + 1 < sentence.size()) {
    auto found = context_.find(ContextKey(1, sentence[i + 1].first, tag));
    if (found != context_.end()) score += found->second.value;
  }
  return score;
}

void TagPerceptron::UpdateContext(const std::vector<std::pair<uint32_t, int>>& sentence,
                                  size_t i, int tag, double change) {
  if (i > 0) Update(context_[ContextKey(0, sentence[i - 1].first, tag)], change);
  if (i + 1 < sentence.size()) Update(context_[ContextKey(1, sentence[i + 1].first, tag)], change);
}

std::vector<TagPerceptron::ContextWeight> TagPerceptron::ContextWeights(double least) const {
  std::vector<ContextWeight> weights;
  for (const auto& [key, weight] : context_) {
    double value = Averaged(weight);
    if (std::fabs(value) < least) continue;
    weights.push_back({static_cast<int>(key & 1), static_cast<uint32_t>(key >> 9),
                       static_cast<int>((key >> 1) & 0xFF), value});
  }
  std::sort(weights.begin(), weights.end(), [](const ContextWeight& a, const ContextWeight& b) {
    if (a.side != b.side) return a.side < b.side;
    if (a.word != b.word) return a.word < b.word;
    return a.tag < b.tag;
  });
  return weights;
}

double TagPerceptron::Averaged(const Weight& weight) const {
  return weight.value - weight.updates / static_cast<double>(step_);
}

double TagPerceptron::Emission(size_t word, size_t candidate) const {
  return Averaged(emissions_[word][candidate]);
}

double TagPerceptron::Transition(int from, int to) const {
  return Averaged(transitions_[from * tag_count_ + to]);
}

}  // namespace zorvseg_tools
