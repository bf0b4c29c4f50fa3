// One entity candidate of a sentence, as every recogniser records it.
#ifndef ZORVSEG_NER_NAMEENTITYRESULT_H_
#define ZORVSEG_NER_NAMEENTITYRESULT_H_

#include <cstddef>
#include <cstdint>

namespace new_seg {

struct _name_entity_result {
  uint32_t start_pos;  // byte offset in the sentence
  uint32_t len;        // byte length
  // What the entity is: dictionary kind bits, a phrase id (CRF), rule kind
  // bits, or kNeDateMold.
  uint32_t mold;
  uint8_t type;      // one of the states below
  uint8_t geo_code;  // 0; kept for the record's layout
};

// States of _name_entity_result::type.
const uint8_t kNeFromDictionary = 0x40;  // dictionary and date results
const uint8_t kNeFound = 4;              // CRF and rule results
const uint8_t kNeRejected = 0x80;        // filtered, in conflict or not addable

const uint32_t kNeDateMold = 0x1000;

// Results, pieces and identifier buffers hold this many entries per
// sentence: a sentence is at most 1020 bytes.
const std::size_t kNeCapacity = 1024;

}  // namespace new_seg

#endif  // ZORVSEG_NER_NAMEENTITYRESULT_H_
