// Greedy longest-match segmentation over the core dictionary, from the
// start of the text. Not used by the pipeline; offered to client code.
#ifndef ZORVSEG_LATTICE_FORWARDMAXIMUMMATCHER_H_
#define ZORVSEG_LATTICE_FORWARDMAXIMUMMATCHER_H_

#include <cstddef>
#include <vector>

namespace new_seg {

class ForwardMaximumMatcher {
 public:
  // Appends the end offset of every token; returns the list's new size.
  size_t Segment(const char* text, size_t length, std::vector<size_t>& ends) const;
  // Length of the longest dictionary word that is a prefix of the text.
  size_t _FindMaxPos(const char* text, size_t length) const;
};

}  // namespace new_seg

#endif  // ZORVSEG_LATTICE_FORWARDMAXIMUMMATCHER_H_
