#include "text/EncodeConverter.h"

#include <cstring>

#include "text/Gb18030.h"
#include "text/Gb18030Table.h"

namespace new_seg {

namespace {
// U+FFFD in each encoding.
const char kGbReplacement[] = "\x84\x31\xA4\x37";
const char kUtf8Replacement[] = "\xEF\xBF\xBD";
const size_t kGbReplacementLen = sizeof(kGbReplacement) - 1;
const size_t kUtf8ReplacementLen = sizeof(kUtf8Replacement) - 1;

bool IsContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// Length of the well-formed UTF-8 sequence at s (no overlong forms, no
// surrogates, nothing above U+10FFFF), or 0 when it is not one.
size_t Utf8SequenceLen(const unsigned char* s, size_t left) {
  unsigned char b = s[0];
  size_t len;
  if (b >= 0xC2 && b <= 0xDF) len = 2;
  else if (b >= 0xE0 && b <= 0xEF) len = 3;
  else if (b >= 0xF0 && b <= 0xF4) len = 4;
  else return 0;
  if (left < len) return 0;
  for (size_t i = 1; i < len; ++i) {
    if (!IsContinuation(s[i])) return 0;
  }
  if (b == 0xE0 && s[1] < 0xA0) return 0;  // overlong
  if (b == 0xED && s[1] >= 0xA0) return 0;  // surrogate
  if (b == 0xF0 && s[1] < 0x90) return 0;  // overlong
  if (b == 0xF4 && s[1] >= 0x90) return 0;  // above U+10FFFF
  return len;
}

// Appends len bytes when they fit; false when the output is full.
bool Emit(const char* bytes, size_t len, char* out, size_t capacity, size_t& produced) {
  if (capacity - produced < len) return false;
  memcpy(out + produced, bytes, len);
  produced += len;
  return true;
}
}  // namespace

const iconv_t EncodeConverter::kBadCd = reinterpret_cast<iconv_t>(-1);

EncodeConverter::EncodeConverter()
    : utf_2_gbk_(iconv_open("GB18030", "UTF-8")),
      gbk_2_utf_(iconv_open("UTF-8", "GB18030")) {}

EncodeConverter::~EncodeConverter() {
  if (utf_2_gbk_ != kBadCd) iconv_close(utf_2_gbk_);
  if (gbk_2_utf_ != kBadCd) iconv_close(gbk_2_utf_);
}

size_t EncodeConverter::ConvertOne(iconv_t cd, const char* in, size_t in_len, char* out,
                                   size_t out_capacity) {
  if (cd == kBadCd) return 0;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* in_p = const_cast<char*>(in);
  char* out_p = out;
  size_t out_left = out_capacity;
  if (iconv(cd, &in_p, &in_len, &out_p, &out_left) == static_cast<size_t>(-1)) return 0;
  return out_capacity - out_left;
}

namespace {
// Copies ASCII bytes through and hands every other character to
// convert_char(position, bytes left, out, out_len), which writes its
// converted form (at most 8 bytes) and returns the input bytes it used. Stops
// at the last whole character that fits; false when the output ran out.
template <typename ConvertChar>
bool ConvertText(const char* inbuf, size_t inbuf_len, char* outbuf, size_t& outbuf_len,
                 size_t& consumed, ConvertChar convert_char) {
  const unsigned char* in = reinterpret_cast<const unsigned char*>(inbuf);
  size_t capacity = outbuf_len;
  size_t produced = 0;
  size_t i = 0;
  bool complete = true;
  while (i < inbuf_len) {
    if (in[i] < 0x80) {
      if (produced == capacity) { complete = false; break; }
      outbuf[produced++] = inbuf[i++];
      continue;
    }
    char converted[8];
    size_t converted_len = 0;
    size_t used = convert_char(i, inbuf_len - i, converted, converted_len);
    if (!Emit(converted, converted_len, outbuf, capacity, produced)) { complete = false; break; }
    i += used;
  }
  outbuf_len = produced;
  consumed = i;
  return complete;
}
}  // namespace

size_t EncodeConverter::Utf8CharToGb(const char* in, size_t left, char* gb, size_t& gb_len) {
  const unsigned char* u = reinterpret_cast<const unsigned char*>(in);
  if (u[0] < 0x80) {
    gb[0] = in[0];
    gb_len = 1;
    return 1;
  }
  const Gb18030Table& table = Gb18030Table::Get();
  size_t seq_len = Utf8SequenceLen(u, left);
  uint32_t code_point = seq_len == 0 ? 0 : DecodeUtf8(u, seq_len);
  uint16_t code = table.DoubleByteOf(code_point);
  gb_len = 0;
  if (code != 0) {
    gb[0] = static_cast<char>(code & 0xFF);
    gb[1] = static_cast<char>(code >> 8);
    gb_len = 2;
  } else if (seq_len != 0 && table.FourBytesOf(code_point, gb)) {
    gb_len = 4;
  } else if (seq_len != 0) {
    gb_len = ConvertOne(utf_2_gbk_, in, seq_len, gb, 8);
  }
  if (gb_len != 0) return seq_len;
  memcpy(gb, kGbReplacement, kGbReplacementLen);  // not a character: one byte becomes U+FFFD
  gb_len = kGbReplacementLen;
  return 1;
}

bool EncodeConverter::Utf8ToGb(const char* inbuf, size_t inbuf_len, char* outbuf,
                               size_t& outbuf_len, size_t& consumed) {
  auto convert_char = [&](size_t i, size_t left, char* gb, size_t& gb_len) -> size_t {
    return Utf8CharToGb(inbuf + i, left, gb, gb_len);
  };
  return ConvertText(inbuf, inbuf_len, outbuf, outbuf_len, consumed, convert_char);
}

bool EncodeConverter::UTF2GBK(const char* inbuf, size_t inbuf_len, char* outbuf,
                              size_t& outbuf_len) {
  size_t consumed = 0;
  return Utf8ToGb(inbuf, inbuf_len, outbuf, outbuf_len, consumed);
}

bool EncodeConverter::GBK2UTF(const char* inbuf, size_t inbuf_len, char* outbuf,
                              size_t& outbuf_len) {
  const Gb18030Table& table = Gb18030Table::Get();
  const unsigned char* in = reinterpret_cast<const unsigned char*>(inbuf);
  auto convert_char = [&](size_t i, size_t, char* utf8, size_t& utf8_len) -> size_t {
    size_t char_len = GbCharLen(inbuf, i, inbuf_len);
    if (char_len == 2) {
      uint32_t packed = table.Utf8Of(in[i], in[i + 1]);
      utf8_len = packed >> 24;
      for (size_t k = 0; k < utf8_len; ++k) utf8[k] = static_cast<char>(packed >> (8 * k));
    } else if (char_len == 4) {
      uint32_t code_point = table.CodePointOfFourBytes(inbuf + i);
      utf8_len = code_point != 0 ? EncodeUtf8(code_point, utf8)
                                 : ConvertOne(gbk_2_utf_, inbuf + i, 4, utf8, 8);
    }
    if (utf8_len != 0) return char_len;
    memcpy(utf8, kUtf8Replacement, kUtf8ReplacementLen);  // not a character: U+FFFD
    utf8_len = kUtf8ReplacementLen;
    return 1;
  };
  size_t consumed = 0;
  return ConvertText(inbuf, inbuf_len, outbuf, outbuf_len, consumed, convert_char);
}

}  // namespace new_seg
