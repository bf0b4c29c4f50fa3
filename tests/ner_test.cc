// Entity recognition end to end through LxSegment, on single-character
// paths (so that every character boundary is a path boundary) with
// hand-built entity files: the dictionary scan, the NER rules, the merge,
// whole names, the person-name adjustor and the dates.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/TestUtil.h"
#include "zorvseg.h"

using namespace new_seg;
using testutil::Utf8ToGbk;

namespace {

const int32_t kSingle = kModeSingleWord | kModeNeName;
const int32_t kWholeNames = kModeNePerWhole | kModeNeOrgWhole | kModeNeLocWhole;

const std::vector<std::string> kEntities = {
    "王小二\t1",          "欧阳明\t64",        "司马相如\t1",       "上官婉儿儿\t1",
    "王小\t16",           "京\t8192\t1\t0.9",  "长江\t8192\t1\t0.3", "黄河\t8192\t1\t0.5",
    "淮河\t8192\t1\t0.51", "北京大学\t2097152\t0.9", "北京\t8192\t1\t0.9",
    "春节\t131072\t0.9",  "江大桥\t1",         "王\t2\t1",          "小二王\t33"};

std::string TypeName(int cls) {
  switch (cls) {
    case 100000010: return "PER";
    case 100000012: return "LOC";
    case 100000013: return "ORG";
    case 100000023: return "DATE";
    default: return "?";
  }
}

class NerTest : public ::testing::Test {
 protected:
  void Start(int32_t mode, const std::string& rules = "",
             const std::vector<std::string>& entities = kEntities) {
    testutil::WriteMinimalDataDir(dir_);
    testutil::WriteEntityFiles(dir_, entities, {"欧阳", "司马"}, rules);
    ASSERT_TRUE(LxInitSeg(dir_.path().c_str()));
    handle_ = LxCreateSegHandle(mode);
    ASSERT_NE(nullptr, handle_);
  }
  // A lexicon of `words` (every one a unigram of the n-gram model) plus
  // `phrases` ("text\tweight"), the entity files, entity recognition on.
  void StartWithLexicon(const std::vector<std::string>& words,
                        const std::vector<std::string>& phrases = {}) {
    std::vector<std::string> lexicon, ngram;
    for (const std::string& w : words) {
      lexicon.push_back(w + "\t1");
      ngram.push_back("8 1 " + std::to_string(testutil::WordId(words, w)));
    }
    lexicon.insert(lexicon.end(), phrases.begin(), phrases.end());
    testutil::WriteDataDir(dir_, lexicon, ngram);
    testutil::WriteEntityFiles(dir_, kEntities, {"欧阳", "司马"}, "");
    ASSERT_TRUE(LxInitSeg(dir_.path().c_str()));
    handle_ = LxCreateSegHandle(kModeNeName);
    ASSERT_NE(nullptr, handle_);
  }
  void TearDown() override {
    LxCloseSegHandle(handle_);
    LxUnInitSeg();
  }
  void Segment(const std::string& text) {
    ASSERT_TRUE(LxSegment(handle_, text.data(), text.size(), kCharsetUTF8));
  }
  // The entity phrases as "text/TYPE", in text order.
  std::string Entities(const std::string& text) {
    Segment(text);
    std::string out;
    for (size_t i = 0; i < LxGetPhraseCnt(handle_); ++i) {
      const comb_token_t* phrase = LxGetPhraseTokenAt(handle_, static_cast<int32_t>(i));
      out += (out.empty() ? "" : " ") + std::string(phrase->word) + "/" + TypeName(phrase->cls);
    }
    return out;
  }
  // Basic words with their tag ids where non-zero: "王小二/17 来".
  std::string Words(const std::string& text) {
    Segment(text);
    std::string out;
    for (size_t i = 0; i < LxGetResultCnt(handle_); ++i) {
      const token_t* word = LxGetBasicTokenAt(handle_, static_cast<int32_t>(i));
      out += (i ? " " : "") + std::string(word->word);
      if (word->pos != 0) out += "/" + std::to_string(word->pos);
    }
    return out;
  }
  std::string MixWords(const std::string& text) {
    Segment(text);
    std::string out;
    for (size_t i = 0; i < LxGetMixWordCnt(handle_); ++i) {
      out += (i ? " " : "") + std::string(LxGetMixWordAt(handle_, i));
    }
    return out;
  }

