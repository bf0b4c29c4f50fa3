// Spans of the results in the caller's text: through UTF-8 conversion,
// sentence splitting and normalisation, every basic word points at the
// characters it was cut from, and the basic words cover the text.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support/TestUtil.h"
#include "zorvseg.h"

using namespace new_seg;
using testutil::Utf8ToGbk;

namespace {

const int32_t kNormalise = kModeSbcToDbc | kModeTraditionalToSimplified | kModeUpperToLower;

struct Word {
  std::string text;
  token_span_t span;
};

class SpanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // 中华人民共和国 is a reportable phrase cut into three words.
    const std::vector<std::string> words = {"中华人民共和国", "中华", "人民", "共和国",
                                            "我", "爱", "北京", "天安门"};
    std::vector<std::string> lexicon, ngram;
    for (const std::string& w : words) {
      lexicon.push_back(w + (w == "中华人民共和国" ? "\t258 0 4 8 14" : "\t1"));
      ngram.push_back("8 1 " + std::to_string(testutil::WordId(words, w)));
    }
    testutil::WriteDataDir(dir_, lexicon, ngram);
    ASSERT_TRUE(LxInitSeg(dir_.path().c_str()));
    handle_ = LxCreateSegHandle(0);
    reference_ = LxCreateSegHandle(kModeSingleWord);
    ASSERT_NE(handle_, nullptr);
    ASSERT_NE(reference_, nullptr);
  }
  void TearDown() override {
    LxCloseSegHandle(handle_);
    LxCloseSegHandle(reference_);
    LxUnInitSeg();
  }

  std::vector<Word> Basic(const std::string& text, size_t charset) {
    EXPECT_TRUE(LxSegment(handle_, text.data(), text.size(), charset));
    std::vector<Word> words;
    for (int32_t i = 0; i < static_cast<int32_t>(LxGetResultCnt(handle_)); ++i) {
      words.push_back({LxGetWordAt(handle_, i), *LxGetBasicSpanAt(handle_, i)});
    }
    return words;
  }

  // Normalisation works character by character, so the words of a text
  // cut into single characters, joined, are that text normalised.
  std::string Normalised(const std::string& text, size_t charset, int32_t mode) {
    ResetSegMode(reference_, mode | kModeSingleWord);
    EXPECT_TRUE(LxSegment(reference_, text.data(), text.size(), charset));
    std::string joined;
    for (size_t i = 0; i < LxGetResultCnt(reference_); ++i) joined += LxGetWordAt(reference_, i);
    return joined;
  }

  // Basic words follow each other and cover the text; each is its span of
  // the text normalised; chars counts the characters before each position.
  void ExpectSpansMapBack(const std::string& text, size_t charset, int32_t mode,
                          const std::vector<size_t>& chars) {
    ResetSegMode(handle_, mode);
    std::vector<Word> words = Basic(text, charset);
    size_t at = 0;
    for (const Word& w : words) {
      SCOPED_TRACE("word \"" + w.text + "\" at byte " + std::to_string(at));
      ASSERT_EQ(w.span.begin, at);
      ASSERT_LT(w.span.begin, w.span.end);
      ASSERT_LE(w.span.end, text.size());
      EXPECT_EQ(w.span.char_begin, chars[w.span.begin]);
      EXPECT_EQ(w.span.char_end, chars[w.span.end]);
      EXPECT_EQ(w.text, Normalised(text.substr(at, w.span.end - at), charset, mode));
      at = w.span.end;
    }
    EXPECT_EQ(at, text.size());
  }

  testutil::TempDir dir_;
  HANDLE handle_ = nullptr;
  HANDLE reference_ = nullptr;
};

// Characters before each byte position, given the bytes that start one.
std::vector<size_t> CharsBefore(const std::string& text, const std::vector<bool>& starts) {
  std::vector<size_t> chars(text.size() + 1, 0);
  size_t count = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (starts[i]) ++count;
    chars[i + 1] = count;
  }
  // Positions inside a character count as its start (never asked for).
  for (size_t i = 0; i < text.size(); ++i) {
    if (starts[i]) chars[i] = chars[i + 1] - 1;
  }
  return chars;
}

