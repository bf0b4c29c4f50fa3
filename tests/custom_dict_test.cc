// Custom word dictionaries: the word-file format, directory scans, damaged
// and hostile input, and the id management of the container.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "custom/CustomDict.h"
#include "custom/CustomDictContainer.h"
#include "custom/UserTextFile.h"
#include "support/TestUtil.h"
#include "zorvseg.h"

using namespace new_seg;
using testutil::Utf8ToGbk;

namespace {

// The attribute of a word (given in UTF-8), or null when it is not there.
const CustomTermAttribute* Find(const CustomDict& dict, const std::string& utf8_word) {
  std::string word = Utf8ToGbk(utf8_word);
  return dict.GetValue(dict.ExactMatchSearch(word.c_str(), word.size()));
}

int PosOf(const CustomDict& dict, const std::string& utf8_word) {
  const CustomTermAttribute* attribute = Find(dict, utf8_word);
  return attribute == nullptr ? -1 : attribute->term_pos;
}

}  // namespace

TEST(CustomDictFormat, TagsCommentsAndLineEndings) {
  testutil::TempDir dir;
  std::string path = dir.Write("words.txt", Utf8ToGbk(
      "北京\n"
      "天安门,\n"
      "张三, NR and more\r\n"
      "长城,\tVg\n"
      "故宫,xyz\n"
      "# 注释,n\n"
      "\n"
      ",nr\n"
      "颐和园\r\n"));
  CustomDict dict;
  ASSERT_TRUE(dict.Init(path.c_str()));
  EXPECT_EQ(dict.size(), 6u);
  EXPECT_EQ(PosOf(dict, "北京"), 16);     // no comma: n
  EXPECT_EQ(PosOf(dict, "天安门"), 0);    // bare comma: UNK_POS
  EXPECT_EQ(PosOf(dict, "张三"), 17);     // case ignored, the rest ignored
  EXPECT_EQ(PosOf(dict, "长城"), 46);     // leading TAB skipped
  EXPECT_EQ(PosOf(dict, "故宫"), 0);      // unknown tag
  EXPECT_EQ(PosOf(dict, "颐和园"), 16);   // "\r\n" ending
  EXPECT_EQ(Find(dict, "# 注释"), nullptr);
  EXPECT_EQ(Find(dict, "颐和园")->term_len, 6);
}

TEST(CustomDictFormat, AsciiIsLowerCasedAndDoubleByteCharactersKeptWhole) {
  testutil::TempDir dir;
  // 丄 is 0x81 0x41: its trail byte is an upper-case 'A' that must survive.
  std::string path = dir.Write("words.txt", Utf8ToGbk("IBM丄X\n"));
  CustomDict dict;
  ASSERT_TRUE(dict.Init(path.c_str()));
  EXPECT_NE(dict.ExactMatchSearch("ibm\x81\x41x"), -1);
  EXPECT_EQ(dict.ExactMatchSearch("ibm\x81\x61x"), -1);
  EXPECT_EQ(dict.ExactMatchSearch("IBM\x81\x41X"), -1);
}

TEST(CustomDictFormat, Utf8AndGbkFilesLoadTheSameWords) {
  testutil::TempDir dir;
  const std::string words = "北京,ns\n天安门\n😀表情,n\n";
  std::string utf8 = dir.Write("utf8.txt", words);
  std::string with_bom = dir.Write("bom.txt", "\xEF\xBB\xBF" + words);
  std::string gbk = dir.Write("gbk.txt", Utf8ToGbk("北京,ns\n天安门\n"));
  for (const std::string& path : {utf8, with_bom, gbk}) {
    CustomDict dict;
    ASSERT_TRUE(dict.Init(path.c_str())) << path;
    EXPECT_EQ(PosOf(dict, "北京"), 20) << path;
    EXPECT_EQ(PosOf(dict, "天安门"), 16) << path;
  }
  CustomDict dict;
  ASSERT_TRUE(dict.Init(utf8.c_str()));
  // A character outside GBK arrives as its four GB18030 bytes.
  EXPECT_EQ(Find(dict, "😀表情")->term_len, 8);
}

