// zorvseg-train: trains the core dictionary and the n-gram model of a data
// directory from a segmented (and optionally tagged) corpus.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <set>
#include <string>
#include <vector>

#include "common/CrfTrainerCommand.h"
#include "common/EntityTrainerCommand.h"
#include "common/LexiconTrainer.h"
#include "common/ManifestWriter.h"
#include "common/OpenWordList.h"
#include "common/PosTrainer.h"
#include "common/TagModelSource.h"
#include "common/TrainingCorpus.h"
#include "dict/CoreDict.h"
#include "dict/NGram.h"
#include "pos/TagContext.h"
#include "pos/TagModel.h"
#include "text/SentenceNormalizer.h"
#include "zorvseg_mode.h"

namespace {

// Counts of the open word list are multiplied by this before they are
// measured against the corpus total: the list's text is far larger than the
// corpus, and its words are ones the corpus never shows.
const double kDefaultOpenScale = 0.00001;
// Perceptron passes over the corpus that refine the tag weights, and the
// size of one update against weights that are natural-log probabilities.
const size_t kDefaultPosPasses = 5;
const double kDefaultPosRate = 0.3;

struct Options {
  std::string corpus;
  std::string out_dir;
  std::string sources_dir;  // text sources and the training word list
  std::string t2s;          // table the normaliser uses; default OUT/t2s.dat
  std::string open_words;   // open word list with counts, optional
  std::string own_words;    // our own word list with tags, optional
  double open_scale = kDefaultOpenScale;
  size_t pos_passes = kDefaultPosPasses;
  double pos_rate = kDefaultPosRate;
  bool pos_context = true;
  zorvseg_tools::CorpusOptions corpus_options;
  int32_t mode = new_seg::kModeModuleDefault;
};

const char kUsage[] =
    "usage: zorvseg-train [options] CORPUS OUT_DIR\n"
    "       zorvseg-train entities [options] CORPUS OUT_DIR\n"
    "                         (ne_dict.dat and the CRF's training sequences;\n"
    "                         zorvseg-train entities --help)\n"
    "       zorvseg-train crf [options] TRAIN.tsv TEMPLATES.txt OUT.dat\n"
    "                         (a CRF model; zorvseg-train crf --help)\n"
    "\n"
    "Trains core_dict.dat, ngram.dat0..3 and, from a tagged corpus, tag_info.dat\n"
    "and tag_context.dat of the data directory OUT_DIR from CORPUS, through the library's own build\n"
    "and model-writing code.\n"
    "\n"
    "  --format pd|words     People's Daily (id, word/tag tokens, [compounds]tag;\n"
    "                        default) or plain words separated by spaces\n"
    "  --gbk                 the corpus is GBK (default UTF-8)\n"
    "  --hold-out-days LIST  comma-separated days YYYYMMDD not trained on\n"
    "                        (People's Daily paragraph ids)\n"
    "  --hold-out-lines A-B  1-based line range not trained on\n"
    "  --mode HEX            mode whose normalisation the words get (default\n"
    "                        0x08212314: full-width to half-width, traditional\n"
    "                        to simplified; lower case always)\n"
    "  --t2s FILE            traditional-to-simplified table (default OUT_DIR/t2s.dat)\n"
    "  --open-words FILE     also add the words of this list (UTF-8, word TAB count\n"
    "                        per line) that the corpus never shows and never\n"
    "                        writes across a word end\n"
    "  --open-scale X        factor from the list's counts to corpus counts\n"
    "                        (default 0.00001)\n"
    "  --own-words FILE      also add the words of this list (UTF-8, word TAB count\n"
    "                        TAB tag per line; count 1 and no tag by default) that\n"
    "                        the corpus never shows and never writes across a word\n"
    "                        end, with their counts and tags as given\n"
    "  --pos-passes N        perceptron passes that refine the tag weights (default\n"
    "                        5; 0: the estimates alone)\n"
    "  --pos-rate X          size of one perceptron update (default 0.3)\n"
    "  --no-pos-context      leave the word-context weights (tag_context.dat) empty\n"
    "  --sources DIR         also write the text sources (lexicon.txt, ngram.txt,\n"
    "                        GB18030) and train_words.txt (UTF-8 vocabulary) there\n"
    "  --help                show this help\n"
    "\n"
    "Costs are negative base-2 log probabilities: words by relative frequency,\n"
    "pairs (sentence starts included) by absolute discounting, id 0 as a word\n"
    "seen once. Tag weights start as natural-log probabilities: ln P(word | tag),\n"
    "and ln P(tag | previous tag) with add-one smoothing; the averaged perceptron\n"
    "then refines them on the corpus. The same input gives byte-identical files.\n";

bool ParseRange(const std::string& text, size_t& first, size_t& last) {
  char* end = nullptr;
  errno = 0;
  first = strtoul(text.c_str(), &end, 10);
  if (errno != 0 || *end != '-') return false;
  last = strtoul(end + 1, &end, 10);
  return errno == 0 && *end == '\0' && first >= 1 && first <= last;
}

// 0 run, 1 help, 2 usage error.
int ParseOptions(int argc, char** argv, Options& o) {
  std::vector<std::string> positional;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    const char* v = nullptr;
    if (arg == "--help" || arg == "-h") {
      fputs(kUsage, stdout);
      return 1;
    } else if (arg == "--gbk") {
      o.corpus_options.gbk = true;
    } else if (arg == "--format") {
      if ((v = value()) == nullptr || (std::string(v) != "pd" && std::string(v) != "words")) {
        fprintf(stderr, "zorvseg-train: --format wants pd or words\n");
        return 2;
      }
      o.corpus_options.people_daily = std::string(v) == "pd";
    } else if (arg == "--hold-out-days") {
      if ((v = value()) == nullptr || !zorvseg_tools::ParseHeldOutDays(v, o.corpus_options.held_out_days)) {
        fprintf(stderr, "zorvseg-train: --hold-out-days wants YYYYMMDD[,YYYYMMDD...]\n");
        return 2;
      }
    } else if (arg == "--hold-out-lines") {
      if ((v = value()) == nullptr || !ParseRange(v, o.corpus_options.held_out_first_line,
                                                  o.corpus_options.held_out_last_line)) {
        fprintf(stderr, "zorvseg-train: --hold-out-lines wants FIRST-LAST (1-based)\n");
        return 2;
      }
    } else if (arg == "--mode") {
      char* end = nullptr;
      if ((v = value()) == nullptr || (o.mode = static_cast<int32_t>(strtoul(v, &end, 16)),
                                       *end != '\0')) {
        fprintf(stderr, "zorvseg-train: --mode wants a hexadecimal number\n");
        return 2;
      }
    } else if (arg == "--t2s") {
      if ((v = value()) == nullptr) return 2;
      o.t2s = v;
    } else if (arg == "--open-words") {
      if ((v = value()) == nullptr) return 2;
      o.open_words = v;
    } else if (arg == "--own-words") {
      if ((v = value()) == nullptr) return 2;
      o.own_words = v;
    } else if (arg == "--open-scale") {
      char* end = nullptr;
      if ((v = value()) == nullptr || (o.open_scale = strtod(v, &end), *end != '\0') ||
          !(o.open_scale > 0.0)) {
        fprintf(stderr, "zorvseg-train: --open-scale wants a positive number\n");
        return 2;
      }
    } else if (arg == "--pos-passes") {
      char* end = nullptr;
      if ((v = value()) == nullptr || (o.pos_passes = strtoul(v, &end, 10), *end != '\0') ||
          *v == '-' || o.pos_passes > 100) {
        fprintf(stderr, "zorvseg-train: --pos-passes wants a whole number up to 100\n");
        return 2;
      }
    } else if (arg == "--pos-rate") {
      char* end = nullptr;
      if ((v = value()) == nullptr || (o.pos_rate = strtod(v, &end), *end != '\0') ||
          !(o.pos_rate > 0.0 && o.pos_rate <= 100.0)) {
        fprintf(stderr, "zorvseg-train: --pos-rate wants a positive number\n");
        return 2;
      }
    } else if (arg == "--no-pos-context") {
      o.pos_context = false;
    } else if (arg == "--sources") {
      if ((v = value()) == nullptr) return 2;
      o.sources_dir = v;
    } else if (!arg.empty() && arg[0] == '-') {
      fprintf(stderr, "zorvseg-train: unknown option '%s'\n%s", arg.c_str(), kUsage);
      return 2;
    } else {
      positional.push_back(arg);
    }
  }
  if (positional.size() != 2) {
    fprintf(stderr, "zorvseg-train: want CORPUS and OUT_DIR\n%s", kUsage);
    return 2;
  }
  o.corpus = positional[0];
  o.out_dir = positional[1];
  if (o.t2s.empty()) o.t2s = o.out_dir + "/t2s.dat";
  return 0;
}

