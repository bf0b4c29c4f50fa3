// The lattice and single-character mode.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lattice/OmniSegNet.h"
#include "lattice/OmniSegSingleWord.h"
#include "support/TestUtil.h"

using namespace new_seg;

TEST(OmniSegNet, AddTermRespectsCapacity) {
  OmniSegNet net(16);
  ASSERT_TRUE(net.Init());
  EXPECT_EQ(net.AddTerm(10, 6, 0, OmniSegItem::TYPE_CJK), -1);
  EXPECT_EQ(net.seg_net_size(), 0u);
  EXPECT_EQ(net.AddTerm(10, 5, 0, OmniSegItem::TYPE_CJK), 0);
  EXPECT_EQ(net.seg_net_size(), 16u);
  EXPECT_EQ(net.AddTerm(static_cast<size_t>(-1), 2, 0, OmniSegItem::TYPE_CJK), -1);
}

TEST(OmniSegNet, RuleNodesAndForbiddenPhrasesRefuse) {
  OmniSegNet net(16);
  ASSERT_TRUE(net.Init());
  net.GetSegNode(4)->set_is_rule_seg_node(true);
  EXPECT_EQ(net.AddTerm(2, 2, 0, OmniSegItem::TYPE_CJK), 1);
  EXPECT_EQ(net.GetSegNode(4)->seg_item_size(), 0u);

  net.GetSegNode(8)->forbid_add_phrase();
  EXPECT_EQ(net.AddPhrase(4, 4, 7), 1);
  EXPECT_EQ(net.GetSegNode(4)->out_phrase_max_len(), 0u);
  EXPECT_EQ(net.AddPhrase(0, 6, 7), 0);
  EXPECT_EQ(net.GetSegNode(0)->out_phrase_max_len(), 6u);
  EXPECT_EQ(net.GetSegNode(6)->in_phrase_max_len(), 6u);
  EXPECT_TRUE(net.GetSegNode(6)->is_candidate_phrase_node());
}

TEST(OmniSegNet, ClearResetsTouchedNodesAndKeepsCapacity) {
  OmniSegNet net(64);
  ASSERT_TRUE(net.Init());
  for (size_t i = 0; i < 20; ++i) net.AddTerm(0, 10, static_cast<int32_t>(i), OmniSegItem::TYPE_CJK);
  net.GetSegNode(3)->forbid_add_phrase();
  size_t capacity = net.GetSegNode(10)->seg_item_capacity();
  EXPECT_GE(capacity, 20u);
  net.Clear();
  EXPECT_EQ(net.seg_net_size(), 0u);
  EXPECT_EQ(net.GetSegNode(10)->seg_item_size(), 0u);
  EXPECT_EQ(net.GetSegNode(10)->seg_item_capacity(), capacity);
  EXPECT_TRUE(net.GetSegNode(3)->could_add_phrase());
  EXPECT_FALSE(net.GetSegNode(10)->is_candidate_seg_node());
}

TEST(OmniSegNet, SplitTermForcesABoundary) {
  OmniSegNet net(16);
  ASSERT_TRUE(net.Init());
  OmniSegSingleWord single(&net);
  // One letter run of 6 bytes: path 0 -> 6.
  ASSERT_TRUE(single.Segment("abcdef", 6));
  EXPECT_EQ(net.SplitTerm(0), 1);
  EXPECT_EQ(net.SplitTerm(6), 1);
  EXPECT_EQ(net.SplitTerm(4), 1);
  const OmniSegNode* cut = net.GetSegNode(4);
  ASSERT_TRUE(cut->is_optimal_seg_node());
  EXPECT_EQ(cut->optimal_item()->term_begin_pos, 0u);
  EXPECT_EQ(cut->optimal_item()->pos_tag, 16);
  EXPECT_EQ(cut->next_term_len(), 2u);
  EXPECT_EQ(net.GetSegNode(0)->next_term_len(), 4u);
  EXPECT_EQ(net.GetSegNode(6)->optimal_item()->term_begin_pos, 4u);
  EXPECT_EQ(net.SplitTerm(4), 1);  // already a boundary: nothing changes
  EXPECT_EQ(net.GetSegNode(6)->seg_item_size(), 2u);
}

namespace {
struct Edge {
  size_t begin, len;
  OmniSegItem::UnDictTermType type;
  bool operator==(const Edge& o) const {
    return begin == o.begin && len == o.len && type == o.type;
  }
};

std::vector<Edge> SingleWordPath(const std::string& text) {
  OmniSegNet net(1024);
  EXPECT_TRUE(net.Init());
  OmniSegSingleWord single(&net);
  EXPECT_TRUE(single.Segment(text.data(), text.size()));
  std::vector<Edge> path;
  size_t pos = 0;
  while (net.GetSegNode(pos)->next_term_len() != 0) {
    pos += net.GetSegNode(pos)->next_term_len();
    const OmniSegItem* item = net.GetSegNode(pos)->optimal_item();
    path.push_back({item->term_begin_pos, item->term_len, item->undict_term_type});
  }
  EXPECT_EQ(pos, text.size());
  return path;
}
}  // namespace

TEST(OmniSegSingleWord, CharactersRunsAndSeparators) {
  std::string text = "ab12" + testutil::Utf8ToGbk("我") + ".";
  std::vector<Edge> expected = {{0, 2, OmniSegItem::TYPE_ENG},
                                {2, 2, OmniSegItem::TYPE_NUM},
                                {4, 2, OmniSegItem::TYPE_CJK},
                                {6, 1, OmniSegItem::TYPE_SEG}};
  EXPECT_EQ(SingleWordPath(text), expected);
}

TEST(OmniSegSingleWord, FourByteCharacterIsOneEdge) {
  std::string text = testutil::Utf8ToGbk("我😀a");
  std::vector<Edge> expected = {{0, 2, OmniSegItem::TYPE_CJK},
                                {2, 4, OmniSegItem::TYPE_CJK},
                                {6, 1, OmniSegItem::TYPE_ENG}};
  EXPECT_EQ(SingleWordPath(text), expected);
}

TEST(OmniSegSingleWord, LoneLeadByteAtEndStaysInsideTheSentence) {
  std::vector<Edge> expected = {{0, 1, OmniSegItem::TYPE_SEG}, {1, 1, OmniSegItem::TYPE_ERR}};
  EXPECT_EQ(SingleWordPath("-\xB0"), expected);
  // A NUL byte is a separator like any other control byte.
  EXPECT_EQ(SingleWordPath(std::string("\0", 1)),
            (std::vector<Edge>{{0, 1, OmniSegItem::TYPE_SEG}}));
}
