#include "lattice/BackwardMaximumMatcher.h"

#include <algorithm>

#include "dict/CoreDict.h"

namespace new_seg {

size_t BackwardMaximumMatcher::_FindMaxPos(const char* text, size_t length) const {
  size_t i = 0;
  while (i < length) {
    if (CoreDict::ExactMatchSearch(text + i, length - i) >= 0) return length - i;
    i += static_cast<unsigned char>(text[i]) >= 0x80 ? 2 : 1;
  }
  return 0;
}

size_t BackwardMaximumMatcher::Segment(const char* text, size_t length,
                                       std::vector<size_t>& ends) const {
  if (length == 0) return 0;
  size_t first_new = ends.size();
  ends.push_back(length);
  size_t pos = length;
  while (pos > 0) {
    size_t match = _FindMaxPos(text, pos);
    if (match > 0) {
      pos -= match;
    } else if (pos != 1 && static_cast<unsigned char>(text[pos - 2]) >= 0x80) {
      pos -= 2;
    } else {
      pos -= 1;
    }
    if (pos > 0) ends.push_back(pos);
  }
  std::reverse(ends.begin() + static_cast<std::ptrdiff_t>(first_new), ends.end());
  return ends.size();
}

}  // namespace new_seg
