// Split rules for ASCII text: byte patterns (abbreviations, product names,
// units, number shapes) whose effective part is cut at fixed positions, so
// that the ASCII segmentor keeps or cuts them the way readers expect.
//
// One rule set per process (all members static), loaded from core_rule.dat
// and read-only afterwards; searches and ids as every RecordDict.
#ifndef ZORVSEG_DICT_CORERULE_H_
#define ZORVSEG_DICT_CORERULE_H_

#include <cstddef>
#include <cstdint>
#include <iosfwd>

#include "dict/CoreRuleAttribute.h"
#include "dict/Darts.h"
#include "dict/RecordDict.h"

namespace new_seg {

using CoreRuleBuildStats = RecordBuildStats;

class CoreRule : public RecordDict<CoreRule, CoreRuleAttribute> {
 public:
  static constexpr char kWhat[] = "core rules";
  static constexpr char kNoun[] = "rule";
  static constexpr char kPlural[] = "rules";
  static constexpr File::Layout kLayout = File::Layout::kWithSegInfo;

  // Loads core_rule.dat. True when loaded or already loaded; false with a
  // message on stderr when the file is missing or does not hold together.
  static bool Init(const char* path);

  // Builds from text rules: per line the pattern, a TAB, then white-space
  // separated integers: the effective part's start and length, and the
  // ascending split positions inside it (0 first, the length last; -1 is
  // skipped). Without split positions the effective part is one piece.
  // False with "file:line: message" on stderr for a line it cannot use.
  static bool BuildFromStream(std::istream& in, const char* source_name,
                              CoreRuleBuildStats* stats = nullptr);

  // Split-position list at a byte index; null when the index is out of range.
  static const uint8_t* GetSegInfo(std::size_t index) { return file_.GetSegInfo(index); }
  static uint64_t GetSegInfoSize() { return file_.seg_info_size(); }

  // Calls piece(begin, end) for every piece of the rule's effective part,
  // offsets relative to the match start, in text order. Loading and
  // building guarantee that every list ascends and ends at the effective
  // length, so the pieces tile the effective part.
  template <typename PieceFn>
  static void ForEachPiece(const CoreRuleAttribute& rule, PieceFn piece);
};

template <typename PieceFn>
void CoreRule::ForEachPiece(const CoreRuleAttribute& rule, PieceFn piece) {
  std::size_t base = rule.rule_effective_begin_pos;
  std::size_t length = rule.rule_effective_len;
  const uint8_t* seg_info = file_.seg_info();
  uint64_t seg_info_size = file_.seg_info_size();
  if (rule.rule_seg_info_index == 0 || rule.rule_seg_info_index >= seg_info_size) {
    piece(base, base + length);
    return;
  }
  std::size_t previous = 0;
  for (uint64_t i = rule.rule_seg_info_index; i < seg_info_size; ++i) {
    std::size_t position = seg_info[i];
    if (position == 0) continue;
    if (position >= length) {
      piece(base + previous, base + length);
      return;
    }
    piece(base + previous, base + position);
    previous = position;
  }
  if (previous < length) piece(base + previous, base + length);
}

}  // namespace new_seg

#endif  // ZORVSEG_DICT_CORERULE_H_
