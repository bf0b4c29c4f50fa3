// Property tests of the double-array trie against std::map, plus the cases
// where its layout rules are easy to get wrong.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "dict/Darts.h"
#include "support/ScratchDir.h"

namespace {

using dict_test::ScratchDir;
using dict_test::WriteFile;
using Darts::DoubleArray;
typedef std::map<std::string, int> Reference;

enum class Route { kKeyset, kDawg };

// Random keys of bytes 0x01..0xFF. A small alphabet makes keys share
// prefixes (deep branching, many prefix matches); the full one spreads them.
Reference RandomReference(std::mt19937& rng, std::size_t count,
                          int alphabet, std::size_t max_length) {
  std::uniform_int_distribution<int> byte(1, alphabet);
  std::uniform_int_distribution<std::size_t> length(1, max_length);
  std::uniform_int_distribution<int> value(0, 0x7FFFFFFF);
  Reference keys;
  while (keys.size() < count) {
    std::string key(length(rng), '\0');
    for (char& c : key) c = static_cast<char>(256 - byte(rng));
    keys.emplace(key, value(rng));
  }
  return keys;
}

// Builds the trie; without values each key's expected value becomes its rank.
void BuildTrie(Route route, Reference& keys, DoubleArray* trie) {
  std::vector<const char*> pointers;
  std::vector<std::size_t> lengths;
  std::vector<int> values;
  int rank = 0;
  for (auto& entry : keys) {
    pointers.push_back(entry.first.c_str());
    lengths.push_back(entry.first.size());
    if (route == Route::kKeyset) entry.second = rank++;
    values.push_back(entry.second);
  }
  trie->build(pointers.size(), pointers.data(), lengths.data(),
              route == Route::kDawg ? values.data() : nullptr);
}

std::vector<int> PrefixValues(const Reference& keys, const std::string& text) {
  std::vector<int> values;
  for (std::size_t n = 1; n <= text.size(); ++n) {
    auto it = keys.find(text.substr(0, n));
    if (it != keys.end()) values.push_back(it->second);
  }
  return values;
}

// Queries that hit keys, miss by one byte, stop short or run on.
std::vector<std::string> Probes(std::mt19937& rng, const Reference& keys,
                                std::size_t count) {
  std::vector<std::string> all;
  for (const auto& entry : keys) all.push_back(entry.first);
  std::vector<std::string> probes;
  std::uniform_int_distribution<int> byte(1, 255);
  for (std::size_t i = 0; i < count && !all.empty(); ++i) {
    std::string key = all[rng() % all.size()];
    switch (i % 4) {
      case 0: break;
      case 1: key.back() = static_cast<char>(byte(rng)); break;
      case 2: key.pop_back(); break;
      case 3: key += all[rng() % all.size()]; break;
    }
    if (!key.empty()) probes.push_back(key);
  }
  return probes;
}

void ExpectMatchesReference(const DoubleArray& trie, const Reference& keys,
                            std::mt19937& rng) {
  for (const auto& entry : keys) {
    ASSERT_EQ(entry.second, trie.exactMatchSearch(entry.first.data(),
                                                  entry.first.size()))
        << "key of length " << entry.first.size();
  }
  std::vector<int> found(64);
  std::vector<DoubleArray::result_pair_type> pairs(64);
  for (const std::string& probe : Probes(rng, keys, 2000)) {
    auto it = keys.find(probe);
    int expected = it == keys.end() ? -1 : it->second;
    ASSERT_EQ(expected, trie.exactMatchSearch(probe.c_str()));

    std::vector<int> prefixes = PrefixValues(keys, probe);
    std::size_t n = trie.commonPrefixSearch(probe.c_str(), found.data(),
                                            found.size());
    ASSERT_EQ(prefixes.size(), n);
    ASSERT_TRUE(std::equal(prefixes.begin(), prefixes.end(), found.begin()));
    n = trie.commonPrefixSearch(probe.data(), pairs.data(), pairs.size(),
                                probe.size());
    ASSERT_EQ(prefixes.size(), n);
    for (std::size_t i = 0; i < n; ++i) {
      ASSERT_EQ(prefixes[i], pairs[i].value);
      ASSERT_EQ(prefixes[i], keys.at(probe.substr(0, pairs[i].length)));
    }

    // Byte-by-byte traversal agrees with exact match at every prefix.
    std::size_t node = 0;
    for (std::size_t i = 0; i < probe.size(); ++i) {
      std::size_t key_pos = 0;
      int result = trie.traverse(probe.data() + i, node, key_pos, 1);
      if (result == -2) {
        ASSERT_EQ(0u, key_pos);
        break;
      }
      ASSERT_EQ(1u, key_pos);
      auto prefix = keys.find(probe.substr(0, i + 1));
      ASSERT_EQ(prefix == keys.end() ? -1 : prefix->second, result);
    }
  }
}

bool HasScaledOffset(const DoubleArray& trie) {
  auto units = static_cast<const uint32_t*>(trie.array());
  for (std::size_t i = 0; i < trie.size(); ++i) {
    if ((units[i] & 0x80000000u) == 0 && (units[i] & 0x200u) != 0) return true;
  }
  return false;
}

class DartsRandomTest : public ::testing::TestWithParam<Route> {};

TEST_P(DartsRandomTest, AgreesWithMapOnSharedPrefixKeys) {
  std::mt19937 rng(7);
  for (std::size_t count : {1, 2, 50, 3000, 100000}) {
    Reference keys = RandomReference(rng, count, 6, 10);
    DoubleArray trie;
    BuildTrie(GetParam(), keys, &trie);
    ASSERT_EQ(0u, trie.size() % 256);
    ExpectMatchesReference(trie, keys, rng);
  }
}

TEST_P(DartsRandomTest, AgreesWithMapOnFullByteRange) {
  std::mt19937 rng(11);
  Reference keys = RandomReference(rng, 20000, 255, 8);
  DoubleArray trie;
  BuildTrie(GetParam(), keys, &trie);
  ExpectMatchesReference(trie, keys, rng);
}

// More than 2^21 units force offsets that only fit the field scaled by 256.
TEST_P(DartsRandomTest, LargeTrieUsesScaledOffsetsAndRoundTrips) {
  std::mt19937 rng(13);
  Reference keys = RandomReference(rng, 100000, 255, 48);
  DoubleArray trie;
  BuildTrie(GetParam(), keys, &trie);
  ASSERT_GT(trie.size(), 1u << 21);
  EXPECT_TRUE(HasScaledOffset(trie));
  ExpectMatchesReference(trie, keys, rng);

  ScratchDir dir;
  std::string path = dir.File("large.dat");
  ASSERT_EQ(0, trie.save(path.c_str()));
  DoubleArray loaded;
  ASSERT_EQ(0, loaded.open(path.c_str()));
  ASSERT_EQ(trie.size(), loaded.size());
  EXPECT_EQ(0, std::memcmp(trie.array(), loaded.array(), trie.total_size()));
  ExpectMatchesReference(loaded, keys, rng);
}

INSTANTIATE_TEST_SUITE_P(BothRoutes, DartsRandomTest,
                         ::testing::Values(Route::kKeyset, Route::kDawg),
                         [](const ::testing::TestParamInfo<Route>& info) {
                           return info.param == Route::kKeyset ? "Keyset"
                                                               : "Dawg";
                         });

TEST(DartsTest, SharedSuffixesKeepTheirOwnValues) {
  // The DAWG merges equal suffix subtrees only when their values agree too.
  Reference keys = {{"xa1", 5}, {"xb1", 5}, {"ya1", 5}, {"yb1", 6},
                    {"za", 7},  {"za1", 5}, {"zb", 7},  {"zb1", 5}};
  DoubleArray trie;
  BuildTrie(Route::kDawg, keys, &trie);
  std::mt19937 rng(3);
  ExpectMatchesReference(trie, keys, rng);
  EXPECT_EQ(-1, trie.exactMatchSearch("xa"));
}

// Keys that differ only in their first bytes and share a long suffix with
// the same value: the DAWG stores the suffix once.
TEST(DartsTest, DawgRouteSharesEqualSuffixes) {
  Reference keys;
  const std::string suffix(40, 's');
  for (int i = 0; i < 2000; ++i) {
    keys[std::to_string(100000 + i) + suffix] = 1;
  }
  DoubleArray with_values;
  BuildTrie(Route::kDawg, keys, &with_values);
  Reference ranked = keys;
  DoubleArray by_rank;
  BuildTrie(Route::kKeyset, ranked, &by_rank);
  EXPECT_LT(with_values.size() * 10, by_rank.size());
  std::mt19937 rng(5);
  ExpectMatchesReference(with_values, keys, rng);
}

TEST(DartsTest, EmptyKeyListBuildsOneBlockWhereEverySearchFails) {
  DoubleArray trie;
  trie.build(0, nullptr);
  EXPECT_EQ(256u, trie.size());
  EXPECT_EQ(-1, trie.exactMatchSearch("a"));
  int results[4];
  EXPECT_EQ(0u, trie.commonPrefixSearch("abc", results, 4));

  ScratchDir dir;
  std::string path = dir.File("never.dat");
  DoubleArray nothing;
  EXPECT_EQ(-1, nothing.save(path.c_str()));
  EXPECT_EQ(nullptr, std::fopen(path.c_str(), "rb"));
}

TEST(DartsTest, PrefixSearchCountsBeyondItsCapacity) {
  const char* keys[] = {"a", "ab", "abc"};
  DoubleArray trie;
  trie.build(3, keys);
  int results[3] = {-9, -9, -9};
  EXPECT_EQ(3u, trie.commonPrefixSearch("abcd", results, 3));
  EXPECT_EQ(0, results[0]);
  EXPECT_EQ(1, results[1]);
  EXPECT_EQ(2, results[2]);
  int two[3] = {-9, -9, -9};
  EXPECT_EQ(3u, trie.commonPrefixSearch("abcd", two, 2));
  EXPECT_EQ(-9, two[2]);

  EXPECT_EQ(2, trie.exactMatchSearch("abc"));
  EXPECT_EQ(-1, trie.exactMatchSearch("abcd"));
  EXPECT_EQ(1, trie.exactMatchSearch("abcd", 2));
  // A search from an inner node continues below it.
  std::size_t node = 0, pos = 0;
  ASSERT_EQ(0, trie.traverse("a", node, pos));
  EXPECT_EQ(2, trie.exactMatchSearch("bc", 0, node));
}

TEST(DartsTest, TraverseStopsAtTheFailingByte) {
  const char* keys[] = {"abc"};
  DoubleArray trie;
  trie.build(1, keys);

  std::size_t node = 0, pos = 0;
  EXPECT_EQ(-1, trie.traverse("ab", node, pos));
  EXPECT_EQ(2u, pos);
  std::size_t ab_node = node;
  EXPECT_EQ(0, trie.traverse("abc", node, pos));
  EXPECT_EQ(3u, pos);

  node = 0;
  pos = 0;
  EXPECT_EQ(-2, trie.traverse("ax", node, pos));
  EXPECT_EQ(1u, pos);
  std::size_t a_node = node;
  node = 0;
  pos = 0;
  trie.traverse("a", node, pos);
  EXPECT_EQ(node, a_node);
  EXPECT_NE(ab_node, a_node);
}

TEST(DartsTest, DuplicateKeyWithValuesKeepsTheFirstValue) {
  const char* keys[] = {"k", "k", "l"};
  int values[] = {4, 9, 1};
  DoubleArray trie;
  trie.build(3, keys, nullptr, values);
  EXPECT_EQ(4, trie.exactMatchSearch("k"));
  EXPECT_EQ(1, trie.exactMatchSearch("l"));
}

std::string BuildError(std::size_t n, const char* const* keys,
                       const std::size_t* lengths, const int* values,
                       DoubleArray* trie) {
  try {
    trie->build(n, keys, lengths, values);
  } catch (const Darts::Details::Exception& e) {
    std::string what = e.what();
    EXPECT_NE(std::string::npos, what.find(": exception: ")) << what;
    return what.substr(what.find(": exception: ") + 13);
  }
  return "";
}

TEST(DartsTest, BadInputThrowsAndKeepsThePreviousArray) {
  const char* good[] = {"ok"};
  DoubleArray trie;
  trie.build(1, good);
  const void* before = trie.array();

  const char* unordered[] = {"b", "a"};
  int values[] = {1, 2};
  EXPECT_EQ("failed to build double-array: wrong key order",
            BuildError(2, unordered, nullptr, nullptr, &trie));
  EXPECT_EQ("failed to insert key: wrong key order",
            BuildError(2, unordered, nullptr, values, &trie));

  const char* with_nul[] = {"a\0b"};
  std::size_t three[] = {3};
  EXPECT_EQ("failed to build double-array: invalid null character",
            BuildError(1, with_nul, three, nullptr, &trie));
  EXPECT_EQ("failed to insert key: invalid null character",
            BuildError(1, with_nul, three, values, &trie));

  const char* empty[] = {""};
  EXPECT_EQ("failed to insert key: zero-length key",
            BuildError(1, empty, nullptr, values, &trie));
  int negative[] = {-3};
  EXPECT_EQ("failed to insert key: negative value",
            BuildError(1, good, nullptr, negative, &trie));

  EXPECT_EQ(before, trie.array());
  EXPECT_EQ(0, trie.exactMatchSearch("ok"));
}

TEST(DartsTest, OffsetFieldScalesLargeOffsets) {
  using Darts::Details::DoubleArrayBuilderUnit;
  for (uint32_t offset : {0u, 1u, (1u << 21) - 1, 1u << 21, 0x1ABCDE00u,
                          (1u << 29) - 256}) {
    DoubleArrayBuilderUnit unit;
    unit.set_label('q');
    unit.set_has_leaf();
    unit.set_offset(offset);
    EXPECT_EQ(offset, Darts::Details::UnitOffset(unit.bits));
    EXPECT_EQ(static_cast<uint32_t>('q'), unit.bits & 0xFF);
    EXPECT_TRUE(Darts::Details::UnitHasLeaf(unit.bits));
  }
  DoubleArrayBuilderUnit unit;
  EXPECT_THROW(unit.set_offset(1u << 29), Darts::Details::Exception);
}

TEST(DartsTest, OpenIgnoresATrailingPartialUnitAndHonoursOffsets) {
  ScratchDir dir;
  std::string path = dir.File("raw.dat");
  std::string bytes(1025, '\0');
  bytes[8] = 'Z';
  WriteFile(path, bytes);
  DoubleArray trie;
  ASSERT_EQ(0, trie.open(path.c_str()));
  EXPECT_EQ(256u, trie.size());
  ASSERT_EQ(0, trie.open(path.c_str(), "rb", 8, 8));
  EXPECT_EQ(2u, trie.size());
  EXPECT_EQ(static_cast<uint32_t>('Z'),
            static_cast<const uint32_t*>(trie.array())[0]);

  const void* kept = trie.array();
  EXPECT_EQ(-1, trie.open(path.c_str(), "rb", 0, 4096));  // short read
  EXPECT_EQ(-1, trie.open(dir.File("missing.dat").c_str()));
  EXPECT_EQ(kept, trie.array());
}

TEST(DartsTest, LongValuesAndTheSecondNamespace) {
  const char* keys[] = {"alpha", "beta"};
  Darts::DoubleArrayImpl<long> wide;
  wide.build(2, keys);
  EXPECT_EQ(1L, wide.exactMatchSearch("beta"));
  long results[2];
  EXPECT_EQ(1u, wide.commonPrefixSearch("alphabet", results, 2));

  int values[] = {70000, 3};
  new_seg::Darts::DoubleArray trie;
  trie.build(2, keys, nullptr, values);
  std::map<std::string, unsigned int> listed;
  EXPECT_EQ(-1, trie.output_key_values(0, "", listed));
  std::map<std::string, unsigned int> expected = {{"alpha", 70000},
                                                  {"beta", 3}};
  EXPECT_EQ(expected, listed);
}

// A view knows its unit count and stays inside it; with the count unknown
// it behaves as before.
TEST(DartsTest, ViewOfUnitsIsBoundedByItsCount) {
  std::mt19937 rng(17);
  Reference keys = RandomReference(rng, 5000, 255, 12);
  DoubleArray built;
  BuildTrie(Route::kKeyset, keys, &built);

  DoubleArray view;
  view.set_array(built.array(), built.size());
  ExpectMatchesReference(view, keys, rng);
  DoubleArray unknown;
  unknown.set_array(built.array());
  EXPECT_EQ(0u, unknown.size());
  EXPECT_EQ(keys.begin()->second,
            unknown.exactMatchSearch(keys.begin()->first.c_str()));
}

// A cut-off array answers either correctly or "not found", never with a
// value of another key, and never reads past its end (the sanitizer build
// checks the latter: the copy is sized exactly).
TEST(DartsTest, TruncatedArrayNeverReadsPastItsEnd) {
  std::mt19937 rng(19);
  for (Route route : {Route::kKeyset, Route::kDawg}) {
    Reference keys = RandomReference(rng, 20000, 255, 10);
    DoubleArray built;
    BuildTrie(route, keys, &built);
    EXPECT_TRUE(built.is_verified());
    auto units = static_cast<const uint32_t*>(built.array());
    for (std::size_t cut : {std::size_t{1}, built.size() / 3,
                            built.size() - 256, built.size() - 1}) {
      std::vector<uint32_t> copy(units, units + cut);
      DoubleArray trie;
      trie.set_array(copy.data(), copy.size());
      EXPECT_FALSE(trie.is_verified()) << cut;
      int found[16];
      for (const auto& entry : keys) {
        int value = trie.exactMatchSearch(entry.first.c_str());
        ASSERT_TRUE(value == -1 || value == entry.second);
        std::size_t n = trie.commonPrefixSearch(entry.first.c_str(), found, 16);
        ASSERT_LE(n, PrefixValues(keys, entry.first).size());
        std::size_t node = 0, pos = 0;
        value = trie.traverse(entry.first.c_str(), node, pos);
        ASSERT_TRUE(value == -2 || value == -1 || value == entry.second);
        ASSERT_LT(node, cut);
      }
    }
  }
}

// Random units whose offsets keep every child block inside the array pass
// the load-time check and are then walked without per-step bounds.
TEST(DartsTest, GarbageUnitsThatPassTheCheckStayInside) {
  std::mt19937 rng(41);
  std::uniform_int_distribution<int> byte(1, 255);
  int verified = 0;
  for (int round = 0; round < 50; ++round) {
    std::vector<uint32_t> units(1024);
    for (uint32_t& u : units) {
      uint32_t offset = rng() % 1024;
      u = (rng() & 0x800001FFu) | (offset << 10);
    }
    DoubleArray trie;
    trie.set_array(units.data(), units.size());
    verified += trie.is_verified();
    int found[8];
    for (int i = 0; i < 200; ++i) {
      std::string key(1 + rng() % 12, '\0');
      for (char& c : key) c = static_cast<char>(byte(rng));
      std::size_t node = rng() % 1100, pos = 0;
      trie.exactMatchSearch(key.c_str(), 0, node);
      trie.commonPrefixSearch(key.c_str(), found, 8, 0, node);
      trie.traverse(key.c_str(), node, pos);
    }
  }
  EXPECT_EQ(50, verified);
}

TEST(DartsTest, GarbageUnitsNeverCrashASearch) {
  std::mt19937 rng(23);
  std::uniform_int_distribution<int> byte(1, 255);
  for (int round = 0; round < 50; ++round) {
    std::vector<uint32_t> units(1 + rng() % 2048);
    for (uint32_t& u : units) u = rng();
    DoubleArray trie;
    trie.set_array(units.data(), units.size());
    int found[8];
    for (int i = 0; i < 200; ++i) {
      std::string key(1 + rng() % 12, '\0');
      for (char& c : key) c = static_cast<char>(byte(rng));
      trie.exactMatchSearch(key.c_str());
      trie.commonPrefixSearch(key.c_str(), found, 8);
      std::size_t node = rng() % (units.size() + 10), pos = 0;
      trie.traverse(key.c_str(), node, pos);
    }
  }
}

}  // namespace
