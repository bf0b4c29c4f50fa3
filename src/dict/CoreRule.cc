#include "dict/CoreRule.h"

#include <fstream>
#include <istream>
#include <map>
#include <string>
#include <vector>

#include "dict/DictFile.h"

namespace new_seg {

namespace {

using dict_file::LineKind;

const char* const kWhat = CoreRule::kWhat;
const long long kMaxPatternBytes = 255;

bool Fail(const std::string& path, const std::string& message) {
  dict_file::ReportFileError(kWhat, path, message);
  return false;
}

// The effective part lies inside the pattern, and a split list ascends from
// its optional leading 0 to exactly the effective length: anything else
// would cut pieces of zero length or pieces outside the pattern.
std::string RuleFits(const CoreRuleAttribute& rule, uint64_t number, const uint8_t* seg_info,
                     uint64_t seg_info_size) {
  std::string where = "rule " + std::to_string(number) + ": ";
  if (rule.rule_len == 0 || rule.rule_effective_len == 0 ||
      rule.rule_effective_begin_pos + rule.rule_effective_len > rule.rule_len) {
    return where + "effective part " + std::to_string(rule.rule_effective_begin_pos) + "+" +
           std::to_string(rule.rule_effective_len) + " is empty or outside a pattern of " +
           std::to_string(rule.rule_len) + " bytes";
  }
  uint64_t index = rule.rule_seg_info_index;
  if (index == 0) return std::string();
  unsigned previous = 0;
  for (uint64_t i = index; i < seg_info_size; ++i) {
    unsigned position = seg_info[i];
    if (position == rule.rule_effective_len) return std::string();
    if (i > index && position <= previous) break;
    if (position > rule.rule_effective_len) break;
    previous = position;
  }
  return where + "split list at seg-info byte " + std::to_string(index) +
         " does not ascend to the effective length " +
         std::to_string(rule.rule_effective_len);
}

struct RuleLine {
  std::string pattern;
  long long begin = 0;
  long long length = 0;
  std::vector<uint8_t> positions;
};

bool ParseNumbers(const std::vector<std::string>& fields, std::vector<long long>* numbers,
                  std::string* error) {
  for (const std::string& field : fields) {
    long long value = 0;
    if (!dict_file::ParseInteger(field, &value)) {
      *error = "'" + field + "' is not an integer";
      return false;
    }
    numbers->push_back(value);
  }
  return true;
}

LineKind ParseRuleLine(const std::string& line, RuleLine* rule, std::string* error) {
  std::size_t tab = line.find('\t');
  rule->pattern = line.substr(0, tab);
  if (rule->pattern.empty()) return LineKind::kBlank;
  if (tab == std::string::npos) {
    *error = "no TAB and effective part after the pattern";
    return LineKind::kError;
  }
  if (static_cast<long long>(rule->pattern.size()) > kMaxPatternBytes) {
    *error = "pattern longer than 255 bytes";
    return LineKind::kError;
  }
  std::vector<long long> numbers;
  if (!ParseNumbers(dict_file::SplitWhitespace(line.substr(tab + 1)), &numbers, error)) {
    return LineKind::kError;
  }
  if (numbers.size() < 2) {
    *error = "missing effective start and length";
    return LineKind::kError;
  }
  rule->begin = numbers[0];
  rule->length = numbers[1];
  long long pattern_len = static_cast<long long>(rule->pattern.size());
  if (rule->begin < 0 || rule->length < 1 || rule->begin + rule->length > pattern_len) {
    *error = "effective part " + std::to_string(rule->begin) + "+" +
             std::to_string(rule->length) + " is empty or outside the pattern";
    return LineKind::kError;
  }
  rule->positions.clear();
  for (std::size_t i = 2; i < numbers.size(); ++i) {
    if (numbers[i] == -1) continue;
    if (numbers[i] < 0 || numbers[i] > rule->length ||
        (!rule->positions.empty() && numbers[i] <= rule->positions.back())) {
      *error = "split positions must ascend within 0.." + std::to_string(rule->length);
      return LineKind::kError;
    }
    rule->positions.push_back(static_cast<uint8_t>(numbers[i]));
  }
  if (!rule->positions.empty() && rule->positions.back() != rule->length) {
    *error = "split positions must end at the effective length " +
             std::to_string(rule->length);
    return LineKind::kError;
  }
  return LineKind::kEntry;
}

LineKind TakeRuleLine(const std::string& line, CoreRuleBuildStats* stats,
                      std::map<std::string, CoreRuleAttribute>* rules,
                      std::vector<uint8_t>* seg_info, std::string* error) {
  RuleLine parsed;
  LineKind kind = ParseRuleLine(line, &parsed, error);
  if (kind != LineKind::kEntry) return kind;
  CoreRuleAttribute record{};
  record.rule_len = static_cast<uint8_t>(parsed.pattern.size());
  record.rule_effective_begin_pos = static_cast<uint8_t>(parsed.begin);
  record.rule_effective_len = static_cast<uint8_t>(parsed.length);
  record.rule_seg_info_index = parsed.positions.empty() ? 0 : seg_info->size();
  seg_info->insert(seg_info->end(), parsed.positions.begin(), parsed.positions.end());
  auto inserted = rules->insert({parsed.pattern, record});
  if (!inserted.second) {
    inserted.first->second = record;
    ++stats->replaced;
  }
  return LineKind::kEntry;
}

}  // namespace

bool CoreRule::Init(const char* path) {
  return Load(path, File::Count::kAtLeastOne, RuleFits);
}

bool CoreRule::BuildFromStream(std::istream& in, const char* source_name,
                               CoreRuleBuildStats* stats) {
  CoreRuleBuildStats local_stats;
  if (stats == nullptr) stats = &local_stats;
  std::map<std::string, CoreRuleAttribute> rules;
  std::vector<uint8_t> seg_info(1, 0);  // index 0 means "one piece"
  auto take = [&](const std::string& line, std::string* error) {
    return TakeRuleLine(line, stats, &rules, &seg_info, error);
  };
  if (!dict_file::TakeLines(in, kWhat, source_name, stats, take)) return false;
  if (rules.empty()) return Fail(source_name, "no rules");
  return Assign(rules, seg_info, File::Keys::kWhole,
                      source_name);
}

}  // namespace new_seg
