// The threaded batch runner against the same processing on one thread: the
// output must be the same bytes in the same order, with lines that span
// batches kept with one processor.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "common/LineReader.h"
#include "common/OrderedBatchRunner.h"
#include "support/TestUtil.h"

namespace {

using zorvseg_tools::LineReader;
using zorvseg_tools::OrderedBatchRunner;
using zorvseg_tools::TextBatch;

// Prints each line's length and a hash of its bytes. It carries the
// unfinished line from piece to piece, so a continued line handed to the
// wrong processor prints wrong figures.
class LineSummary {
 public:
  bool Process(const TextBatch& batch, std::string* out) {
    EXPECT_EQ(batch.continues_line, line_open_) << "a continued line changed processor";
    for (const auto& piece : batch.pieces) {
      const char* text = batch.PieceText(piece);
      for (size_t i = 0; i < piece.len; ++i) hash_ = hash_ * 131 + static_cast<unsigned char>(text[i]);
      length_ += piece.len;
      line_open_ = !piece.ends_line;
      if (piece.ends_line) {
        *out += std::to_string(length_) + ":" + std::to_string(hash_) + "\n";
        length_ = 0;
        hash_ = 0;
      }
    }
    return true;
  }

 private:
  size_t length_ = 0;
  uint64_t hash_ = 0;
  bool line_open_ = false;
};

std::string RunWith(size_t workers, const std::string& path, bool* ok = nullptr) {
  std::vector<LineSummary> summaries(workers);
  std::vector<OrderedBatchRunner::Process> processes;
  for (LineSummary& summary : summaries) {
    processes.push_back([&summary](const TextBatch& batch, std::string* out) {
      return summary.Process(batch, out);
    });
  }
  LineReader reader({path}, false);
  OrderedBatchRunner runner(std::move(processes));
  std::string output;
  uint64_t last_bytes = 0;
  bool run_ok = runner.Run(reader, [&](const std::string& text, uint64_t bytes_read) {
    EXPECT_GE(bytes_read, last_bytes);
    last_bytes = bytes_read;
    output += text;
    return true;
  });
  if (ok != nullptr) *ok = run_ok;
  return output;
}

// Short lines, empty lines, and a few lines longer than a batch, at random.
std::string MixedLines(unsigned seed, size_t lines) {
  std::mt19937 random(seed);
  std::string text;
  for (size_t i = 0; i < lines; ++i) {
    size_t kind = random() % 2000;
    size_t length = kind < 400 ? 0 : kind < 1997 ? random() % 300 : (1 << 20) + random() % (2 << 20);
    for (size_t j = 0; j < length; ++j) text += static_cast<char>('a' + random() % 26);
    text += '\n';
  }
  return text;
}

TEST(OrderedBatchRunnerTest, ThreadsGiveTheOutputOfOneThread) {
  testutil::TempDir dir;
  for (unsigned seed = 1; seed <= 3; ++seed) {
    std::string path = dir.Write("in.txt", MixedLines(seed, 20000) + "last line without newline");
    std::string expected = RunWith(1, path);
    ASSERT_FALSE(expected.empty());
    for (size_t workers : {2, 3, 7}) {
      bool ok = false;
      EXPECT_EQ(RunWith(workers, path, &ok), expected) << "seed " << seed << ", " << workers;
      EXPECT_TRUE(ok);
    }
  }
}

TEST(OrderedBatchRunnerTest, EmptyInputAndOneLongLine) {
  testutil::TempDir dir;
  const std::vector<std::string> inputs = {"", "\n\n\n", std::string(5 << 20, 'x'),
                                           std::string(5 << 20, 'y') + "\n\nz\n"};
  for (const std::string& input : inputs) {
    std::string path = dir.Write("in.txt", input);
    EXPECT_EQ(RunWith(3, path), RunWith(1, path)) << input.size() << " bytes";
  }
}

// A failed batch is reported at the end and the rest is still written; a
// sink that stops the run stops it without hanging.
TEST(OrderedBatchRunnerTest, FailuresOfProcessAndSink) {
  testutil::TempDir dir;
  std::string path = dir.Write("in.txt", MixedLines(9, 30000));
  for (size_t workers : {1, 2, 4}) {
    std::vector<OrderedBatchRunner::Process> processes;
    int batches = 0;
    for (size_t i = 0; i < workers; ++i) {
      processes.push_back([](const TextBatch& batch, std::string* out) {
        *out = std::to_string(batch.first_line_no) + "\n";
        return batch.first_line_no != 1;  // only the first batch fails
      });
    }
    LineReader reader({path}, false);
    OrderedBatchRunner runner(std::move(processes));
    EXPECT_FALSE(runner.Run(reader, [&](const std::string&, uint64_t) {
      ++batches;
      return true;
    }));
    EXPECT_GT(batches, 3);

    std::vector<OrderedBatchRunner::Process> stopped;
    for (size_t i = 0; i < workers; ++i) {
      stopped.push_back([](const TextBatch&, std::string*) { return true; });
    }
    LineReader again({path}, false);
    OrderedBatchRunner stopping(std::move(stopped));
    int written = 0;
    EXPECT_FALSE(stopping.Run(again, [&](const std::string&, uint64_t) { return ++written < 2; }));
    EXPECT_EQ(written, 2);
  }
}

}  // namespace
