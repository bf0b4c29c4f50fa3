#include "pos/PosInterveneCoredict.h"

#include <cstdio>
#include <fstream>
#include <map>
#include <new>

#include "dict/DictFile.h"
#include "pos/CSegmentTag.h"
#include "text/TextUtil.h"

namespace new_seg {

PosInterveneCoredict* PosInterveneCoredict::instance_ = nullptr;

namespace {

const char kWhat[] = "POS intervention dictionary";
const int kLastPosId = 48;

typedef std::map<std::string, PosCoreTermAttribute> TermMap;

// Adds the line's tag sequence to the rule tree and its identifier to the
// word's record. A line without tags adds nothing; neither does a word the
// trie cannot hold (one with a 0 byte).
void AddRule(TermMap* term_map, RuleTree* rule_tree, const std::string& line) {
  std::vector<std::string> fields = dict_file::SplitWhitespace(line);
  if (fields.size() < 2 || fields[0].find('\0') != std::string::npos) return;
  std::vector<uint8_t> tags;
  for (size_t i = 1; i < fields.size(); ++i) {
    tags.push_back(PosInterveneCoredict::GetPosId(fields[i]));
  }
  size_t rule_id = rule_tree->AddRule(tags);
  if (rule_id == 0) return;
  PosCoreTermAttribute& record = (*term_map)[fields[0]];
  record.length = fields[0].size();
  record.AddtypeID(rule_id);
}

}  // namespace

bool PosInterveneCoredict::Init(const char* path) {
  if (path == nullptr) return false;
  if (instance_ == nullptr) {
    instance_ = new (std::nothrow) PosInterveneCoredict;
    if (instance_ == nullptr) return false;
  }
  return instance_->Build(path);
}

bool PosInterveneCoredict::UnInit() {
  delete instance_;
  instance_ = nullptr;
  return true;
}

void PosInterveneCoredict::Clear() {
  trie_impl_pt_.reset();
  values_.clear();
}

bool PosInterveneCoredict::Build(const char* path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    dict_file::ReportFileError(kWhat, path, "cannot open the file");
    return false;
  }
  Clear();
  bool built = dict_file::CatchLoadErrors(kWhat, path, [&]() {
    TermMap term_map;
    std::string line;
    while (std::getline(in, line)) AddRule(&term_map, &ruleTree_, line);
    if (term_map.empty()) return true;
    std::vector<const char*> keys;
    std::vector<size_t> lengths;
    std::vector<int> positions;
    for (const auto& entry : term_map) {
      keys.push_back(entry.first.c_str());
      lengths.push_back(entry.first.size());
      positions.push_back(static_cast<int>(values_.size()));
      values_.push_back(entry.second);
    }
    std::unique_ptr<Darts::DoubleArray> trie(new Darts::DoubleArray);
    trie->build(keys.size(), keys.data(), lengths.data(), positions.data());
    trie_impl_pt_ = std::move(trie);
    return true;
  });
  if (!built) values_.clear();
  return built;
}

int32_t PosInterveneCoredict::ExactMatchSearch(const char* key, size_t len,
                                               size_t node_pos) const {
  if (trie_impl_pt_ == nullptr || key == nullptr) return -1;
  return trie_impl_pt_->exactMatchSearch(key, len, node_pos);
}

size_t PosInterveneCoredict::CommonPrefixSearch(const char* key, size_t len, int32_t* result,
                                                size_t result_len, size_t node_pos) const {
  if (trie_impl_pt_ == nullptr || key == nullptr) return 0;
  if (result == nullptr) result_len = 0;
  return trie_impl_pt_->commonPrefixSearch(key, result, result_len, len, node_pos);
}

int32_t PosInterveneCoredict::Traverse(const char* key, size_t len, size_t* node_pos,
                                       size_t* key_pos) const {
  if (trie_impl_pt_ == nullptr || key == nullptr || node_pos == nullptr ||
      key_pos == nullptr) {
    return -2;
  }
  return trie_impl_pt_->traverse(key, *node_pos, *key_pos, len);
}

const PosCoreTermAttribute& PosInterveneCoredict::GetValue(int32_t idx) const {
  static const PosCoreTermAttribute kNoRecord;
  if (idx < 0 || static_cast<size_t>(idx) >= values_.size()) return kNoRecord;
  return values_[idx];
}

posid_type PosInterveneCoredict::GetPosId(const std::string& pos) {
  char name[8];
  for (int id = 1; id <= kLastPosId; ++id) {
    CSegmentTag::_get_pos_char(id, name);
    if (Strcmpcase(pos.c_str(), name) == 0) return static_cast<posid_type>(id);
  }
  return 0;
}

}  // namespace new_seg
