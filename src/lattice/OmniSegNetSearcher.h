// Finds the cheapest path through the lattice.
#ifndef ZORVSEG_LATTICE_OMNISEGNETSEARCHER_H_
#define ZORVSEG_LATTICE_OMNISEGNETSEARCHER_H_

namespace new_seg {

class OmniSegNet;

class OmniSegNetSearcher {
 public:
  explicit OmniSegNetSearcher(OmniSegNet* seg_net) : seg_net_(seg_net) {}
  // 0 on success, negative on failure.
  int Search();

 private:
  OmniSegNet* seg_net_;
};

}  // namespace new_seg

#endif  // ZORVSEG_LATTICE_OMNISEGNETSEARCHER_H_
