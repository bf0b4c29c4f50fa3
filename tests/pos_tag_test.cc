// Part-of-speech tagging with hand-made models whose right answers follow
// from the weights: transitions against emissions, ties, words the model
// does not know, word kinds, the person-name rule, and overlong sentences.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "lattice/OmniSegNet.h"
#include "lattice/OmniSegSingleWord.h"
#include "pos/CSegmentTag.h"
#include "pos/PosInterveneCoredict.h"
#include "pos/TagContext.h"
#include "pos/TagModel.h"
#include "pos/TransitionBlock.h"
#include "support/TestUtil.h"
#include "zorvseg.h"

using namespace new_seg;

namespace {

typedef std::vector<std::pair<std::string, float>> TagWeights;
typedef std::tuple<std::string, std::string, float> Transition;

const std::vector<std::string> kWords = {"研究", "生命", "起源", "江", "泽民",
                                         "甲",   "乙",   "丙",   "丁"};

uint8_t TagId(const std::string& name) {
  return name == "<s>" ? CSegmentTag::kTagSentenceStart : PosInterveneCoredict::GetPosId(name);
}

class PosTagTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::vector<std::string> lexicon, ngram;
    for (const std::string& w : kWords) {
      lexicon.push_back(w + "\t1");
      ngram.push_back("5 1 " + std::to_string(testutil::WordId(kWords, w)));
    }
    testutil::WriteDataDir(dir_, lexicon, ngram);
  }
  void TearDown() override {
    LxCloseSegHandle(handle_);
    LxUnInitSeg();
  }

  // Installs a model: the words' candidate lists, the listed transitions,
  // every other transition weighing `other`.
  void Load(const std::map<std::string, TagWeights>& words,
            const std::vector<Transition>& transitions, float other,
            int32_t mode = kModePosTag) {
    TagModel model;
    for (prob_t& cell : model.m_pPosTTLM) cell.weight = other;
    for (const Transition& t : transitions) {
      model.PosTransition(TagId(std::get<0>(t)), TagId(std::get<1>(t))).weight = std::get<2>(t);
    }
    for (const auto& entry : words) {
      TagModel::Candidates candidates;
      for (const auto& tag : entry.second) candidates.push_back({TagId(tag.first), tag.second});
      uint32_t id = static_cast<uint32_t>(testutil::WordId(kWords, entry.first));
      model.AddWord(id, model.AppendPosList(candidates), 0);
    }
    model.m_name_list.insert({1, 2, 3});
    ASSERT_TRUE(model.Save(dir_.path() + "/tag_info.dat"));
    ASSERT_TRUE(LxInitSeg(dir_.path().c_str()));
    handle_ = LxCreateSegHandle(mode);
    ASSERT_NE(handle_, nullptr);
  }

  std::string Tagged(const std::string& text) {
    EXPECT_TRUE(LxSegment(handle_, text.data(), text.size(), kCharsetUTF8));
    std::string out;
    for (size_t i = 0; i < LxGetResultCnt(handle_); ++i) {
      const token_t* token = LxGetBasicTokenAt(handle_, static_cast<int32_t>(i));
      char tag[8];
      LxPosId2Str(token->pos, tag);
      out += (i ? " " : "") + std::string(token->word) + "/" + tag;
    }
    return out;
  }

  testutil::TempDir dir_;
  HANDLE handle_ = nullptr;
};

TEST_F(PosTagTest, TransitionsCanOverrideTheBestEmission) {
  std::map<std::string, TagWeights> words = {{"研究", {{"v", -0.5f}, {"vn", -1}}},
                                             {"生命", {{"n", -1}}},
                                             {"起源", {{"v", -1}, {"n", -2}}}};
  // Scores: 研究/vn -2 beats 研究/v -3.5; 起源/n -6.5 beats 起源/v -10.
  Load(words,
       {{"<s>", "vn", -1}, {"<s>", "v", -3}, {"vn", "n", -1}, {"v", "n", -1},
        {"n", "n", -0.5f}, {"n", "v", -5}},
       -100);
  EXPECT_EQ(Tagged("研究生命起源"), "研究/vn 生命/n 起源/n");

  ResetSegMode(handle_, 0);
  EXPECT_EQ(Tagged("研究生命"), "研究/unk 生命/unk");
}

TEST_F(PosTagTest, EmissionsDecideWhenTransitionsAreFlat) {
  Load({{"研究", {{"vn", -1}, {"v", -0.5f}}}, {"起源", {{"n", -2}, {"v", -1}}}}, {}, 0);
  EXPECT_EQ(Tagged("研究起源"), "研究/v 起源/v");
}

