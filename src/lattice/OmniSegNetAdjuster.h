// Re-cuts the best path under dictionary phrases that carry split
// positions, so that a phrase on the path yields its own parts.
#ifndef ZORVSEG_LATTICE_OMNISEGNETADJUSTER_H_
#define ZORVSEG_LATTICE_OMNISEGNETADJUSTER_H_

#include <cstddef>
#include <cstdint>

namespace new_seg {

class OmniSegNet;
class OmniSegNode;
class SentenceNormalizer;

class OmniSegNetAdjuster {
 public:
  OmniSegNetAdjuster(OmniSegNet* seg_net, SentenceNormalizer* normalizer)
      : seg_net_(seg_net), normalizer_(normalizer) {}

  // Always 0: a part missing from the dictionary only ends that phrase's
  // adjustment.
  int AdjustOptimalPath();
  // True when a phrase starting at node pos was re-segmented; its length
  // goes to next_len.
  bool AdjustSegNode(size_t pos, const OmniSegNode& node, size_t& next_len);
  // True when every part was found in the dictionary.
  bool DoAdjust(size_t pos, int32_t attribute_idx);

 private:
  bool CutPart(size_t start, size_t length, const char* text, size_t text_len);
  void ReconnectFrom(size_t start, const char* text, size_t text_len);

  OmniSegNet* seg_net_;
  SentenceNormalizer* normalizer_;
};

}  // namespace new_seg

#endif  // ZORVSEG_LATTICE_OMNISEGNETADJUSTER_H_
