#include "text/SentenceNormalizer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "driver/SegMode.h"

namespace new_seg {

uint16_t* SentenceNormalizer::traditional_to_simplified_ = nullptr;
bool SentenceNormalizer::static_inited_ = false;

namespace {
const size_t kTableSize = 65536;
const size_t kBufSlack = 64;
const uint16_t kSkippedCode = 0xFFFF;

uint16_t CodeAt(const char* p) {
  const unsigned char* u = reinterpret_cast<const unsigned char*>(p);
  return static_cast<uint16_t>(u[0] + 256u * u[1]);
}

// Full-width ASCII is the GBK row A3 A1 ("！") to A3 FD ("｝"), whose second
// byte less 0x80 is the half-width character. The full-width yen sign
// (A3 A4) and overline (A3 FE) have no ASCII counterpart, and the rest of
// the row (A3 81 to A3 A0, A3 FF) holds private-use characters that must
// never turn into control characters or white space.
bool IsFullWidthAscii(unsigned char lead, unsigned char second) {
  return lead == 0xA3 && second >= 0xA1 && second <= 0xFD && second != 0xA4;
}

// Reads one line of any length, keeping the first bytes (the table only
// looks at the first five). False at end of file.
bool ReadLineHead(FILE* file, char* head, size_t head_size, size_t& head_len) {
  head_len = 0;
  int c;
  bool any = false;
  while ((c = fgetc(file)) != EOF) {
    any = true;
    if (c == '\n') break;
    if (head_len < head_size) head[head_len++] = static_cast<char>(c);
  }
  return any;
}
}  // namespace

bool SentenceNormalizer::Init(const char* path) {
  if (static_inited_) return true;
  uint16_t* table = new (std::nothrow) uint16_t[kTableSize]();
  if (table == nullptr) return false;
  if (path != nullptr) {
    FILE* file = fopen(path, "rb");
    if (file == nullptr) {
      fprintf(stderr, "cannot open traditional-to-simplified table %s\n", path);
      delete[] table;
      return false;
    }
    char head[8];
    size_t head_len = 0;
    size_t line_no = 0, short_lines = 0;
    while (ReadLineHead(file, head, sizeof(head), head_len)) {
      ++line_no;
      // Lines too short to hold both characters map nothing: both codes
      // must be whole.
      if (head_len < 5) {
        if (head_len > 0 && !(head_len == 1 && head[0] == '\r')) ++short_lines;
        continue;
      }
      uint16_t from = CodeAt(head);
      if (from != kSkippedCode) table[from] = CodeAt(head + 3);
    }
    fclose(file);
    if (short_lines > 0) {
      fprintf(stderr, "%s: %zu of %zu lines too short, skipped\n", path,
              short_lines, line_no);
    }
  }
  traditional_to_simplified_ = table;
  static_inited_ = true;
  return true;
}

void SentenceNormalizer::UnInit() {
  delete[] traditional_to_simplified_;
  traditional_to_simplified_ = nullptr;
  static_inited_ = false;
}

uint16_t SentenceNormalizer::SimplifiedOf(uint16_t code) {
  return static_inited_ ? traditional_to_simplified_[code] : 0;
}

SentenceNormalizer::SentenceNormalizer(SegMode* seg_mode, size_t capacity)
    : seg_mode_(seg_mode), buf_capacity_(capacity) {}

SentenceNormalizer::~SentenceNormalizer() {
  free(buf_1_);
  free(buf_2_);
  free(source_pos_);
}

bool SentenceNormalizer::Init() {
  if (inited_) return true;
  buf_1_ = static_cast<char*>(calloc(buf_capacity_ + kBufSlack, 1));
  buf_2_ = static_cast<char*>(calloc(buf_capacity_ + kBufSlack, 1));
  source_pos_ = static_cast<uint16_t*>(calloc(buf_capacity_ + 1, sizeof(uint16_t)));
  if (buf_1_ == nullptr || buf_2_ == nullptr || source_pos_ == nullptr) {
    free(buf_1_);
    free(buf_2_);
    free(source_pos_);
    buf_1_ = buf_2_ = nullptr;
    source_pos_ = nullptr;
    return false;
  }
  inited_ = true;
  return true;
}

void SentenceNormalizer::Clear() {
  buf_1_size_ = buf_2_size_ = 0;
  output_used_buf_size_ = segment_used_buf_size_ = 0;
}

// The three steps walk characters alike: a byte below 0x80 is one
// character, any other byte starts a two-byte one. When the last byte is
// 0x80 or above the walk starts no character there, so a lone lead byte at
// the end is copied unchanged (and the walk never reads past the end) while
// a whole double-byte character at the end is still converted. GB18030 four-byte sequences pass as two two-byte
// halves whose second bytes are digits, which no step changes.
size_t SentenceNormalizer::DoS2D(const char* src, size_t len, char* dest,
                                 uint16_t* source_pos) {
  const unsigned char* s = reinterpret_cast<const unsigned char*>(src);
  size_t walk_end = (len > 0 && s[len - 1] >= 0x80) ? len - 1 : len;
  size_t out = 0, i = 0;
  auto copy_byte = [&](size_t from) {
    source_pos[out] = static_cast<uint16_t>(from);
    dest[out++] = src[from];
  };
  while (i < walk_end) {
    if (s[i] < 0x80) {
      copy_byte(i++);
    } else {
      unsigned char second = s[i + 1];
      if (IsFullWidthAscii(s[i], second)) {
        source_pos[out] = static_cast<uint16_t>(i);
        dest[out++] = static_cast<char>(second - 0x80);
      } else {
        copy_byte(i);
        copy_byte(i + 1);
      }
      i += 2;
    }
  }
  while (i < len) copy_byte(i++);
  source_pos[out] = static_cast<uint16_t>(len);
  return out;
}

size_t SentenceNormalizer::DoT2S(const char* src, size_t len, char* dest) {
  const unsigned char* s = reinterpret_cast<const unsigned char*>(src);
  size_t walk_end = (len > 0 && s[len - 1] >= 0x80) ? len - 1 : len;
  size_t i = 0;
  while (i < walk_end) {
    if (s[i] < 0x80) {
      dest[i] = src[i];
      ++i;
      continue;
    }
    uint16_t simplified = traditional_to_simplified_[CodeAt(src + i)];
    if (simplified != 0) {
      dest[i] = static_cast<char>(simplified & 0xFF);
      dest[i + 1] = static_cast<char>(simplified >> 8);
    } else {
      dest[i] = src[i];
      dest[i + 1] = src[i + 1];
    }
    i += 2;
  }
  for (; i < len; ++i) dest[i] = src[i];
  return len;
}

size_t SentenceNormalizer::DoU2L(const char* src, size_t len, char* dest) {
  const unsigned char* s = reinterpret_cast<const unsigned char*>(src);
  size_t walk_end = (len > 0 && s[len - 1] >= 0x80) ? len - 1 : len;
  size_t i = 0;
  while (i < walk_end) {
    if (s[i] >= 0x80) {
      dest[i] = src[i];
      dest[i + 1] = src[i + 1];
      i += 2;
    } else {
      unsigned char c = s[i];
      dest[i] = static_cast<char>((c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c);
      ++i;
    }
  }
  for (; i < len; ++i) dest[i] = src[i];
  return len;
}

char* SentenceNormalizer::GetDestBuf(int magic, const char*& src, size_t& src_len) {
  if (magic == 0) {
    src = sentence_;
    src_len = sentence_len_;
    return buf_1_;
  }
  if (magic % 2 == 1) {
    src = buf_1_;
    src_len = buf_1_size_;
    return buf_2_;
  }
  src = buf_2_;
  src_len = buf_2_size_;
  return buf_1_;
}

char* SentenceNormalizer::Normalize(const char* sentence, size_t len,
                                    size_t& normalized_len) {
  if (len > buf_capacity_ || !inited_ || !static_inited_) return nullptr;
  Clear();
  sentence_ = sentence;
  sentence_len_ = len;
  shrunk_ = false;
  int magic = 0;
  const char* src = nullptr;
  size_t src_len = 0;
  auto record = [this](char* dest, size_t size) {
    (dest == buf_1_ ? buf_1_size_ : buf_2_size_) = size;
  };

  if (seg_mode_->is_sbc_to_dbc()) {
    char* dest = GetDestBuf(magic, src, src_len);
    size_t written = DoS2D(src, src_len, dest, source_pos_);
    record(dest, written);
    shrunk_ = written < src_len;
    if (written > 0) magic = 1;
  }
  if (seg_mode_->is_traditional_to_simplified()) {
    char* dest = GetDestBuf(magic, src, src_len);
    size_t written = DoT2S(src, src_len, dest);
    record(dest, written);
    if (written > 0) ++magic;
  }
  char* dest = GetDestBuf(magic, src, src_len);
  size_t written = DoU2L(src, src_len, dest);
  record(dest, written);
  dest[written] = '\0';

  segment_used_buf_ = dest;
  segment_used_buf_size_ = written;
  output_used_buf_ = seg_mode_->is_upper_to_lower() ? dest : src;
  output_used_buf_size_ = seg_mode_->is_upper_to_lower() ? written : src_len;
  normalized_len = written;
  return dest;
}

const char* SentenceNormalizer::GetOutputUsedStr(size_t& len) const {
  len = output_used_buf_size_;
  return output_used_buf_;
}

const char* SentenceNormalizer::GetSegmentUsedStr(size_t& len) const {
  len = segment_used_buf_size_;
  return segment_used_buf_;
}

const char* SentenceNormalizer::GetTerm(size_t begin_pos, size_t len,
                                        size_t& output_len) const {
  output_len = len;
  return output_used_buf_ + begin_pos;
}

}  // namespace new_seg
