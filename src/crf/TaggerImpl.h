// The CRF decoder: one token sequence at a time against a shared model.
//
// Each token's observation columns go through the model's unigram templates
// into a list of feature ids; the weights of those features, summed per
// label in single precision, are the node costs, and Viterbi over the
// model's transition weights picks the best-scoring label sequence. No
// forward-backward pass runs: prob() is computed from node costs alone.
//
// Every per-token array is allocated for 2048 tokens when the tagger opens;
// token text and feature lists live in block stores that clear() recycles,
// so decoding in steady state allocates nothing.
#ifndef ZORVSEG_CRF_TAGGERIMPL_H_
#define ZORVSEG_CRF_TAGGERIMPL_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "crf/Allocator.h"
#include "crf/DecoderFeatureIndex.h"
#include "crf/Node.h"
#include "crf/Tagger.h"
#include "crf/UnigramTemplates.h"
#include "crf/whatlog.h"

namespace new_seg {
namespace CRFPP {

class TaggerImpl : public Tagger {
 public:
  // The tagger owns its allocator and shares the model (the library's case).
  static const unsigned kSharedModel = 1;

  TaggerImpl() = default;
  ~TaggerImpl() override { close(); }
  TaggerImpl(const TaggerImpl&) = delete;
  TaggerImpl& operator=(const TaggerImpl&) = delete;

  // Opens on a loaded model, shared with other taggers (nbest is ignored).
  // False with the reason in what() when the model has no labels or the
  // lattice cannot be allocated.
  bool open(DecoderFeatureIndex* feature_index, unsigned int nbest,
            unsigned int vlevel);
  void close() override;

  // Incremental extraction (twins) is on by default; turning it off
  // recompiles the templates so that every template looks its observation
  // string up at every token. Results are the same.
  void set_incremental(bool incremental);

  const float* weight_vector() const override;
  void set_vlevel(unsigned int vlevel) override { vlevel_ = vlevel; }
  unsigned int vlevel() const override { return vlevel_; }
  // Sets the shared model's cost factor; ignored unless finite and > 0.
  void set_cost_factor(float cost_factor) override;
  float cost_factor() const override;

  // Adds one token: TAB-separated columns, empty pieces skipped. False, with
  // the reason in what() and nothing stored, when the line is 8192 bytes or
  // longer, has fewer columns than the model reads, more than 10 or a count
  // other than the first token's, or 2048 tokens are already held.
  bool add(const char* line) override;
  bool add2(std::size_t size, const char** column);

  std::size_t size() const override { return xnum_; }
  std::size_t xsize() const override;
  std::size_t dsize() const override;
  std::size_t result(std::size_t i) const override { return result_[i]; }
  std::size_t answer(std::size_t i) const override { return answer_[i]; }
  std::size_t y(std::size_t i) const override { return result_[i]; }
  const char* y2(std::size_t i) const override;
  const char* yname(std::size_t i) const override;
  const char* x(std::size_t i, std::size_t j) const override { return x_[i][j]; }
  const char* const* x(std::size_t i) const override { return x_[i].data(); }
  std::size_t ysize() const override { return ysize_; }
  double prob(std::size_t i, std::size_t j) const override;
  double prob(std::size_t i) const override;
  double prob() const override;
  void set_penalty(std::size_t i, std::size_t j, double penalty) override;
  double penalty(std::size_t i, std::size_t j) const override;
  double emission_cost(std::size_t i, std::size_t j) const override;
  double best_cost(std::size_t i, std::size_t j) const override;
  const int* emission_vector(std::size_t i, std::size_t j) const override;
  double Z() const override { return Z_; }
  // Labels the tokens added since clear(). False, with the reason in
  // what(), only when a token's feature list cannot be stored.
  bool parse() override;
  bool empty() const override { return xnum_ == 0; }
  bool clear() override;
  // The tokens, one per line, with their labels after the last column.
  std::string toString() const override;
  const char* what() override { return what_.str(); }

 private:
  void make_templs();
  bool buildFeatures();
  bool storeFeatures();
  void buildLattice();
  void viterbi();
  Node& node(std::size_t i, std::size_t j) { return node_[i * ysize_ + j]; }
  const Node& node(std::size_t i, std::size_t j) const {
    return node_[i * ysize_ + j];
  }

  unsigned int mode_ = kSharedModel;
  unsigned int vlevel_ = 0;
  std::size_t xsize_ = 0;  // columns per token, fixed by the first token
  std::size_t ysize_ = 0;
  std::size_t xnum_ = 0;
  double cost_ = 0.0;
  double Z_ = 0.0;
  std::size_t feature_id_ = 0;
  bool incremental_ = true;
  DecoderFeatureIndex* feature_index_ = nullptr;
  UnigramTemplates templs_;
  std::unique_ptr<Allocator> allocator_;
  std::vector<TokenRow> x_;
  std::vector<Node> node_;
  std::vector<double> penalty_;
  std::vector<uint16_t> answer_;
  std::vector<uint16_t> result_;
  std::vector<float> emission_;  // per-label sums of one token
  // Positions whose look-ups are started together, and their notes.
  static const std::size_t kChunk = 16;
  std::vector<DecoderFeatureIndex::Lookup> lookups_;
  const char* column_[MAX_X_SIZE] = {};
  whatlog what_;
};

}  // namespace CRFPP
}  // namespace new_seg

#endif  // ZORVSEG_CRF_TAGGERIMPL_H_
