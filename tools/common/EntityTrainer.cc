#include "common/EntityTrainer.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <utility>

#include "common/GbkText.h"
#include "ner/NameEntityRecognition.h"
#include "text/Gb18030.h"

namespace zorvseg_tools {

namespace {

// A dictionary entry must have been an entity this many times, and (for
// persons and organisations) in at least this share of its occurrences:
// the dictionary wins over the CRF where both find something, so its
// entries must be sure. A place keeps its share as its score, which the
// recogniser requires to be above 0.5. Entities seen once are worth
// keeping: with them entity F1 rose on held-out days and on other text.
const size_t kMinEntityCount = 1;
const double kMinShare = 0.5;
// A character gets a role's code bit when it plays the role this often and
// in at least this share of its occurrences.
const size_t kMinRoleCount = 3;
const double kMinRoleShare = 0.05;
const char kHolidayScore[] = "0.9";
// Places written this often lend their characters to abbreviations.
const size_t kMinAbbreviatedPlaceCount = 10;
// The recogniser never sees a longer piece: sentences are at most this long.
const size_t kLongestPiece = 1020;

const char* const kTypeNames[] = {"PER", "LOC", "ORG"};

bool EntityTag(const std::string& tag, EntityType* type) {
  if (tag == "nr") {
    *type = EntityType::kPerson;
  } else if (tag == "ns") {
    *type = EntityType::kLocation;
  } else if (tag == "nt") {
    *type = EntityType::kOrganization;
  } else {
    return false;
  }
  return true;
}

size_t Utf8Characters(const std::string& utf8) {
  size_t count = 0;
  for (unsigned char c : utf8) count += (c & 0xC0) != 0x80;
  return count;
}

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The corpus brackets "the government of a place" ([中国/ns 政府/n]nt)
// about as often as it leaves it apart (中国/ns 政府/n). Such a compound is
// read the second way, so that the model meets one convention: the place is
// the entity, the government a common noun.
bool IsGovernmentCompound(const CorpusSentence& sentence, const CorpusCompound& compound) {
  return compound.tag == "nt" && compound.count > 1 &&
         EndsWith(sentence.tokens[compound.first + compound.count - 1].word, "政府");
}

// The type of a compound that is itself one entity.
bool EntityCompound(const CorpusSentence& sentence, const CorpusCompound& compound,
                    EntityType* type) {
  return compound.count > 0 && EntityTag(compound.tag, type) &&
         !IsGovernmentCompound(sentence, compound);
}

// A token inside a compound that is itself an entity belongs to it.
bool InEntityCompound(const CorpusSentence& sentence, const CorpusToken& token) {
  EntityType ignored;
  return token.compound >= 0 &&
         EntityCompound(sentence, sentence.compounds[token.compound], &ignored);
}

// The characters of UTF-8 text.
std::vector<std::string> Utf8CharacterList(const std::string& utf8) {
  std::vector<std::string> out;
  for (unsigned char c : utf8) {
    if ((c & 0xC0) != 0x80 || out.empty()) out.emplace_back();
    out.back().push_back(static_cast<char>(c));
  }
  return out;
}

bool IsSurname(const std::string& word, const std::set<std::string>& compound_surnames) {
  size_t characters = Utf8Characters(word);
  return characters == 1 || (characters == 2 && compound_surnames.count(word) > 0);
}

// The two-byte characters of GB18030 text.
std::vector<std::string> TwoByteCharacters(const std::string& gb) {
  std::vector<std::string> out;
  for (size_t pos = 0; pos < gb.size();) {
    size_t len = new_seg::GbCharLen(gb.data(), pos, gb.size());
    if (len == 2) out.push_back(gb.substr(pos, 2));
    pos += len;
  }
  return out;
}

}  // namespace

std::vector<CorpusEntity> CorpusEntities(const CorpusSentence& sentence,
                                         const std::set<std::string>& compound_surnames,
                                         const std::set<std::string>& place_abbreviations) {
  std::vector<CorpusEntity> entities;
  for (const CorpusCompound& compound : sentence.compounds) {
    EntityType type;
    if (EntityCompound(sentence, compound, &type)) {
      entities.push_back({compound.first, compound.count, type});
    }
  }
  const std::vector<CorpusToken>& tokens = sentence.tokens;
  for (size_t i = 0; i < tokens.size(); ++i) {
    EntityType type;
    if (InEntityCompound(sentence, tokens[i])) continue;
    if (tokens[i].tag == "j" && place_abbreviations.count(tokens[i].word) > 0) {
      entities.push_back({i, 1, EntityType::kLocation, true});
      continue;
    }
    if (!EntityTag(tokens[i].tag, &type)) continue;
    bool joined = type == EntityType::kPerson && i + 1 < tokens.size() &&
                  tokens[i + 1].tag == "nr" && !InEntityCompound(sentence, tokens[i + 1]) &&
                  IsSurname(tokens[i].word, compound_surnames);
    entities.push_back({i, joined ? 2u : 1u, type, false});
    if (joined) ++i;
  }
  std::sort(entities.begin(), entities.end(),
            [](const CorpusEntity& a, const CorpusEntity& b) { return a.first < b.first; });
  return entities;
}

std::set<std::string> PlaceAbbreviations(const std::vector<CorpusSentence>& sentences,
                                         const std::set<std::string>& compound_surnames,
                                         size_t min_place_count) {
  std::map<std::string, size_t> places;
  std::set<std::string> abbreviations;
  for (const CorpusSentence& sentence : sentences) {
    for (const CorpusEntity& entity : CorpusEntities(sentence, compound_surnames)) {
      if (entity.type != EntityType::kLocation) continue;
      std::string text;
      for (size_t i = entity.first; i < entity.first + entity.count; ++i) {
        text += sentence.tokens[i].word;
      }
      ++places[text];
    }
    for (const CorpusToken& token : sentence.tokens) {
      if (token.tag == "j" && Utf8Characters(token.word) == 1) abbreviations.insert(token.word);
    }
  }
  std::set<std::string> place_characters;
  for (const auto& [place, count] : places) {
    if (count < min_place_count) continue;
    for (const std::string& character : Utf8CharacterList(place)) {
      place_characters.insert(character);
    }
  }
  std::set<std::string> out;
  for (const std::string& abbreviation : abbreviations) {
    if (place_characters.count(abbreviation) > 0) out.insert(abbreviation);
  }
  return out;
}

EntityTrainer::EntityTrainer(std::function<std::string(const std::string&)> normalise,
                             std::set<std::string> compound_surnames)
    : normalise_(std::move(normalise)), compound_surnames_(std::move(compound_surnames)) {}

std::vector<std::string> EntityTrainer::NormalisedWords(const CorpusSentence& sentence) {
  std::vector<std::string> words;
  for (const CorpusToken& token : sentence.tokens) words.push_back(normalise_(token.word));
  return words;
}

std::string EntityTrainer::Text(const std::vector<std::string>& words, size_t first,
                                size_t count) const {
  std::string text;
  for (size_t i = first; i < first + count && i < words.size(); ++i) text += words[i];
  return text;
}

namespace {

// Punctuation and symbols: ASCII other than letters and digits, the GBK
// symbol row (A1) and the full-width forms of ASCII symbols (row A3).
bool IsPunctuation(const std::string& text, size_t pos, size_t len) {
  unsigned char first = static_cast<unsigned char>(text[pos]);
  if (len == 1) return std::isalnum(first) == 0;
  if (len != 2) return false;
  unsigned char second = static_cast<unsigned char>(text[pos + 1]);
  return first == 0xA1 || (first == 0xA3 && std::isalnum(second - 0x80) == 0);
}

}  // namespace

// Text that is empty or only punctuation names no entity.
bool EntityTrainer::Usable(const std::string& text) {
  if (text.empty()) {
    ++stats_.empty_entities;
    return false;
  }
  for (size_t pos = 0; pos < text.size();) {
    size_t len = new_seg::GbCharLen(text.data(), pos, text.size());
    if (!IsPunctuation(text, pos, len)) return true;
    pos += len;
  }
  ++stats_.punctuation_entities;
  return false;
}

void EntityTrainer::Count(const std::vector<CorpusSentence>& sentences) {
  place_abbreviations_ =
      PlaceAbbreviations(sentences, compound_surnames_, kMinAbbreviatedPlaceCount);
  for (const CorpusSentence& sentence : sentences) {
    std::vector<std::string> words = NormalisedWords(sentence);
    for (const std::string& word : words) {
      ++texts_[word].total;
      for (const std::string& character : TwoByteCharacters(word)) ++characters_[character].total;
    }
    for (const CorpusCompound& compound : sentence.compounds) {
      if (compound.count > 1) ++texts_[Text(words, compound.first, compound.count)].total;
    }
    for (const CorpusEntity& entity :
         CorpusEntities(sentence, compound_surnames_, place_abbreviations_)) {
      // One character is never a dictionary entity: only the CRF learns these.
      if (entity.abbreviation) {
        ++stats_.abbreviations;
        continue;
      }
      std::string text = Text(words, entity.first, entity.count);
      if (!Usable(text)) continue;
      Counts& counts = texts_[text];
      bool compound = entity.count > 1 && sentence.tokens[entity.first].compound >= 0;
      if (entity.count > 1 && !compound) ++counts.total;  // a joined name
      ++counts.as_entity[static_cast<int>(entity.type)];
      size_t* totals[] = {&stats_.persons, &stats_.locations, &stats_.organizations};
      ++*totals[static_cast<int>(entity.type)];
      CountRoles(sentence, words, entity);
    }
  }
}

void EntityTrainer::CountRoles(const CorpusSentence& sentence,
                               const std::vector<std::string>& words,
                               const CorpusEntity& entity) {
  auto mark = [this](const std::string& text, int role) {
    for (const std::string& character : TwoByteCharacters(text)) {
      ++characters_[character].roles[role];
    }
  };
  const std::string& first = words[entity.first];
  switch (entity.type) {
    case EntityType::kPerson:
      if (entity.count == 2) {
        if (Utf8Characters(sentence.tokens[entity.first].word) == 1) mark(first, 0);
        mark(words[entity.first + 1], 1);
      } else if (Utf8Characters(sentence.tokens[entity.first].word) > 1) {
        mark(first, 2);  // a name not written as surname and given name
      }
      break;
    case EntityType::kLocation:
    case EntityType::kOrganization: {
      std::vector<std::string> characters =
          TwoByteCharacters(Text(words, entity.first, entity.count));
      if (characters.size() > 1) {
        mark(characters.back(), entity.type == EntityType::kLocation ? 3 : 4);
      }
      break;
    }
  }
}

void EntityTrainer::AddHolidays(const std::vector<std::string>& holidays) {
  for (const std::string& holiday : holidays) {
    if (holiday.empty() || holiday[0] == '#') continue;
    std::string text = normalise_(holiday);
    if (!text.empty()) holidays_.push_back(text);
  }
}

void EntityTrainer::AppendEntries(std::string* source) {
  for (const auto& [text, counts] : texts_) {
    const size_t* n = counts.as_entity;
    if (n[0] + n[1] + n[2] < kMinEntityCount) continue;
    if (HasFourByteCharacter(text)) {
      ++stats_.four_byte_entries;
      continue;
    }
    double total = static_cast<double>(std::max(counts.total, n[0] + n[1] + n[2]));
    if (n[0] >= kMinEntityCount && n[0] >= kMinShare * total) {
      *source += text + "\t1\n";
      ++stats_.person_entries;
    }
    if (n[1] >= kMinEntityCount) {
      *source += text + "\t8192\t0\t" + FixedDecimal(n[1] / total) + "\n";
      ++stats_.location_entries;
    }
    if (n[2] >= kMinEntityCount && n[2] >= kMinShare * total) {
      *source += text + "\t2097152\t" + FixedDecimal(n[2] / total) + "\n";
      ++stats_.organization_entries;
    }
  }
}

void EntityTrainer::AppendNameCharacters(std::string* source) {
  for (const auto& [character, roles] : characters_) {
    uint32_t code = 0;
    for (int role = 0; role < 5; ++role) {
      if (roles.roles[role] >= kMinRoleCount &&
          roles.roles[role] >= kMinRoleShare * static_cast<double>(roles.total)) {
        code |= 1u << role;
      }
    }
    if (code == 0) continue;
    *source += character + "\t2\t" + std::to_string(code) + "\n";
    ++stats_.name_characters;
  }
}

std::string EntityTrainer::DictionarySource() {
  stats_.person_entries = stats_.location_entries = stats_.organization_entries = 0;
  stats_.name_characters = stats_.holidays = stats_.four_byte_entries = 0;
  std::string source;
  AppendEntries(&source);
  AppendNameCharacters(&source);
  for (const std::string& holiday : holidays_) {
    source += holiday + "\t131072\t" + kHolidayScore + "\n";
    ++stats_.holidays;
  }
  return source;
}

void EntityTrainer::AppendSequence(const std::string& text,
                                   const std::vector<std::pair<size_t, size_t>>& spans,
                                   const std::vector<EntityType>& types, std::string* out) {
  std::vector<uint32_t> begins(text.size() + 2), ends(text.size() + 2);
  size_t pieces = new_seg::NameEntityRecognition::SplitPieces(text.data(), text.size(),
                                                              begins.data(), ends.data(),
                                                              begins.size());
  char line[kLongestPiece + 64];
  size_t span = 0;
  for (size_t p = 0; p < pieces; ++p) {
    if (ends[p] <= begins[p]) continue;
    if (ends[p] - begins[p] > kLongestPiece) {
      ++stats_.long_pieces;
      continue;
    }
    for (size_t pos = begins[p]; pos < ends[p];) {
      size_t len = new_seg::NameEntityRecognition::CrfTokenLen(text.data(), pos, ends[p]);
      while (span < spans.size() && spans[span].second <= pos) ++span;
      std::string label = "O";
      if (span < spans.size() && spans[span].first <= pos) {
        char marker = pos == spans[span].first ? 'B' : (pos + len >= spans[span].second ? 'E' : 'I');
        label = std::string(1, marker) + "-" + kTypeNames[static_cast<int>(types[span])];
      }
      int written = new_seg::NameEntityRecognition::FeatureLine(text.data(), pos, len,
                                                                label.c_str(), line, sizeof(line));
      if (written > 0) out->append(line, static_cast<size_t>(written)).push_back('\n');
      ++stats_.tokens;
      pos += len;
    }
    out->push_back('\n');
    ++stats_.sequences;
  }
}

std::string EntityTrainer::CrfColumns(const std::vector<CorpusSentence>& sentences) {
  stats_.sequences = stats_.tokens = stats_.long_pieces = 0;
  std::string out;
  for (const CorpusSentence& sentence : sentences) {
    std::vector<std::string> words = NormalisedWords(sentence);
    std::vector<size_t> offsets(1, 0);
    for (const std::string& word : words) offsets.push_back(offsets.back() + word.size());
    std::vector<std::pair<size_t, size_t>> spans;
    std::vector<EntityType> types;
    for (const CorpusEntity& entity :
         CorpusEntities(sentence, compound_surnames_, place_abbreviations_)) {
      size_t begin = offsets[entity.first];
      size_t end = offsets[entity.first + entity.count];
      if (end <= begin || (!spans.empty() && begin < spans.back().second)) continue;
      spans.emplace_back(begin, end);
      types.push_back(entity.type);
    }
    AppendSequence(Text(words, 0, words.size()), spans, types, &out);
  }
  return out;
}

}  // namespace zorvseg_tools
