#include "crf/UnigramTemplates.h"

#include <cstdlib>
#include <cstring>

#include "crf/ObservationTable.h"

namespace new_seg {
namespace CRFPP {

namespace {

const char* const BOS[] = {"_B-1", "_B-2", "_B-3", "_B-4",
                           "_B-5", "_B-6", "_B-7", "_B-8"};
const char* const EOS[] = {"_B+1", "_B+2", "_B+3", "_B+4",
                           "_B+5", "_B+6", "_B+7", "_B+8"};
const std::size_t kBoundaryLength = 4;
const std::size_t kMaxNodeText = 99;
const int kTemplateNumbers = 16;

uint64_t PackedString(const char* text, std::size_t length) {
  if (length == 0 || length > ObservationTable::kMaxKeyBytes) return 0;
  return ObservationTable::Pack(text, length);
}

// The texts before, at and after every ':' and '/'.
std::vector<std::string> SplitTemplate(const char* templ) {
  std::vector<std::string> texts;
  std::string text;
  for (const char* p = templ; *p != '\0'; ++p) {
    if (*p == ':' || *p == '/') {
      texts.push_back(text);
      texts.push_back(std::string(1, *p));
      text.clear();
    } else {
      text += *p;
    }
  }
  if (!text.empty()) texts.push_back(text);
  return texts;
}

// Reads an optionally signed decimal of at most 4 digits at p.
bool ReadNumber(const char*& p, bool allow_sign, int* value) {
  bool negative = allow_sign && *p == '-';
  if (negative) ++p;
  int digits = 0;
  int number = 0;
  while (*p >= '0' && *p <= '9') {
    if (++digits > 4) return false;
    number = number * 10 + (*p++ - '0');
  }
  if (digits == 0) return false;
  *value = negative ? -number : number;
  return true;
}

}  // namespace

void UnigramTemplates::Init(std::size_t step, std::size_t xsize,
                            std::size_t maxid, bool incremental) {
  rules.clear();
  nodes.clear();
  size = 0;
  node_ids_.clear();
  suffix_to_id_.clear();
  for (int nn = 0; nn < kTemplateNumbers; ++nn) {
    char prefix[4] = {'U', static_cast<char>('0' + nn / 10),
                      static_cast<char>('0' + nn % 10), '\0'};
    suffix_to_id_[prefix] = nn;
  }
  step_ = step;
  xsize_ = xsize < MAX_X_SIZE ? xsize : MAX_X_SIZE;
  maxid_ = maxid;
  incremental_ = incremental;
}

bool UnigramTemplates::parse_node(const std::string& text, TpNode* node) const {
  if (text.size() > kMaxNodeText) return false;
  node->key = text;
  if (text.empty() || text[0] != '%') {
    node->type = 0;
    return true;
  }
  // %x[row,col] -- the closing bracket may be missing at the end; what
  // follows the reference is not part of the node's string.
  const char* p = text.c_str();
  if (p[1] != 'x' || p[2] != '[') return false;
  p += 3;
  if (!ReadNumber(p, true, &node->row) || *p++ != ',') return false;
  if (!ReadNumber(p, false, &node->col)) return false;
  if (*p != ']' && *p != '\0') return false;
  // A reference outside the rows that have boundary strings, or to a column
  // tokens do not have, could only be read out of bounds.
  if (std::abs(node->row) > kMaxRowDistance) return false;
  if (static_cast<std::size_t>(node->col) >= xsize_) return false;
  node->type = 1;
  return true;
}

int UnigramTemplates::do_add(const TpNode& node) {
  auto found = node_ids_.find(node.key);
  if (found != node_ids_.end()) return found->second;
  int id = static_cast<int>(nodes.size());
  nodes.push_back(node);
  node_ids_[node.key] = id;
  if (node.type == 1 && incremental_) set_pre_node(id);
  return id;
}

// An earlier reference node one row above the new one reads, at each
// position, what the new one read at the previous position.
void UnigramTemplates::set_pre_node(int node_id) {
  const TpNode& added = nodes[node_id];
  for (int i = 0; i < node_id; ++i) {
    TpNode& earlier = nodes[i];
    if (earlier.type == 1 && earlier.pre_node == -1 &&
        earlier.col == added.col && earlier.row + 1 == added.row) {
      earlier.pre_node = node_id;
    }
  }
}

// True when `later` at position p - 1 yields what `earlier` yields at p:
// same trie, same literal texts, and every reference one row further down.
// The prefix (node 0) only picks the slot and is not compared.
bool UnigramTemplates::same_shifted(const TpRule& earlier,
                                    const TpRule& later) const {
  if (earlier.size != later.size || earlier.trie_tag != later.trie_tag) {
    return false;
  }
  for (std::size_t i = 1; i < earlier.size; ++i) {
    const TpNode& a = nodes[earlier.nodes[i]];
    const TpNode& b = nodes[later.nodes[i]];
    if (a.type != b.type) return false;
    if (a.type == 0 ? a.key != b.key
                    : a.col != b.col || a.row + 1 != b.row) {
      return false;
    }
  }
  return true;
}

void UnigramTemplates::set_pre_rule(int rule_id) {
  for (int i = 0; i < rule_id; ++i) {
    TpRule& earlier = rules[i];
    if (earlier.pre_rule == -1 && same_shifted(earlier, rules[rule_id])) {
      earlier.pre_rule = rule_id;
    }
  }
}

bool UnigramTemplates::add(const char* templ) {
  std::vector<std::string> texts = SplitTemplate(templ);
  if (texts.empty()) return false;
  auto prefix = suffix_to_id_.find(texts[0]);
  if (prefix == suffix_to_id_.end()) return false;
  std::vector<TpNode> parsed(texts.size());
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (!parse_node(texts[i], &parsed[i])) return false;
  }
  int nn = prefix->second;
  std::size_t slot = nn < 10 ? nn : nn - 10;
  // A template without a body always reads the block at weight 0.
  if (texts.size() <= 2 && (slot + 1) * step_ > maxid_) return false;

