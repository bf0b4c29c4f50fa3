#include "pos/CSegmentTag.h"

namespace new_seg {

bool CSegmentTag::Init(const char* /*path*/) { return true; }
void CSegmentTag::UnInit() {}

bool CSegmentTag::pos_tag(OmniSegNet* /*seg_net*/, SentenceNormalizer* /*normalizer*/,
                          bool /*use_ne*/) {
  return true;
}

}  // namespace new_seg