TEST(CustomDictFormat, EncodingDetection) {
  using E = UserTextFile::Encoding;
  EXPECT_EQ(UserTextFile::Detect("abc,n\n", 6), E::kAscii);
  std::string gbk = Utf8ToGbk("中文词语,n\n");
  EXPECT_EQ(UserTextFile::Detect(gbk.data(), gbk.size()), E::kGbk);
  std::string utf8 = "中文词语,n\n";
  EXPECT_EQ(UserTextFile::Detect(utf8.data(), utf8.size()), E::kUtf8);
  // Overlong forms, surrogates and truncated sequences are not UTF-8.
  EXPECT_FALSE(UserTextFile::IsValidUtf8("\xC0\xAF", 2));
  EXPECT_FALSE(UserTextFile::IsValidUtf8("\xED\xA0\x80", 3));
  EXPECT_FALSE(UserTextFile::IsValidUtf8("\xE4\xB8", 2));
  EXPECT_FALSE(UserTextFile::IsValidUtf8("\xF4\x90\x80\x80", 4));
  EXPECT_TRUE(UserTextFile::IsValidUtf8("\xF0\x9F\x98\x80", 4));
}

// One invalid byte once made a whole UTF-8 list read as GBK mojibake: the
// file is UTF-8 while most of its non-ASCII bytes are, and only its broken
// lines are skipped, each named by file and line.
TEST(CustomDictFormat, Utf8ListWithBrokenLinesStaysUtf8) {
  const std::string broken_byte = "\xFF";
  const std::string cut_character = "\xE5\xA4";  // the first two bytes of 天
  struct Case {
    const char* name;
    std::string content;
    std::vector<std::string> present;
    std::vector<std::string> reported_lines;
  };
  const std::vector<Case> cases = {
      {"one stray byte",
       "北京,ns\n天安" + broken_byte + "门\n颐和园\n",
       {"北京", "颐和园"},
       {":2:"}},
      {"a cut character at the end",
       "北京\n长城\n" + cut_character,
       {"北京", "长城"},
       {":3:"}},
      {"two broken lines of many",
       "北京\n" + broken_byte + "x\n长城\n故宫\n颐和园\n天坛" + cut_character + "\n",
       {"北京", "长城", "故宫", "颐和园"},
       {":2:", ":6:"}},
      {"GBK with no broken line",
       Utf8ToGbk("北京\n长城\n故宫\n"),
       {"北京", "长城", "故宫"},
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testutil::TempDir dir;
    std::string path = dir.Write("words.txt", c.content);
    CustomDict dict;
    testing::internal::CaptureStderr();
    ASSERT_TRUE(dict.Init(path.c_str()));
    std::string messages = testing::internal::GetCapturedStderr();
    for (const std::string& word : c.present) EXPECT_NE(Find(dict, word), nullptr) << word;
    EXPECT_EQ(dict.size(), c.present.size());
    for (const std::string& line : c.reported_lines) {
      EXPECT_NE(messages.find(path + line), std::string::npos) << messages;
    }
    if (c.reported_lines.empty()) {
      EXPECT_EQ(messages, "");
    }
  }
}

TEST(CustomDictFormat, OverlongWordsAreRefusedWithAMessage) {
  testutil::TempDir dir;
  std::string longest(255, 'a');
  std::string too_long(256, 'b');
  std::string huge_line = "c," + std::string(100 * 1024, 'x') + "\n";
  std::string path = dir.Write("words.txt", longest + "\n" + too_long + ",n\n" +
                                                std::string(100 * 1024, 'd') + "\n" + huge_line);
  CustomDict dict;
  testing::internal::CaptureStderr();
  ASSERT_TRUE(dict.Init(path.c_str()));
  std::string messages = testing::internal::GetCapturedStderr();
  EXPECT_NE(messages.find("words.txt:2: word of 256 bytes refused"), std::string::npos)
      << messages;
  EXPECT_NE(messages.find("words.txt:3: word of 102400 bytes refused"), std::string::npos);
  EXPECT_EQ(dict.size(), 2u);
  EXPECT_EQ(dict.GetValue(dict.ExactMatchSearch(longest.c_str()))->term_len, 255);
  EXPECT_NE(dict.ExactMatchSearch("c"), -1);  // a long tag is only a tag
}

TEST(CustomDictFormat, ManyRefusedLinesAreSummarised) {
  testutil::TempDir dir;
  std::string content;
  for (int i = 0; i < 50; ++i) content += std::string(300, 'z') + "\n";
  std::string path = dir.Write("words.txt", content);
  CustomDict dict;
  testing::internal::CaptureStderr();
  ASSERT_TRUE(dict.Init(path.c_str()));
  std::string messages = testing::internal::GetCapturedStderr();
  EXPECT_NE(messages.find("40 more lines refused"), std::string::npos) << messages;
  EXPECT_LT(messages.size(), 2000u);
}

TEST(CustomDictScan, DirectoriesAtAnyDepthAndLastFileWins) {
  testutil::TempDir dir;
  dir.Write("words/a.txt", Utf8ToGbk("北京,ns\n"));
  dir.Write("words/b.txt", Utf8ToGbk("北京,nt\n"));
  dir.Write("words/sub/deeper/c.dic", Utf8ToGbk("天安门\n"));
  dir.Write("words/.svn/entries", Utf8ToGbk("版本\n"));
  CustomDict dict;
  ASSERT_TRUE(dict.Init((dir.path() + "/words").c_str()));
  EXPECT_EQ(PosOf(dict, "北京"), 21);  // b.txt is read after a.txt
  EXPECT_EQ(PosOf(dict, "天安门"), 16);
  EXPECT_EQ(Find(dict, "版本"), nullptr);
  EXPECT_EQ(dict.size(), 2u);
}

TEST(CustomDictScan, MissingPathIsAnEmptyDictionary) {
  testutil::TempDir dir;
  CustomDict dict;
  EXPECT_TRUE(dict.Init((dir.path() + "/nothing/here").c_str()));
  EXPECT_EQ(dict.size(), 0u);
  int ids[4];
  EXPECT_EQ(dict.CommonPrefixSearch("abc", 3, ids, 4), 0u);
  EXPECT_TRUE(dict.Init(nullptr));
}

TEST(CustomDictScan, ThousandsOfFiles) {
  testutil::TempDir dir;
  const int kFiles = 3000;
  for (int i = 0; i < kFiles; ++i) {
    dir.Write("words/f" + std::to_string(i), "w" + std::to_string(i) + "\n");
  }
  CustomDict dict;
  ASSERT_TRUE(dict.Init((dir.path() + "/words").c_str()));
  EXPECT_EQ(dict.size(), static_cast<size_t>(kFiles));
  EXPECT_NE(dict.ExactMatchSearch("w2999"), -1);
}

TEST(CustomDictScan, LinksAreFilesAndFailuresKeepThePreviousWords) {
  testutil::TempDir dir;
  std::string good = dir.Write("good.txt", "kept\n");
  dir.Write("linked/real.txt", "viafile\n");
  std::string words = dir.path() + "/words";
  std::filesystem::create_directories(words);
  ASSERT_EQ(symlink((dir.path() + "/linked/real.txt").c_str(), (words + "/to-file").c_str()), 0);

  CustomDict dict;
  ASSERT_TRUE(dict.Init(words.c_str()));
  EXPECT_NE(dict.ExactMatchSearch("viafile"), -1);  // a link to a file is read
  // The named path itself may be a link to a directory.
  ASSERT_EQ(symlink(words.c_str(), (dir.path() + "/words-link").c_str()), 0);
  ASSERT_TRUE(dict.Init(good.c_str()));
  ASSERT_TRUE(dict.Init((dir.path() + "/words-link").c_str()));
  EXPECT_NE(dict.ExactMatchSearch("viafile"), -1);
  ASSERT_TRUE(dict.Init(good.c_str()));

  struct Case {
    const char* name;
    std::string target;  // symlink target, or "" for a FIFO
    const char* message;
  };
  const Case cases[] = {
      {"loop", "", "cannot open"},
      {"to-dir", dir.path() + "/linked", "is a directory"},
      {"dangling", dir.path() + "/absent", "cannot open"},
      {"fifo", "", "not a regular file"},
  };
  for (const Case& c : cases) {
    std::string bad_dir = dir.path() + "/bad-" + c.name;
    std::filesystem::create_directories(bad_dir);
    std::string entry = bad_dir + "/entry";
    if (std::string(c.name) == "loop") {
      ASSERT_EQ(symlink((bad_dir + "/other").c_str(), entry.c_str()), 0);
      ASSERT_EQ(symlink(entry.c_str(), (bad_dir + "/other").c_str()), 0);
    } else if (std::string(c.name) == "fifo") {
      ASSERT_EQ(mkfifo(entry.c_str(), 0600), 0);  // must not block the scan
    } else {
      ASSERT_EQ(symlink(c.target.c_str(), entry.c_str()), 0);
    }
    testing::internal::CaptureStderr();
    EXPECT_FALSE(dict.Init(bad_dir.c_str())) << c.name;
    std::string messages = testing::internal::GetCapturedStderr();
    EXPECT_NE(messages.find(bad_dir), std::string::npos) << c.name << ": " << messages;
    EXPECT_NE(messages.find(c.message), std::string::npos) << c.name << ": " << messages;
    EXPECT_NE(dict.ExactMatchSearch("kept"), -1) << c.name;
    EXPECT_EQ(dict.size(), 1u) << c.name;
  }
}

TEST(CustomDictScan, UnreadableFileFailsTheBuild) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not stop root";
  testutil::TempDir dir;
  std::string path = dir.Write("words/secret.txt", "word\n");
  ASSERT_EQ(chmod(path.c_str(), 0), 0);
  CustomDict dict;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(dict.Init((dir.path() + "/words").c_str()));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("secret.txt"), std::string::npos);
}

