// zorvseg-build end to end: the files it writes load and answer lookups, and
// input it cannot use fails with the file and line.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "dict/CoreDict.h"
#include "dict/CoreRule.h"
#include "dict/NGram.h"
#include "ner/NEDict.h"
#include "support/ScratchDir.h"

namespace {

using dict_test::ReadFile;
using dict_test::ScratchDir;
using dict_test::WriteFile;

// UTF-8 and GBK spellings of zhong guo (China) and zhong guo ren.
const std::string kZhongGuoUtf8 = "\xe4\xb8\xad\xe5\x9b\xbd";
const std::string kRenUtf8 = "\xe4\xba\xba";
const std::string kZhongGuoGbk = "\xd6\xd0\xb9\xfa";
const std::string kRenGbk = "\xc8\xcb";

struct RunResult {
  int status = -1;
  std::string out;
  std::string err;
};

class DataCompilerTest : public ::testing::Test {
 protected:
  void TearDown() override {
    new_seg::CoreDict::UnInit();
    new_seg::NGram::UnInit();
    new_seg::CoreRule::UnInit();
  }

  RunResult Run(const std::string& args) {
    std::string out = dir_.File("stdout.txt");
    std::string err = dir_.File("stderr.txt");
    std::string command = std::string(ZORVSEG_BIN_DIR) + "/zorvseg-build " +
                          args + " >" + out + " 2>" + err;
    int raw = std::system(command.c_str());
    RunResult result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = ReadFile(out);
    result.err = ReadFile(err);
    return result;
  }

  std::string Path(const std::string& name) { return dir_.File(name); }

