// The entity dictionary, the compound surnames and the entity patterns:
// sources to files and back, the record layout without seg-info, and the
// files and sources that must not load.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <sstream>
#include <string>

#include "ner/NEDict.h"
#include "ner/NEPattern.h"
#include "support/ScratchDir.h"

namespace {

using dict_test::ReadFile;
using dict_test::ScratchDir;
using dict_test::WriteFile;
using new_seg::NEDict;
using new_seg::NEDictAttribute;
using new_seg::NEPattern;
using new_seg::NEPatternAttribute;

class NEDictTest : public ::testing::Test {
 protected:
  void TearDown() override {
    NEDict::UnInit();
    NEPattern::UnInit();
  }
  bool Build(const std::string& text) {
    std::istringstream in(text);
    return NEDict::BuildFromStream(in, "entities.txt");
  }
  const NEDictAttribute* Entry(const char* key) {
    return NEDict::GetValue(NEDict::ExactMatchSearch(key));
  }
  std::string BuildError(const std::string& text) {
    testing::internal::CaptureStderr();
    bool built = Build(text);
    std::string error = testing::internal::GetCapturedStderr();
    return built ? "built" : error;
  }

  ScratchDir dir_;
  std::string path_ = dir_.File("ne_dict.dat");
};

TEST_F(NEDictTest, LinesOfOneKeyMergeByTheirExactTypeValue) {
  ASSERT_TRUE(Build("key\t8192\t3\t0.9\t11\t12\nkey\t1\t5\n"
                    "menu\t4\t0.1\t0.7\t0.3\t0.2\t0.4\t0.9\n"
                    "mixed\t8193\t7\n"
                    "org\t2097152\t0.8\n"));
  const NEDictAttribute* key = Entry("key");
  ASSERT_NE(nullptr, key);
  EXPECT_EQ(8193u, key->type);
  EXPECT_EQ(3u, key->len);
  EXPECT_EQ(3, key->attr.geo_type);
  EXPECT_FLOAT_EQ(0.9f, key->attr.score);
  EXPECT_EQ(11u, key->attr.geo_code[0]);
  EXPECT_EQ(12u, key->attr.geo_code[1]);
  EXPECT_EQ(0u, key->attr.geo_code[2]);
  EXPECT_EQ(5u, key->first_last_name);
  // Six scores: the maximum is over the first five, not the menu score.
  EXPECT_FLOAT_EQ(0.7f, Entry("menu")->scores.max_score);
  EXPECT_FLOAT_EQ(0.9f, Entry("menu")->scores.menu_score);
  // 0x2001 is not the place value: three fields mean a name code.
  EXPECT_EQ(7u, Entry("mixed")->first_last_name);
  EXPECT_EQ(0, Entry("mixed")->attr.geo_type);
  EXPECT_FLOAT_EQ(0.8f, Entry("org")->scores.organization_score);
}

TEST_F(NEDictTest, IdsFollowByteOrderAndPrefixesComeShortestFirst) {
  ASSERT_TRUE(Build("b\t1\na\t1\nab\t1\n\n\t5\n"));
  EXPECT_EQ(1, NEDict::ExactMatchSearch("a"));
  EXPECT_EQ(2, NEDict::ExactMatchSearch("ab"));
  EXPECT_EQ(3, NEDict::ExactMatchSearch("b"));
  int ids[4];
  ASSERT_EQ(2u, NEDict::CommonPrefixSearch("abc", 3, ids, 4));
  EXPECT_EQ(1, ids[0]);
  EXPECT_EQ(2, ids[1]);
  EXPECT_EQ(nullptr, NEDict::GetValue(0));
  EXPECT_EQ(nullptr, NEDict::GetValue(4));
}

TEST_F(NEDictTest, BadSourceLinesAreReportedWithTheirLine) {
  const struct {
    const char* source;
    const char* message;
  } kCases[] = {
      {"ok\t1\nkeyonly\n", "entities.txt:2: no kind value"},
      {"k\tx\n", "entities.txt:1: kind value 'x' is not an integer"},
      {"k\t8192\t1\n", "entities.txt:1: a place line needs a geo type and a score"},
      {"k\t8192\t300\t0.5\n", "geo type '300'"},
      {"k\t131072\n", "type value 131072 needs a score"},
      {"k\t131072\tnan\n", "score 'nan' is not a number"},
      {"\n\t7\n", "no entries"},
  };
  for (const auto& c : kCases) {
    std::string error = BuildError(c.source);
    EXPECT_NE(std::string::npos, error.find(c.message)) << c.source << " gave " << error;
  }
}

TEST_F(NEDictTest, SavesWithoutSegInfoAndLoadsBack) {
  EXPECT_FALSE(NEDict::Save(path_.c_str()));  // nothing built: no file written
  EXPECT_TRUE(ReadFile(path_).empty());
  ASSERT_TRUE(Build("a\t1\nab\t8192\t1\t0.6\n"));
  ASSERT_TRUE(NEDict::Save(path_.c_str()));
  std::string bytes = ReadFile(path_);
  uint64_t count = 0;
  std::memcpy(&count, bytes.data(), 8);
  EXPECT_EQ(2u, count);
  EXPECT_EQ(0u, (bytes.size() - 8 - 2 * sizeof(NEDictAttribute)) % 1024);  // then the trie
  NEDict::UnInit();
  ASSERT_TRUE(NEDict::Init(path_.c_str()));
  EXPECT_FLOAT_EQ(0.6f, Entry("ab")->attr.score);
  EXPECT_TRUE(NEDict::Init(path_.c_str()));  // loaded: nothing to do
}

TEST_F(NEDictTest, TruncatedOrOversizedFilesDoNotLoad) {
  ASSERT_TRUE(Build("a\t1\nab\t1\n"));
  ASSERT_TRUE(NEDict::Save(path_.c_str()));
  NEDict::UnInit();
  const std::string good = ReadFile(path_);
  std::string huge_count = good;
  huge_count[6] = 1;
  const std::string cases[] = {good.substr(0, 7), good.substr(0, 8 + 84),
                               good.substr(0, good.size() - 4), huge_count};
  for (const std::string& bad : cases) {
    WriteFile(path_, bad);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(NEDict::Init(path_.c_str()));
    EXPECT_NE(std::string::npos,
              testing::internal::GetCapturedStderr().find("entity dictionary: " + path_));
  }
  EXPECT_FALSE(NEDict::Init(dir_.File("missing.dat").c_str()));
}

TEST_F(NEDictTest, CompoundSurnamesIgnoreCarriageReturnsAndBlankLines) {
  WriteFile(dir_.File("name.dat"), "ab\r\n\ncd\nab\n");
  ASSERT_TRUE(NEDict::load_compound_surname(dir_.File("name.dat").c_str()));
  EXPECT_EQ(2u, NEDict::compound_surname_count());
  EXPECT_TRUE(NEDict::is_compound_surname("abxy", 2));
  EXPECT_TRUE(NEDict::is_compound_surname("cd", 0));
  EXPECT_FALSE(NEDict::is_compound_surname("a", 1));
  // A second load replaces the list; UnInit drops it.
  WriteFile(dir_.File("name.dat"), "xy\n");
  ASSERT_TRUE(NEDict::load_compound_surname(dir_.File("name.dat").c_str()));
  EXPECT_FALSE(NEDict::is_compound_surname("ab", 2));
  NEDict::UnInit();
  EXPECT_FALSE(NEDict::is_compound_surname("xy", 2));
  EXPECT_FALSE(NEDict::load_compound_surname(dir_.File("missing").c_str()));
}

TEST_F(NEDictTest, PatternLinesReplaceEarlierOnesAndZeroScoresAddNothing) {
  std::istringstream in(
      "k\t3\t0.5\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0.25\n"
      "k\t9\n"
      "zero\t1\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\n"
      "\t4\n"
      "s\t2\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0.5\n");
  new_seg::NEPatternBuildStats stats;
  ASSERT_TRUE(NEPattern::BuildFromStream(in, "patterns.txt", &stats));
  EXPECT_EQ(1u, stats.skipped_zero);
  EXPECT_EQ(1u, stats.replaced);
  const NEPatternAttribute* k = NEPattern::GetValue(NEPattern::ExactMatchSearch("k"));
  ASSERT_NE(nullptr, k);
  EXPECT_EQ(9u, k->type);
  EXPECT_EQ(0.0f, k->scores.video_score);
  EXPECT_EQ(-1, NEPattern::ExactMatchSearch("zero"));
  EXPECT_EQ(1, NEPattern::ExactMatchSearch("k"));
  const NEPatternAttribute* s = NEPattern::GetValue(2);
  EXPECT_FLOAT_EQ(0.5f, s->scores.traffic_score);

  std::string path = dir_.File("ne_pattern.dat");
  ASSERT_TRUE(NEPattern::Save(path.c_str()));
  NEPattern::UnInit();
  ASSERT_TRUE(NEPattern::Init(path.c_str()));
  EXPECT_EQ(2u, NEPattern::GetSize());
  WriteFile(path, ReadFile(path).substr(0, 8 + 56));
  NEPattern::UnInit();
  testing::internal::CaptureStderr();
  EXPECT_FALSE(NEPattern::Init(path.c_str()));
  EXPECT_NE(std::string::npos, testing::internal::GetCapturedStderr().find("entity patterns"));
}

}  // namespace
