// Character stepping over GBK text that may also hold GB18030 four-byte
// sequences (text converted from UTF-8 is GB18030).
#ifndef ZORVSEG_TEXT_GB18030_H_
#define ZORVSEG_TEXT_GB18030_H_

#include <cstddef>

namespace new_seg {

inline bool IsGbDigitByte(unsigned char b) { return b >= 0x30 && b <= 0x39; }
inline bool IsGbLeadByte(unsigned char b) { return b >= 0x81 && b <= 0xFE; }

// Byte length of the character at text[pos] (pos < len): 1 for ASCII and
// for a lead byte with nothing after it, 4 for a complete GB18030 four-byte
// sequence, 2 otherwise. Never runs past len.
inline size_t GbCharLen(const char* text, size_t pos, size_t len) {
  const unsigned char* t = reinterpret_cast<const unsigned char*>(text);
  if (t[pos] < 0x80 || pos + 1 >= len) return 1;
  if (pos + 3 < len && IsGbLeadByte(t[pos]) && IsGbDigitByte(t[pos + 1]) &&
      IsGbLeadByte(t[pos + 2]) && IsGbDigitByte(t[pos + 3])) {
    return 4;
  }
  return 2;
}

// Code of a one- or two-byte character as the lookup tables index it:
// the byte itself, or first byte + 256 * second byte.
inline unsigned GbCharCode(const char* text, size_t pos, size_t char_len) {
  const unsigned char* t = reinterpret_cast<const unsigned char*>(text);
  return char_len == 1 ? t[pos] : t[pos] + 256u * t[pos + 1];
}

}  // namespace new_seg

#endif  // ZORVSEG_TEXT_GB18030_H_
