// The perceptron that refines the tag weights: it corrects what the
// starting weights get wrong, learns context through the transitions, and
// is deterministic.
#include <gtest/gtest.h>

#include "common/TagPerceptron.h"

using zorvseg_tools::TagPerceptron;

namespace {

const int kX = 0, kY = 1;

// Word 0 may be X or Y and starts out as X; word 1 is always X, word 2
// always Y. The corpus has word 0 as Y after word 1 and as X after word 2.
TagPerceptron Ambiguous() {
  TagPerceptron perceptron(2);
  perceptron.AddWord({{kX, -1.0}, {kY, -3.0}});
  perceptron.AddWord({{kX, -1.0}});
  perceptron.AddWord({{kY, -1.0}});
  for (int i = 0; i < 20; ++i) {
    perceptron.AddSentence({{1, kX}, {0, kY}});
    perceptron.AddSentence({{2, kY}, {0, kX}});
  }
  return perceptron;
}

}  // namespace

TEST(TagPerceptronTest, LearnsTheContextTheStartingWeightsMiss) {
  TagPerceptron perceptron = Ambiguous();
  EXPECT_GT(perceptron.Train(1, 1.0), 0u);
  EXPECT_EQ(perceptron.Train(3, 1.0), 0u);
  // Y after X now beats X after X by more than the emission gap.
  double y_after_x = perceptron.Transition(kX, kY) + perceptron.Emission(0, 1);
  double x_after_x = perceptron.Transition(kX, kX) + perceptron.Emission(0, 0);
  EXPECT_GT(y_after_x, x_after_x);
  double x_after_y = perceptron.Transition(kY, kX) + perceptron.Emission(0, 0);
  double y_after_y = perceptron.Transition(kY, kY) + perceptron.Emission(0, 1);
  EXPECT_GT(x_after_y, y_after_y);
}

TEST(TagPerceptronTest, NoPassKeepsTheStartingWeights) {
  TagPerceptron perceptron = Ambiguous();
  perceptron.SetTransition(2, kY, -0.5);  // from the sentence start
  EXPECT_EQ(perceptron.Train(0, 1.0), 0u);
  EXPECT_DOUBLE_EQ(perceptron.Emission(0, 0), -1.0);
  EXPECT_DOUBLE_EQ(perceptron.Emission(0, 1), -3.0);
  EXPECT_DOUBLE_EQ(perceptron.Transition(2, kY), -0.5);
  EXPECT_DOUBLE_EQ(perceptron.Transition(kX, kY), 0.0);
}

TEST(TagPerceptronTest, SameInputSameWeights) {
  TagPerceptron first = Ambiguous(), second = Ambiguous();
  first.Train(4, 0.3);
  second.Train(4, 0.3);
  for (int from = 0; from <= 2; ++from) {
    for (int to = 0; to < 2; ++to) EXPECT_EQ(first.Transition(from, to), second.Transition(from, to));
  }
  for (size_t k = 0; k < 2; ++k) EXPECT_EQ(first.Emission(0, k), second.Emission(0, k));
}

namespace {

// Word 0 may be X or Y; words 1 and 2 are both always X, so no transition
// tells them apart: word 0 is Y before word 1 and X before word 2.
TagPerceptron WordBeforeDecides() {
  TagPerceptron perceptron(2);
  perceptron.AddWord({{kX, -1.0}, {kY, -1.5}});
  perceptron.AddWord({{kX, -1.0}});
  perceptron.AddWord({{kX, -1.0}});
  for (int i = 0; i < 20; ++i) {
    perceptron.AddSentence({{0, kY}, {1, kX}});
    perceptron.AddSentence({{0, kX}, {2, kX}});
  }
  return perceptron;
}

}  // namespace

TEST(TagPerceptronTest, LearnsWhatTheNeighbouringWordsSayOnlyWithContext) {
  TagPerceptron plain = WordBeforeDecides();
  EXPECT_GT(plain.Train(5, 0.3), 0u);
  EXPECT_TRUE(plain.ContextWeights(0.0).empty());

  TagPerceptron context = WordBeforeDecides();
  context.UseContext();
  context.Train(5, 0.3);
  EXPECT_EQ(context.Train(1, 0.3), 0u);
  // The word after (side 1) speaks: word 1 for Y, word 2 for X; nothing
  // else gets a weight, and the list is ordered by side, word and tag.
  std::vector<TagPerceptron::ContextWeight> weights = context.ContextWeights(0.0);
  ASSERT_FALSE(weights.empty());
  double score[3][2] = {};
  for (size_t i = 0; i < weights.size(); ++i) {
    EXPECT_EQ(weights[i].side, 1);
    score[weights[i].word][weights[i].tag] = weights[i].weight;
    if (i > 0) {
      EXPECT_TRUE(std::make_pair(weights[i - 1].word, weights[i - 1].tag) <
                  std::make_pair(weights[i].word, weights[i].tag));
    }
  }
  EXPECT_GT(score[1][kY], score[1][kX]);
  EXPECT_GT(score[2][kX], score[2][kY]);
  // The threshold leaves the small ones out.
  EXPECT_LT(context.ContextWeights(1e9).size(), weights.size());
  EXPECT_TRUE(context.ContextWeights(1e9).empty());
}
