#include "lattice/OmniSegNetAdjuster.h"

namespace new_seg {

int OmniSegNetAdjuster::AdjustOptimalPath() {
  return seg_net_ == nullptr || normalizer_ == nullptr ? -1 : 0;
}

}  // namespace new_seg
