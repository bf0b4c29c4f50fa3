// The CRF decoder: paths worked out by hand (ties included), boundary
// strings, what add() refuses, and the tagger against a plain reference
// decoder over random models and token sequences.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "common/CrfModel.h"
#include "crf/ObservationExtractor.h"
#include "crf/TaggerImpl.h"
#include "support/CrfModels.h"

namespace {

using new_seg::CRFPP::DecoderFeatureIndex;
using new_seg::CRFPP::kWordTrie;
using new_seg::CRFPP::Observation;
using new_seg::CRFPP::ObservationExtractor;
using new_seg::CRFPP::TaggerImpl;
using new_seg::CRFPP::TokenTable;
using zorvseg_tools::CrfModel;

// A tagger opened on a model written and loaded the way the library does.
class Decoder {
 public:
  explicit Decoder(const CrfModel& model, bool incremental = true)
      : opened_(model) {
    EXPECT_TRUE(tagger_.open(opened_.index(), 0, 0)) << tagger_.what();
    tagger_.set_incremental(incremental);
  }

  TaggerImpl& tagger() { return tagger_; }

  std::vector<std::string> Label(const std::vector<std::string>& lines) {
    tagger_.clear();
    for (const std::string& line : lines) {
      EXPECT_TRUE(tagger_.add(line.c_str())) << tagger_.what();
    }
    EXPECT_TRUE(tagger_.parse()) << tagger_.what();
    std::vector<std::string> labels;
    for (std::size_t i = 0; i < tagger_.size(); ++i) labels.push_back(tagger_.y2(i));
    return labels;
  }

