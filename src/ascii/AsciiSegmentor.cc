#include "ascii/AsciiSegmentor.h"

#include "lattice/OmniSegNet.h"

namespace new_seg {

namespace {
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool IsLetter(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
}  // namespace

int AsciiSegmentor::AddClassRuns(const char* sentence, size_t start, size_t len,
                                 OmniSegNet* seg_net) {
  const unsigned char* s = reinterpret_cast<const unsigned char*>(sentence);
  size_t end = start + len;
  size_t pos = start;
  while (pos < end) {
    size_t run_end = pos + 1;
    OmniSegItem::UnDictTermType type = OmniSegItem::TYPE_SEG;
    if (IsLetter(s[pos])) {
      while (run_end < end && IsLetter(s[run_end])) ++run_end;
      type = OmniSegItem::TYPE_ENG;
    } else if (IsDigit(s[pos])) {
      while (run_end < end && IsDigit(s[run_end])) ++run_end;
      type = OmniSegItem::TYPE_NUM;
    } else if (s[pos] >= 0x80) {
      type = OmniSegItem::TYPE_ERR;  // a lone lead byte at the sentence end
    }
    int result = seg_net->AddTerm(pos, run_end - pos, 0, type);
    if (result < 0) return result;
    pos = run_end;
  }
  return 0;
}

int AsciiSegmentor::segment(const char* sentence, size_t /*sentence_len*/, size_t start,
                            size_t len, OmniSegNet* seg_net) {
  return AddClassRuns(sentence, start, len, seg_net);
}

int AsciiSegmentor::segment_in_simple(const char* sentence, size_t /*sentence_len*/,
                                      size_t start, size_t len, OmniSegNet* seg_net) {
  return AddClassRuns(sentence, start, len, seg_net);
}

int AsciiSegmentor::segment_in_whole(const char* sentence, size_t /*sentence_len*/,
                                     size_t start, size_t len, OmniSegNet* seg_net) {
  return AddClassRuns(sentence, start, len, seg_net);
}

}  // namespace new_seg
