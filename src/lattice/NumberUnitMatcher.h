// Numbers written with digits, joined with the units a corpus writes
// together with them ("2023年", "520万", "40%", "19·1%").
//
// The trained core dictionary lists them as number classes: the marker 'N'
// stands for any digit number, so "N年" is a number followed by 年, "N" a
// bare number, and "N·N" says that '·' joins two digit groups into one
// number ("19·1"). A unit the corpus joins only with numbers of some
// lengths has a key per digit count instead: "N4年" is a number whose
// first digit group has four digits, followed by 年 ("1998年" whole, while
// "3 年" stays apart). Segmentation text is always lower-cased, so these
// entries never match text by themselves: the matcher finds each number of
// a sentence and looks the class keys up for it. Every such edge is one
// more candidate; the n-gram costs of the classes decide between "80年 代"
// and "80 年代".
#ifndef ZORVSEG_LATTICE_NUMBERUNITMATCHER_H_
#define ZORVSEG_LATTICE_NUMBERUNITMATCHER_H_

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

namespace new_seg {

class OmniSegNet;

class NumberUnitMatcher {
 public:
  // Stands for a digit number in the class keys of the dictionary.
  static constexpr char kMarker = 'N';
  // Units and joining characters longer than this are not looked up.
  static constexpr size_t kLongestUnitBytes = 8;
  // Numbers of more digits share one shape with numbers of this many.
  static constexpr size_t kMaxShapeDigits = 5;

  // The character that stands for a digit count in a shaped key.
  static char DigitCountMark(size_t digits) {
    return static_cast<char>('0' + std::min(digits, kMaxShapeDigits));
  }

  // Class keys, as the trainer writes them into the lexicon.
  static std::string UnitKey(const std::string& unit) { return kMarker + unit; }
  static std::string ShapedUnitKey(size_t digits, const std::string& unit) {
    return std::string{kMarker, DigitCountMark(digits)} + unit;
  }
  static std::string JoinerKey(const std::string& joiner) {
    return kMarker + joiner + kMarker;
  }

  // Adds the number edges of the numbers that start in [from, to), a
  // stretch of ASCII text that starts a run or follows a number this call
  // returned (numbers may run on past `to`): one over the number with the bare-number class
  // and one over the number and each unit the dictionary lists after it.
  // Numbers touching a Latin letter ("mp3", "3d") and digit groups joined
  // more than once ("3.14.2", "192.168.0.1") are codes, left to the ASCII
  // segmentor. Returns the first byte after the last number looked at (at
  // least `from`), so that a caller scanning run by run skips what was
  // seen; a negative lattice result is returned as is.
  long AddEdges(const char* sentence, size_t len, size_t from, size_t to, OmniSegNet* net);

  // The id of the class of a whole word ("2023年" gives that of "N年"),
  // the id the word's edge gets in a sentence; -1 when the word is no
  // number of a listed class. `bare` tells whether it is a number alone.
  int ClassIdOf(const char* word, size_t len, bool* bare);

 private:
  // End of the number that starts at `start`, and how many joining
  // characters it holds.
  size_t NumberEnd(const char* s, size_t len, size_t start, size_t* joins);
  size_t JoinerLength(const char* s, size_t len, size_t pos);
  int AddNumber(const char* s, size_t len, size_t start, size_t end, OmniSegNet* net);
  // Adds an edge for each class key the dictionary holds that begins with
  // the first `marks` bytes of key_ and runs on into the text after `end`.
  int AddClassEdges(const char* s, size_t len, size_t start, size_t end, size_t marks,
                    OmniSegNet* net);

  static constexpr size_t kMaxMatches = 16;
  char key_[2 + kLongestUnitBytes];
  int32_t matches_[kMaxMatches];
};

}  // namespace new_seg

#endif  // ZORVSEG_LATTICE_NUMBERUNITMATCHER_H_
