// What the trainer decides from a corpus about numbers written with digits:
// which units join them, for numbers of any length or of some digit counts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/NumberClassTrainer.h"
#include "support/TestUtil.h"

using testutil::Utf8ToGbk;
using zorvseg_tools::NumberClassTrainer;

namespace {

using Sentences = std::vector<std::vector<std::string>>;

// `times` copies of a sentence of UTF-8 words.
void Add(Sentences* sentences, size_t times, const std::vector<std::string>& words) {
  std::vector<std::string> gb;
  for (const std::string& word : words) gb.push_back(Utf8ToGbk(word));
  for (size_t i = 0; i < times; ++i) sentences->push_back(gb);
}

// Years whole, quantities apart ("3 年", "80 年代"), 月 with any number,
// 分 mostly apart, 万 after numbers of every length; three- and five-digit
// numbers before 年 are too rare to decide for themselves.
NumberClassTrainer Trained() {
  Sentences corpus;
  Add(&corpus, 40, {"1998年", "1月", "12月", "3", "年", "80", "年代", "5万", "12万"});
  Add(&corpus, 20, {"123万", "1234万", "12345万", "10", "分", "7", "分钟"});
  Add(&corpus, 4, {"186年", "12345年", "30分"});
  Add(&corpus, 10, {"1998", "年", "19·1%", "3", "—", "5"});
  Add(&corpus, 4, {"3·5%"});
  NumberClassTrainer trainer;
  trainer.Learn(corpus);
  return trainer;
}

}  // namespace

TEST(NumberClassTraining, UnitsJoinTheDigitCountsTheCorpusWritesThemWith) {
  NumberClassTrainer trainer = Trained();
  EXPECT_EQ(trainer.joiners(), 1u);  // ·, not the dash between numbers
  EXPECT_EQ(trainer.units(), 3u);    // 月 万 %
  EXPECT_EQ(trainer.shaped_units(), 1u);  // 年
  struct Case {
    std::string word;
    std::string key;
  } cases[] = {
      {"2023年", "N4年"},      {"3年", ""},        {"80年", ""},
      // Rare lengths follow the unit as a whole: joined 48, apart 90.
      {"186年", ""},           {"12345年", ""},    {"10月", "N月"},
      {"123456万", "N万"},     {"42", "N"},        {"19·1%", "N%"},
      {"30分", ""},            {"1·2·3年", ""},    {"年", ""},
      {"3d", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(trainer.ClassOf(Utf8ToGbk(c.word)), Utf8ToGbk(c.key)) << c.word;
  }
}

TEST(NumberClassTraining, RareLengthsFollowTheUnitAsAWhole) {
  // 年 joins most numbers, but one- and two-digit ones only rarely.
  Sentences corpus;
  Add(&corpus, 30, {"1998年", "186年"});
  Add(&corpus, 12, {"3", "年", "80", "年"});
  Add(&corpus, 2, {"12345年"});
  NumberClassTrainer trainer;
  trainer.Learn(corpus);
  EXPECT_EQ(trainer.units(), 0u);
  EXPECT_EQ(trainer.shaped_units(), 1u);
  EXPECT_EQ(trainer.ClassOf(Utf8ToGbk("2023年")), Utf8ToGbk("N4年"));
  EXPECT_EQ(trainer.ClassOf(Utf8ToGbk("123年")), Utf8ToGbk("N3年"));
  EXPECT_EQ(trainer.ClassOf(Utf8ToGbk("123456年")), Utf8ToGbk("N5年"));
  EXPECT_EQ(trainer.ClassOf(Utf8ToGbk("3年")), "");
  EXPECT_EQ(trainer.ClassOf(Utf8ToGbk("80年")), "");
}
