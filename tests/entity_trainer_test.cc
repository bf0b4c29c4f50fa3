// The entity trainer: which corpus spans are entities, which of them the
// dictionary keeps and with what score, the name-character codes, and the
// CRF's training sequences cut and labelled as the recogniser reads them.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "common/EntityTrainer.h"
#include "common/TrainingCorpus.h"
#include "ner/NEDict.h"
#include "support/TestUtil.h"

using testutil::GbkToUtf8;
using testutil::TempDir;
using testutil::Utf8ToGbk;
using zorvseg_tools::CorpusEntities;
using zorvseg_tools::CorpusEntity;
using zorvseg_tools::CorpusSentence;
using zorvseg_tools::EntityTrainer;
using zorvseg_tools::EntityType;
using zorvseg_tools::PlaceAbbreviations;
using zorvseg_tools::TrainingCorpus;

namespace {

// Corpus lines get a paragraph id of 1 January 1998.
std::vector<CorpusSentence> Parse(const std::vector<std::string>& lines) {
  TempDir dir;
  std::string text;
  for (const std::string& line : lines) text += "19980101-01-001-001/m  " + line + "\n";
  TrainingCorpus corpus;
  EXPECT_TRUE(corpus.Read(dir.Write("corpus.txt", text), zorvseg_tools::CorpusOptions()));
  return corpus.sentences();
}

const std::set<std::string> kCompoundSurnames = {"欧阳"};

// "text/TYPE" of each entity, in order.
std::vector<std::string> Entities(const std::string& line,
                                  const std::set<std::string>& abbreviations = {}) {
  CorpusSentence sentence = Parse({line}).at(0);
  std::vector<std::string> out;
  const char* names[] = {"PER", "LOC", "ORG"};
  for (const CorpusEntity& entity : CorpusEntities(sentence, kCompoundSurnames, abbreviations)) {
    std::string text;
    for (size_t i = entity.first; i < entity.first + entity.count; ++i) {
      text += sentence.tokens[i].word;
    }
    out.push_back(text + "/" + names[static_cast<int>(entity.type)]);
  }
  return out;
}

TEST(CorpusEntitiesTest, TagsAndCompoundsGiveTheEntities) {
  const struct {
    const char* line;
    std::vector<std::string> entities;
  } kCases[] = {
      // a one-character surname joins the given name after it
      {"江/nr  泽民/nr  发表/v", {"江泽民/PER"}},
      {"欧阳/nr  明/nr  到/v", {"欧阳明/PER"}},
      // a two-character token that is no compound surname stands alone
      {"泽民/nr  江/nr  好/a", {"泽民/PER", "江/PER"}},
      // a name written as one token, and a surname with nothing after it
      {"克林顿/nr  和/c  王/nr", {"克林顿/PER", "王/PER"}},
      // a compound is one entity whatever its parts; its parts are none
      {"[中国/ns  银行/n]nt  在/p  [中山/nr  公园/n]ns", {"中国银行/ORG", "中山公园/LOC"}},
      // a compound with another tag leaves its parts their own tags
      {"[北京/ns  大学/n]n  和/c  上海/ns", {"北京/LOC", "上海/LOC"}},
      {"新华社/nt  报道/v", {"新华社/ORG"}},
      // a place's government is the place and a common noun, bracketed or not
      {"[中国/ns  政府/n]nt  和/c  [北京市/ns  人民政府/n]nt", {"中国/LOC", "北京市/LOC"}},
      {"[市/n  政府/n]nt  与/p  [政府/n  办公厅/n]nt", {"政府办公厅/ORG"}},
      {"我们/r  走/v", {}},
  };
  for (const auto& c : kCases) EXPECT_EQ(Entities(c.line), c.entities) << c.line;
}

TEST(CorpusEntitiesTest, OneCharacterPlaceAbbreviationsArePlaces) {
  const std::set<std::string> kAbbreviations = {"中", "美", "京"};
  const struct {
    const char* line;
    std::vector<std::string> entities;
  } kCases[] = {
      {"中/j  美/j  关系/n", {"中/LOC", "美/LOC"}},
      {"在/p  京/j  召开/v", {"京/LOC"}},
      // only abbreviation tokens: 中 as a locality word is none
      {"会/n  中/f  ，/w  美/a  ", {}},
      // an abbreviation that is not listed, or longer than a character
      {"沪/j  中美/j  政协/j", {}},
      // inside an entity compound it is part of that entity
      {"[中/j  美/j  商会/n]nt", {"中美商会/ORG"}},
  };
  for (const auto& c : kCases) EXPECT_EQ(Entities(c.line, kAbbreviations), c.entities) << c.line;
  EXPECT_EQ(Entities("中/j  美/j  关系/n"), std::vector<std::string>{});
}

TEST(PlaceAbbreviationsTest, CharactersOfFrequentPlacesOnly) {
  std::vector<std::string> lines = {
      "中国/ns  北京/ns  [美利坚/ns  合众国/n]ns  工会/n",
      "中/j  美/j  在/p  京/j  工/j  沪/j  国/n",
  };
  std::vector<CorpusSentence> sentences;
  for (int i = 0; i < 2; ++i) {
    for (const CorpusSentence& sentence : Parse(lines)) sentences.push_back(sentence);
  }
  // Each place is written twice: 工 and 沪 are in none, 国 is no j token.
  EXPECT_EQ(PlaceAbbreviations(sentences, kCompoundSurnames, 2),
            (std::set<std::string>{"中", "京", "美"}));
  EXPECT_TRUE(PlaceAbbreviations(sentences, kCompoundSurnames, 3).empty());
}

class EntityTrainerTest : public ::testing::Test {
 protected:
  EntityTrainer NewTrainer() { return EntityTrainer(Utf8ToGbk, kCompoundSurnames); }

