// The public API end to end in single-character mode, GBK and UTF-8.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/TestUtil.h"
#include "zorvseg.h"

using namespace new_seg;
using testutil::Utf8ToGbk;

namespace {
const int32_t kSingle = kModeSingleWord;

class ApiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testutil::WriteMinimalDataDir(dir_);
    ASSERT_TRUE(LxInitSeg(dir_.path().c_str()));
    handle_ = LxCreateSegHandle(kSingle);
    ASSERT_NE(handle_, nullptr);
  }
  void TearDown() override {
    LxCloseSegHandle(handle_);
    LxUnInitSeg();
  }

  std::vector<std::string> Words(const std::string& text, size_t charset) {
    EXPECT_TRUE(LxSegment(handle_, text.data(), text.size(), charset));
    std::vector<std::string> words;
    for (size_t i = 0; i < LxGetResultCnt(handle_); ++i) {
      const token_t* t = LxGetBasicTokenAt(handle_, static_cast<int32_t>(i));
      words.emplace_back(t->word, t->wlen);
    }
    return words;
  }
  std::vector<std::string> MixWords() {
    std::vector<std::string> words;
    for (size_t i = 0; i < LxGetMixWordCnt(handle_); ++i) words.push_back(LxGetMixWordAt(handle_, i));
    return words;
  }

  testutil::TempDir dir_;
  HANDLE handle_ = nullptr;
};

std::string Join(const std::vector<std::string>& words) {
  std::string out;
  for (const std::string& w : words) out += w;
  return out;
}
}  // namespace

TEST_F(ApiTest, Utf8AndGbkCallsGiveTheSameWords) {
  std::string utf8 = "我爱北京天安门 abc123，Hello！";
  std::vector<std::string> from_utf8 = Words(utf8, kCharsetUTF8);
  std::vector<std::string> mix_utf8 = MixWords();
  std::vector<std::string> from_gbk = Words(Utf8ToGbk(utf8), kCharsetGBK);
  ASSERT_EQ(from_utf8.size(), from_gbk.size());
  for (size_t i = 0; i < from_gbk.size(); ++i) {
    EXPECT_EQ(from_utf8[i], testutil::GbkToUtf8(from_gbk[i]));
  }
  std::vector<std::string> expected = {"我", "爱", "北", "京", "天", "安", "门", " ", "abc",
                                       "123", "，", "Hello", "！"};
  EXPECT_EQ(from_utf8, expected);
  EXPECT_EQ(mix_utf8, expected);
}

TEST_F(ApiTest, Utf8CallKeepsEveryCharacterOutsideGbk) {
  std::string utf8 = "我😀𠀀é€™ok";
  std::vector<std::string> words = Words(utf8, kCharsetUTF8);
  EXPECT_EQ(Join(words), utf8);
  EXPECT_EQ(words[1], "😀");
  EXPECT_EQ(words[2], "𠀀");
}

TEST_F(ApiTest, InvalidBytesNeverCrashAndKeepTheRest) {
  std::string bad_utf8 = std::string("a\xC0\xFF", 3) + "好" + std::string("\xE4\xB8", 2);
  std::vector<std::string> words = Words(bad_utf8, kCharsetUTF8);
  ASSERT_FALSE(words.empty());
  EXPECT_EQ(words.front(), "a");
  EXPECT_NE(Join(words).find("好"), std::string::npos);
  EXPECT_NE(Join(words).find("\xEF\xBF\xBD"), std::string::npos);

  std::string bad_gbk = std::string("\xFF\x80\x81", 3) + "x" + std::string("\xB0", 1);
  EXPECT_EQ(Join(Words(bad_gbk, kCharsetGBK)), bad_gbk);
}

TEST_F(ApiTest, NulBytesAreKept) {
  std::string text("a\0b", 3);
  std::vector<std::string> words = Words(text, kCharsetUTF8);
  EXPECT_EQ(words, (std::vector<std::string>{"a", std::string("\0", 1), "b"}));
}

TEST_F(ApiTest, EmptyTextGivesNoResults) {
  EXPECT_TRUE(LxSegment(handle_, "", 0, kCharsetUTF8));
  EXPECT_EQ(LxGetResultCnt(handle_), 0u);
  EXPECT_EQ(LxGetMixWordCnt(handle_), 0u);
  EXPECT_EQ(LxGetPhraseCnt(handle_), 0u);
  EXPECT_EQ(LxGetAdditionalTokenCnt(handle_), 0u);
  EXPECT_TRUE(LxSegment(handle_, nullptr, 5, kCharsetGBK));
  EXPECT_EQ(LxGetResultCnt(handle_), 0u);
}

TEST_F(ApiTest, AccessorsReturnNullOutOfRange) {
  Words("ab cd", kCharsetGBK);
  size_t n = LxGetResultCnt(handle_);
  ASSERT_EQ(n, 3u);
  EXPECT_EQ(LxGetAt(handle_, -1), nullptr);
  EXPECT_EQ(LxGetWordAt(handle_, n), nullptr);
  EXPECT_EQ(LxGetWordAt(handle_, static_cast<size_t>(-1)), nullptr);
  EXPECT_EQ(LxGetBasicTokenAt(handle_, static_cast<int32_t>(n)), nullptr);
  EXPECT_EQ(LxGetMixTokenAt(handle_, -5), nullptr);
  EXPECT_EQ(LxGetPhraseAt(handle_, 0), nullptr);
  EXPECT_EQ(LxGetAdditionalTokenAt(handle_, 0), nullptr);
  ASSERT_NE(LxGetAt(handle_, 2), nullptr);
  EXPECT_STREQ(LxGetAt(handle_, 2)->word, "cd");
  EXPECT_EQ(LxGetAt(handle_, 2)->word, LxGetWordAt(handle_, 2));
  EXPECT_FALSE(LxGetAt(handle_, 2)->bcw);

  seg_tokens_t all{};
  LxGetAllSegInfo(handle_, all);
  EXPECT_EQ(all.fine_grain_tokens_num, 3u);
  EXPECT_EQ(all.mix_seg_tokens_num, 3u);
  EXPECT_EQ(all.thick_seg_tokens_num, 0u);
  EXPECT_STREQ(all.fine_grain_seg_tokens[0].word, "ab");
}

