// Text preparation: helpers, encoding conversion, sentence cutting and
// normalisation.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/SegMode.h"
#include "support/TestUtil.h"
#include "text/EncodeConverter.h"
#include "text/SentenceNormalizer.h"
#include "text/SentenceSpliter.h"
#include "text/TextUtil.h"

using namespace new_seg;
using testutil::Utf8ToGbk;

TEST(TextUtil, SplitKeepsEmptyFields) {
  std::vector<std::string> parts;
  Split("a,,b", ",", parts);
  EXPECT_EQ(parts, (std::vector<std::string>{"a", "", "b"}));
  Split("", "\t", parts);
  EXPECT_EQ(parts, (std::vector<std::string>{""}));
  Split("x\t\ty\t", "\t\t", parts);
  EXPECT_EQ(parts, (std::vector<std::string>{"x", "y\t"}));
}

TEST(TextUtil, ToLowerLeavesDoubleByteTrailBytesAlone) {
  // 0xB0 0x41 is a double-byte character whose trail byte is 'A'.
  std::string s = "AB\xB0\x41Z";
  ToLower(s);
  EXPECT_EQ(s, "ab\xB0\x41z");
}

TEST(TextUtil, StrcmpcaseNeedsEqualLengths) {
  EXPECT_EQ(Strcmpcase("nr", "NR"), 0);
  EXPECT_EQ(Strcmpcase("n", "nr"), -1);
  EXPECT_EQ(Strcmpcase("nr", "n"), -1);
  EXPECT_EQ(Strcmpcase("", ""), 0);
}

TEST(EncodeConverter, RoundTripsCharactersOutsideGbk) {
  EncodeConverter conv;
  std::string utf8 = "ab我😀𠀀é";  // emoji, CJK extension B, Latin-1
  char gb[64];
  size_t gb_len = sizeof(gb);
  ASSERT_TRUE(conv.UTF2GBK(utf8.data(), utf8.size(), gb, gb_len));
  EXPECT_EQ(std::string(gb, 2), "ab");
  char back[64];
  size_t back_len = sizeof(back);
  ASSERT_TRUE(conv.GBK2UTF(gb, gb_len, back, back_len));
  EXPECT_EQ(std::string(back, back_len), utf8);
}

TEST(EncodeConverter, InvalidUtf8BecomesReplacementCharacter) {
  EncodeConverter conv;
  std::string bad = std::string("a\xFF", 2) + "b\xE4\xB8";  // stray byte, truncated sequence
  char gb[64];
  size_t gb_len = sizeof(gb);
  conv.UTF2GBK(bad.data(), bad.size(), gb, gb_len);
  char back[64];
  size_t back_len = sizeof(back);
  conv.GBK2UTF(gb, gb_len, back, back_len);
  std::string out(back, back_len);
  EXPECT_EQ(out.substr(0, 4), "a\xEF\xBF\xBD");
  EXPECT_EQ(out[4], 'b');
  EXPECT_NE(out.find("\xEF\xBF\xBD", 5), std::string::npos);
}

TEST(EncodeConverter, OutputCutAtWholeCharacterWhenFull) {
  EncodeConverter conv;
  std::string utf8 = "我爱北京";
  char gb[5];
  size_t gb_len = sizeof(gb);
  size_t consumed = 0;
  EXPECT_FALSE(conv.Utf8ToGb(utf8.data(), utf8.size(), gb, gb_len, consumed));
  EXPECT_EQ(gb_len, 4u);
  EXPECT_EQ(consumed, 6u);
}

namespace {
std::vector<size_t> SentenceLengths(const std::string& text) {
  SentenceSpliter spliter(1020);
  EXPECT_TRUE(spliter.Init());
  spliter.SetText(text.data(), text.size());
  std::vector<size_t> lengths;
  size_t len = 0;
  while (spliter.GetNextSentence(len) != nullptr) lengths.push_back(len);
  return lengths;
}
}  // namespace