 private:
  crf_test::OpenedModel opened_;
  TaggerImpl tagger_;
};

void SetTransition(CrfModel* model, std::size_t from, std::size_t to, float weight) {
  model->transitions[from * model->ysize() + to] = weight;
}

TEST(CrfTaggerTest, BestPathsWorkedOutByHand) {
  // Emissions: "a" favours O by 1, "b" favours B by 1, "c" has no feature.
  struct Case {
    const char* what;
    float b_to_b;
    std::vector<std::string> tokens;
    std::vector<std::string> labels;
    double best;
  };
  const Case cases[] = {
      // O-B-O and O-O-B both score 2: the lower last label wins.
      {"tie at the last token", -3, {"a", "b", "b"}, {"O", "B", "O"}, 2},
      // B at the second token is reached from O and from B with 1: the lower
      // previous label wins.
      {"tie between predecessors", 0, {"c", "b"}, {"O", "B"}, 1},
      {"one token", 0, {"a"}, {"O"}, 1},
      {"no feature anywhere: all labels tie", 0, {"c", "c"}, {"O", "O"}, 0},
  };
  for (const Case& c : cases) {
    CrfModel model = crf_test::EmptyModel({"O", "B"}, 1, {"U00:%x[0,0]"});
    model.WordBlock("a")[0] = 1;
    model.WordBlock("b")[1] = 1;
    SetTransition(&model, 1, 1, c.b_to_b);
    Decoder decoder(model);
    EXPECT_EQ(c.labels, decoder.Label(c.tokens)) << c.what;
    EXPECT_EQ(std::exp(c.best), decoder.tagger().prob()) << c.what;
  }
}

TEST(CrfTaggerTest, NodeCostsAndProbabilityComeFromSummedWeights) {
  CrfModel model = crf_test::EmptyModel({"O", "B"}, 2, {"U00:%x[0,0]", "U10:%x[0,1]"});
  model.WordBlock("a")[0 * 2 + 1] = 0.25f;
  model.PosBlock("7")[0 * 2 + 1] = 0.5f;
  Decoder decoder(model);
  EXPECT_EQ((std::vector<std::string>{"B"}), decoder.Label({"a\t7"}));
  EXPECT_EQ(0.75, decoder.tagger().emission_cost(0, 1));
  EXPECT_EQ(std::exp(-0.75), decoder.tagger().prob(0));
  const int* features = decoder.tagger().emission_vector(0, 1);
  EXPECT_NE(-1, features[0]);
  EXPECT_NE(-1, features[1]);
  EXPECT_EQ(-1, features[2]);
}

TEST(CrfTaggerTest, ReferencesBeyondTheSequenceReadBoundaryStrings) {
  const std::vector<std::string> templates = {"U00:%x[-2,0]", "U01:%x[1,0]"};
  CrfModel model = crf_test::EmptyModel({"O", "X"}, 1, templates);
  model.WordBlock("_B-2")[0 * 2 + 1] = 1;  // slot 0
  model.WordBlock("_B+1")[1 * 2 + 1] = 1;  // slot 1
  Decoder decoder(model);
  EXPECT_EQ((std::vector<std::string>{"X", "O", "X"}), decoder.Label({"p", "q", "r"}));

  std::vector<std::vector<Observation>> observations;
  ObservationExtractor(templates, 1).Extract({{"p"}, {"q"}, {"r"}}, &observations);
  EXPECT_EQ("_B-2", observations[0][0].key);
  EXPECT_EQ("_B-1", observations[1][0].key);
  EXPECT_EQ("q", observations[0][1].key);
  EXPECT_EQ("_B+1", observations[2][1].key);
  EXPECT_EQ(1u, observations[2][1].slot);
}

TEST(CrfTaggerTest, AddRefusesWhatItCannotHold) {
  CrfModel model = crf_test::EmptyModel({"O"}, 2, {"U00:%x[0,0]"});
  Decoder decoder(model);
  TaggerImpl& tagger = decoder.tagger();
  const std::string long_column(8191 - 4, 'a');
  struct Case {
    std::string line;
    const char* failure;  // nullptr: accepted
  };
  const Case cases[] = {
      {"a", "# x is small: size=1 xsize=2"},
      {"a\tb\tc", nullptr},  // the first token fixes three columns
      {"a\t\tb\tc", nullptr},  // empty pieces are skipped
      {"a\tb\tc\td", "# size is wrong: size=4 xsize_=3 MAX_X_SIZE=10"},
      {"a\tb\tc\td\te\tf\tg\th\ti\tj\tk", "# size is wrong: size=11 xsize_=3"},
      {long_column + "\tb\tc", nullptr},  // 8191 bytes
      {long_column + "x\tb\tc", "# line is too long: size=8192"},
  };
  for (const Case& c : cases) {
    tagger.clear();
    bool added = tagger.add(c.line.c_str());
    EXPECT_EQ(c.failure == nullptr, added) << c.line.substr(0, 20);
    if (c.failure != nullptr) {
      EXPECT_NE(std::string::npos, std::string(tagger.what()).find(c.failure))
          << tagger.what();
      EXPECT_EQ(0u, tagger.size());
    }
  }
  tagger.clear();
  ASSERT_TRUE(tagger.add("a\t\tb\tc"));
  EXPECT_STREQ("b", tagger.x(0, 1));
  // Refused also in a later sentence: the column count stays fixed.
  tagger.clear();
  EXPECT_FALSE(tagger.add("a\tb\tc\td"));
}

TEST(CrfTaggerTest, HoldsAtMost2048Tokens) {
  Decoder decoder(crf_test::EmptyModel({"O", "B"}, 1, {"U00:%x[0,0]"}));
  TaggerImpl& tagger = decoder.tagger();
  tagger.clear();
  for (int i = 0; i < 2048; ++i) ASSERT_TRUE(tagger.add("t"));
  EXPECT_FALSE(tagger.add("t"));
  EXPECT_NE(std::string::npos,
            std::string(tagger.what()).find("# xnum in out of range: xnum=2048 MAX_X_NUM=2048"));
  EXPECT_EQ(2048u, tagger.size());
  EXPECT_TRUE(tagger.parse());
  tagger.clear();
  EXPECT_TRUE(tagger.parse());
  EXPECT_TRUE(tagger.empty());
}

TEST(CrfTaggerTest, OpenNeedsALoadedModel) {
  DecoderFeatureIndex unloaded;
  TaggerImpl tagger;
  EXPECT_FALSE(tagger.open(&unloaded, 0, 0));
  EXPECT_FALSE(tagger.add("a"));
  EXPECT_FALSE(tagger.parse());
}

// ---- The tagger against a plain decoder over random models ----

// Templates sharing walks, shifted twins (of nodes and of whole templates,
// literal texts differing), both tries, bodyless and duplicate bodies, and
// templates the compiler must refuse (they must not fire on either side).
const char* const kTemplatePool[] = {
    "U00:%x[0,0]", "U01:%x[-1,0]", "U02:%x[1,0]", "U03:%x[-2,0]", "U04:%x[2,0]",
    "U05:%x[-1,0]/%x[0,0]", "U06:%x[0,0]/%x[1,0]", "U07:%x[0,0]/%x[1,0]/%x[2,0]",
    "U08:%x[-1,0]/%x[0,0]/%x[1,0]", "U09:", "U03:k/%x[0,0]", "U04:q/%x[1,0]",
    "U02:%x[0,0]", "U01:%x[0,0]x", "U07::%x[0,0]", "U08:%x[0,0]/", "U05:%x[-8,0]",
    "U06:%x[8,1]", "U00:%x[0,1]/%x[0,0]", "U10:%x[0,1]", "U11:%x[-1,1]/%x[0,1]",
    "U12:%x[0,0]", "U13:%x[0,0]/%x[1,0]", "U14:%x[1,1]", "U15:%x[0,2]/%x[0,0]",
    "U12:", "U01:%x[9,0]", "U02:%x[0,3]", "U00:%x[0", "U16:%x[0,0]",
    "U0:%x[0,0]", "U00:%y[0,0]", "U00:%x[a,0]", "B"};

// Token columns: prefixes of each other, a separator, a boundary string and
// a GBK character, so that walks stop inside and between node strings.
const std::vector<std::vector<std::string>> kAlphabets = {
    {"a", "ab", "abc", "b", "/", "_B-1", "\xd6\xd0"}, {"0", "1", "12"}, {"x", "xy"}};

float RandomWeight(std::mt19937& rng) {
  // Small whole numbers make ties; the rest are arbitrary.
  static const float kSteps[] = {-2, -1, -0.5f, 0, 0.5f, 1, 2};
  if (rng() % 2 == 0) return kSteps[rng() % 7];
  return std::uniform_real_distribution<float>(-3, 3)(rng);
}

TokenTable RandomTokens(std::mt19937& rng, std::size_t xsize, std::size_t max_length) {
  TokenTable tokens(rng() % (max_length + 1));
  for (auto& token : tokens) {
    for (std::size_t c = 0; c < xsize; ++c) {
      token.push_back(kAlphabets[c][rng() % kAlphabets[c].size()]);
    }
  }
  return tokens;
}

CrfModel RandomModel(std::mt19937& rng) {
  std::size_t ysize = 1 + rng() % 4;
  std::vector<std::string> labels;
  for (std::size_t y = 0; y < ysize; ++y) labels.push_back("L" + std::to_string(y));
  std::vector<std::string> templates;
  for (std::size_t n = 1 + rng() % 10; n > 0; --n) {
    templates.push_back(kTemplatePool[rng() % (sizeof(kTemplatePool) / sizeof(*kTemplatePool))]);
  }
  uint32_t xsize = 1 + rng() % 3;
  CrfModel model = crf_test::EmptyModel(labels, xsize, templates);
  model.cost_factor = rng() % 2 == 0 ? 1.0 : 0.75;
  // Most observations of some random sequences get weights.
  ObservationExtractor extractor(model.unigram_templates, xsize);
  std::vector<std::vector<Observation>> observations;
  for (int s = 0; s < 20; ++s) {
    extractor.Extract(RandomTokens(rng, xsize, 8), &observations);
    for (const auto& position : observations) {
      for (const Observation& o : position) {
        if (rng() % 10 < 3) continue;
        std::vector<float>& block = o.trie_tag == kWordTrie ? model.WordBlock(o.key)
                                                            : model.PosBlock(o.key);
        for (std::size_t y = 0; y < ysize; ++y) {
          block[o.slot * ysize + y] = RandomWeight(rng);
        }
      }
    }
  }
  for (float& weight : model.transitions) weight = RandomWeight(rng);
  return model;
}

struct Reference {
  std::vector<std::vector<double>> cost;  // [token][label]
  std::vector<std::size_t> labels;
  double best = 0;
};

// Feature strings looked up in the model's maps, weights summed in single
// precision in template order, then plain Viterbi with the lower label
// winning ties.
Reference ReferenceDecode(const CrfModel& model, const TokenTable& tokens) {
  const std::size_t ysize = model.ysize();
  Reference ref;
  std::vector<std::vector<Observation>> observations;
  ObservationExtractor(model.unigram_templates, model.xsize).Extract(tokens, &observations);
  for (const auto& position : observations) {
    std::vector<float> sums(ysize, 0.0f);
    for (const Observation& o : position) {
      const CrfModel::Observations& table =
          o.trie_tag == kWordTrie ? model.word_observations : model.pos_observations;
      auto found = table.find(o.key);
      if (found == table.end()) continue;
      for (std::size_t y = 0; y < ysize; ++y) sums[y] += found->second[o.slot * ysize + y];
    }
    ref.cost.emplace_back();
    for (float sum : sums) ref.cost.back().push_back(static_cast<double>(sum) * model.cost_factor);
  }
  if (tokens.empty()) return ref;
  std::vector<std::vector<double>> best = {ref.cost[0]};
  std::vector<std::vector<std::size_t>> back(tokens.size(), std::vector<std::size_t>(ysize, 0));
  for (std::size_t i = 1; i < tokens.size(); ++i) {
    best.emplace_back(ysize, 0.0);
    for (std::size_t j = 0; j < ysize; ++j) {
      double top = -1e37;
      for (std::size_t k = 0; k < ysize; ++k) {
        double score = static_cast<double>(model.transitions[k * ysize + j]) + best[i - 1][k] +
                       ref.cost[i][j];
        if (score > top) {
          top = score;
          back[i][j] = k;
        }
      }
      best[i][j] = top;
    }
  }
  std::size_t label = 0;
  for (std::size_t j = 1; j < ysize; ++j) {
    if (best.back()[j] > best.back()[label]) label = j;
  }
  ref.best = best.back()[label];
  ref.labels.assign(tokens.size(), 0);
  for (std::size_t i = tokens.size(); i-- > 0;) {
    ref.labels[i] = label;
    label = back[i][label];
  }
  return ref;
}

void ExpectSameAsReference(TaggerImpl& tagger, const CrfModel& model, const TokenTable& tokens,
                           const char* mode) {
  tagger.clear();
  for (const auto& token : tokens) {
    std::string line;
    for (const std::string& column : token) line += column + "\t";
    ASSERT_TRUE(tagger.add(line.c_str())) << tagger.what();
  }
  ASSERT_TRUE(tagger.parse());
  Reference ref = ReferenceDecode(model, tokens);
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    for (std::size_t j = 0; j < model.ysize(); ++j) {
      ASSERT_EQ(ref.cost[i][j], tagger.emission_cost(i, j))
          << mode << " token " << i << " label " << j;
    }
    ASSERT_EQ(ref.labels[i], tagger.result(i)) << mode << " token " << i;
  }
  if (!tokens.empty()) {
    ASSERT_EQ(std::exp(ref.best), tagger.prob()) << mode;
  }
}

