#include "dict/CoreRule.h"

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

Darts::DoubleArrayImpl<int>* CoreRule::trie_impl_pt_ = nullptr;
uint64_t CoreRule::size_ = 0;
CoreRuleAttribute* CoreRule::values_ = nullptr;
uint8_t* CoreRule::seg_info_array_ = nullptr;
uint64_t CoreRule::seg_info_size_ = 0;

namespace {

const char kWhat[] = "core rules";
const uint64_t kCountBytes = 8;
const uint64_t kRecordBytes = sizeof(CoreRuleAttribute);
const long long kMaxPatternBytes = 255;

// A load or a build, installed into the static members only when complete.
struct CoreRuleImage {
  std::unique_ptr<Darts::DoubleArray> trie;
  std::unique_ptr<CoreRuleAttribute[]> values;
  uint64_t size = 0;
  std::unique_ptr<uint8_t[]> seg_info;
  uint64_t seg_info_size = 0;
};

bool Fail(const std::string& path, const std::string& message) {
  dict_file::ReportFileError(kWhat, path, message);
  return false;
}

// --- checks shared by loading and building ---

// The effective part lies inside the pattern, and a split list ascends from
// its optional leading 0 to exactly the effective length: anything else
// would cut pieces of zero length or pieces outside the pattern.
bool CheckRule(const CoreRuleAttribute& rule, const uint8_t* seg_info,
               uint64_t seg_info_size, std::string* error) {
  if (rule.rule_len == 0 || rule.rule_effective_len == 0 ||
      rule.rule_effective_begin_pos + rule.rule_effective_len > rule.rule_len) {
    *error = "effective part " + std::to_string(rule.rule_effective_begin_pos) + "+" +
             std::to_string(rule.rule_effective_len) +
             " is empty or outside a pattern of " + std::to_string(rule.rule_len) +
             " bytes";
    return false;
  }
  uint64_t index = rule.rule_seg_info_index;
  if (index == 0) return true;
  unsigned previous = 0;
  for (uint64_t i = index; i < seg_info_size; ++i) {
    unsigned position = seg_info[i];
    if (position == rule.rule_effective_len) return true;
    if (i > index && position <= previous) break;
    if (position > rule.rule_effective_len) break;
    previous = position;
  }
  *error = "split list at seg-info byte " + std::to_string(index) +
           " does not ascend to the effective length " +
           std::to_string(rule.rule_effective_len);
  return false;
}

// --- loading ---

class FileCloser {
 public:
  explicit FileCloser(std::FILE* file) : file_(file) {}
  ~FileCloser() { std::fclose(file_); }
  FileCloser(const FileCloser&) = delete;
  FileCloser& operator=(const FileCloser&) = delete;

