// Every distinct tag sequence of the POS intervention dictionary, held once
// in a trie of tags (first-child / next-brother form), so that the same
// sequence always gets the same rule identifier.
#ifndef ZORVSEG_POS_RULETREE_H_
#define ZORVSEG_POS_RULETREE_H_

#include <cstddef>
#include <cstdint>
#include <vector>

namespace new_seg {

class RuleTree {
 public:
  // A link or rule id of 0 means "none"; node 0 is the root.
  struct RNode {
    size_t ID;
    uint8_t posID;
    size_t ruleID;
    size_t firestChild;
    size_t nextBrother;
  };

  RuleTree();

  // The identifier (1-based) of the sequence, new or already known; 0 for
  // an empty sequence.
  size_t AddRule(const std::vector<uint8_t>& typeIDs);
  // The node reached from `parents` along posIDs[position..], created as
  // needed.
  size_t AddNode(size_t parents, const std::vector<uint8_t>& posIDs, size_t position);
  // The sequence of a rule identifier; null for 0 or an unknown identifier.
  const std::vector<uint8_t>* GetRule(size_t ruleID) const;

  size_t rule_count() const { return rules_.size(); }
  size_t node_count() const { return nodes_.size(); }

 private:
  size_t FindOrAddChild(size_t parent, uint8_t pos_id);

  std::vector<RNode> nodes_;
  std::vector<std::vector<uint8_t>> rules_;
};

}  // namespace new_seg

#endif  // ZORVSEG_POS_RULETREE_H_
