// ASCII character classes, the same for every stage (locale-independent,
// never true for a byte of a double-byte character's lead).
#ifndef ZORVSEG_TEXT_ASCIICHAR_H_
#define ZORVSEG_TEXT_ASCIICHAR_H_

namespace new_seg {

inline bool IsAsciiDigit(unsigned char c) { return c >= '0' && c <= '9'; }
inline bool IsAsciiLetter(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
inline bool IsAsciiAlnum(unsigned char c) { return IsAsciiDigit(c) || IsAsciiLetter(c); }

}  // namespace new_seg

#endif  // ZORVSEG_TEXT_ASCIICHAR_H_
