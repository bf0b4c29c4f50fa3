#include "lattice/ForwardMaximumMatcher.h"

#include "dict/CoreDict.h"
#include "text/Gb18030.h"

namespace new_seg {

size_t ForwardMaximumMatcher::_FindMaxPos(const char* text, size_t length) const {
  size_t node_pos = 0;
  size_t longest = 0;
  for (size_t i = 0; i < length; ++i) {
    size_t key_pos = 0;
    int result = CoreDict::Traverse(text + i, 1, &node_pos, &key_pos);
    if (result == -2) break;
    if (result >= 0) longest = i + 1;
  }
  return longest;
}

size_t ForwardMaximumMatcher::Segment(const char* text, size_t length,
                                      std::vector<size_t>& ends) const {
  if (length == 0) return 0;
  size_t pos = 0;
  while (pos < length) {
    size_t match = _FindMaxPos(text + pos, length - pos);
    // Without a word, one character; never past the end of the text.
    pos += match > 0 ? match : GbCharLen(text, pos, length);
    ends.push_back(pos);
  }
  return ends.size();
}

}  // namespace new_seg
