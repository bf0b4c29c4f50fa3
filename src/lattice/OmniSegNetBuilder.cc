#include "lattice/OmniSegNetBuilder.h"

namespace new_seg {

OmniSegNetBuilder::OmniSegNetBuilder(OmniSegNet* seg_net, SegMode* seg_mode)
    : seg_net_(seg_net), seg_mode_(seg_mode), fallback_(seg_net) {}

bool OmniSegNetBuilder::Init() { return true; }

void OmniSegNetBuilder::Clear() {}

// Without a core dictionary every sentence is cut into characters and runs.
int OmniSegNetBuilder::Build(const char* sentence, size_t len) {
  return fallback_.Segment(sentence, len) ? 0 : -1;
}

}  // namespace new_seg
