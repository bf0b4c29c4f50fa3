// tag_info.dat: the writer's files load back into the same model, damaged
// files fail to load with a message instead of being read out of bounds,
// and zorvseg-build tag-model reports unusable source lines.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "dict/CoreDict.h"
#include "pos/CSegmentTag.h"
#include "pos/TagModel.h"
#include "support/ScratchDir.h"
#include "support/TestUtil.h"

using namespace new_seg;
using dict_test::ReadFile;
using dict_test::ScratchDir;
using dict_test::WriteFile;

namespace {

const size_t kWordRecordBytes = 12;

TagModel SampleModel() {
  TagModel model;
  uint32_t roles = model.AppendRoleList({{1, -0.5f}, {51, -2.0f}});
  model.AddWord(7, model.AppendPosList({{16, -1.25f}, {31, -2.5f}}), roles);
  model.AddWord(3, model.AppendPosList({{34, 0.0f}}), 0);
  model.AddWord(9, 0, roles);  // no tags of its own
  for (size_t i = 0; i < model.m_pPosTTLM.size(); ++i) {
    model.m_pPosTTLM[i] = {-static_cast<float>(i) / 7.0f, static_cast<float>(i % 3)};
  }
  model.RoleTransition(1, 51) = {-3.5f, 0.25f};
  model.m_name_list.insert({5, 6, 7});
  model.m_name_list.insert({1, 2, 3});
  return model;
}

class TagModelTest : public ::testing::Test {
 protected:
  void TearDown() override { CSegmentTag::UnInit(); }

  std::string SaveSample() {
    std::string path = dir_.File("tag_info.dat");
    EXPECT_TRUE(SampleModel().Save(path));
    return path;
  }
  // Loads bytes as a model file; the message printed goes to `message`.
  bool LoadBytes(const std::string& bytes, std::string* message = nullptr) {
    std::string path = dir_.File("damaged.dat");
    WriteFile(path, bytes);
    testing::internal::CaptureStderr();
    TagModel model;
    bool loaded = model.Load(path);
    std::string err = testing::internal::GetCapturedStderr();
    if (message != nullptr) *message = err;
    if (!loaded) {
      EXPECT_NE(err.find(path), std::string::npos) << err;
    }
    return loaded;
  }
  static void PutInt32(std::string* bytes, size_t offset, int32_t value) {
    std::memcpy(&(*bytes)[offset], &value, sizeof(value));
  }

