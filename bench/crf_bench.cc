// CRF decoder: tokens per second of parse() on a realistic random entity
// model (10 labels, 16 templates over characters and name codes, tens of
// thousands of observations per trie, about 30 MB), with and without the
// incremental feature extraction, and the time to load that model.
//
//   build/bench/crf_bench
#include <benchmark/benchmark.h>

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "common/CrfModel.h"
#include "crf/DecoderFeatureIndex.h"
#include "crf/ObservationExtractor.h"
#include "crf/TaggerImpl.h"

namespace {

using new_seg::CRFPP::DecoderFeatureIndex;
using new_seg::CRFPP::kWordTrie;
using new_seg::CRFPP::Observation;
using new_seg::CRFPP::ObservationExtractor;
using new_seg::CRFPP::TaggerImpl;
using new_seg::CRFPP::TokenTable;

const std::vector<std::string> kTemplates = {
    "U00:%x[-2,0]", "U01:%x[-1,0]", "U02:%x[0,0]", "U03:%x[1,0]",
    "U04:%x[2,0]", "U05:%x[-2,0]/%x[-1,0]", "U06:%x[-1,0]/%x[0,0]",
    "U07:%x[0,0]/%x[1,0]", "U08:%x[1,0]/%x[2,0]", "U09:%x[-1,0]/%x[1,0]",
    "U10:%x[-1,1]", "U11:%x[0,1]", "U12:%x[1,1]", "U13:%x[-1,1]/%x[0,1]",
    "U14:%x[0,1]/%x[1,1]", "U15:%x[0,0]/%x[0,1]"};
const std::vector<std::string> kLabels = {"O",     "B-PER", "I-PER", "E-PER",
                                          "B-LOC", "I-LOC", "E-LOC", "B-ORG",
                                          "I-ORG", "E-ORG"};
const std::size_t kWordObservations = 60000;
const std::size_t kPosObservations = 25000;

// Text-like tokens: 3000 GBK characters with Zipf-like frequencies, a
// name-character code (mostly 0) and the token's offset.
class TokenSource {
 public:
  TokenSource() : rng_(17) {
    std::vector<double> weights;
    for (int rank = 1; rank <= 3000; ++rank) weights.push_back(1.0 / rank);
    characters_ = std::discrete_distribution<int>(weights.begin(), weights.end());
  }

  TokenTable Sentence(std::size_t length) {
    TokenTable tokens;
    for (std::size_t i = 0; i < length; ++i) {
      int rank = characters_(rng_);
      std::string character = {static_cast<char>(0xB0 + rank / 94),
                               static_cast<char>(0xA1 + rank % 94)};
      int code = rng_() % 8 == 0 ? 1 + static_cast<int>(rng_() % 9) : 0;
      tokens.push_back({character, std::to_string(code), std::to_string(2 * i), "O"});
    }
    return tokens;
  }

 private:
  std::mt19937 rng_;
  std::discrete_distribution<int> characters_;
};

// Observations of generated text, until both tries are full enough.
zorvseg_tools::CrfModel MakeModel() {
  zorvseg_tools::CrfModel model;
  model.labels = kLabels;
  model.xsize = 4;
  model.unigram_templates = kTemplates;
  model.bigram_templates = {"B"};
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> weight(-1, 1);
  ObservationExtractor extractor(kTemplates, model.xsize);
  TokenSource source;
  std::vector<std::vector<Observation>> observations;
  while (model.word_observations.size() < kWordObservations ||
         model.pos_observations.size() < kPosObservations) {
    extractor.Extract(source.Sentence(40), &observations);
    for (const auto& position : observations) {
      for (const Observation& o : position) {
        bool word = o.trie_tag == kWordTrie;
        if (word ? model.word_observations.size() >= kWordObservations
                 : model.pos_observations.size() >= kPosObservations) {
          continue;
        }
        std::vector<float>& block = word ? model.WordBlock(o.key) : model.PosBlock(o.key);
        for (float& w : block) w = weight(rng);
      }
    }
  }
  model.transitions.resize(kLabels.size() * kLabels.size());
  for (float& w : model.transitions) w = weight(rng);
  return model;
}

// The model file, written once per run into a temporary directory.
class ModelFile {
 public:
  ModelFile() {
    char dir[] = "/tmp/crf_bench.XXXXXX";
    if (mkdtemp(dir) == nullptr) return;
    dir_ = dir;
    path_ = dir_ + "/ne_model.dat";
    std::string error;
    if (!MakeModel().Save(path_, &error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      path_.clear();
    }
  }
  ~ModelFile() {
    std::remove(path_.c_str());
    rmdir(dir_.c_str());
  }
  const std::string& path() const { return path_; }

 private:
  std::string dir_;
  std::string path_;
};

const ModelFile& Model() {
  static ModelFile file;
  return file;
}

std::vector<std::string> SentenceLines(TokenSource& source) {
  std::vector<std::string> lines;
  for (const auto& token : source.Sentence(30)) {
    lines.push_back(token[0] + "\t" + token[1] + "\t" + token[2] + "\t" + token[3]);
  }
  return lines;
}

void BM_Parse(benchmark::State& state) {
  DecoderFeatureIndex index;
  if (Model().path().empty() || !index.open(Model().path().c_str())) {
    state.SkipWithError("no model");
    return;
  }
  TaggerImpl tagger;
  tagger.open(&index, 0, 0);
  tagger.set_incremental(state.range(0) != 0);
  TokenSource source;
  std::vector<std::vector<std::string>> sentences;
  for (int i = 0; i < 200; ++i) sentences.push_back(SentenceLines(source));
  std::size_t tokens = 0;
  std::size_t next = 0;
  for (auto _ : state) {
    const auto& lines = sentences[next++ % sentences.size()];
    tagger.clear();
    for (const std::string& line : lines) tagger.add(line.c_str());
    tagger.parse();
    benchmark::DoNotOptimize(tagger.result(0));
    tokens += lines.size();
  }
  state.SetItemsProcessed(static_cast<int64_t>(tokens));
  state.SetLabel(state.range(0) != 0 ? "incremental" : "every template walks");
}
BENCHMARK(BM_Parse)->Arg(1)->Arg(0);

void BM_Load(benchmark::State& state) {
  if (Model().path().empty()) {
    state.SkipWithError("no model");
    return;
  }
  for (auto _ : state) {
    DecoderFeatureIndex index;
    if (!index.open(Model().path().c_str())) state.SkipWithError(index.what());
    benchmark::DoNotOptimize(index.size());
  }
  FILE* file = std::fopen(Model().path().c_str(), "rb");
  std::fseek(file, 0, SEEK_END);
  state.SetLabel(std::to_string(std::ftell(file) / 1000000) + " MB");
  std::fclose(file);
}
BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