TEST(SentenceSpliter, CutsOnlyTextsLongerThan1020Bytes) {
  EXPECT_EQ(SentenceLengths(std::string(1020, 'a')), std::vector<size_t>{1020});
  EXPECT_EQ(SentenceLengths(std::string(1021, 'a')), (std::vector<size_t>{1020, 1}));
  EXPECT_TRUE(SentenceLengths("").empty());
  // Punctuation inside a short text never cuts it.
  EXPECT_EQ(SentenceLengths("a, b. c! d"), std::vector<size_t>{10});
}

TEST(SentenceSpliter, CutsAfterFirstPunctuationInLookBackWindow) {
  std::string comma = Utf8ToGbk("，");
  std::string text = std::string(950, 'a') + comma + std::string(20, 'b') + comma +
                     std::string(100, 'c');
  EXPECT_EQ(SentenceLengths(text), (std::vector<size_t>{952, text.size() - 952}));
  // Punctuation before the window is not used.
  std::string early = std::string(10, 'a') + "," + std::string(1100, 'b');
  EXPECT_EQ(SentenceLengths(early)[0], 1020u);
}

TEST(SentenceSpliter, NeverCutsADoubleByteCharacter) {
  // 1019 ASCII bytes then double-byte characters: the window end falls
  // inside the first one.
  std::string text = std::string(1019, 'a') + Utf8ToGbk("我我我");
  std::vector<size_t> lengths = SentenceLengths(text);
  ASSERT_EQ(lengths.size(), 2u);
  EXPECT_EQ(lengths[0], 1019u);
  // All double-byte from the start: the cut lands on an even offset.
  std::string cjk;
  while (cjk.size() < 1100) cjk += Utf8ToGbk("我");
  lengths = SentenceLengths(cjk);
  EXPECT_EQ(lengths[0] % 2, 0u);
  EXPECT_EQ(lengths[0] + lengths[1], cjk.size());
}

TEST(SentenceSpliter, NeverCutsAFourByteCharacter) {
  std::string emoji = Utf8ToGbk("😀");
  ASSERT_EQ(emoji.size(), 4u);
  for (size_t prefix = 1014; prefix <= 1021; ++prefix) {
    std::string text = std::string(prefix, 'a');
    while (text.size() < 1300) text += emoji;
    size_t first = SentenceLengths(text)[0];
    EXPECT_TRUE(first <= prefix || (first - prefix) % 4 == 0) << "prefix " << prefix;
    EXPECT_LE(first, 1023u);
  }
}

TEST(SentenceSpliter, SentencesCoverTheWholeText) {
  std::string text;
  for (int i = 0; i < 5000; ++i) text += (i % 7 == 0) ? Utf8ToGbk("。") : Utf8ToGbk("字");
  size_t total = 0;
  for (size_t len : SentenceLengths(text)) {
    EXPECT_LE(len, 1021u);
    total += len;
  }
  EXPECT_EQ(total, text.size());
}

class NormalizerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testutil::WriteMinimalDataDir(dir_);
    SentenceNormalizer::UnInit();
    ASSERT_TRUE(SentenceNormalizer::Init((dir_.path() + "/t2s.dat").c_str()));
  }
  void TearDown() override { SentenceNormalizer::UnInit(); }

  // Returns {segmentation text, output text}.
  std::pair<std::string, std::string> Normalize(int32_t mode, const std::string& text) {
    SegMode seg_mode(mode);
    SentenceNormalizer normalizer(&seg_mode, 1024);
    EXPECT_TRUE(normalizer.Init());
    size_t len = 0;
    const char* seg = normalizer.Normalize(text.data(), text.size(), len);
    if (seg == nullptr) return {"<null>", "<null>"};
    size_t out_len = 0;
    const char* out = normalizer.GetOutputUsedStr(out_len);
    return {std::string(seg, len), std::string(out, out_len)};
  }

  testutil::TempDir dir_;
};

