// CRF model files: the writer's output reads back byte for byte, the text
// form converts both ways, and the loader refuses every damaged file with a
// message instead of reading out of bounds.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "common/CrfModel.h"
#include "common/CrfModelText.h"
#include "crf/DecoderFeatureIndex.h"
#include "crf/TaggerImpl.h"
#include "support/CrfModels.h"
#include "support/ScratchDir.h"

namespace {

using dict_test::ReadFile;
using dict_test::ScratchDir;
using dict_test::WriteFile;
using new_seg::CRFPP::DecoderFeatureIndex;
using new_seg::CRFPP::TaggerImpl;
using zorvseg_tools::CrfModel;

// A model using every part of the file: both tries, the bodyless block,
// bigram templates and transitions.
CrfModel SampleModel() {
  CrfModel model = crf_test::EmptyModel(
      {"O", "B-PER", "I-PER"}, 2,
      {"U00:%x[0,0]", "U05:%x[-1,0]/%x[0,0]", "U09:", "U10:%x[0,1]", "B"});
  model.cost_factor = 0.5;
  std::mt19937 rng(3);
  std::uniform_real_distribution<float> weight(-2, 2);
  for (const char* key : {"\xd5\xc5", "a", "ab", "_B-1/a"}) {
    for (float& w : model.WordBlock(key)) w = weight(rng);
  }
  for (float& w : model.WordBlock("")) w = weight(rng);
  for (const char* key : {"0", "12"}) {
    for (float& w : model.PosBlock(key)) w = weight(rng);
  }
  model.WordBlock("zero");  // kept although all its weights are 0
  for (float& w : model.transitions) w = weight(rng);
  return model;
}

std::string SavedBytes(const CrfModel& model) {
  ScratchDir dir;
  std::string error;
  EXPECT_TRUE(model.Save(dir.File("m.dat"), &error)) << error;
  return ReadFile(dir.File("m.dat"));
}

// An image loaded from a buffer of exactly its size, so that the sanitizers
// see any read past it. The index uses the buffer in place.
struct LoadedImage {
  explicit LoadedImage(const std::string& bytes) : buffer(new char[bytes.size()]) {
    std::memcpy(buffer.get(), bytes.data(), bytes.size());
    ok = index.openFromArray200(buffer.get(), bytes.size());
  }
  std::unique_ptr<char[]> buffer;
  DecoderFeatureIndex index;
  bool ok = false;
};

// The parts of an image as the writer lays them out.
struct Image {
  uint32_t version = 0;
  int32_t type = 0;
  double cost_factor = 0;
  uint32_t maxid = 0;
  uint32_t xsize = 0;
  std::string labels, templates, word, pos, weights, matrix;

  explicit Image(const std::string& bytes) {
    std::size_t at = 0;
    auto take = [&](void* out, std::size_t n) {
      std::memcpy(out, bytes.data() + at, n);
      at += n;
    };
    auto block = [&](std::size_t n) {
      at += n;
      return bytes.substr(at - n, n);
    };
    uint32_t word_bytes, pos_bytes, label_bytes, templ_bytes;
    take(&version, 4), take(&type, 4), take(&cost_factor, 8), take(&maxid, 4);
    take(&xsize, 4), take(&word_bytes, 4), take(&pos_bytes, 4);
    take(&label_bytes, 4);
    labels = block(label_bytes);
    take(&templ_bytes, 4);
    templates = block(templ_bytes);
    word = block(word_bytes);
    pos = block(pos_bytes);
    weights = block(4 * std::size_t{maxid});
    matrix = bytes.substr(at);
  }

