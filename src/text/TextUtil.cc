#include "text/TextUtil.h"

namespace new_seg {

void Split(const std::string& str, const std::string& delimer,
           std::vector<std::string>& parts) {
  parts.clear();
  if (delimer.empty()) {
    parts.push_back(str);
    return;
  }
  size_t begin = 0;
  for (size_t hit = str.find(delimer); hit != std::string::npos;
       hit = str.find(delimer, begin)) {
    parts.push_back(str.substr(begin, hit - begin));
    begin = hit + delimer.size();
  }
  parts.push_back(str.substr(begin));
}

void ToLower(std::string& str) {
  for (size_t i = 0; i < str.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(str[i]);
    if (c >= 0x80) {
      ++i;  // the trail byte of a double-byte character is never a letter
    } else if (c >= 'A' && c <= 'Z') {
      str[i] = static_cast<char>(c - 'A' + 'a');
    }
  }
}

static unsigned char AsciiLower(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

int Strcmpcase(const char* pos1, const char* pos2) {
  const unsigned char* a = reinterpret_cast<const unsigned char*>(pos1);
  const unsigned char* b = reinterpret_cast<const unsigned char*>(pos2);
  for (; *a != 0 && *b != 0; ++a, ++b) {
    if (AsciiLower(*a) != AsciiLower(*b)) return -1;
  }
  return (*a == 0 && *b == 0) ? 0 : -1;
}

}  // namespace new_seg
