// The data directory's manifest: the file checksum read in blocks against
// the one-shot checksum, and the line format.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "driver/DataManifest.h"
#include "support/TestUtil.h"

using new_seg::DataManifest;

TEST(DataManifest, FileChecksumAgreesWithChecksumOfTheBytes) {
  testutil::TempDir dir;
  std::mt19937 random(17);
  const size_t kBlock = 1 << 20;
  std::vector<uint64_t> seen;
  for (size_t size : {size_t{0}, size_t{1}, size_t{7}, size_t{8}, size_t{9}, size_t{4095},
                      kBlock - 1, kBlock, kBlock + 5, 3 * kBlock + 8}) {
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    std::string path = dir.Write("f" + std::to_string(size), bytes);
    uint64_t file_size = 0, checksum = 0;
    std::string error;
    ASSERT_TRUE(DataManifest::ChecksumFile(path, &file_size, &checksum, &error)) << error;
    EXPECT_EQ(file_size, size);
    EXPECT_EQ(checksum, DataManifest::Checksum(bytes.data(), bytes.size())) << size;
    seen.push_back(checksum);
  }
  // Trailing zero bytes and single flipped bits change the checksum.
  EXPECT_NE(DataManifest::Checksum("ab", 2), DataManifest::Checksum("ab\0", 3));
  EXPECT_NE(DataManifest::Checksum("abcdefgh", 8), DataManifest::Checksum("abcdefgi", 8));
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(std::unique(seen.begin(), seen.end()), seen.end());
}

TEST(DataManifest, LinesRoundTripAndMalformedOnesAreNamed) {
  DataManifest manifest;
  std::string error;
  ASSERT_TRUE(manifest.Parse("# comment\n\noption\tx\t1\nfile\tcore_dict.dat\t12\t00ff\n"
                             "sample\t0x214\t我爱你\t我\t爱\t你\n",
                             &error))
      << error;
  ASSERT_EQ(manifest.files.size(), 1u);
  EXPECT_EQ(manifest.files[0].checksum, 0xFFu);
  ASSERT_EQ(manifest.samples.size(), 1u);
  EXPECT_EQ(manifest.samples[0].mode, 0x214);
  EXPECT_EQ(manifest.samples[0].words, (std::vector<std::string>{"我", "爱", "你"}));
  DataManifest again;
  ASSERT_TRUE(again.Parse(manifest.Format(), &error));
  EXPECT_EQ(again.Format(), manifest.Format());

  for (const char* bad : {"file\tx\t12\n", "file\tx\t-1\t0\n", "file\t../x\t1\t0\n",
                          "file\tx\t1\tzz\n", "sample\tq\ttext\n", "sample\t0x2\n"}) {
    EXPECT_FALSE(manifest.Parse(std::string("# ok\n") + bad, &error)) << bad;
    EXPECT_EQ(error.substr(0, 7), "line 2:") << bad;
  }
}
