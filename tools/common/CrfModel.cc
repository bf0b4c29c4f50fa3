#include "common/CrfModel.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "crf/DecoderFeatureIndex.h"
#include "dict/Darts.h"
#include "dict/DictFile.h"

namespace zorvseg_tools {

namespace {

using new_seg::CRFPP::kPosSlots;
using new_seg::CRFPP::kWordSlots;

const std::size_t kMaxLabels = 65535;
const uint64_t kMaxWeights = 0x7FFFFFFF;  // trie values hold 31 bits

bool AllFinite(const std::vector<float>& values) {
  for (float value : values) {
    if (!std::isfinite(value)) return false;
  }
  return true;
}

bool HasZeroByte(const std::string& text) {
  return text.find('\0') != std::string::npos;
}

std::string CheckObservations(const CrfModel::Observations& observations,
                              std::size_t block, const char* trie) {
  for (const auto& entry : observations) {
    if (HasZeroByte(entry.first)) {
      return std::string(trie) + " observation with a zero byte";
    }
    if (entry.second.size() != block) {
      return std::string(trie) + " observation '" + entry.first + "' has " +
             std::to_string(entry.second.size()) + " weights, not " +
             std::to_string(block);
    }
    if (!AllFinite(entry.second)) {
      return std::string(trie) + " observation '" + entry.first +
             "' has a weight that is not a finite number";
    }
  }
  return "";
}

std::string CheckTemplates(const std::vector<std::string>& templates,
                           char kind) {
  for (const std::string& templ : templates) {
    if (templ.empty() || templ[0] != kind || HasZeroByte(templ)) {
      return "template '" + templ + "' does not start with '" +
             std::string(1, kind) + "'";
    }
  }
  return "";
}

// The tries map observation strings to the first weight of their blocks:
// the empty word observation first (weight 0), then the word observations
// in key order, then the part-of-speech ones.
struct Layout {
  std::vector<float> weights;
  Darts::DoubleArray word_trie;
  Darts::DoubleArray pos_trie;
};

void BuildTrie(const CrfModel::Observations& observations,
               std::vector<float>* weights, Darts::DoubleArray* trie) {
  std::vector<const char*> keys;
  std::vector<std::size_t> lengths;
  std::vector<int> values;
  for (const auto& entry : observations) {
    if (entry.first.empty()) continue;
    keys.push_back(entry.first.data());
    lengths.push_back(entry.first.size());
    values.push_back(static_cast<int>(weights->size()));
    weights->insert(weights->end(), entry.second.begin(), entry.second.end());
  }
  trie->build(keys.size(), keys.data(), lengths.data(), values.data());
}

bool BuildLayout(const CrfModel& model, Layout* layout, std::string* error) {
  std::size_t word_block = kWordSlots * model.ysize();
  auto bias = model.word_observations.find("");
  if (bias != model.word_observations.end()) {
    layout->weights = bias->second;
  } else {
    layout->weights.assign(word_block, 0.0f);
  }
  try {
    BuildTrie(model.word_observations, &layout->weights, &layout->word_trie);
    BuildTrie(model.pos_observations, &layout->weights, &layout->pos_trie);
  } catch (const Darts::Details::Exception& e) {
    *error = e.what();
    return false;
  }
  return true;
}

template <class T>
bool Put(std::FILE* file, const T& value) {
  return std::fwrite(&value, sizeof(T), 1, file) == 1;
}

bool PutBytes(std::FILE* file, const void* bytes, std::size_t size) {
  return size == 0 || std::fwrite(bytes, 1, size, file) == size;
}

// Zero-terminated strings, one after the other.
std::string StringBlock(const std::vector<std::string>& strings) {
  std::string block;
  for (const std::string& text : strings) block.append(text).push_back('\0');
  return block;
}

bool WriteImage(std::FILE* file, const CrfModel& model, const Layout& layout) {
  std::string labels = StringBlock(model.labels);
  std::vector<std::string> templates = model.unigram_templates;
  templates.insert(templates.end(), model.bigram_templates.begin(),
                   model.bigram_templates.end());
  // Padding keeps the tries and weights that follow 4-byte aligned.
  std::string templ = StringBlock(templates);
  templ.append((4 - (labels.size() + templ.size()) % 4) % 4, '\0');
  uint32_t word_bytes = static_cast<uint32_t>(layout.word_trie.total_size());
  uint32_t pos_bytes = static_cast<uint32_t>(layout.pos_trie.total_size());
  return Put(file, uint32_t{new_seg::CRFPP::DecoderFeatureIndex::kVersion}) &&
         Put(file, int32_t{0}) && Put(file, model.cost_factor) &&
         Put(file, static_cast<uint32_t>(layout.weights.size())) &&
         Put(file, model.xsize) && Put(file, word_bytes) &&
         Put(file, pos_bytes) &&
         Put(file, static_cast<uint32_t>(labels.size())) &&
         PutBytes(file, labels.data(), labels.size()) &&
         Put(file, static_cast<uint32_t>(templ.size())) &&
         PutBytes(file, templ.data(), templ.size()) &&
         PutBytes(file, layout.word_trie.array(), word_bytes) &&
         PutBytes(file, layout.pos_trie.array(), pos_bytes) &&
         PutBytes(file, layout.weights.data(),
                  layout.weights.size() * sizeof(float)) &&
         PutBytes(file, model.transitions.data(),
                  model.transitions.size() * sizeof(float));
}

void ReadBlocks(const Darts::DoubleArray& trie, const float* weights,
                std::size_t block, CrfModel::Observations* observations) {
  std::map<std::string, unsigned int> bases;
  trie.output_key_values(0, "", bases);
  for (const auto& entry : bases) {
    (*observations)[entry.first].assign(weights + entry.second,
                                        weights + entry.second + block);
  }
}

bool AllZeroBits(const std::vector<float>& values) {
  for (float value : values) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof(bits));
    if (bits != 0) return false;
  }
  return true;
}

}  // namespace