TEST_F(PosTagTest, TheWordsAroundAWordAddTheirContextWeights) {
  std::map<std::string, TagWeights> words = {{"研究", {{"v", -0.5f}, {"vn", -1}}},
                                             {"生命", {{"n", -1}}},
                                             {"起源", {{"n", -1}}}};
  uint32_t life = static_cast<uint32_t>(testutil::WordId(kWords, "生命"));
  uint32_t origin = static_cast<uint32_t>(testutil::WordId(kWords, "起源"));
  // After 研究 comes 生命: it lifts vn by 1 (vn -1 + 1 beats v -0.5). 起源
  // before 研究 lowers vn again, by more.
  std::vector<TagContext::Record> records = {
      {life, TagContext::kWordAfter, TagId("vn"), 0, 1.0f},
      {origin, TagContext::kWordBefore, TagId("vn"), 0, -2.0f},
      {life, TagContext::kWordBefore, TagId("n"), 0, 5.0f}};  // 生命 before a one-tag word
  TagContext context;
  std::string error;
  ASSERT_TRUE(context.Assign(records, &error)) << error;
  ASSERT_TRUE(context.Save(dir_.path() + "/tag_context.dat"));
  Load(words, {}, 0);
  EXPECT_EQ(Tagged("研究生命"), "研究/vn 生命/n");
  EXPECT_EQ(Tagged("研究起源"), "研究/v 起源/n");
  EXPECT_EQ(Tagged("起源研究生命"), "起源/n 研究/v 生命/n");
  EXPECT_EQ(Tagged("生命研究"), "生命/n 研究/v");
}

TEST_F(PosTagTest, ADamagedContextFileFailsTheLoadAndAMissingOneIsNoContext) {
  dir_.Write("tag_context.dat", "ZTC1\x05");
  testing::internal::CaptureStderr();
  EXPECT_FALSE(LxInitSeg(dir_.path().c_str()));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("tag_context.dat"), std::string::npos);
  std::remove(dir_.File("tag_context.dat").c_str());
  Load({{"研究", {{"v", -0.5f}, {"vn", -1}}}, {"生命", {{"n", -1}}}}, {}, 0);
  EXPECT_EQ(Tagged("研究生命"), "研究/v 生命/n");
}

TEST_F(PosTagTest, TiesGoToTheEarlierCandidate) {
  Load({{"甲", {{"a", -1}, {"b", -1}}}, {"乙", {{"b", -1}, {"a", -1}}}, {"丙", {{"n", 0}}}}, {},
       0);
  EXPECT_EQ(Tagged("甲乙"), "甲/a 乙/b");
  EXPECT_EQ(Tagged("乙丙甲"), "乙/b 丙/n 甲/a");
}

// The word with the largest id of the lexicon, and another one.
std::string LargestIdWord() {
  std::string largest = kWords[0];
  for (const std::string& w : kWords) {
    if (testutil::WordId(kWords, w) > testutil::WordId(kWords, largest)) largest = w;
  }
  return largest;
}

TEST_F(PosTagTest, WordsWithoutARecordChooseAmongDNUVByTransitions) {
  // Only the word with the largest id has a record, so the others lie below
  // the model's largest id without one; 戊 is not in the dictionary at all.
  std::string largest = LargestIdWord();
  std::string first = largest == "甲" ? "丙" : "甲";
  std::string second = largest == "乙" ? "丙" : "乙";
  Load({{largest, {{"a", 0}}}}, {{"<s>", "u", -1}, {"u", "v", -1}}, -10);
  EXPECT_EQ(Tagged(first), first + "/u");
  EXPECT_EQ(Tagged("戊"), "戊/u");
  EXPECT_EQ(Tagged(first + second), first + "/u " + second + "/v");
}

TEST_F(PosTagTest, AWordBeyondTheLargestModelIdIsStillTagged) {
  // The model holds only the word with the smallest id; every other word's
  // id is above the model's largest, and it still gets a default tag.
  std::string smallest = kWords[0];
  for (const std::string& w : kWords) {
    if (testutil::WordId(kWords, w) < testutil::WordId(kWords, smallest)) smallest = w;
  }
  std::string other = LargestIdWord();
  Load({{smallest, {{"a", 0}}}}, {{"<s>", "v", -1}}, -10);
  EXPECT_EQ(Tagged(other), other + "/v");
}

TEST_F(PosTagTest, WordKindsFixTheTag) {
  Load({}, {}, 0);
  // Numbers "m", symbols "w", letters "nx", full-width forms included.
  EXPECT_EQ(Tagged("123，Ａ１abc。?"), "123/m ，/w Ａ/nx １/m abc/nx 。/w ?/w");
}

