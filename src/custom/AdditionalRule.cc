#include "custom/AdditionalRule.h"

#include <map>
#include <memory>

#include "dict/DictFile.h"
#include "custom/UserTextFile.h"
#include "text/TextUtil.h"

namespace new_seg {

Darts::DoubleArrayImpl<int>* AdditionalRule::trie_impl_pt_ = nullptr;
std::vector<AdditionalRuleAttribute> AdditionalRule::values_;

namespace {

const char kWhat[] = "additional rules";

struct RuleSet {
  std::map<std::string, int> index_of;
  std::vector<AdditionalRuleAttribute> values;
};

// Why a line cannot be used, or "" when it can.
std::string CheckLine(const std::string& rule, const AdditionalRuleAttribute& attribute) {
  if (rule.find('\0') != std::string::npos) return "rule with a NUL byte";
  for (const auto& group : attribute.groups) {
    for (const std::string& word : group) {
      if (word.size() > AdditionalRule::kMaxWordLen) {
        return "word of " + std::to_string(word.size()) + " bytes (at most 1024)";
      }
    }
  }
  return "";
}

void AddLine(const std::string& path, const std::string& line, size_t number, RuleSet* set) {
  if (line.empty() || line[0] == '#') return;
  std::vector<std::string> fields;
  Split(line, "\t", fields);
  std::string rule = fields[0];
  if (rule.empty()) return;
  ToLower(rule);
  AdditionalRuleAttribute attribute;
  attribute.rule_len = rule.size();
  for (size_t i = 1; i < fields.size(); ++i) {
    if (fields[i].empty()) continue;
    attribute.groups.emplace_back();
    Split(fields[i], ",", attribute.groups.back());
  }
  std::string error = CheckLine(rule, attribute);
  if (!error.empty()) {
    std::string source = std::string(kWhat) + ": " + path;
    dict_file::ReportLineError(source.c_str(), number, error + "; line skipped");
    return;
  }
  set->index_of[rule] = static_cast<int>(set->values.size());
  set->values.push_back(std::move(attribute));
}

}  // namespace

bool AdditionalRule::Init(const char* path) {
  UnInit();
  return dict_file::CatchLoadErrors(kWhat, path, [path]() {
    RuleSet set;
    auto add = [&](const std::string& line, size_t number) { AddLine(path, line, number, &set); };
    if (!UserTextFile::ReadLines(path, kWhat, add)) return false;
    std::vector<const char*> keys;
    std::vector<int> indexes;
    for (const auto& rule : set.index_of) {
      keys.push_back(rule.first.c_str());
      indexes.push_back(rule.second);
    }
    std::unique_ptr<Darts::DoubleArrayImpl<int>> trie(new Darts::DoubleArrayImpl<int>);
    trie->build(keys.size(), keys.data(), nullptr, indexes.data());
    trie_impl_pt_ = trie.release();
    values_ = std::move(set.values);
    return true;
  });
}

bool AdditionalRule::UnInit() {
  delete trie_impl_pt_;
  trie_impl_pt_ = nullptr;
  values_.clear();
  values_.shrink_to_fit();
  return true;
}

size_t AdditionalRule::CommonPrefixSearch(const char* key, size_t len, int* results,
                                          size_t maximum, size_t node_pos) {
  if (trie_impl_pt_ == nullptr || values_.empty()) return 0;
  return trie_impl_pt_->commonPrefixSearch(key, results, maximum, len, node_pos);
}

const AdditionalRuleAttribute* AdditionalRule::GetValue(int index) {
  if (index < 0 || static_cast<size_t>(index) >= values_.size()) return nullptr;
  return &values_[index];
}

}  // namespace new_seg