 private:
  std::FILE* file_;
};

bool ReadBytes(std::FILE* file, void* buffer, uint64_t bytes) {
  return std::fread(buffer, 1, bytes, file) == bytes;
}

bool ReadRecords(std::FILE* file, uint64_t file_size, const std::string& path,
                 CoreRuleImage* image) {
  if (file_size < kCountBytes * 2 || !ReadBytes(file, &image->size, kCountBytes)) {
    return Fail(path, "file too short for the rule count and seg-info size");
  }
  if (image->size == 0 || image->size > (file_size - kCountBytes * 2) / kRecordBytes) {
    return Fail(path, std::to_string(image->size) + " rules do not fit a file of " +
                          std::to_string(file_size) + " bytes");
  }
  image->values.reset(new CoreRuleAttribute[image->size]);
  if (!ReadBytes(file, image->values.get(), image->size * kRecordBytes)) {
    return Fail(path, "short read of the rules");
  }
  return true;
}

bool ReadSegInfo(std::FILE* file, uint64_t file_size, const std::string& path,
                 CoreRuleImage* image) {
  uint64_t used = kCountBytes * 2 + image->size * kRecordBytes;
  if (!ReadBytes(file, &image->seg_info_size, kCountBytes)) {
    return Fail(path, "short read of the seg-info size");
  }
  if (image->seg_info_size == 0 || image->seg_info_size > file_size - used) {
    return Fail(path, "seg-info size " + std::to_string(image->seg_info_size) +
                          " does not fit a file of " + std::to_string(file_size) +
                          " bytes");
  }
  image->seg_info.reset(new uint8_t[image->seg_info_size]);
  if (!ReadBytes(file, image->seg_info.get(), image->seg_info_size)) {
    return Fail(path, "short read of the seg-info bytes");
  }
  if (image->seg_info[0] != 0) return Fail(path, "seg-info byte 0 is not 0");
  return true;
}

bool ReadTrie(uint64_t file_size, const std::string& path, CoreRuleImage* image) {
  uint64_t offset = kCountBytes * 2 + image->size * kRecordBytes + image->seg_info_size;
  uint64_t trie_bytes = file_size - offset;
  if (!dict_file::IsWholeTrie(trie_bytes)) {
    return Fail(path, "trie part of " + std::to_string(trie_bytes) +
                          " bytes is not a whole number of " +
                          std::to_string(dict_file::kTrieBlockBytes) + "-byte blocks");
  }
  image->trie.reset(new Darts::DoubleArray);
  try {
    if (image->trie->open(path.c_str(), "rb", offset, trie_bytes) != 0) {
      return Fail(path, "cannot read the trie");
    }
  } catch (const Darts::Details::Exception& e) {
    return Fail(path, e.what());
  }
  return true;
}

bool RulesHoldTogether(const CoreRuleImage& image, const std::string& path) {
  std::string error;
  for (uint64_t i = 0; i < image.size; ++i) {
    if (!CheckRule(image.values[i], image.seg_info.get(), image.seg_info_size, &error)) {
      return Fail(path, "rule " + std::to_string(i) + ": " + error);
    }
  }
  // Every value unit must name a rule, so that ids handed out are valid.
  auto units = static_cast<const uint32_t*>(image.trie->array());
  for (std::size_t i = 0; i < image.trie->size(); ++i) {
    if ((units[i] & 0x80000000u) != 0 && (units[i] & 0x7FFFFFFFu) >= image.size) {
      return Fail(path, "trie unit " + std::to_string(i) + " names rule " +
                            std::to_string(units[i] & 0x7FFFFFFFu) + " of " +
                            std::to_string(image.size));
    }
  }
  return true;
}

bool LoadImage(const std::string& path, CoreRuleImage* image) {
  uint64_t file_size = 0;
  std::FILE* file = nullptr;
  if (!dict_file::FileSize(path, &file_size) ||
      (file = std::fopen(path.c_str(), "rb")) == nullptr) {
    return Fail(path, "cannot open the file");
  }
  FileCloser closer(file);
  return ReadRecords(file, file_size, path, image) &&
         ReadSegInfo(file, file_size, path, image) && ReadTrie(file_size, path, image) &&
         RulesHoldTogether(*image, path);
}

// --- building ---

enum class LineKind { kEntry, kBlank, kError };

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

bool BuildTrie(const std::map<std::string, CoreRuleAttribute>& rules, const char* source_name,
               CoreRuleImage* image) {
  std::vector<const char*> keys;
  std::vector<std::size_t> lengths;
  for (const auto& rule : rules) {
    keys.push_back(rule.first.data());
    lengths.push_back(rule.first.size());
  }
  image->trie.reset(new Darts::DoubleArray);
  try {
    image->trie->build(keys.size(), keys.data(), lengths.data());
  } catch (const Darts::Details::Exception& e) {
    return Fail(source_name, e.what());
  }
  return true;
}

bool BuildImage(std::istream& in, const char* source_name, CoreRuleBuildStats* stats,
                CoreRuleImage* image) {
  std::map<std::string, CoreRuleAttribute> rules;
  std::vector<uint8_t> seg_info(1, 0);  // index 0 means "one piece"
  std::string line, error;
  RuleLine parsed;
  while (std::getline(in, line)) {
    ++stats->lines;
    LineKind kind = ParseRuleLine(line, &parsed, &error);
    if (kind == LineKind::kBlank) {
      ++stats->skipped_blank;
      continue;
    }
    if (kind == LineKind::kError) {
      dict_file::ReportLineError(source_name, stats->lines, error);
      return false;
    }
    CoreRuleAttribute record{};
    record.rule_len = static_cast<uint8_t>(parsed.pattern.size());
    record.rule_effective_begin_pos = static_cast<uint8_t>(parsed.begin);
    record.rule_effective_len = static_cast<uint8_t>(parsed.length);
    record.rule_seg_info_index = parsed.positions.empty() ? 0 : seg_info.size();
    seg_info.insert(seg_info.end(), parsed.positions.begin(), parsed.positions.end());
    auto inserted = rules.insert({parsed.pattern, record});
    if (!inserted.second) {
      inserted.first->second = record;
      ++stats->replaced;
    }
  }
  if (in.bad()) return Fail(source_name, "read error");
  if (rules.empty()) return Fail(source_name, "no rules");
  if (!BuildTrie(rules, source_name, image)) return false;
  image->size = rules.size();
  image->values.reset(new CoreRuleAttribute[rules.size()]);
  std::size_t i = 0;
  for (const auto& rule : rules) image->values[i++] = rule.second;
  image->seg_info_size = seg_info.size();
  image->seg_info.reset(new uint8_t[seg_info.size()]);
  std::memcpy(image->seg_info.get(), seg_info.data(), seg_info.size());
  return true;
}

}  // namespace

