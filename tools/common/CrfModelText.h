// The text form of a CRF model, compiled by "zorvseg-build crf-model" and
// written back by "zorvseg-build crf-text". One directive per line, fields
// separated by TAB; lines starting with '#' and blank lines are skipped:
//   cost-factor F            multiplier of the emission weights (default 1)
//   xsize N                  observation columns per token, 1..10
//   label NAME               the labels, in id order
//   template TEXT            "U00:..".."U15:.." unigram, "B.." bigram
//   word KEY S:W W ..  ..    a word-trie observation: for each listed slot
//   pos KEY S:W W ..   ..    S, one weight per label; unlisted slots are 0
//   transition FROM W W ..   weights from label FROM to each label, in
//                            label order; unlisted rows are 0
// Labels precede observations and transitions. A word observation with an
// empty KEY is the block read by templates without a body.
#ifndef ZORVSEG_TOOLS_COMMON_CRFMODELTEXT_H_
#define ZORVSEG_TOOLS_COMMON_CRFMODELTEXT_H_

#include <string>

#include "common/CrfModel.h"

namespace zorvseg_tools {

// Parses the text form; false with "<source>:<line>: <message>" on stderr.
bool ParseCrfModelText(const std::string& text, const char* source,
                       CrfModel* model);

// The text form of a model; every weight is written with the fewest digits
// that read back to the same float, so text and model convert both ways
// without loss.
std::string CrfModelText(const CrfModel& model);

}  // namespace zorvseg_tools

#endif  // ZORVSEG_TOOLS_COMMON_CRFMODELTEXT_H_
