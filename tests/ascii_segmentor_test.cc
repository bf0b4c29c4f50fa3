// The ASCII segmentor on its own lattice: what each matcher finds, which
// candidate wins, the 's' merges, the pieces of URLs, e-mail addresses and
// dotted numbers, the language-model reading, and the simple and whole
// modes.
#include <gtest/gtest.h>
#include <regex.h>

#include <algorithm>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "ascii/AsciiDict.h"
#include "ascii/AsciiSegmentor.h"
#include "dict/CoreDict.h"
#include "dict/CoreRule.h"
#include "driver/SegMode.h"
#include "lattice/OmniSegNet.h"
#include "support/TestUtil.h"

using namespace new_seg;

namespace {

const char* const kLexicon[] = {"apple", "galaxy", "中国"};

class AsciiSegmentorTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new testutil::TempDir;
    std::vector<std::string> lexicon;
    for (const char* word : kLexicon) lexicon.push_back(std::string(word) + "\t1");
    testutil::WriteDataDir(*dir_, lexicon, {"5 1 1"});
    std::istringstream rules(
        "xabc\t1 3 0 1 3\n"   // only "abc" is cut, into a | bc
        "c++\t0 3 0 3\n"
        "c+\t0 2 0 1 2\n"     // a shorter rule over the same text
        "asp.net\t0 7 0 7\n");
    ASSERT_TRUE(CoreRule::BuildFromStream(rules, "test rules"));
    ASSERT_TRUE(CoreRule::Save((dir_->path() + "/core_rule.dat").c_str()));
    CoreRule::UnInit();
    dir_->Write("ascii_dict.txt",
                "hello\t0\t9.5\nworld\t0\t9.1\nni\t1\t9.8\nhao\t1\t8.7\n");
    ASSERT_TRUE(CoreDict::Init((dir_->path() + "/core_dict.dat").c_str()));
    ASSERT_TRUE(CoreRule::Init((dir_->path() + "/core_rule.dat").c_str()));
    ASSERT_TRUE(AsciiDict::Init((dir_->path() + "/ascii_dict.txt").c_str()));
  }
  static void TearDownTestSuite() {
    CoreDict::UnInit();
    CoreRule::UnInit();
    delete dir_;
  }

  // Segments the whole text as one run (or [begin, begin + len)) and lists
  // the lattice: phrases as <text>, terms as text/type with the attribute
  // id after '#' when it is not 0, ordered by position.
  std::string Segment(const std::string& text, int32_t mode = 0, size_t begin = 0,
                      size_t len = std::string::npos) {
    if (len == std::string::npos) len = text.size() - begin;
    SegMode seg_mode(mode);
    AsciiSegmentor segmentor(&seg_mode);
    OmniSegNet net(text.size() + 1);
    EXPECT_TRUE(net.Init());
    int result;
    if (seg_mode.is_use_whole_mode()) {
      result = segmentor.segment_in_whole(text.c_str(), text.size(), begin, len, &net);
    } else if (seg_mode.is_use_simple_mode()) {
      result = segmentor.segment_in_simple(text.c_str(), text.size(), begin, len, &net);
    } else {
      result = segmentor.segment(text.c_str(), text.size(), begin, len, &net);
    }
    EXPECT_EQ(result, 0) << text;
    return Describe(text, net);
  }

  static std::string Describe(const std::string& text, const OmniSegNet& net) {
    struct Entry {
      size_t begin, end;
      int phrase;
      std::string label;
    };
    std::vector<Entry> entries;
    static const char* const kTypes[] = {"cjk", "eng", "num", "seg"};
    for (size_t pos = 0; pos <= text.size(); ++pos) {
      const OmniSegNode* node = net.GetSegNode(pos);
      if (node == nullptr) continue;
      for (size_t k = 0; k < node->seg_item_size(); ++k) {
        const OmniSegItem& item = node->seg_items()[k];
        std::string label = text.substr(item.term_begin_pos, item.term_len) + "/" +
                            kTypes[item.undict_term_type];
        if (item.term_attribute_idx != 0) label += "#" + std::to_string(item.term_attribute_idx);
        entries.push_back({item.term_begin_pos, pos, 1, label});
      }
      for (size_t k = 0; k < node->phrase_item_size(); ++k) {
        const OmniPhraseItem& phrase = node->phrase_items()[k];
        entries.push_back({pos, phrase.phrase_end_pos, 0,
                           "<" + text.substr(pos, phrase.phrase_len) + ">"});
      }
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
      return a.begin != b.begin ? a.begin < b.begin : a.phrase < b.phrase;
    });
    std::string out;
    for (const Entry& e : entries) out += (out.empty() ? "" : " ") + e.label;
    return out;
  }

  static int Id(const char* word) { return CoreDict::ExactMatchSearch(word); }

  static testutil::TempDir* dir_;
};

