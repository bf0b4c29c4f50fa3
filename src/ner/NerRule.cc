#include "ner/NerRule.h"

#include <climits>
#include <cstdarg>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>

#include "dict/DictFile.h"
#include "text/Gb18030.h"
#include "text/TextUtil.h"

namespace new_seg {

namespace {

const char kSpace[] = " \t\r\n\v\f";

struct Span {
  int32_t offset;
  int32_t length;
  int32_t type;
};

// Messages name the file, then the line as the rule file's users count it.
void Report(const char* path, const char* format, ...) __attribute__((format(printf, 2, 3)));
void Report(const char* path, const char* format, ...) {
  std::fprintf(stderr, "%s: ", path);
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
  std::fputc('\n', stderr);
}

std::string Trim(const std::string& text) {
  std::size_t begin = text.find_first_not_of(kSpace);
  if (begin == std::string::npos) return std::string();
  std::size_t end = text.find_last_not_of(kSpace);
  return text.substr(begin, end - begin + 1);
}

bool ParseInt32(const std::string& text, int32_t* value) {
  long long parsed = 0;
  if (!dict_file::ParseInteger(Trim(text), &parsed) || parsed < INT32_MIN || parsed > INT32_MAX) {
    return false;
  }
  *value = static_cast<int32_t>(parsed);
  return true;
}

// Whether byte offset `at` of the text starts a character (or is its end).
bool OnCharBoundary(const std::string& text, std::size_t at) {
  std::size_t pos = 0;
  while (pos < at) pos += GbCharLen(text.data(), pos, text.size());
  return pos == at;
}

// The spans of fields[1..] that pass every check, each refusal reported.
std::vector<Span> ReadSpans(const char* path, int line_no, const std::string& text,
                            const std::vector<std::string>& fields, const std::string& line) {
  std::vector<Span> spans;
  for (std::size_t column = 1; column < fields.size(); ++column) {
    std::vector<std::string> parts;
    Split(fields[column], ",", parts);
    Span span{};
    if (parts.size() != 3 || !ParseInt32(parts[0], &span.offset) ||
        !ParseInt32(parts[1], &span.length) || !ParseInt32(parts[2], &span.type)) {
      Report(path, "line %d, column %zu format error: %s", line_no, column, line.c_str());
      continue;
    }
    if (span.offset < 0) {
      Report(path, "line %d, column %zu invalid offset: < 0", line_no, column);
    } else if (span.length < 1) {
      Report(path, "line %d, column %zu invalid length: <= 0", line_no, column);
    } else if (!spans.empty() && span.offset <= spans.back().offset) {
      Report(path, "line %d, column %zu offset not in order", line_no, column);
    } else if (static_cast<int64_t>(span.offset) + span.length >
               static_cast<int64_t>(text.size())) {
      Report(path, "line %d, column %zu span excceed text length", line_no, column);
    } else if (!OnCharBoundary(text, span.offset) ||
               !OnCharBoundary(text, span.offset + span.length)) {
      // A span ending inside a character would cut it in the lattice.
      Report(path, "line %d, column %zu span not on character boundaries", line_no, column);
    } else {
      spans.push_back(span);
    }
  }
  return spans;
}

// Reads the rules of the file into rules; false when it cannot be read.
bool ReadRules(const char* path, std::map<std::string, std::vector<Span>>* rules) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "failed to open file: %s\n", path);
    return false;
  }
  std::string raw;
  int line_no = 0;
  while (std::getline(in, raw)) {
    ++line_no;
    std::string line = Trim(raw);
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> fields;
    Split(line, "\t", fields);
    if (fields.size() < 2 || line.find('\0') != std::string::npos) {
      Report(path, "line %d format error: %s", line_no, line.c_str());
      continue;
    }
    const std::string& text = fields[0];
    if (text.empty()) {
      Report(path, "line %d, empty term: %s", line_no, line.c_str());
      continue;
    }
    if (rules->count(text) != 0) {
      Report(path, "line %d, ignore duplicate term: %s", line_no, line.c_str());
      continue;
    }
    std::vector<Span> spans = ReadSpans(path, line_no, text, fields, line);
    if (spans.empty()) {
      Report(path, "line %d, no valid (offset,length,type) pair found: %s", line_no,
             line.c_str());
      continue;
    }
    rules->emplace(text, std::move(spans));
  }
  if (!in.bad()) return true;
  std::fprintf(stderr, "failed to open file: %s\n", path);
  return false;
}

}  // namespace

