// The entity dictionary: person, place and organisation names, holidays and
// the name characters the CRF reads, each with an 84-byte attribute record;
// beside it the list of compound (two-character) surnames.
//
// One dictionary per process (all state static), loaded from ne_dict.dat and
// name.dat and read-only afterwards; NEDict objects are only handles on it.
// The file is the record-dictionary layout without a seg-info block.
#ifndef ZORVSEG_NER_NEDICT_H_
#define ZORVSEG_NER_NEDICT_H_

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <memory>

#include "dict/Darts.h"
#include "dict/RecordDict.h"

namespace new_seg {

struct RuleAttribute {
  uint32_t effective_start;
  uint32_t effective_len;
};

struct ScoreAttribute {
  float video_score;
  float novel_score;
  float game_score;
  float music_score;
  float software_score;
  float menu_score;
  float digital_score;
  float sports_score;
  float organization_score;
  float traffic_score;
  float max_score;
};

struct Attribute {
  uint8_t geo_type;
  uint8_t reserved[3];
  float score;
  uint32_t geo_code[3];
};

// The same bytes in memory and in ne_dict.dat.
struct NEDictAttribute {
  uint32_t type;             // entity kind bits, the union over the source lines
  uint32_t len;              // key length in bytes
  uint32_t first_last_name;  // name-character code of the CRF's second column
  RuleAttribute rule;
  ScoreAttribute scores;
  Attribute attr;
};
static_assert(sizeof(NEDictAttribute) == 84, "ne_dict.dat records are 84 bytes");

// Kind bits of NEDictAttribute::type that the recognisers test.
const uint32_t kNePersonBits = 0x1 | 0x10 | 0x40;
const uint32_t kNeNameChar = 0x2;
const uint32_t kNeScanRefused = 0x8 | 0x20;  // only a whole-sentence match takes these
const uint32_t kNeNotPersonShaped = 0x20;    // never merged or reshaped as a person
const uint32_t kNePlace = 0x2000;
const uint32_t kNeDate = 0x20000;
const uint32_t kNeOrganization = 0x200000;

// What a build read, for the data compiler's report.
struct NEDictBuildStats {
  std::size_t lines = 0;          // lines read
  std::size_t skipped_blank = 0;  // lines with an empty key
  std::size_t merged = 0;         // lines adding to a key an earlier line defined
};

class NEDict : public RecordDict<NEDict, NEDictAttribute> {
 public:
  static constexpr char kWhat[] = "entity dictionary";
  static constexpr char kNoun[] = "entry";
  static constexpr char kPlural[] = "entries";
  static constexpr File::Layout kLayout = File::Layout::kRecordsOnly;

  // Loads ne_dict.dat. True when loaded or already loaded; false with a
  // message on stderr when the file is missing or does not hold together.
  static bool Init(const char* path);
  // Releases the dictionary and the compound surnames.
  static bool UnInit();

  // Reads name.dat: one compound surname per line (GBK; a trailing CR is
  // not part of it; empty lines skipped). False when it cannot be read.
  static bool load_compound_surname(const char* path);
  static bool is_compound_surname(const char* key, std::size_t len, std::size_t node_pos = 0);
  static std::size_t compound_surname_count() { return compound_surname_count_; }

  // Builds from the source text: per line key, TAB, type value, then the
  // fields that type value carries (see NEDict.cc). Lines for one key are
  // merged. False with "file:line: message" on stderr for a line it cannot
  // use; the loaded dictionary is kept then.
  static bool BuildFromStream(std::istream& in, const char* source_name,
                              NEDictBuildStats* stats = nullptr);

 private:
  static std::unique_ptr<Darts::DoubleArray> compound_surname_pt_;
  static std::size_t compound_surname_count_;
};

}  // namespace new_seg

#endif  // ZORVSEG_NER_NEDICT_H_
