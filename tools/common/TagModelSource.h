// The text form of the part-of-speech model, compiled by
// `zorvseg-build tag-model` into tag_info.dat. One directive per line,
// fields separated by white space; blank lines and lines starting with '#'
// are skipped:
//
//   word WORD TAG:WEIGHT [TAG:WEIGHT ...]   candidate tags of a word with
//                                           their emission weights, in order
//   role WORD ROLE:WEIGHT [ROLE:WEIGHT ...] name roles of a word
//   unknown TAG:WEIGHT [TAG:WEIGHT ...]     candidate tags of words without a
//                                           dictionary entry (id 0)
//   transition FROM TO WEIGHT [BOF]         weight of tag TO after tag FROM
//   role-transition FROM TO WEIGHT [BOF]    the same for roles
//   default-transition WEIGHT               weight of every tag transition
//   default-role-transition WEIGHT          (role transition) not listed;
//                                           -100 when not given
//   name ID1 ID2 ID3                        a name triple (unsigned integers)
//
// Weights are log-probabilities (any one base): the tagger picks the tag
// sequence with the greatest sum of transition and emission weights. Tags
// are the names of LxPosId2Str ("a" .. "Zg", "www", "tele", "email"), "<s>"
// for the sentence start, or a number 1..55; roles are the role names ("B"
// .. "FT", "A", "unk") or a number 1..53. Words are looked up in the core
// dictionary; a word it does not hold is counted and left out.
#ifndef ZORVSEG_TOOLS_COMMON_TAGMODELSOURCE_H_
#define ZORVSEG_TOOLS_COMMON_TAGMODELSOURCE_H_

#include <cstddef>
#include <string>

#include "pos/TagModel.h"

namespace zorvseg_tools {

struct TagModelSourceStats {
  std::size_t lines = 0;
  std::size_t words = 0;           // words with a record in the model
  std::size_t unknown_words = 0;   // words the core dictionary does not hold
  std::size_t transitions = 0;     // tag transitions listed
  std::size_t role_transitions = 0;
};

// Compiles GBK source text (words are GBK) into a model, looking words up
// in the loaded core dictionary. False with "source:line: message" on
// stderr for a line it cannot use.
bool CompileTagModelSource(const std::string& text, const char* source_name,
                           new_seg::TagModel* model, TagModelSourceStats* stats);

}  // namespace zorvseg_tools

#endif  // ZORVSEG_TOOLS_COMMON_TAGMODELSOURCE_H_