TEST(CustomDictScan, PathsOf4096BytesFail) {
  std::string path = "/tmp";
  while (path.size() < CustomDict::kPathCapacity) path += "/abcdefgh";
  CustomDict dict;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(dict.Init(path.c_str()));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("4096"), std::string::npos);
}

TEST(CustomDictSearch, PrefixCountIsWholeAndShortestIdsComeFirst) {
  testutil::TempDir dir;
  std::string path = dir.Write("words.txt", "a\nab\nabc\nabcd\nabcde\nb\n");
  CustomDict dict;
  ASSERT_TRUE(dict.Init(path.c_str()));
  int ids[2] = {0, 0};
  EXPECT_EQ(dict.CommonPrefixSearch("abcdef", 6, ids, 2), 5u);
  EXPECT_EQ(dict.GetValue(ids[0])->term_len, 1);
  EXPECT_EQ(dict.GetValue(ids[1])->term_len, 2);
  EXPECT_EQ(dict.GetValue(0), nullptr);
  EXPECT_EQ(dict.GetValue(7), nullptr);
}

// --- the container, through the public calls ---

class CustomDictIds : public ::testing::Test {
 protected:
  void SetUp() override {
    testutil::WriteMinimalDataDir(data_);
    data_.Write("custom_word/start.txt", "start\n");
    ASSERT_TRUE(LxInitSeg(data_.path().c_str()));
    words_ = data_.Write("more.txt", "more\n");
  }
  void TearDown() override { LxUnInitSeg(); }

