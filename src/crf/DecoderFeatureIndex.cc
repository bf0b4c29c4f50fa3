#include "crf/DecoderFeatureIndex.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "dict/DartsUnit.h"

namespace new_seg {
namespace CRFPP {

namespace {

const std::size_t kMaxLabels = 65535;

// What FindKey left for ResolveKey.
enum LookupKind { kTwin, kFound, kWordKey, kPosKey };

// A trie without keys: one block of zero units, on which every walk fails.
const Darts::Details::unit_type kEmptyTrie[Darts::Details::kBlockSize] = {};

bool IsAligned(const void* p) {
  return reinterpret_cast<uintptr_t>(p) % sizeof(float) == 0;
}

// Infinities and NaNs have every exponent bit set. No early exit, so that
// the scan of a model's megabytes of weights vectorises.
bool AllFinite(const float* values, std::size_t count) {
  uint32_t bad = 0;
  for (std::size_t i = 0; i < count; ++i) {
    uint32_t bits;
    std::memcpy(&bits, values + i, sizeof(bits));
    bad |= (bits & 0x7F800000u) == 0x7F800000u;
  }
  return bad == 0;
}

// True when every value a walk can reach, plus the block it starts, stays
// within maxid weights. Walks only ever stand on node units, and a node's
// value sits at its offset; the array is known to hold all of them.
bool ValuesInside(const Darts::DoubleArray& trie, std::size_t block,
                  std::size_t maxid) {
  using namespace Darts::Details;
  const unit_type* units = static_cast<const unit_type*>(trie.array());
  for (std::size_t id = 0; id < trie.size(); ++id) {
    unit_type unit = units[id];
    if ((unit & 0x80000000u) != 0 || !UnitHasLeaf(unit)) continue;
    uint64_t value = UnitValue(units[id ^ UnitOffset(unit)]);
    if (value + block > maxid) return false;
  }
  return true;
}

}  // namespace

// A cursor over the model image that never reads past its end.
class DecoderFeatureIndex::ImageReader {
 public:
  ImageReader(const char* begin, std::size_t size)
      : ptr_(begin), end_(begin + size) {}

  std::size_t left() const { return static_cast<std::size_t>(end_ - ptr_); }
  bool at_end() const { return ptr_ == end_; }

  template <class T>
  bool Read(T* value) {
    if (left() < sizeof(T)) return false;
    std::memcpy(value, ptr_, sizeof(T));
    ptr_ += sizeof(T);
    return true;
  }

  // Hands out the next `bytes` bytes; false when fewer are left.
  bool Take(uint64_t bytes, const char** block) {
    if (bytes > left()) return false;
    *block = ptr_;
    ptr_ += bytes;
    return true;
  }

