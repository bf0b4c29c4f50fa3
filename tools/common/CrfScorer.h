// Scores a CRF model file on labelled sequences, decoding them through the
// library's own tagger: token accuracy, and precision, recall and F1 of the
// labelled chunks.
//
// Chunks follow the label markers: a label is a marker letter, optionally
// followed by a separator and a type ("B-PER"). B and S start a chunk, S and
// E end one, I and M continue a chunk of the same type (or start one when
// none is open); any other marker (O) is outside. Word segmentation with
// B/M/E/S labels makes every word a chunk.
#ifndef ZORVSEG_TOOLS_COMMON_CRFSCORER_H_
#define ZORVSEG_TOOLS_COMMON_CRFSCORER_H_

#include <cstddef>
#include <string>
#include <vector>

#include "common/CrfTrainingSet.h"

namespace zorvseg_tools {

struct CrfChunk {
  std::size_t begin;
  std::size_t end;
  std::string type;
  bool operator==(const CrfChunk& other) const {
    return begin == other.begin && end == other.end && type == other.type;
  }
  bool operator<(const CrfChunk& other) const {
    return begin != other.begin ? begin < other.begin
                                : end != other.end ? end < other.end : type < other.type;
  }
};

std::vector<CrfChunk> LabelChunks(const std::vector<std::string>& labels);

struct CrfScore {
  std::size_t sequences = 0;
  std::size_t skipped = 0;  // longer than the tagger holds
  std::size_t tokens = 0;
  std::size_t correct_tokens = 0;
  std::size_t gold_chunks = 0;
  std::size_t predicted_chunks = 0;
  std::size_t correct_chunks = 0;

  double accuracy() const { return tokens == 0 ? 0 : double(correct_tokens) / tokens; }
  double precision() const {
    return predicted_chunks == 0 ? 0 : double(correct_chunks) / predicted_chunks;
  }
  double recall() const { return gold_chunks == 0 ? 0 : double(correct_chunks) / gold_chunks; }
  double f1() const {
    double p = precision(), r = recall();
    return p + r == 0 ? 0 : 2 * p * r / (p + r);
  }
};

// False with a message when the model does not load or the tagger refuses a
// token.
bool ScoreCrfModel(const std::string& model_path, const LabelledSequences& data,
                   CrfScore* score, std::string* error);

}  // namespace zorvseg_tools

#endif  // ZORVSEG_TOOLS_COMMON_CRFSCORER_H_
