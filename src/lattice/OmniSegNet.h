// The lattice of one sentence: one node per byte position. Allocated once
// per handle and reused; Clear only resets the nodes that were touched.
#ifndef ZORVSEG_LATTICE_OMNISEGNET_H_
#define ZORVSEG_LATTICE_OMNISEGNET_H_

#include <cstdio>

#include "lattice/OmniSegNode.h"

namespace new_seg {

class OmniSegNet {
 public:
  explicit OmniSegNet(size_t capacity = 1024);
  ~OmniSegNet();
  OmniSegNet(const OmniSegNet&) = delete;
  OmniSegNet& operator=(const OmniSegNet&) = delete;

  bool Init();
  // The node at pos, or null when not initialised or pos is out of range.
  OmniSegNode* GetSegNode(size_t pos) const {
    if (!inited_ || pos >= seg_net_capacity_) return nullptr;
    return &seg_net_[pos];
  }
  // The node at begin + len; grows the size to cover it.
  OmniSegNode* GetSegNode(size_t begin, size_t len);

  // Word edge [begin, begin + len): 0 added, 1 refused, -1 out of range or memory.
  int AddTerm(size_t begin, size_t len, int32_t attribute_idx, float weight_discount,
              OmniSegItem::UnDictTermType type);
  int AddTerm(size_t begin, size_t len, int32_t attribute_idx,
              OmniSegItem::UnDictTermType type) {
    return AddTerm(begin, len, attribute_idx, 1.0f, type);
  }
  int AddPhrase(size_t begin, size_t len, int32_t attribute_idx);
  // Makes the edge added last at `end` the path word from `begin` to `end`:
  // the nodes inside leave the path and `begin` leads to `end`.
  void SetPathWord(size_t begin, size_t end);
  // Forces a best-path word boundary at pos; 1 when nothing was needed.
  int SplitTerm(size_t pos);
  void Clear();
  void Dump(const char* prefix, FILE* file) const;

  OmniSegNode* seg_net_head() const { return seg_net_; }
  size_t seg_net_size() const { return seg_net_size_; }
  size_t seg_net_capacity() const { return seg_net_capacity_; }

  const size_t kMaxSegNetCapacity;

 private:
  // Adds an edge of tag 16 ("n") ending at `end` and makes it the optimal one.
  int AddOptimalEdge(OmniSegNode* end_node, size_t begin, size_t len);

  OmniSegNode* seg_net_ = nullptr;
  size_t seg_net_capacity_ = 0;
  size_t seg_net_size_ = 0;
  bool inited_ = false;
};

}  // namespace new_seg

#endif  // ZORVSEG_LATTICE_OMNISEGNET_H_