TEST(CrfTaggerTest, AgreesWithAPlainDecoderOnRandomModels) {
  std::mt19937 rng(11);
  for (int m = 0; m < 150; ++m) {
    CrfModel model = RandomModel(rng);
    SCOPED_TRACE("model " + std::to_string(m));
    Decoder incremental(model, true);
    Decoder walking(model, false);
    for (int s = 0; s < 20; ++s) {
      TokenTable tokens = RandomTokens(rng, model.xsize, s % 5 == 0 ? 40 : 10);
      ExpectSameAsReference(incremental.tagger(), model, tokens, "incremental");
      ExpectSameAsReference(walking.tagger(), model, tokens, "walking");
    }
  }
}

TEST(CrfTaggerTest, TemplatesThatCannotBeReadAreRefused) {
  const std::vector<std::string> templates = {"U00:%x[0,0]", "U01:%x[9,0]",  "U02:%x[-9,0]",
                                              "U03:%x[0,2]", "U04:%x[-8,1]", "U16:%x[0,0]",
                                              "U05:%x[0",    "Q:%x[0,0]"};
  ObservationExtractor extractor(templates, 2);
  EXPECT_EQ((std::vector<std::string>{"U01:%x[9,0]", "U02:%x[-9,0]", "U03:%x[0,2]",
                                      "U16:%x[0,0]", "U05:%x[0", "Q:%x[0,0]"}),
            extractor.dropped());
  EXPECT_EQ(2u, extractor.template_count());
}

}  // namespace
