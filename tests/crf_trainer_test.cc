// The CRF trainer: its objective against brute force, chunk scoring, and
// the command end to end on a toy task it must learn, deterministically.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "common/CrfLikelihood.h"
#include "common/CrfScorer.h"
#include "common/CrfTrainingSet.h"
#include "support/ScratchDir.h"

namespace {

using dict_test::ReadFile;
using dict_test::ScratchDir;
using dict_test::WriteFile;
using zorvseg_tools::CrfChunk;
using zorvseg_tools::CrfLikelihood;
using zorvseg_tools::CrfTrainingSet;
using zorvseg_tools::LabelledSequences;

const std::vector<std::string> kTemplates = {"U00:%x[0,0]", "U01:%x[-1,0]/%x[0,0]",
                                             "U10:%x[0,1]", "U02:", "B"};

LabelledSequences RandomSequences(std::mt19937& rng, std::size_t count, std::size_t max_length) {
  LabelledSequences data;
  const char* const words[] = {"a", "b", "c"};
  const char* const tags[] = {"x", "y"};
  const char* const labels[] = {"L0", "L1", "L2"};
  for (std::size_t s = 0; s < count; ++s) {
    data.tokens.emplace_back();
    data.labels.emplace_back();
    for (std::size_t n = 1 + rng() % max_length; n > 0; --n) {
      data.tokens.back().push_back({words[rng() % 3], tags[rng() % 2]});
      data.labels.back().push_back(labels[rng() % 3]);
    }
  }
  return data;
}

// -log P(gold) summed over the sequences, by enumerating every labelling.
double BruteForceLoss(const CrfTrainingSet& set, const std::vector<double>& w) {
  const std::size_t Y = set.ysize();
  const double* trans = &w[set.feature_count() * Y];
  double loss = 0;
  for (std::size_t s = 0; s < set.sequence_count(); ++s) {
    std::size_t begin = set.sequence_begin(s), length = set.sequence_begin(s + 1) - begin;
    auto score = [&](const std::vector<std::size_t>& labels) {
      double total = 0;
      for (std::size_t t = 0; t < length; ++t) {
        for (const uint32_t* f = set.features_begin(begin + t); f != set.features_end(begin + t); ++f) {
          total += w[*f * Y + labels[t]];
        }
        if (t > 0) total += trans[labels[t - 1] * Y + labels[t]];
      }
      return total;
    };
    std::vector<std::size_t> labels(length, 0);
    double z = 0;
    for (;;) {
      z += std::exp(score(labels));
      std::size_t t = 0;
      while (t < length && ++labels[t] == Y) labels[t++] = 0;
      if (t == length) break;
    }
    std::vector<std::size_t> gold;
    for (std::size_t t = 0; t < length; ++t) gold.push_back(set.gold(begin + t));
    loss += std::log(z) - score(gold);
  }
  return loss;
}

TEST(CrfTrainerTest, ObjectiveAgreesWithBruteForceAndItsGradientWithDifferences) {
  std::mt19937 rng(9);
  CrfTrainingSet set;
  std::string error;
  ASSERT_TRUE(set.Build(RandomSequences(rng, 12, 5), 2, kTemplates, 1, &error)) << error;
  CrfLikelihood one_thread(set, 1);
  CrfLikelihood three_threads(set, 3);
  std::vector<double> w(one_thread.parameter_count());
  std::uniform_real_distribution<double> weight(-1, 1);
  for (double& x : w) x = weight(rng);
  std::vector<double> gradient(w.size()), unused(w.size());
  double loss = one_thread.Evaluate(w.data(), gradient.data());
  EXPECT_NEAR(BruteForceLoss(set, w), loss, 1e-9 * std::abs(loss));
  // Threads change nothing, not even rounding.
  EXPECT_EQ(loss, three_threads.Evaluate(w.data(), unused.data()));
  EXPECT_EQ(gradient, unused);
  const double h = 1e-6;
  for (std::size_t i = 0; i < w.size(); ++i) {
    std::vector<double> up = w, down = w;
    up[i] += h;
    down[i] -= h;
    double slope = (one_thread.Evaluate(up.data(), unused.data()) -
                    one_thread.Evaluate(down.data(), unused.data())) / (2 * h);
    ASSERT_NEAR(slope, gradient[i], 1e-5) << "parameter " << i;
  }
}

TEST(CrfTrainerTest, CutOffDropsRareFeaturesAndFitsASizeLimit) {
  std::mt19937 rng(4);
  CrfTrainingSet set;
  std::string error;
  ASSERT_TRUE(set.Build(RandomSequences(rng, 50, 8), 2, kTemplates, 1, &error)) << error;
  std::size_t all = set.feature_count();
  EXPECT_EQ(all, set.raw_feature_count());
  set.ApplyCutOff(40);  // word pairs are seen about 25 times
  EXPECT_LT(set.feature_count(), all);
  EXPECT_GT(set.feature_count(), 0u);
  EXPECT_EQ(1u, set.CutOffFor(UINT64_MAX, 1));
  EXPECT_GT(set.CutOffFor(1000, 1), 1u);  // all of it takes about 2000 bytes
  EXPECT_EQ(7u, set.CutOffFor(UINT64_MAX, 7));
}

TEST(CrfTrainerTest, TemplatesTheDecoderCannotUseAreRefused) {
  std::mt19937 rng(1);
  LabelledSequences data = RandomSequences(rng, 3, 3);
  for (const char* templ : {"U16:%x[0,0]", "U00:%x[0,2]", "U00:%x[9,0]", "B01:%x[0,0]", "Z"}) {
    CrfTrainingSet set;
    std::string error;
    EXPECT_FALSE(set.Build(data, 2, {templ}, 1, &error)) << templ;
    EXPECT_NE(std::string::npos, error.find(templ)) << error;
  }
}

TEST(CrfTrainerTest, ChunksFollowTheLabelMarkers) {
  struct Case {
    std::vector<std::string> labels;
    std::vector<CrfChunk> chunks;
  };
  const Case cases[] = {
      {{"B-PER", "I-PER", "E-PER", "O"}, {{0, 3, "PER"}}},
      {{"B-LOC", "E-LOC", "E-LOC"}, {{0, 2, "LOC"}, {2, 3, "LOC"}}},
      {{"I-ORG", "I-ORG"}, {{0, 2, "ORG"}}},
      {{"B-PER", "B-PER"}, {{0, 1, "PER"}, {1, 2, "PER"}}},
      {{"B-PER", "I-LOC"}, {{0, 1, "PER"}, {1, 2, "LOC"}}},
      {{"B", "M", "E", "S", "B", "E"}, {{0, 3, ""}, {3, 4, ""}, {4, 6, ""}}},
      {{"O", "O"}, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(c.chunks, zorvseg_tools::LabelChunks(c.labels));
}

// ---- zorvseg-train crf end to end ----

class CrfTrainCommandTest : public ::testing::Test {
 protected:
  int Train(const std::string& args) {
    std::string command = std::string(ZORVSEG_BIN_DIR) + "/zorvseg-train crf " + args + " >" +
                          dir_.File("out.txt") + " 2>" + dir_.File("err.txt");
    int raw = std::system(command.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  }
  std::string Output() { return ReadFile(dir_.File("out.txt")); }
  std::string Errors() { return ReadFile(dir_.File("err.txt")); }

  // A separable toy task: "n" is a name (B-N) after "mr", an ordinary word
  // (O) elsewhere; every other token is O. The second column is noise.
  std::string ToyColumns(std::size_t sequences) {
    std::mt19937 rng(2);
    const char* const words[] = {"mr", "n", "the", "dog", "n"};
    std::string text;
    for (std::size_t s = 0; s < sequences; ++s) {
      std::string previous;
      for (std::size_t n = 2 + rng() % 6; n > 0; --n) {
        std::string word = words[rng() % 5];
        std::string label = word == "n" && previous == "mr" ? "B-N" : "O";
        text += word + "\t" + std::to_string(rng() % 3) + "\t" + label + "\n";
        previous = word;
      }
      text += "\n";
    }
    return text;
  }

  ScratchDir dir_;
};

TEST_F(CrfTrainCommandTest, LearnsASeparableTaskTheSameWayTwice) {
  WriteFile(dir_.File("train.tsv"), ToyColumns(60));
  WriteFile(dir_.File("templates.txt"),
            "# toy\nU00:%x[0,0]\nU01:%x[-1,0]\nU02:%x[-1,0]/%x[0,0]\nU10:%x[0,1]\n\nB\n");
  for (const char* algorithm : {"lbfgs", "perceptron"}) {
    std::string args = std::string("--algorithm ") + algorithm + " --c2 0.1 --test " +
                       dir_.File("train.tsv") + " " + dir_.File("train.tsv") + " " +
                       dir_.File("templates.txt") + " ";
    ASSERT_EQ(0, Train(args + dir_.File("a.dat"))) << Errors();
    EXPECT_NE(std::string::npos, Output().find("accuracy 1.0000")) << algorithm << Output();
    EXPECT_NE(std::string::npos, Output().find("F1 1.0000")) << algorithm << Output();
    ASSERT_EQ(0, Train(args + dir_.File("b.dat"))) << Errors();
    EXPECT_EQ(ReadFile(dir_.File("a.dat")), ReadFile(dir_.File("b.dat"))) << algorithm;
  }
}

TEST_F(CrfTrainCommandTest, SkipsSequencesTheDecoderCouldNotTake) {
  std::string bad = "a\tb\tc\tO\n\nz\tO\n\n" + std::string(8200, 'q') + "\t1\tO\n\n" +
                    "1\t2\t3\t4\t5\t6\t7\t8\t9\t10\t11\tO\n\n";
  WriteFile(dir_.File("train.tsv"), ToyColumns(20) + bad);
  WriteFile(dir_.File("templates.txt"), "U00:%x[0,0]\nB\n");
  ASSERT_EQ(0, Train(dir_.File("train.tsv") + " " + dir_.File("templates.txt") + " " +
                     dir_.File("m.dat")))
      << Errors();
  EXPECT_NE(std::string::npos, Output().find("4 sequences skipped (first at line")) << Output();
  EXPECT_NE(std::string::npos, Output().find("20 sequences")) << Output();

  WriteFile(dir_.File("templates.txt"), "U00:%x[0,5]\n");
  EXPECT_EQ(1, Train(dir_.File("train.tsv") + " " + dir_.File("templates.txt") + " " +
                     dir_.File("m.dat")));
  EXPECT_NE(std::string::npos, Errors().find("'U00:%x[0,5]' does not compile")) << Errors();
  EXPECT_EQ(2, Train("--algorithm sgd a b c"));
  EXPECT_EQ(2, Train("a b"));
}

}  // namespace
