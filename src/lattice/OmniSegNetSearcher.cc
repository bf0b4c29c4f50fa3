#include "lattice/OmniSegNetSearcher.h"

namespace new_seg {

// The builder's character path is already marked.
int OmniSegNetSearcher::Search() { return seg_net_ == nullptr ? -1 : 0; }

}  // namespace new_seg
