// The debug log: thresholds, the settings it refuses or caps, and rolling,
// in a temporary directory.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "ner/Log.h"
#include "support/ScratchDir.h"

namespace {

using new_seg::Log;

class LogTest : public ::testing::Test {
 protected:
  void TearDown() override { Log::instance().set_log_level(Log::kWarn); }

  std::string LogFile(const char* suffix = "") { return dir_.File("ner.log") + suffix; }
  bool Exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
  }

  dict_test::ScratchDir dir_;
};

TEST_F(LogTest, WritesOnlyLevelsFromTheThresholdToFatal) {
  Log& log = Log::instance();
  ASSERT_EQ(0, log.set(Log::kWarn, dir_.path().c_str(), "ner", 1 << 20, 3));
  log.record(Log::kInfo, "file.cc", 7, "below %d", 3);
  EXPECT_FALSE(Exists(LogFile()));
  log.set_log_level(Log::kTrace);
  log.record(6, "file.cc", 8, "beyond fatal");
  EXPECT_FALSE(Exists(LogFile()));
  log.record(Log::kInfo, "file.cc", 9, "crf add: %s", "x");
  std::string text = dict_test::ReadFile(LogFile());
  EXPECT_NE(std::string::npos, text.find(" Info  <file.cc:9> crf add: x\n")) << text;
  struct stat st;
  ASSERT_EQ(0, stat(LogFile().c_str(), &st));
  EXPECT_EQ(0644u, st.st_mode & 0777);
}

TEST_F(LogTest, RefusesBadSettingsAndIgnoresThresholdsBeyondOff) {
  Log& log = Log::instance();
  EXPECT_EQ(-1, log.set(7, dir_.path().c_str(), "ner", 100, 3));
  EXPECT_EQ(-1, log.set(Log::kInfo, nullptr, "ner", 100, 3));
  EXPECT_EQ(-1, log.set(Log::kInfo, dir_.path().c_str(), "ner", 0, 3));
  EXPECT_EQ(-1, log.set(Log::kInfo, dir_.path().c_str(), "ner", 100, 0));
  ASSERT_EQ(0, log.set(Log::kInfo, dir_.path().c_str(), "ner", 100, 3));
  log.set_log_level(7);
  EXPECT_TRUE(log.enabled(Log::kInfo));
  log.set_log_level(Log::kOff);
  EXPECT_FALSE(log.enabled(Log::kFatal));
}

TEST_F(LogTest, FullFileRollsBeforeTheNextLine) {
  Log& log = Log::instance();
  ASSERT_EQ(0, log.set(Log::kInfo, dir_.path().c_str(), "ner", 50, 2));
  for (int i = 0; i < 8; ++i) log.record(Log::kInfo, "f.cc", i, "line %d of a rolling log", i);
  EXPECT_TRUE(Exists(LogFile(".1")));
  EXPECT_TRUE(Exists(LogFile(".2")));
  EXPECT_FALSE(Exists(LogFile(".3")));  // two rolled files are kept
  // Each line exceeds 50 bytes, so the current file holds just the last.
  std::string current = dict_test::ReadFile(LogFile());
  EXPECT_NE(std::string::npos, current.find("line 7 of"));
  EXPECT_EQ(std::string::npos, current.find("line 6 of"));
  EXPECT_NE(std::string::npos, dict_test::ReadFile(LogFile(".1")).find("line 6 of"));
}

}  // namespace
