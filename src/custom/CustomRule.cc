#include "custom/CustomRule.h"

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "dict/DictFile.h"
#include "custom/UserTextFile.h"
#include "text/Gb18030.h"
#include "text/TextUtil.h"

namespace new_seg {

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

RecordDictFile<CustomRuleAttribute> CustomRule::rules_(kWhat, "rule", "rules");

bool CustomRule::Init(const char* path) {
  UnInit();
  return dict_file::CatchLoadErrors(kWhat, path, [path]() {
    RuleSet set;
    auto add = [&](const std::string& line, size_t number) { AddLine(path, line, number, &set); };
    return UserTextFile::ReadLines(path, kWhat, add) &&
           rules_.Assign(set.rules, set.seg_info,
                         RecordDictFile<CustomRuleAttribute>::Keys::kUpToNul, path);
  });
}

bool CustomRule::UnInit() {
  rules_.Clear();
  return true;
}

// An empty rule set answers no lookup, whatever its trie holds.
int CustomRule::ExactMatchSearch(const char* key, size_t len, size_t node_pos) {
  if (GetSize() == 0) return -1;
  return rules_.ExactMatchSearch(key, len, node_pos);
}

size_t CustomRule::CommonPrefixSearch(const char* key, size_t len, int* results, size_t maximum,
                                      size_t node_pos) {
  if (GetSize() == 0) return 0;
  return rules_.CommonPrefixSearch(key, len, results, maximum, node_pos);
}

int CustomRule::Traverse(const char* key, size_t len, size_t* node_pos, size_t* key_pos) {
  if (GetSize() == 0) return -2;
  return rules_.Traverse(key, len, node_pos, key_pos);
}

const CustomRuleAttribute* CustomRule::GetValue(int id) { return rules_.GetRecord(id); }

const uint8_t* CustomRule::GetSegInfo(size_t index) {
  if (index == 0) return nullptr;
  return rules_.GetSegInfo(index);
}

}  // namespace new_seg
