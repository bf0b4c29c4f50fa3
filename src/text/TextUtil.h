// Small text helpers used by the resource loaders.
#ifndef ZORVSEG_TEXT_TEXTUTIL_H_
#define ZORVSEG_TEXT_TEXTUTIL_H_

#include <string>
#include <vector>

namespace new_seg {

// Cuts str at every occurrence of delimer; empty fields are kept and the
// piece after the last delimiter is always added.
void Split(const std::string& str, const std::string& delimer,
           std::vector<std::string>& parts);

// Lower-cases ASCII letters in place, leaving double-byte characters whole.
void ToLower(std::string& str);

// 0 when both strings are equal ignoring ASCII case, else -1.
int Strcmpcase(const char* pos1, const char* pos2);

}  // namespace new_seg

#endif  // ZORVSEG_TEXT_TEXTUTIL_H_
