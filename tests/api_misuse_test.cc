// Start-up and shut-down in the wrong order, and handles, indices and
// custom-dictionary calls that name nothing: each refused, never a crash or
// a stale resource.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "custom/CustomDictContainer.h"
#include "support/TestUtil.h"
#include "zorvseg.h"

using namespace new_seg;
using testutil::TempDir;
using testutil::Utf8ToGbk;

namespace {

const int32_t kDictionaryMode = 0;  // lattice search, nothing else

// A data directory whose only words are the given ones, each with the same
// single-word cost.
void WriteDataDirWithWords(const TempDir& dir, const std::vector<std::string>& words) {
  std::vector<std::string> lexicon, ngram;
  for (const std::string& w : words) {
    lexicon.push_back(w + "\t1");
    ngram.push_back("8 1 " + std::to_string(testutil::WordId(words, w)));
  }
  testutil::WriteDataDir(dir, lexicon, ngram);
}

std::vector<std::string> SegmentUtf8(const std::string& text) {
  HANDLE handle = LxCreateSegHandle(kDictionaryMode);
  std::vector<std::string> words;
  if (handle == nullptr) return words;
  if (LxSegment(handle, text.data(), text.size(), kCharsetUTF8)) {
    for (size_t i = 0; i < LxGetResultCnt(handle); ++i) words.push_back(LxGetWordAt(handle, i));
  }
  LxCloseSegHandle(handle);
  return words;
}

const std::vector<std::string> kWholeWord = {"天安门广场"};
const std::vector<std::string> kTwoWords = {"天安门", "广场"};

}  // namespace

// Every case ends with nothing loaded; `expect` names the words the good
// directory's dictionary gives, proving no file of an earlier attempt stayed.
TEST(InitSemantics, FailedOrConflictingInitLeavesNothingBehind) {
  TempDir whole, two, broken;
  WriteDataDirWithWords(whole, kWholeWord);
  WriteDataDirWithWords(two, kTwoWords);
  WriteDataDirWithWords(broken, kWholeWord);
  std::filesystem::remove(broken.File("tag_info.dat"));  // fails after three loads
  std::string two_other_spelling = two.path() + "/./";

  struct Case {
    const char* name;
    std::vector<std::pair<std::string, bool>> inits;  // directory, expected result
    std::vector<std::string> expect;
  };
  const std::vector<Case> cases = {
      {"a failed load releases what it loaded",
       {{broken.path(), false}, {two.path(), true}},
       kTwoWords},
      {"a second directory is refused while one is loaded",
       {{whole.path(), true}, {two.path(), false}},
       kWholeWord},
      {"the same directory again stays loaded",
       {{two.path(), true}, {two_other_spelling, true}, {two.path() + "/", true}},
       kTwoWords},
      {"after LxUnInitSeg another directory loads",
       {{whole.path(), true}, {"", true}, {two.path(), true}},
       kTwoWords},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const auto& init : c.inits) {
      if (init.first.empty()) {
        LxUnInitSeg();
        continue;
      }
      EXPECT_EQ(LxInitSeg(init.first.c_str()), init.second) << init.first;
    }
    EXPECT_EQ(SegmentUtf8("天安门广场"), c.expect);
    LxUnInitSeg();
    EXPECT_EQ(LxGetWorkingCustomDictID(), 0u);
  }
}

