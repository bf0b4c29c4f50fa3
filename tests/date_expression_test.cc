// Date and time expressions: the length each text's expression gets, the
// time prefixes, and the sentence walk over a single-character lattice.
#include <gtest/gtest.h>

#include <clocale>
#include <sstream>
#include <string>

#include "lattice/OmniSegNet.h"
#include "lattice/OmniSegSingleWord.h"
#include "ner/NEDict.h"
#include "ner/NameEntityOtherType.h"
#include "support/TestUtil.h"

namespace {

using new_seg::NameEntityOtherType;
using new_seg::NEDict;
using new_seg::OmniSegNet;
using testutil::GbkToUtf8;
using testutil::Utf8ToGbk;

// The expression starting at the text's first character, as UTF-8.
std::string DateAtStart(NameEntityOtherType* dates, const std::string& text_utf8) {
  std::string text = Utf8ToGbk(text_utf8);
  return GbkToUtf8(text.substr(0, dates->GetDateNameEntity(text.data(), text.size(), 0)));
}

TEST(DateExpressionTest, EveryExpressionCompiles) {
  NameEntityOtherType dates;
  EXPECT_EQ(NameEntityOtherType::kPatternCount, dates.compiled_count());
}

TEST(DateExpressionTest, LongestExpressionAtTheStart) {
  const struct {
    const char* text;
    const char* date;
  } kCases[] = {
      {"2012-02-29是", "2012-02-29"},  // 29 February of a leap year
      {"2013-02-29是", ""},            // not a date, and not cut into 2013-02-2
      {"2012-1-[日", ""},              // a bracket is no day
      {"2012-1-9号", "2012-1-9"},
      {"10:30开会", "10:30"},          // not dropped as digits only: the colon
      {"12345开会", ""},
      {"下午三点半", "下午三点"},      // 半 only follows a numeral
      {"正月初八", "正月初八"},
      {"八月十八晚上", "八月十八"},  // not cut to 八月十
      {"八月十八日", "八月十八日"},
      {"2023年10月1日上午", "2023年10月1日"},
      {"9点30分，", "9点30分"},
      {"三天后", "三天"},
      {"20世纪80年代初", "20世纪80年代初"},
      {"公元前221年", "公元前221年"},
      {"上个月", ""},
      {"上3个月", "上3个月"},
      {"两千零八年五月", "两千零八年五月"},
      {"晚上八点一刻", "晚上八点"},
      {"两点一刻", "两点一刻"},
      {"十分二十五秒", "十分二十五秒"},
  };
  NameEntityOtherType dates;
  for (const auto& c : kCases) EXPECT_EQ(c.date, DateAtStart(&dates, c.text)) << c.text;
}

TEST(DateExpressionTest, NumbersAreNeverCut) {
  NameEntityOtherType dates;
  std::string text = Utf8ToGbk("123点钟");
  // 23点 would start inside 123.
  EXPECT_EQ(0u, dates.GetDateNameEntity(text.data(), text.size(), 1));
  // A digit run longer than any expression costs a bounded search and
  // yields nothing.
  std::string digits(1000, '7');
  digits += Utf8ToGbk("年");
  EXPECT_EQ(0u, dates.GetDateNameEntity(digits.data(), digits.size(), 0));
}

TEST(DateExpressionTest, FourByteCharacterBeforeADateIsNoDigit) {
  // The last byte of a GB18030 four-byte character is in '0'..'9'; the date
  // after it starts a number of its own.
  NameEntityOtherType dates;
  for (const char* before : {"😀", "𠀇", "\u00b7"}) {
    std::string prefix = Utf8ToGbk(before);
    std::string text = prefix + Utf8ToGbk("12月7日");
    EXPECT_EQ(Utf8ToGbk("12月7日").size(),
              dates.GetDateNameEntity(text.data(), text.size(), prefix.size()))
        << before;
  }
}

TEST(DateExpressionTest, MatchesBytesWhateverTheHostLocale) {
  std::string saved = std::setlocale(LC_ALL, nullptr);
  ASSERT_NE(nullptr, std::setlocale(LC_ALL, "C.UTF-8"));
  NameEntityOtherType dates;
  EXPECT_EQ(NameEntityOtherType::kPatternCount, dates.compiled_count());
  EXPECT_EQ("正月初八", DateAtStart(&dates, "正月初八"));
  std::setlocale(LC_ALL, saved.c_str());
}

TEST(DateExpressionTest, TimePrefixes) {
  const struct {
    std::string text;
    bool prefix;
  } kCases[] = {{Utf8ToGbk("周"), true},   {Utf8ToGbk("星期"), true}, {"7", true},
                {Utf8ToGbk("期"), false}, {Utf8ToGbk("星"), false},  {"x", false},
                {"\xD6", false},          {Utf8ToGbk("大年"), true}};
  for (const auto& c : kCases) {
    EXPECT_EQ(c.prefix, NameEntityOtherType::IsTimePrefix(c.text.data(), c.text.size(), 0))
        << GbkToUtf8(c.text);
  }
}

class DateWalkTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(net_.Init()); }
  void TearDown() override { NEDict::UnInit(); }

  void Dictionary(const std::string& source_utf8) {
    std::istringstream in(Utf8ToGbk(source_utf8));
    ASSERT_TRUE(NEDict::BuildFromStream(in, "dates.txt"));
  }
  // The dates of the sentence over a single-character path, as UTF-8
  // texts joined by '|'.
  std::string Dates(const std::string& sentence_utf8, size_t phrase_begin = 0,
                    size_t phrase_len = 0) {
    sentence_ = Utf8ToGbk(sentence_utf8);
    net_.Clear();
    new_seg::OmniSegSingleWord single(&net_);
    EXPECT_TRUE(single.Segment(sentence_.data(), sentence_.size()));
    if (phrase_len != 0) net_.AddPhrase(phrase_begin, phrase_len, 1);
    EXPECT_TRUE(dates_.GetDateTypeNameEntity(sentence_.data(), sentence_.size(), &net_,
                                             0xFFFFFFFFu));
    std::string out;
    for (size_t i = 0; i < dates_.holiday_ne_number(); ++i) {
      const auto& date = dates_.holiday_ne(i);
      out += (i ? "|" : "") + GbkToUtf8(sentence_.substr(date.start_pos, date.len));
    }
    return out;
  }

  OmniSegNet net_{1024};
  NameEntityOtherType dates_;
  std::string sentence_;
};

