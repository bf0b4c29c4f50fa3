// The record-dictionary file on a record type of its own: the exact bytes it
// writes, what a load refuses, and the lookups' id and range conventions.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "dict/RecordDictFile.h"
#include "support/ScratchDir.h"

namespace {

using dict_test::ReadFile;
using dict_test::ScratchDir;
using dict_test::WriteFile;

// A 4-byte record unlike the core ones, as a later dictionary may have.
struct Entry {
  uint16_t length;
  uint16_t seg_info_index;
};

typedef new_seg::RecordDictFile<Entry> EntryFile;

// An entry's list must reach its length inside the seg-info bytes.
std::string ListReachesLength(const Entry& entry, uint64_t index, const uint8_t* seg_info,
                              uint64_t seg_info_size) {
  if (entry.seg_info_index == 0) return std::string();
  for (uint64_t i = entry.seg_info_index; i < seg_info_size; ++i) {
    if (seg_info[i] == entry.length) return std::string();
  }
  return "entry " + std::to_string(index) + " has no list end";
}

std::string Capture(const std::function<void()>& run) {
  testing::internal::CaptureStderr();
  run();
  return testing::internal::GetCapturedStderr();
}

class RecordDictFileTest : public ::testing::Test {
 protected:
  // "ab" has the list 0 1 2 at seg-info byte 1; "b" and "abc" have none.
  void AssignThree(EntryFile* file) {
    std::map<std::string, Entry> entries = {{"ab", {2, 1}}, {"abc", {3, 0}}, {"b", {1, 0}}};
    ASSERT_TRUE(file->Assign(entries, {0, 0, 1, 2}, EntryFile::Keys::kWhole, "entries.txt"));
  }
  std::string SavedThree() {
    EntryFile file("entries", "entry", "entries");
    AssignThree(&file);
    EXPECT_TRUE(file.Save(path_));
    return ReadFile(path_);
  }

