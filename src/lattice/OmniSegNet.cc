#include "lattice/OmniSegNet.h"

#include <new>

namespace new_seg {

namespace {
const uint8_t kNounTag = 16;
}

OmniSegNet::OmniSegNet(size_t capacity) : kMaxSegNetCapacity(capacity) {}

OmniSegNet::~OmniSegNet() { delete[] seg_net_; }

bool OmniSegNet::Init() {
  if (inited_) return true;
  seg_net_ = new (std::nothrow) OmniSegNode[kMaxSegNetCapacity];
  if (seg_net_ == nullptr) return false;
  seg_net_capacity_ = kMaxSegNetCapacity;
  inited_ = true;
  return true;
}


OmniSegNode* OmniSegNet::GetSegNode(size_t begin, size_t len) {
  size_t pos = begin + len;
  if (pos < begin) return nullptr;  // wrapped around
  OmniSegNode* node = GetSegNode(pos);
  if (node != nullptr && pos >= seg_net_size_) seg_net_size_ = pos + 1;
  return node;
}

int OmniSegNet::AddTerm(size_t begin, size_t len, int32_t attribute_idx,
                        float weight_discount, OmniSegItem::UnDictTermType type) {
  OmniSegNode* node = GetSegNode(begin, len);
  if (node == nullptr) return -1;
  return node->AddTerm(begin, len, attribute_idx, weight_discount, type);
}

int OmniSegNet::AddPhrase(size_t begin, size_t len, int32_t attribute_idx) {
  OmniSegNode* start = GetSegNode(begin, 0);
  OmniSegNode* end = GetSegNode(begin, len);
  if (start == nullptr || end == nullptr) return -1;
  if (!start->could_add_phrase() || !end->could_add_phrase()) return 1;
  int result = start->AddPhrase(begin + len, len, attribute_idx);
  if (result != 0) return result;
  if (start->out_phrase_max_len() < len) start->set_out_phrase_max_len(len);
  if (end->in_phrase_max_len() < len) end->set_in_phrase_max_len(len);
  end->set_is_candidate_phrase_node(true);
  return 0;
}

int OmniSegNet::AddOptimalEdge(OmniSegNode* end_node, size_t begin, size_t len) {
  int result = end_node->AddTerm(begin, len, 0, OmniSegItem::TYPE_CJK);
  if (result != 0) return result;
  end_node->set_optimal_item_idx(end_node->seg_item_size() - 1);
  end_node->optimal_item()->pos_tag = kNounTag;
  return 0;
}

void OmniSegNet::SetPathWord(size_t begin, size_t end) {
  for (size_t pos = begin + 1; pos < end; ++pos) seg_net_[pos].set_is_optimal_seg_node(false);
  OmniSegNode& end_node = seg_net_[end];
  end_node.set_optimal_item_idx(end_node.seg_item_size() - 1);
  end_node.set_is_optimal_seg_node(true);
  seg_net_[begin].set_next_term_len(end - begin);
}

int OmniSegNet::SplitTerm(size_t pos) {
  if (pos == 0 || pos >= seg_net_size_) return 1;
  OmniSegNode* node = GetSegNode(pos);
  if (node == nullptr) return 0;
  if (node->is_optimal_seg_node()) return 1;

  size_t p = pos - 1;
  while (p > 0 && !seg_net_[p].is_optimal_seg_node()) --p;
  size_t q = pos + 1;
  while (q < seg_net_size_ && !seg_net_[q].is_optimal_seg_node()) ++q;
  if (q >= seg_net_size_) return 1;  // no path after pos: lattice not searched

  seg_net_[p].set_next_term_len(pos - p);
  if (AddOptimalEdge(&seg_net_[q], pos, q - pos) < 0) return -1;
  if (AddOptimalEdge(node, p, pos - p) < 0) return -1;
  node->set_is_optimal_seg_node(true);
  node->set_is_candidate_seg_node(true);
  node->set_next_term_len(q - pos);
  return 1;
}

void OmniSegNet::Clear() {
  for (size_t i = 0; i < seg_net_size_; ++i) seg_net_[i].Clear();
  seg_net_size_ = 0;
}

void OmniSegNet::Dump(const char* prefix, FILE* file) const {
  fprintf(file, "%sseg_net_size : %lu\n", prefix, seg_net_size_);
  for (size_t i = 0; i < seg_net_size_; ++i) {
    fprintf(file, "%sseg_node : %lu\n", prefix, i);
    seg_net_[i].Dump("\t", file);
  }
}

}  // namespace new_seg