  testutil::TempDir dir_;
  HANDLE handle_ = nullptr;
};

TEST_F(NerTest, DictionaryScan) {
  Start(kSingle);
  const struct {
    const char* text;
    const char* entities;
  } kCases[] = {
      {"我见王小二了", "王小二/PER"},
      {"长江", "长江/LOC"},                 // the whole sentence: no score needed
      {"看长江", ""},                       // in a sentence a place needs more than 0.5
      {"看黄河", ""},
      {"看淮河", "淮河/LOC"},
      {"在京", ""},                         // one character is never an entity
      {"京", "京/LOC"},
      {"王", ""},                           // a name character alone is no entity
      {"在北京大学", "北京大学/ORG"},       // the longest entry wins
      {"北京春节", "北京/LOC 春节/DATE"},
      {"王小二王小二", "王小二/PER 王小二/PER"},
      {"小二王", ""},                       // kind 0x20 only as the whole sentence
  };
  for (const auto& c : kCases) EXPECT_EQ(c.entities, Entities(c.text)) << c.text;
}

TEST_F(NerTest, RulesOverrideTheDictionary) {
  Start(kSingle, "# places\n南京市长江大桥\t0,6,8192\t6,8,8192\n王小二\t0,2,64\n");
  // 江大桥 is a dictionary person inside the rule's text: dropped.
  EXPECT_EQ("南京市/LOC 长江大桥/LOC", Entities("南京市长江大桥"));
  EXPECT_EQ("南京市/LOC 长江大桥/LOC", Entities("去南京市长江大桥"));
  EXPECT_EQ("王/PER", Entities("见王小二"));
}

TEST_F(NerTest, WholeNameBitsMakeOneTaggedWord) {
  Start(kSingle | kModeNePerWhole);
  EXPECT_EQ("我 见 王小二/17 了", Words("我见王小二了"));
  EXPECT_EQ("在 北 京 大 学", Words("在北京大学"));  // organisations stay cut without their bit
  ResetSegMode(handle_, kSingle | kWholeNames);
  EXPECT_EQ("在 北京大学/21", Words("在北京大学"));
  EXPECT_EQ("北京/20 春 节", Words("北京春节"));  // dates are never merged
  ResetSegMode(handle_, kSingle);
  EXPECT_EQ("我 见 王 小 二 了", Words("我见王小二了"));
  EXPECT_EQ("我 见 王小二 了", MixWords("我见王小二了"));
  EXPECT_EQ("在 北 京 大 学", MixWords("在北京大学"));  // an organisation is never a mix word
}

TEST_F(NerTest, PersonNameAdjustorShapes) {
  Start(kSingle | kModeAdjustNe);
  const struct {
    const char* text;
    const char* words;
  } kCases[] = {
      {"见王小二", "见 王/17 小二/17"},
      {"见欧阳明", "见 欧阳明/17"},          // 欧阳 is a compound surname
      {"见司马相如", "见 司马/17 相如/17"},  // four characters: two and two
      {"见王小", "见 王小/17"},
      {"见上官婉儿儿", "见 上 官 婉 儿 儿"},  // five characters: left alone
  };
  for (const auto& c : kCases) EXPECT_EQ(c.words, Words(c.text)) << c.text;
}

TEST_F(NerTest, DatesBecomePhrases) {
  Start(kSingle);
  EXPECT_EQ("2023年10月1日/DATE 9点30分/DATE",
            Entities("2023年10月1日上午9点30分"));
  EXPECT_EQ("春节/DATE 前3天/DATE", Entities("春节前3天"));
}

TEST_F(NerTest, FourByteCharactersKeepTheirPlace) {
  Start(kSingle | kModeAdjustNe);
  EXPECT_EQ("𠀀 王/17 小二/17 𠀀", Words("𠀀王小二𠀀"));
  EXPECT_EQ("王小二/PER 三天/DATE", Entities("𠀀王小二𠀀三天"));
}

TEST_F(NerTest, GbkCallsAndTheDefaultPathAgree) {
  Start(kModeNeName | kModeNePerWhole);
  std::string gbk = Utf8ToGbk("我见王小二了");
  ASSERT_TRUE(LxSegment(handle_, gbk.data(), gbk.size(), kCharsetGBK));
  ASSERT_EQ(1u, LxGetPhraseCnt(handle_));
  EXPECT_EQ(Utf8ToGbk("王小二"), LxGetPhraseAt(handle_, 0));
}

// The tiny name model labels a code-1 character followed by code-2 ones.
const std::vector<std::string> kNameCharacters = {
    "王\t2\t1", "李\t2\t1", "小\t2\t2", "二\t2\t2", "北京大学\t2097152\t0.9"};

TEST_F(NerTest, DictionaryAndCrfCandidatesMerge) {
  std::vector<std::string> entities = kNameCharacters;
  entities.push_back("李王\t8192\t1\t0.9");    // starts before the CRF's 王小二
  entities.push_back("二北\t8192\t1\t0.9");    // starts inside it
  // The same spans as the CRF's persons: a place only, a place and person.
  entities.push_back("李小二\t8192\t1\t0.9");
  entities.push_back("王二二\t8192\t1\t0.9");
  entities.push_back("王二二\t1");
  Start(kSingle, "", entities);
  const struct {
    const char* text;
    const char* entities;
  } kCases[] = {
      {"见王小二", "王小二/PER"},          // the CRF alone
      {"见李王小二", "李王/LOC"},          // the earlier dictionary span wins
      {"见王小二在北京大学", "王小二/PER 北京大学/ORG"},
      {"王小二北", "王小二/PER"},          // 二北 conflicts with the person
      // on an equal span the dictionary's kind wins unless it has been the
      // CRF's kind too
      {"见李小二", "李小二/LOC"},
      {"见王二二", "王二二/PER"},
      {"在小二", ""},                      // given-name characters alone
  };
  for (const auto& c : kCases) EXPECT_EQ(c.entities, Entities(c.text)) << c.text;
}

TEST_F(NerTest, APersonBeginningALongerWordSplitsIt) {
  // The lexicon writes 王小二理论, 北京人 and 淮河水 as words; entries that
  // end inside a path word are otherwise refused. 王小二尼治 and 王小二人
  // begin with the name too, but their rest is no word of two characters.
  StartWithLexicon({"学", "王小二理论", "理论", "北京人", "人", "淮河水", "水", "王小", "二理",
                    "王小二尼治", "王小二人"});
  const struct {
    const char* text;
    const char* entities;
    const char* words;
  } kCases[] = {
      {"学王小二理论", "王小二/PER", "学 王小二 理论"},
      // places and organisations are not split out of words
      {"北京人", "", "北京人"},
      {"淮河水", "", "淮河水"},
      // the name must begin a path word: 王小二 would cut 二理, so the
      // shorter entry 王小 that fits the words is taken
      {"王小二理", "王小/PER", "王小 二理"},
      // a name that only begins a longer term keeps the term whole
      {"学王小二尼治", "", "学 王小二尼治"},
      {"学王小二人", "", "学 王小二人"},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(c.entities, Entities(c.text)) << c.text;
    std::string words;
    for (size_t i = 0; i < LxGetResultCnt(handle_); ++i) {
      const token_t* word = LxGetBasicTokenAt(handle_, static_cast<int32_t>(i));
      words += (i ? " " : "") + std::string(word->word);
    }
    EXPECT_EQ(c.words, words) << c.text;
  }
}

TEST_F(NerTest, AnEntityMayEndALexiconPhraseButNotCrossOne) {
  // Every character is a word; 北京人, 看淮河 and 京看 are lexicon phrases
  // over them.
  StartWithLexicon({"北", "京", "人", "看", "淮", "河", "在"}, {"北京人\t2", "看淮河\t2", "京看\t2"});
  const struct {
    const char* text;
    const char* entities;
  } kCases[] = {
      {"在北京人", "北京/LOC"},     // at the start of the phrase
      {"在看淮河", "淮河/LOC"},     // at its end
      {"在北京看", ""},             // 京看 starts inside 北京 and goes on
  };
  for (const auto& c : kCases) {
    Segment(c.text);
    std::string entities;
    for (size_t i = 0; i < LxGetPhraseCnt(handle_); ++i) {
      const comb_token_t* phrase = LxGetPhraseTokenAt(handle_, static_cast<int32_t>(i));
      if (TypeName(phrase->cls) == "?") continue;  // the lexicon's own phrases
      entities += (entities.empty() ? "" : " ") + std::string(phrase->word) + "/" +
                  TypeName(phrase->cls);
    }
    EXPECT_EQ(c.entities, entities) << c.text;
  }
}

TEST_F(NerTest, ATabInsideAPieceKeepsThePieceLabelled) {
  Start(kSingle, "", kNameCharacters);
  EXPECT_EQ("王小二/PER", Entities("见王小二\t了"));
  EXPECT_EQ("王小二/PER", Entities("\t王小二\t"));
}

TEST_F(NerTest, AHandleOutlivingTheLibraryUsesTheNextModel) {
  Start(kSingle, "", kNameCharacters);
  LxUnInitSeg();
  EXPECT_FALSE(LxSegment(handle_, "x", 1, kCharsetUTF8));
  ASSERT_TRUE(LxInitSeg(dir_.path().c_str()));
  EXPECT_EQ("王小二/PER", Entities("见王小二"));
}

TEST_F(NerTest, TheExampleSentence) {
  Start(kModeNeName | kWholeNames,  "",
        {"王\t2\t1", "欧\t2\t1", "阳\t2\t2", "明\t2\t2", "小\t2\t2", "二\t2\t2",
         "北京大学\t2097152\t0.9"});
  EXPECT_EQ("2023年10月1日/DATE 9点30分/DATE 欧阳明/PER 北京大学/ORG 王小二/PER",
            Entities("2023年10月1日上午9点30分，欧阳明在北京大学见到了王小二。"));
}

}  // namespace