 private:
  const char* ptr_;
  const char* end_;
};

// Refuses the model with the broken-file message when the condition fails;
// the condition's own text goes into what().
#define CHECK_MODEL(condition)                             \
  do {                                                     \
    if (!(condition)) {                                    \
      CRF_FAIL(what_, #condition) << "model file is broken."; \
      return false;                                        \
    }                                                      \
  } while (0)

bool DecoderFeatureIndex::open(const char* model_filename) {
  what_.clear();
  if (!mmap_.open(model_filename, "r")) {
    CRF_FAIL(what_, "mmap_.open(model_filename)") << mmap_.what();
    return false;
  }
  if (!openFromArray200(mmap_.begin(), mmap_.file_size())) return false;
  // The checks read the whole model; a sentence reads a few hundred of its
  // features, and a mode without this model reads none.
  mmap_.ReleaseResidentPages();
  return true;
}

bool DecoderFeatureIndex::openFromArray200(const char* image,
                                           std::size_t size) {
  what_.clear();
  ImageReader reader(image, size);
  uint32_t word_bytes = 0;
  uint32_t pos_bytes = 0;
  if (!ReadHeader(&reader, &word_bytes, &pos_bytes)) return false;
  if (!ReadLabels(&reader) || !ReadTemplates(&reader)) return false;
  std::size_t word_block = kWordSlots * ysize();
  std::size_t pos_block = kPosSlots * ysize();
  if (!ReadTrie(&reader, word_bytes, word_block, &da_word_)) return false;
  if (!ReadTrie(&reader, pos_bytes, pos_block, &da_pos_)) return false;
  if (!ReadWeights(&reader)) return false;
  CHECK_MODEL(reader.at_end());
  return true;
}

bool DecoderFeatureIndex::ReadHeader(ImageReader* reader, uint32_t* word_bytes,
                                     uint32_t* pos_bytes) {
  uint32_t version = 0;
  CHECK_MODEL(reader->Read(&version));
  if (version / 100 != kVersion / 100) {
    CRF_FAIL(what_, "version_ / 100 == version / 100")
        << "model version is different: " << version << " vs " << kVersion;
    return false;
  }
  int32_t type = 0;
  CHECK_MODEL(reader->Read(&type) && reader->Read(&cost_factor_));
  CHECK_MODEL(std::isfinite(cost_factor_));
  CHECK_MODEL(reader->Read(&maxid_) && reader->Read(&xsize_));
  CHECK_MODEL(reader->Read(word_bytes) && reader->Read(pos_bytes));
  return true;
}

bool DecoderFeatureIndex::ReadLabels(ImageReader* reader) {
  uint32_t label_bytes = 0;
  const char* block = nullptr;
  CHECK_MODEL(reader->Read(&label_bytes) && reader->Take(label_bytes, &block));
  CHECK_MODEL(label_bytes > 0 && block[label_bytes - 1] == '\0');
  y_.clear();
  for (uint32_t at = 0; at < label_bytes;) {
    y_.emplace_back(block + at);
    at += static_cast<uint32_t>(y_.back().size()) + 1;
  }
  CHECK_MODEL(y_.size() <= kMaxLabels);
  // The template block follows; together they keep the tries aligned.
  label_bytes_ = label_bytes;
  return true;
}

bool DecoderFeatureIndex::ReadTemplates(ImageReader* reader) {
  uint32_t templ_bytes = 0;
  const char* block = nullptr;
  CHECK_MODEL(reader->Read(&templ_bytes) && reader->Take(templ_bytes, &block));
  CHECK_MODEL(templ_bytes == 0 || block[templ_bytes - 1] == '\0');
  CHECK_MODEL((uint64_t{label_bytes_} + templ_bytes) % 4 == 0);
  unigram_templs_.clear();
  bigram_templs_.clear();
  for (uint32_t at = 0; at < templ_bytes;) {
    const char* templ = block + at;
    if (*templ == '\0') {
      ++at;
      continue;
    }
    if (*templ == 'U') unigram_templs_.emplace_back(templ);
    if (*templ == 'B') bigram_templs_.emplace_back(templ);
    at += static_cast<uint32_t>(std::strlen(templ)) + 1;
  }
  return true;
}

bool DecoderFeatureIndex::ReadTrie(ImageReader* reader, uint32_t bytes,
                                   std::size_t block,
                                   Darts::DoubleArray* trie) {
  const char* units = nullptr;
  CHECK_MODEL(bytes % 4 == 0 && reader->Take(bytes, &units));
  if (bytes == 0) {
    trie->set_array(kEmptyTrie, Darts::Details::kBlockSize);
    return true;
  }
  CHECK_MODEL(IsAligned(units));
  trie->set_array(units, bytes / 4);
  CHECK_MODEL(trie->is_verified());
  CHECK_MODEL(ValuesInside(*trie, block, maxid_));
  return true;
}

bool DecoderFeatureIndex::ReadWeights(ImageReader* reader) {
  const char* weights = nullptr;
  CHECK_MODEL(reader->Take(uint64_t{maxid_} * sizeof(float), &weights));
  CHECK_MODEL(maxid_ == 0 || IsAligned(weights));
  alpha_float_ = reinterpret_cast<const float*>(weights);
  CHECK_MODEL(AllFinite(alpha_float_, maxid_));
  const char* matrix = nullptr;
  uint64_t cells = uint64_t{ysize()} * ysize();
  CHECK_MODEL(reader->Take(cells * sizeof(float), &matrix));
  ycost_.resize(cells);
  std::memcpy(ycost_.data(), matrix, cells * sizeof(float));
  CHECK_MODEL(AllFinite(ycost_.data(), cells));
  return true;
}

void DecoderFeatureIndex::PrepareKeyTables() {
  std::call_once(key_tables_once_, [this] {
    key_tables_ready_ = word_keys_.Build(da_word_) && pos_keys_.Build(da_pos_);
  });
}

int DecoderFeatureIndex::getID(const char* key, bool word) const {
  return (word ? da_word_ : da_pos_).exactMatchSearch(key);
}

bool DecoderFeatureIndex::PackedBody(const UnigramTemplates& templs,
                                     const TpRule& rule, uint64_t* key) {
  uint64_t packed = 0;
  std::size_t length = 0;
  for (std::size_t i = 2; i < rule.size; ++i) {
    const TpNode& node = templs.nodes[rule.nodes[i]];
    if (node.r_size == 0) continue;
    if (length + node.r_size > ObservationTable::kMaxKeyBytes) return false;
    packed |= node.packed << (8 * length);
    length += node.r_size;
  }
  *key = packed;
  return length != 0;
}

// The whole body from the root, node by node: the weight block base, or -1.
int DecoderFeatureIndex::WalkBody(const UnigramTemplates& templs,
                                  const TpRule& rule) const {
  const Darts::DoubleArray& trie = rule.trie_tag == kWordTrie ? da_word_ : da_pos_;
  std::size_t node_pos = 0;
  int value = -1;
  for (std::size_t i = 2; i < rule.size; ++i) {
    const TpNode& node = templs.nodes[rule.nodes[i]];
    std::size_t key_pos = 0;
    value = trie.traverse(node.r, node_pos, key_pos, node.r_size);
    if (value == -2) return -1;
  }
  return value;
}

// A template takes its twin's block from the previous position or looks its
// observation string up: short strings in the key tables (once they are
// built), longer ones by a walk of the trie at once.
void DecoderFeatureIndex::FindKey(const UnigramTemplates& templs,
                                  const TpRule& rule, std::size_t pos,
                                  Lookup* lookup) const {
  if (pos > 0 && rule.pre_rule >= 0) {
    lookup->kind = kTwin;
  } else if (rule.size <= 2) {  // no body: the block at weight 0
    *lookup = Lookup{0, 0, kFound};
  } else if (key_tables_ready_ && PackedBody(templs, rule, &lookup->key)) {
    bool word = rule.trie_tag == kWordTrie;
    lookup->kind = word ? kWordKey : kPosKey;
    (word ? word_keys_ : pos_keys_).Prefetch(lookup->key);
  } else {
    lookup->kind = kFound;
    lookup->value = WalkBody(templs, rule);
  }
}

void DecoderFeatureIndex::ResolveKey(const UnigramTemplates& templs,
                                     const Lookup& lookup, TpRule* rule) const {
  switch (lookup.kind) {
    case kTwin:
      rule->trie_offset = templs.rules[rule->pre_rule].trie_offset;
      break;
    case kWordKey:
      rule->trie_offset = word_keys_.Find(lookup.key);
      break;
    case kPosKey:
      rule->trie_offset = pos_keys_.Find(lookup.key);
      break;
    default:
      rule->trie_offset = lookup.value;
  }
}

void DecoderFeatureIndex::FindKeys(const UnigramTemplates& templs,
                                   std::size_t pos, Lookup* lookups) const {
  for (std::size_t r = 0; r < templs.rules.size(); ++r) {
    FindKey(templs, templs.rules[r], pos, &lookups[r]);
  }
}

void DecoderFeatureIndex::ResolveKeys(UnigramTemplates* templs,
                                      const Lookup* lookups) const {
  for (std::size_t r = 0; r < templs->rules.size(); ++r) {
    ResolveKey(*templs, lookups[r], &templs->rules[r]);
  }
}

void DecoderFeatureIndex::updateRules(UnigramTemplates* templs,
                                      std::size_t pos) const {
  for (TpRule& rule : templs->rules) {
    Lookup lookup;
    FindKey(*templs, rule, pos, &lookup);
    ResolveKey(*templs, lookup, &rule);
  }
}

}  // namespace CRFPP
}  // namespace new_seg
