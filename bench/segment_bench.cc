// Segmentation throughput over real Chinese text (the People's Daily corpus
// beside the project, stripped of its annotation), per mode.
#include <benchmark/benchmark.h>

#include <string>

#include "BenchCorpus.h"
#include "zorvseg_mode.h"

namespace {

// Up to 8 MB of the corpus as plain text (the whole of it, about 5.3 MB).
const std::string& CorpusText() {
  static std::string text =
      bench::ReadCorpusText(8u << 20, [](const std::string&, std::string&) {});
  return text;
}

void SegmentCorpus(benchmark::State& state, int32_t mode) {
  bench::SegmentLines(state, CorpusText(), mode);
}

void BM_SingleCharacterUtf8(benchmark::State& state) {
  SegmentCorpus(state, new_seg::kModeSingleWord | new_seg::kModeSbcToDbc |
                           new_seg::kModeTraditionalToSimplified);
}
BENCHMARK(BM_SingleCharacterUtf8)->Unit(benchmark::kMillisecond);

void BM_DefaultModeUtf8(benchmark::State& state) {
  SegmentCorpus(state, new_seg::kModeModuleDefault);
}
BENCHMARK(BM_DefaultModeUtf8)->Unit(benchmark::kMillisecond);

// The default mode tags parts of speech; without that bit the difference to
// BM_DefaultModeUtf8 is the cost of tagging.
void BM_DefaultModeWithoutPosUtf8(benchmark::State& state) {
  SegmentCorpus(state, new_seg::kModeModuleDefault & ~new_seg::kModePosTag);
}
BENCHMARK(BM_DefaultModeWithoutPosUtf8)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
