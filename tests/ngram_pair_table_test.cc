// The pair table the search reads against the trie lookups it replaces: on
// tables with awkward ids, on every pair of the trained model plus random
// absent pairs, and on damaged tries.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "dict/CoreDict.h"
#include "dict/NGram.h"
#include "support/ScratchDir.h"

namespace {

using new_seg::NGram;
using new_seg::NGramPairTable;

const int32_t kSentenceStart = 100000001;

uint32_t Bits(float cost) {
  uint32_t bits;
  std::memcpy(&bits, &cost, sizeof bits);
  return bits;
}

// What the search gets for (first, second) through the pair table, against
// the plain trie lookup.
void ExpectSameAsTries(int32_t first, int32_t second) {
  float direct = -1.0f, tabled = -1.0f;
  bool found = NGram::PairCost(first, second, &direct);
  int64_t history = NGram::PairHistory(first);
  ASSERT_EQ(found, NGram::PairCostAfter(history, first, second, &tabled))
      << "(" << first << ", " << second << ")";
  if (found) {
    EXPECT_EQ(Bits(direct), Bits(tabled)) << "(" << first << ", " << second << ")";
  }
}

class NGramPairTableTest : public ::testing::Test {
 protected:
  void SetUp() override { NGram::UnInit(); }
  void TearDown() override { NGram::UnInit(); }

  static bool BuildFrom(const std::string& text) {
    std::istringstream in(text);
    return NGram::BuildFromStream(in, "table.txt", 2);
  }
};

// Ids whose bytes are 0 (written as 0xFF and flagged) or really 0xFF, ids
// beyond the words the table covers, the sentence start and -1.
TEST_F(NGramPairTableTest, AnswersAsTheTriesForAwkwardIds) {
  const std::vector<int32_t> ids = {1,     2,     7,      255,    256,    257,   511,
                                    65280, 65535, 65536,  65791,  70000,  70001, 0xFF00FF,
                                    kSentenceStart, -1, 0, 16843009};
  std::string table;
  std::mt19937 rng(5);
  for (int32_t first : ids) {
    if (first == -1) continue;  // the table format skips -1 ids
    table += std::to_string(rng() % 50) + ".5 1 " + std::to_string(first) + "\n";
    for (int32_t second : ids) {
      if (first == 0 || second <= 0 || rng() % 3 == 0) continue;
      table += std::to_string(rng() % 50) + ".25 1 " + std::to_string(first) + " " +
               std::to_string(second) + "\n";
    }
  }
  ASSERT_TRUE(BuildFrom(table));
  for (std::size_t word_count : {std::size_t{70000}, std::size_t{300}, std::size_t{0xFF00FF}}) {
    SCOPED_TRACE(word_count);
    ASSERT_TRUE(NGram::BuildPairTable(word_count));
    EXPECT_FALSE(NGram::pair_table().empty());
    for (int32_t first : ids) {
      for (int32_t second : ids) ExpectSameAsTries(first, second);
    }
  }
}

TEST_F(NGramPairTableTest, BackedOffCostsComeWithTheTable) {
  ASSERT_TRUE(BuildFrom("2.5 10 7\n1.5 2 7 8\n3 1 256\n4 1 0\n9 1 70000\n"));
  std::vector<float> expected;
  for (int32_t id = -1; id <= 300; ++id) expected.push_back(NGram::BackedOffCost(id));
  ASSERT_TRUE(NGram::BuildPairTable(260));
  for (int32_t id = -1; id <= 300; ++id) {
    EXPECT_EQ(Bits(expected[static_cast<std::size_t>(id + 1)]), Bits(NGram::BackedOffCost(id)))
        << id;
  }
  EXPECT_EQ(1u, NGram::pair_table().pair_count());
}

// Every pair the trainer wrote, and random pairs of covered ids, most of
// them absent.
TEST_F(NGramPairTableTest, AnswersAsTheTriesForEveryPairOfTheTrainedModel) {
  std::string data = ZORVSEG_TEST_DATA_DIR;
  std::ifstream table(data + "/../data-sources/ngram.txt");
  if (!table || !NGram::Init((data + "/ngram.dat").c_str()) ||
      !new_seg::CoreDict::Init((data + "/core_dict.dat").c_str())) {
    GTEST_SKIP() << "no trained data directory beside the tests";
  }
  std::size_t words = static_cast<std::size_t>(new_seg::CoreDict::GetSize());
  ASSERT_TRUE(NGram::BuildPairTable(words));
  std::size_t pairs = 0;
  std::string line;
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    float cost;
    long long count, first, second = 0;
    if (!(fields >> cost >> count >> first)) continue;
    if (!(fields >> second)) continue;
    ++pairs;
    ExpectSameAsTries(static_cast<int32_t>(first), static_cast<int32_t>(second));
    if (HasFatalFailure()) return;
  }
  EXPECT_GT(pairs, 0u);
  EXPECT_EQ(pairs, NGram::pair_table().pair_count());
  std::mt19937 rng(11);
  for (int i = 0; i < 200000; ++i) {
    int32_t first = i % 100 == 0 ? kSentenceStart : static_cast<int32_t>(1 + rng() % words);
    ExpectSameAsTries(first, static_cast<int32_t>(1 + rng() % words));
  }
  new_seg::CoreDict::UnInit();
}

// Tries with some units overwritten at random: the build reads nothing
// outside them, and what the search then gets is what the tries give.
TEST_F(NGramPairTableTest, DamagedTriesAreReadSafelyAndAnsweredAsTheTriesDo) {
  dict_test::ScratchDir dir;
  std::string base = dir.File("ngram.dat");
  std::mt19937 rng(3);
  std::string table;
  for (int i = 0; i < 3000; ++i) {
    table += std::to_string(rng() % 40) + ".5 1 " + std::to_string(1 + rng() % 2000) +
             (i % 4 ? " " + std::to_string(1 + rng() % 2000) : "") + "\n";
  }
  ASSERT_TRUE(BuildFrom(table));
  ASSERT_TRUE(NGram::Save(base.c_str()));
  std::vector<std::string> sound;
  for (std::size_t t = 0; t < NGram::trie_num_; ++t) {
    sound.push_back(dict_test::ReadFile(base + std::to_string(t)));
  }
  std::size_t built = 0;
  for (int round = 0; round < 12; ++round) {
    for (std::size_t t = 0; t < NGram::trie_num_; ++t) {
      std::string bytes = sound[t];
      for (std::size_t k = 0; k < bytes.size() / 100; ++k) {
        uint32_t unit = rng();
        std::memcpy(&bytes[(rng() % (bytes.size() / 4)) * 4], &unit, sizeof unit);
      }
      dict_test::WriteFile(base + std::to_string(t), bytes);
    }
    NGram::UnInit();
    ASSERT_TRUE(NGram::Init(base.c_str()));
    ::testing::internal::CaptureStderr();
    if (NGram::BuildPairTable(2000)) ++built;
    ::testing::internal::GetCapturedStderr();
    for (int i = 0; i < 5000; ++i) {
      ExpectSameAsTries(static_cast<int32_t>(1 + rng() % 2000),
                        static_cast<int32_t>(1 + rng() % 2000));
    }
  }
  EXPECT_GT(built, 0u);
}

}  // namespace
