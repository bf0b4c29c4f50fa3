// The core lexicon: every word and phrase the segmenter knows, with the
// attribute record that tells the lattice builder how to use it.
//
// One dictionary per process (all members static), loaded from core_dict.dat
// and read-only afterwards. Search results are 1-based attribute ids: id k is
// record k - 1 (GetValue takes such an id); Traverse hands out the raw
// 0-based trie value.
#ifndef ZORVSEG_DICT_COREDICT_H_
#define ZORVSEG_DICT_COREDICT_H_

#include <cstddef>
#include <cstdint>
#include <iosfwd>

#include "dict/CoreTermAttribute.h"
#include "dict/Darts.h"
#include "dict/RecordDictFile.h"

namespace new_seg {

// What a build read, for the data compiler's report.
struct CoreDictBuildStats {
  std::size_t lines = 0;          // lines read
  std::size_t skipped_blank = 0;  // lines with an empty term
  std::size_t replaced = 0;       // terms defined again by a later line
};

class CoreDict {
 public:
  // Loads core_dict.dat. True when loaded or already loaded; false with a
  // message on stderr when the file is missing or its counts do not fit it.
  static bool Init(const char* path);
  static bool UnInit();

  // Builds from a text lexicon: per line the term, a TAB, the term type and
  // the split positions (ascending, ending with the term's byte length),
  // separated by white space. False with "file:line: message" on stderr for
  // a line it cannot use.
  static bool Build(const char* text_path);
  static bool BuildFromStream(std::istream& in, const char* source_name,
                              CoreDictBuildStats* stats = nullptr);

  // Writes core_dict.dat through a temporary file renamed when complete.
  static bool Save(const char* path);

  // 1-based id of the term equal to the first len bytes (0: NUL-terminated)
  // of key, or -1.
  static int ExactMatchSearch(const char* key, std::size_t len = 0,
                              std::size_t node_pos = 0);
  // Number of terms that are prefixes of key; the 1-based ids of the first
  // `maximum` of them, shortest first, go to results.
  static std::size_t CommonPrefixSearch(const char* key, std::size_t len,
                                        int* results, std::size_t maximum,
                                        std::size_t node_pos = 0);
  // Step-wise walk of the trie: raw 0-based value, -1 (no term ends at the
  // node reached) or -2 (a byte did not match).
  static int Traverse(const char* key, std::size_t len, std::size_t* node_pos,
                      std::size_t* key_pos);

  // Record of a 1-based id; null when the id is out of range.
  static const CoreTermAttribute* GetValue(int id);
  // Split-position list at a byte index; null when the index is out of range.
  static const uint8_t* GetSegInfo(std::size_t index);
  static uint64_t GetSegInfoSize() { return file_.seg_info_size(); }
  // Calls part(begin, length) for each part of a term's split-position
  // list, in order. False when the term has no list or the list is
  // malformed (not ascending, or not ending at term_len inside the array);
  // stops early, returning false, when part returns false.
  template <typename PartFn>
  static bool ForEachSplitPart(const CoreTermAttribute& attribute, PartFn part);
  static uint64_t GetSize() { return file_.size(); }
  static const Darts::DoubleArray* GetTrie() { return file_.trie(); }

 private:
  static RecordDictFile<CoreTermAttribute> file_;
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