// A text made of pieces, with the character starts it is made of.
struct PieceText {
  std::string text;
  std::vector<bool> starts;
  void Add(const std::string& piece, const std::vector<size_t>& char_lens) {
    for (size_t len : char_lens) {
      starts.push_back(true);
      starts.insert(starts.end(), len - 1, false);
    }
    text += piece;
  }
};

// Pieces in UTF-8 with their character lengths: words of the dictionary,
// full-width and traditional characters, upper case, characters outside
// GBK, white space, and ill-formed bytes (one character each).
struct Piece {
  const char* utf8;
  std::vector<size_t> char_lens;
  bool in_gb18030;  // false for ill-formed UTF-8
};
const Piece kPieces[] = {
    {"我", {3}, true},           {"爱", {3}, true},          {"北京", {3, 3}, true},
    {"天安门", {3, 3, 3}, true}, {"中华人民共和国", {3, 3, 3, 3, 3, 3, 3}, true},
    {"愛", {3}, true},           {"國們", {3, 3}, true},     {"ＡＢＣ", {3, 3, 3}, true},
    {"Ｈｅｌｌｏ", {3, 3, 3, 3, 3}, true},                  {"１２３", {3, 3, 3}, true},
    {"，", {3}, true},           {"。", {3}, true},          {" ", {1}, true},
    {"\t", {1}, true},           {"abc", {1, 1, 1}, true},   {"ABC", {1, 1, 1}, true},
    {"😀", {4}, true},           {"𠀀", {4}, true},          {"é", {2}, true},
    {"€", {3}, true},            {"\xFF", {1}, false},       {"\xE4\xB8", {1, 1}, false},
    {"\xED\xA0\x80", {1, 1, 1}, false},
};

}  // namespace

TEST_F(SpanTest, HalfWidthSimplifiedAndLowerCasedWordsPointAtWhatTheCallerWrote) {
  ResetSegMode(handle_, kNormalise);
  std::vector<Word> words = Basic("ＡＢＣ愛北京", kCharsetUTF8);
  ASSERT_EQ(words.size(), 3u);
  EXPECT_EQ(words[0].text, "abc");
  EXPECT_EQ(words[0].span.begin, 0u);
  EXPECT_EQ(words[0].span.end, 9u);
  EXPECT_EQ(words[0].span.char_end, 3u);
  EXPECT_EQ(words[1].text, "爱");
  EXPECT_EQ(words[1].span.begin, 9u);
  EXPECT_EQ(words[1].span.char_begin, 3u);
  EXPECT_EQ(words[2].span.end, 18u);
  EXPECT_EQ(words[2].span.char_end, 6u);

  std::string gbk = Utf8ToGbk("ＡＢＣ愛北京");
  words = Basic(gbk, kCharsetGBK);
  ASSERT_EQ(words.size(), 3u);
  EXPECT_EQ(words[0].span.end, 6u);
  EXPECT_EQ(words[0].span.char_end, 3u);
  EXPECT_EQ(words[2].span.begin, 8u);
  EXPECT_EQ(words[2].span.end, 12u);
  EXPECT_EQ(words[2].span.char_end, 6u);
}

TEST_F(SpanTest, PhrasesAndMixWordsSpanTheirBasicWords) {
  std::string text = "我爱中华人民共和国。北京";
  ASSERT_TRUE(LxSegment(handle_, text.data(), text.size(), kCharsetUTF8));
  ASSERT_EQ(LxGetPhraseCnt(handle_), 1u);
  const comb_token_t* phrase = LxGetPhraseTokenAt(handle_, 0);
  const token_span_t* span = LxGetPhraseSpanAt(handle_, 0);
  EXPECT_EQ(text.substr(span->begin, span->end - span->begin), "中华人民共和国");
  EXPECT_EQ(span->begin, LxGetBasicSpanAt(handle_, static_cast<int32_t>(phrase->sidx))->begin);
  EXPECT_EQ(span->end, LxGetBasicSpanAt(handle_, static_cast<int32_t>(phrase->eidx) - 1)->end);
  EXPECT_EQ(span->char_begin, 2u);
  EXPECT_EQ(span->char_end, 9u);

  size_t at = 0;
  for (int32_t i = 0; i < static_cast<int32_t>(LxGetMixWordCnt(handle_)); ++i) {
    const token_span_t* mix = LxGetMixSpanAt(handle_, i);
    EXPECT_EQ(mix->begin, at);
    EXPECT_EQ(text.substr(mix->begin, mix->end - mix->begin), LxGetMixWordAt(handle_, i));
    at = mix->end;
  }
  EXPECT_EQ(at, text.size());
}

