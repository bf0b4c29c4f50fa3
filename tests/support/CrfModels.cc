#include "support/CrfModels.h"

#include <gtest/gtest.h>

namespace crf_test {

zorvseg_tools::CrfModel EmptyModel(const std::vector<std::string>& labels,
                                   uint32_t xsize,
                                   const std::vector<std::string>& templates) {
  zorvseg_tools::CrfModel model;
  model.labels = labels;
  model.xsize = xsize;
  for (const std::string& templ : templates) {
    (templ[0] == 'B' ? model.bigram_templates : model.unigram_templates)
        .push_back(templ);
  }
  model.transitions.assign(labels.size() * labels.size(), 0.0f);
  return model;
}

OpenedModel::OpenedModel(const zorvseg_tools::CrfModel& model)
    : path_(dir_.File("model.dat")) {
  std::string error;
  if (!model.Save(path_, &error)) {
    ADD_FAILURE() << "cannot save the model: " << error;
    return;
  }
  ok_ = index_.open(path_.c_str());
  if (!ok_) ADD_FAILURE() << "cannot open the model: " << index_.what();
}

}  // namespace crf_test
