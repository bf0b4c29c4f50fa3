// Core dictionary: building from a lexicon, the id conventions of its
// lookups, the file round trip and refusing files whose counts do not fit.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "dict/CoreDict.h"
#include "support/ScratchDir.h"

namespace {

using dict_test::ReadFile;
using dict_test::ScratchDir;
using dict_test::WriteFile;
using new_seg::CoreDict;
using new_seg::CoreTermAttribute;

// GBK: zhong guo (China), zhong guo ren (Chinese person), ren (person).
const std::string kZhongGuo = "\xd6\xd0\xb9\xfa";
const std::string kZhongGuoRen = "\xd6\xd0\xb9\xfa\xc8\xcb";
const std::string kRen = "\xc8\xcb";

const std::string kLexicon =
    kZhongGuo + "\t1\n" +
    kZhongGuoRen + "\t5 0 4 6\n" +
    kRen + "\t1\n" +
    "\n" +                      // blank: skipped
    "abc\t3\r\n" +              // CR counts as white space among integers
    kRen + "\t257 -1\n" +       // redefines ren; -1 is not a position
    "a\t1\n";

class CoreDictTest : public ::testing::Test {
 protected:
  void SetUp() override { CoreDict::UnInit(); }
  void TearDown() override { CoreDict::UnInit(); }

  static bool BuildFrom(const std::string& text) {
    std::istringstream in(text);
    return CoreDict::BuildFromStream(in, "lexicon.txt");
  }

  // Writes a dictionary built from kLexicon and returns the file's bytes.
  std::string SavedDictionary() {
    EXPECT_TRUE(BuildFrom(kLexicon));
    EXPECT_TRUE(CoreDict::Save(path_.c_str()));
    CoreDict::UnInit();
    return ReadFile(path_);
  }

  bool InitFrom(const std::string& bytes) {
    CoreDict::UnInit();
    WriteFile(path_, bytes);
    return CoreDict::Init(path_.c_str());
  }

