// Person, place, organisation and date recognition over a searched lattice.
#ifndef ZORVSEG_NER_NAMEENTITYRECOGNITION_H_
#define ZORVSEG_NER_NAMEENTITYRECOGNITION_H_

#include <cstddef>

#include "driver/SegMode.h"

namespace new_seg {

class OmniSegNet;

class NameEntityRecognition {
 public:
  static bool Init(const char* path);
  static void UnInit();

  void Clear() {}
  // Adds entity phrases to the lattice; never fails the call.
  bool NameEntityRecognite(const char* sentence, size_t len, SegMode seg_mode,
                           OmniSegNet* seg_net);
};

}  // namespace new_seg

#endif  // ZORVSEG_NER_NAMEENTITYRECOGNITION_H_
