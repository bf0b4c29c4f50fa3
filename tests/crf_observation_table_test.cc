// The hash table of a CRF model's short observation keys against the trie
// walks it stands in for: every key of a model, keys that are only
// prefixes or extensions of keys, and keys too long for the table.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "common/CrfModel.h"
#include "crf/ObservationTable.h"
#include "support/CrfModels.h"

namespace {

using new_seg::CRFPP::ObservationTable;
using zorvseg_tools::CrfModel;

int TableValue(const ObservationTable& table, const std::string& key) {
  return table.Find(ObservationTable::Pack(key.data(), key.size()));
}

// Each key that fits a table key must have the trie's value in the table.
void ExpectSameAnswers(const ObservationTable& table, const Darts::DoubleArray& trie,
                       const std::vector<std::string>& keys) {
  for (const std::string& key : keys) {
    ASSERT_FALSE(key.empty());
    if (key.size() > ObservationTable::kMaxKeyBytes) continue;
    EXPECT_EQ(trie.exactMatchSearch(key.c_str()), TableValue(table, key)) << "key " << key;
  }
}

// Every prefix of each key, the key with a byte added, and the key with
// its last byte changed.
std::vector<std::string> Neighbours(const std::vector<std::string>& keys) {
  std::vector<std::string> out;
  for (const std::string& key : keys) {
    for (std::size_t n = 1; n <= key.size(); ++n) out.push_back(key.substr(0, n));
    out.push_back(key + "x");
    out.push_back(key + "\xd6");
    std::string changed = key;
    changed.back() = static_cast<char>(changed.back() ^ 1);
    if (changed.back() != '\0') out.push_back(changed);
  }
  return out;
}

TEST(CrfObservationTableTest, AnswersLikeTheTrieForKeysAndNonKeys) {
  // Prefixes of one another, lengths 1 to 9, GBK bytes, separators and
  // boundary strings: the shapes the templates look up.
  const std::vector<std::string> word_keys = {
      "a", "ab", "abc", "abcdefgh", "abcdefghi", "\xd6\xd0", "\xd6\xd0/\xb9\xfa",
      "\xd6\xd0/_B+1", "_B-1/\xd6\xd0", "\xff", "\x01\x02\x03", "zzzzzzzz"};
  const std::vector<std::string> pos_keys = {"C/C/C", "_B-1/C/D", "a", "\xd6\xd0/c"};
  CrfModel model = crf_test::EmptyModel({"B", "E"}, 3, {"U00:%x[0,0]", "U10:%x[0,1]"});
  for (std::size_t i = 0; i < word_keys.size(); ++i) {
    model.WordBlock(word_keys[i])[0] = static_cast<float>(i + 1);
  }
  for (std::size_t i = 0; i < pos_keys.size(); ++i) {
    model.PosBlock(pos_keys[i])[0] = static_cast<float>(i + 1);
  }
  crf_test::OpenedModel opened(model);
  ASSERT_TRUE(opened.ok());

  ObservationTable words;
  ASSERT_TRUE(words.Build(opened.index()->da_word()));
  EXPECT_EQ(word_keys.size() - 1, words.size());  // the 9-byte key stays out
  ExpectSameAnswers(words, opened.index()->da_word(), word_keys);
  ExpectSameAnswers(words, opened.index()->da_word(), Neighbours(word_keys));

  ObservationTable pos;
  ASSERT_TRUE(pos.Build(opened.index()->da_pos()));
  EXPECT_EQ(pos_keys.size(), pos.size());
  ExpectSameAnswers(pos, opened.index()->da_pos(), pos_keys);
  ExpectSameAnswers(pos, opened.index()->da_pos(), Neighbours(pos_keys));
  // The tries do not share keys.
  EXPECT_EQ(-1, TableValue(pos, "ab"));
  EXPECT_EQ(-1, TableValue(words, "C/C/C"));
}

TEST(CrfObservationTableTest, ModelWithoutPartOfSpeechKeysGivesAnEmptyTable) {
  CrfModel model = crf_test::EmptyModel({"B", "E"}, 1, {"U00:%x[0,0]"});
  model.WordBlock("a")[1] = 1;
  crf_test::OpenedModel opened(model);
  ASSERT_TRUE(opened.ok());
  ObservationTable pos;
  ASSERT_TRUE(pos.Build(opened.index()->da_pos()));
  EXPECT_EQ(0u, pos.size());
  EXPECT_EQ(-1, TableValue(pos, "a"));
  // A table that was never built knows no key.
  ObservationTable unbuilt;
  EXPECT_EQ(-1, TableValue(unbuilt, "a"));
}

TEST(CrfObservationTableTest, ManyKeysThatCollideInTheirSlots) {
  // Thousands of short keys over a small alphabet: long probe runs, and
  // keys that differ only in their last byte or their length.
  std::mt19937 rng(5);
  const char alphabet[] = "ab/\xd6\xd0\x81";
  std::vector<std::string> keys;
  for (int i = 0; i < 3000; ++i) {
    std::string key;
    for (std::size_t n = 1 + rng() % 9; n > 0; --n) key += alphabet[rng() % 6];
    keys.push_back(key);
  }
  CrfModel model = crf_test::EmptyModel({"B", "E"}, 1, {"U00:%x[0,0]"});
  for (const std::string& key : keys) model.WordBlock(key)[0] = 1;
  crf_test::OpenedModel opened(model);
  ASSERT_TRUE(opened.ok());
  ObservationTable table;
  ASSERT_TRUE(table.Build(opened.index()->da_word()));
  ExpectSameAnswers(table, opened.index()->da_word(), keys);
  ExpectSameAnswers(table, opened.index()->da_word(), Neighbours(keys));
}

}  // namespace
