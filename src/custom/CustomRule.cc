#include "custom/CustomRule.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "dict/DictFile.h"
#include "custom/UserTextFile.h"
#include "text/Gb18030.h"
#include "text/TextUtil.h"

namespace new_seg {

Darts::DoubleArrayImpl<int>* CustomRule::trie_impl_pt_ = nullptr;
size_t CustomRule::size_ = 0;
CustomRuleAttribute* CustomRule::values_ = nullptr;
uint8_t* CustomRule::seg_info_array_ = nullptr;
size_t CustomRule::seg_info_size_ = 0;

namespace {

const char kWhat[] = "custom rules";

// A field as a decimal integer: leading blanks skipped, digits up to the
// first other byte; an empty or non-numeric field counts 0.
long FieldValue(const std::string& field) {
  return std::strtol(field.c_str(), nullptr, 10);
}

// Whether every offset in cuts falls on a character boundary of rule.
bool CutsOnCharacters(const std::string& rule, const std::vector<long>& cuts) {
  std::vector<bool> boundary(rule.size() + 1, false);
  for (size_t pos = 0; pos < rule.size(); pos += GbCharLen(rule.data(), pos, rule.size())) {
    boundary[pos] = true;
  }
  boundary[rule.size()] = true;
  for (long cut : cuts) {
    if (!boundary[static_cast<size_t>(cut)]) return false;
  }
  return true;
}

// The running sums of the token lengths after the first comma, or an
// explanation of why they cannot cut the rule.
bool ParseCuts(const std::string& rule, const std::string& lengths, std::vector<long>* cuts,
               std::string* error) {
  std::vector<std::string> fields;
  Split(lengths, ",", fields);
  long sum = 0;
  for (const std::string& field : fields) {
    long len = FieldValue(field);
    if (len <= 0) {
      *error = "token length '" + field + "' is not positive";
      return false;
    }
    if (len > static_cast<long>(rule.size()) - sum) {
      *error = "token lengths add up to more than the rule's " + std::to_string(rule.size()) +
               " bytes";
      return false;
    }
    sum += len;
    cuts->push_back(sum);
  }
  if (sum != static_cast<long>(rule.size())) {
    *error = "token lengths add up to " + std::to_string(sum) + ", not to the rule's " +
             std::to_string(rule.size()) + " bytes";
    return false;
  }
  if (rule.size() > CustomRule::kMaxCutRuleLen) {
    *error = "a rule cut into tokens is at most 255 bytes";
    return false;
  }
  if (!CutsOnCharacters(rule, *cuts)) {
    *error = "a token boundary falls inside a character";
    return false;
  }
  return true;
}

struct RuleSet {
  std::map<std::string, CustomRuleAttribute> rules;
  std::vector<uint8_t> seg_info = std::vector<uint8_t>(1, 0);  // index 0: no list
};

void AddLine(const std::string& path, const std::string& line, size_t number, RuleSet* set) {
  if (line.empty() || line[0] == '#') return;
  size_t comma = line.find(',');
  std::string rule = line.substr(0, comma);
  if (rule.empty()) return;
  std::string source = std::string(kWhat) + ": " + path;
  if (rule.find('\0') != std::string::npos) {
    dict_file::ReportLineError(source.c_str(), number, "rule with a NUL byte skipped");
    return;
  }
  ToLower(rule);
  CustomRuleAttribute attribute{rule.size(), 0};
  if (comma != std::string::npos) {
    std::vector<long> cuts;
    std::string error;
    if (!ParseCuts(rule, line.substr(comma + 1), &cuts, &error)) {
      dict_file::ReportLineError(source.c_str(), number,
                                 "invalid length info in \"" + line + "\": " + error +
                                     "; skipped");
      return;
    }
    attribute.rule_seg_info_index = set->seg_info.size();
    set->seg_info.push_back(0);
    for (long cut : cuts) set->seg_info.push_back(static_cast<uint8_t>(cut));
  }
  set->rules[rule] = attribute;
}

}  // namespace

bool CustomRule::Init(const char* path) {
  UnInit();
  try {
    std::string text;
    if (!UserTextFile::Read(path, kWhat, &text)) return false;
    RuleSet set;
    UserTextFile::ForEachLine(text, [&](const std::string& line, size_t number) {
      AddLine(path, line, number, &set);
      return true;
    });
    std::vector<const char*> keys;
    for (const auto& rule : set.rules) keys.push_back(rule.first.c_str());
    std::unique_ptr<Darts::DoubleArrayImpl<int>> trie(new Darts::DoubleArrayImpl<int>);
    trie->build(keys.size(), keys.data());
    std::unique_ptr<CustomRuleAttribute[]> values(new CustomRuleAttribute[keys.size()]);
    size_t i = 0;
    for (const auto& rule : set.rules) values[i++] = rule.second;
    std::unique_ptr<uint8_t[]> seg_info(new uint8_t[set.seg_info.size()]);
    std::memcpy(seg_info.get(), set.seg_info.data(), set.seg_info.size());

    trie_impl_pt_ = trie.release();
    values_ = values.release();
    size_ = keys.size();
    seg_info_array_ = seg_info.release();
    seg_info_size_ = set.seg_info.size();
    return true;
  } catch (const Darts::Details::Exception& e) {
    dict_file::ReportFileError(kWhat, path, e.what());
  } catch (const std::bad_alloc&) {
    dict_file::ReportFileError(kWhat, path, "out of memory");
  }
  return false;
}

bool CustomRule::UnInit() {
  delete trie_impl_pt_;
  trie_impl_pt_ = nullptr;
  delete[] values_;
  values_ = nullptr;
  size_ = 0;
  delete[] seg_info_array_;
  seg_info_array_ = nullptr;
  seg_info_size_ = 0;
  return true;
}

int CustomRule::ExactMatchSearch(const char* key, size_t len, size_t node_pos) {
  if (trie_impl_pt_ == nullptr || size_ == 0) return -1;
  int value = trie_impl_pt_->exactMatchSearch(key, len, node_pos);
  return value < 0 ? -1 : value + 1;
}

size_t CustomRule::CommonPrefixSearch(const char* key, size_t len, int* results, size_t maximum,
                                      size_t node_pos) {
  if (trie_impl_pt_ == nullptr || size_ == 0) return 0;
  size_t count = trie_impl_pt_->commonPrefixSearch(key, results, maximum, len, node_pos);
  size_t stored = count < maximum ? count : maximum;
  for (size_t i = 0; i < stored; ++i) ++results[i];
  return count;
}

int CustomRule::Traverse(const char* key, size_t len, size_t* node_pos, size_t* key_pos) {
  if (trie_impl_pt_ == nullptr || size_ == 0) return -2;
  return trie_impl_pt_->traverse(key, *node_pos, *key_pos, len);
}

const CustomRuleAttribute* CustomRule::GetValue(int id) {
  if (id < 1 || static_cast<size_t>(id) > size_) return nullptr;
  return &values_[id - 1];
}

const uint8_t* CustomRule::GetSegInfo(size_t index) {
  if (index == 0 || index >= seg_info_size_) return nullptr;
  return seg_info_array_ + index;
}

}  // namespace new_seg
