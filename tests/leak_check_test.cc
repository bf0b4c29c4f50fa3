// A long life of the library in one process: many start-ups and shut-downs,
// many handles, many custom dictionaries added, updated and deleted between
// segmentations. Run in the sanitizer build, LeakSanitizer fails the test
// at exit if any of it left memory behind; the checks here make sure every
// step really did its work.
#include <gtest/gtest.h>

#include <string>

#include "support/TestUtil.h"
#include "zorvseg.h"
#include "zorvseg_mode.h"

using namespace new_seg;
using testutil::TempDir;

namespace {

const std::string kDataDir = ZORVSEG_TEST_DATA_DIR;
const int32_t kCustomWordMode = kModeUseCustomWord | kModePosTag;

// A handle compiles its patterns when it is created, which the sanitizers
// slow down a hundredfold; a leak shows in a few thousand handles as well
// as in many.
#ifdef ZORVSEG_SANITIZED
const int kHandles = 2000;
const int kDictionaryCycles = 1000;
#else
const int kHandles = 100000;
const int kDictionaryCycles = 10000;
#endif

// The command line's default without the unknown-word stage, whose model
// the minimal data directory lacks.
const int32_t kTagged = kModeCommandLineDefault & ~kModeFindUnknownWords;

// The number of basic words, or -1 when segmentation fails.
int WordCount(HANDLE handle, const std::string& text) {
  if (!LxSegment(handle, text.data(), text.size(), kCharsetUTF8)) return -1;
  return static_cast<int>(LxGetResultCnt(handle));
}

// Starts and stops the library: a run over every mode family each time.
void StartSegmentStop(const std::string& dir, int times) {
  for (int i = 0; i < times; ++i) {
    ASSERT_TRUE(LxInitSeg(dir.c_str())) << dir;
    for (int32_t mode : {0, kTagged, kModeModuleDefault | kModeAdjustNe,
                         kModeUseAdditionalRuleMode | kModeUseCustomRule}) {
      HANDLE handle = LxCreateSegHandle(mode);
      EXPECT_GT(WordCount(handle, "我爱北京天安门。Hello, World 2026年12月7日王小明"), 0);
      LxCloseSegHandle(handle);
    }
    LxUnInitSeg();
  }
}

}  // namespace

TEST(LeakCheck, RestartsHandlesAndCustomDictionariesLeaveNothingBehind) {
  TempDir small;
  testutil::WriteMinimalDataDir(small);
  StartSegmentStop(small.path(), 98);
  StartSegmentStop(kDataDir, 2);  // every loader of the built data, once more

  ASSERT_TRUE(LxInitSeg(small.path().c_str()));
  for (int i = 0; i < kHandles; ++i) {
    HANDLE handle = LxCreateSegHandle(i % 2 == 0 ? 0 : kTagged);
    ASSERT_NE(handle, nullptr);
    if (i % 500 == 0) {
      EXPECT_GT(WordCount(handle, "我爱北京"), 0);
    }
    LxCloseSegHandle(handle);
  }

  // "天安门" is one word of the data; the custom words cut it differently.
  std::string two_words = small.Write("two.txt", "天安\n门\n");
  std::string one_word = small.Write("one.txt", "我爱北京天安门\n");
  HANDLE handle = LxCreateSegHandle(kCustomWordMode);
  for (int i = 0; i < kDictionaryCycles; ++i) {
    size_t id = LxAddCustomDict(two_words.c_str());
    ASSERT_NE(id, 0u) << "cycle " << i;
    LxSwitchCustomDictTo(id);
    int split = WordCount(handle, "我爱北京天安门");
    ASSERT_TRUE(LxUpdateCustomDict(one_word.c_str(), id)) << "cycle " << i;
    int whole = WordCount(handle, "我爱北京天安门");
    LxSwitchCustomDictTo(1);  // the working dictionary cannot be deleted
    LxDelCustomDict(id);
    if (i % 500 == 0) {
      EXPECT_EQ(LxGetWorkingCustomDictID(), 1u);
      EXPECT_EQ(whole, 1) << "cycle " << i;
      EXPECT_GT(split, whole) << "cycle " << i;
    }
  }
  LxCloseSegHandle(handle);
  LxUnInitSeg();
}
