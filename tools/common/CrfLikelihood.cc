#include "common/CrfLikelihood.h"

#include <algorithm>
#include <cmath>
#include <thread>

namespace zorvseg_tools {

namespace {

// Gradient contributions are summed as fixed-point integers: integer sums do
// not depend on their order, so the result is the same whatever the number
// of threads. A contribution is at most 1 in size, so a weight's sum stays
// exact up to 2^31 occurrences.
const double kFixedPointScale = 4294967296.0;  // 2^32

inline int64_t FixedPoint(double value) { return std::llrint(value * kFixedPointScale); }

}  // namespace

struct CrfLikelihood::Work {
  std::vector<int64_t> gradient;
  std::vector<double> emission;  // [position][label], scores, then exp(score - max)
  std::vector<double> alpha;     // scaled forward and backward values
  std::vector<double> beta;
  std::vector<double> scale;     // per position
  std::vector<int64_t> marginal; // per label, of one position
};

CrfLikelihood::~CrfLikelihood() = default;

CrfLikelihood::CrfLikelihood(const CrfTrainingSet& set, std::size_t threads)
    : set_(set),
      ysize_(set.ysize()),
      parameter_count_(set.feature_count() * set.ysize() + set.ysize() * set.ysize()),
      transition_base_(set.feature_count() * set.ysize()) {
  // Ranges of about equal token counts.
  threads = std::max<std::size_t>(1, threads);
  std::size_t sequences = set.sequence_count();
  std::size_t first = 0;
  for (std::size_t t = 0; t < threads; ++t) {
    std::size_t goal = set.position_count() * (t + 1) / threads;
    std::size_t end = first;
    while (end < sequences && (t + 1 == threads || set.sequence_begin(end + 1) <= goal)) ++end;
    ranges_.push_back({first, end});
    first = end;
  }
  std::size_t longest = 0;
  for (std::size_t s = 0; s < sequences; ++s) {
    longest = std::max(longest, set.sequence_begin(s + 1) - set.sequence_begin(s));
  }
  work_.resize(ranges_.size());
  for (Work& work : work_) {
    work.gradient.resize(parameter_count_);
    work.emission.resize(longest * ysize_);
    work.alpha.resize(longest * ysize_);
    work.beta.resize(longest * ysize_);
    work.scale.resize(longest);
    work.marginal.resize(ysize_);
  }
  sequence_loss_.resize(sequences);
  exp_transitions_.resize(ysize_ * ysize_);
}

double CrfLikelihood::Evaluate(const double* w, double* gradient) {
  for (std::size_t i = 0; i < ysize_ * ysize_; ++i) {
    exp_transitions_[i] = std::exp(w[transition_base_ + i]);
  }
  std::vector<std::thread> threads;
  for (std::size_t t = 1; t < ranges_.size(); ++t) {
    threads.emplace_back([this, t, w]() { EvaluateRange(ranges_[t], w, &work_[t]); });
  }
  EvaluateRange(ranges_[0], w, &work_[0]);
  for (std::thread& thread : threads) thread.join();
  for (std::size_t i = 0; i < parameter_count_; ++i) {
    int64_t sum = 0;
    for (const Work& work : work_) sum += work.gradient[i];
    gradient[i] = static_cast<double>(sum) / kFixedPointScale;
  }
  // Sequence losses are added in sequence order, for the same reason.
  double loss = 0;
  for (double sequence_loss : sequence_loss_) loss += sequence_loss;
  return loss;
}

void CrfLikelihood::EvaluateRange(const Range& range, const double* w, Work* work) {
  std::fill(work->gradient.begin(), work->gradient.end(), 0);
  for (std::size_t s = range.first_sequence; s < range.end_sequence; ++s) {
    sequence_loss_[s] = EvaluateSequence(s, w, work);
  }
}

// Scaled forward-backward: alpha and beta are kept normalised per position,
// the scales multiply up to the partition function.
double CrfLikelihood::EvaluateSequence(std::size_t s, const double* w, Work* work) const {
  const std::size_t Y = ysize_;
  const std::size_t begin = set_.sequence_begin(s);
  const std::size_t length = set_.sequence_begin(s + 1) - begin;
  if (length == 0) return 0;
  const double* trans = w + transition_base_;
  const double* exp_trans = exp_transitions_.data();
  double* e = work->emission.data();
  double* alpha = work->alpha.data();
  double* beta = work->beta.data();
  double* scale = work->scale.data();

  double gold_score = 0;
  double log_z = 0;
  for (std::size_t t = 0; t < length; ++t) {
    double* row = e + t * Y;
    std::fill(row, row + Y, 0.0);
    for (const uint32_t* f = set_.features_begin(begin + t); f != set_.features_end(begin + t); ++f) {
      const double* weights = w + std::size_t{*f} * Y;
      for (std::size_t y = 0; y < Y; ++y) row[y] += weights[y];
    }
    uint16_t gold = set_.gold(begin + t);
    gold_score += row[gold];
    if (t > 0) gold_score += trans[set_.gold(begin + t - 1) * Y + gold];
    double top = *std::max_element(row, row + Y);
    log_z += top;
    for (std::size_t y = 0; y < Y; ++y) row[y] = std::exp(row[y] - top);
  }
  for (std::size_t t = 0; t < length; ++t) {
    double* a = alpha + t * Y;
    const double* row = e + t * Y;
    double sum = 0;
    for (std::size_t y = 0; y < Y; ++y) {
      double in = 1.0;
      if (t > 0) {
        in = 0;
        const double* prev = alpha + (t - 1) * Y;
        for (std::size_t k = 0; k < Y; ++k) in += prev[k] * exp_trans[k * Y + y];
      }
      a[y] = in * row[y];
      sum += a[y];
    }
    scale[t] = sum;
    for (std::size_t y = 0; y < Y; ++y) a[y] /= sum;
    log_z += std::log(sum);
  }
  std::fill(beta + (length - 1) * Y, beta + length * Y, 1.0);
  for (std::size_t t = length - 1; t-- > 0;) {
    const double* next = beta + (t + 1) * Y;
    const double* row = e + (t + 1) * Y;
    for (std::size_t k = 0; k < Y; ++k) {
      double sum = 0;
      for (std::size_t y = 0; y < Y; ++y) sum += exp_trans[k * Y + y] * row[y] * next[y];
      beta[t * Y + k] = sum / scale[t + 1];
    }
  }

  // Expected counts less observed counts.
  const int64_t one = FixedPoint(1.0);
  int64_t* gradient = work->gradient.data();
  int64_t* trans_gradient = gradient + transition_base_;
  int64_t* marginal = work->marginal.data();
  for (std::size_t t = 0; t < length; ++t) {
    const double* a = alpha + t * Y;
    const double* b = beta + t * Y;
    uint16_t gold = set_.gold(begin + t);
    for (std::size_t y = 0; y < Y; ++y) marginal[y] = FixedPoint(a[y] * b[y]);
    marginal[gold] -= one;
    for (const uint32_t* f = set_.features_begin(begin + t); f != set_.features_end(begin + t); ++f) {
      int64_t* g = gradient + std::size_t{*f} * Y;
      for (std::size_t y = 0; y < Y; ++y) g[y] += marginal[y];
    }
    if (t == 0) continue;
    const double* prev = alpha + (t - 1) * Y;
    const double* row = e + t * Y;
    double inverse_scale = 1.0 / scale[t];
    for (std::size_t k = 0; k < Y; ++k) {
      for (std::size_t y = 0; y < Y; ++y) {
        trans_gradient[k * Y + y] +=
            FixedPoint(prev[k] * exp_trans[k * Y + y] * row[y] * b[y] * inverse_scale);
      }
    }
    trans_gradient[set_.gold(begin + t - 1) * Y + gold] -= one;
  }
  return log_z - gold_score;
}

}  // namespace zorvseg_tools