  static bool WorkingHas(const char* word) {
    const CustomDict* dict = CustomDictContainer::GetWorkingDict();
    return dict != nullptr && dict->ExactMatchSearch(word) != -1;
  }

  testutil::TempDir data_;
  std::string words_;
};

TEST_F(CustomDictIds, StartUpLoadsCustomWordAsWorkingDictionary) {
  EXPECT_EQ(LxGetWorkingCustomDictID(), 1u);
  EXPECT_TRUE(WorkingHas("start"));
  // A second start-up of the loaded directory changes nothing; after a
  // shut-down, start-up begins afresh.
  EXPECT_EQ(LxAddCustomDict(words_.c_str()), 2u);
  ASSERT_TRUE(LxInitSeg(data_.path().c_str()));
  EXPECT_EQ(CustomDictContainer::size(), 2u);
  LxUnInitSeg();
  ASSERT_TRUE(LxInitSeg(data_.path().c_str()));
  EXPECT_EQ(CustomDictContainer::size(), 1u);
  EXPECT_EQ(LxAddCustomDict(words_.c_str()), 2u);
  LxUnInitSeg();
  EXPECT_EQ(LxGetWorkingCustomDictID(), 0u);
  EXPECT_EQ(CustomDictContainer::GetWorkingDict(), nullptr);
}

