// The ASCII dictionary file: weights, variants, defaults, repeated keys,
// lines to skip, and the cap on prefix results.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ascii/AsciiDict.h"
#include "support/ScratchDir.h"

namespace {

using dict_test::ScratchDir;
using dict_test::WriteFile;
using new_seg::AsciiDict;
using new_seg::AsciiResult;

class AsciiDictTest : public ::testing::Test {
 protected:
  bool Load(const std::string& content) {
    std::string path = dir_.File("ascii_dict.txt");
    WriteFile(path, content);
    return AsciiDict::Init(path.c_str());
  }
  // "key=weight" for every prefix of text in the chosen trie.
  static std::string Lookup(new_seg::AsciiType type, const std::string& text) {
    std::vector<AsciiResult> results;
    AsciiDict::CommonPrefixSearch(type, text.data(), text.size(), results);
    std::string out;
    for (const AsciiResult& r : results) {
      out += (out.empty() ? "" : " ") + std::string(r.key) + "=" + std::to_string(r.prob);
    }
    return out;
  }

  ScratchDir dir_;
};

TEST_F(AsciiDictTest, WeightsVariantsAndTheSmallestWeight) {
  ASSERT_TRUE(Load("run\t0\t4.5\tran,runs\nrunner\t0\nrun\t0\t3.0\nru\t0\t\n"
                   "ni\t1\t2.5\tignored\nn\t1\t0\n"));
  // 3.0 is the smallest positive English weight: unweighted keys take it.
  EXPECT_EQ(Lookup(new_seg::kEng, "runners"), "ru=3.000000 run=3.000000 runner=3.000000");
  EXPECT_EQ(Lookup(new_seg::kEng, "ran"), "ran=4.500000");
  EXPECT_EQ(Lookup(new_seg::kEng, "runs"), "ru=3.000000 run=3.000000 runs=4.500000");
  EXPECT_DOUBLE_EQ(AsciiDict::default_eng_prob(), 0.8 * 3.0);
  // Pinyin keeps its own trie and minimum; a weight of 0 is stored as 0.
  EXPECT_EQ(Lookup(new_seg::kPinyin, "ni"), "n=0.000000 ni=2.500000");
  EXPECT_EQ(Lookup(new_seg::kPinyin, "ignored"), "");
  EXPECT_DOUBLE_EQ(AsciiDict::default_pinyin_prob(), 0.8 * 2.5);
}

TEST_F(AsciiDictTest, WithoutPositiveWeightsTheMinimumStaysAtAHundred) {
  ASSERT_TRUE(Load("a\t0\t0\nb\t0\n"));
  EXPECT_DOUBLE_EQ(AsciiDict::default_eng_prob(), 80.0);
  EXPECT_EQ(Lookup(new_seg::kEng, "b"), "b=100.000000");
  EXPECT_EQ(Lookup(new_seg::kPinyin, "b"), "");
}

TEST_F(AsciiDictTest, MalformedLinesAreSkipped) {
  ASSERT_TRUE(Load("solo\n\nkind\t2\t5\n\t0\t5\nnum\t0\t7x\nword\t0\tabc\ncr\t0\t6\r\n"
                   "ok\t0\t5\textra,\t\tfields\n"));
  EXPECT_EQ(Lookup(new_seg::kEng, "solo"), "");
  EXPECT_EQ(Lookup(new_seg::kEng, "kind"), "");
  EXPECT_EQ(Lookup(new_seg::kEng, "num"), "num=7.000000");    // numeric prefix
  EXPECT_EQ(Lookup(new_seg::kEng, "word"), "word=0.000000");  // unparsable
  EXPECT_EQ(Lookup(new_seg::kEng, "cr"), "cr=6.000000");
  EXPECT_EQ(Lookup(new_seg::kEng, "extra"), "extra=5.000000");
}

TEST_F(AsciiDictTest, UnstorableWeightsAndMissingFilesFail) {
  testing::internal::CaptureStderr();
  EXPECT_FALSE(Load("ok\t0\t5\nhuge\t0\t1e12\n"));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("ascii_dict.txt:2:"), std::string::npos);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(Load("inf\t0\tinf\n"));
  EXPECT_FALSE(AsciiDict::Init(dir_.File("absent.txt").c_str()));
  testing::internal::GetCapturedStderr();
}

TEST_F(AsciiDictTest, PrefixResultsStopAtThirty) {
  std::string content, text;
  for (int i = 0; i < 35; ++i) {
    text += 'a';
    content += text + "\t0\t1\n";
  }
  ASSERT_TRUE(Load(content));
  std::vector<AsciiResult> results(1, AsciiResult{"", 0});
  EXPECT_EQ(AsciiDict::CommonPrefixSearch(new_seg::kEng, text.data(), text.size(), results), 31u);
  EXPECT_EQ(results.back().key.size(), 30u);
  EXPECT_EQ(AsciiDict::CommonPrefixSearch(static_cast<new_seg::AsciiType>(2), text.data(),
                                          text.size(), results),
            31u);
}

}  // namespace