TEST_F(PosTagTest, PersonTagBecomesNounWhenEntitiesAreRecognised) {
  std::map<std::string, TagWeights> words = {{"江", {{"nr", -1}, {"n", -5}}},
                                             {"泽民", {{"nr", -1}}}};
  Load(words, {}, 0);
  EXPECT_EQ(Tagged("江泽民"), "江/nr 泽民/nr");
  ResetSegMode(handle_, kModePosTag | kModeNeName);
  EXPECT_EQ(Tagged("江泽民"), "江/n 泽民/n");
}

TEST_F(PosTagTest, PathLongerThanTheWordLimitIsTaggedUpToTheLimit) {
  Load({}, {}, 0);
  const size_t kWordsOnPath = CSegmentTag::MAX_WORD_LEN + 75;
  std::string text;
  for (size_t i = 0; i < kWordsOnPath; ++i) text += i % 2 ? ',' : 'a';
  OmniSegNet net(text.size() + 8);
  ASSERT_TRUE(net.Init());
  OmniSegSingleWord single(&net);
  ASSERT_TRUE(single.Segment(text.data(), text.size()));

  CSegmentTag tagger;
  testing::internal::CaptureStderr();
  EXPECT_TRUE(tagger.pos_tag(&net, nullptr, false));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("pos tag num error!"), std::string::npos);
  for (size_t i = 1; i <= kWordsOnPath; ++i) {
    const OmniSegItem* item = net.GetSegNode(i)->optimal_item();
    ASSERT_NE(item, nullptr);
    uint8_t expected = i > CSegmentTag::MAX_WORD_LEN ? 0
                       : i % 2                       ? CSegmentTag::kTagLetters
                                                     : CSegmentTag::kTagPunctuation;
    EXPECT_EQ(item->pos_tag, expected) << "word " << i;
  }
}

// The pruned step between long lists against the plain recursion, on random
// models whose weights come from a few values (so ties are common) and some
// scores below the floor; pairs of lists repeat, as in runs of like words.
TEST(TransitionBlockStep, AgreesWithThePlainRecursion) {
  std::mt19937 random(11);
  auto coarse = [&](int levels) { return static_cast<float>(random() % levels) * -0.5f; };
  const float kFloor = -1000000.0f;
  for (int round = 0; round < 300; ++round) {
    TagModel model;
    for (prob_t& transition : model.m_pPosTTLM) transition.weight = coarse(round % 2 ? 4 : 40);
    std::vector<uint8_t> lists[2];
    for (std::vector<uint8_t>& list : lists) {
      list.resize(1 + random() % TagModel::MAX_POS_ROLE_TYPE);
      for (uint8_t& tag : list) tag = static_cast<uint8_t>(1 + random() % 55);
    }
    TransitionBlock block;
    for (int step = 0; step < 4; ++step) {
      const std::vector<uint8_t>& from = lists[step % 2 ? 1 : 0];
      const std::vector<uint8_t>& to = lists[round % 3 == 0 ? 0 : 1];
      float previous[TagModel::MAX_POS_ROLE_TYPE];
      for (size_t j = 0; j < from.size(); ++j) {
        previous[j] = random() % 7 == 0 ? -2000000.0f : coarse(round % 2 ? 3 : 30) - 5 * step;
      }
      float best[TagModel::MAX_POS_ROLE_TYPE];
      uint8_t back[TagModel::MAX_POS_ROLE_TYPE];
      block.Use(model, from.data(), from.size(), to.data(), to.size());
      block.Step(previous, kFloor, best, back);
      for (size_t k = 0; k < to.size(); ++k) {
        float expected = kFloor;
        size_t expected_back = 0;
        for (size_t j = 0; j < from.size(); ++j) {
          float sum = model.PosTransition(from[j], to[k]).weight + previous[j];
          if (sum > expected) {
            expected = sum;
            expected_back = j;
          }
        }
        ASSERT_EQ(best[k], expected) << round << " " << step << " " << k;
        ASSERT_EQ(back[k], expected_back) << round << " " << step << " " << k;
      }
    }
  }
}

TEST(PosNames, TagAndRoleNames) {
  char name[8];
  CSegmentTag::_get_pos_char(17, name);
  EXPECT_STREQ(name, "nr");
  CSegmentTag::_get_pos_char(48, name);
  EXPECT_STREQ(name, "Zg");
  CSegmentTag::_get_pos_char(49, name);
  EXPECT_STREQ(name, "n");
  EXPECT_TRUE(CSegmentTag::_get_role_char(33, name));
  EXPECT_STREQ(name, "FT");
  EXPECT_TRUE(CSegmentTag::_get_role_char(51, name));
  EXPECT_STREQ(name, "unk");
  EXPECT_FALSE(CSegmentTag::_get_role_char(34, name));
  EXPECT_FALSE(CSegmentTag::_get_role_char(52, name));
}

}  // namespace