TEST_F(NormalizerTest, LowerCasesSegmentationTextOnly) {
  EXPECT_EQ(Normalize(0, "ABC"), std::make_pair(std::string("abc"), std::string("ABC")));
  EXPECT_EQ(Normalize(kModeUpperToLower, "ABC"),
            std::make_pair(std::string("abc"), std::string("abc")));
}

TEST_F(NormalizerTest, FullWidthBecomesHalfWidth) {
  auto r = Normalize(kModeSbcToDbc, "\xA3\xC1\xA3\xC2");
  EXPECT_EQ(r.first, "ab");
  EXPECT_EQ(r.second, "AB");
  // Full-width yen sign and A3 FE stay; A3 A1 is '!'.
  EXPECT_EQ(Normalize(kModeSbcToDbc, "\xA3\xA4\xA3\xFE\xA3\xA1").first, "\xA3\xA4\xA3\xFE!");
  // A whole double-byte character at the very end is still converted.
  EXPECT_EQ(Normalize(kModeSbcToDbc, "x\xA3\xB1").first, "x1");
}

// Only A3 A1 to A3 FD (but the yen sign A3 A4) are full-width ASCII; the
// private-use characters U+E5C6 to U+E5E5 (A3 81 to A3 A0) and A3 FF once
// came out as control bytes, U+E5CF as a line feed.
TEST_F(NormalizerTest, FullWidthRowNeverYieldsControlOrBlankBytes) {
  for (int second = 0x40; second <= 0xFF; ++second) {
    std::string character = {'\xA3', static_cast<char>(second)};
    std::string converted = Normalize(kModeSbcToDbc, character).second;
    bool full_width_ascii = second >= 0xA1 && second <= 0xFD && second != 0xA4;
    if (full_width_ascii) {
      EXPECT_EQ(converted, std::string(1, static_cast<char>(second - 0x80))) << second;
    } else {
      EXPECT_EQ(converted, character) << second;
    }
  }
  EXPECT_EQ(Utf8ToGbk("\uE5CF"), "\xA3\x8A");
}

TEST_F(NormalizerTest, TraditionalToSimplifiedUsesTable) {
  std::string trad = Utf8ToGbk("我愛中國");
  EXPECT_EQ(Normalize(kModeTraditionalToSimplified, trad).first, Utf8ToGbk("我爱中国"));
  EXPECT_EQ(Normalize(0, trad).first, trad);
}

TEST_F(NormalizerTest, LoneLeadByteAtEndIsKept) {
  int32_t all = kModeSbcToDbc | kModeTraditionalToSimplified;
  EXPECT_EQ(Normalize(all, "AB\xB0").first, "ab\xB0");
  EXPECT_EQ(Normalize(all, "\xB0").first, "\xB0");
}

TEST_F(NormalizerTest, FourByteCharactersPassUnchanged) {
  std::string text = Utf8ToGbk("A😀𠀀B");
  int32_t all = kModeSbcToDbc | kModeTraditionalToSimplified;
  auto r = Normalize(all, text);
  EXPECT_EQ(r.second, text);
  EXPECT_EQ(r.first, Utf8ToGbk("a😀𠀀b"));
}

TEST_F(NormalizerTest, RefusesLongSentencesAndUnloadedTable) {
  EXPECT_EQ(Normalize(0, std::string(1025, 'a')).first, "<null>");
  EXPECT_EQ(Normalize(0, std::string(1024, 'a')).first.size(), 1024u);
  SentenceNormalizer::UnInit();
  EXPECT_EQ(Normalize(0, "abc").first, "<null>");
}

