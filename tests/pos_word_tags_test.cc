// The tagger's per-id entries against the record index they are made from:
// lists of every length, ids without a record or with an empty list, a
// word listed twice, and every id of the trained model.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "pos/CSegmentTag.h"
#include "pos/TagModel.h"
#include "support/ScratchDir.h"

namespace {

using new_seg::CSegmentTag;
using new_seg::TagModel;

void ExpectSameCandidates(uint32_t id) {
  CSegmentTag::CandidateList fast = CSegmentTag::WordCandidates(id);
  CSegmentTag::CandidateList reference = CSegmentTag::RecordCandidates(id);
  ASSERT_EQ(reference.count, fast.count) << id;
  for (size_t k = 0; k < reference.count; ++k) {
    EXPECT_EQ(reference.tags[k], fast.tags[k]) << id << " " << k;
    EXPECT_EQ(reference.weights[k], fast.weights[k]) << id << " " << k;
  }
}

class PosWordTagsTest : public ::testing::Test {
 protected:
  void SetUp() override { CSegmentTag::UnInit(); }
  void TearDown() override { CSegmentTag::UnInit(); }
};

TEST_F(PosWordTagsTest, EntriesHoldWhatTheRecordsSay) {
  TagModel model;
  std::mt19937 rng(9);
  uint32_t id = 0;
  for (size_t length : {1, 2, 3, 4, 5, 0, 3, 12, 53, 1}) {
    id += 1 + rng() % 5;
    TagModel::Candidates candidates;
    for (size_t k = 0; k < length; ++k) {
      candidates.push_back({static_cast<uint8_t>(1 + rng() % 48), (rng() % 1000) / -97.0f});
    }
    model.AddWord(id, model.AppendPosList(candidates), 0);
  }
  TagModel::Candidates later = {{16, -0.5f}, {31, -1.5f}};
  model.AddWord(id, model.AppendPosList(later), 0);  // listed again: the later record wins
  model.m_name_list.insert({1, 2, 3});
  dict_test::ScratchDir dir;
  std::string path = dir.File("tag_info.dat");
  ASSERT_TRUE(model.Save(path));
  ASSERT_TRUE(CSegmentTag::Init(path.c_str()));
  for (uint32_t word = 0; word <= id + 3; ++word) ExpectSameCandidates(word);
  ExpectSameCandidates(0xFFFFFFFFu);
  EXPECT_EQ(2u, CSegmentTag::WordCandidates(id).count);
}

TEST_F(PosWordTagsTest, EntriesHoldWhatTheRecordsSayForTheTrainedModel) {
  std::string path = std::string(ZORVSEG_TEST_DATA_DIR) + "/tag_info.dat";
  ::testing::internal::CaptureStderr();
  bool loaded = CSegmentTag::Init(path.c_str());
  ::testing::internal::GetCapturedStderr();
  if (!loaded) GTEST_SKIP() << "no trained data directory beside the tests";
  for (uint32_t word = 0; word < (1u << 19); ++word) {
    ExpectSameCandidates(word);
    if (HasFatalFailure()) return;
  }
}

}  // namespace