TEST_F(CustomDictIds, DeletedIdsAreReusedLowestFirst) {
  EXPECT_EQ(LxAddCustomDict(words_.c_str()), 2u);
  EXPECT_EQ(LxAddCustomDict(words_.c_str()), 3u);
  EXPECT_EQ(LxAddCustomDict(words_.c_str()), 4u);
  LxDelCustomDict(3);
  LxDelCustomDict(2);
  EXPECT_EQ(LxAddCustomDict(words_.c_str()), 2u);
  EXPECT_EQ(LxAddCustomDict(words_.c_str()), 3u);
  EXPECT_EQ(LxAddCustomDict(words_.c_str()), 5u);
  EXPECT_EQ(CustomDictContainer::size(), 5u);
}

TEST_F(CustomDictIds, WorkingDictionaryIsProtected) {
  LxDelCustomDict(1);
  EXPECT_EQ(LxGetWorkingCustomDictID(), 1u);
  EXPECT_TRUE(WorkingHas("start"));
  for (size_t id : {0, 2, 1024, 1025}) {
    LxSwitchCustomDictTo(id);  // empty or invalid: nothing changes
    EXPECT_EQ(LxGetWorkingCustomDictID(), 1u) << id;
    LxDelCustomDict(id);
  }
  ASSERT_EQ(LxAddCustomDict(words_.c_str()), 2u);
  LxSwitchCustomDictTo(2);
  EXPECT_TRUE(WorkingHas("more"));
  LxDelCustomDict(1);  // no longer working: deleted
  LxSwitchCustomDictTo(1);
  EXPECT_EQ(LxGetWorkingCustomDictID(), 2u);
  EXPECT_EQ(CustomDictContainer::size(), 1u);
}

TEST_F(CustomDictIds, UpdatesRebuildInPlaceAndFailuresKeepTheWords) {
  EXPECT_FALSE(LxUpdateCustomDict(words_.c_str(), 0));
  EXPECT_FALSE(LxUpdateCustomDict(words_.c_str(), 2));
  EXPECT_FALSE(LxUpdateCustomDict(words_.c_str(), 5000));
  EXPECT_TRUE(LxUpdateCustomDict(words_.c_str(), 1));  // the working one too
  EXPECT_TRUE(WorkingHas("more"));
  EXPECT_FALSE(WorkingHas("start"));

  std::string fifo = data_.path() + "/fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(LxUpdateCustomDict(fifo.c_str(), 1));
  testing::internal::GetCapturedStderr();
  EXPECT_TRUE(WorkingHas("more"));
  EXPECT_EQ(LxGetWorkingCustomDictID(), 1u);
}

TEST_F(CustomDictIds, AddFailuresLeaveNoTrace) {
  std::string fifo = data_.path() + "/fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  testing::internal::CaptureStderr();
  EXPECT_EQ(LxAddCustomDict(fifo.c_str()), 0u);
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(LxAddCustomDict(nullptr), 0u);
  EXPECT_EQ(CustomDictContainer::size(), 1u);
  EXPECT_EQ(LxAddCustomDict(words_.c_str()), 2u);  // the slot stayed free
}

TEST_F(CustomDictIds, The1025thDictionaryIsRefused) {
  for (size_t id = 2; id <= CustomDictContainer::kMaxDictCount; ++id) {
    ASSERT_EQ(LxAddCustomDict(words_.c_str()), id);
  }
  EXPECT_EQ(LxAddCustomDict(words_.c_str()), 0u);
  LxSwitchCustomDictTo(1024);
  EXPECT_TRUE(WorkingHas("more"));
  LxDelCustomDict(512);
  EXPECT_EQ(LxAddCustomDict(words_.c_str()), 512u);
  EXPECT_EQ(LxAddCustomDict(words_.c_str()), 0u);
}

TEST(CustomDictStartUp, MissingCustomWordDirectoryIsEmptyButUnreadableOneFails) {
  testutil::TempDir data;
  testutil::WriteMinimalDataDir(data);
  std::filesystem::remove(data.path() + "/custom_word");
  ASSERT_TRUE(LxInitSeg(data.path().c_str()));
  EXPECT_EQ(LxGetWorkingCustomDictID(), 1u);
  EXPECT_EQ(CustomDictContainer::GetWorkingDict()->size(), 0u);
  LxUnInitSeg();

  ASSERT_EQ(mkfifo((data.path() + "/custom_word").c_str(), 0600), 0);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(LxInitSeg(data.path().c_str()));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("custom_word"), std::string::npos);
  LxUnInitSeg();
}
