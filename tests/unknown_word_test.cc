// The unknown-word stage: the character model's words become lattice edges
// where the lexicon lacks them, priced by the model's doubt.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/CrfModel.h"
#include "common/CrfModelText.h"
#include "driver/SegMode.h"
#include "lattice/OmniSegNet.h"
#include "lattice/OmniSegNetBuilder.h"
#include "lattice/UnknownWordFinder.h"
#include "support/TestUtil.h"
#include "zorvseg.h"
#include "zorvseg_mode.h"

using namespace new_seg;
using testutil::Utf8ToGbk;

namespace {

// Labels B E M S (the trainer's byte order). Template U00 reads the
// character, U01 its class: every character of class C leans to S, 甲
// strongly to B and 乙 strongly to E, 丙 weakly to B and 丁 weakly to E.
std::string ModelText() {
  return "xsize\t2\nlabel\tB\nlabel\tE\nlabel\tM\nlabel\tS\n"
         "template\tU00:%x[0,0]\ntemplate\tU01:%x[0,1]\ntemplate\tB\n"
         "word\tC\t1:0 0 0 1\n" +
         Utf8ToGbk("word\t甲\t0:5 0 0 0\nword\t乙\t0:0 5 0 0\n") +
         Utf8ToGbk("word\t丙\t0:1.2 0 0 0\nword\t丁\t0:0 1.2 0 0\n") +
         "transition\tB\t0 0 0 0\ntransition\tE\t0 0 0 0\n"
         "transition\tM\t0 0 0 0\ntransition\tS\t0 0 0 0\n";
}

void WriteModel(const testutil::TempDir& dir, const std::string& text) {
  zorvseg_tools::CrfModel model;
  std::string error;
  ASSERT_TRUE(zorvseg_tools::ParseCrfModelText(text, "unknown-word test model", &model));
  ASSERT_TRUE(model.Save(dir.File("unk_model.dat"), &error)) << error;
}

struct Edge {
  size_t begin, len;
  bool operator==(const Edge& o) const { return begin == o.begin && len == o.len; }
};

// A data directory whose lexicon has 天, 地, the word 丙丁 and the
// characters of the model; each word costs 12 bits alone.
class UnknownWords : public testing::Test {
 protected:
  void SetUp() override {
    std::vector<std::string> lexicon, ngram;
    const std::vector<std::string> words = {"丙丁", "天", "地", "甲", "乙", "丙", "丁"};
    for (const std::string& word : words) {
      lexicon.push_back(word + "\t1");
      ngram.push_back("12 1 " + std::to_string(testutil::WordId(words, word)));
    }
    ngram.push_back("20 0 0");
    testutil::WriteDataDir(dir_, lexicon, ngram);
  }
  void TearDown() override { LxUnInitSeg(); }

  // The unknown-word edges of the sentence: every character here is a
  // lexicon word, so the only longer edges without an id are the model's.
  std::vector<Edge> ModelEdges(const std::string& utf8) {
    SegMode mode(kModeFindUnknownWords);
    OmniSegNet net;
    OmniSegNetBuilder builder(&net, &mode);
    std::vector<Edge> edges;
    if (!net.Init() || !builder.Init()) return edges;
    std::string gbk = Utf8ToGbk(utf8);
    if (builder.Build(gbk.data(), gbk.size()) < 0) return {{0, 0}};
    for (size_t pos = 0; pos <= gbk.size(); ++pos) {
      const OmniSegNode* node = net.GetSegNode(pos);
      for (size_t k = 0; k < node->seg_item_size(); ++k) {
        const OmniSegItem& item = node->seg_items()[k];
        if (item.term_attribute_idx == 0 && item.term_len > 2) edges.push_back({item.term_begin_pos, item.term_len});
      }
    }
    return edges;
  }

  std::vector<std::string> Words(int32_t mode, const std::string& utf8) {
    HANDLE handle = LxCreateSegHandle(mode);
    std::vector<std::string> words;
    std::string gbk = Utf8ToGbk(utf8);
    if (!LxSegment(handle, gbk.data(), gbk.size(), kCharsetGBK)) words.push_back("<failed>");
    for (size_t i = 0; i < LxGetResultCnt(handle); ++i) {
      words.push_back(testutil::GbkToUtf8(LxGetWordAt(handle, i)));
    }
    LxCloseSegHandle(handle);
    return words;
  }

  testutil::TempDir dir_;
};

}  // namespace