bool WriteText(const std::string& path, const std::string& text) {
  std::string tmp = path + ".tmp";
  std::ofstream out(tmp, std::ios::binary);
  out << text;
  out.close();
  if (!out || std::rename(tmp.c_str(), path.c_str()) != 0) {
    fprintf(stderr, "zorvseg-train: cannot write %s\n", path.c_str());
    return false;
  }
  return true;
}

void PrintListSummary(const char* name, const zorvseg_tools::OpenWordListStats& stats) {
  printf("%s: %zu lines, %zu unusable (no word, a bad count or tag, not UTF-8, outside GBK "
         "or over 255 bytes)\n",
         name, stats.lines, stats.bad_lines);
}

void PrintSummary(const zorvseg_tools::CorpusStats& c, const zorvseg_tools::LexiconStats& l,
                  const zorvseg_tools::NumberClassTrainer& numbers, size_t sentences) {
  printf("corpus: %zu lines, %zu sentences trained, %zu held out, %zu empty\n", c.lines,
         sentences, c.held_out_lines, c.empty_lines);
  printf("skipped or mapped: %zu malformed tokens, %zu tokens over 100 characters, %zu CR "
         "bytes, %zu sound notes reduced, %zu unbalanced brackets, %zu lines with invalid "
         "bytes\n",
         c.malformed_tokens, c.overlong_tokens, c.cr_bytes, c.sound_notes, c.unbalanced_brackets,
         c.invalid_text_lines);
  printf("lexicon: %zu tokens, %zu words (%zu with characters outside GBK; left out: %zu "
         "more often written split, %zu lone letters or digits), %zu phrases (%zu compounds "
         "kept as words, %zu too long)\n",
         l.tokens, l.words, l.four_byte_words, l.mostly_split, l.single_ascii, l.phrases,
         l.compounds_as_words, l.long_compounds);
  printf("open words: %zu added (left out: %zu already in the corpus, %zu written across "
         "word ends there, %zu likelier as corpus words, %zu compounds of corpus words, %zu "
         "single characters, ASCII or count 0, %zu verbs with complements written apart "
         "there)\n",
         l.open_words, l.open_known, l.open_conflicts, l.open_cheaper_split, l.open_compounds,
         l.open_skipped, l.open_verb_complements);
  printf("own words: %zu added (left out: %zu already in the corpus, %zu written across word "
         "ends there)\n",
         l.own_words, l.own_known, l.own_conflicts);
  printf("numbers: %zu characters join digit groups, %zu units join numbers, %zu only numbers "
         "of some digit counts\n",
         numbers.joiners(), numbers.units(), numbers.shaped_units());
  printf("n-grams: %zu word pairs (%zu sentence starts)\n", l.pairs, l.sentence_starts);
}

