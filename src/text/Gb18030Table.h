// Lookup tables between GB18030 and Unicode, built once per process from
// the system's converter, so that converting a character is a table read:
// the double-byte characters both ways, and the four-byte sequences, which
// hold the rest of Unicode in code-point order (the BMP ones by a table,
// the others by arithmetic). Invalid input is left to the caller.
#ifndef ZORVSEG_TEXT_GB18030TABLE_H_
#define ZORVSEG_TEXT_GB18030TABLE_H_

#include <cstddef>
#include <cstdint>

namespace new_seg {

class Gb18030Table {
 public:
  // The process-wide tables (built on first use, thread-safe).
  static const Gb18030Table& Get();

  // UTF-8 form of the double-byte character (lead, trail), packed as
  // bytes 0-2 with the length in bits 24-31; 0 when there is none.
  uint32_t Utf8Of(unsigned char lead, unsigned char trail) const {
    if (lead < 0x81 || lead > 0xFE || trail < 0x40 || trail > 0xFE || trail == 0x7F) return 0;
    return double_byte_to_utf8_[(lead - 0x81) * kTrailCount + (trail - 0x40)];
  }
  // The double-byte GB18030 code of a BMP code point (lead byte in the low
  // 8 bits), 0 when it needs four bytes or is ASCII.
  uint16_t DoubleByteOf(uint32_t code_point) const {
    return code_point < 0x10000 ? bmp_to_double_byte_[code_point] : 0;
  }

  // The four bytes of a code point without a one- or two-byte form; false
  // when the table has none for it (the caller falls back to the system).
  bool FourBytesOf(uint32_t code_point, char* bytes) const;
  // The code point of a four-byte sequence; 0 when it names none.
  uint32_t CodePointOfFourBytes(const char* bytes) const;

 private:
  Gb18030Table();
  static constexpr size_t kTrailCount = 0xFF - 0x40;
  static constexpr size_t kLeadCount = 0xFF - 0x81;
  // Four-byte sequences, numbered from 81 30 81 30: the BMP ones below
  // kBmpFourByteCount, the other planes from kPlanesBase on, U+10000 first.
  static constexpr uint32_t kBmpFourByteCount = 39420;
  static constexpr uint32_t kPlanesBase = 189000;

  void BuildFourByteTables();

  uint32_t double_byte_to_utf8_[kLeadCount * kTrailCount];
  uint16_t bmp_to_double_byte_[0x10000];
  uint16_t bmp_to_four_byte_[0x10000];             // sequence number + 1, 0 for none
  uint16_t four_byte_to_bmp_[kBmpFourByteCount];   // code point, 0 for none
};

}  // namespace new_seg

#endif  // ZORVSEG_TEXT_GB18030TABLE_H_