TEST(UnknownWordFinder, CharacterClassesFollowTheTrainingColumns) {
  const struct {
    const char* utf8;
    char expected;
  } kCases[] = {{"7", 'D'}, {"q", 'L'}, {"Q", 'L'}, {",", 'P'}, {" ", 'P'},
                {"７", 'D'}, {"ｑ", 'L'}, {"，", 'P'}, {"。", 'P'}, {"〇", 'N'},
                {"两", 'N'}, {"亿", 'N'}, {"天", 'C'}, {"㐀", 'C'}};
  for (const auto& c : kCases) {
    std::string gbk = Utf8ToGbk(c.utf8);
    EXPECT_EQ(UnknownWordFinder::CharClass(reinterpret_cast<const unsigned char*>(gbk.data()),
                                           gbk.size()),
              c.expected)
        << c.utf8;
  }
}

// The numeral class is a list of exact codes: each numeral, and none of the
// codes next to one (same lead byte, trail byte one off).
TEST(UnknownWordFinder, ExactlyTheChineseNumeralsAreClassN) {
  const char* const kNumerals[] = {"〇", "零", "一", "二", "三", "四", "五", "六", "七",
                                   "八", "九", "十", "百", "千", "万", "亿", "两"};
  for (const char* numeral : kNumerals) {
    std::string gbk = Utf8ToGbk(numeral);
    ASSERT_EQ(gbk.size(), 2u) << numeral;
    unsigned char code[2] = {static_cast<unsigned char>(gbk[0]),
                             static_cast<unsigned char>(gbk[1])};
    EXPECT_EQ(UnknownWordFinder::CharClass(code, 2), 'N') << numeral;
    for (int step : {-1, 1}) {
      unsigned char next[2] = {code[0], static_cast<unsigned char>(code[1] + step)};
      EXPECT_NE(UnknownWordFinder::CharClass(next, 2), 'N') << numeral << " " << step;
    }
  }
}

TEST_F(UnknownWords, AModelWordTheLexiconLacksAddsExactlyThatEdge) {
  WriteModel(dir_, ModelText());
  ASSERT_TRUE(LxInitSeg(dir_.path().c_str()));
  // 天 S, 甲 B, 乙 E, 地 S: one word 甲乙 at bytes 2..6.
  EXPECT_EQ(ModelEdges("天甲乙地"), (std::vector<Edge>{{2, 4}}));
  // 丙丁 is a lexicon word: the model's B E over it adds nothing.
  EXPECT_EQ(ModelEdges("天丙丁地"), std::vector<Edge>{});
  // A span may cross a dictionary word: 甲 starts the word 甲乙 here,
  // whatever the lexicon has around it; the search decides.
  EXPECT_EQ(ModelEdges("丙甲乙丁"), (std::vector<Edge>{{2, 4}}));
  // ASCII never joins a proposed word, and a B without its E proposes nothing.
  EXPECT_EQ(ModelEdges("甲a乙甲天"), std::vector<Edge>{});
}

// A model that also reads the lexicon column: 甲 leans to B and 丙 to E
// by their characters, and `letters` adds weights by what the lexicon
// offers (U02, "word LETTER 2:B E M S").
std::string LexiconModelText(const std::string& letters) {
  return "xsize\t3\nlabel\tB\nlabel\tE\nlabel\tM\nlabel\tS\n"
         "template\tU00:%x[0,0]\ntemplate\tU01:%x[0,1]\ntemplate\tU02:%x[0,2]\n"
         "template\tB\nword\tC\t1:0 0 0 1\n" +
         Utf8ToGbk("word\t甲\t0:5 0 0 0\nword\t丙\t0:0 5 0 0\n") + letters;
}