  // The dictionary source as UTF-8 lines.
  std::set<std::string> SourceLines(EntityTrainer& trainer) {
    std::istringstream in(GbkToUtf8(trainer.DictionarySource()));
    std::set<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.insert(line);
    return lines;
  }
};

TEST_F(EntityTrainerTest, KeepsPlacesAndWhatIsMostlyAPersonOrOrganisation) {
  EntityTrainer trainer = NewTrainer();
  trainer.Count(Parse({
      "江/nr  泽民/nr  在/p  上海/ns", "江/nr  泽民/nr  到/v  上海/ns",
      "上海/nr  人/n",                           // once a person: the place keeps 2 of 3
      "李/nr  鹏/nr",                            // a person seen once
      "新华社/nt  报道/v", "新华社/nt  说/v", "新华社/n  好/a  新华社/n",  // 2 of 4
      "人民/nt  好/a  人民/n",                     // 1 of 2
      "国务院/nt  说/v  国务院/n  国务院/n",       // 1 of 3
      "[中国/ns  银行/n]nt  和/c  [中国/ns  银行/n]nt",
  }));
  trainer.AddHolidays({"# comment", "春节"});
  std::set<std::string> lines = SourceLines(trainer);
  EXPECT_TRUE(lines.count("江泽民\t1"));
  EXPECT_TRUE(lines.count("上海\t8192\t0\t0.666667"));
  EXPECT_TRUE(lines.count("新华社\t2097152\t0.500000"));
  EXPECT_TRUE(lines.count("中国银行\t2097152\t1.000000"));
  EXPECT_TRUE(lines.count("李鹏\t1"));
  EXPECT_TRUE(lines.count("人民\t2097152\t0.500000"));
  EXPECT_TRUE(lines.count("春节\t131072\t0.9"));
  for (const std::string& line : lines) {
    EXPECT_NE(line.rfind("国务院\t", 0), 0u) << "an organisation once in three: " << line;
    EXPECT_NE(line.rfind("上海\t1", 0), 0u) << "a person once in three: " << line;
    EXPECT_NE(line.rfind("#", 0), 0u) << line;
  }
  const auto& stats = trainer.stats();
  EXPECT_EQ(stats.persons, 4u);
  EXPECT_EQ(stats.locations, 2u);  // 上海 twice; 中国 inside 中国银行 is no place
  EXPECT_EQ(stats.organizations, 6u);
  EXPECT_EQ(stats.holidays, 1u);
}

TEST_F(EntityTrainerTest, NameCharactersGetTheCodesOfTheirRoles) {
  EntityTrainer trainer = NewTrainer();
  std::vector<std::string> lines;
  for (int i = 0; i < 3; ++i) {
    lines.push_back("王/nr  明/nr  和/c  明/nr  王/nr  在/p  [杭州/ns  市/n]ns");
    lines.push_back("[北京/ns  大学/n]nt  和/c  克林顿/nr");
  }
  trainer.Count(Parse(lines));
  std::set<std::string> source = SourceLines(trainer);
  EXPECT_TRUE(source.count("王\t2\t3"));   // surname and given name
  EXPECT_TRUE(source.count("明\t2\t3"));
  EXPECT_TRUE(source.count("市\t2\t8"));   // place suffix
  EXPECT_TRUE(source.count("学\t2\t16"));  // organisation suffix
  EXPECT_TRUE(source.count("林\t2\t4"));   // transliteration
  for (const std::string& line : source) EXPECT_NE(line.rfind("杭\t2", 0), 0u) << line;
}

TEST_F(EntityTrainerTest, UnusableEntitiesAreCountedAndLeftOut) {
  EntityTrainer trainer = NewTrainer();
  trainer.Count(Parse({"，/nr  好/a  ，/nr", "《/ns  》/ns  走/v", "𠀀𠀀/nr  𠀀𠀀/nr  走/v"}));
  EXPECT_EQ(trainer.stats().punctuation_entities, 4u);
  std::string source = trainer.DictionarySource();
  EXPECT_EQ(trainer.stats().four_byte_entries, 1u);
  EXPECT_EQ(trainer.stats().person_entries, 0u);
  EXPECT_EQ(source.find("\t1\n"), std::string::npos);
}

TEST_F(EntityTrainerTest, SequencesArePiecesLabelledWithTheDictionaryCodes) {
  TempDir dir;
  EntityTrainer trainer = NewTrainer();
  std::vector<CorpusSentence> sentences =
      Parse({"江/nr  泽民/nr  在/p  [中国/ns  银行/n]nt  。/w  上海/ns  12/m"});
  for (int i = 0; i < 3; ++i) trainer.Count(sentences);
  std::istringstream source(trainer.DictionarySource());
  ASSERT_TRUE(new_seg::NEDict::BuildFromStream(source, "trained"));
  std::string columns = GbkToUtf8(trainer.CrfColumns(sentences));
  new_seg::NEDict::UnInit();
  // 江 is a surname (1), 泽 and 民 given-name characters (2), 行 ends an
  // organisation (16) and 海 a place (8); offsets are bytes of the GBK
  // sentence; a full stop ends a piece; a number is one token.
  EXPECT_EQ(columns,
            "江\t1\t0\tB-PER\n泽\t2\t2\tI-PER\n民\t2\t4\tE-PER\n在\t0\t6\tO\n"
            "中\t0\t8\tB-ORG\n国\t0\t10\tI-ORG\n银\t0\t12\tI-ORG\n行\t16\t14\tE-ORG\n"
            "。\t0\t16\tO\n\n"
            "上\t0\t18\tB-LOC\n海\t8\t20\tE-LOC\n12\t0\t22\tO\n\n");
  EXPECT_EQ(trainer.stats().sequences, 2u);
  EXPECT_EQ(trainer.stats().tokens, 12u);
}

TEST_F(EntityTrainerTest, PlaceAbbreviationsAreLabelledButNoEntries) {
  EntityTrainer trainer = NewTrainer();
  std::vector<std::string> lines(10, "中国/ns  好/a");
  lines.push_back("中/j  日/j  会谈/vn");
  std::vector<CorpusSentence> sentences = Parse(lines);
  trainer.Count(sentences);
  EXPECT_EQ(trainer.place_abbreviations(), std::set<std::string>{"中"});
  EXPECT_EQ(trainer.stats().abbreviations, 1u);
  EXPECT_EQ(GbkToUtf8(trainer.DictionarySource()).find("中\t"), std::string::npos);
  std::string columns = GbkToUtf8(trainer.CrfColumns({sentences.back()}));
  EXPECT_EQ(columns, "中\t0\t0\tB-LOC\n日\t0\t2\tO\n会\t0\t4\tO\n谈\t0\t6\tO\n\n");
}

TEST_F(EntityTrainerTest, OverlongPiecesAreLeftOutOfTheSequences) {
  EntityTrainer trainer = NewTrainer();
  std::string long_line;
  for (int i = 0; i < 600; ++i) long_line += "好/a  ";
  std::string columns = trainer.CrfColumns(Parse({long_line + "。/w  王/nr"}));
  EXPECT_EQ(trainer.stats().long_pieces, 1u);
  EXPECT_EQ(GbkToUtf8(columns), "王\t0\t1202\tB-PER\n\n");
}

}  // namespace
