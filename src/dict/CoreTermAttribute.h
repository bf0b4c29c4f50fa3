// Attribute record of one core-dictionary term, 8 bytes in memory and in
// core_dict.dat alike.
#ifndef ZORVSEG_DICT_CORETERMATTRIBUTE_H_
#define ZORVSEG_DICT_CORETERMATTRIBUTE_H_

#include <cstdint>

namespace new_seg {

// term_type bits tested by the lattice builder, the adjuster and the saver.
enum CoreTermType : uint16_t {
  kTermWord = 0x01,              // may enter the lattice as a term
  kTermPhrase = 0x02,            // enters as a phrase over smaller terms
  kTermCompound = 0x04,          // enters as the parts of its split list
  kTermExhaustive = 0x08,        // every dictionary term inside is added
  kTermPhraseNoAttribute = 0x80, // phrase entered with attribute index -1
  kTermReportPhrase = 0x100,     // may be reported as a phrase result
};

struct CoreTermAttribute {
  uint16_t term_len;   // GBK byte length of the term
  uint16_t term_type;  // CoreTermType bits; others are carried unread
  // Byte index of the term's split-position list in the seg-info array;
  // 0 when the term has none.
  uint32_t term_seg_info_index;
};

static_assert(sizeof(CoreTermAttribute) == 8,
              "CoreTermAttribute is stored as an 8-byte record");

}  // namespace new_seg

#endif  // ZORVSEG_DICT_CORETERMATTRIBUTE_H_
