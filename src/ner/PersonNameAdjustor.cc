#include "ner/PersonNameAdjustor.h"

#include "lattice/OmniSegNet.h"
#include "ner/NEDict.h"
#include "text/Gb18030.h"

namespace new_seg {

namespace {
const uint8_t kTagPerson = 17;
}  // namespace

bool PersonNameAdjustor::all_chinese(const char* text, std::size_t len) {
  for (std::size_t pos = 0; pos < len; pos += 2) {
    // A four-byte character would be cut in half by the two-byte shapes.
    if (static_cast<unsigned char>(text[pos]) < 0x80 || GbCharLen(text, pos, len) != 2) {
      return false;
    }
  }
  return true;
}

bool PersonNameAdjustor::IsPersonName(const _name_entity_result& result, bool from_crf) {
  if (result.type == kNeRejected) return false;
  if (from_crf) return result.mold == static_cast<uint32_t>(kPersonPhraseIdx);
  return (result.mold & kNePersonBits) != 0 && (result.mold & kNeNotPersonShaped) == 0;
}

int PersonNameAdjustor::WritePathWord(std::size_t begin, std::size_t end, OmniSegNet* seg_net) {
  int added = seg_net->AddTerm(begin, end - begin, kPersonPhraseIdx, OmniSegItem::TYPE_CJK);
  if (added != 0) return added;
  seg_net->SetPathWord(begin, end);
  seg_net->GetSegNode(end)->optimal_item()->pos_tag = kTagPerson;
  return 0;
}

bool PersonNameAdjustor::Reshape(const char* sentence, std::size_t start, std::size_t len,
                                 OmniSegNet* seg_net) {
  std::size_t cut = 0;  // where the name is cut in two; 0: one word
  if (len == 6 && !NEDict::is_compound_surname(sentence + start, 4)) cut = 2;
  if (len == 8) cut = 4;
  std::size_t end = start + len;
  // Every node that takes a word must accept it, or the path would be left
  // half rewritten.
  const OmniSegNode* end_node = seg_net->GetSegNode(end);
  const OmniSegNode* cut_node = cut != 0 ? seg_net->GetSegNode(start + cut) : nullptr;
  if (end_node == nullptr || end_node->is_rule_seg_node() ||
      (cut != 0 && (cut_node == nullptr || cut_node->is_rule_seg_node()))) {
    return true;
  }
  if (cut != 0 && WritePathWord(start, start + cut, seg_net) < 0) return false;
  return WritePathWord(start + cut, end, seg_net) >= 0;
}

bool PersonNameAdjustor::Adjust(const char* sentence, const _name_entity_result* results,
                                std::size_t count, OmniSegNet* seg_net, bool from_crf) {
  if (sentence == nullptr || results == nullptr || seg_net == nullptr) return true;
  for (std::size_t i = 0; i < count; ++i) {
    const _name_entity_result& result = results[i];
    if (!IsPersonName(result, from_crf)) continue;
    std::size_t len = result.len;
    if (len != 4 && len != 6 && len != 8) continue;
    if (!all_chinese(sentence + result.start_pos, len)) continue;
    if (!Reshape(sentence, result.start_pos, len, seg_net)) return false;
  }
  return true;
}

bool PersonNameAdjustor::Init(const char* path) { return NEDict::Build(path); }

bool PersonNameAdjustor::UnInit() { return NEDict::UnInit(); }

}  // namespace new_seg
