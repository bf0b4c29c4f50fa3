// Single-character mode: each sentence becomes a path of single characters,
// digit runs and letter runs, written into the lattice as its best path.
#ifndef ZORVSEG_LATTICE_OMNISEGSINGLEWORD_H_
#define ZORVSEG_LATTICE_OMNISEGSINGLEWORD_H_

#include <cstddef>

namespace new_seg {

class OmniSegNet;

class OmniSegSingleWord {
 public:
  explicit OmniSegSingleWord(OmniSegNet* seg_net) : seg_net_(seg_net) {}

  bool Segment(const char* sentence, size_t length);
  // Marks the path of first edges from the last node back to node 0.
  bool set_optimal_path();

 private:
  OmniSegNet* seg_net_;
};

}  // namespace new_seg

#endif  // ZORVSEG_LATTICE_OMNISEGSINGLEWORD_H_