testutil::TempDir* AsciiSegmentorTest::dir_ = nullptr;

const int32_t kLm = kModeUseAsciiLmMode;
const int32_t kLmPinyin = kModeUseAsciiLmMode | kModeUseAsciiLmPinyin;

TEST_F(AsciiSegmentorTest, OneByteRunIsOneEnglishTerm) {
  EXPECT_EQ(Segment("7"), "7/eng");
  EXPECT_EQ(Segment("%"), "%/eng");
  EXPECT_EQ(Segment("a"), "a/eng");
}

TEST_F(AsciiSegmentorTest, DottedNumbersAndDecimals) {
  EXPECT_EQ(Segment("3.14.2"), "<3.14.2> 3/num ./seg 14/num ./seg 2/num");
  EXPECT_EQ(Segment("192.168.0.1"),
            "<192.168.0.1> 192/num ./seg 168/num ./seg 0/num ./seg 1/num");
  // A decimal spans the dotted number over the same bytes, or over fewer
  // bytes, completely and replaces it.
  EXPECT_EQ(Segment("3.14"), "3.14/num");
  EXPECT_EQ(Segment("-3.14"), "-3.14/num");
  // ... but a longer dotted number keeps the decimal from claiming its start.
  EXPECT_EQ(Segment("v1.2.3"), "v/eng <1.2.3> 1/num ./seg 2/num ./seg 3/num");
}

TEST_F(AsciiSegmentorTest, APriceTakesItsDollarSign) {
  EXPECT_EQ(Segment("12.5$"), "12.5$/num");
  EXPECT_EQ(Segment("-0.5$x"), "-0.5$/num x/eng");
  // Only a decimal takes it.
  EXPECT_EQ(Segment("12$"), "12/num $/seg");
  EXPECT_EQ(Segment("12.5 $"), "12.5/num  /seg $/seg");
}

TEST_F(AsciiSegmentorTest, UrlsAndEmailAddressesInAnyCase) {
  EXPECT_EQ(Segment("HTTP://WWW.Sina.COM.cn"),
            "<HTTP://WWW.Sina.COM.cn> HTTP/eng :/seg ///seg WWW/eng ./seg Sina/eng ./seg "
            "COM/eng ./seg cn/eng");
  EXPECT_EQ(Segment("Foo-Bar@Example.COM"),
            "<Foo-Bar@Example.COM> Foo-Bar/eng @/seg Example/eng ./seg COM/eng");
  // Two dots in a row are two separators, never a word.
  EXPECT_EQ(Segment("www.a.com..x"),
            "<www.a.com..x> www/eng ./seg a/eng ./seg com/eng ./seg ./seg x/eng");
}

