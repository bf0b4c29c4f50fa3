#include "common/EntityTrainerCommand.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "common/ArgumentSplitter.h"
#include "common/EntityTrainer.h"
#include "common/LexiconTrainer.h"
#include "common/ManifestWriter.h"
#include "common/TrainingCorpus.h"
#include "dict/DictFile.h"
#include "ner/NEDict.h"
#include "text/SentenceNormalizer.h"
#include "zorvseg_mode.h"

namespace zorvseg_tools {

namespace {

const char kUsage[] =
    "usage: zorvseg-train entities [options] CORPUS OUT_DIR\n"
    "\n"
    "Trains OUT_DIR/ne_dict.dat, the entity dictionary, from a People's Daily\n"
    "corpus: persons (nr; a surname token joined with the given name after it),\n"
    "places (ns, [...]ns) and organisations (nt, [...]nt) (persons and\n"
    "organisations when at least half of their occurrences are; a place's\n"
    "score is the share of its occurrences as a place), name characters with\n"
    "their codes for the CRF (bits: 1 surname, 2 given-name character,\n"
    "4 transliteration character, 8 place suffix, 16 organisation suffix), and\n"
    "the holidays of --holidays. One-character abbreviations (j) of frequent\n"
    "places (中 for 中国, 京 for 北京) are places for the CRF.\n"
    "\n"
    "  --gbk                   the corpus is GBK (default UTF-8)\n"
    "  --hold-out-days LIST    comma-separated days YYYYMMDD not trained on\n"
    "  --mode HEX              mode whose normalisation the text gets (default\n"
    "                          0x08212314)\n"
    "  --t2s FILE              traditional-to-simplified table (default\n"
    "                          OUT_DIR/t2s.dat)\n"
    "  --compound-surnames F   two-character surnames that join the given name\n"
    "                          after them (UTF-8, one a line, '#' comments)\n"
    "  --holidays FILE         holidays and festivals (UTF-8, one a line)\n"
    "  --crf-columns FILE      also write the CRF's training sequences (GB18030):\n"
    "                          the recogniser's feature line per token with the\n"
    "                          gold label (B-, I-, E- with PER, LOC, ORG, or O)\n"
    "  --sources DIR           also write the dictionary's source, ne_dict.txt,\n"
    "                          and place_abbreviations.txt: the one-character\n"
    "                          abbreviations (j) taken as places (UTF-8)\n"
    "  --help                  show this help\n"
    "\n"
    "The same input gives byte-identical files.\n";

struct Options {
  std::string corpus;
  std::string out_dir;
  std::string t2s;
  std::string compound_surnames;
  std::string holidays;
  std::string crf_columns;
  std::string sources_dir;
  CorpusOptions corpus_options;
  int32_t mode = new_seg::kModeModuleDefault;
};

// 0 run, 1 help, 2 usage error.
int ParseOptions(int argc, char** argv, Options* o) {
  ArgumentSplitter::Rules rules;
  rules.takes_value = [](const std::string& option) { return option != "--gbk"; };
  ArgumentSplitter arguments(argc, argv, rules);
  for (auto step = arguments.Next(); step != ArgumentSplitter::Step::kEnd;
       step = arguments.Next()) {
    const std::string& arg = arguments.option();
    if (step == ArgumentSplitter::Step::kHelp) return 1;
    if (step == ArgumentSplitter::Step::kSwitch) {
      o->corpus_options.gbk = true;
      continue;
    }
    if (step == ArgumentSplitter::Step::kMissingValue) {
      std::fprintf(stderr, "zorvseg-train entities: %s needs a value\n", arg.c_str());
      return 2;
    }
    const std::string& value = arguments.value();
    bool ok = true;
    if (arg == "--hold-out-days") {
      ok = ParseHeldOutDays(value, o->corpus_options.held_out_days);
    } else if (arg == "--mode") {
      char* end = nullptr;
      o->mode = static_cast<int32_t>(std::strtoul(value.c_str(), &end, 16));
      ok = !value.empty() && *end == '\0';
    } else if (arg == "--t2s") {
      o->t2s = value;
    } else if (arg == "--compound-surnames") {
      o->compound_surnames = value;
    } else if (arg == "--holidays") {
      o->holidays = value;
    } else if (arg == "--crf-columns") {
      o->crf_columns = value;
    } else if (arg == "--sources") {
      o->sources_dir = value;
    } else {
      std::fprintf(stderr, "zorvseg-train entities: unknown option '%s'\n", arg.c_str());
      return 2;
    }
    if (!ok) {
      std::fprintf(stderr, "zorvseg-train entities: bad value '%s' for %s\n", value.c_str(),
                   arg.c_str());
      return 2;
    }
  }
  const std::vector<std::string>& positional = arguments.positionals();
  if (positional.size() != 2) {
    std::fprintf(stderr, "zorvseg-train entities: want CORPUS and OUT_DIR\n");
    return 2;
  }
  o->corpus = positional[0];
  o->out_dir = positional[1];
  if (o->t2s.empty()) o->t2s = o->out_dir + "/t2s.dat";
  return 0;
}

// The lines of a UTF-8 list without comments and blank lines; false when
// it cannot be read.
bool ReadList(const std::string& path, std::vector<std::string>* lines) {
  if (path.empty()) return true;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "zorvseg-train entities: cannot read %s\n", path.c_str());
    return false;
  }
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] != '#') lines->push_back(line);
  }
  return true;
}

