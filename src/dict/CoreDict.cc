#include "dict/CoreDict.h"

#include <fstream>
#include <istream>
#include <map>
#include <string>
#include <vector>

#include "dict/DictFile.h"

namespace new_seg {

namespace {

using dict_file::LineKind;

const char* const kWhat = CoreDict::kWhat;

// A list starts at its index and must reach the term's length inside the
// array, or readers would walk past its end.
std::string SegInfoListFits(const CoreTermAttribute& record, uint64_t i,
                            const uint8_t* seg_info, uint64_t seg_info_size) {
  uint64_t index = record.term_seg_info_index;
  if (index == 0) return std::string();
  if (index >= seg_info_size) {
    return "record " + std::to_string(i) + " points at seg-info byte " +
           std::to_string(index) + " of " + std::to_string(seg_info_size);
  }
  uint64_t end = index;
  while (end < seg_info_size && seg_info[end] != record.term_len) ++end;
  if (end == seg_info_size) {
    return "seg-info list of record " + std::to_string(i) +
           " never reaches the term length " + std::to_string(record.term_len);
  }
  return std::string();
}

struct LexiconEntry {
  std::string term;
  uint16_t type = 0;
  std::vector<uint8_t> positions;
};

// Split positions ascend and end with the term's length: readers stop at the
// first byte equal to the length.
bool CheckPositions(const std::vector<long long>& positions,
                    std::size_t term_len, std::string* error) {
  for (std::size_t i = 0; i < positions.size(); ++i) {
    if (positions[i] < 0 || positions[i] > 255) {
      *error = "split position " + std::to_string(positions[i]) +
               " is outside 0..255";
      return false;
    }
    if (i > 0 && positions[i] <= positions[i - 1]) {
      *error = "split positions do not ascend";
      return false;
    }
  }
  if (!positions.empty() && static_cast<std::size_t>(positions.back()) != term_len) {
    *error = "split positions end at " + std::to_string(positions.back()) +
             ", not at the term length " + std::to_string(term_len);
    return false;
  }
  return true;
}

LineKind ParseLexiconLine(const std::string& line, LexiconEntry* entry,
                          std::string* error) {
  std::size_t tab = line.find('\t');
  entry->term = line.substr(0, tab);
  if (entry->term.empty()) return LineKind::kBlank;
  if (tab == std::string::npos) {
    *error = "no TAB and term type after the term";
    return LineKind::kError;
  }
  if (entry->term.size() > 0xFFFF) {
    *error = "term longer than 65535 bytes";
    return LineKind::kError;
  }
  // The trie ends keys at a NUL byte: such a term would be stored cut short.
  if (entry->term.find('\0') != std::string::npos) {
    *error = "term holds a NUL byte";
    return LineKind::kError;
  }
  std::vector<std::string> fields = dict_file::SplitWhitespace(line.substr(tab + 1));
  long long type = 0;
  if (fields.empty()) {
    *error = "missing term type";
    return LineKind::kError;
  }
  if (!dict_file::ParseInteger(fields[0], &type) || type < 0 || type > 0xFFFF) {
    *error = "term type '" + fields[0] + "' is not an integer in 0..65535";
    return LineKind::kError;
  }
  entry->type = static_cast<uint16_t>(type);

  std::vector<long long> positions;
  for (std::size_t i = 1; i < fields.size(); ++i) {
    long long position = 0;
    if (!dict_file::ParseInteger(fields[i], &position)) {
      *error = "split position '" + fields[i] + "' is not an integer";
      return LineKind::kError;
    }
    if (position != -1) positions.push_back(position);
  }
  if (!CheckPositions(positions, entry->term.size(), error)) {
    return LineKind::kError;
  }
  entry->positions.assign(positions.begin(), positions.end());
  return LineKind::kEntry;
}

// The terms of a lexicon in key order, and the split lists they point at.
struct Lexicon {
  std::map<std::string, CoreTermAttribute> terms;
  std::vector<uint8_t> seg_info = std::vector<uint8_t>(1, 0);  // index 0 means "no list"
};

LineKind TakeLexiconLine(const std::string& line, CoreDictBuildStats* stats,
                         Lexicon* lexicon, std::string* error) {
  LexiconEntry entry;
  LineKind kind = ParseLexiconLine(line, &entry, error);
  if (kind != LineKind::kEntry) return kind;
  std::vector<uint8_t>& seg_info = lexicon->seg_info;
  if (seg_info.size() + entry.positions.size() > UINT32_MAX) {
    *error = "seg-info array exceeds 4 GiB";
    return LineKind::kError;
  }
  CoreTermAttribute record;
  record.term_len = static_cast<uint16_t>(entry.term.size());
  record.term_type = entry.type;
  record.term_seg_info_index =
      entry.positions.empty() ? 0 : static_cast<uint32_t>(seg_info.size());
  seg_info.insert(seg_info.end(), entry.positions.begin(), entry.positions.end());
  auto inserted = lexicon->terms.insert({entry.term, record});
  if (!inserted.second) {
    inserted.first->second = record;
    ++stats->replaced;
  }
  return LineKind::kEntry;
}

}  // namespace

bool CoreDict::Init(const char* path) {
  return Load(path, File::Count::kAny, SegInfoListFits);
}

bool CoreDict::BuildFromStream(std::istream& in, const char* source_name,
                               CoreDictBuildStats* stats) {
  CoreDictBuildStats local_stats;
  if (stats == nullptr) stats = &local_stats;
  Lexicon lexicon;
  auto take = [&](const std::string& line, std::string* error) {
    return TakeLexiconLine(line, stats, &lexicon, error);
  };
  return dict_file::TakeLines(in, kWhat, source_name, stats, take) &&
         Assign(lexicon.terms, lexicon.seg_info,
                      File::Keys::kUpToNul, source_name);
}

}  // namespace new_seg