std::unique_ptr<Darts::DoubleArray> NerRule::_trie;
std::vector<ner_rule_t> NerRule::_all_rule;
std::vector<int32_t> NerRule::_all_offset;
std::vector<int32_t> NerRule::_all_length;
std::vector<int32_t> NerRule::_all_type;

bool NerRule::load_dict(const char* path) {
  std::map<std::string, std::vector<Span>> rules;
  if (!ReadRules(path, &rules)) return false;
  std::vector<const char*> keys;
  std::vector<std::size_t> lengths;
  std::vector<int32_t> offsets, span_lengths, types;
  std::vector<int32_t> counts;
  for (const auto& rule : rules) {
    keys.push_back(rule.first.data());
    lengths.push_back(rule.first.size());
    counts.push_back(static_cast<int32_t>(rule.second.size()));
    for (const Span& span : rule.second) {
      offsets.push_back(span.offset);
      span_lengths.push_back(span.length);
      types.push_back(span.type);
    }
  }
  std::unique_ptr<Darts::DoubleArray> trie(new Darts::DoubleArray);
  if (!keys.empty()) {
    bool built = dict_file::CatchLoadErrors("ner rules", path, [&] {
      trie->build(keys.size(), keys.data(), lengths.data());
      return true;
    });
    if (!built) {
      std::fprintf(stderr, "build darts failed\n");
      return false;
    }
  }
  _trie = std::move(trie);
  _all_offset = std::move(offsets);
  _all_length = std::move(span_lengths);
  _all_type = std::move(types);
  _all_rule.clear();
  std::size_t first = 0;
  std::size_t index = 0;
  for (const auto& rule : rules) {
    _all_rule.push_back({static_cast<int32_t>(rule.first.size()), counts[index],
                         _all_offset.data() + first, _all_length.data() + first,
                         _all_type.data() + first});
    first += rule.second.size();
    ++index;
  }
  return true;
}

void NerRule::unload_dict() {
  _trie.reset();
  _all_rule.clear();
  _all_offset.clear();
  _all_length.clear();
  _all_type.clear();
}

std::size_t NerRule::common_prefix_search(const char* text, std::size_t len, int64_t* values,
                                          std::size_t maximum, std::size_t node_pos) {
  if (_trie == nullptr || _all_rule.empty() || text == nullptr) return 0;
  if (len == 0) len = std::char_traits<char>::length(text);
  // One byte at a time, so that every prefix's value is seen however many
  // there are.
  std::size_t count = 0;
  std::size_t key_pos = 0;
  while (key_pos < len) {
    int value = _trie->traverse(text, node_pos, key_pos, key_pos + 1);
    if (value == -2) break;
    if (value >= 0) {
      if (count < maximum) values[count] = value;
      ++count;
    }
  }
  return count;
}

int64_t NerRule::exact_match_search(const char* text, std::size_t len, std::size_t node_pos) {
  if (_trie == nullptr || _all_rule.empty()) return -1;
  return _trie->exactMatchSearch(text, len, node_pos);
}

const ner_rule_t* NerRule::get_value(int64_t value) {
  if (value < 0 || static_cast<uint64_t>(value) >= _all_rule.size()) return nullptr;
  return &_all_rule[static_cast<std::size_t>(value)];
}

}  // namespace new_seg
