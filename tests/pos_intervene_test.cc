// The POS intervention dictionary: rules shared by sequence, case ignored,
// at most four per word, lookups by word, and reloads keeping rule ids.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pos/PosInterveneCoredict.h"
#include "pos/RuleTree.h"
#include "support/TestUtil.h"

using namespace new_seg;
using testutil::Utf8ToGbk;

namespace {

typedef std::vector<uint8_t> Tags;

class PosInterveneTest : public ::testing::Test {
 protected:
  void TearDown() override { PosInterveneCoredict::UnInit(); }

  PosInterveneCoredict* Load(const std::string& utf8_text) {
    std::string path = dir_.Write("pos_intervene_dict.dat", Utf8ToGbk(utf8_text));
    EXPECT_TRUE(PosInterveneCoredict::Init(path.c_str()));
    return PosInterveneCoredict::GetInstance();
  }
  static int32_t Find(PosInterveneCoredict* dict, const std::string& utf8_word) {
    std::string gbk = Utf8ToGbk(utf8_word);
    return dict->ExactMatchSearch(gbk.data(), gbk.size());
  }
  static std::vector<Tags> Rules(PosInterveneCoredict* dict, const std::string& utf8_word) {
    std::vector<Tags> rules;
    const PosCoreTermAttribute& record = dict->GetValue(Find(dict, utf8_word));
    for (size_t i = 0; i < record.ruleNum; ++i) {
      const Tags* rule = dict->GetRule(record.ruleIDs[i]);
      EXPECT_NE(rule, nullptr);
      if (rule != nullptr) rules.push_back(*rule);
    }
    return rules;
  }

  testutil::TempDir dir_;
};

TEST_F(PosInterveneTest, SameSequenceInAnyCaseIsOneRule) {
  PosInterveneCoredict* dict = Load("研究 n v\n研究\tN\tV\n生命 n  v\n");
  EXPECT_EQ(Rules(dict, "研究"), std::vector<Tags>({{16, 31}}));
  const PosCoreTermAttribute& research = dict->GetValue(Find(dict, "研究"));
  const PosCoreTermAttribute& life = dict->GetValue(Find(dict, "生命"));
  EXPECT_EQ(research.length, 4u);
  EXPECT_EQ(life.ruleNum, 1u);
  EXPECT_EQ(research.ruleIDs[0], life.ruleIDs[0]);
}

TEST_F(PosInterveneTest, AWordKeepsItsFirstFourRules) {
  PosInterveneCoredict* dict = Load("把 p\n把 q\n把 v\n把 p v\n把 Ng\n把 q\n");
  EXPECT_EQ(Rules(dict, "把"), std::vector<Tags>({{25}, {26}, {31}, {25, 31}}));
  // The fifth sequence still became a rule of its own.
  EXPECT_NE(dict->GetRule(5), nullptr);
  EXPECT_EQ(dict->GetRule(6), nullptr);
  EXPECT_EQ(dict->GetRule(0), nullptr);
}

TEST_F(PosInterveneTest, LinesWithoutTagsAddNothingAndUnknownNamesAreZero) {
  PosInterveneCoredict* dict = Load("孤单\n\n   \n怪 nope zg\n");
  EXPECT_EQ(Find(dict, "孤单"), -1);
  EXPECT_EQ(dict->size(), 1u);
  EXPECT_EQ(Rules(dict, "怪"), std::vector<Tags>({{0, 48}}));
  EXPECT_EQ(dict->GetValue(1).ruleNum, 0u);  // out of range: an empty record
  EXPECT_EQ(dict->GetValue(-1).ruleNum, 0u);
}

TEST_F(PosInterveneTest, PrefixAndStepwiseLookups) {
  PosInterveneCoredict* dict = Load("中 f\n中国 ns\n中国人 n\n国人 n\n");
  std::string key = Utf8ToGbk("中国人民");
  int32_t found[8];
  ASSERT_EQ(dict->CommonPrefixSearch(key.data(), key.size(), found, 8), 3u);
  // Records are in byte order of the words, and so are their indices.
  EXPECT_EQ(found[0], Find(dict, "中"));
  EXPECT_EQ(found[1], Find(dict, "中国"));
  EXPECT_EQ(found[2], Find(dict, "中国人"));
  EXPECT_LT(found[0], found[1]);
  EXPECT_EQ(dict->CommonPrefixSearch(key.data(), key.size(), found, 1), 3u);

  size_t node = 0, at = 0;
  EXPECT_EQ(dict->Traverse(key.data(), 4, &node, &at), Find(dict, "中国"));
  EXPECT_EQ(at, 4u);
  EXPECT_EQ(dict->Traverse(key.data(), 6, &node, &at), Find(dict, "中国人"));
  EXPECT_EQ(dict->Traverse(key.data(), 8, &node, &at), -2);
}

TEST_F(PosInterveneTest, ReloadKeepsRuleIdentifiers) {
  PosInterveneCoredict* dict = Load("甲 a b\n乙 c\n");
  size_t c_rule = dict->GetValue(Find(dict, "乙")).ruleIDs[0];
  dict = Load("丙 d\n乙 c\n");
  EXPECT_EQ(Find(dict, "甲"), -1);
  EXPECT_EQ(dict->GetValue(Find(dict, "乙")).ruleIDs[0], c_rule);
  EXPECT_EQ(*dict->GetRule(dict->GetValue(Find(dict, "丙")).ruleIDs[0]), Tags({6}));
}

TEST_F(PosInterveneTest, EmptyAndMissingFiles) {
  PosInterveneCoredict* dict = Load("");
  EXPECT_EQ(dict->size(), 0u);
  EXPECT_EQ(dict->ExactMatchSearch("x"), -1);
  size_t node = 0, at = 0;
  EXPECT_EQ(dict->Traverse("x", 1, &node, &at), -2);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(PosInterveneCoredict::Init((dir_.path() + "/none.dat").c_str()));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("none.dat"), std::string::npos);
}

TEST_F(PosInterveneTest, VeryLongSequenceIsOneRule) {
  std::string line = "长";
  for (int i = 0; i < 200000; ++i) line += " n";
  PosInterveneCoredict* dict = Load(line + "\n");
  ASSERT_EQ(Rules(dict, "长").size(), 1u);
  EXPECT_EQ(Rules(dict, "长")[0].size(), 200000u);
}

TEST(RuleTree, SiblingsAreSearchedBeforeANodeIsAdded) {
  RuleTree tree;
  EXPECT_EQ(tree.AddRule({}), 0u);
  EXPECT_EQ(tree.AddRule({1, 2}), 1u);
  EXPECT_EQ(tree.AddRule({1, 3}), 2u);
  EXPECT_EQ(tree.AddRule({4}), 3u);
  EXPECT_EQ(tree.AddRule({1}), 4u);
  EXPECT_EQ(tree.AddRule({1, 3}), 2u);
  EXPECT_EQ(tree.node_count(), 5u);  // root, 1, 2, 3, 4
}

TEST(PosIds, NamesMatchIgnoringCase) {
  EXPECT_EQ(PosInterveneCoredict::GetPosId("a"), 1);
  EXPECT_EQ(PosInterveneCoredict::GetPosId("NR"), 17);
  EXPECT_EQ(PosInterveneCoredict::GetPosId("zg"), 48);
  EXPECT_EQ(PosInterveneCoredict::GetPosId("www"), 0);
  EXPECT_EQ(PosInterveneCoredict::GetPosId(""), 0);
}

}  // namespace
