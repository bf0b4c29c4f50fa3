#include "pos/RuleTree.h"

namespace new_seg {

RuleTree::RuleTree() : nodes_(1, RNode{0, 0, 0, 0, 0}) {}

size_t RuleTree::AddRule(const std::vector<uint8_t>& typeIDs) {
  size_t node = AddNode(0, typeIDs, 0);
  if (node == 0) return 0;
  if (nodes_[node].ruleID == 0) {
    rules_.push_back(typeIDs);
    nodes_[node].ruleID = rules_.size();
  }
  return nodes_[node].ruleID;
}

// Walks iteratively: a line may hold any number of tags, and the depth of
// the walk must not depend on it.
size_t RuleTree::AddNode(size_t parents, const std::vector<uint8_t>& posIDs, size_t position) {
  size_t node = parents;
  for (size_t i = position; i < posIDs.size(); ++i) node = FindOrAddChild(node, posIDs[i]);
  return node;
}

size_t RuleTree::FindOrAddChild(size_t parent, uint8_t pos_id) {
  size_t last_child = 0;
  for (size_t child = nodes_[parent].firestChild; child != 0;
       child = nodes_[child].nextBrother) {
    if (nodes_[child].posID == pos_id) return child;
    last_child = child;
  }
  size_t added = nodes_.size();
  nodes_.push_back(RNode{added, pos_id, 0, 0, 0});
  if (last_child == 0) {
    nodes_[parent].firestChild = added;
  } else {
    nodes_[last_child].nextBrother = added;
  }
  return added;
}

const std::vector<uint8_t>* RuleTree::GetRule(size_t ruleID) const {
  if (ruleID == 0 || ruleID > rules_.size()) return nullptr;
  return &rules_[ruleID - 1];
}

}  // namespace new_seg