bool CoreRule::IsLoaded() {
  return trie_impl_pt_ != nullptr && values_ != nullptr && size_ != 0 &&
         seg_info_array_ != nullptr && seg_info_size_ != 0;
}

namespace {
void Install(CoreRuleImage* image, Darts::DoubleArrayImpl<int>** trie, uint64_t* size,
             CoreRuleAttribute** values, uint8_t** seg_info, uint64_t* seg_info_size) {
  *trie = image->trie.release();
  *size = image->size;
  *values = image->values.release();
  *seg_info = image->seg_info.release();
  *seg_info_size = image->seg_info_size;
}
}  // namespace

bool CoreRule::Init(const char* path) {
  if (IsLoaded()) return true;
  CoreRuleImage image;
  if (!LoadImage(path, &image)) return false;
  UnInit();
  Install(&image, &trie_impl_pt_, &size_, &values_, &seg_info_array_, &seg_info_size_);
  return true;
}

bool CoreRule::UnInit() {
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

bool CoreRule::Build(const char* text_path) {
  std::ifstream in(text_path, std::ios::binary);
  if (!in) return Fail(text_path, "cannot open the file");
  return BuildFromStream(in, text_path);
}

bool CoreRule::BuildFromStream(std::istream& in, const char* source_name,
                               CoreRuleBuildStats* stats) {
  CoreRuleBuildStats local_stats;
  CoreRuleImage image;
  if (!BuildImage(in, source_name, stats != nullptr ? stats : &local_stats, &image)) {
    return false;
  }
  UnInit();
  Install(&image, &trie_impl_pt_, &size_, &values_, &seg_info_array_, &seg_info_size_);
  return true;
}

bool CoreRule::Save(const char* path) {
  if (!IsLoaded()) return false;
  std::string temporary = dict_file::TemporaryPathFor(path);
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  if (file == nullptr) return Fail(temporary, "cannot create the file");
  bool written = std::fwrite(&size_, kCountBytes, 1, file) == 1 &&
                 std::fwrite(values_, kRecordBytes, size_, file) == size_ &&
                 std::fwrite(&seg_info_size_, kCountBytes, 1, file) == 1 &&
                 std::fwrite(seg_info_array_, 1, seg_info_size_, file) == seg_info_size_;
  bool closed = std::fclose(file) == 0;
  if (!written || !closed || trie_impl_pt_->save(temporary.c_str(), "ab") != 0) {
    std::remove(temporary.c_str());
    return Fail(temporary, "write failed");
  }
  return dict_file::ReplaceWithTemporary(temporary, path);
}

int CoreRule::ExactMatchSearch(const char* key, std::size_t len, std::size_t node_pos) {
  if (trie_impl_pt_ == nullptr) return -1;
  int value = trie_impl_pt_->exactMatchSearch(key, len, node_pos);
  return value < 0 ? -1 : value + 1;
}

std::size_t CoreRule::CommonPrefixSearch(const char* key, std::size_t len, int* results,
                                         std::size_t maximum, std::size_t node_pos) {
  if (trie_impl_pt_ == nullptr) return 0;
  std::size_t count = trie_impl_pt_->commonPrefixSearch(key, results, maximum, len, node_pos);
  std::size_t stored = count < maximum ? count : maximum;
  for (std::size_t i = 0; i < stored; ++i) ++results[i];
  return count;
}

int CoreRule::Traverse(const char* key, std::size_t len, std::size_t* node_pos,
                       std::size_t* key_pos) {
  if (trie_impl_pt_ == nullptr) return -2;
  return trie_impl_pt_->traverse(key, *node_pos, *key_pos, len);
}

const CoreRuleAttribute* CoreRule::GetValue(int id) {
  if (id < 1 || static_cast<uint64_t>(id) > size_) return nullptr;
  return &values_[id - 1];
}

const uint8_t* CoreRule::GetSegInfo(std::size_t index) {
  if (index >= seg_info_size_) return nullptr;
  return seg_info_array_ + index;
}

}  // namespace new_seg
