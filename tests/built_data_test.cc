// Checks of the data directory the build made (not of small test data):
// what its tables convert, that it still segments its manifest's samples as
// recorded, and that damaged copies of its files are refused.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "dict/DictFile.h"
#include "driver/DataManifest.h"
#include "driver/SegMode.h"
#include "support/ScratchDir.h"
#include "support/TestUtil.h"
#include "text/SentenceNormalizer.h"
#include "zorvseg.h"
#include "zorvseg_mode.h"

using namespace new_seg;
using testutil::Utf8ToGbk;

namespace {

const std::string kDataDir = ZORVSEG_TEST_DATA_DIR;

std::string DataFile(const char* name) { return kDataDir + "/" + name; }

std::vector<std::string> BasicWords(HANDLE handle, const std::string& text) {
  std::vector<std::string> words;
  if (!LxSegment(handle, text.data(), text.size(), kCharsetUTF8)) return {"<failed>"};
  for (size_t i = 0; i < LxGetResultCnt(handle); ++i) {
    std::string word = LxGetWordAt(handle, i);
    if (word.find_first_not_of(" \t\r\n") != std::string::npos) words.push_back(word);
  }
  return words;
}

// A copy of the built data directory in which every file is a link to the
// original, except those a test replaces.
class DataDirCopy {
 public:
  DataDirCopy() {
    for (const auto& entry : std::filesystem::directory_iterator(kDataDir)) {
      std::filesystem::create_symlink(entry.path(), dir_.File(entry.path().filename()));
    }
  }
  const std::string& path() const { return dir_.path(); }
  // Replaces the link by a copy of the file changed by edit.
  void Edit(const std::string& name, const std::function<void(std::string*)>& edit) {
    std::string bytes = dict_test::ReadFile(DataFile(name.c_str()));
    edit(&bytes);
    std::filesystem::remove(dir_.File(name));
    dict_test::WriteFile(dir_.File(name), bytes);
  }
  void Remove(const std::string& name) { std::filesystem::remove(dir_.File(name)); }

 private:
  testutil::TempDir dir_;
};

void CutToHalfTrie(std::string* bytes) {
  bytes->resize(bytes->size() / 2 / dict_file::kTrieBlockBytes * dict_file::kTrieBlockBytes);
}

void FlipAByteInTheMiddle(std::string* bytes) { (*bytes)[bytes->size() / 2] ^= 0x10; }

}  // namespace

// The data build recorded what its data gave these sentences; the library
// must still give exactly that.
TEST(BuiltData, ManifestSamplesSegmentAsRecorded) {
  DataManifest manifest;
  bool present = false;
  std::string error;
  ASSERT_TRUE(DataManifest::Read(kDataDir + "/", &manifest, &present, &error)) << error;
  ASSERT_TRUE(present);
  ASSERT_FALSE(manifest.samples.empty());
  ASSERT_TRUE(LxInitSeg(kDataDir.c_str()));
  for (const DataManifest::Sample& sample : manifest.samples) {
    HANDLE handle = LxCreateSegHandle(sample.mode);
    EXPECT_EQ(BasicWords(handle, sample.text), sample.words) << sample.text;
    LxCloseSegHandle(handle);
  }
  LxUnInitSeg();
}

