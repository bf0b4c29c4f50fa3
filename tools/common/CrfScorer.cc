#include "common/CrfScorer.h"

#include <algorithm>

#include "crf/DecoderFeatureIndex.h"
#include "crf/TaggerImpl.h"

namespace zorvseg_tools {

namespace {

std::string LabelType(const std::string& label) {
  return label.size() > 2 ? label.substr(2) : "";
}

std::size_t CountCommon(std::vector<CrfChunk> a, std::vector<CrfChunk> b) {
  std::sort(a.begin(), a.end());
  std::sort(b.begin(), b.end());
  std::vector<CrfChunk> common;
  std::set_intersection(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(common));
  return common.size();
}

}  // namespace

std::vector<CrfChunk> LabelChunks(const std::vector<std::string>& labels) {
  std::vector<CrfChunk> chunks;
  bool open = false;
  for (std::size_t t = 0; t < labels.size(); ++t) {
    char marker = labels[t].empty() ? 'O' : labels[t][0];
    std::string type = LabelType(labels[t]);
    bool inside = marker == 'I' || marker == 'M' || marker == 'E';
    bool continues = open && inside && chunks.back().type == type;
    if (!continues) open = false;
    if (!continues && (marker == 'B' || marker == 'S' || inside)) {
      chunks.push_back({t, t + 1, type});
      open = true;
    }
    if (open) chunks.back().end = t + 1;
    if (marker == 'E' || marker == 'S') open = false;
  }
  return chunks;
}

bool ScoreCrfModel(const std::string& model_path, const LabelledSequences& data,
                   CrfScore* score, std::string* error) {
  new_seg::CRFPP::DecoderFeatureIndex index;
  if (!index.open(model_path.c_str())) {
    *error = model_path + ": " + index.what();
    return false;
  }
  new_seg::CRFPP::TaggerImpl tagger;
  if (!tagger.open(&index, 0, 0)) {
    *error = tagger.what();
    return false;
  }
  for (std::size_t s = 0; s < data.tokens.size(); ++s) {
    const auto& tokens = data.tokens[s];
    if (tokens.size() > new_seg::CRFPP::MAX_X_NUM) {
      ++score->skipped;
      continue;
    }
    tagger.clear();
    for (const auto& token : tokens) {
      std::string line;
      for (const std::string& column : token) line += (line.empty() ? "" : "\t") + column;
      if (!tagger.add(line.c_str())) {
        *error = tagger.what();
        return false;
      }
    }
    if (!tagger.parse()) {
      *error = tagger.what();
      return false;
    }
    std::vector<std::string> predicted;
    for (std::size_t i = 0; i < tokens.size(); ++i) predicted.push_back(tagger.y2(i));
    const std::vector<std::string>& gold = data.labels[s];
    ++score->sequences;
    score->tokens += tokens.size();
    for (std::size_t i = 0; i < tokens.size(); ++i) score->correct_tokens += predicted[i] == gold[i];
    std::vector<CrfChunk> gold_chunks = LabelChunks(gold);
    std::vector<CrfChunk> predicted_chunks = LabelChunks(predicted);
    score->gold_chunks += gold_chunks.size();
    score->predicted_chunks += predicted_chunks.size();
    score->correct_chunks += CountCommon(gold_chunks, predicted_chunks);
  }
  return true;
}

}  // namespace zorvseg_tools