bool WriteFile(const std::string& path, const std::string& text) {
  return new_seg::dict_file::WriteThroughTemporary(
      "zorvseg-train entities", path, [&text](std::FILE* file) {
        return std::fwrite(text.data(), 1, text.size(), file) == text.size();
      });
}

std::string Lines(const std::set<std::string>& texts) {
  std::string out;
  for (const std::string& text : texts) out += text + "\n";
  return out;
}

void PrintSummary(const CorpusStats& corpus, size_t sentences, const EntityTrainerStats& s) {
  std::printf("corpus: %zu lines, %zu sentences trained, %zu held out; skipped or mapped: %zu "
              "malformed tokens, %zu over 100 characters, %zu unbalanced brackets, %zu lines "
              "with invalid bytes\n",
              corpus.lines, sentences, corpus.held_out_lines, corpus.malformed_tokens,
              corpus.overlong_tokens, corpus.unbalanced_brackets, corpus.invalid_text_lines);
  std::printf("entities: %zu persons, %zu places, %zu organisations, %zu place "
              "abbreviations (skipped: %zu only punctuation, %zu empty)\n",
              s.persons, s.locations, s.organizations, s.abbreviations, s.punctuation_entities,
              s.empty_entities);
  std::printf("ne_dict: %zu persons, %zu places, %zu organisations (%zu outside GBK left "
              "out), %zu name characters, %zu holidays\n",
              s.person_entries, s.location_entries, s.organization_entries, s.four_byte_entries,
              s.name_characters, s.holidays);
}

int Run(const Options& o) {
  std::vector<std::string> surnames, holidays;
  if (!ReadList(o.compound_surnames, &surnames) || !ReadList(o.holidays, &holidays)) return 1;
  if (!new_seg::SentenceNormalizer::Init(o.t2s.c_str())) {
    std::fprintf(stderr, "zorvseg-train entities: cannot load the table %s\n", o.t2s.c_str());
    return 1;
  }
  TrainingCorpus corpus;
  if (!corpus.Read(o.corpus, o.corpus_options)) return 1;
  LexiconTrainer words(o.mode);
  EntityTrainer trainer([&words](const std::string& word) { return words.Normalise(word); },
                        std::set<std::string>(surnames.begin(), surnames.end()));
  trainer.Count(corpus.sentences());
  trainer.AddHolidays(holidays);
  std::string source = trainer.DictionarySource();
  std::istringstream source_in(source);
  std::string ne_dict = o.out_dir + "/ne_dict.dat";
  if (!DropManifestListing(ne_dict) ||
      !new_seg::NEDict::BuildFromStream(source_in, "trained entity dictionary") ||
      !new_seg::NEDict::Save(ne_dict.c_str())) {
    std::fprintf(stderr, "zorvseg-train entities: cannot build %s\n", ne_dict.c_str());
    return 1;
  }
  if (!o.sources_dir.empty() &&
      (!WriteFile(o.sources_dir + "/ne_dict.txt", source) ||
       !WriteFile(o.sources_dir + "/place_abbreviations.txt",
                  Lines(trainer.place_abbreviations())))) {
    return 1;
  }
  // The codes come from the dictionary just built, as the recogniser reads them.
  if (!o.crf_columns.empty() &&
      !WriteFile(o.crf_columns, trainer.CrfColumns(corpus.sentences()))) {
    return 1;
  }
  PrintSummary(corpus.stats(), corpus.sentences().size(), trainer.stats());
  if (!o.crf_columns.empty()) {
    std::printf("crf columns: %zu sequences, %zu tokens (%zu pieces longer than a sentence "
                "left out)\n",
                trainer.stats().sequences, trainer.stats().tokens, trainer.stats().long_pieces);
  }
  new_seg::NEDict::UnInit();
  new_seg::SentenceNormalizer::UnInit();
  return 0;
}

}  // namespace

int RunEntityTrainer(int argc, char** argv) {
  Options options;
  int parsed = ParseOptions(argc, argv, &options);
  if (parsed == 1) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (parsed == 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  return Run(options);
}

}  // namespace zorvseg_tools
