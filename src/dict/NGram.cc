#include "dict/NGram.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <istream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "dict/DictFile.h"

namespace new_seg {

Darts::DoubleArrayImpl<int>* NGram::trie_impl_pt_ = nullptr;
std::size_t NGram::max_order_ = 0;
std::vector<float> NGram::backed_off_costs_;
NGramPairTable NGram::pair_table_;

namespace {

using dict_file::LineKind;

const char kWhat[] = "n-gram model";

typedef std::map<std::string, int> KeyCosts;

bool Fail(const std::string& path, const std::string& message) {
  dict_file::ReportFileError(kWhat, path, message);
  return false;
}

std::string TriePath(const char* base_path, std::size_t i) {
  return std::string(base_path) + std::to_string(i);
}

// Costs are stored as the float's bit pattern without its sign bit, which
// fits the trie's 31-bit values.
int CostBits(float cost) {
  uint32_t bits;
  std::memcpy(&bits, &cost, sizeof bits);
  return static_cast<int>(bits & 0x7FFFFFFFu);
}

float CostFromBits(int value) {
  uint32_t bits = static_cast<uint32_t>(value);
  float cost;
  std::memcpy(&cost, &bits, sizeof cost);
  return cost;
}

struct TableLine {
  float cost = 0;
  uint32_t first = 0;
  uint32_t second = 0;
};

bool ParseId(const std::string& token, long long* id, std::string* error) {
  if (!dict_file::ParseInteger(token, id) || *id < -1 || *id > INT32_MAX) {
    *error = "word id '" + token + "' is not an integer in -1..2147483647";
    return false;
  }
  return true;
}

LineKind ParseTableLine(const std::string& line, std::size_t max_order,
                        TableLine* entry, bool* beyond_order,
                        std::string* error) {
  std::vector<std::string> fields = dict_file::SplitWhitespace(line);
  if (fields.empty()) return LineKind::kBlank;
  if (!dict_file::ParseFloat(fields[0], &entry->cost)) {
    *error = "cost '" + fields[0] + "' is not a finite number";
    return LineKind::kError;
  }
  long long count = 0;
  if (fields.size() < 2) {
    *error = "missing count after the cost";
    return LineKind::kError;
  }
  if (!dict_file::ParseInteger(fields[1], &count) || count < 0) {
    *error = "count '" + fields[1] + "' is not an unsigned integer";
    return LineKind::kError;
  }
  std::size_t ids_read = 0;
  std::size_t last = fields.size() < 2 + max_order ? fields.size() : 2 + max_order;
  for (std::size_t i = 2; i < last; ++i) {
    long long id = 0;
    if (!ParseId(fields[i], &id, error)) return LineKind::kError;
    if (id == -1) continue;
    if (ids_read++ == 0) {
      entry->first = static_cast<uint32_t>(id);
      entry->second = 0;
    } else {
      entry->second = static_cast<uint32_t>(id);
    }
  }
  if (ids_read == 0) {
    *error = "no word id after the cost and count";
    return LineKind::kError;
  }
  *beyond_order = fields.size() > last;
  return LineKind::kEntry;
}

LineKind TakeTableLine(const std::string& line, std::size_t max_order,
                       NGramBuildStats* stats, KeyCosts* maps, std::string* error) {
  TableLine entry;
  bool beyond_order = false;
  LineKind kind = ParseTableLine(line, max_order, &entry, &beyond_order, error);
  if (kind != LineKind::kEntry) return kind;
  if (beyond_order) ++stats->beyond_order;
  char key[NGram::kKeyBufferSize];
  std::size_t length = NGram::_EncodeKey(entry.first, entry.second, key);
  maps[NGram::_hash(key, length)][std::string(key, length)] = CostBits(entry.cost);
  return kind;
}

bool BuildTrie(const KeyCosts& costs, const char* source_name,
               Darts::DoubleArray* trie) {
  std::vector<const char*> keys;
  std::vector<int> values;
  keys.reserve(costs.size());
  values.reserve(costs.size());
  for (const auto& entry : costs) {
    keys.push_back(entry.first.c_str());
    values.push_back(entry.second);
  }
  try {
    trie->build(keys.size(), keys.data(), nullptr, values.data());
  } catch (const Darts::Details::Exception& e) {
    return Fail(source_name, e.what());
  }
  return true;
}

bool LoadTrie(const std::string& path, Darts::DoubleArray* trie) {
  uint64_t bytes = 0;
  if (!dict_file::FileSize(path, &bytes)) return Fail(path, "cannot open the file");
  if (!dict_file::IsWholeTrie(bytes)) {
    return Fail(path, "size " + std::to_string(bytes) +
                          " is not a whole number of " +
                          std::to_string(dict_file::kTrieBlockBytes) +
                          "-byte trie blocks");
  }
  std::string error = dict_file::OpenTrie(path, 0, 0, trie);
  if (!error.empty()) return Fail(path, error);
  return true;
}

// The four tries split one model by the low bits of the first word id, so
// a trained model's tries come out about equal in size (within a sixth on
// the corpus model); one far below the largest was cut short. Small models
// can be lopsided, so only tries of some size are compared.
const std::size_t kBalancedTrieUnits = 64 * 1024;

std::string UnbalancedTrie(const char* base_path, const Darts::DoubleArray* tries,
                           std::size_t count) {
  std::size_t largest = 0;
  for (std::size_t i = 1; i < count; ++i) {
    if (tries[i].size() > tries[largest].size()) largest = i;
  }
  std::size_t largest_units = tries[largest].size();
  if (largest_units < kBalancedTrieUnits) return "";
  for (std::size_t i = 0; i < count; ++i) {
    if (tries[i].size() * 3 < largest_units * 2) {
      return TriePath(base_path, i) + ": " + std::to_string(tries[i].size()) +
             " units, under two thirds of the " + std::to_string(largest_units) + " of " +
             TriePath(base_path, largest) +
             ": the tries of one model are about equal in size, so this one looks cut short";
    }
  }
  return "";
}

}  // namespace

float NGram::BackoffPenalty() {
  static const float kFactor = -std::log(0.4f) / std::log(2.0f);
  return kFactor;
}

float NGram::UnseenCost() {
  static const float kSmooth = -std::log(8e-11f) / std::log(2.0f);
  return kSmooth;
}

bool NGram::Init(const char* base_path) {
  if (trie_impl_pt_ != nullptr) return true;
  trie_impl_pt_ = new Darts::DoubleArrayImpl<int>[trie_num_];
  for (std::size_t i = 0; i < trie_num_; ++i) {
    if (!LoadTrie(TriePath(base_path, i), &trie_impl_pt_[i])) {
      UnInit();
      return false;
    }
  }
  std::string unbalanced = UnbalancedTrie(base_path, trie_impl_pt_, trie_num_);
  if (!unbalanced.empty()) {
    std::fprintf(stderr, "%s: %s\n", kWhat, unbalanced.c_str());
    UnInit();
    return false;
  }
  return true;
}

bool NGram::UnInit() {
  delete[] trie_impl_pt_;
  trie_impl_pt_ = nullptr;
  std::vector<float>().swap(backed_off_costs_);
  pair_table_.Clear();
  return true;
}

bool NGram::BuildPairTable(std::size_t word_count) {
  pair_table_.Clear();
  if (trie_impl_pt_ == nullptr) return false;
  std::vector<uint32_t> single_values;
  if (!pair_table_.Build(trie_impl_pt_, trie_num_, word_count, _EncodeKey, &single_values)) {
    // Only a damaged or foreign table gets here; lookups stay correct, only slower.
    std::fprintf(stderr, "%s: too many word pairs to lay out for the search; using the tries\n",
                 kWhat);
    CacheBackedOffCosts(word_count);
    return false;
  }
  // The walk met every single word on the way: the backed-off costs come
  // with it.
  std::vector<float> costs(word_count + 1);
  costs[0] = LookedUpBackedOffCost(0);
  for (std::size_t id = 1; id <= word_count; ++id) {
    costs[id] = single_values[id] == NGramPairTable::kNoValue
                    ? UnseenCost() + BackoffPenalty()
                    : CostFromBits(static_cast<int>(single_values[id])) + BackoffPenalty();
  }
  backed_off_costs_.swap(costs);
  return true;
}

void NGram::CacheBackedOffCosts(std::size_t word_count) {
  std::vector<float> costs;
  if (trie_impl_pt_ != nullptr) {
    costs.reserve(word_count + 1);
    for (std::size_t id = 0; id <= word_count; ++id) {
      costs.push_back(LookedUpBackedOffCost(static_cast<int32_t>(id)));
    }
  }
  backed_off_costs_.swap(costs);
}

bool NGram::Build(const char* text_path, std::size_t max_order) {
  std::ifstream in(text_path, std::ios::binary);
  if (!in) return Fail(text_path, "cannot open the file");
  return BuildFromStream(in, text_path, max_order);
}

bool NGram::BuildFromStream(std::istream& in, const char* source_name,
                            std::size_t max_order, NGramBuildStats* stats) {
  NGramBuildStats local_stats;
  if (stats == nullptr) stats = &local_stats;
  if (max_order == 0) return Fail(source_name, "max order must be at least 1");

  KeyCosts maps[trie_num_];
  auto take = [&](const std::string& line, std::string* error) {
    return TakeTableLine(line, max_order, stats, maps, error);
  };
  if (!dict_file::TakeLines(in, kWhat, source_name, stats, take)) return false;
  std::unique_ptr<Darts::DoubleArrayImpl<int>[]> tries(
      new Darts::DoubleArrayImpl<int>[trie_num_]);
  for (std::size_t i = 0; i < trie_num_; ++i) {
    if (!BuildTrie(maps[i], source_name, &tries[i])) return false;
    stats->entries[i] = maps[i].size();
  }
  UnInit();
  trie_impl_pt_ = tries.release();
  max_order_ = max_order;
  return true;
}

bool NGram::Save(const char* base_path) {
  if (trie_impl_pt_ == nullptr) return false;
  for (std::size_t i = 0; i < trie_num_; ++i) {
    std::string path = TriePath(base_path, i);
    std::string temporary = dict_file::TemporaryPathFor(path);
    if (trie_impl_pt_[i].save(temporary.c_str(), "wb") != 0) {
      std::remove(temporary.c_str());
      return Fail(temporary, "write failed");
    }
    if (!dict_file::ReplaceWithTemporary(temporary, path)) return false;
  }
  return true;
}

std::size_t NGram::_EncodeKey(uint32_t first, uint32_t second, char* key) {
  uint8_t bytes[8];
  for (int i = 0; i < 4; ++i) {
    bytes[i] = static_cast<uint8_t>(first >> (8 * i));
    bytes[4 + i] = static_cast<uint8_t>(second >> (8 * i));
  }
  // Keys are NUL-terminated strings: zero bytes become 0xFF and a flag byte
  // records which ones, so that real 0xFF bytes stay distinct.
  uint8_t flags = 0;
  for (int i = 0; i < 8; ++i) {
    if (bytes[i] == 0) {
      bytes[i] = 0xFF;
      flags |= static_cast<uint8_t>(1u << i);
    }
    key[i] = static_cast<char>(bytes[i]);
  }
  key[8] = static_cast<char>(flags);
  key[9] = 0;
  return flags != 0 ? 9 : 8;
}

std::size_t NGram::_hash(const char* key, std::size_t /*length*/) {
  return static_cast<uint8_t>(key[0]) & 3u;
}

bool NGram::LookupCost(uint32_t first, uint32_t second, float* cost) {
  if (trie_impl_pt_ == nullptr) return false;
  char key[kKeyBufferSize];
  std::size_t length = _EncodeKey(first, second, key);
  int value = trie_impl_pt_[_hash(key, length)].exactMatchSearch(key, length);
  if (value < 0) return false;
  *cost = CostFromBits(value);
  return true;
}

bool NGram::PairCost(int32_t previous, int32_t id, float* cost) {
  return previous != 0 && id != 0 &&
         LookupCost(static_cast<uint32_t>(previous), static_cast<uint32_t>(id), cost);
}

// The first word fills the first four key bytes, and the trie is chosen by
// the first of them, so every pair of one first word shares that prefix.
constexpr std::size_t kFirstWordBytes = 4;

// A history is a trie node (below 2^32), kTableHistory (the pair table
// covers the word; kHasPairs when some pair starts with it), or
// kNoPairHistory.

int64_t NGram::PairHistory(int32_t previous) {
  if (trie_impl_pt_ == nullptr || previous == 0) return kNoPairHistory;
  if (pair_table_.CoversFirst(previous)) {
    return kTableHistory | (pair_table_.HasPairs(previous) ? kHasPairs : 0);
  }
  char key[kKeyBufferSize];
  _EncodeKey(static_cast<uint32_t>(previous), 1, key);
  std::size_t node = 0;
  std::size_t key_pos = 0;
  int value = trie_impl_pt_[_hash(key, kFirstWordBytes)].traverse(key, node, key_pos,
                                                                  kFirstWordBytes);
  if (value == -2) return kNoPairHistory;
  return static_cast<int64_t>(node);
}

bool NGram::UncoveredPairCostAfter(int64_t history, int32_t previous, int32_t id,
                                   float* cost) {
  if (history == kNoPairHistory || id == 0) return false;
  if (history & kTableHistory) return PairCost(previous, id, cost);
  char key[kKeyBufferSize];
  std::size_t length =
      _EncodeKey(static_cast<uint32_t>(previous), static_cast<uint32_t>(id), key);
  int value = trie_impl_pt_[_hash(key, length)].exactMatchSearch(
      key + kFirstWordBytes, length - kFirstWordBytes, static_cast<std::size_t>(history));
  if (value < 0) return false;
  *cost = CostFromBits(value);
  return true;
}

float NGram::LookedUpBackedOffCost(int32_t id) {
  float cost = 0;
  if (LookupCost(static_cast<uint32_t>(id), 0, &cost)) return cost + BackoffPenalty();
  return UnseenCost() + BackoffPenalty();
}

float NGram::GetNGram(int32_t id, const int32_t* history,
                      std::size_t history_len) {
  uint32_t word = static_cast<uint32_t>(id);
  float cost = 0;
  if (history_len == 1) {
    uint32_t previous = static_cast<uint32_t>(history[0]);
    if (previous != 0 && word != 0 && LookupCost(previous, word, &cost)) {
      return cost;
    }
    if (LookupCost(word, 0, &cost)) return cost + BackoffPenalty();
    return UnseenCost() + BackoffPenalty();
  }
  if (LookupCost(word, 0, &cost)) return cost;
  return UnseenCost();
}

bool NGram::test(const char* text_path) {
  std::ifstream in(text_path, std::ios::binary);
  if (!in) return Fail(text_path, "cannot open the file");
  if (trie_impl_pt_ == nullptr) return Fail(text_path, "no table loaded");
  std::size_t order = max_order_ != 0 ? max_order_ : 2;
  std::string line;
  std::string error;
  std::size_t line_number = 0;
  std::size_t mismatches = 0;
  TableLine entry;
  bool beyond_order = false;
  while (std::getline(in, line)) {
    ++line_number;
    LineKind kind = ParseTableLine(line, order, &entry, &beyond_order, &error);
    if (kind == LineKind::kBlank) continue;
    if (kind == LineKind::kError) {
      dict_file::ReportLineError(text_path, line_number, error);
      ++mismatches;
      continue;
    }
    float cost = 0;
    if (!LookupCost(entry.first, entry.second, &cost) ||
        CostBits(cost) != CostBits(entry.cost)) {
      dict_file::ReportLineError(text_path, line_number,
                                 "entry not found with its cost");
      ++mismatches;
    }
  }
  return mismatches == 0;
}

const Darts::DoubleArray* NGram::GetTrie(std::size_t i) {
  if (trie_impl_pt_ == nullptr || i >= trie_num_) return nullptr;
  return &trie_impl_pt_[i];
}

}  // namespace new_seg
