// The common head of the entity dictionary's and the entity patterns'
// source lines: a key, a TAB and a kind value, then fields of their own.
#ifndef ZORVSEG_NER_ENTITYSOURCELINE_H_
#define ZORVSEG_NER_ENTITYSOURCELINE_H_

#include <cstdint>
#include <string>
#include <vector>

#include "dict/DictFile.h"

namespace new_seg {

// Splits a line at TABs (empty fields kept; a trailing CR dropped) into
// fields, fields[0] being the key, and reads the kind value of fields[1].
// kBlank for an empty key; kError with the reason for a key holding a NUL
// byte or a line without a whole kind value.
dict_file::LineKind SplitEntitySourceLine(std::string line, std::vector<std::string>* fields,
                                          uint32_t* kind, std::string* error);

}  // namespace new_seg

#endif  // ZORVSEG_NER_ENTITYSOURCELINE_H_
