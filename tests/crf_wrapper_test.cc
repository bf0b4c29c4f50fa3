// The CRF glue: label sequences to entity spans, a wrapper without a model,
// a wrapper whose model is replaced, and how a sentence is cut into the
// pieces the CRF labels.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/CrfModel.h"
#include "lattice/OmniSegNet.h"
#include "lattice/OmniSegSingleWord.h"
#include "ner/CrfWrapper.h"
#include "ner/NameEntityRecognition.h"
#include "support/TestUtil.h"

namespace {

using new_seg::CrfWrapper;
using new_seg::_name_entity_result;

const std::vector<std::string> kLabels = {"O",     "B-PER", "I-PER", "E-PER", "B-LOC",
                                          "E-LOC", "I-ORG", "B-TIME", "E-TIME", "I-LOC", "PE"};

// A model that gives each token the label its text names.
void WriteEchoModel(const std::string& path) {
  zorvseg_tools::CrfModel model;
  model.xsize = 1;
  model.labels = kLabels;
  model.unigram_templates = {"U00:%x[0,0]"};
  model.transitions.assign(kLabels.size() * kLabels.size(), 0.0f);
  for (std::size_t y = 0; y < kLabels.size(); ++y) model.WordBlock(kLabels[y])[y] = 10.0f;
  std::string error;
  ASSERT_TRUE(model.Save(path, &error)) << error;
}

class CrfWrapperTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteEchoModel(dir_.File("echo.dat"));
    ASSERT_TRUE(CrfWrapper::Init(dir_.File("echo.dat").c_str()));
  }
  void TearDown() override { CrfWrapper::UnInit(); }

  // The spans of the labels given to two-byte tokens, "start+len/TYPE".
  std::string Spans(CrfWrapper* wrapper, const std::vector<std::string>& labels) {
    wrapper->Clear();
    std::vector<uint32_t> offsets(1, 0);
    for (const std::string& label : labels) {
      EXPECT_TRUE(wrapper->Add(label.c_str(), label.size()));
      offsets.push_back(offsets.back() + 2);
    }
    EXPECT_TRUE(wrapper->Parse());
    _name_entity_result results[8];
    std::size_t count = 0;
    wrapper->GenCrfResult(results, count, 8, offsets.data());
    std::string out;
    for (std::size_t i = 0; i < count; ++i) {
      const char* type = results[i].mold == 100000010u   ? "PER"
                         : results[i].mold == 100000012u ? "LOC"
                                                          : "ORG";
      out += (i ? " " : "") + std::to_string(results[i].start_pos) + "+" +
             std::to_string(results[i].len) + "/" + type;
    }
    return out;
  }

  testutil::TempDir dir_;
};

TEST_F(CrfWrapperTest, LabelRunsBecomeSpans) {
  const struct {
    std::vector<std::string> labels;
    const char* spans;
  } kCases[] = {
      {{"B-PER", "I-PER", "E-PER", "O"}, "0+6/PER"},
      {{"B-LOC", "E-LOC", "E-LOC"}, "0+4/LOC 4+2/LOC"},
      {{"I-ORG", "I-ORG"}, "0+4/ORG"},
      {{"B-PER", "B-PER"}, "0+2/PER 2+2/PER"},
      {{"B-TIME", "E-TIME"}, ""},
      {{"B-PER", "I-LOC"}, "0+2/PER 2+2/LOC"},
      {{"O", "B-PER", "I-PER"}, "2+4/PER"},  // a run reaching the end
      {{"PE", "E-PER"}, "2+2/PER"},          // short label: outside, type PER
  };
  CrfWrapper wrapper;
  for (const auto& c : kCases) {
    std::string joined;
    for (const std::string& label : c.labels) joined += label + " ";
    EXPECT_EQ(c.spans, Spans(&wrapper, c.labels)) << joined;
  }
}

TEST_F(CrfWrapperTest, ResultsStopAtTheCapacity) {
  CrfWrapper wrapper;
  for (const char* label : {"B-PER", "B-PER", "B-PER"}) ASSERT_TRUE(wrapper.Add(label, 5));
  ASSERT_TRUE(wrapper.Parse());
  const uint32_t offsets[] = {0, 2, 4, 6};
  _name_entity_result results[2];
  std::size_t count = 0;
  wrapper.GenCrfResult(results, count, 2, offsets);
  EXPECT_EQ(2u, count);
}

TEST_F(CrfWrapperTest, WithoutAModelNothingIsAddedAndANewModelIsPickedUp) {
  CrfWrapper wrapper;
  ASSERT_TRUE(wrapper.Add("B-PER", 5));
  CrfWrapper::UnInit();
  // The tagger's model is gone: the wrapper fails instead of reading it.
  EXPECT_FALSE(wrapper.Add("B-PER", 5));
  EXPECT_FALSE(wrapper.Parse());
  CrfWrapper without_model;
  EXPECT_FALSE(without_model.Add("B-PER", 5));
  ASSERT_TRUE(CrfWrapper::Init(dir_.File("echo.dat").c_str()));
  EXPECT_EQ("0+4/LOC", Spans(&wrapper, {"B-LOC", "E-LOC"}));
  EXPECT_EQ("0+2/PER", Spans(&without_model, {"B-PER"}));
}

TEST_F(CrfWrapperTest, TypeNamesAreExact) {
  EXPECT_EQ(100000010, CrfWrapper::tag2int("PERSON"));
  EXPECT_EQ(100000010, CrfWrapper::tag2int("per"));
  EXPECT_EQ(100000013, CrfWrapper::tag2int("ORGANIZATION"));
  EXPECT_EQ(100000012, CrfWrapper::tag2int("loc"));
  EXPECT_EQ(-1, CrfWrapper::tag2int("Per"));
  EXPECT_EQ(-1, CrfWrapper::tag2int("TIME"));
}

TEST(SentencePieces, PunctuationEndsAPieceAndLeadingPunctuationIsSkipped) {
  const struct {
    const char* text;
    const char* pieces;
  } kCases[] = {
      {"一！！二", "一！|二"},
      {"一，二。", "一，二。|"},  // a comma does not end a piece; the last is empty
      {"！一", "一"},
      {"a?b\tc", "a?|b\t|c"},
      {"𠀀！𠀀", "𠀀！|𠀀"},
  };
  new_seg::OmniSegNet net(1024);
  ASSERT_TRUE(net.Init());
  new_seg::NameEntityRecognition ner;
  for (const auto& c : kCases) {
    std::string text = testutil::Utf8ToGbk(c.text);
    net.Clear();
    new_seg::OmniSegSingleWord single(&net);
    ASSERT_TRUE(single.Segment(text.data(), text.size()));
    ASSERT_TRUE(ner.NameEntityRecognite(text.data(), text.size(), new_seg::SegMode(0), &net));
    std::string pieces;
    for (std::size_t i = 0; i < ner.piece_count(); ++i) {
      pieces += (i ? "|" : "") + testutil::GbkToUtf8(text.substr(
                                     ner.piece_begin(i), ner.piece_end(i) - ner.piece_begin(i)));
    }
    EXPECT_EQ(c.pieces, pieces) << c.text;
  }
}

}  // namespace
