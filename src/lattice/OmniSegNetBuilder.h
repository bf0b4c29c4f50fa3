// Fills the lattice of a sentence with every candidate word and phrase.
#ifndef ZORVSEG_LATTICE_OMNISEGNETBUILDER_H_
#define ZORVSEG_LATTICE_OMNISEGNETBUILDER_H_

#include <cstddef>

#include "lattice/OmniSegSingleWord.h"

namespace new_seg {

class OmniSegNet;
class SegMode;

class OmniSegNetBuilder {
 public:
  OmniSegNetBuilder(OmniSegNet* seg_net, SegMode* seg_mode);

  bool Init();
  void Clear();
  // 0 on success, negative when the lattice runs out of room or memory.
  int Build(const char* sentence, size_t len);

 private:
  OmniSegNet* seg_net_;
  SegMode* seg_mode_;
  OmniSegSingleWord fallback_;
};

}  // namespace new_seg

#endif  // ZORVSEG_LATTICE_OMNISEGNETBUILDER_H_
