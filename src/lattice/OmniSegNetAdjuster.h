// Re-cuts best-path phrases that carry split positions.
#ifndef ZORVSEG_LATTICE_OMNISEGNETADJUSTER_H_
#define ZORVSEG_LATTICE_OMNISEGNETADJUSTER_H_

namespace new_seg {

class OmniSegNet;
class SentenceNormalizer;

class OmniSegNetAdjuster {
 public:
  OmniSegNetAdjuster(OmniSegNet* seg_net, SentenceNormalizer* normalizer)
      : seg_net_(seg_net), normalizer_(normalizer) {}
  // 0 on success, negative on failure.
  int AdjustOptimalPath();

 private:
  OmniSegNet* seg_net_;
  SentenceNormalizer* normalizer_;
};

}  // namespace new_seg

#endif  // ZORVSEG_LATTICE_OMNISEGNETADJUSTER_H_
