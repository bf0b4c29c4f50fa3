// The POS intervention dictionary (pos_intervene_dict.dat): listed words,
// each with up to four tag sequences ("rules"). Process-wide, loaded by
// LxInitSeg and read-only afterwards; nothing in the segmentation pipeline
// consults it, it serves client code.
//
// The file is text, one entry per line: a word, then one or more tag names
// (the names of LxPosId2Str, case ignored; an unknown name gives tag 0),
// separated by spaces or tabs.
#ifndef ZORVSEG_POS_POSINTERVENECOREDICT_H_
#define ZORVSEG_POS_POSINTERVENECOREDICT_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dict/Darts.h"
#include "pos/PosCoreTermAttribute.h"
#include "pos/RuleTree.h"
#include "zorvseg_types.h"

namespace new_seg {

class PosInterveneCoredict {
 public:
  // Creates the instance if needed and (re)builds it from the file; the
  // rule identifiers of an earlier build stay valid. False when the file
  // cannot be opened.
  static bool Init(const char* path);
  static bool UnInit();
  static PosInterveneCoredict* GetInstance() { return instance_; }

  bool Build(const char* path);
  // Forgets the words; the rule tree keeps its rules.
  void Clear();

  // Index of the word equal to the key (len 0: up to its 0 byte), or -1.
  int32_t ExactMatchSearch(const char* key, size_t len = 0, size_t node_pos = 0) const;
  // Number of listed words that are prefixes of the key; the indices of the
  // first result_len of them, shortest first, go to result.
  size_t CommonPrefixSearch(const char* key, size_t len, int32_t* result, size_t result_len,
                            size_t node_pos = 0) const;
  // Step-wise walk: the index of the word ending at the node reached, -1
  // when none ends there, -2 when a byte did not match.
  int32_t Traverse(const char* key, size_t len, size_t* node_pos, size_t* key_pos) const;

  size_t size() const { return values_.size(); }
  // Record idx; an index out of range gives an empty record (no rules).
  const PosCoreTermAttribute& GetValue(int32_t idx) const;
  const std::vector<uint8_t>* GetRule(size_t ruleID) const { return ruleTree_.GetRule(ruleID); }
  // Tag id of a name of LxPosId2Str (1 to 48), case ignored; 0 if unknown.
  static posid_type GetPosId(const std::string& pos);

 private:
  PosInterveneCoredict() = default;

  static PosInterveneCoredict* instance_;

  std::unique_ptr<Darts::DoubleArray> trie_impl_pt_;
  std::vector<PosCoreTermAttribute> values_;
  RuleTree ruleTree_;
};

}  // namespace new_seg

#endif  // ZORVSEG_POS_POSINTERVENECOREDICT_H_