  ScratchDir dir_;
};

TEST_F(DataCompilerTest, HelpAndUsageErrors) {
  RunResult help = Run("--help");
  EXPECT_EQ(0, help.status);
  for (const char* word : {"core-dict", "core-rule", "ngram", "--encoding", "MAX_ORDER"}) {
    EXPECT_NE(std::string::npos, help.out.find(word)) << word;
  }
  for (const char* args :
       {"", "frobnicate a b", "core-dict only-one", "ngram t.txt 0 out",
        "ngram t.txt two out", "--encoding latin1 core-dict a b",
        "--verbose core-dict a b", "core-dict a b --encoding", "core-rule a",
        "core-rule a b c"}) {
    RunResult usage = Run(args);
    EXPECT_EQ(2, usage.status) << args;
    EXPECT_NE(std::string::npos, usage.err.find("Usage")) << args;
  }
}

TEST_F(DataCompilerTest, CompilesAUtf8LexiconIntoGbkTerms) {
  WriteFile(Path("lexicon.txt"),
            kZhongGuoUtf8 + "\t1\n" + kZhongGuoUtf8 + kRenUtf8 + "\t5 0 4 6\n" +
                kRenUtf8 + "\t1\n\nNBA\t1\n");
  RunResult run = Run("core-dict " + Path("lexicon.txt") + " " + Path("core.dat"));
  ASSERT_EQ(0, run.status) << run.err;
  EXPECT_NE(std::string::npos, run.out.find("4 terms")) << run.out;
  EXPECT_NE(std::string::npos, run.out.find("1 blank skipped")) << run.out;

  ASSERT_TRUE(new_seg::CoreDict::Init(Path("core.dat").c_str()));
  int id = new_seg::CoreDict::ExactMatchSearch((kZhongGuoGbk + kRenGbk).c_str());
  ASSERT_GT(id, 0);
  const new_seg::CoreTermAttribute* compound = new_seg::CoreDict::GetValue(id);
  EXPECT_EQ(6, compound->term_len);
  EXPECT_EQ(4, new_seg::CoreDict::GetSegInfo(compound->term_seg_info_index)[1]);
  EXPECT_GT(new_seg::CoreDict::ExactMatchSearch("NBA"), 0);
  EXPECT_EQ(-1, new_seg::CoreDict::ExactMatchSearch(kZhongGuoUtf8.c_str()));
}

TEST_F(DataCompilerTest, GbkInputIsTakenAsIs) {
  WriteFile(Path("lexicon.gbk"), kZhongGuoGbk + "\t1\n");
  RunResult run = Run("--encoding gbk core-dict " + Path("lexicon.gbk") + " " +
                      Path("core.dat"));
  ASSERT_EQ(0, run.status) << run.err;
  ASSERT_TRUE(new_seg::CoreDict::Init(Path("core.dat").c_str()));
  EXPECT_EQ(1, new_seg::CoreDict::ExactMatchSearch(kZhongGuoGbk.c_str()));
}

TEST_F(DataCompilerTest, UnusableInputNamesFileAndLineAndKeepsTheOldOutput) {
  WriteFile(Path("core.dat"), "previous");
  const std::pair<std::string, std::string> cases[] = {
      // A character outside GBK (an emoji).
      {"ok\t1\nsmile\xf0\x9f\x98\x80\t1\n", ":2: "},
      {"ok\t1\n\xff\xfe\t1\n", ":2: "},  // not UTF-8
      {"ok\t1\nfine\t1\nbad\tword\n", ":3: "},
      {"ok\t1\nno-type\n", ":2: "},
  };
  for (const auto& c : cases) {
    WriteFile(Path("lexicon.txt"), c.first);
    RunResult run =
        Run("core-dict " + Path("lexicon.txt") + " " + Path("core.dat"));
    EXPECT_EQ(1, run.status) << c.first;
    EXPECT_NE(std::string::npos, run.err.find(Path("lexicon.txt") + c.second))
        << run.err;
  }
  EXPECT_EQ("previous", ReadFile(Path("core.dat")));

  RunResult missing = Run("core-dict " + Path("absent.txt") + " " + Path("x.dat"));
  EXPECT_EQ(1, missing.status);
  EXPECT_NE(std::string::npos, missing.err.find(Path("absent.txt")));
}

TEST_F(DataCompilerTest, CompilesCoreRulesAndNamesTheLineItCannotUse) {
  WriteFile(Path("rules.txt"), "c++\t0 3 0 3\nno.1\t0 3 0 3\n");
  RunResult run = Run("core-rule " + Path("rules.txt") + " " + Path("core_rule.dat"));
  ASSERT_EQ(0, run.status) << run.err;
  EXPECT_NE(std::string::npos, run.out.find("2 rules")) << run.out;
  ASSERT_TRUE(new_seg::CoreRule::Init(Path("core_rule.dat").c_str()));
  const new_seg::CoreRuleAttribute* rule =
      new_seg::CoreRule::GetValue(new_seg::CoreRule::ExactMatchSearch("no.1"));
  ASSERT_NE(nullptr, rule);
  EXPECT_EQ(4, rule->rule_len);
  EXPECT_EQ(3, rule->rule_effective_len);

  WriteFile(Path("rules.txt"), "c++\t0 3 0 3\nbad\t0 3 0 2\n");
  RunResult bad = Run("core-rule " + Path("rules.txt") + " " + Path("bad.dat"));
  EXPECT_EQ(1, bad.status);
  EXPECT_NE(std::string::npos, bad.err.find(Path("rules.txt") + ":2: ")) << bad.err;
  EXPECT_TRUE(ReadFile(Path("bad.dat")).empty());
}

TEST_F(DataCompilerTest, CompilesAnNGramTableIntoFourTries) {
  WriteFile(Path("table.txt"), "2.5 10 7\n1.5 3 7 8\n\n0.75 1 8 9 10\n");
  RunResult run = Run("ngram " + Path("table.txt") + " 2 " + Path("ngram.dat"));
  ASSERT_EQ(0, run.status) << run.err;
  EXPECT_NE(std::string::npos, run.out.find("1 with ids beyond order 2"))
      << run.out;
  EXPECT_NE(std::string::npos, run.out.find("trie 3")) << run.out;

  ASSERT_TRUE(new_seg::NGram::Init(Path("ngram.dat").c_str()));
  int32_t previous = 7;
  EXPECT_FLOAT_EQ(1.5f, new_seg::NGram::GetNGram(8, &previous, 1));
  previous = 8;
  EXPECT_FLOAT_EQ(0.75f, new_seg::NGram::GetNGram(9, &previous, 1));
  EXPECT_FLOAT_EQ(2.5f, new_seg::NGram::GetNGram(7, nullptr, 0));

  WriteFile(Path("table.txt"), "2.5 10 7\ncheap 1 8\n");
  RunResult bad = Run("ngram " + Path("table.txt") + " 2 " + Path("bad.dat"));
  EXPECT_EQ(1, bad.status);
  EXPECT_NE(std::string::npos, bad.err.find(Path("table.txt") + ":2: "))
      << bad.err;
  EXPECT_TRUE(ReadFile(Path("bad.dat0")).empty());
}

TEST_F(DataCompilerTest, CompilesTheEntityFilesAndNamesTheLineItCannotUse) {
  // zhong guo as a place, with a comment line and CR LF line ends.
  WriteFile(Path("ne.txt"), "# places\r\n" + kZhongGuoUtf8 + "\t8192\t1\t0.9\r\n");
  RunResult run = Run("ne-dict " + Path("ne.txt") + " " + Path("ne_dict.dat"));
  ASSERT_EQ(0, run.status) << run.err;
  ASSERT_TRUE(new_seg::NEDict::Init(Path("ne_dict.dat").c_str()));
  const new_seg::NEDictAttribute* place =
      new_seg::NEDict::GetValue(new_seg::NEDict::ExactMatchSearch(kZhongGuoGbk.c_str()));
  ASSERT_NE(nullptr, place);
  EXPECT_FLOAT_EQ(0.9f, place->attr.score);
  new_seg::NEDict::UnInit();

  WriteFile(Path("surnames.txt"), "# compound\n" + kZhongGuoUtf8 + "\n");
  run = Run("name-list " + Path("surnames.txt") + " " + Path("name.dat"));
  ASSERT_EQ(0, run.status) << run.err;
  EXPECT_EQ(kZhongGuoGbk + "\n", ReadFile(Path("name.dat")));

  const struct {
    const char* command;
    std::string source;
  } kBad[] = {{"ne-dict", "# x\n" + kRenUtf8 + "\tperson\n"},
              {"ne-pattern", "# x\n" + kRenUtf8 + "\n"},
              {"name-list", "# x\n" + kRenUtf8 + "\n"}};
  for (const auto& bad : kBad) {
    WriteFile(Path("bad.txt"), bad.source);
    RunResult failed = Run(std::string(bad.command) + " " + Path("bad.txt") + " " + Path("bad.dat"));
    EXPECT_EQ(1, failed.status) << bad.command;
    EXPECT_NE(std::string::npos, failed.err.find(Path("bad.txt") + ":2: ")) << failed.err;
    EXPECT_TRUE(ReadFile(Path("bad.dat")).empty());
  }
}

}  // namespace
