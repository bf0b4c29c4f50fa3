// Dictionary segmentation end to end: small lexicons and n-gram tables whose
// best paths are known by hand, through the builder, search and adjuster.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "dict/CoreDict.h"
#include "lattice/BackwardMaximumMatcher.h"
#include "lattice/ForwardMaximumMatcher.h"
#include "lattice/NumberUnitMatcher.h"
#include "lattice/OmniSegNet.h"
#include "lattice/OmniSegNetSearcher.h"
#include "support/TestUtil.h"
#include "zorvseg.h"

using namespace new_seg;
using testutil::Utf8ToGbk;

namespace {

struct Entry {
  std::string word;
  std::string type_and_splits;  // "1", "258 0 4 8 14", ...
  double cost;                  // single-word cost
};

class SegmentTest : public ::testing::Test {
 protected:
  void Load(const std::vector<Entry>& entries, const std::vector<std::string>& pairs = {}) {
    std::vector<std::string> words, lexicon, ngram;
    for (const Entry& e : entries) words.push_back(e.word);
    for (const Entry& e : entries) {
      lexicon.push_back(e.word + "\t" + e.type_and_splits);
      ngram.push_back(std::to_string(e.cost) + " 1 " +
                      std::to_string(testutil::WordId(words, e.word)));
    }
    // Pairs are written "cost first second" with words for ids.
    for (const std::string& p : pairs) {
      size_t a = p.find(' '), b = p.find(' ', a + 1);
      std::string first = p.substr(a + 1, b - a - 1), second = p.substr(b + 1);
      int first_id = first == "^" ? kSentenceStartIdx : testutil::WordId(words, first);
      ngram.push_back(p.substr(0, a) + " 1 " + std::to_string(first_id) + " " +
                      std::to_string(testutil::WordId(words, second)));
    }
    testutil::WriteDataDir(dir_, lexicon, ngram);
    ASSERT_TRUE(LxInitSeg(dir_.path().c_str()));
    handle_ = LxCreateSegHandle(0);
    ASSERT_NE(handle_, nullptr);
  }
  void TearDown() override {
    LxCloseSegHandle(handle_);
    LxUnInitSeg();
  }

  // The class the lattice gives each word: the id of `key`, or none when
  // the key is empty.
  struct ClassCase {
    std::string word;
    std::string key;
    bool bare;
  };
  void ExpectClasses(const std::vector<ClassCase>& cases) {
    NumberUnitMatcher matcher;
    for (const ClassCase& c : cases) {
      std::string gb = Utf8ToGbk(c.word);
      bool bare = false;
      int id = c.key.empty() ? -1 : CoreDict::ExactMatchSearch(Utf8ToGbk(c.key).c_str());
      EXPECT_EQ(matcher.ClassIdOf(gb.data(), gb.size(), &bare), id) << c.word;
      if (id > 0) {
        EXPECT_EQ(bare, c.bare) << c.word;
      }
    }
  }

  std::string Basic(const std::string& text) {
    EXPECT_TRUE(LxSegment(handle_, text.data(), text.size(), kCharsetUTF8));
    return Join(LxGetResultCnt(handle_), [&](size_t i) { return LxGetWordAt(handle_, i); });
  }
  std::string Mix() {
    return Join(LxGetMixWordCnt(handle_), [&](size_t i) { return LxGetMixWordAt(handle_, i); });
  }
  std::string Phrases() {
    return Join(LxGetPhraseCnt(handle_), [&](size_t i) {
      const comb_token_t* t = LxGetPhraseTokenAt(handle_, static_cast<int32_t>(i));
      return std::string(t->word) + "[" + std::to_string(t->sidx) + "," +
             std::to_string(t->eidx) + ")";
    });
  }
  template <typename F>
  static std::string Join(size_t n, F word) {
    std::string out;
    for (size_t i = 0; i < n; ++i) out += (i ? " " : "") + std::string(word(i));
    return out;
  }

  testutil::TempDir dir_;
  HANDLE handle_ = nullptr;
};

}  // namespace

TEST_F(SegmentTest, CheapestPathWinsWhereWordsOverlap) {
  Load({{"研究", "1", 5}, {"研究生", "1", 6}, {"生命", "1", 5}, {"命", "1", 8},
        {"起源", "1", 5}, {"生", "1", 7}});
  EXPECT_EQ(Basic("研究生命起源"), "研究 生命 起源");
  EXPECT_EQ(Mix(), "研究 生命 起源");
}

TEST_F(SegmentTest, EqualCostsGoToTheLaterEdgeAtTheDecidingNode) {
  // 研究+生命 and 研究生+命 both cost 10 bits (plus the same back-off twice);
  // at the last node 生命 is listed before 命, so the path through 命 wins.
  Load({{"研究", "1", 5}, {"研究生", "1", 6}, {"生命", "1", 5}, {"命", "1", 4}});
  EXPECT_EQ(Basic("研究生命"), "研究生 命");
}

