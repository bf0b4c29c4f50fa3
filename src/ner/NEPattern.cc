#include "ner/NEPattern.h"

#include <fstream>
#include <istream>
#include <map>
#include <string>
#include <vector>

#include "dict/DictFile.h"
#include "ner/EntitySourceLine.h"

namespace new_seg {

namespace {

using dict_file::LineKind;

const std::size_t kScoreLineFields = 14;
const float kNoScore = 1e-08f;

bool Fail(const std::string& path, const std::string& message) {
  dict_file::ReportFileError(NEPattern::kWhat, path, message);
  return false;
}

// The scores in the order of the source fields.
float PatternScoreAttribute::*const kScoreFields[] = {
    &PatternScoreAttribute::video_score,    &PatternScoreAttribute::novel_score,
    &PatternScoreAttribute::game_score,     &PatternScoreAttribute::music_score,
    &PatternScoreAttribute::software_score, &PatternScoreAttribute::menu_score,
    &PatternScoreAttribute::travel_score,   &PatternScoreAttribute::ill_score,
    &PatternScoreAttribute::medicine_score, &PatternScoreAttribute::car_score,
    &PatternScoreAttribute::digital_score,  &PatternScoreAttribute::traffic_score};

// The twelve scores of a 14-field line; false with the reason for a field
// that is not a number.
bool ReadScores(const std::vector<std::string>& fields, PatternScoreAttribute* scores,
                std::string* error) {
  for (std::size_t i = 0; i < 12; ++i) {
    if (!dict_file::ParseFloatField(fields[i + 2], "score", &(scores->*kScoreFields[i]), error)) {
      return false;
    }
  }
  return true;
}

bool AllBelow(const PatternScoreAttribute& scores, float limit) {
  for (float PatternScoreAttribute::*field : kScoreFields) {
    if (!(scores.*field < limit)) return false;
  }
  return true;
}

LineKind TakePatternLine(const std::string& line, NEPatternBuildStats* stats,
                         std::map<std::string, NEPatternAttribute>* patterns,
                         std::string* error) {
  std::vector<std::string> fields;
  NEPatternAttribute record{};
  LineKind kind = SplitEntitySourceLine(line, &fields, &record.type, error);
  if (kind != LineKind::kEntry) return kind;
  if (fields.size() == kScoreLineFields) {
    if (!ReadScores(fields, &record.scores, error)) return LineKind::kError;
    if (AllBelow(record.scores, kNoScore)) {
      ++stats->skipped_zero;
      return LineKind::kEntry;
    }
  }
  record.len = static_cast<uint32_t>(fields[0].size());
  auto inserted = patterns->insert({fields[0], record});
  if (!inserted.second) {
    inserted.first->second = record;
    ++stats->replaced;
  }
  return LineKind::kEntry;
}

}  // namespace

bool NEPattern::Init(const char* path) {
  return Load(path, File::Count::kAny, AnyRecordFits);
}

bool NEPattern::BuildFromStream(std::istream& in, const char* source_name,
                                NEPatternBuildStats* stats) {
  NEPatternBuildStats local_stats;
  if (stats == nullptr) stats = &local_stats;
  std::map<std::string, NEPatternAttribute> patterns;
  auto take = [&](const std::string& line, std::string* error) {
    return TakePatternLine(line, stats, &patterns, error);
  };
  if (!dict_file::TakeLines(in, kWhat, source_name, stats, take)) return false;
  if (patterns.empty()) return Fail(source_name, "no patterns");
  return Assign(patterns, {}, File::Keys::kWhole, source_name);
}

}  // namespace new_seg