  ScratchDir dir_;
  std::string path_ = dir_.File("entries.dat");
};

TEST_F(RecordDictFileTest, WritesCountRecordsSegInfoThenTrie) {
  EntryFile file("entries", "entry", "entries");
  AssignThree(&file);
  ASSERT_TRUE(file.Save(path_));
  const std::string bytes = ReadFile(path_);

  std::string expected("\x03\0\0\0\0\0\0\0", 8);
  expected += std::string("\x02\0\x01\0", 4) + std::string("\x03\0\0\0", 4) +
              std::string("\x01\0\0\0", 4);  // key order: "ab", "abc", "b"
  expected += std::string("\x04\0\0\0\0\0\0\0", 8) + std::string("\0\0\x01\x02", 4);
  expected.append(static_cast<const char*>(file.trie()->array()), file.trie()->total_size());
  EXPECT_EQ(expected, bytes);
  EXPECT_EQ(0u, file.trie()->total_size() % 1024);
}

TEST_F(RecordDictFileTest, LoadRoundTripsAndLookupsUseOneBasedIds) {
  SavedThree();
  EntryFile file("entries", "entry", "entries");
  ASSERT_TRUE(file.Load(path_, EntryFile::Count::kAtLeastOne, ListReachesLength));
  ASSERT_EQ(3u, file.size());

  int ab = file.ExactMatchSearch("ab", 0, 0);
  ASSERT_EQ(1, ab);
  EXPECT_EQ(2, file.GetRecord(ab)->length);
  EXPECT_EQ(-1, file.ExactMatchSearch("a", 0, 0));
  int ids[4];
  ASSERT_EQ(2u, file.CommonPrefixSearch("abcd", 4, ids, 4, 0));
  EXPECT_EQ(1, ids[0]);
  EXPECT_EQ(2, ids[1]);
  // A result array shorter than the count gets only what fits.
  ids[1] = 99;
  EXPECT_EQ(2u, file.CommonPrefixSearch("abcd", 4, ids, 1, 0));
  EXPECT_EQ(99, ids[1]);
  // Traverse hands out the raw 0-based value.
  std::size_t node = 0, key = 0;
  EXPECT_EQ(0, file.Traverse("ab", 2, &node, &key));

  EXPECT_EQ(nullptr, file.GetRecord(0));
  EXPECT_EQ(nullptr, file.GetRecord(4));
  ASSERT_NE(nullptr, file.GetSegInfo(3));
  EXPECT_EQ(2, *file.GetSegInfo(3));
  EXPECT_EQ(nullptr, file.GetSegInfo(4));
}

TEST_F(RecordDictFileTest, EmptyOrClearedFileAnswersNothing) {
  EntryFile file("entries", "entry", "entries");
  int ids[2];
  std::size_t node = 0, key = 0;
  EXPECT_EQ(-1, file.ExactMatchSearch("ab", 0, 0));
  EXPECT_EQ(0u, file.CommonPrefixSearch("ab", 0, ids, 2, 0));
  EXPECT_EQ(-2, file.Traverse("ab", 0, &node, &key));
  EXPECT_FALSE(file.Save(path_));
  EXPECT_TRUE(ReadFile(path_).empty());

  AssignThree(&file);
  file.Clear();
  EXPECT_EQ(0u, file.size());
  EXPECT_EQ(-1, file.ExactMatchSearch("ab", 0, 0));
  EXPECT_FALSE(file.HasRecords());
}

TEST_F(RecordDictFileTest, RefusalsNameTheFileAndKeepTheLoadedContent) {
  const std::string good = SavedThree();
  EntryFile file("entries", "entry", "entries");
  ASSERT_TRUE(file.Load(path_, EntryFile::Count::kAtLeastOne, ListReachesLength));

  std::string list_without_end = good;
  list_without_end[8 + 3 * 4 + 8 + 3] = 7;  // "ab"'s closing 2
  std::string trie_cut = good.substr(0, good.size() - 4);
  std::string value_outside = good;
  for (std::size_t at = 8 + 3 * 4 + 8 + 4; at + 4 <= good.size(); at += 4) {
    uint32_t unit;
    std::memcpy(&unit, &good[at], 4);
    if ((unit & 0x80000000u) == 0) continue;
    unit = 0x80000000u | 7;
    std::memcpy(&value_outside[at], &unit, 4);
    break;
  }
  const std::pair<std::string, std::string> cases[] = {
      {value_outside, "names entry 7 of 3"},
      {list_without_end, "entry 0 has no list end"},
      {trie_cut, "not a whole number"},
      {good.substr(0, 12), "file too short for the entry count"},
  };
  std::string bad_path = dir_.File("bad.dat");
  for (const auto& c : cases) {
    WriteFile(bad_path, c.first);
    std::string message = Capture([&] {
      EXPECT_FALSE(file.Load(bad_path, EntryFile::Count::kAtLeastOne, ListReachesLength));
    });
    EXPECT_EQ(0u, message.find("entries: " + bad_path + ": ")) << message;
    EXPECT_NE(std::string::npos, message.find(c.second)) << message;
  }
  EXPECT_EQ(1, file.ExactMatchSearch("ab", 0, 0));

}

TEST_F(RecordDictFileTest, FileWithoutRecordsLoadsOnlyWhereTheCallerAllows) {
  std::string no_records(8, '\0');
  no_records += std::string("\x01\0\0\0\0\0\0\0", 8) + std::string(1, '\0');
  no_records += std::string(1024, '\0');  // a trie block naming no record
  WriteFile(path_, no_records);
  EntryFile file("entries", "entry", "entries");
  std::string message = Capture([&] {
    EXPECT_FALSE(file.Load(path_, EntryFile::Count::kAtLeastOne, ListReachesLength));
  });
  EXPECT_NE(std::string::npos, message.find("0 entries do not fit")) << message;
  ASSERT_TRUE(file.Load(path_, EntryFile::Count::kAny, ListReachesLength));
  EXPECT_EQ(0u, file.size());
  EXPECT_FALSE(file.HasRecords());
}

TEST_F(RecordDictFileTest, KeysTakenWholeRefuseNulBytesKeysUpToNulStopThere) {
  const std::string nul_key("a\0b", 3);
  std::map<std::string, Entry> entries = {{nul_key, {3, 0}}};
  EntryFile file("entries", "entry", "entries");
  std::string message = Capture([&] {
    EXPECT_FALSE(file.Assign(entries, {0}, EntryFile::Keys::kWhole, "entries.txt"));
  });
  EXPECT_NE(std::string::npos, message.find("entries: entries.txt: ")) << message;
  EXPECT_FALSE(file.HasRecords());

  ASSERT_TRUE(file.Assign(entries, {0}, EntryFile::Keys::kUpToNul, "entries.txt"));
  EXPECT_EQ(1, file.ExactMatchSearch("a", 0, 0));
}

}  // namespace
