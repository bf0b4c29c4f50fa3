// Character stepping over GBK text that may also hold GB18030 four-byte
// sequences (text converted from UTF-8 is GB18030), and the code-point
// arithmetic of UTF-8 that the converters share.
#ifndef ZORVSEG_TEXT_GB18030_H_
#define ZORVSEG_TEXT_GB18030_H_

#include <cstddef>
#include <cstdint>

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

// Whether the four bytes before pos are a GB18030 four-byte sequence, so
// that text[pos - 1], though in '0'..'9', is no ASCII digit. At a character
// boundary the pattern is never an ASCII digit after another character:
// text[pos - 3] would then have to end a two-byte character, and no
// two-byte character ends in '0'..'9'.
inline bool EndsFourByteChar(const char* text, size_t pos) {
  const unsigned char* t = reinterpret_cast<const unsigned char*>(text);
  return pos >= 4 && IsGbLeadByte(t[pos - 4]) && IsGbDigitByte(t[pos - 3]) &&
         IsGbLeadByte(t[pos - 2]) && IsGbDigitByte(t[pos - 1]);
}

// Code of a one- or two-byte character as the lookup tables index it:
// the byte itself, or first byte + 256 * second byte.
inline unsigned GbCharCode(const char* text, size_t pos, size_t char_len) {
  const unsigned char* t = reinterpret_cast<const unsigned char*>(text);
  return char_len == 1 ? t[pos] : t[pos] + 256u * t[pos + 1];
}

// The code point of a well-formed UTF-8 sequence of len (2 to 4) bytes.
inline uint32_t DecodeUtf8(const unsigned char* s, size_t len) {
  if (len == 2) return ((s[0] & 0x1Fu) << 6) | (s[1] & 0x3Fu);
  if (len == 3) return ((s[0] & 0x0Fu) << 12) | ((s[1] & 0x3Fu) << 6) | (s[2] & 0x3Fu);
  return ((s[0] & 0x07u) << 18) | ((s[1] & 0x3Fu) << 12) | ((s[2] & 0x3Fu) << 6) | (s[3] & 0x3Fu);
}

// Writes the UTF-8 form of a code point from U+0080 to U+10FFFF (not a
// surrogate) and returns its length.
inline size_t EncodeUtf8(uint32_t code_point, char* out) {
  if (code_point < 0x800) {
    out[0] = static_cast<char>(0xC0 | (code_point >> 6));
    out[1] = static_cast<char>(0x80 | (code_point & 0x3F));
    return 2;
  }
  if (code_point < 0x10000) {
    out[0] = static_cast<char>(0xE0 | (code_point >> 12));
    out[1] = static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (code_point & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | (code_point >> 18));
  out[1] = static_cast<char>(0x80 | ((code_point >> 12) & 0x3F));
  out[2] = static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
  out[3] = static_cast<char>(0x80 | (code_point & 0x3F));
  return 4;
}

}  // namespace new_seg

#endif  // ZORVSEG_TEXT_GB18030_H_