// The phrases of a URL and an e-mail address cover all of it, while the
// terms stay those of the patterns and the other matchers.
TEST_F(AsciiSegmentorTest, UrlAndEmailPhrasesCoverTheWholeAddress) {
  const struct {
    const char* text;
    const char* phrases;
  } kCases[] = {
      {"https://example.com/a-b_c?x=1&y=%20#top", "<https://example.com/a-b_c?x=1&y=%20#top>"},
      {"see example.com/a?b=1.", "<example.com/a?b=1>"},
      {"example.com:8080/x!", "<example.com:8080/x>"},
      {"(http://a.com/x_(1)) and (a.com/y)", "<http://a.com/x_(1)><a.com/y>"},
      {"www.sina.com.cn-x", "<www.sina.com.cn>"},
      {"abc.com/?q=a,b;c", "<abc.com/?q=a>"},
      {"first.last+tag@mail.example.co.uk.", "<first.last+tag@mail.example.co.uk>"},
      {"to:.x_y@a.com", "<x_y@a.com>"},
  };
  for (const auto& c : kCases) {
    std::string described = Segment(c.text), phrases;
    for (size_t open = described.find('<'); open != std::string::npos;
         open = described.find('<', open + 1)) {
      phrases += described.substr(open, described.find('>', open) - open + 1);
    }
    EXPECT_EQ(phrases, c.phrases) << c.text;
  }
  EXPECT_EQ(Segment("a.com/x?b=1"),
            "<a.com/x?b=1> a/eng ./seg com/x/eng ?/seg b/eng =/seg 1/num");
}

TEST_F(AsciiSegmentorTest, PatternsStayInsideTheirRun) {
  // Run "ab" of "ab中3.14": the dotted number lies in the next run.
  std::string text = "ab" + testutil::Utf8ToGbk("中") + "3.14";
  EXPECT_EQ(Segment(text, 0, 0, 2), "ab/eng");
  // A URL that would continue past the run is cut at the run's end.
  std::string url = "www.sina.com" + testutil::Utf8ToGbk("中") + "cn";
  EXPECT_EQ(Segment(url, 0, 0, 12), "<www.sina.com> www/eng ./seg sina/eng ./seg com/eng");
}

TEST_F(AsciiSegmentorTest, RulesCutOnlyTheirEffectivePartAndWinOverLaterMatches) {
  // At offset 4 "xabc" matches; its effective part "abc" is cut a | bc.
  EXPECT_EQ(Segment("zzzzxabcq"), "zzzzx/eng a/eng bc/eng q/eng");
  // The longer of two rules over the same text is applied.
  EXPECT_EQ(Segment("c++"), "c++/eng");
  EXPECT_EQ(Segment("c+"), "c/eng +/eng");
  // A URL spanning a rule's piece is dropped: no phrase.
  EXPECT_EQ(Segment("asp.net"), "asp.net/eng");
}

TEST_F(AsciiSegmentorTest, DictionaryWordsAndTheTrailingSMerges) {
  std::string apple = "#" + std::to_string(Id("apple"));
  std::string galaxy = "#" + std::to_string(Id("galaxy"));
  EXPECT_EQ(Segment("apple"), "apple/eng" + apple);
  EXPECT_EQ(Segment("apples"), "apples/eng" + apple);
  EXPECT_EQ(Segment("galaxys4"), "galaxy/eng" + galaxy + " s4/num");
  EXPECT_EQ(Segment("apples."), "apples/eng" + apple + " ./seg");
  // Upper-case S and an 's' after a non-dictionary piece stay apart.
  EXPECT_EQ(Segment("appleS"), "apple/eng" + apple + " S/eng");
  EXPECT_EQ(Segment("12s"), "12/num s/eng");
  // 's' before a dictionary word is not swallowed.
  EXPECT_EQ(Segment("applesapple"), "apple/eng" + apple + " s/eng apple/eng" + apple);
}

TEST_F(AsciiSegmentorTest, LanguageModelReading) {
  EXPECT_EQ(Segment("helloworld", kLm), "hello/eng world/eng");
  // Unknown letters in a row become one word; the backslash joins them,
  // punctuation does not (and, read as a word, replaces the separator).
  EXPECT_EQ(Segment("xyz", kLm), "xyz/eng");
  EXPECT_EQ(Segment("a\\b", kLm), "a\\b/eng");
  EXPECT_EQ(Segment("x,y", kLm), "x/eng ,/eng y/eng");
  // Pinyin is read only when asked for, and wins when it scores better.
  EXPECT_EQ(Segment("nihao", kLm), "nihao/eng");
  EXPECT_EQ(Segment("nihao", kLmPinyin), "ni/eng hao/eng");
  EXPECT_EQ(Segment("helloworld", kLmPinyin), "hello/eng world/eng");
}

