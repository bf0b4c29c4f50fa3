// Throughput of entity recognition: the command line's default mode with and
// without it over the corpus text, and recognition over hostile lines (only
// punctuation, one character repeated, a long run of digits, a line full of
// candidate entities) at growing line lengths: the bytes per second must
// not fall as lines grow.
#include <benchmark/benchmark.h>

#include <string>

#include "BenchCorpus.h"
#include "zorvseg_mode.h"

namespace {

using namespace new_seg;

const int32_t kCliDefault = kModeCommandLineDefault;
const int32_t kEntities = kCliDefault | kModeNeName;

const std::string& CorpusText() {
  static std::string text =
      bench::ReadCorpusText(8u << 20, [](const std::string&, std::string&) {});
  return text;
}

void BM_CliDefaultMode(benchmark::State& state) {
  bench::SegmentLines(state, CorpusText(), kCliDefault);
}
BENCHMARK(BM_CliDefaultMode)->Unit(benchmark::kMillisecond);

void BM_CliDefaultModeWithEntities(benchmark::State& state) {
  bench::SegmentLines(state, CorpusText(), kEntities);
}
BENCHMARK(BM_CliDefaultModeWithEntities)->Unit(benchmark::kMillisecond);

void BM_CliDefaultModeWithWholeNames(benchmark::State& state) {
  bench::SegmentLines(state, CorpusText(),
                      kEntities | kModeNePerWhole | kModeNeLocWhole |
                          kModeNeOrgWhole | kModeAdjustNe);
}
BENCHMARK(BM_CliDefaultModeWithWholeNames)->Unit(benchmark::kMillisecond);

// About 1 MB of lines of state.range(0) bytes, each the unit repeated.
std::string HostileLines(const std::string& unit, size_t line_bytes) {
  std::string line;
  while (line.size() + unit.size() <= line_bytes) line += unit;
  std::string text;
  while (text.size() < (1u << 20)) text += line + "\n";
  return text;
}

void Hostile(benchmark::State& state, const std::string& unit) {
  std::string text = HostileLines(unit, static_cast<size_t>(state.range(0)));
  bench::SegmentLines(state, text, kEntities | kModeAdjustNe);
}

void BM_OnlyPunctuation(benchmark::State& state) { Hostile(state, "。！？"); }
void BM_OneRepeatedCharacter(benchmark::State& state) { Hostile(state, "王"); }
// One Chinese character keeps the date walk going over the digits.
void BM_DigitsAfterOneCharacter(benchmark::State& state) {
  std::string text;
  std::string line = "年" + std::string(static_cast<size_t>(state.range(0)) - 3, '7');
  while (text.size() < (1u << 20)) text += line + "\n";
  bench::SegmentLines(state, text, kEntities);
}
// Places, a holiday, dates and person-like names, packed.
void BM_CandidateEntities(benchmark::State& state) {
  Hostile(state, "北京上海春节王小二1日");
}

BENCHMARK(BM_OnlyPunctuation)->Arg(64)->Arg(256)->Arg(1020)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OneRepeatedCharacter)->Arg(64)->Arg(256)->Arg(1020)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DigitsAfterOneCharacter)->Arg(64)->Arg(256)->Arg(1020)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CandidateEntities)->Arg(64)->Arg(256)->Arg(1020)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