  ScratchDir dir_;
};

TEST_F(TagModelTest, SavedModelLoadsBackIdenticallyAndSavesTheSameBytes) {
  std::string path = SaveSample();
  TagModel loaded;
  ASSERT_TRUE(loaded.Load(path));
  EXPECT_TRUE(loaded == SampleModel());
  std::string again = dir_.File("again.dat");
  ASSERT_TRUE(loaded.Save(again));
  EXPECT_EQ(ReadFile(again), ReadFile(path));
  EXPECT_TRUE(CSegmentTag::Init(path.c_str()));
  EXPECT_TRUE(CSegmentTag::Init("/nonexistent/already/loaded"));
}

TEST_F(TagModelTest, LayoutIsTheDocumentedOne) {
  std::string bytes = ReadFile(SaveSample());
  TagModel model = SampleModel();
  size_t lists = model.m_Pos.size(), roles = model.m_Rol.size();
  size_t expected = 4 + 3 * kWordRecordBytes + 4 + lists * 5 + 4 + roles * 5 + 4 + 56 * 56 * 8 +
                    4 + 54 * 54 * 8 + 4 + 6 * 4;
  ASSERT_EQ(bytes.size(), expected);
  int32_t word_num = 0, first_id = 0, pos_bytes = 0;
  std::memcpy(&word_num, &bytes[0], 4);
  std::memcpy(&first_id, &bytes[4], 4);
  std::memcpy(&pos_bytes, &bytes[4 + 3 * kWordRecordBytes], 4);
  EXPECT_EQ(word_num, 3);
  EXPECT_EQ(first_id, 7);
  EXPECT_EQ(static_cast<size_t>(pos_bytes), lists);
}

TEST_F(TagModelTest, EveryTruncationFailsToLoad) {
  std::string bytes = ReadFile(SaveSample());
  ASSERT_TRUE(LoadBytes(bytes));
  for (size_t size = 0; size < bytes.size(); size += (size < 200 ? 1 : 509)) {
    EXPECT_FALSE(LoadBytes(bytes.substr(0, size))) << size;
  }
  EXPECT_FALSE(LoadBytes(bytes.substr(0, bytes.size() - 1)));
  EXPECT_FALSE(LoadBytes(bytes + "x"));  // bytes after the last section
}

TEST_F(TagModelTest, CountsThatDoNotFitTheFileFail) {
  const std::string good = ReadFile(SaveSample());
  const size_t pos_count_at = 4 + 3 * kWordRecordBytes;
  for (int32_t bad : {-1, 4, 0x7FFFFFFF}) {
    std::string bytes = good;
    PutInt32(&bytes, 0, bad);
    EXPECT_FALSE(LoadBytes(bytes)) << "word count " << bad;
  }
  for (int32_t bad : {-1, 1 << 20}) {
    std::string bytes = good;
    PutInt32(&bytes, pos_count_at, bad);
    EXPECT_FALSE(LoadBytes(bytes)) << "tag list bytes " << bad;
  }
  std::string bytes = good;
  PutInt32(&bytes, good.size() - 7 * 4, 0x10000000);  // the name count
  EXPECT_FALSE(LoadBytes(bytes));
}

TEST_F(TagModelTest, RecordsAndListsThatPointOutsideFail) {
  const std::string good = ReadFile(SaveSample());
  const size_t record = 4;  // first record: word_id, pos start, role start
  const size_t lists_at = 4 + 3 * kWordRecordBytes + 4;
  const size_t list_bytes = SampleModel().m_Pos.size();
  std::string message;

  std::string bytes = good;
  PutInt32(&bytes, record, -1);  // word id 4294967295
  EXPECT_FALSE(LoadBytes(bytes, &message));
  EXPECT_NE(message.find("word id"), std::string::npos) << message;

  bytes = good;
  PutInt32(&bytes, record + 4, static_cast<int32_t>(list_bytes));
  EXPECT_FALSE(LoadBytes(bytes)) << "tag list starting past the end";
  bytes = good;
  PutInt32(&bytes, record + 8, 1000);
  EXPECT_FALSE(LoadBytes(bytes)) << "role list starting past the end";

  bytes = good;
  bytes[lists_at + list_bytes - 1] = 16;  // the last list loses its end
  EXPECT_FALSE(LoadBytes(bytes, &message));
  EXPECT_NE(message.find("runs off the end"), std::string::npos) << message;

  bytes = good;
  bytes[lists_at + 1] = 56;  // a tag beyond the transition table
  EXPECT_FALSE(LoadBytes(bytes));
}

TEST_F(TagModelTest, OverlongTagListFails) {
  TagModel model = SampleModel();
  TagModel::Candidates many;
  for (uint8_t tag = 1; tag <= 54; ++tag) many.push_back({tag, 0.0f});
  model.AddWord(20, model.AppendPosList(many), 0);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(model.Save(dir_.File("long.dat")));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("more than 53"), std::string::npos);
  many.pop_back();
  TagModel fits = SampleModel();
  fits.AddWord(20, fits.AppendPosList(many), 0);
  EXPECT_TRUE(fits.Save(dir_.File("fits.dat")));
}

TEST_F(TagModelTest, MissingFileAndEmptyNameListFailInit) {
  testing::internal::CaptureStderr();
  EXPECT_FALSE(CSegmentTag::Init(dir_.File("none.dat").c_str()));
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "unable to open file: " + dir_.File("none.dat") + "\n");

  std::string bytes = ReadFile(SaveSample());
  bytes.resize(bytes.size() - 7 * 4);
  bytes += std::string(4, '\0');  // a name section of count 0
  EXPECT_FALSE(LoadBytes(bytes));
  WriteFile(dir_.File("no_names.dat"), bytes);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(CSegmentTag::Init(dir_.File("no_names.dat").c_str()));
  testing::internal::GetCapturedStderr();
  EXPECT_FALSE(CSegmentTag::IsLoaded());
}

TEST_F(TagModelTest, NameValuesBeyondWholeTriplesAreIgnored) {
  std::string bytes = ReadFile(SaveSample());
  PutInt32(&bytes, bytes.size() - 7 * 4, 7);
  bytes += std::string(4, '\x09');
  TagModel model;
  WriteFile(dir_.File("extra.dat"), bytes);
  ASSERT_TRUE(model.Load(dir_.File("extra.dat")));
  EXPECT_EQ(model.m_name_list, SampleModel().m_name_list);
}

// --- zorvseg-build tag-model ---

struct RunResult {
  int status = -1;
  std::string out;
  std::string err;
};

class TagModelToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(dir_.File("lex.txt"), "研究\t1\n生命\t1\n");
    ASSERT_EQ(Run("core-dict " + dir_.File("lex.txt") + " " + dir_.File("core.dat")).status, 0);
  }
  RunResult Compile(const std::string& source) {
    WriteFile(dir_.File("src.txt"), source);
    return Run("tag-model " + dir_.File("src.txt") + " " + dir_.File("core.dat") + " " +
               dir_.File("tag.dat"));
  }
  RunResult Run(const std::string& args) {
    std::string command = std::string(ZORVSEG_BIN_DIR) + "/zorvseg-build " + args + " >" +
                          dir_.File("out.txt") + " 2>" + dir_.File("err.txt");
    int raw = std::system(command.c_str());
    RunResult result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = ReadFile(dir_.File("out.txt"));
    result.err = ReadFile(dir_.File("err.txt"));
    return result;
  }

  ScratchDir dir_;
};

TEST_F(TagModelToolTest, CompilesWordsByTheirCoreDictionaryIds) {
  RunResult result = Compile(
      "# comment\n\nword 生命 n:-1.5 v:-2\nrole 生命 B:-1 unk:-3\nword 研究 vn:-1\n"
      "word 词典外 n:-1\ntransition <s> n -0.25 0.5\ntransition n Zg -2\n"
      "role-transition B C -4\ndefault-transition -50\nname 1 2 3\n");
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_NE(result.out.find("2 words (1 not in the core dictionary"), std::string::npos);

  ASSERT_TRUE(CoreDict::Init(dir_.File("core.dat").c_str()));
  int life = CoreDict::ExactMatchSearch(testutil::Utf8ToGbk("生命").c_str());
  CoreDict::UnInit();
  TagModel model;
  ASSERT_TRUE(model.Load(dir_.File("tag.dat")));
  ASSERT_EQ(model.m_word_info.size(), 2u);
  const word_tag_prob_t* record = nullptr;
  for (const word_tag_prob_t& r : model.m_word_info) {
    if (r.word_id == static_cast<uint32_t>(life)) record = &r;
  }
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(model.m_Pos[record->m_pos_sidx], 16);
  EXPECT_EQ(model.m_Pos[record->m_pos_sidx + 1], 31);
  EXPECT_EQ(model.m_Pos[record->m_pos_sidx + 2], 0);
  EXPECT_FLOAT_EQ(model.m_PosProb[record->m_pos_sidx + 1], -2.0f);
  EXPECT_EQ(model.m_Rol[record->m_role_sidx], 1);
  EXPECT_EQ(model.m_Rol[record->m_role_sidx + 1], 51);
  EXPECT_FLOAT_EQ(model.PosTransition(49, 16).weight, -0.25f);
  EXPECT_FLOAT_EQ(model.PosTransition(49, 16).bof, 0.5f);
  EXPECT_FLOAT_EQ(model.PosTransition(16, 48).weight, -2.0f);
  EXPECT_FLOAT_EQ(model.PosTransition(16, 17).weight, -50.0f);
  EXPECT_FLOAT_EQ(model.RoleTransition(1, 2).weight, -4.0f);
  EXPECT_FLOAT_EQ(model.RoleTransition(2, 1).weight, -100.0f);
}

TEST_F(TagModelToolTest, UnusableLinesAreReportedWithTheirLine) {
  const std::pair<const char*, const char*> cases[] = {
      {"word 研究 q:-1\nword 生命 zz:-1\n", ":2: unknown tag 'zz'"},
      {"word 研究 n-1\n", ":1: 'n-1' is not NAME:WEIGHT"},
      {"word 研究 n:nan\n", "NAME:WEIGHT"},
      {"word 研究 n:-1 n:-2\n", "listed twice"},
      {"word 研究 n:-1\nword 研究 v:-1\n", ":2: the word list"},
      {"transition n v -1\ntransition n v -2\n", ":2: transition 'n v' given twice"},
      {"transition n nope -1\n", "unknown name"},
      {"name 1 2\n", "three integers"},
      {"weight n 1\n", "unknown directive"},
      {"word 研究 n:-1\n", "no 'name' line"},
  };
  for (const auto& c : cases) {
    std::string source = c.first;
    if (std::string(c.second) != "no 'name' line") source += "name 1 2 3\n";
    RunResult result = Compile(source);
    EXPECT_EQ(result.status, 1) << c.first;
    EXPECT_NE(result.err.find(c.second), std::string::npos) << c.first << result.err;
  }
  EXPECT_EQ(Run("tag-model a b").status, 2);
}

}  // namespace
