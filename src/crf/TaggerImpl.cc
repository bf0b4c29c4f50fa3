#include "crf/TaggerImpl.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "dict/Prefetch.h"

namespace new_seg {
namespace CRFPP {

namespace {

// Scores start below any real path: a candidate must beat it to be kept.
const double kWorstScore = -1e37;

}  // namespace

bool TaggerImpl::open(DecoderFeatureIndex* feature_index, unsigned int,
                      unsigned int vlevel) {
  close();
  what_.clear();
  if (feature_index == nullptr || feature_index->ysize() == 0) {
    CRF_FAIL(what_, "feature_index->ysize() > 0") << "# model is not loaded";
    return false;
  }
  mode_ = kSharedModel;
  vlevel_ = vlevel;
  feature_index_ = feature_index;
  ysize_ = feature_index->ysize();
  try {
    allocator_.reset(new Allocator);
    node_.assign(MAX_X_NUM * ysize_, Node());
    for (std::size_t i = 0; i < MAX_X_NUM; ++i) {
      for (std::size_t j = 0; j < ysize_; ++j) {
        node(i, j).x = static_cast<uint32_t>(i);
        node(i, j).y = static_cast<uint16_t>(j);
      }
    }
    penalty_.assign(MAX_X_NUM * ysize_, 0.0);
    x_.assign(MAX_X_NUM, TokenRow{});
    answer_.assign(MAX_X_NUM, 0);
    result_.assign(MAX_X_NUM, 0);
    emission_.assign(ysize_, 0.0f);
    make_templs();
    feature_index->PrepareKeyTables();
  } catch (const std::bad_alloc&) {
    close();
    CRF_FAIL(what_, "allocation") << "# out of memory: ysize=" << ysize_;
    return false;
  }
  return true;
}

void TaggerImpl::close() {
  feature_index_ = nullptr;
  allocator_.reset();
  std::vector<Node>().swap(node_);
  std::vector<double>().swap(penalty_);
  std::vector<TokenRow>().swap(x_);
  std::vector<uint16_t>().swap(answer_);
  std::vector<uint16_t>().swap(result_);
  std::vector<DecoderFeatureIndex::Lookup>().swap(lookups_);
  templs_.Init(0, 0, 0, incremental_);
  xsize_ = ysize_ = xnum_ = 0;
  cost_ = Z_ = 0.0;
}

// Templates that do not compile are left out.
void TaggerImpl::make_templs() {
  templs_.Init(ysize_, feature_index_->xsize(), feature_index_->size(),
               incremental_);
  for (const std::string& templ : feature_index_->unigram_templs()) {
    templs_.add(templ.c_str());
  }
  lookups_.resize(kChunk * templs_.rules.size());
}

void TaggerImpl::set_incremental(bool incremental) {
  incremental_ = incremental;
  if (feature_index_ != nullptr) make_templs();
}

const float* TaggerImpl::weight_vector() const {
  return feature_index_ != nullptr ? feature_index_->alpha_float() : nullptr;
}

void TaggerImpl::set_cost_factor(float cost_factor) {
  if (feature_index_ != nullptr && cost_factor > 0 && std::isfinite(cost_factor)) {
    feature_index_->set_cost_factor(cost_factor);
  }
}

float TaggerImpl::cost_factor() const {
  return feature_index_ != nullptr
             ? static_cast<float>(feature_index_->cost_factor())
             : 0.0f;
}

std::size_t TaggerImpl::xsize() const {
  return feature_index_ != nullptr ? feature_index_->xsize() : 0;
}

std::size_t TaggerImpl::dsize() const {
  return feature_index_ != nullptr ? feature_index_->size() : 0;
}

const char* TaggerImpl::y2(std::size_t i) const { return yname(result_[i]); }

const char* TaggerImpl::yname(std::size_t i) const {
  return feature_index_->y(i);
}

bool TaggerImpl::add(const char* line) {
  if (allocator_ == nullptr) {
    CRF_FAIL(what_, "allocator_") << "# tagger is not open";
    return false;
  }
  std::size_t length = std::strlen(line);
  char* copy = allocator_->strdup(line, length);
  if (copy == nullptr) {
    CRF_FAIL(what_, "length < Allocator::kStringBlockSize")
        << "# line is too long: size=" << length
        << " MAX_LINE_SIZE=" << Allocator::kStringBlockSize - 1;
    return false;
  }
  std::size_t pieces = 0;
  for (char* piece = copy; *piece != '\0';) {
    char* tab = std::strchr(piece, '\t');
    if (tab != nullptr) *tab = '\0';
    if (*piece != '\0') {
      if (pieces < MAX_X_SIZE) column_[pieces] = piece;
      ++pieces;
    }
    if (tab == nullptr) break;
    piece = tab + 1;
  }
  return add2(pieces, column_);
}

bool TaggerImpl::add2(std::size_t size, const char** column) {
  if (feature_index_ == nullptr) {
    CRF_FAIL(what_, "feature_index_") << "# tagger is not open";
    return false;
  }
  if (size < feature_index_->xsize()) {
    CRF_FAIL(what_, "false") << "# x is small: size=" << size
                             << " xsize=" << feature_index_->xsize();
    return false;
  }
  if (size <= MAX_X_SIZE && xsize_ == 0) xsize_ = size;
  if (size > MAX_X_SIZE || size != xsize_) {
    CRF_FAIL(what_, "false") << "# size is wrong: size=" << size
                             << " xsize_=" << xsize_
                             << " MAX_X_SIZE=" << MAX_X_SIZE;
    return false;
  }
  if (xnum_ >= MAX_X_NUM) {
    CRF_FAIL(what_, "false") << "# xnum in out of range: xnum=" << xnum_
                             << " MAX_X_NUM=" << MAX_X_NUM;
    return false;
  }
  std::copy(column, column + size, x_[xnum_].begin());
  answer_[xnum_] = 0;
  result_[xnum_] = 0;
  ++xnum_;
  return true;
}

bool TaggerImpl::clear() {
  if (allocator_ != nullptr) allocator_->clear();
  xnum_ = 0;
  cost_ = 0.0;
  Z_ = 0.0;
  return true;
}

bool TaggerImpl::parse() {
  if (feature_index_ == nullptr) {
    CRF_FAIL(what_, "feature_index_") << "# tagger is not open";
    return false;
  }
  if (!buildFeatures()) return false;
  if (xnum_ == 0) return true;
  buildLattice();
  viterbi();
  return true;
}

// Positions go in chunks: the table reads of a whole chunk are asked for
// before the first is used, so that their cache misses overlap.
bool TaggerImpl::buildFeatures() {
  FeatureCache* cache = allocator_->feature_cache();
  feature_id_ = cache->size();
  const std::size_t rules = templs_.rules.size();
  for (std::size_t begin = 0; begin < xnum_; begin += kChunk) {
    std::size_t end = std::min(xnum_, begin + kChunk);
    for (std::size_t pos = begin; pos < end; ++pos) {
      templs_.updateNodes(x_.data(), xnum_, pos);
      feature_index_->FindKeys(templs_, pos, lookups_.data() + (pos - begin) * rules);
    }
    for (std::size_t pos = begin; pos < end; ++pos) {
      feature_index_->ResolveKeys(&templs_, lookups_.data() + (pos - begin) * rules);
      if (!storeFeatures()) return false;
    }
  }
  return true;
}

// The feature ids the templates found at a position, as its list.
bool TaggerImpl::storeFeatures() {
  const float* weights = feature_index_->alpha_float();
  std::size_t count = 0;
  for (const TpRule& rule : templs_.rules) count += rule.trie_offset != -1;
  int* list = allocator_->feature_cache()->alloc(count);
  if (list == nullptr) {
    CRF_FAIL(what_, "count < FeatureCache::kBlockSize")
        << "# feature list is too long: size=" << count
        << " MAX_FEATURES=" << FeatureCache::kBlockSize - 1;
    return false;
  }
  for (const TpRule& rule : templs_.rules) {
    if (rule.trie_offset != -1) {
      int id = rule.trie_offset + static_cast<int>(rule.suffix_offset);
      *list++ = id;
      // The weights are read once every position has its features; asking
      // for them now lets their cache misses overlap the look-ups to come.
      PrefetchForRead(weights + id);
      PrefetchForRead(weights + id + ysize_ - 1);
    }
  }
  return true;
}

// Node costs: each label's weights over the token's features, summed in
// single precision in template order, times the cost factor, plus the
// penalty. A node's token, label and (never computed) forward and backward
// scores were set when the tagger opened; row 0 keeps no predecessor.
void TaggerImpl::buildLattice() {
  const FeatureCache& cache = *allocator_->feature_cache();
  const float* weights = feature_index_->alpha_float();
  const double factor = feature_index_->cost_factor();
  float* sums = emission_.data();
  for (std::size_t i = 0; i < xnum_; ++i) {
    const int* features = cache[feature_id_ + i];
    std::fill(sums, sums + ysize_, 0.0f);
    for (const int* f = features; *f != -1; ++f) {
      const float* w = weights + *f;
      for (std::size_t j = 0; j < ysize_; ++j) sums[j] += w[j];
    }
    Node* row = &node_[i * ysize_];
    const double* penalty = &penalty_[i * ysize_];
    for (std::size_t j = 0; j < ysize_; ++j) {
      row[j].fvector = features;
      row[j].cost = static_cast<double>(sums[j]) * factor + penalty[j];
    }
  }
}

// Highest-scoring path; on equal scores the lower previous label and the
// lower last label win.
void TaggerImpl::viterbi() {
  const float* transitions = feature_index_->ycost_matrix();
  for (std::size_t j = 0; j < ysize_; ++j) node(0, j).bestCost = node(0, j).cost;
  for (std::size_t i = 1; i < xnum_; ++i) {
    Node* previous = &node_[(i - 1) * ysize_];
    Node* row = &node_[i * ysize_];
    for (std::size_t j = 0; j < ysize_; ++j) {
      Node& current = row[j];
      double best = kWorstScore;
      Node* best_prev = nullptr;
      for (std::size_t k = 0; k < ysize_; ++k) {
        double score = static_cast<double>(transitions[k * ysize_ + j]) +
                       previous[k].bestCost + current.cost;
        if (score > best) {
          best = score;
          best_prev = &previous[k];
        }
      }
      current.bestCost = best;
      current.prev = best_prev;
    }
  }
  // Scores too low to beat the starting value (or not numbers) leave the
  // path without links: its tokens keep label 0.
  const Node* last = &node(xnum_ - 1, 0);
  double best = kWorstScore;
  for (std::size_t j = 0; j < ysize_; ++j) {
    const Node& candidate = node(xnum_ - 1, j);
    if (candidate.bestCost > best) {
      best = candidate.bestCost;
      last = &candidate;
    }
  }
  for (const Node* n = last; n != nullptr; n = n->prev) result_[n->x] = n->y;
  cost_ = -last->bestCost;
}

double TaggerImpl::prob(std::size_t i, std::size_t j) const {
  const Node& n = node(i, j);
  return std::exp(n.alpha + n.beta - n.cost - Z_);
}

double TaggerImpl::prob(std::size_t i) const { return prob(i, result_[i]); }

double TaggerImpl::prob() const { return std::exp(-cost_ - Z_); }

void TaggerImpl::set_penalty(std::size_t i, std::size_t j, double penalty) {
  penalty_[i * ysize_ + j] = penalty;
}

double TaggerImpl::penalty(std::size_t i, std::size_t j) const {
  return penalty_[i * ysize_ + j];
}

double TaggerImpl::emission_cost(std::size_t i, std::size_t j) const {
  return node(i, j).cost;
}

double TaggerImpl::best_cost(std::size_t i, std::size_t j) const {
  return node(i, j).bestCost;
}

const int* TaggerImpl::emission_vector(std::size_t i, std::size_t j) const {
  return node(i, j).fvector;
}

std::string TaggerImpl::toString() const {
  std::string text;
  for (std::size_t i = 0; i < xnum_; ++i) {
    for (std::size_t j = 0; j < xsize_; ++j) {
      text += x_[i][j];
      text += '\t';
    }
    text += yname(result_[i]);
    text += '\n';
  }
  return text;
}

}  // namespace CRFPP
}  // namespace new_seg
