// Gives recognised Chinese person names of two to four characters a fixed
// shape on the best path, tagged as person names: two characters stay one
// word, three become surname + given name (or one word when the first two
// are a compound surname), four become two words of two.
#ifndef ZORVSEG_NER_PERSONNAMEADJUSTOR_H_
#define ZORVSEG_NER_PERSONNAMEADJUSTOR_H_

#include <cstddef>

#include "ner/NameEntityResult.h"

namespace new_seg {

class OmniSegNet;

class PersonNameAdjustor {
 public:
  // Reshapes the person names among the results that are not rejected: CRF
  // results with the person id, dictionary results with a person bit. False
  // only when the lattice cannot take a word (out of memory); the words
  // written before stay.
  bool Adjust(const char* sentence, const _name_entity_result* results, std::size_t count,
              OmniSegNet* seg_net, bool from_crf);

  // Whether the text is made of two-byte characters only.
  static bool all_chinese(const char* text, std::size_t len);

  // Builds the shared entity dictionary from a source text, for tools that
  // have no ne_dict.dat; the pipeline never calls these.
  static bool Init(const char* path);
  static bool UnInit();

 private:
  static bool IsPersonName(const _name_entity_result& result, bool from_crf);
  // Writes the name at [start, start + len) as the given words; false when
  // out of memory.
  bool Reshape(const char* sentence, std::size_t start, std::size_t len, OmniSegNet* seg_net);
  // Adds the word [begin, end) as the path word ending at end, tagged nr.
  // 1 when the node refuses words, -1 when out of memory.
  int WritePathWord(std::size_t begin, std::size_t end, OmniSegNet* seg_net);
};

}  // namespace new_seg

#endif  // ZORVSEG_NER_PERSONNAMEADJUSTOR_H_
