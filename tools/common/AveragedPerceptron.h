// Averaged structured perceptron for a linear-chain model: each sequence is
// decoded with the current weights and, where the best path differs from
// the gold one, gold features gain and predicted ones lose; the result is
// the average of the weights over all steps. Sequences are visited in an
// order shuffled by a fixed seed, so training is deterministic.
#ifndef ZORVSEG_TOOLS_COMMON_AVERAGEDPERCEPTRON_H_
#define ZORVSEG_TOOLS_COMMON_AVERAGEDPERCEPTRON_H_

#include <cstddef>
#include <vector>

#include "common/CrfTrainingSet.h"

namespace zorvseg_tools {

class AveragedPerceptron {
 public:
  explicit AveragedPerceptron(const CrfTrainingSet& set);

  // One pass over the data; returns the number of tokens labelled wrongly.
  std::size_t Epoch(std::size_t epoch);

  // The averaged weights, laid out as the CRF objective lays them out.
  std::vector<double> AveragedWeights() const;

 private:
  void Decode(std::size_t s, std::vector<uint16_t>* labels);
  void Update(std::size_t position, uint16_t label, double delta);
  void UpdateTransition(uint16_t from, uint16_t to, double delta);

  const CrfTrainingSet& set_;
  std::size_t ysize_;
  std::size_t transition_base_;
  std::vector<double> weights_;
  std::vector<double> step_sums_;  // sum of step * change, for the average
  double step_ = 1;
  std::vector<double> emission_;
  std::vector<double> best_;
  std::vector<uint16_t> back_;
};

}  // namespace zorvseg_tools

#endif  // ZORVSEG_TOOLS_COMMON_AVERAGEDPERCEPTRON_H_
