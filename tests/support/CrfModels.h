// CRF models for the tests, written through the model writer the tools use
// and opened through the library's decoder.
#ifndef ZORVSEG_TESTS_SUPPORT_CRFMODELS_H_
#define ZORVSEG_TESTS_SUPPORT_CRFMODELS_H_

#include <memory>
#include <string>
#include <vector>

#include "common/CrfModel.h"
#include "crf/DecoderFeatureIndex.h"
#include "support/TestUtil.h"

namespace crf_test {

// A model with the given labels, column count and templates, no
// observations and zero transitions.
zorvseg_tools::CrfModel EmptyModel(const std::vector<std::string>& labels,
                                   uint32_t xsize,
                                   const std::vector<std::string>& templates);

// Saves the model in a temporary directory and opens it; the decoder's index
// lives as long as this object.
class OpenedModel {
 public:
  explicit OpenedModel(const zorvseg_tools::CrfModel& model);
  bool ok() const { return ok_; }
  const std::string& path() const { return path_; }
  new_seg::CRFPP::DecoderFeatureIndex* index() { return &index_; }

 private:
  testutil::TempDir dir_;
  std::string path_;
  new_seg::CRFPP::DecoderFeatureIndex index_;
  bool ok_ = false;
};

}  // namespace crf_test

#endif  // ZORVSEG_TESTS_SUPPORT_CRFMODELS_H_