std::vector<float>& CrfModel::WordBlock(const std::string& key) {
  std::vector<float>& block = word_observations[key];
  if (block.empty()) block.assign(kWordSlots * ysize(), 0.0f);
  return block;
}

std::vector<float>& CrfModel::PosBlock(const std::string& key) {
  std::vector<float>& block = pos_observations[key];
  if (block.empty()) block.assign(kPosSlots * ysize(), 0.0f);
  return block;
}

std::string CrfModel::Check() const {
  if (labels.empty() || labels.size() > kMaxLabels) {
    return "a model has 1 to " + std::to_string(kMaxLabels) + " labels, not " +
           std::to_string(labels.size());
  }
  for (const std::string& label : labels) {
    if (label.empty() || HasZeroByte(label)) return "empty label or zero byte in a label";
  }
  if (xsize < 1 || xsize > new_seg::CRFPP::MAX_X_SIZE) {
    return "xsize must be 1 to " + std::to_string(new_seg::CRFPP::MAX_X_SIZE);
  }
  if (!std::isfinite(cost_factor)) return "the cost factor is not a finite number";
  std::string error = CheckTemplates(unigram_templates, 'U');
  if (error.empty()) error = CheckTemplates(bigram_templates, 'B');
  if (error.empty()) {
    error = CheckObservations(word_observations, kWordSlots * ysize(), "word");
  }
  if (error.empty()) {
    error = CheckObservations(pos_observations, kPosSlots * ysize(), "pos");
  }
  if (!error.empty()) return error;
  if (pos_observations.count("") != 0) {
    return "the empty observation belongs to the word trie";
  }
  if (transitions.size() != ysize() * ysize() || !AllFinite(transitions)) {
    return "the transition matrix needs " + std::to_string(ysize() * ysize()) +
           " finite weights";
  }
  uint64_t weights = kWordSlots * ysize() *
                         (uint64_t{word_observations.size()} + 1) +
                     kPosSlots * ysize() * uint64_t{pos_observations.size()};
  if (weights > kMaxWeights) return "too many weights for one model file";
  return "";
}

bool CrfModel::Save(const std::string& path, std::string* error) const {
  *error = Check();
  if (!error->empty()) return false;
  Layout layout;
  if (!BuildLayout(*this, &layout, error)) return false;
  bool saved = new_seg::dict_file::WriteThroughTemporary(
      "crf-model", path,
      [&](std::FILE* file) { return WriteImage(file, *this, layout); });
  if (!saved) *error = path + ": cannot write the model file";
  return saved;
}

bool CrfModel::Load(const std::string& path, std::string* error) {
  new_seg::CRFPP::DecoderFeatureIndex index;
  if (!index.open(path.c_str())) {
    *error = path + ": " + index.what();
    return false;
  }
  cost_factor = index.cost_factor();
  xsize = static_cast<uint32_t>(index.xsize());
  labels.clear();
  for (std::size_t i = 0; i < index.ysize(); ++i) labels.push_back(index.y(i));
  unigram_templates = index.unigram_templs();
  bigram_templates = index.bigram_templs();
  std::size_t word_block = kWordSlots * ysize();
  word_observations.clear();
  pos_observations.clear();
  ReadBlocks(index.da_word(), index.alpha_float(), word_block, &word_observations);
  ReadBlocks(index.da_pos(), index.alpha_float(), kPosSlots * ysize(),
             &pos_observations);
  if (index.size() >= word_block) {
    std::vector<float> bias(index.alpha_float(), index.alpha_float() + word_block);
    if (!AllZeroBits(bias)) word_observations[""] = bias;
  }
  transitions.assign(ysize() * ysize(), 0.0f);
  for (std::size_t prev = 0; prev < ysize(); ++prev) {
    for (std::size_t cur = 0; cur < ysize(); ++cur) {
      transitions[prev * ysize() + cur] = index.ycost(prev, cur);
    }
  }
  return true;
}

}  // namespace zorvseg_tools