TEST_F(SpanTest, OutOfRangeIndexesGiveNull) {
  ASSERT_TRUE(LxSegment(handle_, "北京", 6, kCharsetUTF8));
  EXPECT_EQ(LxGetBasicSpanAt(handle_, -1), nullptr);
  EXPECT_EQ(LxGetBasicSpanAt(handle_, 1), nullptr);
  EXPECT_EQ(LxGetPhraseSpanAt(handle_, 0), nullptr);
  EXPECT_EQ(LxGetMixSpanAt(handle_, 1), nullptr);
  ASSERT_NE(LxGetMixSpanAt(handle_, 0), nullptr);
  EXPECT_EQ(LxGetMixSpanAt(handle_, 0)->end, 6u);
}

TEST_F(SpanTest, IllFormedBytesAreOneCharacterEach) {
  std::string text = "北\xFF\xE4\xB8京";
  std::vector<Word> words = Basic(text, kCharsetUTF8);
  // Each ill-formed byte comes back as U+FFFD, a word of its own.
  ASSERT_EQ(words.size(), 5u);
  EXPECT_EQ(words[1].text, "\xEF\xBF\xBD");
  EXPECT_EQ(words[1].span.begin, 3u);
  EXPECT_EQ(words[1].span.end, 4u);
  EXPECT_EQ(words[3].span.end, 6u);
  EXPECT_EQ(words[3].span.char_end, 4u);
  EXPECT_EQ(words[4].span.char_end, 5u);
}

// Random texts of pieces, long enough to be cut into several sentences, in
// every normalising mode, ASCII modes and single-character mode, in UTF-8
// and (with the pieces GB18030 can hold) in GBK.
TEST_F(SpanTest, RandomTextsMapBackInEveryMode) {
  std::mt19937 random(20240611);
  const int32_t modes[] = {0, kModeSbcToDbc, kNormalise, kNormalise | kModeUseSimpleMode,
                           kNormalise | kModeUseWholeMode, kNormalise | kModeSingleWord};
  const size_t piece_count = sizeof(kPieces) / sizeof(kPieces[0]);
  for (int round = 0; round < 24; ++round) {
    bool utf8 = round % 2 == 0;
    PieceText text;
    size_t target = round < 12 ? 40 : 2600;
    while (text.text.size() < target) {
      const Piece& piece = kPieces[random() % piece_count];
      if (!utf8 && !piece.in_gb18030) continue;
      if (utf8) {
        text.Add(piece.utf8, piece.char_lens);
      } else {
        std::string gb = Utf8ToGbk(piece.utf8);
        std::vector<size_t> lens;
        for (size_t i = 0; i < gb.size();) {
          size_t len = static_cast<unsigned char>(gb[i]) < 0x80 ? 1
                       : (gb.size() > i + 1 && gb[i + 1] >= '0' && gb[i + 1] <= '9') ? 4 : 2;
          lens.push_back(len);
          i += len;
        }
        text.Add(gb, lens);
      }
    }
    std::vector<size_t> chars = CharsBefore(text.text, text.starts);
    for (int32_t mode : modes) {
      SCOPED_TRACE("round " + std::to_string(round) + " mode " + std::to_string(mode));
      ExpectSpansMapBack(text.text, utf8 ? kCharsetUTF8 : kCharsetGBK, mode, chars);
    }
  }
}
