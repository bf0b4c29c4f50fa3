#include "text/Gb18030Table.h"

#include <iconv.h>

#include <cstring>

namespace new_seg {

namespace {
uint32_t DecodeUtf8(const unsigned char* s, size_t len) {
  if (len == 2) return ((s[0] & 0x1Fu) << 6) | (s[1] & 0x3Fu);
  if (len == 3) return ((s[0] & 0x0Fu) << 12) | ((s[1] & 0x3Fu) << 6) | (s[2] & 0x3Fu);
  return 0;
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
}

}  // namespace new_seg