  ScratchDir dir_;
  std::string path_ = dir_.File("core_dict.dat");
};

TEST_F(CoreDictTest, BuildKeepsTheLastDefinitionAndIndexesSplitLists) {
  new_seg::CoreDictBuildStats stats;
  std::istringstream in(kLexicon);
  ASSERT_TRUE(CoreDict::BuildFromStream(in, "lexicon.txt", &stats));
  EXPECT_EQ(7u, stats.lines);
  EXPECT_EQ(1u, stats.skipped_blank);
  EXPECT_EQ(1u, stats.replaced);
  EXPECT_EQ(5u, CoreDict::GetSize());

  // Byte order: "a" < "abc" < ren (0xC8) < zhongguo (0xD6) < zhongguoren.
  EXPECT_EQ(1, CoreDict::ExactMatchSearch("a"));
  EXPECT_EQ(2, CoreDict::ExactMatchSearch("abc"));
  EXPECT_EQ(-1, CoreDict::ExactMatchSearch("ab"));
  EXPECT_EQ(-1, CoreDict::ExactMatchSearch("abc\r"));

  const CoreTermAttribute* ren = CoreDict::GetValue(3);
  ASSERT_NE(nullptr, ren);
  EXPECT_EQ(2, ren->term_len);
  EXPECT_EQ(257, ren->term_type);
  EXPECT_EQ(0u, ren->term_seg_info_index);

  const CoreTermAttribute* compound =
      CoreDict::GetValue(CoreDict::ExactMatchSearch(kZhongGuoRen.c_str()));
  ASSERT_NE(nullptr, compound);
  EXPECT_EQ(6, compound->term_len);
  EXPECT_EQ(5, compound->term_type);
  ASSERT_NE(0u, compound->term_seg_info_index);
  const uint8_t* parts = CoreDict::GetSegInfo(compound->term_seg_info_index);
  ASSERT_NE(nullptr, parts);
  EXPECT_EQ(0, parts[0]);
  EXPECT_EQ(4, parts[1]);
  EXPECT_EQ(6, parts[2]);
  EXPECT_EQ(4u, CoreDict::GetSegInfoSize());
  EXPECT_EQ(0, *CoreDict::GetSegInfo(0));

  EXPECT_EQ(nullptr, CoreDict::GetValue(0));
  EXPECT_EQ(nullptr, CoreDict::GetValue(6));
  EXPECT_EQ(nullptr, CoreDict::GetSegInfo(4));
}

TEST_F(CoreDictTest, PrefixSearchIncrementsOnlyTheStoredIds) {
  ASSERT_TRUE(BuildFrom(kLexicon));
  std::string text = kZhongGuoRen + kRen;
  int ids[3] = {-7, -7, -7};
  ASSERT_EQ(2u, CoreDict::CommonPrefixSearch(text.c_str(), 0, ids, 3));
  EXPECT_EQ(4, ids[0]);
  EXPECT_EQ(5, ids[1]);
  EXPECT_EQ(-7, ids[2]);
  int one[2] = {-7, -7};
  ASSERT_EQ(2u, CoreDict::CommonPrefixSearch(text.c_str(), text.size(), one, 1));
  EXPECT_EQ(4, one[0]);
  EXPECT_EQ(-7, one[1]);
  // A length shorter than the text limits the search.
  EXPECT_EQ(1u, CoreDict::CommonPrefixSearch(text.c_str(), 4, one, 2));

  // Traverse hands out the raw 0-based value.
  std::size_t node = 0, pos = 0;
  EXPECT_EQ(3, CoreDict::Traverse(kZhongGuo.c_str(), 0, &node, &pos));
  EXPECT_EQ(4, CoreDict::Traverse(kZhongGuoRen.c_str(), 6, &node, &pos));
  EXPECT_EQ(6u, pos);
}

TEST_F(CoreDictTest, SaveAndInitKeepEveryId) {
  ASSERT_TRUE(BuildFrom(kLexicon));
  const char* terms[] = {"a", "abc", kRen.c_str(), kZhongGuo.c_str(),
                         kZhongGuoRen.c_str()};
  std::vector<CoreTermAttribute> before;
  for (const char* term : terms) {
    before.push_back(*CoreDict::GetValue(CoreDict::ExactMatchSearch(term)));
  }
  ASSERT_TRUE(CoreDict::Save(path_.c_str()));
  CoreDict::UnInit();
  EXPECT_EQ(-1, CoreDict::ExactMatchSearch("a"));  // unloaded: no crash

  ASSERT_TRUE(CoreDict::Init(path_.c_str()));
  for (std::size_t i = 0; i < 5; ++i) {
    int id = CoreDict::ExactMatchSearch(terms[i]);
    EXPECT_EQ(static_cast<int>(i + 1), id);
    EXPECT_EQ(0, std::memcmp(&before[i], CoreDict::GetValue(id),
                             sizeof(CoreTermAttribute)));
  }
  // Loaded already: a second Init does nothing, whatever the path.
  EXPECT_TRUE(CoreDict::Init(dir_.File("missing.dat").c_str()));
}

TEST_F(CoreDictTest, SaveRefusesAnEmptyDictionaryAndLeavesNoFile) {
  EXPECT_FALSE(CoreDict::Save(path_.c_str()));
  ASSERT_TRUE(BuildFrom("\n\n"));
  EXPECT_EQ(0u, CoreDict::GetSize());
  EXPECT_FALSE(CoreDict::Save(path_.c_str()));
  EXPECT_TRUE(ReadFile(path_).empty());
}

TEST_F(CoreDictTest, BuildRejectsLinesItCannotUseAndNamesThem) {
  struct Case {
    const char* line;
    const char* message;
  } cases[] = {
      {"word", "no TAB"},
      {"word\t", "missing term type"},
      {"word\tx1", "term type 'x1'"},
      {"word\t70000", "0..65535"},
      {"word\t1 0 2 x", "split position 'x'"},
      {"word\t5 0 2 3", "not at the term length 4"},
      {"word\t5 2 0 4", "do not ascend"},
      {"word\t5 0 300", "outside 0..255"},
  };
  ASSERT_TRUE(BuildFrom("keep\t1\n"));
  for (const Case& c : cases) {
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(BuildFrom(std::string("ok\t1\n") + c.line + "\n")) << c.line;
    std::string message = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(std::string::npos, message.find("lexicon.txt:2: ")) << message;
    EXPECT_NE(std::string::npos, message.find(c.message)) << message;
  }
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(BuildFrom(std::string("ok\t1\nwo\0rd\t1\n", 14)));
  EXPECT_NE(std::string::npos, ::testing::internal::GetCapturedStderr().find("NUL byte"));
  // A failed build leaves the previous dictionary in place.
  EXPECT_EQ(1, CoreDict::ExactMatchSearch("keep"));
}

TEST_F(CoreDictTest, InitRefusesEveryTruncation) {
  std::string good = SavedDictionary();
  ASSERT_TRUE(InitFrom(good));
  for (std::size_t size = 0; size < good.size(); ++size) {
    ::testing::internal::CaptureStderr();
    bool loaded = InitFrom(good.substr(0, size));
    std::string message = ::testing::internal::GetCapturedStderr();
    ASSERT_FALSE(loaded) << "loaded a file cut to " << size << " bytes";
    ASSERT_NE(std::string::npos, message.find(path_)) << message;
  }
  // Nothing half-loaded stays behind: the good file loads again.
  EXPECT_TRUE(InitFrom(good));
}

// Offsets of the header fields for kLexicon's 5 records.
const std::size_t kRecordsAt = 8;
const std::size_t kSegInfoSizeAt = 8 + 5 * 8;
const std::size_t kSegInfoAt = kSegInfoSizeAt + 8;

void Put64(std::string* bytes, std::size_t at, uint64_t value) {
  std::memcpy(&(*bytes)[at], &value, 8);
}

TEST_F(CoreDictTest, InitRefusesCountsAndIndexesThatDoNotFit) {
  std::string good = SavedDictionary();
  ASSERT_EQ(4u, good[kSegInfoSizeAt]);

  std::string huge_count = good;
  Put64(&huge_count, 0, uint64_t{1} << 61);
  std::string count_past_end = good;
  Put64(&count_past_end, 0, good.size() / 8);
  std::string seg_info_past_end = good;
  Put64(&seg_info_past_end, kSegInfoSizeAt, good.size());
  std::string empty_seg_info = good;
  Put64(&empty_seg_info, kSegInfoSizeAt, 0);
  std::string trie_not_whole = good + std::string(4, '\0');

  // Record 4 (the compound) points at seg-info byte 1.
  std::string index_outside = good;
  uint32_t outside = 4;
  std::memcpy(&index_outside[kRecordsAt + 4 * 8 + 4], &outside, 4);
  std::string list_without_end = good;
  list_without_end[kSegInfoAt + 3] = 5;  // the list's closing 6

  // A value unit naming a record that does not exist.
  std::string value_outside = good;
  for (std::size_t at = kSegInfoAt + 4; at + 4 <= good.size(); at += 4) {
    uint32_t unit;
    std::memcpy(&unit, &good[at], 4);
    if ((unit & 0x80000000u) != 0) {
      unit = 0x80000000u | 5;
      std::memcpy(&value_outside[at], &unit, 4);
      break;
    }
  }

  const std::pair<const char*, const std::string*> cases[] = {
      {"huge count", &huge_count},
      {"count past end", &count_past_end},
      {"seg-info past end", &seg_info_past_end},
      {"empty seg-info", &empty_seg_info},
      {"trie not whole blocks", &trie_not_whole},
      {"index outside seg-info", &index_outside},
      {"list without end", &list_without_end},
      {"value outside records", &value_outside}};
  for (const auto& c : cases) {
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(InitFrom(*c.second)) << c.first;
    std::string message = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(std::string::npos, message.find(path_)) << message;
  }
  EXPECT_TRUE(InitFrom(good));
}

// Flipped bytes either make the file unloadable or leave a dictionary whose
// every lookup stays inside its arrays and hands out valid ids.
TEST_F(CoreDictTest, CorruptedBytesNeverBreakLookups) {
  std::string good = SavedDictionary();
  std::mt19937 rng(29);
  const std::string probes[] = {"a", "abc", kRen, kZhongGuo, kZhongGuoRen,
                                kZhongGuoRen + kRen, "zz"};
  for (int round = 0; round < 300; ++round) {
    std::string bad = good;
    for (int flips = 1 + round % 4; flips > 0; --flips) {
      bad[rng() % bad.size()] ^= static_cast<char>(1 + rng() % 255);
    }
    ::testing::internal::CaptureStderr();
    bool loaded = InitFrom(bad);
    ::testing::internal::GetCapturedStderr();
    if (!loaded) continue;
    int ids[8];
    for (const std::string& probe : probes) {
      int id = CoreDict::ExactMatchSearch(probe.c_str());
      if (id != -1) {
        ASSERT_NE(nullptr, CoreDict::GetValue(id));
      }
      std::size_t n = CoreDict::CommonPrefixSearch(probe.c_str(), 0, ids, 8);
      for (std::size_t i = 0; i < n && i < 8; ++i) {
        ASSERT_NE(nullptr, CoreDict::GetValue(ids[i]));
      }
    }
  }
}

}  // namespace