TEST(HandleMisuse, NullClosedAndUnknownHandlesAreRefused) {
  TempDir dir;
  WriteDataDirWithWords(dir, kTwoWords);
  ASSERT_TRUE(LxInitSeg(dir.path().c_str()));
  HANDLE closed = LxCreateSegHandle(kDictionaryMode);
  ASSERT_NE(closed, nullptr);
  LxCloseSegHandle(closed);
  HANDLE live = LxCreateSegHandle(kDictionaryMode);  // may reuse the memory of the closed one
  ASSERT_NE(live, nullptr);
  ASSERT_TRUE(LxSegment(live, "ab", 2, kCharsetGBK));
  int not_a_handle = 0;

  for (HANDLE bad : {HANDLE(nullptr), closed, HANDLE(&not_a_handle)}) {
    EXPECT_FALSE(LxSegment(bad, "ab", 2, kCharsetGBK));
    ResetSegMode(bad, 2);
    EXPECT_EQ(LxGetResultCnt(bad), 0u);
    EXPECT_EQ(LxGetPhraseCnt(bad), 0u);
    EXPECT_EQ(LxGetMixWordCnt(bad), 0u);
    EXPECT_EQ(LxGetAdditionalTokenCnt(bad), 0u);
    EXPECT_EQ(LxGetAt(bad, 0), nullptr);
    EXPECT_EQ(LxGetWordAt(bad, 0), nullptr);
    EXPECT_EQ(LxGetBasicTokenAt(bad, 0), nullptr);
    EXPECT_EQ(LxGetPhraseAt(bad, 0), nullptr);
    EXPECT_EQ(LxGetPhraseTokenAt(bad, 0), nullptr);
    EXPECT_EQ(LxGetMixWordAt(bad, 0), nullptr);
    EXPECT_EQ(LxGetMixTokenAt(bad, 0), nullptr);
    EXPECT_EQ(LxGetAdditionalTokenAt(bad, 0), nullptr);
    seg_tokens_t all;
    all.fine_grain_tokens_num = 7;
    LxGetAllSegInfo(bad, all);
    EXPECT_EQ(all.fine_grain_tokens_num, 0u);
    EXPECT_EQ(all.fine_grain_seg_tokens, nullptr);
    LxCloseSegHandle(bad);  // a second close, or a close of nothing
  }
  // The live handle kept its result through all of that.
  ASSERT_EQ(LxGetResultCnt(live), 1u);
  EXPECT_STREQ(LxGetWordAt(live, 0), "ab");
  for (size_t index : {size_t{1} << 32, (size_t{1} << 32) + 1, size_t{1} << 31, size_t(-1)}) {
    EXPECT_EQ(LxGetWordAt(live, index), nullptr) << index;
    EXPECT_EQ(LxGetMixWordAt(live, index), nullptr) << index;
  }
  LxCloseSegHandle(live);
  LxUnInitSeg();
}

TEST(CustomDictMisuse, CallsThatNameNothingAreRefused) {
  TempDir dir;
  WriteDataDirWithWords(dir, kTwoWords);
  std::string words = dir.Write("words.txt", "天安门广场\n");

  EXPECT_EQ(LxAddCustomDict(words.c_str()), 0u) << "nothing loaded yet";
  EXPECT_FALSE(LxUpdateCustomDict(words.c_str(), 1));
  ASSERT_TRUE(LxInitSeg(dir.path().c_str()));
  EXPECT_EQ(LxGetWorkingCustomDictID(), 1u);
  EXPECT_FALSE(LxUpdateCustomDict(nullptr, 1));
  EXPECT_FALSE(LxUpdateCustomDict(words.c_str(), 0));
  EXPECT_FALSE(LxUpdateCustomDict(words.c_str(), 2));
  EXPECT_TRUE(LxUpdateCustomDict(words.c_str(), 1));

  // Fill every id: the next add fails and says why.
  for (size_t id = 2; id <= CustomDictContainer::kMaxDictCount; ++id) {
    ASSERT_EQ(LxAddCustomDict(words.c_str()), id);
  }
  testing::internal::CaptureStderr();
  EXPECT_EQ(LxAddCustomDict(words.c_str()), 0u);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("1024"), std::string::npos);

  LxUnInitSeg();
  EXPECT_EQ(LxAddCustomDict(words.c_str()), 0u) << "after LxUnInitSeg";
  EXPECT_EQ(LxGetWorkingCustomDictID(), 0u);
  EXPECT_EQ(CustomDictContainer::size(), 0u);
}