TEST(UnknownWordFinder, TheLexiconColumnSaysWhereLexiconWordsStartAndEnd) {
  // In 天地甲丙丁 the lexicon word 丙丁 starts at 丙 ('a' + 1 = 'b') and
  // ends at 丁, which it covers ('a' + 2 + 4 = 'g').
  const struct {
    const char* letters;
    std::vector<Edge> edges;
  } kCases[] = {
      // Letters without weight: the characters alone make 甲丙, across 丙丁.
      {"", {{4, 4}}},
      // A lexicon word starting at 丙 makes it stand alone: nothing.
      {"word\tb\t2:0 0 0 20\n", {}},
      // Starting a word continues one, ending one ends it: 甲丙丁.
      {"word\tb\t2:0 0 20 0\nword\tg\t2:0 20 0 0\n", {{4, 6}}},
  };
  std::string sentence = Utf8ToGbk("天地甲丙丁");
  std::vector<unsigned char> lexicon(sentence.size(), 0);
  lexicon[6] = UnknownWordFinder::kWordStarts;
  lexicon[8] = UnknownWordFinder::kWordEnds | UnknownWordFinder::kWordCovers;
  for (const auto& c : kCases) {
    testutil::TempDir dir;
    WriteModel(dir, LexiconModelText(c.letters));
    ASSERT_TRUE(UnknownWordFinder::SetModelPath(dir.File("unk_model.dat").c_str()));
    UnknownWordFinder finder;
    ASSERT_TRUE(finder.Find(sentence.data(), sentence.size(), lexicon.data()));
    std::vector<Edge> edges;
    for (size_t k = 0; k < finder.span_count(); ++k) {
      edges.push_back({finder.spans()[k].begin, finder.spans()[k].len});
    }
    EXPECT_EQ(edges, c.edges) << c.letters;
    UnknownWordFinder::UnInit();
  }
}

TEST_F(UnknownWords, OnlyRunsOfWeakCharactersAreLabelled) {
  WriteModel(dir_, LexiconModelText(""));
  ASSERT_TRUE(LxInitSeg(dir_.path().c_str()));
  // Every character weak: the model's 甲丙 (甲 leans to B, 丙 to E).
  EXPECT_EQ(ModelEdges("天甲丙地"), (std::vector<Edge>{{2, 4}}));
  // 丙 starts the lexicon word 丙丁, so the run ends at 甲, which is
  // labelled without 丙 after it: no word across 丙丁.
  EXPECT_EQ(ModelEdges("天地甲丙丁"), std::vector<Edge>{});
  // A single weak character between lexicon words is not labelled.
  EXPECT_EQ(ModelEdges("丙丁甲丙丁"), std::vector<Edge>{});
}

TEST_F(UnknownWords, TheSearchTakesAConfidentUnknownWord) {
  WriteModel(dir_, ModelText());
  ASSERT_TRUE(LxInitSeg(dir_.path().c_str()));
  // Off, every unknown run is cut into characters; on, 甲乙 (strong
  // labels) costs the unknown-word cost and little doubt: 20 + ~0 < 12 + 12.
  EXPECT_EQ(Words(0, "天甲乙地"), (std::vector<std::string>{"天", "甲", "乙", "地"}));
  EXPECT_EQ(Words(kModeFindUnknownWords, "天甲乙地"),
            (std::vector<std::string>{"天", "甲乙", "地"}));
}

TEST(UnknownWordFinder, CostGrowsAsTheModelGrowsUnsure) {
  testutil::TempDir dir;
  WriteModel(dir, ModelText());
  ASSERT_TRUE(UnknownWordFinder::SetModelPath(dir.File("unk_model.dat").c_str()));
  UnknownWordFinder finder;
  std::string sure = Utf8ToGbk("天甲乙地");
  std::string unsure = Utf8ToGbk("天丙丁地");
  ASSERT_TRUE(finder.Find(sure.data(), sure.size()));
  ASSERT_EQ(finder.span_count(), 1u);
  float sure_cost = finder.spans()[0].cost;
  ASSERT_TRUE(finder.Find(unsure.data(), unsure.size()));
  ASSERT_EQ(finder.span_count(), 1u);
  float unsure_cost = finder.spans()[0].cost;
  EXPECT_GE(sure_cost, 0.0f);
  EXPECT_LT(sure_cost, 0.1f);
  EXPECT_GT(unsure_cost, 5 * sure_cost);
  UnknownWordFinder::UnInit();
}

TEST_F(UnknownWords, AMissingModelFailsOnlyTheHandlesThatAskForIt) {
  ASSERT_TRUE(LxInitSeg(dir_.path().c_str()));
  EXPECT_EQ(Words(kModeCommandLineDefault & ~kModeFindUnknownWords, "天甲乙地").size(), 4u);
  EXPECT_EQ(Words(kModeCommandLineDefault, "天甲乙地"), std::vector<std::string>{"<failed>"});
  EXPECT_EQ(Words(kModeFindUnknownWords, "天甲乙地"), std::vector<std::string>{"<failed>"});
  // Loading a directory that has the model makes the stage work again.
  LxUnInitSeg();
  WriteModel(dir_, ModelText());
  ASSERT_TRUE(LxInitSeg(dir_.path().c_str()));
  EXPECT_EQ(Words(kModeFindUnknownWords, "天甲乙地").size(), 3u);
}
