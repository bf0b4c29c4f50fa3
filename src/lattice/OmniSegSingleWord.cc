#include "lattice/OmniSegSingleWord.h"

#include "lattice/OmniSegNet.h"
#include "text/Gb18030.h"
#include "text/AsciiChar.h"

namespace new_seg {

namespace {

size_t RunEnd(const char* text, size_t pos, size_t length, bool (*in_run)(unsigned char)) {
  while (pos < length && in_run(static_cast<unsigned char>(text[pos]))) ++pos;
  return pos;
}
}  // namespace

bool OmniSegSingleWord::Segment(const char* sentence, size_t length) {
  if (seg_net_->AddTerm(0, 0, kSentenceStartIdx, OmniSegItem::TYPE_SEG) != 0) {
    return false;
  }
  size_t a = 0;
  while (a < length) {
    size_t end;
    OmniSegItem::UnDictTermType type;
    if (static_cast<unsigned char>(sentence[a]) >= 0x80) {
      end = a + GbCharLen(sentence, a, length);
      // A lead byte with nothing after it is kept as a one-byte edge.
      type = end - a == 1 ? OmniSegItem::TYPE_ERR : OmniSegItem::TYPE_CJK;
    } else if (IsAsciiDigit(sentence[a])) {
      end = RunEnd(sentence, a, length, IsAsciiDigit);
      type = OmniSegItem::TYPE_NUM;
    } else if (IsAsciiLetter(sentence[a])) {
      end = RunEnd(sentence, a, length, IsAsciiLetter);
      type = OmniSegItem::TYPE_ENG;
    } else {
      end = a + 1;
      type = OmniSegItem::TYPE_SEG;
    }
    seg_net_->AddTerm(a, end - a, 0, type);
    a = end;
  }
  return set_optimal_path();
}

bool OmniSegSingleWord::set_optimal_path() {
  if (seg_net_->seg_net_size() == 0) return false;
  size_t pos = seg_net_->seg_net_size() - 1;
  size_t next_len = 0;
  for (;;) {
    OmniSegNode* node = seg_net_->GetSegNode(pos);
    if (node == nullptr || node->seg_item_size() == 0) return false;
    node->set_is_optimal_seg_node(true);
    node->set_next_term_len(next_len);
    node->set_optimal_item_idx(0);
    if (pos == 0) return true;
    const OmniSegItem& first = node->seg_items()[0];
    if (first.term_begin_pos >= pos) return false;  // would never reach node 0
    next_len = first.term_len;
    pos = first.term_begin_pos;
  }
}

}  // namespace new_seg
