// Lookup tables between the double-byte GB18030 characters and Unicode,
// built once per process from the system's converter. They turn the common
// characters into one table read each; four-byte sequences and invalid
// input are left to the caller's slow path.
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

 private:
  Gb18030Table();
  static constexpr size_t kTrailCount = 0xFF - 0x40;
  static constexpr size_t kLeadCount = 0xFF - 0x81;

  uint32_t double_byte_to_utf8_[kLeadCount * kTrailCount];
  uint16_t bmp_to_double_byte_[0x10000];
};

}  // namespace new_seg

#endif  // ZORVSEG_TEXT_GB18030TABLE_H_
