// Checks of the data directory the build made (not of small test data):
// what its tables convert.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "driver/SegMode.h"
#include "support/TestUtil.h"
#include "text/SentenceNormalizer.h"
#include "zorvseg_mode.h"

using namespace new_seg;
using testutil::Utf8ToGbk;

namespace {

std::string DataFile(const char* name) { return std::string(ZORVSEG_TEST_DATA_DIR) + "/" + name; }

}  // namespace

// The table converts characters one by one, so a character simplified text
// writes (乾 of 乾隆, 乾坤) must never be in it: it once turned 乾隆 into 干隆.
TEST(BuiltData, TraditionalToSimplifiedLeavesSimplifiedTextAlone) {
  SentenceNormalizer::UnInit();
  ASSERT_TRUE(SentenceNormalizer::Init(DataFile("t2s.dat").c_str()));
  SegMode mode(kModeTraditionalToSimplified);
  SentenceNormalizer normalizer(&mode, 1024);
  ASSERT_TRUE(normalizer.Init());
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"乾隆皇帝扭转乾坤", "乾隆皇帝扭转乾坤"},
      {"哪吒闹海", "哪吒闹海"},
      {"宫商角徵羽", "宫商角徵羽"},
      {"我愛中國", "我爱中国"},
      {"頭髮與發展", "头发与发展"},
      {"臺灣的學校", "台湾的学校"},
  };
  for (const auto& c : cases) {
    std::string gbk = Utf8ToGbk(c.first);
    size_t len = 0;
    const char* out = normalizer.Normalize(gbk.data(), gbk.size(), len);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(testutil::GbkToUtf8(std::string(out, len)), c.second) << c.first;
  }
  SentenceNormalizer::UnInit();
}
