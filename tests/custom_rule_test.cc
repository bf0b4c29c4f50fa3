// Loading custom rules and additional rules: token lengths, comments, line
// endings, case, repeated rules and both file encodings.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "custom/AdditionalRule.h"
#include "custom/CustomRule.h"
#include "support/TestUtil.h"

using namespace new_seg;
using testutil::Utf8ToGbk;

namespace {

// The boundary list of a rule (given in UTF-8): {} for a rule without one,
// {-1} for a rule that is not there.
std::vector<int> Cuts(const std::string& utf8_rule) {
  std::string rule = Utf8ToGbk(utf8_rule);
  const CustomRuleAttribute* attribute =
      CustomRule::GetValue(CustomRule::ExactMatchSearch(rule.c_str(), rule.size()));
  if (attribute == nullptr) return {-1};
  EXPECT_EQ(attribute->rule_len, rule.size());
  std::vector<int> cuts;
  const uint8_t* list = CustomRule::GetSegInfo(attribute->rule_seg_info_index);
  if (list == nullptr) return cuts;
  for (size_t i = 0; i == 0 || list[i - 1] != attribute->rule_len; ++i) cuts.push_back(list[i]);
  return cuts;
}

std::vector<std::vector<std::string>> Groups(const std::string& utf8_rule) {
  std::string rule = Utf8ToGbk(utf8_rule);
  int index = -1;
  if (AdditionalRule::CommonPrefixSearch(rule.c_str(), rule.size(), &index, 1) == 0) return {};
  const AdditionalRuleAttribute* attribute = AdditionalRule::GetValue(index);
  if (attribute == nullptr || attribute->rule_len != rule.size()) return {};
  std::vector<std::vector<std::string>> groups;
  for (const auto& group : attribute->groups) {
    groups.emplace_back();
    for (const std::string& word : group) groups.back().push_back(testutil::GbkToUtf8(word));
  }
  return groups;
}

class RuleFiles : public ::testing::Test {
 protected:
  void TearDown() override {
    CustomRule::UnInit();
    AdditionalRule::UnInit();
  }
  testutil::TempDir dir_;
};

}  // namespace

TEST_F(RuleFiles, CustomRuleLengthsMustCutTheStringExactly) {
  std::string path = dir_.Write("custom_rule.dat", Utf8ToGbk(
      "中国人,2,2\n"        // 4 of 6 bytes
      "研究生,2,2,2\n"
      "北京\n"              // no lengths: one token
      "中国,1,3\n"          // a cut inside a character
      "天安,0,4\n"
      "广场,-2,6\n"
      "长城,2,x,2\n"        // a non-numeric field counts 0
      "故宫,2,2,2\n"));     // more than the string
  testing::internal::CaptureStderr();
  ASSERT_TRUE(CustomRule::Init(path.c_str()));
  std::string messages = testing::internal::GetCapturedStderr();
  EXPECT_EQ(Cuts("研究生"), (std::vector<int>{0, 2, 4, 6}));
  EXPECT_EQ(Cuts("北京"), std::vector<int>{});
  for (const char* skipped : {"中国人", "中国", "天安", "广场", "长城", "故宫"}) {
    EXPECT_EQ(Cuts(skipped), std::vector<int>{-1}) << skipped;
  }
  EXPECT_EQ(CustomRule::GetSize(), 2u);
  for (int line : {1, 4, 5, 6, 7, 8}) {
    EXPECT_NE(messages.find("custom_rule.dat:" + std::to_string(line) + ": invalid length info"),
              std::string::npos)
        << line << "\n" << messages;
  }
}

TEST_F(RuleFiles, CustomRuleCommentsLineEndingsCaseAndRepeats) {
  std::string path = dir_.Write("custom_rule.dat", Utf8ToGbk(
      "# 北京,2,2\n"
      "\n"
      "ABC北京,1,2,4\r\n"
      ",2\n"
      "天安门,2,4\n"
      "天安门,4,2\r\n"));
  ASSERT_TRUE(CustomRule::Init(path.c_str()));
  EXPECT_EQ(CustomRule::GetSize(), 2u);
  EXPECT_EQ(Cuts("abc北京"), (std::vector<int>{0, 1, 3, 7}));
  EXPECT_EQ(Cuts("ABC北京"), std::vector<int>{-1});  // matched lower-cased only
  EXPECT_EQ(Cuts("天安门"), (std::vector<int>{0, 4, 6}));  // the later line wins
  EXPECT_EQ(Cuts("# 北京"), std::vector<int>{-1});
}

