#include "text/Gb18030Table.h"

#include <iconv.h>

#include <cstring>

#include "text/Gb18030.h"

namespace new_seg {

namespace {
// The number of a four-byte sequence (bytes 81-FE, 30-39, 81-FE, 30-39),
// or -1 when the bytes are not one.
int64_t FourByteNumber(const unsigned char* b) {
  if (b[0] < 0x81 || b[0] > 0xFE || b[1] < 0x30 || b[1] > 0x39 || b[2] < 0x81 ||
      b[2] > 0xFE || b[3] < 0x30 || b[3] > 0x39) {
    return -1;
  }
  return (((b[0] - 0x81) * 10 + (b[1] - 0x30)) * 126 + (b[2] - 0x81)) * 10 + (b[3] - 0x30);
}

void FourBytesOfNumber(uint32_t number, char* bytes) {
  bytes[3] = static_cast<char>(0x30 + number % 10);
  number /= 10;
  bytes[2] = static_cast<char>(0x81 + number % 126);
  number /= 126;
  bytes[1] = static_cast<char>(0x30 + number % 10);
  bytes[0] = static_cast<char>(0x81 + number / 10);
}
}  // namespace

const Gb18030Table& Gb18030Table::Get() {
  static const Gb18030Table* table = new Gb18030Table();
  return *table;
}

Gb18030Table::Gb18030Table() {
  memset(double_byte_to_utf8_, 0, sizeof(double_byte_to_utf8_));
  memset(bmp_to_double_byte_, 0, sizeof(bmp_to_double_byte_));
  iconv_t cd = iconv_open("UTF-8", "GB18030");
  if (cd == reinterpret_cast<iconv_t>(-1)) return;  // empty tables: slow path only
  for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
    for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
      unsigned char out[8];
      char* in_p = in;
      size_t in_left = 2;
      char* out_p = reinterpret_cast<char*>(out);
      size_t out_left = sizeof(out);
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      if (iconv(cd, &in_p, &in_left, &out_p, &out_left) == static_cast<size_t>(-1)) continue;
      size_t len = sizeof(out) - out_left;
      if (len < 2 || len > 3) continue;
      uint32_t packed = static_cast<uint32_t>(len) << 24;
      for (size_t i = 0; i < len; ++i) packed |= static_cast<uint32_t>(out[i]) << (8 * i);
      double_byte_to_utf8_[(lead - 0x81) * kTrailCount + (trail - 0x40)] = packed;
      uint32_t code_point = DecodeUtf8(out, len);
      if (code_point >= 0x80 && bmp_to_double_byte_[code_point] == 0) {
        bmp_to_double_byte_[code_point] = static_cast<uint16_t>(lead | (trail << 8));
      }
    }
  }
  iconv_close(cd);
  BuildFourByteTables();
}

// Every BMP code point without a shorter form is asked of the system once.
void Gb18030Table::BuildFourByteTables() {
  memset(bmp_to_four_byte_, 0, sizeof(bmp_to_four_byte_));
  memset(four_byte_to_bmp_, 0, sizeof(four_byte_to_bmp_));
  iconv_t cd = iconv_open("GB18030", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return;
  for (uint32_t code_point = 0x80; code_point < 0x10000; ++code_point) {
    if (bmp_to_double_byte_[code_point] != 0 || (code_point >= 0xD800 && code_point <= 0xDFFF)) {
      continue;
    }
    char in[4];
    char* in_p = in;
    size_t in_left = EncodeUtf8(code_point, in);
    unsigned char out[8];
    char* out_p = reinterpret_cast<char*>(out);
    size_t out_left = sizeof(out);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &in_p, &in_left, &out_p, &out_left) == static_cast<size_t>(-1)) continue;
    if (sizeof(out) - out_left != 4) continue;
    int64_t number = FourByteNumber(out);
    if (number < 0 || number >= kBmpFourByteCount) continue;
    bmp_to_four_byte_[code_point] = static_cast<uint16_t>(number + 1);
    four_byte_to_bmp_[number] = static_cast<uint16_t>(code_point);
  }
  iconv_close(cd);
}

bool Gb18030Table::FourBytesOf(uint32_t code_point, char* bytes) const {
  if (code_point >= 0x10000) {
    if (code_point > 0x10FFFF) return false;
    FourBytesOfNumber(kPlanesBase + (code_point - 0x10000), bytes);
    return true;
  }
  uint16_t number = bmp_to_four_byte_[code_point];
  if (number == 0) return false;
  FourBytesOfNumber(number - 1u, bytes);
  return true;
}

uint32_t Gb18030Table::CodePointOfFourBytes(const char* bytes) const {
  int64_t number = FourByteNumber(reinterpret_cast<const unsigned char*>(bytes));
  if (number < 0) return 0;
  if (number < kBmpFourByteCount) return four_byte_to_bmp_[number];
  if (number >= kPlanesBase && number - kPlanesBase < 0x100000) {
    return static_cast<uint32_t>(number - kPlanesBase) + 0x10000;
  }
  return 0;
}

}  // namespace new_seg