TEST_F(AsciiSegmentorTest, SimpleAndWholeModes) {
  EXPECT_EQ(Segment("abc123!!?", kModeUseSimpleMode), "abc/eng 123/num !!/seg ?/seg");
  EXPECT_EQ(Segment("3.14", kModeUseSimpleMode), "3/num ./seg 14/num");
  EXPECT_EQ(Segment("foo.bar 3.14\tx", kModeUseWholeMode),
            "foo.bar/eng  /seg 3.14/eng \t/seg x/eng");
  // Whole mode wins over simple mode.
  EXPECT_EQ(Segment("a b", kModeUseWholeMode | kModeUseSimpleMode),
            "a/eng  /seg b/eng");
}

// URLs are searched only from the places where one can start; the spans
// found must be exactly those of a plain search with the expression (the
// phrases may reach further).
TEST_F(AsciiSegmentorTest, UrlSpansMatchThePlainExpressionSearch) {
  regex_t url;
  ASSERT_EQ(regcomp(&url, AsciiSegmentor::pattern_url_, REG_EXTENDED | REG_ICASE), 0);
  // No digits, '@' or rule patterns: every phrase comes from the URL search.
  const char* const pieces[] = {"http://", "HTTPS://", "ftp:/", "www", "bbb", "t", ".",
                                ".", "com", "cn", "Net", "org", "us", "info", "_",
                                "-", ":", "/", "k", "tk"};
  std::mt19937 random(7);
  SegMode seg_mode(0);
  AsciiSegmentor segmentor(&seg_mode);
  OmniSegNet net(128);
  ASSERT_TRUE(net.Init());
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    size_t length = 2 + random() % 60;
    while (text.size() < length) text += pieces[random() % (sizeof pieces / sizeof *pieces)];
    std::string expected, found;
    for (size_t from = 0; from < text.size();) {
      regmatch_t match;
      if (regexec(&url, text.c_str() + from, 1, &match, 0) != 0) break;
      expected += "<" + text.substr(from + match.rm_so, match.rm_eo - match.rm_so) + ">";
      from += match.rm_eo;
    }
    net.Clear();
    ASSERT_EQ(segmentor.segment(text.c_str(), text.size(), 0, text.size(), &net), 0);
    for (const AsciiSegmentor::Fragment& fragment : segmentor.fragments()) {
      if (fragment.type != AsciiSegmentor::TYPE_URL) continue;
      found += "<" + text.substr(fragment.begin, fragment.end - fragment.begin) + ">";
    }
    ASSERT_EQ(found, expected) << text;
  }
  regfree(&url);
}

// Terms of the first run position to the last must chain end to end.
bool TilesTheRun(const std::string& text, const OmniSegNet& net) {
  std::vector<bool> reached(text.size() + 1, false);
  reached[0] = true;
  for (size_t pos = 1; pos <= text.size(); ++pos) {
    const OmniSegNode* node = net.GetSegNode(pos);
    for (size_t k = 0; node != nullptr && k < node->seg_item_size(); ++k) {
      if (reached[node->seg_items()[k].term_begin_pos]) reached[pos] = true;
    }
  }
  return reached[text.size()];
}

TEST_F(AsciiSegmentorTest, HostileRunsAreCutWhole) {
  const std::string units[] = {"!",   "\"",     "7",         "a",   "1.",
                               "a-b@", "http://", "www.a.com.", "s",   ".-/@:!\"#$%a1"};
  for (int32_t mode : {0, kLmPinyin}) {
    for (const std::string& unit : units) {
      std::string text;
      while (text.size() + unit.size() <= 1020) text += unit;
      SegMode seg_mode(mode);
      AsciiSegmentor segmentor(&seg_mode);
      OmniSegNet net(1024);
      ASSERT_TRUE(net.Init());
      ASSERT_EQ(segmentor.segment(text.c_str(), text.size(), 0, text.size(), &net), 0) << unit;
      EXPECT_TRUE(TilesTheRun(text, net)) << unit;
    }
  }
}

}  // namespace