  std::string Join() const {
    std::string out;
    auto put = [&](const void* p, std::size_t n) { out.append(static_cast<const char*>(p), n); };
    auto put32 = [&](uint32_t v) { put(&v, 4); };
    put32(version), put(&type, 4), put(&cost_factor, 8), put32(maxid), put32(xsize);
    put32(static_cast<uint32_t>(word.size())), put32(static_cast<uint32_t>(pos.size()));
    put32(static_cast<uint32_t>(labels.size()));
    out += labels;
    put32(static_cast<uint32_t>(templates.size()));
    out += templates + word + pos + weights + matrix;
    return out;
  }
};

void Patch32(std::string* bytes, std::size_t offset, uint32_t value) {
  std::memcpy(&(*bytes)[offset], &value, 4);
}

void PatchFloat(std::string* bytes, std::size_t offset, float value) {
  std::memcpy(&(*bytes)[offset], &value, 4);
}

TEST(CrfModelTest, SavedModelsReadBackByteForByte) {
  CrfModel model = SampleModel();
  std::string bytes = SavedBytes(model);
  ScratchDir dir;
  WriteFile(dir.File("m.dat"), bytes);
  CrfModel loaded;
  std::string error;
  ASSERT_TRUE(loaded.Load(dir.File("m.dat"), &error)) << error;
  EXPECT_EQ(model.word_observations, loaded.word_observations);
  EXPECT_EQ(model.pos_observations, loaded.pos_observations);
  EXPECT_EQ(model.transitions, loaded.transitions);
  EXPECT_EQ(bytes, SavedBytes(loaded));

  CrfModel from_text;
  ASSERT_TRUE(zorvseg_tools::ParseCrfModelText(zorvseg_tools::CrfModelText(model), "text",
                                               &from_text));
  EXPECT_EQ(bytes, SavedBytes(from_text));
}

TEST(CrfModelTest, WriterRefusesModelsTheFileCannotHold) {
  const std::vector<std::pair<const char*, std::function<void(CrfModel*)>>> cases = {
      {"1 to 65535 labels", [](CrfModel* m) { m->labels.clear(); }},
      {"empty label", [](CrfModel* m) { m->labels[1] = ""; }},
      {"xsize", [](CrfModel* m) { m->xsize = 11; }},
      {"does not start with 'U'", [](CrfModel* m) { m->unigram_templates.push_back("B0"); }},
      {"has 3 weights, not 30", [](CrfModel* m) { m->word_observations["x"].assign(3, 0); }},
      {"not a finite number",
       [](CrfModel* m) { m->WordBlock("a")[4] = std::numeric_limits<float>::quiet_NaN(); }},
      {"belongs to the word trie", [](CrfModel* m) { m->PosBlock(""); }},
      {"transition matrix", [](CrfModel* m) { m->transitions.pop_back(); }},
  };
  for (const auto& c : cases) {
    CrfModel model = SampleModel();
    c.second(&model);
    ScratchDir dir;
    std::string error;
    EXPECT_FALSE(model.Save(dir.File("m.dat"), &error)) << c.first;
    EXPECT_NE(std::string::npos, error.find(c.first)) << error;
    EXPECT_EQ("", ReadFile(dir.File("m.dat"))) << c.first;
  }
}

TEST(CrfModelTest, OpenReportsMissingFilesAndVersions) {
  ScratchDir dir;
  DecoderFeatureIndex missing;
  EXPECT_FALSE(missing.open(dir.File("none.dat").c_str()));
  EXPECT_NE(std::string::npos, std::string(missing.what()).find(
                                   "[mmap_.open(model_filename)] crf/Mmap.h("));
  EXPECT_NE(std::string::npos,
            std::string(missing.what()).find("] open failed: " + dir.File("none.dat")));

  WriteFile(dir.File("empty.dat"), "");
  DecoderFeatureIndex empty;
  EXPECT_FALSE(empty.open(dir.File("empty.dat").c_str()));
  EXPECT_NE(std::string::npos, std::string(empty.what()).find("model file is broken."));

  std::string bytes = SavedBytes(SampleModel());
  for (uint32_t version : {100u, 199u, 200u, 250u, 299u, 300u}) {
    Patch32(&bytes, 0, version);
    WriteFile(dir.File("v.dat"), bytes);
    DecoderFeatureIndex index;
    bool accepted = version / 100 == 2;
    EXPECT_EQ(accepted, index.open(dir.File("v.dat").c_str())) << version;
    if (!accepted) {
      EXPECT_NE(std::string::npos,
                std::string(index.what())
                    .find("] model version is different: " + std::to_string(version) + " vs 200"))
          << index.what();
    }
  }
}

TEST(CrfModelTest, DamagedFilesAreRefusedAsBroken) {
  const std::string good = SavedBytes(SampleModel());
  const Image image(good);
  const std::size_t label_end = 36 + image.labels.size();
  typedef std::function<void(Image*)> PartDamage;
  typedef std::function<void(std::string*)> ByteDamage;
  struct Case {
    const char* condition;  // the check that must catch it
    PartDamage parts;       // applied to the parts, which are then joined
    ByteDamage bytes;       // then applied to the joined bytes
  };
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const Case cases[] = {
      {"reader.at_end()", nullptr, [](std::string* b) { b->push_back('\0'); }},
      {"reader->Take(cells", nullptr, [](std::string* b) { b->pop_back(); }},
      {"label_bytes > 0", [](Image* i) { i->labels.clear(); }, nullptr},
      {"block[label_bytes - 1]", [](Image* i) { i->labels.back() = 'X'; }, nullptr},
      {"kMaxLabels",
       [](Image* i) {
         i->labels.clear();
         for (int n = 0; n < 65536; ++n) i->labels += std::string("a\0", 2);
       },
       nullptr},
      {"block[templ_bytes - 1]", [](Image* i) { i->templates.back() = 'X'; }, nullptr},
      {"% 4 == 0", [](Image* i) { i->templates.push_back('\0'); }, nullptr},
      {"isfinite(cost_factor_)", [nan](Image* i) { i->cost_factor = nan; }, nullptr},
      {"is_verified()", [](Image* i) { Patch32(&i->word, 0, 0x1FFFFFu << 10); }, nullptr},
      {"ValuesInside",  // the last block reaches past the weights
       [](Image* i) {
         i->maxid -= 1;
         i->weights.resize(i->weights.size() - 4);
       },
       nullptr},
      {"AllFinite(alpha_float_", [nan](Image* i) { PatchFloat(&i->weights, 8, nan); }, nullptr},
      {"AllFinite(ycost_",
       [](Image* i) { PatchFloat(&i->matrix, 4, std::numeric_limits<float>::infinity()); },
       nullptr},
      // Counts larger than the file.
      {"reader->Take(label_bytes", nullptr, [](std::string* b) { Patch32(b, 32, 0xFFFFFFF0u); }},
      {"reader->Take(templ_bytes", nullptr,
       [label_end](std::string* b) { Patch32(b, label_end, 0xFFFFFFFCu); }},
      {"reader->Take(bytes", nullptr, [](std::string* b) { Patch32(b, 24, 0xFFFFFFFCu); }},
      {"bytes % 4 == 0", nullptr, [](std::string* b) { Patch32(b, 28, 1026); }},
      {"reader->Take(uint64_t{maxid_}", nullptr,
       [](std::string* b) { Patch32(b, 16, 0xFFFFFFFFu); }},
  };
  ASSERT_EQ(good, image.Join());
  for (const Case& c : cases) {
    Image damaged = image;
    if (c.parts) c.parts(&damaged);
    std::string bytes = damaged.Join();
    if (c.bytes) c.bytes(&bytes);
    LoadedImage loaded(bytes);
    EXPECT_FALSE(loaded.ok) << c.condition;
    std::string what = loaded.index.what();
    EXPECT_NE(std::string::npos, what.find(c.condition)) << what;
    EXPECT_NE(std::string::npos, what.find("] model file is broken.")) << what;
  }
}

TEST(CrfModelTest, PaddingAndForeignTemplatesAreSkipped) {
  Image image(SavedBytes(SampleModel()));
  image.templates += std::string("Q0\0\0\0\0\0\0", 8);  // keeps the alignment
  LoadedImage loaded(image.Join());
  DecoderFeatureIndex& index = loaded.index;
  ASSERT_TRUE(loaded.ok) << index.what();
  EXPECT_EQ(SampleModel().unigram_templates, index.unigram_templs());
  EXPECT_EQ((std::vector<std::string>{"B"}), index.bigram_templs());
  EXPECT_EQ(3u, index.ysize());
  EXPECT_STREQ("I-PER", index.y(2));
}

TEST(CrfModelTest, EveryTruncationIsRefused) {
  const std::string good = SavedBytes(SampleModel());
  for (std::size_t size = 0; size < good.size(); ++size) {
    LoadedImage loaded(good.substr(0, size));
    ASSERT_FALSE(loaded.ok) << size;
    ASSERT_NE(std::string::npos, std::string(loaded.index.what()).find("model file is broken."))
        << size;
  }
}

// Random damage: a file either fails to load with a message or loads and
// decodes; the sanitizers watch for anything else.
TEST(CrfModelTest, RandomlyDamagedFilesNeverReadOutOfBounds) {
  const std::string good = SavedBytes(SampleModel());
  std::mt19937 rng(5);
  int loaded = 0;
  for (int round = 0; round < 3000; ++round) {
    std::string bytes = good;
    for (int n = 1 + rng() % 4; n > 0; --n) {
      bytes[rng() % bytes.size()] = static_cast<char>(rng() % 4 == 0 ? 0 : rng());
    }
    LoadedImage image(bytes);
    if (!image.ok) {
      ASSERT_STRNE("", image.index.what());
      continue;
    }
    ++loaded;
    TaggerImpl tagger;
    if (!tagger.open(&image.index, 0, 0)) continue;
    for (const char* line : {"\xd5\xc5\t0", "a\t12", "ab\t0", "zz\t3"}) tagger.add(line);
    ASSERT_TRUE(tagger.parse());
  }
  EXPECT_GT(loaded, 0);  // damage to weights and unused units still loads
}

class CrfModelToolTest : public ::testing::Test {
 protected:
  int Build(const std::string& args) {
    std::string command = std::string(ZORVSEG_BIN_DIR) + "/zorvseg-build " + args + " >" +
                          dir_.File("out.txt") + " 2>" + dir_.File("err.txt");
    int raw = std::system(command.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  }
  std::string Errors() { return ReadFile(dir_.File("err.txt")); }

  ScratchDir dir_;
};

TEST_F(CrfModelToolTest, CompilesTheTextFormAndWritesItBack) {
  // UTF-8 source; zhang (a surname) is stored as GBK.
  const std::string source =
      "# a person tagger\nxsize\t1\nlabel\tO\nlabel\tB-PER\ntemplate\tU00:%x[0,0]\n"
      "word\t\xe5\xbc\xa0\t0:0 1.5\ntransition\tB-PER\t0 -1\n";
  WriteFile(dir_.File("m.txt"), source);
  ASSERT_EQ(0, Build("crf-model " + dir_.File("m.txt") + " " + dir_.File("m.dat"))) << Errors();
  DecoderFeatureIndex index;
  ASSERT_TRUE(index.open(dir_.File("m.dat").c_str())) << index.what();
  EXPECT_NE(-1, index.getID("\xd5\xc5", true));

  ASSERT_EQ(0, Build("crf-text " + dir_.File("m.dat") + " " + dir_.File("back.txt")));
  EXPECT_NE(std::string::npos, ReadFile(dir_.File("back.txt")).find("word\t\xe5\xbc\xa0\t0:0 1.5\n"));
}

TEST_F(CrfModelToolTest, SourceErrorsNameTheLine) {
  const std::pair<const char*, const char*> cases[] = {
      {"label\tO\nword\ta\t0:1 2\n", ":2: expected 1 weights, found 2"},
      {"label\tO\nword\ta\t10:1\n", ":2: '10:1' is not SLOT:WEIGHTS with a slot below 10"},
      {"label\tO\npos\ta\t6:1\n", ":2: '6:1' is not SLOT:WEIGHTS with a slot below 6"},
      {"word\ta\t0:1\n", ":1: labels must come before"},
      {"label\tO\nword\ta\t0:1\nlabel\tB\n", ":3: labels must come before"},
      {"label\tO\nlabel\tO\n", ":2: label 'O' is listed twice"},
      {"label\tO\ntransition\tX\t1\n", ":2: unknown label 'X'"},
      {"label\tO\nword\ta\t0:x\n", ":2: 'x' is not a finite number"},
      {"label\tO\ntemplate\tZ00\n", ":2: a template starts with 'U' or 'B'"},
      {"xsize\t0\n", ":1: xsize takes a column count of 1 to 10"},
      {"label\tO\nfrob\n", ":2: unknown directive 'frob'"},
      {"xsize\t1\n", "labels"},
  };
  for (const auto& c : cases) {
    WriteFile(dir_.File("bad.txt"), c.first);
    EXPECT_EQ(1, Build("crf-model " + dir_.File("bad.txt") + " " + dir_.File("bad.dat")))
        << c.first;
    EXPECT_NE(std::string::npos, Errors().find(c.second)) << Errors();
    EXPECT_EQ("", ReadFile(dir_.File("bad.dat")));
  }
}

}  // namespace
