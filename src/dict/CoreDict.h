// The core lexicon: every word and phrase the segmenter knows, with the
// attribute record that tells the lattice builder how to use it.
//
// One dictionary per process (all members static), loaded from core_dict.dat
// and read-only afterwards; searches and ids as every RecordDict.
#ifndef ZORVSEG_DICT_COREDICT_H_
#define ZORVSEG_DICT_COREDICT_H_

#include <cstddef>
#include <cstdint>
#include <iosfwd>

#include "dict/CoreTermAttribute.h"
#include "dict/Darts.h"
#include "dict/RecordDict.h"

namespace new_seg {

using CoreDictBuildStats = RecordBuildStats;

class CoreDict : public RecordDict<CoreDict, CoreTermAttribute> {
 public:
  static constexpr char kWhat[] = "core dictionary";
  static constexpr char kNoun[] = "record";
  static constexpr char kPlural[] = "records";
  static constexpr File::Layout kLayout = File::Layout::kWithSegInfo;

  // Loads core_dict.dat. True when loaded or already loaded; false with a
  // message on stderr when the file is missing or its counts do not fit it.
  static bool Init(const char* path);

  // Builds from a text lexicon: per line the term, a TAB, the term type and
  // the split positions (ascending, ending with the term's byte length),
  // separated by white space. False with "file:line: message" on stderr for
  // a line it cannot use.
  static bool BuildFromStream(std::istream& in, const char* source_name,
                              CoreDictBuildStats* stats = nullptr);

  // Split-position list at a byte index; null when the index is out of range.
  static const uint8_t* GetSegInfo(std::size_t index) { return file_.GetSegInfo(index); }
  static uint64_t GetSegInfoSize() { return file_.seg_info_size(); }
  // Calls part(begin, length) for each part of a term's split-position
  // list, in order. False when the term has no list or the list is
  // malformed (not ascending, or not ending at term_len inside the array);
  // stops early, returning false, when part returns false.
  template <typename PartFn>
  static bool ForEachSplitPart(const CoreTermAttribute& attribute, PartFn part);
};

template <typename PartFn>
bool CoreDict::ForEachSplitPart(const CoreTermAttribute& attribute, PartFn part) {
  if (attribute.term_seg_info_index == 0) return false;
  const uint8_t* list = GetSegInfo(attribute.term_seg_info_index);
  if (list == nullptr) return false;
  uint64_t remaining = GetSegInfoSize() - attribute.term_seg_info_index;
  for (uint64_t i = 0; i < remaining; ++i) {
    if (list[i] == attribute.term_len) return true;
    if (i + 1 == remaining || list[i + 1] <= list[i] || list[i + 1] > attribute.term_len) {
      return false;
    }
    if (!part(static_cast<std::size_t>(list[i]), static_cast<std::size_t>(list[i + 1] - list[i]))) {
      return false;
    }
  }
  return false;
}

}  // namespace new_seg

#endif  // ZORVSEG_DICT_COREDICT_H_