  TpRule rule;
  for (const TpNode& node : parsed) rule.nodes.push_back(do_add(node));
  rule.size = rule.nodes.size();
  rule.suffix_offset = slot * step_;
  rule.trie_tag = nn < 10 ? kWordTrie : kPosTrie;
  int rule_id = static_cast<int>(rules.size());
  rules.push_back(rule);
  if (incremental_) set_pre_rule(rule_id);
  size = rules.size();
  // Literal nodes are their own strings; point them at their texts again,
  // since the node list may have moved.
  for (TpNode& node : nodes) {
    if (node.type == 0) {
      node.r = node.key.c_str();
      node.r_size = node.key.size();
      node.packed = PackedString(node.r, node.r_size);
    }
  }
  return true;
}

const char* UnigramTemplates::getFeatureStr(const TpNode& node,
                                            const TokenRow* x,
                                            std::size_t xnum, std::size_t pos,
                                            std::size_t* length) {
  long t = static_cast<long>(pos) + node.row;
  if (t < 0) {
    *length = kBoundaryLength;
    return BOS[-t - 1];
  }
  if (static_cast<std::size_t>(t) >= xnum) {
    *length = kBoundaryLength;
    return EOS[static_cast<std::size_t>(t) - xnum];
  }
  const char* column = x[t][node.col];
  *length = std::strlen(column);
  return column;
}

void UnigramTemplates::updateNodes(const TokenRow* x, std::size_t xnum,
                                   std::size_t pos) {
  for (TpNode& node : nodes) {
    if (node.type != 1) continue;
    if (pos > 0 && node.pre_node >= 0) {
      const TpNode& twin = nodes[node.pre_node];
      node.r = twin.r;
      node.r_size = twin.r_size;
      node.packed = twin.packed;
    } else {
      node.r = getFeatureStr(node, x, xnum, pos, &node.r_size);
      node.packed = PackedString(node.r, node.r_size);
    }
  }
}

}  // namespace CRFPP
}  // namespace new_seg