TEST_F(ApiTest, LongTextsAreCutIntoSentencesSeamlessly) {
  for (size_t len : {1020u, 1021u, 5000u}) {
    std::string text;
    while (text.size() < len) text += (text.size() % 3 == 0) ? "7" : Utf8ToGbk("字");
    text.resize(len);  // may end in a lone lead byte
    std::vector<std::string> words = Words(text, kCharsetGBK);
    EXPECT_EQ(Join(words), text) << len;
  }
  std::string utf8;
  while (utf8.size() < 20000) utf8 += "😀字a，";
  EXPECT_EQ(Join(Words(utf8, kCharsetUTF8)), utf8);
}

TEST_F(ApiTest, LongWordsSurviveUtf8Conversion) {
  // One letter run of 1020 bytes is one word: its UTF-8 form is as long.
  std::string run(1020, 'x');
  std::vector<std::string> words = Words(run, kCharsetUTF8);
  ASSERT_EQ(words.size(), 1u);
  EXPECT_EQ(words[0], run);
}

TEST_F(ApiTest, ModeBitsAndResetSegMode) {
  std::string text = Utf8ToGbk("ＡＢ愛");
  EXPECT_EQ(Words(text, kCharsetGBK),
            (std::vector<std::string>{Utf8ToGbk("Ａ"), Utf8ToGbk("Ｂ"), Utf8ToGbk("愛")}));
  ResetSegMode(handle_, kSingle | kModeSbcToDbc | kModeTraditionalToSimplified);
  EXPECT_EQ(Words(text, kCharsetGBK), (std::vector<std::string>{"AB", Utf8ToGbk("爱")}));
  ResetSegMode(handle_, kSingle | kModeSbcToDbc | kModeUpperToLower);
  EXPECT_EQ(Words(text, kCharsetGBK), (std::vector<std::string>{"ab", Utf8ToGbk("愛")}));
}

TEST_F(ApiTest, TaggingAndEntityBitsStillRunInSingleCharacterMode) {
  ResetSegMode(handle_, kModeModuleDefault | kSingle);
  EXPECT_EQ(Words("abc 12", kCharsetGBK), (std::vector<std::string>{"abc", " ", "12"}));
}

TEST_F(ApiTest, HundredMegabyteText) {
#ifdef ZORVSEG_SANITIZED
  const size_t kSize = 16u << 20;  // the sanitizers multiply time and memory
#else
  const size_t kSize = 100u << 20;
#endif
  std::string text;
  text.reserve(kSize);
  std::string chunk = "我爱北京天安门😀 abc123，";
  while (text.size() + chunk.size() <= kSize) text += chunk;
  ASSERT_TRUE(LxSegment(handle_, text.data(), text.size(), kCharsetUTF8));
  size_t total = 0;
  for (size_t i = 0; i < LxGetResultCnt(handle_); ++i) total += LxGetBasicTokenAt(handle_, i)->wlen;
  EXPECT_EQ(total, text.size());
}

TEST(ApiLifecycle, InitFailuresAndUnloadedHandles) {
  EXPECT_FALSE(LxInitSeg("/nonexistent/zorvseg/data"));
  EXPECT_FALSE(LxInitSeg(nullptr));
  testutil::TempDir file_dir;
  std::string file = file_dir.Write("plain-file", "x");
  EXPECT_FALSE(LxInitSeg(file.c_str()));

  testutil::TempDir dir;
  testutil::WriteMinimalDataDir(dir);
  ASSERT_TRUE(LxInitSeg((dir.path() + "/").c_str()));  // trailing slash is fine
  HANDLE handle = LxCreateSegHandle(kSingle);
  ASSERT_NE(handle, nullptr);
  EXPECT_TRUE(LxSegment(handle, "ab", 2, kCharsetGBK));
  LxUnInitSeg();
  EXPECT_FALSE(LxSegment(handle, "ab", 2, kCharsetGBK));
  ASSERT_TRUE(LxInitSeg(dir.path().c_str()));
  EXPECT_TRUE(LxSegment(handle, "ab", 2, kCharsetGBK));
  LxCloseSegHandle(handle);
  LxCloseSegHandle(nullptr);
  LxUnInitSeg();
}

TEST(ApiPosNames, FixedTable) {
  char name[8];
  LxPosId2Str(49, name);
  EXPECT_STREQ(name, "unk");
  LxPosId2Str(0, name);
  EXPECT_STREQ(name, "unk");
  LxPosId2Str(52, name);
  EXPECT_STREQ(name, "email");
  LxPosId2Str(1, name);
  EXPECT_STREQ(name, "a");
  LxPosId2Str(17, name);
  EXPECT_STREQ(name, "nr");
  LxPosId2Str(48, name);
  EXPECT_STREQ(name, "Zg");
  LxPosId2Str(53, name);
  EXPECT_STREQ(name, "unk");
  LxPosId2Str(255, name);
  EXPECT_STREQ(name, "unk");
}
