// Throughput with one handle per thread, as `zorvseg -j N` runs: every
// thread segments the same corpus text line by line with its own handle.
// Compare bytes_per_second of threads:1 and threads:N (wall-clock time, so
// the figure is the whole process's throughput).
//
//   build/bench/scaling_bench [--benchmark_repetitions=3]
#include <benchmark/benchmark.h>

#include <string>

#include "BenchCorpus.h"
#include "zorvseg_mode.h"

namespace {

const std::string& CorpusText() {
  static std::string text =
      bench::ReadCorpusText(4u << 20, [](const std::string&, std::string&) {});
  return text;
}

void BM_HandlePerThread(benchmark::State& state) {
  bench::SegmentLines(state, CorpusText(), new_seg::kModeCommandLineDefault);
}
BENCHMARK(BM_HandlePerThread)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->ThreadRange(1, 4);

}  // namespace

BENCHMARK_MAIN();