TEST_F(DateWalkTest, ExpressionsAndHolidaysAlongTheSentence) {
  Dictionary("春节\t131072\t0.9\n北京\t8192\t1\t0.9\n");
  EXPECT_EQ("2023年10月1日|9点30分",
            Dates("2023年10月1日上午9点30分，欧阳明在北京大学见到了王小二。"));
  EXPECT_EQ("春节|前3天", Dates("春节前3天到北京"));
  EXPECT_EQ("", Dates("2012-02-29"));  // no Chinese character: no walk
  EXPECT_EQ("2012-02-29", Dates("2012-02-29日"));
}

TEST_F(DateWalkTest, WholeSentenceHolidayNeedsItsScore) {
  Dictionary("春节\t131072\t0.6\n除夕\t131072\t0.59\n北京\t8192\t1\t0.9\n");
  // 0.6 stored as a float is just above the double 0.6.
  EXPECT_EQ("春节", Dates("春节"));
  EXPECT_EQ("除夕", Dates("除夕"));  // found by the walk instead
  EXPECT_EQ("", Dates("北京"));
}

TEST_F(DateWalkTest, SpanCuttingAPhraseIsNotADate) {
  // A phrase from inside the expression to beyond its end.
  EXPECT_EQ("", Dates("十点钟开会", 2, 6));
  EXPECT_EQ("十点", Dates("十点钟开会", 4, 4));
}

TEST_F(DateWalkTest, FourByteCharactersAreSteppedWhole) {
  // 𠀀 is a four-byte character whose second and fourth bytes are digits.
  EXPECT_EQ("三天", Dates("𠀀𠀀三天"));
  EXPECT_EQ("", Dates("𠀀"));
}

}  // namespace
