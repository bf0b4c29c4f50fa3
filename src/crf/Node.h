// One (token, label) cell of a CRF tagger's lattice.
#ifndef ZORVSEG_CRF_NODE_H_
#define ZORVSEG_CRF_NODE_H_

#include <cstdint>

namespace new_seg {
namespace CRFPP {

struct Node {
  uint32_t x = 0;        // token index
  uint16_t y = 0;        // label id
  double alpha = 0.0;    // forward and backward scores: not computed by
  double beta = 0.0;     // the decoder, always 0
  double cost = 0.0;     // emission score of the label at the token
  double bestCost = 0.0; // best path score ending here
  Node* prev = nullptr;  // best predecessor
  const int* fvector = nullptr;  // the token's feature ids, ended by -1
};

}  // namespace CRFPP
}  // namespace new_seg

#endif  // ZORVSEG_CRF_NODE_H_
