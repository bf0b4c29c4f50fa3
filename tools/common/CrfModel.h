// A CRF model in memory, as trainers produce it, and its version-200 file
// (the layout the library's decoder maps; see crf/DecoderFeatureIndex.h).
//
// Observations are the strings the unigram templates produce (see
// crf/ObservationExtractor.h); each owns a block of slots x labels weights:
// 10 slots in the word trie (templates U00-U09), 6 in the part-of-speech
// trie (U10-U15), the weight for slot s and label y at s * ysize + y. The
// empty word observation is the block that templates without a body read;
// the file always has it, at weight 0.
#ifndef ZORVSEG_TOOLS_COMMON_CRFMODEL_H_
#define ZORVSEG_TOOLS_COMMON_CRFMODEL_H_

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace zorvseg_tools {

class CrfModel {
 public:
  typedef std::map<std::string, std::vector<float>> Observations;

  double cost_factor = 1.0;
  uint32_t xsize = 1;  // observation columns per token
  std::vector<std::string> labels;
  std::vector<std::string> unigram_templates;  // "U00:..." .. "U15:..."
  std::vector<std::string> bigram_templates;   // "B..."
  Observations word_observations;  // blocks of kWordSlots * ysize weights
  Observations pos_observations;   // blocks of kPosSlots * ysize weights
  std::vector<float> transitions;  // ysize x ysize, row = previous label

  std::size_t ysize() const { return labels.size(); }
  // The weight block of an observation, created zero when new.
  std::vector<float>& WordBlock(const std::string& key);
  std::vector<float>& PosBlock(const std::string& key);

  // "" when the model can be written, otherwise what is wrong with it.
  std::string Check() const;

  // Writes the model file through a temporary file renamed when complete.
  // False with the reason in *error.
  bool Save(const std::string& path, std::string* error) const;
  // Reads a model file through the library's decoder (so whatever it
  // refuses is refused here too). Saving a loaded file gives it back byte
  // for byte.
  bool Load(const std::string& path, std::string* error);
};

}  // namespace zorvseg_tools

#endif  // ZORVSEG_TOOLS_COMMON_CRFMODEL_H_
