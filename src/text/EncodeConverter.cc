#include "text/EncodeConverter.h"

#include <cerrno>
#include <cstring>

namespace new_seg {

namespace {
// U+FFFD in each encoding.
const char kGbReplacement[] = "\x84\x31\xA4\x37";
const char kUtf8Replacement[] = "\xEF\xBF\xBD";
}  // namespace

const iconv_t EncodeConverter::kBadCd = reinterpret_cast<iconv_t>(-1);

EncodeConverter::EncodeConverter()
    : utf_2_gbk_(iconv_open("GB18030", "UTF-8")),
      gbk_2_utf_(iconv_open("UTF-8", "GB18030")) {}

EncodeConverter::~EncodeConverter() {
  if (utf_2_gbk_ != kBadCd) iconv_close(utf_2_gbk_);
  if (gbk_2_utf_ != kBadCd) iconv_close(gbk_2_utf_);
}

bool EncodeConverter::Convert(iconv_t cd, char** inbuf, size_t* inbuf_len,
                              char** outbuf, size_t* outbuf_len,
                              const char* replacement, size_t replacement_len) {
  if (cd == kBadCd) return false;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  while (*inbuf_len > 0) {
    if (iconv(cd, inbuf, inbuf_len, outbuf, outbuf_len) != static_cast<size_t>(-1)) {
      break;
    }
    if (errno == E2BIG) return false;
    // EILSEQ or EINVAL: one byte that starts no valid character.
    if (*outbuf_len < replacement_len) return false;
    memcpy(*outbuf, replacement, replacement_len);
    *outbuf += replacement_len;
    *outbuf_len -= replacement_len;
    ++*inbuf;
    --*inbuf_len;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  return true;
}

bool EncodeConverter::Utf8ToGb(const char* inbuf, size_t inbuf_len, char* outbuf,
                               size_t& outbuf_len, size_t& consumed) {
  char* in = const_cast<char*>(inbuf);
  size_t in_left = inbuf_len;
  char* out = outbuf;
  size_t out_left = outbuf_len;
  bool complete = Convert(utf_2_gbk_, &in, &in_left, &out, &out_left,
                          kGbReplacement, sizeof(kGbReplacement) - 1);
  outbuf_len -= out_left;
  consumed = inbuf_len - in_left;
  return complete;
}

bool EncodeConverter::UTF2GBK(const char* inbuf, size_t inbuf_len, char* outbuf,
                              size_t& outbuf_len) {
  size_t consumed = 0;
  return Utf8ToGb(inbuf, inbuf_len, outbuf, outbuf_len, consumed);
}

bool EncodeConverter::GBK2UTF(const char* inbuf, size_t inbuf_len, char* outbuf,
                              size_t& outbuf_len) {
  char* in = const_cast<char*>(inbuf);
  size_t in_left = inbuf_len;
  char* out = outbuf;
  size_t out_left = outbuf_len;
  bool complete = Convert(gbk_2_utf_, &in, &in_left, &out, &out_left,
                          kUtf8Replacement, sizeof(kUtf8Replacement) - 1);
  outbuf_len -= out_left;
  return complete;
}

}  // namespace new_seg
