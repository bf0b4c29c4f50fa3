// The observation strings a CRF model's unigram templates produce over a
// token table, worked out plainly: for every template at every position,
// the concatenated strings of its body and the weight slot it reads.
//
// The tagger finds the same strings incrementally while it walks the
// tries; trainers use this class, so that a model is trained on exactly the
// keys the tagger will look up. Templates compile through the tagger's own
// code and are dropped by the same rules.
#ifndef ZORVSEG_CRF_OBSERVATIONEXTRACTOR_H_
#define ZORVSEG_CRF_OBSERVATIONEXTRACTOR_H_

#include <cstddef>
#include <string>
#include <vector>

#include "crf/UnigramTemplates.h"

namespace new_seg {
namespace CRFPP {

// One firing template: its observation string in the word or the
// part-of-speech trie, and its slot in the observation's weight block. A
// template without a body reads the block at weight 0, which the model
// writer keeps for the empty observation of the word trie: it is reported
// as the empty string in the word trie, whatever its template number.
struct Observation {
  int trie_tag = kWordTrie;
  std::string key;
  std::size_t slot = 0;
};

// Tokens of one sequence, each with its observation columns.
typedef std::vector<std::vector<std::string>> TokenTable;

class ObservationExtractor {
 public:
  // Weight counts do not limit templates here (the model is still to be
  // written); ysize only scales slots, so 1 will do.
  ObservationExtractor(const std::vector<std::string>& unigram_templates,
                       std::size_t xsize);

  // Templates that did not compile, in the model's order.
  const std::vector<std::string>& dropped() const { return dropped_; }
  std::size_t template_count() const { return templs_.rules.size(); }

  // The observations of every position, each in template order. Every
  // token must have at least xsize columns.
  void Extract(const TokenTable& tokens,
               std::vector<std::vector<Observation>>* out) const;

 private:
  void ExtractAt(const TokenRow* rows, std::size_t xnum, std::size_t pos,
                 std::vector<Observation>* out) const;

  UnigramTemplates templs_;
  std::vector<std::string> dropped_;
};

}  // namespace CRFPP
}  // namespace new_seg

#endif  // ZORVSEG_CRF_OBSERVATIONEXTRACTOR_H_
