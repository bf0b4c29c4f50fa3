// NER rules: what a rule file line keeps, the message of everything it
// refuses, and the prefix search the rule pass uses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ner/NerRule.h"
#include "support/ScratchDir.h"
#include "support/TestUtil.h"

namespace {

using new_seg::ner_rule_t;
using new_seg::NerRule;
using testutil::Utf8ToGbk;

class NerRuleTest : public ::testing::Test {
 protected:
  void TearDown() override { NerRule::unload_dict(); }

  // Loads the lines (UTF-8, converted to GBK); returns what stderr got.
  std::string Load(const std::string& text) {
    path_ = dir_.Write("ner_rules.txt", Utf8ToGbk(text));
    testing::internal::CaptureStderr();
    EXPECT_TRUE(NerRule::load_dict(path_.c_str()));
    return testing::internal::GetCapturedStderr();
  }
  // The spans of the rule for text, "offset,length,kind" joined by spaces.
  std::string Spans(const std::string& text_utf8) {
    std::string text = Utf8ToGbk(text_utf8);
    const ner_rule_t* rule = NerRule::get_value(NerRule::exact_match_search(text.c_str(), text.size()));
    if (rule == nullptr) return "no rule";
    std::string out;
    for (int32_t i = 0; i < rule->ne_count; ++i) {
      out += (i ? " " : "") + std::to_string(rule->offset_list[i]) + "," +
             std::to_string(rule->length_list[i]) + "," + std::to_string(rule->type_list[i]);
    }
    return out;
  }

  testutil::TempDir dir_;
  std::string path_;
};

TEST_F(NerRuleTest, EachRefusalIsReportedAndSkipsWhatItNames) {
  const struct {
    std::string line;  // the line 2 of the file, after a comment line
    std::string message;
    std::string spans;  // of the text 王小明京 afterwards
  } kCases[] = {
      {"王小明京\t0,2,64\t0,4,64", "line 2, column 2 offset not in order", "0,2,64"},
      {"王小明京\t0,4,64\t2,4,8192", "", "0,4,64 2,4,8192"},
      {"王小明京\t6,4,64", "line 2, column 1 span excceed text length", "no rule"},
      {"王小明京\t0,4", "line 2, column 1 format error", "no rule"},
      {"王小明京\t-1,4,64\t0,0,64\t0,2,64", "line 2, column 2 invalid length: <= 0", "0,2,64"},
      {"王小明京\t-1,4,64", "line 2, column 1 invalid offset: < 0", "no rule"},
      {"王小明京", "line 2 format error", "no rule"},
      // A span must not cut a character in half.
      {"王小明京\t1,2,64\t4,4,8192", "line 2, column 1 span not on character boundaries",
       "4,4,8192"},
      {"  王小明京\t0,4,64  ", "", "0,4,64"},
      {"  # 王小明京\t0,4,64", "", "no rule"},
  };
  for (const auto& c : kCases) {
    std::string errors = Load("# comment\n" + c.line + "\n");
    if (c.message.empty()) {
      EXPECT_EQ("", errors) << c.line;
    } else {
      EXPECT_NE(std::string::npos, errors.find(c.message)) << c.line << " gave " << errors;
    }
    EXPECT_EQ(c.spans, Spans("王小明京")) << c.line;
  }
}

TEST_F(NerRuleTest, LineWithoutValidSpanIsReportedTwice) {
  std::string errors = Load("王小明京\t6,4,64\n");
  EXPECT_NE(std::string::npos, errors.find("span excceed text length"));
  EXPECT_NE(std::string::npos, errors.find("line 1, no valid (offset,length,type) pair found"));
}

TEST_F(NerRuleTest, FirstDefinitionOfATextStays) {
  std::string errors = Load("王小明京\t0,4,64\n王小明京\t0,6,64\n");
  EXPECT_NE(std::string::npos, errors.find("line 2, ignore duplicate term"));
  EXPECT_EQ("0,4,64", Spans("王小明京"));
}

TEST_F(NerRuleTest, PrefixSearchFindsEveryRuleTextStartingTheSentence) {
  Load("王小\t0,4,64\n王小明\t0,6,64\n小明\t0,4,64\n");
  std::string text = Utf8ToGbk("王小明来了");
  int64_t values[4];
  ASSERT_EQ(2u, NerRule::common_prefix_search(text.c_str(), text.size(), values, 4));
  EXPECT_EQ(4, NerRule::get_value(values[0])->text_length);
  EXPECT_EQ(6, NerRule::get_value(values[1])->text_length);
  // Only the first `maximum` values are written; the count is all of them.
  values[1] = -7;
  EXPECT_EQ(2u, NerRule::common_prefix_search(text.c_str(), text.size(), values, 1));
  EXPECT_EQ(-7, values[1]);
  EXPECT_EQ(nullptr, NerRule::get_value(3));
  EXPECT_EQ(nullptr, NerRule::get_value(-1));
}

TEST_F(NerRuleTest, MissingFileFailsAndKeepsTheRules) {
  Load("王小\t0,4,64\n");
  testing::internal::CaptureStderr();
  EXPECT_FALSE(NerRule::load_dict(dir_.File("missing.txt").c_str()));
  EXPECT_NE(std::string::npos, testing::internal::GetCapturedStderr().find("failed to open file"));
  EXPECT_EQ("0,4,64", Spans("王小"));
}

}  // namespace
