#include "common/CrfTrainer.h"

#include <lbfgs.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "common/AveragedPerceptron.h"
#include "common/CrfLikelihood.h"
#include "crf/UnigramTemplates.h"

namespace zorvseg_tools {

namespace {

// What liblbfgs calls back with.
struct LbfgsProblem {
  CrfLikelihood* likelihood;
  double c2;
  bool verbose;
  int iterations;
};

lbfgsfloatval_t EvaluateObjective(void* instance, const lbfgsfloatval_t* w,
                                  lbfgsfloatval_t* gradient, const int n,
                                  const lbfgsfloatval_t) {
  LbfgsProblem* problem = static_cast<LbfgsProblem*>(instance);
  double loss = problem->likelihood->Evaluate(w, gradient);
  if (problem->c2 > 0) {
    for (int i = 0; i < n; ++i) {
      loss += problem->c2 / 2 * w[i] * w[i];
      gradient[i] += problem->c2 * w[i];
    }
  }
  return loss;
}

int ReportProgress(void* instance, const lbfgsfloatval_t*, const lbfgsfloatval_t*,
                   const lbfgsfloatval_t loss, const lbfgsfloatval_t, const lbfgsfloatval_t,
                   const lbfgsfloatval_t, int, int k, int evaluations) {
  LbfgsProblem* problem = static_cast<LbfgsProblem*>(instance);
  problem->iterations = k;
  if (problem->verbose) {
    std::fprintf(stderr, "iteration %d: loss %.6f (%d evaluations)\n", k, loss, evaluations);
  }
  return 0;
}

std::string LbfgsStatus(int status) {
  switch (status) {
    case LBFGS_SUCCESS: return "converged";
    case LBFGS_STOP: return "loss no longer improving";
    case LBFGSERR_MAXIMUMITERATION: return "iteration limit";
    case LBFGSERR_ROUNDING_ERROR: return "rounding limit";
    case LBFGSERR_MAXIMUMLINESEARCH: return "line search limit";
    case LBFGSERR_OUTOFMEMORY: return "out of memory";
    default: return "optimiser status " + std::to_string(status);
  }
}

bool NonZero(const double* weights, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    if (static_cast<float>(weights[i]) != 0.0f) return true;
  }
  return false;
}

}  // namespace

bool CrfTrainer::Train(const LabelledSequences& data, std::size_t xsize,
                       const std::vector<std::string>& templates, CrfModel* model,
                       CrfTrainingReport* report, std::string* error) {
  if (data.tokens.empty()) {
    *error = "no sequence to train on";
    return false;
  }
  if (!set_.Build(data, xsize, templates, 1, error)) return false;
  report->cut_off = options_.min_count;
  if (options_.max_bytes != 0) {
    report->cut_off = set_.CutOffFor(options_.max_bytes, options_.min_count);
  }
  set_.ApplyCutOff(report->cut_off);
  std::vector<double> weights;
  if (options_.algorithm == CrfTrainerOptions::Algorithm::kPerceptron) {
    FitPerceptron(&weights, report);
  } else if (!FitLbfgs(&weights, report, error)) {
    return false;
  }
  FillModel(weights, xsize, model);
  return true;
}

bool CrfTrainer::FitLbfgs(std::vector<double>* weights, CrfTrainingReport* report,
                          std::string* error) {
  CrfLikelihood likelihood(set_, options_.threads);
  int n = static_cast<int>(likelihood.parameter_count());
  lbfgsfloatval_t* w = lbfgs_malloc(n);
  if (w == nullptr) {
    *error = "out of memory for " + std::to_string(n) + " weights";
    return false;
  }
  std::fill(w, w + n, 0.0);
  lbfgs_parameter_t parameters;
  lbfgs_parameter_init(&parameters);
  parameters.max_iterations = static_cast<int>(options_.iterations);
  parameters.past = 10;
  parameters.delta = options_.epsilon;
  if (options_.c1 > 0) {
    parameters.orthantwise_c = options_.c1;
    parameters.orthantwise_start = 0;
    parameters.orthantwise_end = n;
    parameters.linesearch = LBFGS_LINESEARCH_BACKTRACKING;
  }
  LbfgsProblem problem{&likelihood, options_.c2, options_.verbose, 0};
  lbfgsfloatval_t loss = 0;
  int status = lbfgs(n, w, &loss, EvaluateObjective, ReportProgress, &problem, &parameters);
  weights->assign(w, w + n);
  lbfgs_free(w);
  report->loss = loss;
  report->iterations = static_cast<std::size_t>(problem.iterations);
  report->stop_reason = LbfgsStatus(status);
  // Running out of iterations or of line-search precision still leaves a
  // usable model; other failures do not.
  if (status < 0 && status != LBFGSERR_MAXIMUMITERATION && status != LBFGSERR_ROUNDING_ERROR &&
      status != LBFGSERR_MAXIMUMLINESEARCH) {
    *error = "training failed: " + report->stop_reason;
    return false;
  }
  return true;
}

void CrfTrainer::FitPerceptron(std::vector<double>* weights, CrfTrainingReport* report) {
  AveragedPerceptron perceptron(set_);
  std::size_t errors = 0;
  for (std::size_t epoch = 0; epoch < options_.iterations; ++epoch) {
    errors = perceptron.Epoch(epoch);
    report->iterations = epoch + 1;
    if (options_.verbose) std::fprintf(stderr, "epoch %zu: %zu tokens wrong\n", epoch + 1, errors);
    if (errors == 0) break;
  }
  report->loss = static_cast<double>(errors);
  report->stop_reason = errors == 0 ? "no training error" : "epoch limit";
  *weights = perceptron.AveragedWeights();
}

// Observations whose weights are all zero are left out: the decoder adds
// nothing for a string it does not find, just as for a zero block.
void CrfTrainer::FillModel(const std::vector<double>& weights, std::size_t xsize,
                           CrfModel* model) const {
  const std::size_t Y = set_.ysize();
  *model = CrfModel();
  model->xsize = static_cast<uint32_t>(xsize);
  model->labels = set_.labels();
  model->unigram_templates = set_.unigram_templates();
  model->bigram_templates = {"B"};
  for (std::size_t f = 0; f < set_.feature_count(); ++f) {
    const double* w = &weights[f * Y];
    if (!NonZero(w, Y)) continue;
    const CrfTrainingSet::Feature& feature = set_.features()[f];
    const CrfTrainingSet::Observation& o = set_.observations()[feature.observation];
    std::vector<float>& block = o.trie_tag == new_seg::CRFPP::kWordTrie ? model->WordBlock(o.key)
                                                                         : model->PosBlock(o.key);
    for (std::size_t y = 0; y < Y; ++y) block[feature.slot * Y + y] = static_cast<float>(w[y]);
  }
  const double* transitions = &weights[set_.feature_count() * Y];
  model->transitions.assign(transitions, transitions + Y * Y);
}

}  // namespace zorvseg_tools