void PrintTagSummary(const zorvseg_tools::PosStats& s) {
  if (s.tagged_tokens == 0) {
    printf("tags: none in the corpus, no tag_info.dat written\n");
    return;
  }
  printf("tags: %zu tagged tokens, %zu untagged, %zu listed words tagged by their characters, "
         "%zu by their list, %zu tagged wrong in the last perceptron pass",
         s.tagged_tokens, s.untagged_tokens, s.guessed_words, s.given_words, s.wrong_in_last_pass);
  for (const auto& [tag, count] : s.mapped_tags) printf(", %s mapped %zu times", tag.c_str(), count);
  for (const auto& [tag, count] : s.unknown_tags) {
    printf(", unknown tag %s taken as n %zu times", tag.c_str(), count);
  }
  printf("\n");
}

bool WriteTagContext(const zorvseg_tools::PosTrainer& pos, const std::string& path) {
  new_seg::TagContext context;
  std::string error;
  if (!context.Assign(pos.ContextRecords(), &error) || !context.Save(path)) {
    fprintf(stderr, "zorvseg-train: cannot build %s%s%s\n", path.c_str(),
            error.empty() ? "" : ": ", error.c_str());
    return false;
  }
  printf("tag context: %zu word-context weights\n", context.size());
  return true;
}

