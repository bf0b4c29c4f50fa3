#include "common/CrfTrainerCommand.h"

#include <chrono>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "common/ArgumentSplitter.h"
#include "common/CrfModel.h"
#include "common/CrfScorer.h"
#include "common/CrfTrainer.h"
#include "common/DataCompiler.h"
#include "common/GbkText.h"
#include "dict/DictFile.h"

namespace zorvseg_tools {

namespace {

const char kUsage[] =
    "usage: zorvseg-train crf [options] TRAIN.tsv TEMPLATES.txt OUT.dat\n"
    "\n"
    "Trains a CRF model file (such as ne_model.dat) for the library's decoder.\n"
    "\n"
    "TRAIN.tsv has one token per line, columns separated by TAB, the gold label\n"
    "last, and a blank line after each sequence; empty columns are skipped, as\n"
    "the decoder skips them. A sequence holding a token the decoder could not\n"
    "take (another column count, more than 10 columns, a line of 8192 bytes or\n"
    "more) is skipped and counted. TEMPLATES.txt has one template per line\n"
    "(U00:%x[-1,0]/%x[0,0] ... U15:..., and B for label transitions, which are\n"
    "always trained); blank lines and lines starting with '#' are skipped.\n"
    "\n"
    "  --algorithm lbfgs|perceptron  a CRF fitted by L-BFGS (default), or an\n"
    "                        averaged structured perceptron\n"
    "  --min-count N         drop features seen fewer than N times (default 1)\n"
    "  --max-size MB         raise the cut-off until the model fits (default 30;\n"
    "                        0: no limit)\n"
    "  --c2 X                L2 penalty X/2 * sum of squared weights (default 1)\n"
    "  --c1 X                L1 penalty X * sum of absolute weights (default 0)\n"
    "  --iterations N        L-BFGS iterations or perceptron epochs (default 300;\n"
    "                        the perceptron stops early without training errors)\n"
    "  --epsilon X           L-BFGS stops when the loss improves by less than\n"
    "                        this fraction over 10 iterations (default 0.0001)\n"
    "  --threads N           threads computing the L-BFGS gradient (default 2;\n"
    "                        the result does not depend on N)\n"
    "  --test FILE           score the written model on a column file: token\n"
    "                        accuracy and chunk precision, recall and F1\n"
    "  --encoding utf8|gbk   encoding of the column files (default utf8; models\n"
    "                        hold GBK)\n"
    "  --verbose             print the progress of training\n"
    "\n"
    "Labels are numbered in byte order. The same input and options give\n"
    "byte-identical files.\n";

struct Options {
  std::string train;
  std::string templates;
  std::string output;
  std::string test;
  InputEncoding encoding = InputEncoding::kUtf8;
  CrfTrainerOptions trainer;
};

bool ParseCount(const std::string& text, long long low, long long high, long long* value) {
  return new_seg::dict_file::ParseInteger(text, value) && *value >= low && *value <= high;
}

// 0 run, 1 help, 2 usage error.
int ParseOptions(int argc, char** argv, Options* o) {
  ArgumentSplitter::Rules rules;
  rules.takes_value = [](const std::string& option) { return option != "--verbose"; };
  ArgumentSplitter arguments(argc, argv, rules);
  for (auto step = arguments.Next(); step != ArgumentSplitter::Step::kEnd;
       step = arguments.Next()) {
    const std::string& arg = arguments.option();
    if (step == ArgumentSplitter::Step::kHelp) return 1;
    if (step == ArgumentSplitter::Step::kSwitch) {
      o->trainer.verbose = true;
      continue;
    }
    if (step == ArgumentSplitter::Step::kMissingValue) {
      std::fprintf(stderr, "zorvseg-train crf: %s needs a value\n", arg.c_str());
      return 2;
    }
    const std::string& value = arguments.value();
    long long number = 0;
    double real = 0;
    bool ok = true;
    if (arg == "--algorithm") {
      ok = value == "lbfgs" || value == "perceptron";
      o->trainer.algorithm = value == "perceptron" ? CrfTrainerOptions::Algorithm::kPerceptron
                                                   : CrfTrainerOptions::Algorithm::kLbfgs;
    } else if (arg == "--min-count") {
      ok = ParseCount(value, 1, 1LL << 31, &number);
      o->trainer.min_count = static_cast<std::size_t>(number);
    } else if (arg == "--max-size") {
      ok = ParseCount(value, 0, 2000, &number);
      o->trainer.max_bytes = static_cast<uint64_t>(number) * 1000000;
    } else if (arg == "--c2" || arg == "--c1" || arg == "--epsilon") {
      ok = new_seg::dict_file::ParseDouble(value, &real) && real >= 0;
      (arg == "--c2" ? o->trainer.c2 : arg == "--c1" ? o->trainer.c1 : o->trainer.epsilon) = real;
    } else if (arg == "--iterations") {
      ok = ParseCount(value, 1, 100000, &number);
      o->trainer.iterations = static_cast<std::size_t>(number);
    } else if (arg == "--threads") {
      ok = ParseCount(value, 1, 64, &number);
      o->trainer.threads = static_cast<std::size_t>(number);
    } else if (arg == "--test") {
      o->test = value;
    } else if (arg == "--encoding") {
      ok = value == "utf8" || value == "utf-8" || value == "gbk";
      o->encoding = value == "gbk" ? InputEncoding::kGbk : InputEncoding::kUtf8;
    } else {
      std::fprintf(stderr, "zorvseg-train crf: unknown option '%s'\n", arg.c_str());
      return 2;
    }
    if (!ok) {
      std::fprintf(stderr, "zorvseg-train crf: bad value '%s' for %s\n", value.c_str(), arg.c_str());
      return 2;
    }
  }
  const std::vector<std::string>& positional = arguments.positionals();
  if (positional.size() != 3) {
    std::fprintf(stderr, "zorvseg-train crf: wants TRAIN.tsv TEMPLATES.txt OUT.dat\n");
    return 2;
  }
  o->train = positional[0];
  o->templates = positional[1];
  o->output = positional[2];
  return 0;
}

std::vector<std::string> TemplateLines(const std::string& text) {
  std::vector<std::string> templates;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] != '#') templates.push_back(line);
  }
  return templates;
}

