// Trains the entity resources from an annotated corpus: the entity
// dictionary (persons, places, organisations, name characters, holidays)
// and the CRF's training sequences.
//
// Entities of the People's Daily annotation, by these rules:
//  - a bracketed compound tagged nr, ns or nt is one person, place or
//    organisation, whatever its parts, except an nt compound whose last
//    word ends in 政府 (a place's government): its parts keep their tags;
//  - outside such compounds, an nr token is a person, joined with the nr
//    token right after it when it is a surname: one character, or two
//    that are a compound surname (江/nr 泽民/nr is 江泽民); an ns token is
//    a place and an nt token an organisation;
//  - a one-character abbreviation token (j) is a place when its character
//    is one of the corpus's place abbreviations (see PlaceAbbreviations):
//    中 and 美 in 中/j 美/j 关系, 京 in 在/j 京/j.
// An entity whose text is empty after normalisation, or made only of
// punctuation, is skipped and counted.
#ifndef ZORVSEG_TOOLS_COMMON_ENTITYTRAINER_H_
#define ZORVSEG_TOOLS_COMMON_ENTITYTRAINER_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "common/TrainingCorpus.h"

namespace zorvseg_tools {

enum class EntityType { kPerson, kLocation, kOrganization };

// Tokens [first, first + count) of a sentence.
struct CorpusEntity {
  size_t first = 0;
  size_t count = 0;
  EntityType type = EntityType::kPerson;
  bool abbreviation = false;  // a one-character place abbreviation
};

// The entities of a sentence by the rules above; compound_surnames and
// place_abbreviations hold UTF-8 text.
std::vector<CorpusEntity> CorpusEntities(const CorpusSentence& sentence,
                                         const std::set<std::string>& compound_surnames,
                                         const std::set<std::string>& place_abbreviations = {});

// The characters the corpus writes as one-character abbreviations (j
// tokens) that stand for places: those found in a place name written at
// least min_place_count times (中 in 中国, 京 in 北京). A character that is
// in no frequent place name is left out (工, 警: abbreviations of other
// things), and so are the few places abbreviated by an unrelated character.
std::set<std::string> PlaceAbbreviations(const std::vector<CorpusSentence>& sentences,
                                         const std::set<std::string>& compound_surnames,
                                         size_t min_place_count);

struct EntityTrainerStats {
  size_t persons = 0, locations = 0, organizations = 0;  // entity occurrences
  size_t punctuation_entities = 0;  // skipped: only punctuation
  size_t empty_entities = 0;        // skipped: empty after normalisation
  size_t four_byte_entries = 0;     // kept out of the dictionary: outside GBK
  size_t person_entries = 0, location_entries = 0, organization_entries = 0;
  size_t name_characters = 0, holidays = 0;
  size_t sequences = 0, tokens = 0;
  size_t long_pieces = 0;  // pieces over a sentence's length, not written
  size_t abbreviations = 0;  // place abbreviations: CRF labels, no entries
};

// Bits of the name-character code (the CRF's second column).
const uint32_t kCodeSurname = 1;
const uint32_t kCodeGivenName = 2;
const uint32_t kCodeTransliteration = 4;
const uint32_t kCodePlaceSuffix = 8;
const uint32_t kCodeOrganizationSuffix = 16;

class EntityTrainer {
 public:
  // normalise turns a corpus word (UTF-8) into the library's view of it
  // (GB18030, normalised as the segmenter normalises its input).
  EntityTrainer(std::function<std::string(const std::string&)> normalise,
                std::set<std::string> compound_surnames);

  // Counts entities and characters; finds the place abbreviations first.
  void Count(const std::vector<CorpusSentence>& sentences);
  // UTF-8, found by Count.
  const std::set<std::string>& place_abbreviations() const { return place_abbreviations_; }
  // Holidays and festivals (UTF-8, one a line, '#' comments), taken as
  // dates with a sure score.
  void AddHolidays(const std::vector<std::string>& holidays);

  // The entity dictionary's source text (GB18030): the entries that are
  // entities often enough and mostly (see EntityTrainer.cc), name
  // characters with their codes, holidays.
  std::string DictionarySource();

  // The CRF's training sequences, one per sentence piece as the recogniser
  // cuts it: the recogniser's feature line per token with the gold label
  // (B-, I-, E- with PER, LOC, ORG, or O) in place of its answer column, a
  // blank line after each piece. Name-character codes come from the
  // loaded entity dictionary, so build and load it first.
  std::string CrfColumns(const std::vector<CorpusSentence>& sentences);

  const EntityTrainerStats& stats() const { return stats_; }

 private:
  struct Counts {
    size_t total = 0;  // occurrences of the text as one token or compound
    size_t as_entity[3] = {0, 0, 0};
  };
  struct CharacterRoles {
    size_t total = 0;
    size_t roles[5] = {0, 0, 0, 0, 0};  // in the order of the code bits
  };

  // The normalised text of the tokens [first, first + count).
  std::string Text(const std::vector<std::string>& words, size_t first, size_t count) const;
  std::vector<std::string> NormalisedWords(const CorpusSentence& sentence);
  bool Usable(const std::string& text);
  void CountRoles(const CorpusSentence& sentence, const std::vector<std::string>& words,
                  const CorpusEntity& entity);
  void AppendEntries(std::string* source);
  void AppendNameCharacters(std::string* source);
  void AppendSequence(const std::string& text, const std::vector<std::pair<size_t, size_t>>& spans,
                      const std::vector<EntityType>& types, std::string* out);

  std::function<std::string(const std::string&)> normalise_;
  std::set<std::string> compound_surnames_;
  std::set<std::string> place_abbreviations_;
  std::map<std::string, Counts> texts_;
  std::map<std::string, CharacterRoles> characters_;
  std::vector<std::string> holidays_;
  EntityTrainerStats stats_;
};

}  // namespace zorvseg_tools

#endif  // ZORVSEG_TOOLS_COMMON_ENTITYTRAINER_H_