TEST_F(RuleFiles, CustomRuleOverlongCutRuleIsSkipped) {
  std::string long_rule(300, 'a');
  std::string path = dir_.Write("custom_rule.dat", long_rule + ",150,150\n" +
                                                       std::string(256, 'b') + "\n");
  testing::internal::CaptureStderr();
  ASSERT_TRUE(CustomRule::Init(path.c_str()));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("at most 255"), std::string::npos);
  EXPECT_EQ(CustomRule::GetSize(), 1u);  // the one without lengths stays
}

TEST_F(RuleFiles, MissingFilesFailWithTheirPath) {
  std::string missing = dir_.path() + "/custom_rule.dat";
  testing::internal::CaptureStderr();
  EXPECT_FALSE(CustomRule::Init(missing.c_str()));
  EXPECT_FALSE(AdditionalRule::Init((dir_.path() + "/additional_rule.dat").c_str()));
  std::string messages = testing::internal::GetCapturedStderr();
  EXPECT_NE(messages.find(missing), std::string::npos);
  EXPECT_NE(messages.find("additional_rule.dat"), std::string::npos);
}

TEST_F(RuleFiles, AdditionalRuleGroups) {
  std::string path = dir_.Write("additional_rule.dat", Utf8ToGbk(
      "# 北京天安门\t北京,天安门\n"
      "北京天安门\t北京,天安门\t\t北,京,天安门\r\n"
      "\n"
      "\tx,y\n"
      "A,B\ta,,b\n"
      "研究生\t研究,生\n"
      "研究生\t研,究生\n"));
  ASSERT_TRUE(AdditionalRule::Init(path.c_str()));
  using G = std::vector<std::vector<std::string>>;
  EXPECT_EQ(Groups("北京天安门"), (G{{"北京", "天安门"}, {"北", "京", "天安门"}}));
  EXPECT_EQ(Groups("a,b"), (G{{"a", "", "b"}}));  // empty words are kept
  EXPECT_EQ(Groups("研究生"), (G{{"研", "究生"}}));  // the later line wins
  EXPECT_EQ(Groups("# 北京天安门"), G{});
}

TEST_F(RuleFiles, AdditionalRuleOverlongWordIsSkipped) {
  std::string path = dir_.Write("additional_rule.dat",
                                "abc\ta," + std::string(1025, 'b') + "\nxyz\tx,yz\n");
  testing::internal::CaptureStderr();
  ASSERT_TRUE(AdditionalRule::Init(path.c_str()));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("additional_rule.dat:1:"),
            std::string::npos);
  EXPECT_EQ(Groups("abc").size(), 0u);
  EXPECT_EQ(Groups("xyz").size(), 1u);
}

TEST_F(RuleFiles, Utf8AndGbkRuleFilesLoadAlike) {
  const std::string custom = "研究生,2,4\n北京\n";
  const std::string additional = "研究生命\t研究生,命\n";
  for (bool utf8 : {true, false}) {
    std::string custom_path =
        dir_.Write("custom_rule.dat", utf8 ? custom : Utf8ToGbk(custom));
    std::string additional_path =
        dir_.Write("additional_rule.dat", utf8 ? additional : Utf8ToGbk(additional));
    ASSERT_TRUE(CustomRule::Init(custom_path.c_str()));
    ASSERT_TRUE(AdditionalRule::Init(additional_path.c_str()));
    EXPECT_EQ(Cuts("研究生"), (std::vector<int>{0, 2, 6})) << utf8;
    EXPECT_EQ(Cuts("北京"), std::vector<int>{}) << utf8;
    EXPECT_EQ(Groups("研究生命"), (std::vector<std::vector<std::string>>{{"研究生", "命"}}))
        << utf8;
  }
}