bool ReadSequences(const std::string& path, InputEncoding encoding, std::size_t xsize,
                   LabelledSequences* data) {
  std::string text;
  if (!ReadFileAsGbk(path, encoding, &text)) return false;
  ReadColumnFile(text, xsize, data);
  if (data->skipped_sequences != 0) {
    std::printf("%s: %zu sequences skipped (first at line %zu: %s)\n", path.c_str(),
                data->skipped_sequences, data->first_bad_line, data->first_problem.c_str());
  }
  return true;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int Score(const Options& o, std::size_t xsize) {
  LabelledSequences test;
  if (!ReadSequences(o.test, o.encoding, xsize, &test)) return 1;
  CrfScore score;
  std::string error;
  if (!ScoreCrfModel(o.output, test, &score, &error)) {
    std::fprintf(stderr, "zorvseg-train crf: %s\n", error.c_str());
    return 1;
  }
  std::printf("test %s: %zu sequences (%zu too long, skipped), %zu tokens, accuracy %.4f; "
              "chunks: precision %.4f, recall %.4f, F1 %.4f\n",
              o.test.c_str(), score.sequences, score.skipped, score.tokens, score.accuracy(),
              score.precision(), score.recall(), score.f1());
  return 0;
}

int Run(const Options& o) {
  auto start = std::chrono::steady_clock::now();
  std::string template_text;
  if (!ReadFileAsGbk(o.templates, o.encoding, &template_text)) return 1;
  LabelledSequences data;
  if (!ReadSequences(o.train, o.encoding, 0, &data)) return 1;
  std::size_t xsize = data.tokens.empty() ? 0 : data.tokens[0][0].size();
  CrfTrainer trainer(o.trainer);
  CrfModel model;
  CrfTrainingReport report;
  std::string error;
  if (!trainer.Train(data, xsize, TemplateLines(template_text), &model, &report, &error) ||
      !model.Save(o.output, &error)) {
    std::fprintf(stderr, "zorvseg-train crf: %s\n", error.c_str());
    return 1;
  }
  const CrfTrainingSet& set = trainer.training_set();
  uint64_t bytes = 0;
  new_seg::dict_file::FileSize(o.output, &bytes);
  std::printf("crf %s: %zu sequences, %zu tokens, %zu labels, %zu columns; %zu of %zu features "
              "seen at least %zu times; %zu iterations (%s, %s %.6g); %zu word and %zu pos "
              "observations, %llu bytes; %.1f s\n",
              o.output.c_str(), set.sequence_count(), set.position_count(), set.ysize(), xsize,
              set.feature_count(), set.raw_feature_count(), report.cut_off, report.iterations,
              report.stop_reason.c_str(),
              o.trainer.algorithm == CrfTrainerOptions::Algorithm::kPerceptron ? "errors" : "loss",
              report.loss, model.word_observations.size(), model.pos_observations.size(),
              static_cast<unsigned long long>(bytes), SecondsSince(start));
  if (o.trainer.max_bytes != 0 && bytes > o.trainer.max_bytes) {
    std::printf("crf %s: larger than --max-size; raise --min-count\n", o.output.c_str());
  }
  return o.test.empty() ? 0 : Score(o, xsize);
}

}  // namespace

int RunCrfTrainerCommand(int argc, char** argv) {
  Options options;
  options.trainer.max_bytes = 30000000;
  switch (ParseOptions(argc, argv, &options)) {
    case 1:
      std::fputs(kUsage, stdout);
      return 0;
    case 2:
      std::fputs(kUsage, stderr);
      return 2;
  }
  return Run(options);
}

}  // namespace zorvseg_tools
