// N-gram model: key encoding, the cost rules of GetNGram, the table format
// and refusing trie files that do not fit.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "dict/NGram.h"
#include "support/ScratchDir.h"

namespace {

using dict_test::ReadFile;
using dict_test::ScratchDir;
using dict_test::WriteFile;
using new_seg::NGram;

const float kFactor = 1.3219281f;
const float kSmooth = 33.54121f;

class NGramTest : public ::testing::Test {
 protected:
  void SetUp() override { NGram::UnInit(); }
  void TearDown() override { NGram::UnInit(); }

  static bool BuildFrom(const std::string& text, std::size_t max_order = 2) {
    std::istringstream in(text);
    return NGram::BuildFromStream(in, "table.txt", max_order);
  }

  static float Cost(int32_t id, int32_t previous) {
    return NGram::GetNGram(id, &previous, 1);
  }

  ScratchDir dir_;
  std::string base_ = dir_.File("ngram.dat");
};

std::string Bytes(const char* key, std::size_t length) {
  return std::string(key, length);
}

TEST_F(NGramTest, EncodingReplacesZeroBytesAndFlagsThem) {
  char key[NGram::kKeyBufferSize];
  std::size_t length = NGram::_EncodeKey(256, 16843009, key);
  ASSERT_EQ(9u, length);
  EXPECT_EQ(Bytes("\xFF\x01\xFF\xFF\x01\x01\x01\x01\x0D", 9), Bytes(key, 9));
  EXPECT_EQ(0, key[9]);
  EXPECT_EQ(3u, NGram::_hash(key, 10));

  char real[NGram::kKeyBufferSize];
  ASSERT_EQ(8u, NGram::_EncodeKey(0xFFFF01FFu, 0x01010101u, real));
  EXPECT_EQ(Bytes(key, 8), Bytes(real, 8));
  EXPECT_EQ(0, real[8]);

  ASSERT_EQ(9u, NGram::_EncodeKey(0, 0, key));
  EXPECT_EQ(Bytes("\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 9), Bytes(key, 9));
}

TEST_F(NGramTest, CostsFollowTheBackOffRules) {
  ASSERT_TRUE(BuildFrom(
      "2.5 10 7\n"          // single 7
      "-4.25 3 8\n"         // negative cost: stored as its absolute value
      "1.5 2 7 8\n"         // pair (7, 8)
      "9 1 256 16843009\n"  // pair with zero bytes in both ids
      "3 1 -1 9 -1\n"       // -1 ids are skipped: single 9
      "\n"
      "6 1 9\n"));          // later line wins
  EXPECT_FLOAT_EQ(kFactor, NGram::BackoffPenalty());
  EXPECT_FLOAT_EQ(kSmooth, NGram::UnseenCost());

  EXPECT_FLOAT_EQ(1.5f, Cost(8, 7));
  EXPECT_FLOAT_EQ(9.0f, Cost(16843009, 256));
  EXPECT_FLOAT_EQ(4.25f + kFactor, Cost(8, 9));   // no pair: back off
  EXPECT_FLOAT_EQ(2.5f + kFactor, Cost(7, 0));    // no history word
  EXPECT_FLOAT_EQ(4.25f + kFactor, NGram::GetNGram(8, nullptr, 0) + kFactor);
  EXPECT_FLOAT_EQ(6.0f, NGram::GetNGram(9, nullptr, 0));
  EXPECT_NEAR(34.86314f, Cost(12345, 7), 1e-4);
  EXPECT_FLOAT_EQ(kSmooth, NGram::GetNGram(12345, nullptr, 0));

  // Word id 0 never makes a pair key: (7, 0) would be the single key of 7.
  ASSERT_TRUE(BuildFrom("5 1 7\n"));
  EXPECT_NEAR(34.86314f, Cost(0, 7), 1e-4);
}

// The two-step pair lookup of the searcher finds exactly what the one-step
// lookup finds, zero bytes and missing words included.
TEST_F(NGramTest, TwoStepPairLookupAgreesWithTheDirectOne) {
  ASSERT_TRUE(BuildFrom("2.5 10 7\n1.5 2 7 8\n9 1 256 16843009\n3 1 65536 256\n"
                        "4 1 100000001 7\n"));
  const int32_t ids[] = {0, 7, 8, 9, 256, 65536, 16843009, 100000001, -1};
  for (int32_t first : ids) {
    int64_t history = NGram::PairHistory(first);
    for (int32_t second : ids) {
      float direct = -1.0f, two_step = -1.0f;
      bool found = NGram::PairCost(first, second, &direct);
      EXPECT_EQ(found, NGram::PairCostAfter(history, first, second, &two_step))
          << first << " " << second;
      if (found) {
        EXPECT_FLOAT_EQ(direct, two_step);
      }
    }
  }
  EXPECT_EQ(NGram::kNoPairHistory, NGram::PairHistory(0));
  EXPECT_EQ(NGram::kNoPairHistory, NGram::PairHistory(12345));  // no key starts with it
  float cost = 0;
  EXPECT_TRUE(NGram::PairCostAfter(NGram::PairHistory(100000001), 100000001, 7, &cost));
  EXPECT_FLOAT_EQ(4.0f, cost);
  NGram::UnInit();
  EXPECT_EQ(NGram::kNoPairHistory, NGram::PairHistory(7));
}

TEST_F(NGramTest, CachedBackedOffCostsMatchTheLookupsAndGoWithTheTable) {
  ASSERT_TRUE(BuildFrom("2.5 10 7\n1.5 2 7 8\n3 1 256\n"));
  std::vector<float> expected;
  for (int32_t id = -1; id <= 300; ++id) expected.push_back(NGram::BackedOffCost(id));
  NGram::CacheBackedOffCosts(10);  // ids 0..10 from the table, the rest looked up
  for (int32_t id = -1; id <= 300; ++id) {
    EXPECT_FLOAT_EQ(expected[static_cast<size_t>(id + 1)], NGram::BackedOffCost(id)) << id;
  }
  ASSERT_TRUE(BuildFrom("4 1 7\n"));  // a new table drops the cache
  EXPECT_FLOAT_EQ(4.0f + kFactor, NGram::BackedOffCost(7));
  NGram::CacheBackedOffCosts(10);
  NGram::UnInit();
  EXPECT_FLOAT_EQ(kSmooth + kFactor, NGram::BackedOffCost(7));
}

TEST_F(NGramTest, MaxOrderLimitsTheIdsRead) {
  NGram::UnInit();
  std::istringstream in("1 1 4 5 6\n2 1 4\n");
  new_seg::NGramBuildStats stats;
  ASSERT_TRUE(NGram::BuildFromStream(in, "table.txt", 1, &stats));
  EXPECT_EQ(1u, stats.beyond_order);
  // With order 1 both lines are the single word 4; the later cost stays.
  EXPECT_FLOAT_EQ(2.0f, NGram::GetNGram(4, nullptr, 0));
  ASSERT_TRUE(BuildFrom("1 1 4 5 6\n", 3));
  EXPECT_FLOAT_EQ(1.0f, Cost(6, 4));  // each further id replaces the second
  EXPECT_FLOAT_EQ(kSmooth + kFactor, Cost(5, 4));
}

TEST_F(NGramTest, SaveInitAndSelfCheckAgree) {
  std::string table;
  std::mt19937 rng(31);
  for (int i = 1; i <= 3000; ++i) {
    table += std::to_string(i % 97) + ".125 1 " + std::to_string(rng() % 100000) +
             (i % 2 ? " " + std::to_string(rng() % 100000) : "") + "\n";
  }
  ASSERT_TRUE(BuildFrom(table));
  std::string table_path = dir_.File("table.txt");
  WriteFile(table_path, table);
  ASSERT_TRUE(NGram::Save(base_.c_str()));
  NGram::UnInit();
  EXPECT_FLOAT_EQ(kSmooth, NGram::GetNGram(1, nullptr, 0));  // unloaded

  ASSERT_TRUE(NGram::Init(base_.c_str()));
  ::testing::internal::CaptureStderr();
  bool consistent = NGram::test(table_path.c_str());
  std::string mismatches = ::testing::internal::GetCapturedStderr();
  // Repeated random keys keep their later cost; every other line matches.
  std::size_t reported = 0;
  for (std::size_t at = mismatches.find("not found"); at != std::string::npos;
       at = mismatches.find("not found", at + 1)) {
    ++reported;
  }
  EXPECT_LT(reported, 20u);
  EXPECT_EQ(reported == 0, consistent);
}

TEST_F(NGramTest, BuildRejectsLinesItCannotUseAndNamesThem) {
  struct Case {
    const char* line;
    const char* message;
  } cases[] = {
      {"abc 1 4", "cost 'abc'"},
      {"nan 1 4", "cost 'nan'"},
      {"1.5", "missing count"},
      {"1.5 x 4", "count 'x'"},
      {"1.5 -2 4", "count '-2'"},
      {"1.5 1", "no word id"},
      {"1.5 1 -1", "no word id"},
      {"1.5 1 4 z", "word id 'z'"},
      {"1.5 1 -5", "word id '-5'"},
  };
  for (const Case& c : cases) {
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(BuildFrom(std::string("1 1 1\n") + c.line + "\n")) << c.line;
    std::string message = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(std::string::npos, message.find("table.txt:2: ")) << message;
    EXPECT_NE(std::string::npos, message.find(c.message)) << message;
  }
}

TEST_F(NGramTest, InitRefusesMissingAndMisSizedTries) {
  ASSERT_TRUE(BuildFrom("1 1 1\n2 1 2\n3 1 3\n4 1 4\n"));
  ASSERT_TRUE(NGram::Save(base_.c_str()));
  NGram::UnInit();
  std::string third = base_ + "2";
  std::string good = ReadFile(third);
  ASSERT_EQ(1024u, good.size());

  const std::pair<const char*, std::string> cases[] = {
      {"empty", ""},
      {"partial unit", good + "\x01"},
      {"partial block", good.substr(0, 1020)},
  };
  for (const auto& c : cases) {
    WriteFile(third, c.second);
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(NGram::Init(base_.c_str())) << c.first;
    std::string message = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(std::string::npos, message.find(third)) << message;
    // Not left half-loaded: lookups see an empty table.
    EXPECT_FLOAT_EQ(kSmooth, NGram::GetNGram(3, nullptr, 0));
  }
  std::remove(third.c_str());
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(NGram::Init(base_.c_str()));
  EXPECT_NE(std::string::npos,
            ::testing::internal::GetCapturedStderr().find(third));

  WriteFile(third, good);
  ASSERT_TRUE(NGram::Init(base_.c_str()));
  EXPECT_FLOAT_EQ(3.0f, NGram::GetNGram(3, nullptr, 0));
}

TEST_F(NGramTest, GarbageTriesNeverBreakLookups) {
  std::mt19937 rng(37);
  for (int round = 0; round < 20; ++round) {
    for (int i = 0; i < 4; ++i) {
      std::string bytes(1024 * (1 + rng() % 3), '\0');
      for (char& c : bytes) c = static_cast<char>(rng());
      WriteFile(base_ + std::to_string(i), bytes);
    }
    NGram::UnInit();
    ASSERT_TRUE(NGram::Init(base_.c_str()));
    for (int i = 0; i < 500; ++i) {
      NGram::GetNGram(static_cast<int32_t>(rng()), nullptr, 0);
      Cost(static_cast<int32_t>(rng() % 1000), static_cast<int32_t>(rng()));
    }
  }
}

}  // namespace
