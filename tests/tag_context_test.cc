// tag_context.dat: records come back as written and are found by side and
// word id as a plain scan finds them; records the tagger could misread are
// refused, and damaged files fail to load with a message.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "pos/TagContext.h"
#include "pos/TagModel.h"
#include "support/ScratchDir.h"

using namespace new_seg;
using dict_test::ReadFile;
using dict_test::ScratchDir;
using dict_test::WriteFile;

namespace {

const size_t kHeaderBytes = 8;

TagContext::Record MakeRecord(uint32_t id, int side, int tag, float weight) {
  return {id, static_cast<uint8_t>(side), static_cast<uint8_t>(tag), 0, weight};
}

std::vector<TagContext::Record> RandomRecords(std::mt19937* random, size_t count) {
  std::map<std::tuple<int, uint32_t, int>, float> unique;
  std::uniform_int_distribution<uint32_t> id(0, 300);
  std::uniform_int_distribution<int> side(0, 1), tag(1, 48);
  std::uniform_real_distribution<float> weight(-2.0f, 2.0f);
  while (unique.size() < count) unique[{side(*random), id(*random), tag(*random)}] = weight(*random);
  std::vector<TagContext::Record> records;
  for (const auto& [key, w] : unique) {
    records.push_back(MakeRecord(std::get<1>(key), std::get<0>(key), std::get<2>(key), w));
  }
  std::shuffle(records.begin(), records.end(), *random);
  return records;
}

// What a plain scan of the records finds for one side and id, as tag -> weight.
std::map<int, float> Scan(const std::vector<TagContext::Record>& records, int side, uint32_t id) {
  std::map<int, float> found;
  for (const TagContext::Record& r : records) {
    if (r.side == side && r.word_id == id) found[r.tag] = r.weight;
  }
  return found;
}

std::map<int, float> Found(const TagContext& context, int side, uint32_t id) {
  std::map<int, float> found;
  TagContext::Weights weights = context.Find(static_cast<TagContext::Side>(side), id);
  for (const TagContext::Record* r = weights.begin; r != weights.end; ++r) {
    EXPECT_EQ(r->side, side);
    EXPECT_EQ(r->word_id, id);
    found[r->tag] = r->weight;
  }
  return found;
}

class TagContextTest : public ::testing::Test {
 protected:
  // Loads bytes as a context file; a refused file names itself in the message.
  bool LoadBytes(const std::string& bytes) {
    std::string path = dir_.File("damaged.dat");
    WriteFile(path, bytes);
    testing::internal::CaptureStderr();
    TagContext context;
    bool loaded = context.Load(path);
    std::string err = testing::internal::GetCapturedStderr();
    if (!loaded) {
      EXPECT_NE(err.find(path), std::string::npos) << err;
    }
    return loaded;
  }

  ScratchDir dir_;
};

TEST_F(TagContextTest, FindAgreesWithAScanAndSurvivesSaveAndLoad) {
  std::mt19937 random(7);
  for (size_t count : {0, 1, 5, 400}) {
    std::vector<TagContext::Record> records = RandomRecords(&random, count);
    TagContext written;
    std::string error;
    ASSERT_TRUE(written.Assign(records, &error)) << error;
    std::string path = dir_.File("tag_context.dat");
    ASSERT_TRUE(written.Save(path));
    TagContext loaded;
    ASSERT_TRUE(loaded.Load(path));
    EXPECT_EQ(loaded.size(), count);
    for (const TagContext* context : {&written, &loaded}) {
      for (int side = 0; side < 2; ++side) {
        for (uint32_t id = 0; id <= 305; ++id) {
          EXPECT_EQ(Found(*context, side, id), Scan(records, side, id))
              << "count " << count << " side " << side << " id " << id;
        }
      }
    }
    // An id far beyond every record finds nothing rather than reading past the index.
    EXPECT_TRUE(loaded.Find(TagContext::kWordAfter, TagModel::kMaxWordId).empty());
  }
}

TEST_F(TagContextTest, RecordsTheTaggerCouldMisreadAreRefused) {
  const float kNan = std::numeric_limits<float>::quiet_NaN();
  const float kInf = std::numeric_limits<float>::infinity();
  struct Case {
    const char* name;
    std::vector<TagContext::Record> records;
  };
  const Case cases[] = {
      {"pair given twice", {MakeRecord(4, 0, 16, 1), MakeRecord(4, 0, 16, 2)}},
      {"tag 0 ends lists", {MakeRecord(4, 0, 0, 1)}},
      {"tag beyond the table", {MakeRecord(4, 0, TagModel::PBUFSIZE, 1)}},
      {"side beyond after", {MakeRecord(4, 2, 16, 1)}},
      {"id beyond the largest", {MakeRecord(TagModel::kMaxWordId + 1, 0, 16, 1)}},
      {"not a number", {MakeRecord(4, 0, 16, kNan)}},
      {"infinite", {MakeRecord(4, 1, 16, -kInf)}},
  };
  for (const Case& c : cases) {
    TagContext context;
    std::string error;
    EXPECT_FALSE(context.Assign(c.records, &error)) << c.name;
    EXPECT_FALSE(error.empty()) << c.name;
  }
}

TEST_F(TagContextTest, DamagedFilesFailToLoad) {
  TagContext context;
  std::string error;
  ASSERT_TRUE(context.Assign({MakeRecord(3, 0, 31, 0.5f), MakeRecord(3, 1, 33, -0.25f),
                              MakeRecord(9, 1, 16, 1.0f)},
                             &error));
  std::string path = dir_.File("tag_context.dat");
  ASSERT_TRUE(context.Save(path));
  std::string good = ReadFile(path);
  ASSERT_EQ(good.size(), kHeaderBytes + 3 * sizeof(TagContext::Record));
  EXPECT_TRUE(LoadBytes(good));
  for (size_t size = 0; size < good.size(); ++size) {
    EXPECT_FALSE(LoadBytes(good.substr(0, size))) << "truncated to " << size;
  }
  EXPECT_FALSE(LoadBytes(good + std::string(12, '\0'))) << "a record more than counted";
  std::string foreign = good;
  foreign[0] = 'X';
  EXPECT_FALSE(LoadBytes(foreign));
  // Records out of order (the first two swapped) and a bad tag inside the file.
  std::string swapped = good;
  std::memcpy(&swapped[kHeaderBytes], &good[kHeaderBytes + 12], 12);
  std::memcpy(&swapped[kHeaderBytes + 12], &good[kHeaderBytes], 12);
  EXPECT_FALSE(LoadBytes(swapped));
  std::string bad_tag = good;
  bad_tag[kHeaderBytes + 5] = static_cast<char>(200);
  EXPECT_FALSE(LoadBytes(bad_tag));
  // A failed load leaves what was loaded before.
  TagContext kept;
  ASSERT_TRUE(kept.Load(path));
  WriteFile(dir_.File("bad.dat"), bad_tag);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(kept.Load(dir_.File("bad.dat")));
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(kept.size(), 3u);
  EXPECT_FALSE(kept.Find(TagContext::kWordAfter, 9).empty());
}

}  // namespace
