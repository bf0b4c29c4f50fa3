// Segmentation neither drops nor invents text: over corpus sentences and
// random text, in many modes, the basic words and the mix words put back
// together give the input (or, with conversion bits, the normalised input)
// up to white space, and a GBK call gives the words of a UTF-8 call.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "driver/SegMode.h"
#include "support/TestUtil.h"
#include "text/SentenceNormalizer.h"
#include "zorvseg.h"
#include "zorvseg_mode.h"

using namespace new_seg;
using testutil::GbkToUtf8;
using testutil::Utf8ToGbk;

namespace {

const std::string kDataDir = ZORVSEG_TEST_DATA_DIR;
const std::string kCorpora = ZORVSEG_CORPORA_DIR;

// Every line of a file, or none when it cannot be read.
std::vector<std::string> ReadLines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The text of a segmented corpus line ("id/m  word/tag  [word/tag  word/tag]nt"):
// the words without tags, brackets and separators.
std::string CorpusLineText(const std::string& line) {
  std::string text;
  size_t pos = line.find("  ");  // skip the paragraph id
  while (pos != std::string::npos) {
    pos = line.find_first_not_of(' ', pos);
    if (pos == std::string::npos) break;
    size_t end = line.find("  ", pos);
    std::string token = line.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    if (!token.empty() && token[0] == '[') token.erase(0, 1);
    size_t slash = token.rfind('/');
    if (slash != std::string::npos && slash > 0) token.resize(slash);
    text += token;
    pos = end;
  }
  return text;
}

// The sanitizer build, several times slower, checks a quarter of the sample.
#ifdef ZORVSEG_SANITIZED
const size_t kSampleStride = 4;
#else
const size_t kSampleStride = 1;
#endif

// Sentences of three corpora: the segmented newspaper text (every 25th
// paragraph), the Wikipedia sentences of the treebank and the Weibo posts.
std::vector<std::string> CorpusSentences() {
  std::vector<std::string> sentences;
  std::vector<std::string> lines = ReadLines(kCorpora + "/pd1998-01/199801.utf8.txt");
  for (size_t i = 0; i < lines.size(); i += 25) {
    std::string text = CorpusLineText(lines[i]);
    if (!text.empty() && text.size() < 8000) sentences.push_back(text);
  }
  for (const std::string& line : ReadLines(kCorpora + "/ud-zh-gsdsimp/zh_gsdsimp-ud-dev.conllu")) {
    if (line.rfind("# text = ", 0) == 0) sentences.push_back(line.substr(9));
  }
  std::string post;
  for (const std::string& line : ReadLines(kCorpora + "/ner-weibo/dev.conll")) {
    if (line.empty()) {
      if (!post.empty()) sentences.push_back(post);
      post.clear();
      continue;
    }
    // "<character><position in its word><TAB><label>": the first UTF-8
    // sequence is the character.
    unsigned char lead = static_cast<unsigned char>(line[0]);
    size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    post += line.substr(0, length);
  }
  return sentences;
}

void AppendUtf8(char32_t c, std::string* out) {
  if (c < 0x80) {
    *out += static_cast<char>(c);
  } else if (c < 0x800) {
    *out += static_cast<char>(0xC0 | (c >> 6));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *out += static_cast<char>(0xE0 | (c >> 12));
    *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | (c >> 18));
    *out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Random well-formed text mixing what the stages treat differently: Chinese
// (simplified and traditional), full-width and half-width ASCII, upper case,
// digits with units, URLs, e-mail addresses, white space, other scripts,
// private-use and supplementary characters.
std::vector<std::string> RandomTexts(size_t count) {
  const std::vector<std::string> pieces = {
      "的", "中国", "北京大学", "乾隆皇帝", "龍", "國家", "們", "愛", "３２", "ＡＢｃ", "，", "。",
      "“", "”", "（", "）", "《", "》", "2026年", "12月7日", "3.5公斤", "50%", "Hello",
      "WORLD", "c++", "Wi-Fi", "http://www.example.com/a?b=1", "someone@example.org",
      " ", "\t", "\xE3\x80\x80", "Ωμέγα", "Привет", "é", "·", "—", "…", "～", "￥"};
  std::mt19937 rng(20261207);
  std::vector<std::string> texts;
  for (size_t n = 0; n < count; ++n) {
    std::string text;
    size_t length = 1 + rng() % 40;
    for (size_t i = 0; i < length; ++i) {
      switch (rng() % 4) {
        case 0:  // any character of the common CJK block
          AppendUtf8(0x4E00 + rng() % (0x9FA5 - 0x4E00), &text);
          break;
        case 1:  // any printable ASCII, or a private-use or rarer character
          if (rng() % 3 == 0) {
            // Not U+20087 and its kind: their two-byte GBK form depends on
            // the converter's edition, so both calls would not see the same text.
            const char32_t rare[] = {0xE5C6 + static_cast<char32_t>(rng() % 0x40), 0x2A6A5,
                                     0x1F600, 0xFF01 + static_cast<char32_t>(rng() % 0x5E)};
            AppendUtf8(rare[rng() % 4], &text);
          } else {
            text += static_cast<char>(0x21 + rng() % 0x5E);
          }
          break;
        default:
          text += pieces[rng() % pieces.size()];
      }
    }
    texts.push_back(text);
  }
  return texts;
}

// The text without white space (ASCII blanks and the ideographic space).
std::string WithoutBlanks(const std::string& utf8) {
  std::string out;
  for (size_t i = 0; i < utf8.size(); ++i) {
    char c = utf8[i];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
    if (utf8.compare(i, 3, "\xE3\x80\x80") == 0) {
      i += 2;
      continue;
    }
    out += c;
  }
  return out;
}

// The input as the segmentor sees it under the mode's conversion bits
// (UTF-8 in, UTF-8 out).
std::string Normalised(const std::string& utf8, int32_t mode) {
  std::string gbk = Utf8ToGbk(utf8);
  SegMode seg_mode(mode);
  SentenceNormalizer normalizer(&seg_mode, gbk.size() + 1);
  size_t length = 0;
  if (!normalizer.Init() || normalizer.Normalize(gbk.data(), gbk.size(), length) == nullptr) {
    return "<not normalised>";
  }
  const char* output = normalizer.GetOutputUsedStr(length);
  return GbkToUtf8(std::string(output, length));
}

struct Words {
  std::vector<std::string> basic, mix;
};

Words Segment(HANDLE handle, const std::string& text, int charset) {
  Words words;
  if (!LxSegment(handle, text.data(), text.size(), charset)) {
    words.basic.push_back("<failed>");
    return words;
  }
  for (size_t i = 0; i < LxGetResultCnt(handle); ++i) words.basic.push_back(LxGetWordAt(handle, i));
  for (size_t i = 0; i < LxGetMixWordCnt(handle); ++i) words.mix.push_back(LxGetMixWordAt(handle, i));
  return words;
}

std::string Joined(const std::vector<std::string>& words, const char* separator = "") {
  std::string text;
  for (const std::string& word : words) text += (text.empty() ? "" : separator) + word;
  return text;
}

std::vector<std::string> ToUtf8(const std::vector<std::string>& gbk_words) {
  std::vector<std::string> words;
  for (const std::string& word : gbk_words) words.push_back(GbkToUtf8(word));
  return words;
}

const int32_t kConversionBits = kModeSbcToDbc | kModeTraditionalToSimplified | kModeUpperToLower;

// Modes without conversion bits, then with them.
const std::vector<int32_t> kModes = {
    0,
    kModeSingleWord,
    kModePosTag,
    kModePosTag | kModeUseCustomWord | kModeUseCustomRule,
    kModePosTag | kModeNeName | kModeAdjustNe,
    kModeNeName | kModeNePerWhole | kModeNeOrgWhole | kModeNeLocWhole,
    kModeUseWholeMode,
    kModeUseSimpleMode | kModePosTag,
    kModeUseAsciiLmMode | kModeUseAsciiLmPinyin,
    kModeUseAdditionalRuleMode | kModePosTag,
    kModeSbcToDbc,
    kModeTraditionalToSimplified,
    kModeUpperToLower | kModeUseSimpleMode,
    kModeCommandLineDefault & ~kModeFindUnknownWords,
    kModeModuleDefault,
    kModeModuleDefault | kModeUpperToLower | kModeSingleWord,
    kModeCommandLineDefault,
    kModeModuleDefault | kModeFindUnknownWords,
};

class NoLostText : public testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(LxInitSeg(kDataDir.c_str())); }
  static void TearDownTestSuite() { LxUnInitSeg(); }

