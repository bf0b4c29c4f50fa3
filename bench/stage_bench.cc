// Where the time of a segmentation call goes, stage by stage, on the corpus
// text: each benchmark stops every call after one stage, and the report
// ends with the cost of each stage (the difference to the benchmark before
// it) in nanoseconds of processor time per input byte and as a share of
// the whole call.
//
//   build/bench/stage_bench [--benchmark_repetitions=3]
//
// Stages: UTF-8 to GB18030 conversion; sentence splitting and
// normalisation; lattice building (dictionary and ASCII words); best-path
// search and adjustment; tagging; entity recognition; result saving (with
// the conversion of every word back to UTF-8). Modes: the command line's
// default (tagging, no entities) and the same with entity recognition.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "BenchCorpus.h"
#include "driver/LxSegmentor.h"
#include "zorvseg_mode.h"

namespace {

using Stage = new_seg::LxSegmentor::Stage;

const Stage kStages[] = {Stage::kConvert, Stage::kNormalize, Stage::kBuild, Stage::kSearch,
                         Stage::kTag,     Stage::kEntities,  Stage::kSave};
const char* const kStageNames[] = {"conversion", "normalisation", "lattice_building",
                                   "search",     "tagging",       "entities",
                                   "saving"};
const size_t kStageCount = sizeof(kStages) / sizeof(kStages[0]);

const std::string& CorpusText() {
  static std::string text =
      bench::ReadCorpusText(8u << 20, [](const std::string&, std::string&) {});
  return text;
}

void SegmentUpTo(benchmark::State& state, int32_t mode, Stage last) {
  if (!bench::DataLoaded() || CorpusText().empty()) {
    state.SkipWithError("data directory or corpus missing");
    return;
  }
  new_seg::LxSegmentor segmentor(mode);
  if (!segmentor.Init()) {
    state.SkipWithError("no segmentor");
    return;
  }
  segmentor.set_last_stage(last);
  bench::SegmentEachLine(state, CorpusText(), [&segmentor](const char* line, size_t length) {
    return segmentor.segment(line, length, new_seg::kCharsetUTF8);
  });
}

// Prints, after the usual report, each stage's cost as the difference of
// consecutive benchmarks of one mode (medians when repeated).
class StageReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      bool aggregate = run.run_type == Run::RT_Aggregate;
      if (aggregate && run.aggregate_name != "median") continue;
      std::string name = run.run_name.function_name;  // "<mode>/<stage index>"
      // Processor time: on a shared machine it holds steadier than wall time.
      double ns_per_byte = run.GetAdjustedCPUTime() * 1e6 /  // ms -> ns
                           static_cast<double>(CorpusText().size());
      // A median replaces the single runs of the same name.
      if (aggregate || !medians_.count(name)) times_[name] = ns_per_byte;
      if (aggregate) medians_[name] = true;
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    std::map<std::string, std::vector<double>> by_mode;
    for (const auto& entry : times_) {
      std::string mode = entry.first.substr(0, entry.first.find('/'));
      by_mode[mode].push_back(entry.second);
    }
    for (const auto& mode : by_mode) {
      const std::vector<double>& cumulative = mode.second;
      if (cumulative.size() != kStageCount) continue;
      double total = cumulative.back();
      std::printf("\nstage costs, %s, %.1f MB of corpus text (ns per input byte, share):\n",
                  mode.first.c_str(), static_cast<double>(CorpusText().size()) / 1e6);
      double before = 0;
      for (size_t i = 0; i < kStageCount; ++i) {
        double cost = cumulative[i] - before;
        std::printf("  %-18s %7.1f  %5.1f %%\n", kStageNames[i], cost, 100.0 * cost / total);
        before = cumulative[i];
      }
      std::printf("  %-18s %7.1f  (%.2f MB/s)\n", "whole call", total, 1e3 / total);
    }
  }

 private:
  std::map<std::string, double> times_;
  std::map<std::string, bool> medians_;
};

void RegisterStages(const char* mode_name, int32_t mode) {
  for (size_t i = 0; i < kStageCount; ++i) {
    std::string name = std::string(mode_name) + "/" + std::to_string(i) + "_" + kStageNames[i];
    Stage last = kStages[i];
    benchmark::RegisterBenchmark(name.c_str(), [mode, last](benchmark::State& state) {
      SegmentUpTo(state, mode, last);
    })->Unit(benchmark::kMillisecond);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int32_t tagged = new_seg::kModePosTag | new_seg::kModeSbcToDbc |
                         new_seg::kModeTraditionalToSimplified;
  RegisterStages("default_0x214", tagged);
  RegisterStages("entities_0x314", tagged | new_seg::kModeNeName);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  StageReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
