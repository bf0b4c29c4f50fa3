// Entity patterns: cue strings with a kind value and twelve per-category
// scores. Loaded at start-up so that deployments can ship them; no stage of
// the per-sentence pipeline searches them yet.
//
// One pattern set per process (all state static), loaded from
// ne_pattern.dat: the record-dictionary layout without a seg-info block.
#ifndef ZORVSEG_NER_NEPATTERN_H_
#define ZORVSEG_NER_NEPATTERN_H_

#include <cstddef>
#include <cstdint>
#include <iosfwd>

#include "dict/RecordDict.h"

namespace new_seg {

struct PatternScoreAttribute {
  float video_score;
  float novel_score;
  float game_score;
  float music_score;
  float software_score;
  float menu_score;
  float travel_score;
  float ill_score;
  float medicine_score;
  float car_score;
  float digital_score;
  float traffic_score;
};

// The same bytes in memory and in ne_pattern.dat.
struct NEPatternAttribute {
  uint32_t type;  // kind value of the line that defined the key
  uint32_t len;   // key length in bytes
  PatternScoreAttribute scores;
};
static_assert(sizeof(NEPatternAttribute) == 56, "ne_pattern.dat records are 56 bytes");

// What a build read, for the data compiler's report.
struct NEPatternBuildStats : RecordBuildStats {
  std::size_t skipped_zero = 0;  // score lines whose scores are all zero
};

class NEPattern : public RecordDict<NEPattern, NEPatternAttribute> {
 public:
  static constexpr char kWhat[] = "entity patterns";
  static constexpr char kNoun[] = "pattern";
  static constexpr char kPlural[] = "patterns";
  static constexpr File::Layout kLayout = File::Layout::kRecordsOnly;

  // Loads ne_pattern.dat. True when loaded or already loaded; false with a
  // message on stderr when the file is missing or does not hold together.
  static bool Init(const char* path);

  // Builds from the source text: per line key, TAB, kind value and
  // optionally the twelve scores (a line of exactly 14 fields; one whose
  // scores are all below 1e-08 adds nothing). A later line for a key
  // replaces the earlier one. False with "file:line: message" on stderr for
  // a line it cannot use; the loaded patterns are kept then.
  static bool BuildFromStream(std::istream& in, const char* source_name,
                              NEPatternBuildStats* stats = nullptr);
};

}  // namespace new_seg

#endif  // ZORVSEG_NER_NEPATTERN_H_