TEST_F(SegmentTest, PairCostsOverrideSingleWordCosts) {
  // Alone, 研究生/命 is dearer; a cheap pair after 研究生 turns it round.
  Load({{"研究", "1", 5}, {"研究生", "1", 6}, {"生命", "1", 5}, {"命", "1", 8},
        {"起源", "1", 5}},
       {"1 研究生 命", "1 命 起源"});
  EXPECT_EQ(Basic("研究生命起源"), "研究生 命 起源");
}

TEST_F(SegmentTest, StartPairsAreKeyedBySentenceStart) {
  Load({{"研究", "1", 5}, {"研究生", "1", 6}, {"生命", "1", 5}, {"命", "1", 8}},
       {"0.5 ^ 研究生", "0.5 研究生 命"});
  EXPECT_EQ(Basic("研究生命"), "研究生 命");
}

TEST_F(SegmentTest, UnknownCharactersGetEdgesOfTheirOwn) {
  Load({{"北京", "1", 5}});
  EXPECT_EQ(Basic("北京欢迎你"), "北京 欢 迎 你");
  EXPECT_EQ(Basic("😀北京"), "😀 北京");
  EXPECT_EQ(Basic("abc北京123"), "abc 北京 123");
}

TEST_F(SegmentTest, WordsThatStartWithAsciiAreFound) {
  Load({{"1月", "1", 4}, {"t恤", "1", 4}, {"月", "1", 6}, {"恤", "1", 12}, {"衫", "1", 6}});
  EXPECT_EQ(Basic("1月"), "1月");
  EXPECT_EQ(Basic("买t恤衫"), "买 t恤 衫");
  // Only words running on past the ASCII run count, from a token start.
  EXPECT_EQ(Basic("11月"), "11 月");
  EXPECT_EQ(Basic("ab 1月"), "ab   1月");
  EXPECT_EQ(Basic("1"), "1");
}

TEST_F(SegmentTest, NumbersJoinTheUnitsTheirClassesList) {
  // N stands for any digit number; N·N lets '·' join two digit groups.
  Load({{"N", "1", 6}, {"N年", "1", 7}, {"N%", "1", 8}, {"N·N", "1", 30}, {"年", "1", 9},
        {"年代", "1", 9}, {"代", "1", 12}},
       {"1 N 年代"});
  EXPECT_EQ(Basic("2023年"), "2023年");
  EXPECT_EQ(Basic("19·1%"), "19·1%");
  EXPECT_EQ(Basic("年19·1"), "年 19·1");
  // The pair costs keep a unit out where the corpus writes it apart.
  EXPECT_EQ(Basic("80年代"), "80 年代");
  // Codes: digits touching letters, digit groups joined twice.
  EXPECT_EQ(Basic("a3年"), "a 3 年");
  EXPECT_EQ(Basic("1·2·3年"), "1 · 2 · 3 年");
  // A four-byte character ends in a byte that looks like a digit (😀 is
  // 94 39 FC 36 in GB18030); the number after it still joins its unit.
  EXPECT_EQ(Basic("😀2023年"), "😀 2023年");
  EXPECT_EQ(Basic("𠀇19·1%"), "𠀇 19·1%");

  ExpectClasses({
      {"2023年", "N年", false},
      {"19·1", "N", true},
      {"5%", "N%", false},
      {"1·2·3", "", false},
      {"3d", "", false},
      {"年", "", false},
      {"3年代", "", false},
  });
}

TEST_F(SegmentTest, ShapedUnitsJoinOnlyNumbersOfTheirDigitCount) {
  // 年 joins four-digit numbers only (N4年), % any number (N%); five or
  // more digits share the mark 5.
  Load({{"N", "1", 6}, {"N4年", "1", 7}, {"N5万", "1", 7}, {"N%", "1", 8}, {"N·N", "1", 30},
        {"年", "1", 9}, {"万", "1", 9}});
  EXPECT_EQ(Basic("1998年"), "1998年");
  EXPECT_EQ(Basic("3年"), "3 年");
  EXPECT_EQ(Basic("80年"), "80 年");
  EXPECT_EQ(Basic("12345年"), "12345 年");
  EXPECT_EQ(Basic("12345万"), "12345万");
  EXPECT_EQ(Basic("1234567万"), "1234567万");
  EXPECT_EQ(Basic("1234万"), "1234 万");
  // The first digit group gives the shape.
  EXPECT_EQ(Basic("1998·5年"), "1998·5年");
  EXPECT_EQ(Basic("3·1998年"), "3·1998 年");
  EXPECT_EQ(Basic("1998%"), "1998%");

  ExpectClasses({
      {"1998年", "N4年", false},
      {"3年", "", false},
      {"123456万", "N5万", false},
      {"1998", "N", true},
      {"7%", "N%", false},
      {"1998年代", "", false},
      {"年", "", false},
  });
}

