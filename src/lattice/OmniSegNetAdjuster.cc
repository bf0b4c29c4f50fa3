#include "lattice/OmniSegNetAdjuster.h"

#include "dict/CoreDict.h"
#include "lattice/OmniSegNet.h"
#include "text/SentenceNormalizer.h"

namespace new_seg {

// The parts before start were re-cut, so the path word that covered start
// now begins before it. Join start to the next path node with one word so
// the path stays whole (the rest of that word keeps its earlier extent).
void OmniSegNetAdjuster::ReconnectFrom(size_t start, const char* text, size_t text_len) {
  const OmniSegNode* start_node = seg_net_->GetSegNode(start);
  if (start_node == nullptr || start_node->next_term_len() != 0) return;
  size_t end = start + 1;
  while (end < seg_net_->seg_net_size() && !seg_net_->GetSegNode(end)->is_optimal_seg_node()) {
    ++end;
  }
  if (end >= seg_net_->seg_net_size()) return;
  int id = end <= text_len ? CoreDict::ExactMatchSearch(text + start, end - start) : -1;
  if (seg_net_->AddTerm(start, end - start, id < 0 ? 0 : id, OmniSegItem::TYPE_CJK) != 0) return;
  seg_net_->SetPathWord(start, end);
}

int OmniSegNetAdjuster::AdjustOptimalPath() {
  size_t pos = 0;
  while (pos < seg_net_->seg_net_size()) {
    const OmniSegNode* node = seg_net_->GetSegNode(pos);
    size_t next_len = 0;
    if (node->is_optimal_seg_node() && AdjustSegNode(pos, *node, next_len) && next_len > 0) {
      pos += next_len;
    } else {
      ++pos;
    }
  }
  return 0;
}

bool OmniSegNetAdjuster::AdjustSegNode(size_t pos, const OmniSegNode& node, size_t& next_len) {
  const OmniPhraseItem* chosen = nullptr;
  for (size_t k = node.phrase_item_size(); k-- > 0;) {
    const OmniPhraseItem& phrase = node.phrase_items()[k];
    int32_t id = phrase.phrase_attribute_idx;
    if (id <= 0 || id >= kReservedIdBase) continue;
    const OmniSegNode* end = seg_net_->GetSegNode(pos + phrase.phrase_len);
    if (end == nullptr || !end->is_optimal_seg_node()) continue;
    const CoreTermAttribute* attribute = CoreDict::GetValue(id);
    if (attribute == nullptr || (attribute->term_type & kTermCompound) ||
        attribute->term_seg_info_index == 0) {
      continue;
    }
    if (chosen == nullptr || phrase.phrase_len > chosen->phrase_len) chosen = &phrase;
  }
  if (chosen == nullptr) return false;
  next_len = chosen->phrase_len;
  return DoAdjust(pos, chosen->phrase_attribute_idx);
}

bool OmniSegNetAdjuster::DoAdjust(size_t pos, int32_t attribute_idx) {
  const CoreTermAttribute* attribute = CoreDict::GetValue(attribute_idx);
  if (attribute == nullptr) return false;
  size_t text_len = 0;
  const char* text = normalizer_->GetSegmentUsedStr(text_len);
  return CoreDict::ForEachSplitPart(*attribute, [&](size_t begin, size_t length) {
    return CutPart(pos + begin, length, text, text_len);
  });
}

// Makes [start, start + length) one path word when the dictionary holds it.
bool OmniSegNetAdjuster::CutPart(size_t start, size_t length, const char* text,
                                 size_t text_len) {
  if (start + length > text_len) return false;
  int id = CoreDict::ExactMatchSearch(text + start, length);
  if (id < 0) {
    ReconnectFrom(start, text, text_len);
    return false;
  }
  if (seg_net_->AddTerm(start, length, id, OmniSegItem::TYPE_CJK) != 0) return false;
  seg_net_->SetPathWord(start, start + length);
  return true;
}

}  // namespace new_seg
