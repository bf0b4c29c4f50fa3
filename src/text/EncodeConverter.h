// Conversion between the caller's UTF-8 and the GB18030 text the segmenter
// works on. GBK is a subset of GB18030, so GBK callers see no difference;
// UTF-8 callers get every character back, including those outside GBK.
#ifndef ZORVSEG_TEXT_ENCODECONVERTER_H_
#define ZORVSEG_TEXT_ENCODECONVERTER_H_

#include <iconv.h>

#include <cstddef>

namespace new_seg {

class EncodeConverter {
 public:
  EncodeConverter();
  ~EncodeConverter();
  EncodeConverter(const EncodeConverter&) = delete;
  EncodeConverter& operator=(const EncodeConverter&) = delete;

  // Common characters go through process-wide tables; the rest through
  // iconv. Both convert inbuf_len bytes into outbuf; outbuf_len holds the output
  // capacity on entry and the bytes produced on return. Output that does not
  // fit ends at the last whole character; an invalid input sequence becomes
  // U+FFFD. Returns false only when the output was cut for lack of room.
  bool UTF2GBK(const char* inbuf, size_t inbuf_len, char* outbuf,
               size_t& outbuf_len);
  bool GBK2UTF(const char* inbuf, size_t inbuf_len, char* outbuf,
               size_t& outbuf_len);

  // Like UTF2GBK, and reports how many input bytes were consumed so a caller
  // can grow its buffer and continue where the output ran out.
  bool Utf8ToGb(const char* inbuf, size_t inbuf_len, char* outbuf,
                size_t& outbuf_len, size_t& consumed);

  // Converts the one character at in (left bytes available, left > 0) into
  // gb (at least 8 bytes), sets gb_len and returns the input bytes it used:
  // the step Utf8ToGb takes for each character.
  size_t Utf8CharToGb(const char* in, size_t left, char* gb, size_t& gb_len);

  bool ok() const { return utf_2_gbk_ != kBadCd && gbk_2_utf_ != kBadCd; }

 private:
  static const iconv_t kBadCd;

  // Converts one character the tables do not hold; 0 when it is invalid.
  static size_t ConvertOne(iconv_t cd, const char* in, size_t in_len, char* out,
                           size_t out_capacity);

  iconv_t utf_2_gbk_;
  iconv_t gbk_2_utf_;
};

}  // namespace new_seg

#endif  // ZORVSEG_TEXT_ENCODECONVERTER_H_