int Run(const Options& o) {
  if (!new_seg::SentenceNormalizer::Init(o.t2s.c_str())) {
    fprintf(stderr, "zorvseg-train: cannot load the table %s\n", o.t2s.c_str());
    return 1;
  }
  zorvseg_tools::TrainingCorpus corpus;
  if (!corpus.Read(o.corpus, o.corpus_options)) return 1;
  if (corpus.sentences().empty()) {
    fprintf(stderr, "zorvseg-train: %s holds no sentence to train on\n", o.corpus.c_str());
    return 1;
  }
  zorvseg_tools::LexiconTrainer trainer(o.mode);
  trainer.Count(corpus.sentences());
  zorvseg_tools::PosTrainer pos;
  pos.Count(corpus.sentences(), trainer);
  trainer.AddTagOnlyEntries(pos.LastCharacterKeys());
  if (!o.open_words.empty()) {
    zorvseg_tools::OpenWordList list;
    if (!list.Read(o.open_words)) return 1;
    trainer.AddOpenWords(list.words(), o.open_scale);
    PrintListSummary("open word list", list.stats());
  }
  if (!o.own_words.empty()) {
    zorvseg_tools::OpenWordList list;
    if (!list.Read(o.own_words)) return 1;
    trainer.AddOwnWords(list.words());
    PrintListSummary("own word list", list.stats());
  }
  for (const char* name : {"core_dict.dat", "ngram.dat0", "ngram.dat1", "ngram.dat2",
                           "ngram.dat3", "tag_info.dat", "tag_context.dat"}) {
    if (!zorvseg_tools::DropManifestListing(o.out_dir + "/" + name)) return 1;
  }
  std::string lexicon = trainer.LexiconText();
  std::istringstream lexicon_in(lexicon);
  std::string core_dict = o.out_dir + "/core_dict.dat";
  if (!new_seg::CoreDict::BuildFromStream(lexicon_in, "trained lexicon") ||
      !new_seg::CoreDict::Save(core_dict.c_str())) {
    fprintf(stderr, "zorvseg-train: cannot build %s\n", core_dict.c_str());
    return 1;
  }
  std::string ngram = trainer.NGramText();
  std::istringstream ngram_in(ngram);
  std::string ngram_base = o.out_dir + "/ngram.dat";
  if (!new_seg::NGram::BuildFromStream(ngram_in, "trained n-gram table", 2) ||
      !new_seg::NGram::Save(ngram_base.c_str())) {
    fprintf(stderr, "zorvseg-train: cannot build %s0..3\n", ngram_base.c_str());
    return 1;
  }
  pos.GuessTags(trainer.OpenWords(), trainer.own_tags());
  pos.TrainWeights(o.pos_passes, o.pos_rate, o.pos_context);
  std::string tag_source;
  if (pos.has_tags()) {
    tag_source = pos.SourceText();
    new_seg::TagModel model;
    zorvseg_tools::TagModelSourceStats tag_stats;
    std::string tag_path = o.out_dir + "/tag_info.dat";
    if (!zorvseg_tools::CompileTagModelSource(tag_source, "trained tag model", &model,
                                              &tag_stats) ||
        !model.Save(tag_path)) {
      fprintf(stderr, "zorvseg-train: cannot build %s\n", tag_path.c_str());
      return 1;
    }
    if (!WriteTagContext(pos, o.out_dir + "/tag_context.dat")) return 1;
  }
  if (!tag_source.empty() && !o.sources_dir.empty() &&
      !WriteText(o.sources_dir + "/tag_source.txt", tag_source)) {
    return 1;
  }
  if (!o.sources_dir.empty() &&
      (!WriteText(o.sources_dir + "/lexicon.txt", lexicon) ||
       !WriteText(o.sources_dir + "/ngram.txt", ngram) ||
       !WriteText(o.sources_dir + "/train_words.txt", trainer.WordListUtf8()))) {
    return 1;
  }
  PrintSummary(corpus.stats(), trainer.stats(), trainer.numbers(), corpus.sentences().size());
  PrintTagSummary(pos.stats());
  new_seg::CoreDict::UnInit();
  new_seg::NGram::UnInit();
  new_seg::SentenceNormalizer::UnInit();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "entities") {
    return zorvseg_tools::RunEntityTrainer(argc - 1, argv + 1);
  }
  if (argc > 1 && std::string(argv[1]) == "crf") {
    return zorvseg_tools::RunCrfTrainerCommand(argc - 1, argv + 1);
  }
  Options options;
  int parsed = ParseOptions(argc, argv, options);
  if (parsed != 0) return parsed == 1 ? 0 : 2;
  return Run(options);
}
