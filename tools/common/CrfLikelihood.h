// The training objective of a linear-chain CRF: the negative log-likelihood
// of the gold label sequences and its gradient, by forward-backward over
// every sequence, split across threads.
//
// Parameters: for feature f and label y the weight at f * ysize + y, then
// the ysize x ysize transition weights (row: previous label).
#ifndef ZORVSEG_TOOLS_COMMON_CRFLIKELIHOOD_H_
#define ZORVSEG_TOOLS_COMMON_CRFLIKELIHOOD_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/CrfTrainingSet.h"

namespace zorvseg_tools {

class CrfLikelihood {
 public:
  // Sequences are shared out in `threads` ranges; the result does not
  // depend on the number of threads, nor on their timing.
  CrfLikelihood(const CrfTrainingSet& set, std::size_t threads);
  ~CrfLikelihood();

  std::size_t parameter_count() const { return parameter_count_; }

  // Negative log-likelihood at w; its gradient goes to gradient.
  double Evaluate(const double* w, double* gradient);

 private:
  struct Range {
    std::size_t first_sequence;
    std::size_t end_sequence;
  };
  struct Work;  // one thread's scratch space and partial gradient

  void EvaluateRange(const Range& range, const double* w, Work* work);
  double EvaluateSequence(std::size_t s, const double* w, Work* work) const;

  const CrfTrainingSet& set_;
  std::size_t ysize_;
  std::size_t parameter_count_;
  std::size_t transition_base_;
  std::vector<Range> ranges_;
  std::vector<Work> work_;
  std::vector<double> exp_transitions_;  // exp of the transition weights
  std::vector<double> sequence_loss_;
};

}  // namespace zorvseg_tools

#endif  // ZORVSEG_TOOLS_COMMON_CRFLIKELIHOOD_H_
