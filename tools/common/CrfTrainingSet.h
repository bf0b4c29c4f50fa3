// Training data for the CRF trainer: token sequences read from a column
// file, their unigram features extracted through the decoder's own template
// code, counted and cut off by frequency.
//
// A column file has one token per line, columns separated by TAB, the gold
// label last, and a blank line after each sequence. Columns are cut as the
// tagger cuts them (empty pieces are skipped), so a model sees in training
// exactly the columns it will see when decoding.
#ifndef ZORVSEG_TOOLS_COMMON_CRFTRAININGSET_H_
#define ZORVSEG_TOOLS_COMMON_CRFTRAININGSET_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "crf/ObservationExtractor.h"

namespace zorvseg_tools {

// Token sequences of a column file with their gold labels.
struct LabelledSequences {
  std::vector<new_seg::CRFPP::TokenTable> tokens;  // observation columns
  std::vector<std::vector<std::string>> labels;    // gold label per token
  std::size_t lines = 0;
  std::size_t skipped_sequences = 0;  // a token the tagger could not take
  std::size_t first_bad_line = 0;     // line of the first such token
  std::string first_problem;
};

// Reads a column file (GBK text). Every token must have xsize observation
// columns (0: as many as the first token) plus the label; a sequence with a
// token of another column count, of more than 10 columns or of a line of
// 8192 bytes or more is skipped and counted.
void ReadColumnFile(const std::string& text, std::size_t xsize,
                    LabelledSequences* out);

class CrfTrainingSet {
 public:
  struct Feature {
    uint32_t observation;  // index into observations()
    uint32_t slot;
  };
  struct Observation {
    int trie_tag;
    std::string key;
  };

  // Extracts the features of every sequence. Features seen fewer than
  // min_count times are dropped; labels are the gold labels in byte order.
  // False with a message when a template cannot be used: it does not
  // compile, or it is a bigram template with references (the decoder has
  // only label-to-label transitions).
  bool Build(const LabelledSequences& data, std::size_t xsize,
             const std::vector<std::string>& templates, std::size_t min_count,
             std::string* error);

  // The smallest cut-off from min_count up whose model would fit max_bytes
  // (weights plus an allowance for the tries), given the counts of Build.
  std::size_t CutOffFor(uint64_t max_bytes, std::size_t min_count) const;
  // Drops the features seen fewer than min_count times.
  void ApplyCutOff(std::size_t min_count);

  std::size_t ysize() const { return labels_.size(); }
  std::size_t sequence_count() const { return sequence_begin_.size() - 1; }
  std::size_t position_count() const { return gold_.size(); }
  std::size_t feature_count() const { return features_.size(); }
  std::size_t raw_feature_count() const { return raw_features_.size(); }

  // Positions of sequence s: [sequence_begin(s), sequence_begin(s + 1)).
  std::size_t sequence_begin(std::size_t s) const { return sequence_begin_[s]; }
  uint16_t gold(std::size_t position) const { return gold_[position]; }
  // Feature ids of a position, in template order.
  const uint32_t* features_begin(std::size_t position) const {
    return feature_ids_.data() + feature_begin_[position];
  }
  const uint32_t* features_end(std::size_t position) const {
    return feature_ids_.data() + feature_begin_[position + 1];
  }

  const std::vector<std::string>& labels() const { return labels_; }
  const std::vector<std::string>& unigram_templates() const { return unigram_templates_; }
  const std::vector<Feature>& features() const { return features_; }
  const std::vector<Observation>& observations() const { return observations_; }

 private:
  class Interner;
  bool SplitTemplates(const std::vector<std::string>& templates, std::size_t xsize,
                      std::string* error);

  std::vector<std::string> labels_;
  std::vector<std::string> unigram_templates_;
  std::vector<uint32_t> sequence_begin_{0};
  std::vector<uint16_t> gold_;
  // Every feature seen, with its count; positions refer to them until the
  // cut-off renumbers the kept ones.
  std::vector<Feature> raw_features_;
  std::vector<uint32_t> raw_counts_;
  std::vector<uint32_t> raw_ids_;          // per position, in template order
  std::vector<uint32_t> raw_begin_{0};
  std::vector<Observation> observations_;
  std::vector<Feature> features_;          // kept features
  std::vector<uint32_t> feature_ids_;      // per position, kept only
  std::vector<uint32_t> feature_begin_{0};
};

}  // namespace zorvseg_tools

#endif  // ZORVSEG_TOOLS_COMMON_CRFTRAININGSET_H_