  // Checks every text in every mode; stops a mode at its first few faults.
  static void CheckTexts(const std::vector<std::string>& texts) {
    ASSERT_FALSE(texts.empty());
    for (int32_t mode : kModes) {
      SCOPED_TRACE(testing::Message() << "mode 0x" << std::hex << mode);
      HANDLE handle = LxCreateSegHandle(mode);
      ASSERT_NE(handle, nullptr);
      int faults = 0;
      for (const std::string& text : texts) {
        std::string expected =
            WithoutBlanks((mode & kConversionBits) != 0 ? Normalised(text, mode) : text);
        Words utf8 = Segment(handle, text, kCharsetUTF8);
        Words gbk = Segment(handle, Utf8ToGbk(text), kCharsetGBK);
        bool ok = WithoutBlanks(Joined(utf8.basic)) == expected &&
                  WithoutBlanks(Joined(utf8.mix)) == expected &&
                  ToUtf8(gbk.basic) == utf8.basic && ToUtf8(gbk.mix) == utf8.mix;
        EXPECT_TRUE(ok) << text << "\n  expected: " << expected
                        << "\n  basic:    " << Joined(utf8.basic, "|")
                        << "\n  mix:      " << Joined(utf8.mix, "|")
                        << "\n  GBK call: " << Joined(ToUtf8(gbk.basic), "|");
        if (!ok && ++faults == 3) break;
      }
      LxCloseSegHandle(handle);
    }
  }
};

}  // namespace

TEST_F(NoLostText, CorpusSentences) {
  std::vector<std::string> sentences = CorpusSentences();
  std::vector<std::string> sample;
  for (size_t i = 0; i < sentences.size(); i += kSampleStride) sample.push_back(sentences[i]);
  CheckTexts(sample);
}

TEST_F(NoLostText, RandomText) { CheckTexts(RandomTexts(600 / kSampleStride)); }