TEST_F(SegmentTest, PhraseWithSplitPositionsIsRecutAndReportedWhole) {
  // 中华人民共和国 is a reportable phrase (0x02 | 0x100) cut 0 4 8 14.
  Load({{"中华人民共和国", "258 0 4 8 14", 3}, {"中华人民", "1", 4}, {"中华", "1", 6},
        {"人民", "1", 6}, {"共和国", "1", 5}});
  EXPECT_EQ(Basic("中华人民共和国"), "中华 人民 共和国");
  EXPECT_EQ(Phrases(), "中华人民共和国[0,3)");
  EXPECT_EQ(Mix(), "中华人民共和国");
}

TEST_F(SegmentTest, RecutStopsAtAPartMissingFromTheDictionary) {
  Load({{"中华人民共和国", "258 0 4 8 14", 3}, {"中华人民", "1", 4}, {"中华", "1", 6},
        {"共和国", "1", 5}});
  // 人民 is unknown: 中华 is split off, the rest keeps its earlier cut.
  EXPECT_EQ(Basic("中华人民共和国"), "中华 人民 共和国");
  EXPECT_EQ(Basic("中华人民共和国").find("中华人民 "), std::string::npos);
}

TEST_F(SegmentTest, CompoundIsAddedAsItsParts) {
  // 一九九八年 as a compound only (bit 0x04) cut 0 8 10.
  Load({{"一九九八年", "4 0 8 10", 4}, {"一九九八", "1", 6}, {"年", "1", 4}});
  EXPECT_EQ(Basic("一九九八年"), "一九九八 年");
}

TEST_F(SegmentTest, ExhaustiveSpanAddsEveryWordInside) {
  // 0x09: a word whose span is segmented exhaustively, so the cheaper cut
  // inside it can win.
  Load({{"长江大桥", "9", 20}, {"长江", "1", 3}, {"大桥", "1", 3}, {"江大", "1", 9}});
  EXPECT_EQ(Basic("长江大桥"), "长江 大桥");
}

TEST_F(SegmentTest, SentencesLongerThanTheLatticeAreCutAndJoined) {
  Load({{"北京", "1", 5}});
  std::string text;
  while (text.size() < 9000) text += "北京，";
  std::string out = Basic(text);
  std::string rejoined;
  for (char c : out) if (c != ' ') rejoined += c;
  EXPECT_EQ(rejoined, text);
}

TEST(SearcherPenalty, WordCuttingIntoAPhraseIsCharged) {
  OmniSegNet net(32);
  ASSERT_TRUE(net.Init());
  OmniSegNetSearcher searcher(&net);
  ASSERT_EQ(net.AddPhrase(2, 6, 7), 0);  // phrase over bytes [2, 8)
  OmniSegItem crossing{};
  crossing.term_begin_pos = 0;
  crossing.term_len = 4;  // the phrase starts inside and ends 2 bytes after
  ASSERT_TRUE(searcher.GetSegItemDiscount(crossing));
  EXPECT_FLOAT_EQ(crossing.weight_discount, static_cast<float>(-std::log(0.8)));
  OmniSegItem inside{};
  inside.term_begin_pos = 2;
  inside.term_len = 4;
  EXPECT_FALSE(searcher.GetSegItemDiscount(inside));
  OmniSegItem one_byte{};
  one_byte.term_begin_pos = 1;
  one_byte.term_len = 1;
  EXPECT_FALSE(searcher.GetSegItemDiscount(one_byte));
}

TEST(SearcherPath, LastPositionWithoutEdgeIsABrokenPath) {
  OmniSegNet net(32);
  ASSERT_TRUE(net.Init());
  OmniSegNetSearcher searcher(&net);
  net.AddTerm(0, 2, 0, OmniSegItem::TYPE_CJK);
  net.GetSegNode(6, 0);  // the lattice now reaches position 6, with no edge there
  EXPECT_EQ(searcher.Search(), -9);
}

TEST_F(SegmentTest, MaximumMatchersBothDirections) {
  Load({{"研究", "1", 5}, {"研究生", "1", 6}, {"生命", "1", 5}, {"起源", "1", 5}});
  std::string text = Utf8ToGbk("研究生命起源");
  std::vector<size_t> forward, backward;
  EXPECT_EQ(ForwardMaximumMatcher().Segment(text.data(), text.size(), forward), 3u);
  EXPECT_EQ(forward, (std::vector<size_t>{6, 8, 12}));
  BackwardMaximumMatcher().Segment(text.data(), text.size(), backward);
  EXPECT_EQ(backward, (std::vector<size_t>{4, 8, 12}));
  std::vector<size_t> single;
  BackwardMaximumMatcher().Segment("x", 1, single);
  EXPECT_EQ(single, std::vector<size_t>{1});
  std::vector<size_t> lone;
  ForwardMaximumMatcher().Segment("a\xB0", 2, lone);
  EXPECT_EQ(lone, (std::vector<size_t>{1, 2}));
}
