// Refines the weights of the part-of-speech model by the averaged
// perceptron: the corpus is tagged with the current weights by the same
// first-order Viterbi search the tagger runs, and where a sentence comes out
// wrong the weights of its corpus tags and transitions go up and those of
// the wrong ones down. The model keeps its shape (a weight per word and tag
// and per tag pair), so tag_info.dat holds the refined weights as it holds
// estimated ones. Training is deterministic.
#ifndef ZORVSEG_TOOLS_COMMON_TAGPERCEPTRON_H_
#define ZORVSEG_TOOLS_COMMON_TAGPERCEPTRON_H_

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

namespace zorvseg_tools {

class TagPerceptron {
 public:
  // Tags are 0 .. tag_count - 1; tag_count stands for the sentence start
  // as a previous tag.
  explicit TagPerceptron(size_t tag_count);

  // A word's candidate tags with their starting weights, in the order the
  // tagger reads them; words are numbered from 0 in the order added.
  void AddWord(const std::vector<std::pair<int, double>>& candidates);
  void SetTransition(int from, int to, double weight);
  // A corpus sentence: word numbers and their tags (one of each word's
  // candidates).
  void AddSentence(std::vector<std::pair<uint32_t, int>> sentence);

  // Also learn how the word before and the word after a word speak for its
  // tags (weights by neighbour and tag, added to the word's emission).
  void UseContext() { use_context_ = true; }

  // Passes over the sentences in an order shuffled with a fixed seed;
  // returns the tokens tagged wrong in the last pass.
  size_t Train(size_t passes, double rate);

  // Averaged weights after training.
  double Emission(size_t word, size_t candidate) const;
  double Transition(int from, int to) const;
  struct ContextWeight {
    int side;  // 0: the word before, 1: the word after
    uint32_t word;
    int tag;
    double weight;
  };
  // The averaged context weights of at least `least` in size, by side,
  // word and tag.
  std::vector<ContextWeight> ContextWeights(double least) const;

 private:
  struct Weight {
    double value = 0;
    double updates = 0;  // sum of step * change, for the average
  };
  void Decode(const std::vector<std::pair<uint32_t, int>>& sentence, std::vector<int>* tags);
  void Update(Weight& weight, double change) {
    weight.value += change;
    weight.updates += static_cast<double>(step_) * change;
  }
  double Averaged(const Weight& weight) const;
  static uint64_t ContextKey(int side, uint32_t word, int tag) {
    return (static_cast<uint64_t>(word) << 9) | (static_cast<uint64_t>(tag) << 1) |
           static_cast<uint64_t>(side);
  }
  // What the neighbours of word i of the sentence give tag `tag`.
  double ContextScore(const std::vector<std::pair<uint32_t, int>>& sentence, size_t i,
                      int tag) const;
  void UpdateContext(const std::vector<std::pair<uint32_t, int>>& sentence, size_t i, int tag,
                     double change);
  Weight& TransitionWeight(int from, int to) { return transitions_[from * tag_count_ + to]; }

  size_t tag_count_;
  std::vector<std::vector<int>> candidate_tags_;
  std::vector<std::vector<Weight>> emissions_;
  std::vector<Weight> transitions_;
  bool use_context_ = false;
  std::unordered_map<uint64_t, Weight> context_;
  std::vector<std::vector<std::pair<uint32_t, int>>> sentences_;
  uint64_t step_ = 1;
  // Viterbi work space.
  std::vector<std::vector<double>> scores_;
  std::vector<std::vector<int>> back_;
};

}  // namespace zorvseg_tools

#endif  // ZORVSEG_TOOLS_COMMON_TAGPERCEPTRON_H_
