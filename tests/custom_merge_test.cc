// Custom words, custom rules and additional rules end to end through
// LxSegment, over a lexicon whose best paths are known by hand:
// 研究生命起源 is cut 研究 生命 起源.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/TestUtil.h"
#include "zorvseg.h"

using namespace new_seg;
using testutil::GbkToUtf8;
using testutil::Utf8ToGbk;

namespace {

const int32_t kCustomWord = kModeUseCustomWord;
const int32_t kCustomRule = kModeUseCustomRule;
const int32_t kAdditional = kModeUseAdditionalRuleMode;

class CustomMergeTest : public ::testing::Test {
 protected:
  // Builds the data directory with these custom files (UTF-8 text) and
  // starts the library.
  void Start(int32_t mode, const std::string& custom_words, const std::string& custom_rules = "",
             const std::string& additional_rules = "") {
    const std::vector<std::pair<std::string, int>> entries = {
        {"研究", 5}, {"研究生", 6}, {"生命", 5}, {"命", 8}, {"起源", 5}, {"生", 7}, {"北京", 5}};
    std::vector<std::string> words, lexicon, ngram;
    for (const auto& e : entries) words.push_back(e.first);
    for (const auto& e : entries) {
      lexicon.push_back(e.first + "\t1");
      ngram.push_back(std::to_string(e.second) + " 1 " +
                      std::to_string(testutil::WordId(words, e.first)));
    }
    testutil::WriteDataDir(dir_, lexicon, ngram);
    dir_.Write("custom_word/words.txt", custom_words);
    dir_.Write("custom_rule.dat", custom_rules);
    dir_.Write("additional_rule.dat", additional_rules);
    ASSERT_TRUE(LxInitSeg(dir_.path().c_str()));
    handle_ = LxCreateSegHandle(mode);
    ASSERT_NE(handle_, nullptr);
  }
  void TearDown() override {
    LxCloseSegHandle(handle_);
    LxUnInitSeg();
  }

  std::string Basic(const std::string& text, size_t charset = kCharsetUTF8) {
    std::string input = charset == kCharsetUTF8 ? text : Utf8ToGbk(text);
    EXPECT_TRUE(LxSegment(handle_, input.data(), input.size(), charset));
    std::string out;
    for (size_t i = 0; i < LxGetResultCnt(handle_); ++i) {
      std::string word = LxGetWordAt(handle_, i);
      out += (i ? " " : "") + (charset == kCharsetUTF8 ? word : GbkToUtf8(word));
    }
    return out;
  }
  // "word@start-end>next" per additional token.
  std::string Additional(size_t charset = kCharsetUTF8) {
    std::string out;
    for (size_t i = 0; i < LxGetAdditionalTokenCnt(handle_); ++i) {
      const additional_token_t* t = LxGetAdditionalTokenAt(handle_, i);
      std::string word(t->word, t->wlen);
      if (charset != kCharsetUTF8) word = GbkToUtf8(word);
      out += (i ? " " : "") + word + "@" + std::to_string(t->start_idx) + "-" +
             std::to_string(t->end_idx) + ">" + std::to_string(t->next_group_additional_idx);
    }
    return out;
  }

  testutil::TempDir dir_;
  HANDLE handle_ = nullptr;
};

}  // namespace

// --- custom words ---

TEST_F(CustomMergeTest, CustomWordsSpanWholePathWordsOnly) {
  // 究生 starts inside 研究, 研 is shorter than 研究, 研究生 ends inside
  // 生命; 生命起源 is preferred to the shorter 生命 at the same start.
  Start(kCustomWord, "究生\n研\n研究生\n生命,v\n生命起源,nz\n");
  EXPECT_EQ(Basic("研究生命起源"), "研究 生命起源");
  EXPECT_FALSE(LxGetAt(handle_, 0)->bcw);
  EXPECT_TRUE(LxGetAt(handle_, 1)->bcw);
  EXPECT_EQ(LxGetBasicTokenAt(handle_, 1)->pos, 22);
  EXPECT_EQ(LxGetAt(handle_, 1)->pos, 22);
  EXPECT_EQ(LxGetMixWordCnt(handle_), 2u);
  EXPECT_STREQ(LxGetMixWordAt(handle_, 1), "生命起源");
}