TEST(NormalizerTable, ShortAndOddLinesDoNotBreakLoading) {
  testutil::TempDir dir;
  std::string gbk = Utf8ToGbk("愛爱");
  std::string content = std::string("\n\xFF\xFF\t") + gbk.substr(2) + "\nab\n" +
                        gbk.substr(0, 2) + "\t" + gbk.substr(2) + "\r\n" + std::string(500, 'x');
  std::string path = dir.Write("t2s.dat", content);
  SentenceNormalizer::UnInit();
  ASSERT_TRUE(SentenceNormalizer::Init(path.c_str()));
  EXPECT_EQ(SentenceNormalizer::SimplifiedOf(static_cast<uint16_t>(
                static_cast<unsigned char>(gbk[0]) + 256 * static_cast<unsigned char>(gbk[1]))),
            static_cast<uint16_t>(static_cast<unsigned char>(gbk[2]) +
                                  256 * static_cast<unsigned char>(gbk[3])));
  EXPECT_EQ(SentenceNormalizer::SimplifiedOf(0xFFFF), 0);
  SentenceNormalizer::UnInit();
  EXPECT_FALSE(SentenceNormalizer::Init((dir.path() + "/missing.dat").c_str()));
}

TEST(EncodeConverter, TablesAgreeWithTheSystemConverterOnEveryBmpCharacter) {
  EncodeConverter conv;
  size_t checked = 0;
  for (uint32_t cp = 0x80; cp < 0x10000; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    char utf8[4];
    size_t len;
    if (cp < 0x800) {
      utf8[0] = static_cast<char>(0xC0 | (cp >> 6));
      utf8[1] = static_cast<char>(0x80 | (cp & 0x3F));
      len = 2;
    } else {
      utf8[0] = static_cast<char>(0xE0 | (cp >> 12));
      utf8[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      utf8[2] = static_cast<char>(0x80 | (cp & 0x3F));
      len = 3;
    }
    std::string expected;
    try {
      expected = Utf8ToGbk(std::string(utf8, len));
    } catch (const std::exception&) {
      continue;  // the system converter has no mapping either
    }
    char gb[8];
    size_t gb_len = sizeof(gb);
    conv.UTF2GBK(utf8, len, gb, gb_len);
    ASSERT_EQ(std::string(gb, gb_len), expected) << std::hex << cp;
    char back[8];
    size_t back_len = sizeof(back);
    conv.GBK2UTF(gb, gb_len, back, back_len);
    ASSERT_EQ(std::string(back, back_len), std::string(utf8, len)) << std::hex << cp;
    ++checked;
  }
  EXPECT_GT(checked, 60000u);
}

TEST(EncodeConverter, FourByteArithmeticAgreesWithTheSystemConverterOnOtherPlanes) {
  EncodeConverter conv;
  std::vector<uint32_t> code_points = {0x10000, 0x1F600, 0x20000, 0x10FFFF};
  for (uint32_t cp = 0x10000; cp <= 0x10FFFF; cp += 997) code_points.push_back(cp);
  for (uint32_t cp : code_points) {
    char utf8[4] = {static_cast<char>(0xF0 | (cp >> 18)),
                    static_cast<char>(0x80 | ((cp >> 12) & 0x3F)),
                    static_cast<char>(0x80 | ((cp >> 6) & 0x3F)),
                    static_cast<char>(0x80 | (cp & 0x3F))};
    std::string expected = Utf8ToGbk(std::string(utf8, 4));
    char gb[8];
    size_t gb_len = sizeof(gb);
    conv.UTF2GBK(utf8, 4, gb, gb_len);
    ASSERT_EQ(std::string(gb, gb_len), expected) << std::hex << cp;
    char back[8];
    size_t back_len = sizeof(back);
    conv.GBK2UTF(gb, gb_len, back, back_len);
    ASSERT_EQ(std::string(back, back_len), std::string(utf8, 4)) << std::hex << cp;
  }
  // Four-byte sequences that name no character come back as U+FFFD, byte by byte.
  for (const char* none : {"\x84\x31\xA5\x30", "\xFE\x39\xFE\x39", "\x8F\x39\xFE\x39"}) {
    char back[64];
    size_t back_len = sizeof(back);
    conv.GBK2UTF(none, 4, back, back_len);
    EXPECT_EQ(std::string(back, 3), "\xEF\xBF\xBD") << none;
  }
}