// An n-gram file cut to half (whole trie blocks) once loaded silently and
// changed 70-121 of 2,000 lines; a flipped byte was never noticed.
TEST(BuiltData, DamagedCopiesOfTheDataAreRefused) {
  struct Case {
    const char* name;
    std::function<void(DataDirCopy*)> damage;
    bool loads;
    const char* message;  // part of what stderr must say
  };
  const std::vector<Case> cases = {
      {"untouched", [](DataDirCopy*) {}, true, ""},
      {"n-gram file cut to half, no manifest",
       [](DataDirCopy* d) {
         d->Remove("manifest.txt");
         d->Edit("ngram.dat0", CutToHalfTrie);
       },
       false, "looks cut short"},
      {"n-gram file cut to half",
       [](DataDirCopy* d) { d->Edit("ngram.dat1", CutToHalfTrie); }, false, "ngram.dat1"},
      {"a byte flipped in an n-gram file",
       [](DataDirCopy* d) { d->Edit("ngram.dat2", FlipAByteInTheMiddle); }, false,
       "ngram.dat2: checksum"},
      {"a byte flipped in the core dictionary",
       [](DataDirCopy* d) { d->Edit("core_dict.dat", FlipAByteInTheMiddle); }, false,
       "core_dict.dat: checksum"},
      {"a listed file missing", [](DataDirCopy* d) { d->Remove("tag_info.dat"); }, false,
       "tag_info.dat"},
      {"a garbled manifest",
       [](DataDirCopy* d) { d->Edit("manifest.txt", [](std::string* m) { *m += "file\tx\n"; }); },
       false, "manifest.txt: line"},
      {"without a manifest a flipped byte goes unchecked",
       [](DataDirCopy* d) {
         d->Remove("manifest.txt");
         d->Edit("ascii_dict.txt", [](std::string* b) { (*b)[b->size() / 2] = 'x'; });
       },
       true, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DataDirCopy copy;
    c.damage(&copy);
    testing::internal::CaptureStderr();
    bool loaded = LxInitSeg(copy.path().c_str());
    std::string messages = testing::internal::GetCapturedStderr();
    LxUnInitSeg();
    EXPECT_EQ(loaded, c.loads);
    EXPECT_NE(messages.find(c.message), std::string::npos) << messages;
  }
}

// The table converts characters one by one, so a character simplified text
// writes (乾 of 乾隆, 乾坤) must never be in it: it once turned 乾隆 into 干隆.
TEST(BuiltData, TraditionalToSimplifiedLeavesSimplifiedTextAlone) {
  SentenceNormalizer::UnInit();
  ASSERT_TRUE(SentenceNormalizer::Init(DataFile("t2s.dat").c_str()));
  SegMode mode(kModeTraditionalToSimplified);
  SentenceNormalizer normalizer(&mode, 1024);
  ASSERT_TRUE(normalizer.Init());
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"乾隆皇帝扭转乾坤", "乾隆皇帝扭转乾坤"},
      {"哪吒闹海", "哪吒闹海"},
      {"宫商角徵羽", "宫商角徵羽"},
      {"我愛中國", "我爱中国"},
      {"頭髮與發展", "头发与发展"},
      {"臺灣的學校", "台湾的学校"},
  };
  for (const auto& c : cases) {
    std::string gbk = Utf8ToGbk(c.first);
    size_t len = 0;
    const char* out = normalizer.Normalize(gbk.data(), gbk.size(), len);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(testutil::GbkToUtf8(std::string(out, len)), c.second) << c.first;
  }
  SentenceNormalizer::UnInit();
}

// The example entries of our rule files load and act in the modes that
// turn them on, and only there.
TEST(BuiltData, ExampleRulesApplyInTheirModes) {
  ASSERT_TRUE(LxInitSeg(kDataDir.c_str()));
  const int32_t kDefault = 0x214;
  HANDLE plain = LxCreateSegHandle(kDefault);
  HANDLE custom = LxCreateSegHandle(kDefault | kModeUseCustomRule);
  HANDLE additional = LxCreateSegHandle(kDefault | kModeUseAdditionalRuleMode);
  std::vector<std::string> as_meant = {"乒乓球拍", "卖", "完", "了"};
  EXPECT_NE(BasicWords(plain, "乒乓球拍卖完了"), as_meant);
  EXPECT_EQ(BasicWords(custom, "乒乓球拍卖完了"), as_meant);
  EXPECT_EQ(BasicWords(custom, "白天鹅在水里游"),
            (std::vector<std::string>{"白", "天鹅", "在", "水里", "游"}));
  BasicWords(additional, "我在北京大学学习");
  EXPECT_EQ(LxGetAdditionalTokenCnt(additional), 2u);
  BasicWords(plain, "我在北京大学学习");
  EXPECT_EQ(LxGetAdditionalTokenCnt(plain), 0u);
  for (HANDLE handle : {plain, custom, additional}) LxCloseSegHandle(handle);
  LxUnInitSeg();
}