TEST_F(CustomMergeTest, CustomWordOfEqualLengthReplacesTheWordAndItsTag) {
  Start(kCustomWord, "研究,v\n");
  EXPECT_EQ(Basic("研究生命起源"), "研究 生命 起源");
  EXPECT_TRUE(LxGetAt(handle_, 0)->bcw);
  EXPECT_EQ(LxGetBasicTokenAt(handle_, 0)->pos, 31);
  EXPECT_FALSE(LxGetAt(handle_, 1)->bcw);
}

TEST_F(CustomMergeTest, CustomWordsNeedTheModeBit) {
  Start(0, "生命起源\n");
  EXPECT_EQ(Basic("研究生命起源"), "研究 生命 起源");
  EXPECT_FALSE(LxGetAt(handle_, 1)->bcw);
  ResetSegMode(handle_, kCustomWord);
  EXPECT_EQ(Basic("研究生命起源"), "研究 生命起源");
}

TEST_F(CustomMergeTest, CustomWordsMatchAnyCaseAndKeepTheText) {
  Start(kCustomWord, "XYZ北京\n");
  EXPECT_EQ(Basic("XyZ北京研究"), "XyZ北京 研究");
  EXPECT_EQ(Basic("xyz北京", kCharsetGBK), "xyz北京");
}

TEST_F(CustomMergeTest, SwitchingAndUpdatingChangeTheNextCall) {
  Start(kCustomWord, "生命起源\n");
  std::string second = dir_.Write("second.txt", Utf8ToGbk("研究生命\n"));
  ASSERT_EQ(LxAddCustomDict(second.c_str()), 2u);
  EXPECT_EQ(Basic("研究生命起源"), "研究 生命起源");
  LxSwitchCustomDictTo(2);
  EXPECT_EQ(Basic("研究生命起源"), "研究生命 起源");

  dir_.Write("second.txt", "研究生命起源,nz\n");  // now UTF-8
  ASSERT_TRUE(LxUpdateCustomDict(second.c_str(), 2));
  EXPECT_EQ(Basic("研究生命起源"), "研究生命起源");
  LxSwitchCustomDictTo(1);
  LxDelCustomDict(2);
  EXPECT_EQ(Basic("研究生命起源"), "研究 生命起源");
}

// --- custom rules ---

TEST_F(CustomMergeTest, CustomRuleRecutsTheWordsItSpans) {
  Start(kCustomRule, "", "研究生命,2,4,2\n");
  EXPECT_EQ(Basic("研究生命起源"), "研 究生 命 起源");
  EXPECT_FALSE(LxGetAt(handle_, 1)->bcw);
  EXPECT_EQ(Basic("生命研究生命"), "生命 研 究生 命");
}

TEST_F(CustomMergeTest, CustomRulesOffThePathBoundariesAreNotApplied) {
  // 究生命 starts inside 研究; 研 is shorter than 研究; 研究生 ends
  // inside 生命.
  Start(kCustomRule, "", "究生命,2,4\n研,2\n研究生,2,4\n");
  EXPECT_EQ(Basic("研究生命起源"), "研究 生命 起源");
}

TEST_F(CustomMergeTest, LongestRuleFirstAndTheWalkGoesOnAfterIt) {
  Start(kCustomRule, "", "研究,2,2\n研究生命,2,6\n起源,2,2\n");
  EXPECT_EQ(Basic("研究生命起源"), "研 究生命 起 源");
}

TEST_F(CustomMergeTest, LastWordIsReachedAfterARuleThatDidNotFit) {
  Start(kCustomRule, "", "研究生,2,4\n生命,2,2\n");
  EXPECT_EQ(Basic("研究生命"), "研究 生 命");
}

