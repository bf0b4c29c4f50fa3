// Trains a linear-chain CRF model from labelled token sequences and writes
// it through the model writer, for the library's decoder.
//
// Features come from the decoder's own template code; those seen fewer than
// a cut-off are dropped. Training is a CRF fitted with L-BFGS (L2, or L1
// through OWL-QN) or an averaged structured perceptron. Both are
// deterministic: the same data, templates and options give the same bytes.
#ifndef ZORVSEG_TOOLS_COMMON_CRFTRAINER_H_
#define ZORVSEG_TOOLS_COMMON_CRFTRAINER_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/CrfModel.h"
#include "common/CrfTrainingSet.h"

namespace zorvseg_tools {

struct CrfTrainerOptions {
  enum class Algorithm { kLbfgs, kPerceptron };
  Algorithm algorithm = Algorithm::kLbfgs;
  std::size_t min_count = 1;      // features seen fewer times are dropped
  uint64_t max_bytes = 0;         // raise the cut-off until the model fits (0: no limit)
  double c2 = 1.0;                // L2 penalty: c2 / 2 * sum of squared weights
  double c1 = 0.0;                // L1 penalty: c1 * sum of absolute weights
  std::size_t iterations = 300;   // L-BFGS iterations or perceptron epochs
  double epsilon = 1e-4;          // L-BFGS stops when the loss improves less
  std::size_t threads = 2;        // for the L-BFGS gradient
  bool verbose = false;           // print progress to stderr
};

struct CrfTrainingReport {
  std::size_t cut_off = 0;
  std::size_t iterations = 0;
  double loss = 0;          // final objective (L-BFGS) or training errors (perceptron)
  std::string stop_reason;
};

class CrfTrainer {
 public:
  explicit CrfTrainer(const CrfTrainerOptions& options) : options_(options) {}

  // Extracts features from data with the templates, trains and fills model.
  // False with a message in *error when the templates or data cannot be used
  // or the optimiser fails.
  bool Train(const LabelledSequences& data, std::size_t xsize,
             const std::vector<std::string>& templates, CrfModel* model,
             CrfTrainingReport* report, std::string* error);

  const CrfTrainingSet& training_set() const { return set_; }

 private:
  bool FitLbfgs(std::vector<double>* weights, CrfTrainingReport* report, std::string* error);
  void FitPerceptron(std::vector<double>* weights, CrfTrainingReport* report);
  void FillModel(const std::vector<double>& weights, std::size_t xsize, CrfModel* model) const;

  CrfTrainerOptions options_;
  CrfTrainingSet set_;
};

}  // namespace zorvseg_tools

#endif  // ZORVSEG_TOOLS_COMMON_CRFTRAINER_H_
