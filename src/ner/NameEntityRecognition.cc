#include "ner/NameEntityRecognition.h"

namespace new_seg {

bool NameEntityRecognition::Init(const char* /*path*/) { return true; }
void NameEntityRecognition::UnInit() {}

bool NameEntityRecognition::NameEntityRecognite(const char* /*sentence*/, size_t /*len*/,
                                                SegMode /*seg_mode*/,
                                                OmniSegNet* /*seg_net*/) {
  return true;
}

}  // namespace new_seg