TEST_F(CustomMergeTest, RuleWithoutLengthsIsOneToken) {
  Start(kCustomRule, "", "生命起源\n");
  EXPECT_EQ(Basic("研究生命起源"), "研究 生命起源");
}

TEST_F(CustomMergeTest, RuleMatchesLowerCasedTextAndCutsTheOriginal) {
  Start(kCustomRule, "", "ABC,1,2\n");
  EXPECT_EQ(Basic("ABC北京"), "A BC 北京");
  EXPECT_EQ(Basic("abc北京"), "a bc 北京");
}

TEST_F(CustomMergeTest, CustomWordsSeeTheRulesCut) {
  Start(kCustomRule | kCustomWord, "命起源\n", "生命起源,2,4,2\n");
  EXPECT_EQ(Basic("研究生命起源"), "研究 生 命起源");
  EXPECT_TRUE(LxGetAt(handle_, 2)->bcw);
}

// --- additional rules ---

TEST_F(CustomMergeTest, GroupsEqualToTheSegmentationAreNotEmitted) {
  Start(kAdditional, "", "", "研究生命\t研究生,命\t研究,生命\n生命起源\t生命,起源\n");
  EXPECT_EQ(Basic("研究生命起源"), "研究 生命 起源");
  // The identical last group is left out, so the first one is the last shown.
  EXPECT_EQ(Additional(), "研究生@0-2>0 命@0-2>0");
}

TEST_F(CustomMergeTest, AlternativesAreLinkedInOrder) {
  Start(kAdditional, "", "", "研究生命\t研,究生命\t研究生,命\n研究\t研,究\n");
  EXPECT_EQ(Basic("研究生命起源"), "研究 生命 起源");
  // The longest rule is taken at 研究; the shorter one is not.
  EXPECT_EQ(Additional(), "研@0-2>2 究生命@0-2>2 研究生@0-2>0 命@0-2>0");
}

TEST_F(CustomMergeTest, AdditionalRulesOffThePathBoundariesAreIgnored) {
  Start(kAdditional, "", "", "研究生\t研,究生\n究生命\t究,生命\n");
  EXPECT_EQ(Basic("研究生命起源"), "研究 生命 起源");
  EXPECT_EQ(Additional(), "");
}

TEST_F(CustomMergeTest, AdditionalTokensIndexTheWholeCallsBasicWords) {
  Start(kAdditional, "", "", "研究生命\t研究生,命\n");
  Basic("研究生命，研究生命");
  EXPECT_EQ(Additional(), "研究生@0-2>0 命@0-2>0 研究生@3-5>0 命@3-5>0");

  // A text long enough to be cut into several sentences.
  std::string text;
  while (text.size() < 3000) text += "北京，";
  text += "研究生命";
  Basic(text);
  size_t count = LxGetResultCnt(handle_);
  ASSERT_EQ(LxGetAdditionalTokenCnt(handle_), 2u);
  const additional_token_t* token = LxGetAdditionalTokenAt(handle_, 0);
  EXPECT_EQ(token->start_idx, count - 2);
  EXPECT_EQ(token->end_idx, count);
  EXPECT_STREQ(LxGetWordAt(handle_, token->start_idx), "研究");
}

TEST_F(CustomMergeTest, AdditionalTokensFollowTheCallsEncoding) {
  Start(kAdditional, "", "", "研究生命\t研究生,命\t研究,生命\n");
  Basic("研究生命", kCharsetUTF8);
  EXPECT_EQ(Additional(kCharsetUTF8), "研究生@0-2>0 命@0-2>0");
  EXPECT_EQ(LxGetAdditionalTokenAt(handle_, 0)->wlen, 9u);
  Basic("研究生命", kCharsetGBK);
  EXPECT_EQ(Additional(kCharsetGBK), "研究生@0-2>0 命@0-2>0");
  EXPECT_EQ(LxGetAdditionalTokenAt(handle_, 0)->wlen, 6u);
}
