// Core rules: text to file and back, the pieces a rule cuts, and files or
// sources that must not load.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "dict/CoreRule.h"
#include "support/ScratchDir.h"

namespace {

using dict_test::ReadFile;
using dict_test::ScratchDir;
using dict_test::WriteFile;
using new_seg::CoreRule;
using new_seg::CoreRuleAttribute;

class CoreRuleTest : public ::testing::Test {
 protected:
  void TearDown() override { CoreRule::UnInit(); }

  bool Build(const std::string& text) {
    std::istringstream in(text);
    return CoreRule::BuildFromStream(in, "rules.txt");
  }
  // The pieces of the rule matching text exactly, as "begin-end" pairs.
  std::string Pieces(const std::string& pattern) {
    const CoreRuleAttribute* rule = CoreRule::GetValue(CoreRule::ExactMatchSearch(pattern.c_str()));
    if (rule == nullptr) return "no rule";
    std::string out;
    CoreRule::ForEachPiece(*rule, [&](size_t begin, size_t end) {
      out += (out.empty() ? "" : " ") + std::to_string(begin) + "-" + std::to_string(end);
    });
    return out;
  }

  ScratchDir dir_;
};

TEST_F(CoreRuleTest, SavedRulesLoadWithTheirPieces) {
  ASSERT_TRUE(Build("xabc\t1 3 0 1 3\nc++\t0 3 0 3\nmrs.\t0 4\ncannot\t0 6 0 3 6\n"));
  std::string path = dir_.File("core_rule.dat");
  ASSERT_TRUE(CoreRule::Save(path.c_str()));
  CoreRule::UnInit();
  ASSERT_TRUE(CoreRule::Init(path.c_str()));
  EXPECT_EQ(CoreRule::GetSize(), 4u);

  const CoreRuleAttribute* rule = CoreRule::GetValue(CoreRule::ExactMatchSearch("xabc"));
  ASSERT_NE(rule, nullptr);
  EXPECT_EQ(rule->rule_len, 4);
  EXPECT_EQ(rule->rule_effective_begin_pos, 1);
  EXPECT_EQ(rule->rule_effective_len, 3);
  // Offsets are relative to the match: the byte before the effective part
  // gets no piece.
  EXPECT_EQ(Pieces("xabc"), "1-2 2-4");
  EXPECT_EQ(Pieces("c++"), "0-3");
  EXPECT_EQ(Pieces("mrs."), "0-4");  // no split list: one piece
  EXPECT_EQ(Pieces("cannot"), "0-3 3-6");

  int ids[8];
  EXPECT_EQ(CoreRule::CommonPrefixSearch("c++x", 4, ids, 8), 1u);
  EXPECT_EQ(CoreRule::GetValue(ids[0])->rule_len, 3);
}

TEST_F(CoreRuleTest, LaterLineRedefinesAPatternAndMinusOneIsSkipped) {
  ASSERT_TRUE(Build("ab\t0 2 0 2\n\t0 1\nab\t0 2 0 -1 1 2\n"));
  EXPECT_EQ(CoreRule::GetSize(), 1u);
  EXPECT_EQ(Pieces("ab"), "0-1 1-2");
}

TEST_F(CoreRuleTest, SourcesThatWouldCutEmptyOrStrayPiecesFailWithTheirLine) {
  const std::pair<std::string, std::string> cases[] = {
      {"ok\t0 2\nab\t0 2 0 1\n", ":2: "},          // list stops short of the length
      {"ok\t0 2\nabc\t0 3 0 2 1 3\n", ":2: "},     // list does not ascend
      {"ok\t0 2\nabc\t0 3 0 4\n", ":2: "},         // beyond the effective part
      {"ok\t0 2\nabc\t2 2\n", ":2: "},             // effective part past the pattern
      {"ok\t0 2\nabc\t0 0\n", ":2: "},             // empty effective part
      {"ok\t0 2\nabc\n", ":2: "},                  // no TAB
      {"ok\t0 2\nabc\t1\n", ":2: "},               // no length
      {"ok\t0 2\nabc\t0 x\n", ":2: "},             // not a number
      {std::string(256, 'a') + "\t0 1\n", ":1: "},  // pattern too long
  };
  for (const auto& c : cases) {
    testing::internal::CaptureStderr();
    EXPECT_FALSE(Build(c.first)) << c.first;
    EXPECT_NE(testing::internal::GetCapturedStderr().find("rules.txt" + c.second),
              std::string::npos)
        << c.first;
  }
  testing::internal::CaptureStderr();
  EXPECT_FALSE(Build("\n\t0 1\n"));  // nothing but blank patterns
  testing::internal::GetCapturedStderr();
}

TEST_F(CoreRuleTest, DamagedFilesFailToLoad) {
  ASSERT_TRUE(Build("c++\t0 3 0 3\nxabc\t1 3 0 1 3\n"));
  std::string good_path = dir_.File("good.dat");
  ASSERT_TRUE(CoreRule::Save(good_path.c_str()));
  CoreRule::UnInit();
  const std::string good = ReadFile(good_path);
  const size_t seg_info_at = 8 + 2 * 16 + 8;

  std::vector<std::pair<std::string, std::string>> damaged = {
      {"truncated", good.substr(0, good.size() - 100)},
      {"header only", good.substr(0, 20)},
      {"empty", ""},
  };
  std::string huge_count = good;
  huge_count[7] = '\x7f';
  damaged.push_back({"count", huge_count});
  // The split list of the first rule (c++: 0 3) no longer reaches 3.
  std::string short_list = good;
  short_list[seg_info_at + 2] = '\x02';
  damaged.push_back({"split list", short_list});
  // An effective part longer than its pattern.
  std::string long_part = good;
  long_part[8 + 2] = '\x09';
  damaged.push_back({"effective length", long_part});

  for (const auto& d : damaged) {
    std::string path = dir_.File("bad.dat");
    WriteFile(path, d.second);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(CoreRule::Init(path.c_str())) << d.first;
    EXPECT_NE(testing::internal::GetCapturedStderr().find(path), std::string::npos) << d.first;
  }
  testing::internal::CaptureStderr();
  EXPECT_FALSE(CoreRule::Init(dir_.File("absent.dat").c_str()));
  testing::internal::GetCapturedStderr();
  EXPECT_TRUE(CoreRule::Init(good_path.c_str()));
}

}  // namespace
