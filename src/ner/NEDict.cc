#include "ner/NEDict.h"

#include <fstream>
#include <istream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "dict/DictFile.h"
#include "ner/EntitySourceLine.h"

namespace new_seg {

namespace {

using dict_file::LineKind;
using dict_file::ParseFloatField;
using dict_file::ParseUnsignedField;

bool Fail(const std::string& path, const std::string& message) {
  dict_file::ReportFileError(NEDict::kWhat, path, message);
  return false;
}

// The single score a kind value carries in field 3, or null for kinds
// whose fields depend on the line's length.
float* ScoreOfKind(uint32_t type, NEDictAttribute* record) {
  switch (type) {
    case 0x4000:
    case 0x8000:
    case 0x10000:
    case 0x20000: return &record->attr.score;
    case 0x40000: return &record->scores.digital_score;
    case 0x80000: return &record->scores.sports_score;
    case 0x100000: return &record->scores.traffic_score;
    case 0x200000: return &record->scores.organization_score;
    default: return nullptr;
  }
}

// A place: geo type, score, then up to three codes.
bool FillPlace(const std::vector<std::string>& fields, NEDictAttribute* record,
               std::string* error) {
  if (fields.size() < 4) {
    *error = "a place line needs a geo type and a score after its type value";
    return false;
  }
  uint32_t geo_type = 0;
  if (!ParseUnsignedField(fields[2], 255, "geo type", &geo_type, error) ||
      !ParseFloatField(fields[3], "score", &record->attr.score, error)) {
    return false;
  }
  record->attr.geo_type = static_cast<uint8_t>(geo_type);
  for (std::size_t i = 4; i < fields.size() && i < 7; ++i) {
    if (!ParseUnsignedField(fields[i], UINT32_MAX, "geo code", &record->attr.geo_code[i - 4], error)) {
      return false;
    }
  }
  return true;
}

// Six category scores; the largest of the first five is the maximum (the
// menu score does not take part).
bool FillCategoryScores(const std::vector<std::string>& fields, NEDictAttribute* record,
                        std::string* error) {
  float* targets[] = {&record->scores.video_score, &record->scores.novel_score,
                      &record->scores.game_score,  &record->scores.music_score,
                      &record->scores.software_score, &record->scores.menu_score};
  for (std::size_t i = 0; i < 6; ++i) {
    if (!ParseFloatField(fields[i + 2], "score", targets[i], error)) return false;
  }
  float maximum = *targets[0];
  for (std::size_t i = 1; i < 5; ++i) {
    if (*targets[i] > maximum) maximum = *targets[i];
  }
  record->scores.max_score = maximum;
  return true;
}

// Fills the fields the line's exact type value carries.
bool FillFields(uint32_t type, const std::vector<std::string>& fields, NEDictAttribute* record,
                std::string* error) {
  if (type == kNePlace) return FillPlace(fields, record, error);
  if (float* score = ScoreOfKind(type, record)) {
    if (fields.size() < 3) {
      *error = "type value " + std::to_string(type) + " needs a score";
      return false;
    }
    return ParseFloatField(fields[2], "score", score, error);
  }
  switch (fields.size()) {
    case 3:
      return ParseUnsignedField(fields[2], UINT32_MAX, "name-character code",
                           &record->first_last_name, error);
    case 4:
      return ParseUnsignedField(fields[2], UINT32_MAX, "effective start",
                           &record->rule.effective_start, error) &&
             ParseUnsignedField(fields[3], UINT32_MAX, "effective length",
                           &record->rule.effective_len, error);
    case 8: return FillCategoryScores(fields, record, error);
    default: return true;
  }
}

LineKind TakeEntityLine(const std::string& line, NEDictBuildStats* stats,
                        std::map<std::string, NEDictAttribute>* entries, std::string* error) {
  std::vector<std::string> fields;
  uint32_t type = 0;
  LineKind kind = SplitEntitySourceLine(line, &fields, &type, error);
  if (kind != LineKind::kEntry) return kind;
  const std::string& key = fields[0];
  auto found = entries->find(key);
  NEDictAttribute record = found != entries->end() ? found->second : NEDictAttribute{};
  if (!FillFields(type, fields, &record, error)) return LineKind::kError;
  record.type |= type;
  record.len = static_cast<uint32_t>(key.size());
  if (found != entries->end()) {
    found->second = record;
    ++stats->merged;
  } else {
    entries->insert({key, record});
  }
  return LineKind::kEntry;
}

}  // namespace

std::unique_ptr<Darts::DoubleArray> NEDict::compound_surname_pt_;
std::size_t NEDict::compound_surname_count_ = 0;

bool NEDict::Init(const char* path) {
  return Load(path, File::Count::kAny, AnyRecordFits);
}

bool NEDict::UnInit() {
  file_.Clear();
  compound_surname_pt_.reset();
  compound_surname_count_ = 0;
  return true;
}

bool NEDict::load_compound_surname(const char* path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return Fail(path, "cannot open the compound-surname list");
  std::set<std::string> surnames;
  std::string line;
  while (std::getline(in, line)) {
    // Lists written on other systems end their lines in CR LF.
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line.find('\0') == std::string::npos) surnames.insert(line);
  }
  if (in.bad()) return Fail(path, "read error");
  std::unique_ptr<Darts::DoubleArray> trie;
  if (!surnames.empty()) {
    std::vector<const char*> keys;
    for (const std::string& surname : surnames) keys.push_back(surname.c_str());
    trie.reset(new Darts::DoubleArray);
    bool built = dict_file::CatchLoadErrors(kWhat, path, [&] {
      trie->build(keys.size(), keys.data());
      return true;
    });
    if (!built) return false;
  }
  compound_surname_pt_ = std::move(trie);
  compound_surname_count_ = surnames.size();
  return true;
}

bool NEDict::is_compound_surname(const char* key, std::size_t len, std::size_t node_pos) {
  if (compound_surname_pt_ == nullptr || key == nullptr) return false;
  if (len == 0) len = std::char_traits<char>::length(key);
  if (len == 0) return false;
  return compound_surname_pt_->exactMatchSearch(key, len, node_pos) >= 0;
}

bool NEDict::BuildFromStream(std::istream& in, const char* source_name,
                             NEDictBuildStats* stats) {
  NEDictBuildStats local_stats;
  if (stats == nullptr) stats = &local_stats;
  std::map<std::string, NEDictAttribute> entries;
  auto take = [&](const std::string& line, std::string* error) {
    return TakeEntityLine(line, stats, &entries, error);
  };
  if (!dict_file::TakeLines(in, kWhat, source_name, stats, take)) return false;
  if (entries.empty()) return Fail(source_name, "no entries");
  return Assign(entries, {}, File::Keys::kWhole, source_name);
}

}  // namespace new_seg
