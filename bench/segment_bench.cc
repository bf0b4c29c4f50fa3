// Segmentation throughput over real Chinese text (the People's Daily corpus
// beside the project, stripped of its annotation), per mode.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "driver/SegMode.h"
#include "zorvseg.h"

namespace {

// The corpus paragraphs with ids and tags removed: plain UTF-8 text.
const std::string& CorpusText() {
  static std::string text = [] {
    std::ifstream in(std::string(ZORVSEG_CORPORA_DIR) + "/pd1998-01/199801.utf8.txt");
    std::string line, out;
    while (std::getline(in, line)) {
      std::istringstream tokens(line);
      std::string token;
      bool first = true;
      while (tokens >> token) {
        if (first) { first = false; continue; }  // paragraph id
        size_t slash = token.rfind('/');
        std::string word = token.substr(0, slash);
        if (!word.empty() && word[0] == '[') word.erase(0, 1);
        out += word;
      }
      out += '\n';
      if (out.size() > (8u << 20)) break;
    }
    return out;
  }();
  return text;
}

void SegmentCorpus(benchmark::State& state, int32_t mode, size_t charset) {
  static bool loaded = new_seg::LxInitSeg(ZORVSEG_DATA_DIR);
  if (!loaded) {
    state.SkipWithError("cannot load the data directory");
    return;
  }
  const std::string& text = CorpusText();
  if (text.empty()) {
    state.SkipWithError("corpus not found");
    return;
  }
  new_seg::HANDLE handle = new_seg::LxCreateSegHandle(mode);
  size_t bytes = 0;
  for (auto _ : state) {
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      new_seg::LxSegment(handle, text.data() + start, end - start, charset);
      benchmark::DoNotOptimize(new_seg::LxGetResultCnt(handle));
      bytes += end - start + 1;
      start = end + 1;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
  new_seg::LxCloseSegHandle(handle);
}

void BM_SingleCharacterUtf8(benchmark::State& state) {
  SegmentCorpus(state, new_seg::SegMode::kSingleWord | new_seg::SegMode::kSbcToDbc |
                           new_seg::SegMode::kTraditionalToSimplified,
                new_seg::kCharsetUTF8);
}
BENCHMARK(BM_SingleCharacterUtf8)->Unit(benchmark::kMillisecond);

void BM_DefaultModeUtf8(benchmark::State& state) {
  SegmentCorpus(state, new_seg::SegMode::kDefaultMode, new_seg::kCharsetUTF8);
}
BENCHMARK(BM_DefaultModeUtf8)->Unit(benchmark::kMillisecond);

// The default mode tags parts of speech; without that bit the difference to
// BM_DefaultModeUtf8 is the cost of tagging.
void BM_DefaultModeWithoutPosUtf8(benchmark::State& state) {
  SegmentCorpus(state, new_seg::SegMode::kDefaultMode & ~new_seg::SegMode::kPosTag,
                new_seg::kCharsetUTF8);
}
BENCHMARK(BM_DefaultModeWithoutPosUtf8)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
