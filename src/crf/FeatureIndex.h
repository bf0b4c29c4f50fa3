// The model a CRF tagger decodes with: labels, templates and weights.
//
// A feature id addresses ysize consecutive weights, one per label. The
// decoder's model (DecoderFeatureIndex) finds the ids of a token position by
// looking its observation strings up in tries.
#ifndef ZORVSEG_CRF_FEATUREINDEX_H_
#define ZORVSEG_CRF_FEATUREINDEX_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "crf/UnigramTemplates.h"
#include "crf/whatlog.h"

namespace new_seg {
namespace CRFPP {

class FeatureIndex {
 public:
  FeatureIndex() = default;
  virtual ~FeatureIndex() = default;
  FeatureIndex(const FeatureIndex&) = delete;
  FeatureIndex& operator=(const FeatureIndex&) = delete;

  // Weight block base of an observation string in the word trie (word true)
  // or the part-of-speech trie, or -1.
  virtual int getID(const char* key, bool word) const = 0;
  // Finds, for every template, the weight block of its observation string at
  // position pos; the node strings must already be those of pos.
  virtual void updateRules(UnigramTemplates* templs, std::size_t pos) const = 0;

  std::size_t ysize() const { return y_.size(); }
  const char* y(std::size_t i) const { return y_[i].c_str(); }
  std::size_t xsize() const { return xsize_; }
  std::size_t size() const { return maxid_; }
  const std::vector<std::string>& unigram_templs() const { return unigram_templs_; }
  const std::vector<std::string>& bigram_templs() const { return bigram_templs_; }
  const float* alpha_float() const { return alpha_float_; }
  double cost_factor() const { return cost_factor_; }
  void set_cost_factor(double cost_factor) { cost_factor_ = cost_factor; }
  const char* what() { return what_.str(); }

 protected:
  uint32_t maxid_ = 0;
  const float* alpha_float_ = nullptr;
  double cost_factor_ = 1.0;
  uint32_t xsize_ = 0;
  std::vector<std::string> unigram_templs_;
  std::vector<std::string> bigram_templs_;
  std::vector<std::string> y_;
  whatlog what_;
};

}  // namespace CRFPP
}  // namespace new_seg

#endif  // ZORVSEG_CRF_FEATUREINDEX_H_
