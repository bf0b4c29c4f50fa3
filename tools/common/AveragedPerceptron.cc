#include "common/AveragedPerceptron.h"

#include <random>

namespace zorvseg_tools {

namespace {

const uint32_t kShuffleSeed = 20240601;

// Fisher-Yates with the generator's raw output, the same on every platform.
std::vector<std::size_t> ShuffledOrder(std::size_t count, std::size_t epoch) {
  std::vector<std::size_t> order(count);
  for (std::size_t i = 0; i < count; ++i) order[i] = i;
  std::mt19937 rng(kShuffleSeed + static_cast<uint32_t>(epoch));
  for (std::size_t i = count; i > 1; --i) std::swap(order[i - 1], order[rng() % i]);
  return order;
}

}  // namespace

AveragedPerceptron::AveragedPerceptron(const CrfTrainingSet& set)
    : set_(set),
      ysize_(set.ysize()),
      transition_base_(set.feature_count() * set.ysize()),
      weights_(transition_base_ + ysize_ * ysize_, 0.0),
      step_sums_(weights_.size(), 0.0) {}

std::size_t AveragedPerceptron::Epoch(std::size_t epoch) {
  std::size_t errors = 0;
  std::vector<uint16_t> predicted;
  for (std::size_t s : ShuffledOrder(set_.sequence_count(), epoch)) {
    Decode(s, &predicted);
    std::size_t begin = set_.sequence_begin(s);
    for (std::size_t t = 0; t < predicted.size(); ++t) {
      uint16_t gold = set_.gold(begin + t);
      if (predicted[t] != gold) {
        ++errors;
        Update(begin + t, gold, 1);
        Update(begin + t, predicted[t], -1);
      }
      if (t == 0) continue;
      uint16_t gold_prev = set_.gold(begin + t - 1);
      if (predicted[t] != gold || predicted[t - 1] != gold_prev) {
        UpdateTransition(gold_prev, gold, 1);
        UpdateTransition(predicted[t - 1], predicted[t], -1);
      }
    }
    ++step_;
  }
  return errors;
}

void AveragedPerceptron::Update(std::size_t position, uint16_t label, double delta) {
  for (const uint32_t* f = set_.features_begin(position); f != set_.features_end(position); ++f) {
    std::size_t i = std::size_t{*f} * ysize_ + label;
    weights_[i] += delta;
    step_sums_[i] += step_ * delta;
  }
}

void AveragedPerceptron::UpdateTransition(uint16_t from, uint16_t to, double delta) {
  std::size_t i = transition_base_ + std::size_t{from} * ysize_ + to;
  weights_[i] += delta;
  step_sums_[i] += step_ * delta;
}

// Viterbi with the current weights; ties go to the lower label, as in the
// decoder.
void AveragedPerceptron::Decode(std::size_t s, std::vector<uint16_t>* labels) {
  const std::size_t Y = ysize_;
  const std::size_t begin = set_.sequence_begin(s);
  const std::size_t length = set_.sequence_begin(s + 1) - begin;
  emission_.assign(length * Y, 0.0);
  best_.assign(length * Y, 0.0);
  back_.assign(length * Y, 0);
  for (std::size_t t = 0; t < length; ++t) {
    for (const uint32_t* f = set_.features_begin(begin + t); f != set_.features_end(begin + t); ++f) {
      const double* w = &weights_[std::size_t{*f} * Y];
      for (std::size_t y = 0; y < Y; ++y) emission_[t * Y + y] += w[y];
    }
  }
  const double* trans = &weights_[transition_base_];
  for (std::size_t y = 0; y < Y; ++y) best_[y] = emission_[y];
  for (std::size_t t = 1; t < length; ++t) {
    for (std::size_t y = 0; y < Y; ++y) {
      double top = -1e300;
      for (std::size_t k = 0; k < Y; ++k) {
        double score = trans[k * Y + y] + best_[(t - 1) * Y + k];
        if (score > top) {
          top = score;
          back_[t * Y + y] = static_cast<uint16_t>(k);
        }
      }
      best_[t * Y + y] = top + emission_[t * Y + y];
    }
  }
  labels->assign(length, 0);
  if (length == 0) return;
  uint16_t label = 0;
  for (std::size_t y = 1; y < Y; ++y) {
    if (best_[(length - 1) * Y + y] > best_[(length - 1) * Y + label]) label = static_cast<uint16_t>(y);
  }
  for (std::size_t t = length; t-- > 0;) {
    (*labels)[t] = label;
    label = back_[t * Y + label];
  }
}

std::vector<double> AveragedPerceptron::AveragedWeights() const {
  std::vector<double> average(weights_.size());
  for (std::size_t i = 0; i < weights_.size(); ++i) {
    average[i] = weights_[i] - step_sums_[i] / step_;
  }
  return average;
}

}  // namespace zorvseg_tools
