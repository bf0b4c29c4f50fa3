// The unigram templates of a CRF model compiled for one tagger.
//
// A template such as "U05:%x[-1,0]/%x[0,0]" is cut at ':' and '/' into
// nodes ("U05", ":", "%x[-1,0]", "/", "%x[0,0]"). Everything after the
// prefix and the colon is the template's body; at each token position the
// body's node strings, concatenated, are the observation string looked up in
// the word trie (U00-U09) or the part-of-speech trie (U10-U15), and the
// template number picks the slot inside the observation's weight block.
//
// Extraction is incremental along the sequence: a node or a template that
// equals another one shifted by one row takes that one's value from the
// previous position (its "twin").
#ifndef ZORVSEG_CRF_UNIGRAMTEMPLATES_H_
#define ZORVSEG_CRF_UNIGRAMTEMPLATES_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace new_seg {
namespace CRFPP {

// At most this many tokens per sequence and observation columns per token.
const std::size_t MAX_X_NUM = 2048;
const std::size_t MAX_X_SIZE = 10;
// References reach at most this many rows before or after a token.
const int kMaxRowDistance = 8;
// Weight slots of a word and of a part-of-speech observation.
const std::size_t kWordSlots = 10;
const std::size_t kPosSlots = 6;
enum TrieTag { kWordTrie = 1, kPosTrie = 2 };

// One token's observation columns.
typedef std::array<const char*, MAX_X_SIZE> TokenRow;

struct TpNode {
  std::string key;        // the node's template text
  int row = 0;            // reference nodes: relative row and column
  int col = 0;
  int type = 0;           // 0 literal text, 1 reference
  const char* r = nullptr;   // the node's string at the current position
  std::size_t r_size = 0;    // its length (0: up to its zero byte)
  uint64_t packed = 0;       // r as ObservationTable::Pack gives it, when
                             // 1 to 8 bytes long; else 0
  int pre_node = -1;      // node whose previous-position string this one takes
};

struct TpRule {
  std::vector<int> nodes;     // node indices, prefix first
  std::size_t size = 0;       // nodes.size()
  int pre_rule = -1;          // rule whose previous-position result this takes
  std::size_t suffix_offset = 0;  // slot * ysize
  int trie_offset = -1;       // weight block base found at this position, or -1
  int trie_tag = kWordTrie;
};

class UnigramTemplates {
 public:
  // step: weights per slot (the label count); xsize: columns a reference may
  // read; maxid: the model's weight count. Without incremental extraction no
  // node or template takes a twin's value.
  void Init(std::size_t step, std::size_t xsize, std::size_t maxid,
            bool incremental);

  // Compiles one template; false (and nothing kept) when it is malformed, is
  // not a unigram template U00-U15, or references a row beyond +-8 or a
  // column at or beyond xsize.
  bool add(const char* templ);

  // Sets every reference node's string for position pos of the token table.
  void updateNodes(const TokenRow* x, std::size_t xnum, std::size_t pos);

  // The string a reference node reads at position pos: a token column, or a
  // boundary string ("_B-1".."_B-8" before the first token, "_B+1".."_B+8"
  // after the last).
  static const char* getFeatureStr(const TpNode& node, const TokenRow* x,
                                   std::size_t xnum, std::size_t pos,
                                   std::size_t* length);

  // The template's slot (its number, less 10 for U10-U15).
  std::size_t slot(const TpRule& rule) const { return rule.suffix_offset / step_; }

  std::vector<TpRule> rules;
  std::vector<TpNode> nodes;
  std::size_t size = 0;  // rules.size()

 private:
  bool parse_node(const std::string& text, TpNode* node) const;
  int do_add(const TpNode& node);
  void set_pre_node(int node_id);
  void set_pre_rule(int rule_id);
  bool same_shifted(const TpRule& earlier, const TpRule& later) const;

  std::map<std::string, int> node_ids_;
  std::map<std::string, int> suffix_to_id_;  // "U00".."U15" -> 0..15
  std::size_t step_ = 0;
  std::size_t xsize_ = 0;
  std::size_t maxid_ = 0;
  bool incremental_ = true;
};

}  // namespace CRFPP
}  // namespace new_seg

#endif  // ZORVSEG_CRF_UNIGRAMTEMPLATES_H_
