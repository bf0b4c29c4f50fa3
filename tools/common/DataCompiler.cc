#include "common/DataCompiler.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <set>
#include <sstream>
#include <vector>

#include "common/ArgumentSplitter.h"
#include "common/CrfModel.h"
#include "common/CrfModelText.h"
#include "common/GbkText.h"
#include "dict/CoreDict.h"
#include "dict/CoreRule.h"
#include "dict/DictFile.h"
#include "dict/NGram.h"
#include "common/TagModelSource.h"
#include "ner/NEDict.h"
#include "ner/NEPattern.h"
#include "pos/TagModel.h"

namespace zorvseg_tools {

namespace {

bool ParseEncoding(const std::string& name, InputEncoding* encoding) {
  if (name == "utf8" || name == "utf-8") {
    *encoding = InputEncoding::kUtf8;
  } else if (name == "gbk") {
    *encoding = InputEncoding::kGbk;
  } else {
    return false;
  }
  return true;
}

bool ParseOrder(const std::string& text, std::size_t* order) {
  long long value = 0;
  if (!new_seg::dict_file::ParseInteger(text, &value) || value < 1 ||
      value > 16) {
    return false;
  }
  *order = static_cast<std::size_t>(value);
  return true;
}

ParseOutcome CheckPositionals(const std::vector<std::string>& args,
                              DataCompilerOptions* options,
                              std::string* error) {
  if (args.empty()) {
    *error = "missing subcommand";
    return ParseOutcome::kUsageError;
  }
  const std::string& command = args[0];
  if (command == "core-dict") {
    if (args.size() != 3) {
      *error = "core-dict takes LEXICON.txt and OUT.dat";
      return ParseOutcome::kUsageError;
    }
    options->command = DataCompilerOptions::Command::kCoreDict;
    options->input = args[1];
    options->output = args[2];
    return ParseOutcome::kRun;
  }
  const struct {
    const char* name;
    DataCompilerOptions::Command command;
    const char* usage;
  } kTwoFileCommands[] = {
      {"core-rule", DataCompilerOptions::Command::kCoreRule, "core-rule takes RULES.txt and OUT.dat"},
      {"ne-dict", DataCompilerOptions::Command::kNeDict, "ne-dict takes SOURCE.txt and OUT.dat"},
      {"ne-pattern", DataCompilerOptions::Command::kNePattern,
       "ne-pattern takes SOURCE.txt and OUT.dat"},
      {"name-list", DataCompilerOptions::Command::kNameList,
       "name-list takes SURNAMES.txt and OUT.dat"},
  };
  for (const auto& two_files : kTwoFileCommands) {
    if (command != two_files.name) continue;
    if (args.size() != 3) {
      *error = two_files.usage;
      return ParseOutcome::kUsageError;
    }
    options->command = two_files.command;
    options->input = args[1];
    options->output = args[2];
    return ParseOutcome::kRun;
  }
  if (command == "ngram") {
    if (args.size() != 4) {
      *error = "ngram takes TABLE.txt, MAX_ORDER and OUT_BASE";
      return ParseOutcome::kUsageError;
    }
    if (!ParseOrder(args[2], &options->max_order)) {
      *error = "MAX_ORDER '" + args[2] + "' is not an integer in 1..16";
      return ParseOutcome::kUsageError;
    }
    options->command = DataCompilerOptions::Command::kNGram;
    options->input = args[1];
    options->output = args[3];
    return ParseOutcome::kRun;
  }
  if (command == "tag-model") {
    if (args.size() != 4) {
      *error = "tag-model takes SOURCE.txt, CORE_DICT.dat and OUT.dat";
      return ParseOutcome::kUsageError;
    }
    options->command = DataCompilerOptions::Command::kTagModel;
    options->input = args[1];
    options->core_dict = args[2];
    options->output = args[3];
    return ParseOutcome::kRun;
  }
  if (command == "crf-model" || command == "crf-text") {
    if (args.size() != 3) {
      *error = command == "crf-model" ? "crf-model takes SOURCE.txt and OUT.dat"
                                      : "crf-text takes MODEL.dat and OUT.txt";
      return ParseOutcome::kUsageError;
    }
    options->command = command == "crf-model" ? DataCompilerOptions::Command::kCrfModel
                                              : DataCompilerOptions::Command::kCrfText;
    options->input = args[1];
    options->output = args[2];
    return ParseOutcome::kRun;
  }
  if (command == "manifest") {
    if (args.size() < 2) {
      *error = "manifest takes DATA_DIR and the built FILEs";
      return ParseOutcome::kUsageError;
    }
    options->command = DataCompilerOptions::Command::kManifest;
    options->manifest.data_dir = args[1];
    options->manifest.files.assign(args.begin() + 2, args.end());
    return ParseOutcome::kRun;
  }
  *error = "unknown subcommand '" + command + "'";
  return ParseOutcome::kUsageError;
}

// Compound surnames, one per line; blank lines and '#' comments skipped.
// Each is two characters with nothing around them.
bool ReadCompoundSurnames(const std::string& text, const std::string& source,
                          std::set<std::string>* surnames) {
  std::istringstream in(text);
  std::string line;
  std::size_t line_no = 0;
  while (std::getline(in, line)) {
    ++line_no;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    if (CharacterEnds(line).size() != 3 || line.find_first_of(" \t") != std::string::npos ||
        static_cast<unsigned char>(line[0]) < 0x80) {
      new_seg::dict_file::ReportLineError(source.c_str(), line_no,
                                          "a compound surname is two Chinese characters");
      return false;
    }
    surnames->insert(line);
  }
  if (!surnames->empty()) return true;
  std::fprintf(stderr, "%s: no compound surnames\n", source.c_str());
  return false;
}

uint64_t FileBytes(const std::string& path) {
  uint64_t size = 0;
  new_seg::dict_file::FileSize(path, &size);
  return size;
}

int CompileCoreDict(const DataCompilerOptions& options, const std::string& text) {
  std::istringstream in(text);
  new_seg::CoreDictBuildStats stats;
  if (!new_seg::CoreDict::BuildFromStream(in, options.input.c_str(), &stats)) {
    return 1;
  }
  if (new_seg::CoreDict::GetSize() == 0) {
    std::fprintf(stderr, "%s: no terms\n", options.input.c_str());
    return 1;
  }
  if (!new_seg::CoreDict::Save(options.output.c_str())) {
    std::fprintf(stderr, "%s: cannot write the core dictionary\n",
                 options.output.c_str());
    return 1;
  }
  const Darts::DoubleArray* trie = new_seg::CoreDict::GetTrie();
  std::printf(
      "core-dict %s: %llu terms from %zu lines (%zu blank skipped, %zu "
      "redefined), %llu seg-info bytes, trie %zu units (%zu bytes), %llu "
      "bytes written\n",
      options.output.c_str(),
      static_cast<unsigned long long>(new_seg::CoreDict::GetSize()),
      stats.lines, stats.skipped_blank, stats.replaced,
      static_cast<unsigned long long>(new_seg::CoreDict::GetSegInfoSize()),
      trie->size(), trie->total_size(),
      static_cast<unsigned long long>(FileBytes(options.output)));
  new_seg::CoreDict::UnInit();
  return 0;
}

int CompileCoreRule(const DataCompilerOptions& options, const std::string& text) {
  std::istringstream in(text);
  new_seg::CoreRuleBuildStats stats;
  if (!new_seg::CoreRule::BuildFromStream(in, options.input.c_str(), &stats)) return 1;
  if (!new_seg::CoreRule::Save(options.output.c_str())) {
    std::fprintf(stderr, "%s: cannot write the core rules\n", options.output.c_str());
    return 1;
  }
  std::printf("core-rule %s: %llu rules from %zu lines (%zu blank skipped, %zu redefined), "
              "%llu seg-info bytes, %llu bytes written\n",
              options.output.c_str(),
              static_cast<unsigned long long>(new_seg::CoreRule::GetSize()), stats.lines,
              stats.skipped_blank, stats.replaced,
              static_cast<unsigned long long>(new_seg::CoreRule::GetSegInfoSize()),
              static_cast<unsigned long long>(FileBytes(options.output)));
  new_seg::CoreRule::UnInit();
  return 0;
}

// The entity sources may carry comment lines, which the library's builders
// would take for keys: they become blank lines, so line numbers stay.
std::string BlankCommentLines(const std::string& text) {
  std::string kept;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] != '#') kept += line;
    kept += '\n';
  }
  return kept;
}

int CompileNeDict(const DataCompilerOptions& options, const std::string& text) {
  std::istringstream in(BlankCommentLines(text));
  new_seg::NEDictBuildStats stats;
  if (!new_seg::NEDict::BuildFromStream(in, options.input.c_str(), &stats) ||
      !new_seg::NEDict::Save(options.output.c_str())) {
    return 1;
  }
  std::printf("ne-dict %s: %llu entries from %zu lines (%zu blank skipped, %zu merged into "
              "an earlier key), %llu bytes written\n",
              options.output.c_str(),
              static_cast<unsigned long long>(new_seg::NEDict::GetSize()), stats.lines,
              stats.skipped_blank, stats.merged,
              static_cast<unsigned long long>(FileBytes(options.output)));
  new_seg::NEDict::UnInit();
  return 0;
}

int CompileNePattern(const DataCompilerOptions& options, const std::string& text) {
  std::istringstream in(BlankCommentLines(text));
  new_seg::NEPatternBuildStats stats;
  if (!new_seg::NEPattern::BuildFromStream(in, options.input.c_str(), &stats) ||
      !new_seg::NEPattern::Save(options.output.c_str())) {
    return 1;
  }
  std::printf("ne-pattern %s: %llu patterns from %zu lines (%zu blank skipped, %zu without "
              "scores skipped, %zu redefined), %llu bytes written\n",
              options.output.c_str(),
              static_cast<unsigned long long>(new_seg::NEPattern::GetSize()), stats.lines,
              stats.skipped_blank, stats.skipped_zero, stats.replaced,
              static_cast<unsigned long long>(FileBytes(options.output)));
  new_seg::NEPattern::UnInit();
  return 0;
}

int CompileNameList(const DataCompilerOptions& options, const std::string& text) {
  std::set<std::string> surnames;
  if (!ReadCompoundSurnames(text, options.input, &surnames)) return 1;
  std::string content;
  for (const std::string& surname : surnames) content += surname + "\n";
  bool written = new_seg::dict_file::WriteThroughTemporary(
      "compound surnames", options.output, [&content](std::FILE* file) {
        return std::fwrite(content.data(), 1, content.size(), file) == content.size();
      });
  if (!written) return 1;
  std::printf("name-list %s: %zu compound surnames, %llu bytes written\n",
              options.output.c_str(), surnames.size(),
              static_cast<unsigned long long>(FileBytes(options.output)));
  return 0;
}

int CompileNGram(const DataCompilerOptions& options, const std::string& text) {
  std::istringstream in(text);
  new_seg::NGramBuildStats stats;
  if (!new_seg::NGram::BuildFromStream(in, options.input.c_str(),
                                       options.max_order, &stats)) {
    return 1;
  }
  if (!new_seg::NGram::Save(options.output.c_str())) {
    std::fprintf(stderr, "%s: cannot write the n-gram tries\n",
                 options.output.c_str());
    return 1;
  }
  std::printf("ngram %s0..3: %zu lines (%zu blank skipped, %zu with ids "
              "beyond order %zu)\n",
              options.output.c_str(), stats.lines, stats.skipped_blank,
              stats.beyond_order, options.max_order);
  for (std::size_t i = 0; i < new_seg::NGram::trie_num_; ++i) {
    const Darts::DoubleArray* trie = new_seg::NGram::GetTrie(i);
    std::printf("  trie %zu: %zu entries, %zu units (%zu bytes)\n", i,
                stats.entries[i], trie->size(), trie->total_size());
  }
  new_seg::NGram::UnInit();
  return 0;
}

int CompileTagModel(const DataCompilerOptions& options, const std::string& text) {
  if (!new_seg::CoreDict::Init(options.core_dict.c_str())) return 1;
  new_seg::TagModel model;
  TagModelSourceStats stats;
  bool compiled = CompileTagModelSource(text, options.input.c_str(), &model, &stats);
  new_seg::CoreDict::UnInit();
  if (!compiled || !model.Save(options.output)) return 1;
  std::printf("tag-model %s: %zu words (%zu not in the core dictionary, left out), "
              "%zu tag-list bytes, %zu role-list bytes, %zu + %zu transitions listed, "
              "%zu name triples, %llu bytes written\n",
              options.output.c_str(), stats.words, stats.unknown_words, model.m_Pos.size(),
              model.m_Rol.size(), stats.transitions, stats.role_transitions,
              model.m_name_list.size(),
              static_cast<unsigned long long>(FileBytes(options.output)));
  return 0;
}

int CompileCrfModel(const DataCompilerOptions& options, const std::string& text) {
  CrfModel model;
  if (!ParseCrfModelText(text, options.input.c_str(), &model)) return 1;
  std::string error;
  if (!model.Save(options.output, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  std::printf("crf-model %s: %zu labels, %zu unigram and %zu bigram templates, %zu word and "
              "%zu pos observations, %llu bytes written\n",
              options.output.c_str(), model.ysize(), model.unigram_templates.size(),
              model.bigram_templates.size(), model.word_observations.size(),
              model.pos_observations.size(),
              static_cast<unsigned long long>(FileBytes(options.output)));
  return 0;
}

// Writes a model file back as text, in the chosen encoding.
int DumpCrfModel(const DataCompilerOptions& options) {
  CrfModel model;
  std::string error;
  if (!model.Load(options.input, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  std::string text = CrfModelText(model);
  if (options.encoding == InputEncoding::kUtf8 && !GbkToUtf8Text(text, &text)) {
    std::fprintf(stderr, "%s: holds text that is not GBK; use --encoding gbk\n",
                 options.input.c_str());
    return 1;
  }
  bool written = new_seg::dict_file::WriteThroughTemporary(
      "crf-text", options.output, [&](std::FILE* file) {
        return std::fwrite(text.data(), 1, text.size(), file) == text.size();
      });
  return written ? 0 : 1;
}

bool IsManifestOption(const std::string& arg) {
  return arg == "--source" || arg == "--option" || arg == "--samples" || arg == "--sample-mode";
}

bool TakeManifestOption(const std::string& option, const std::string& value,
                        ManifestOptions* manifest) {
  if (option == "--samples") {
    manifest->samples = value;
    return !value.empty();
  }
  if (option == "--sample-mode") {
    char* end = nullptr;
    unsigned long mode = std::strtoul(value.c_str(), &end, 16);
    manifest->sample_mode = static_cast<int32_t>(mode);
    return !value.empty() && *end == '\0' && mode <= 0xFFFFFFFFul;
  }
  std::pair<std::string, std::string> pair;
  if (!ParseNameValue(value, &pair)) return false;
  (option == "--source" ? manifest->sources : manifest->settings).push_back(pair);
  return true;
}

bool TakesValue(const std::string& option) {
  return option == "--encoding" || IsManifestOption(option);
}

}  // namespace

ParseOutcome ParseDataCompilerArgs(int argc, const char* const* argv,
                                   DataCompilerOptions* options,
                                   std::string* error) {
  ArgumentSplitter::Rules rules;
  rules.single_dash_options = true;
  rules.inline_values = true;
  rules.takes_value = TakesValue;
  ArgumentSplitter arguments(argc, argv, rules);
  for (auto step = arguments.Next(); step != ArgumentSplitter::Step::kEnd;
       step = arguments.Next()) {
    const std::string& arg = arguments.option();
    const std::string& value = arguments.value();
    if (step == ArgumentSplitter::Step::kHelp) return ParseOutcome::kHelp;
    if (step == ArgumentSplitter::Step::kSwitch) {
      *error = "unknown option '" + arg + "'";
      return ParseOutcome::kUsageError;
    }
    if (step == ArgumentSplitter::Step::kMissingValue) {
      *error = arg + " needs a value";
      return ParseOutcome::kUsageError;
    }
    if (IsManifestOption(arg)) {
      if (!TakeManifestOption(arg, value, &options->manifest)) {
        *error = "bad value '" + value + "' for " + arg;
        return ParseOutcome::kUsageError;
      }
    } else if (!ParseEncoding(value, &options->encoding)) {
      *error = "unknown encoding '" + value + "' (utf8 or gbk)";
      return ParseOutcome::kUsageError;
    }
  }
  return CheckPositionals(arguments.positionals(), options, error);
}

void PrintDataCompilerUsage(std::ostream& out) {
  out << "Usage: zorvseg-build [--encoding utf8|gbk] SUBCOMMAND ARGS...\n"
         "\n"
         "Subcommands:\n"
         "  core-dict LEXICON.txt OUT.dat\n"
         "      Compile a lexicon (term TAB type [split positions...] per line)\n"
         "      into a core dictionary file.\n"
         "  core-rule RULES.txt OUT.dat\n"
         "      Compile ASCII split rules (pattern TAB effective-start effective-length\n"
         "      [split positions...] per line) into a core rules file.\n"
         "  ne-dict SOURCE.txt OUT.dat\n"
         "      Compile the entity dictionary: KEY TAB KIND-VALUE [fields...] per\n"
         "      line; lines for one key are merged (kinds OR-ed). The fields follow\n"
         "      the kind value: 8192 (place) GEO-TYPE SCORE [CODE CODE CODE];\n"
         "      16384, 32768, 65536, 131072 (holiday) SCORE; 262144, 524288,\n"
         "      1048576, 2097152 (organisation) SCORE; any other value with one\n"
         "      field: its name-character code (the CRF's second column), two\n"
         "      fields: effective start and length, six fields: category scores.\n"
         "      Kind bits: 1, 16, 64 person; 2 name character; 8192 place;\n"
         "      131072 date; 2097152 organisation. Lines starting with '#' are\n"
         "      comments (here and in ne-pattern sources).\n"
         "  ne-pattern SOURCE.txt OUT.dat\n"
         "      Compile entity patterns: KEY TAB KIND-VALUE [twelve scores] per line.\n"
         "  name-list SURNAMES.txt OUT.dat\n"
         "      Write the compound-surname list name.dat: one two-character\n"
         "      surname per line ('#' starts a comment line).\n"
         "  ngram TABLE.txt MAX_ORDER OUT_BASE\n"
         "      Compile an n-gram table (cost count id [id...] per line) into\n"
         "      the four trie files OUT_BASE0 .. OUT_BASE3.\n"
         "  tag-model SOURCE.txt CORE_DICT.dat OUT.dat\n"
         "      Compile a part-of-speech model source into tag_info.dat, mapping\n"
         "      each word to its id in CORE_DICT.dat (words it lacks are left out\n"
         "      and counted). One directive per line; '#' starts a comment line:\n"
         "        word WORD TAG:WEIGHT...          candidate tags, in order\n"
         "        role WORD ROLE:WEIGHT...         name roles of a word\n"
         "        transition FROM TO WEIGHT [BOF]  tag TO after tag FROM\n"
         "        role-transition FROM TO WEIGHT [BOF]\n"
         "        default-transition WEIGHT        unlisted tag transitions\n"
         "        default-role-transition WEIGHT   (both -100 when not given)\n"
         "        name ID1 ID2 ID3                 a name triple (at least one)\n"
         "      Weights are log-probabilities (any one base, e.g. ln P(word|tag)\n"
         "      for emissions and ln P(TO|FROM) for transitions): the tagger picks\n"
         "      the tag sequence with the GREATEST sum of transition and emission\n"
         "      weights; among equal sums the earlier candidate wins. Tags are the\n"
         "      names a .. Zg, www, tele, email, <s> (sentence start) or 1..55;\n"
         "      roles are B .. FT, A, unk or 1..53.\n"
         "  crf-model SOURCE.txt OUT.dat\n"
         "      Compile a CRF model source into a model file (e.g. ne_model.dat).\n"
         "      One directive per line, fields separated by TAB; '#' starts a\n"
         "      comment line:\n"
         "        cost-factor F           multiplier of emission weights (default 1)\n"
         "        xsize N                 observation columns per token, 1..10\n"
         "        label NAME              the labels, in id order\n"
         "        template TEXT           U00:..U15: unigram templates, B bigram\n"
         "        word KEY S:W W ...      an observation string of the templates\n"
         "        pos KEY S:W W ...       U00-U09 (word) or U10-U15 (pos): for each\n"
         "                                listed slot S (the template number, less\n"
         "                                10 for pos), one weight per label; more\n"
         "                                slots follow as further TAB fields\n"
         "        transition FROM W W ... weights from label FROM to each label\n"
         "      Labels come first. Unlisted weights are 0; a word observation with\n"
         "      an empty KEY is what templates without a body read.\n"
         "  crf-text MODEL.dat OUT.txt\n"
         "      Write a CRF model file back in the source form above.\n"
         "  manifest DATA_DIR FILE... [--source NAME=PATH]... [--option NAME=VALUE]...\n"
         "           [--samples TEXT.txt [--sample-mode HEX]]\n"
         "      Write DATA_DIR/manifest.txt: the size and checksum of each built FILE\n"
         "      (relative to DATA_DIR), which LxInitSeg then verifies; each source\n"
         "      with its size and checksum and each option, as a record; and each\n"
         "      line of TEXT.txt (UTF-8) with the words DATA_DIR gives it in mode\n"
         "      HEX (default 214), which the tests re-check.\n"
         "\n"
         "Options:\n"
         "  --encoding utf8|gbk  encoding of the input text (default utf8;\n"
         "                       UTF-8 is converted to GBK for storage)\n"
         "  -h, --help           show this help\n"
         "\n"
         "Exit status: 0 success, 1 failure, 2 usage error.\n";
}

int RunDataCompiler(const DataCompilerOptions& options) {
  if (options.command == DataCompilerOptions::Command::kCrfText) {
    return DumpCrfModel(options);
  }
  if (options.command == DataCompilerOptions::Command::kManifest) {
    return WriteDataManifest(options.manifest);
  }
  std::string text;
  if (!ReadFileAsGbk(options.input, options.encoding, &text)) return 1;
  if (options.command == DataCompilerOptions::Command::kNGram) {
    for (std::size_t i = 0; i < new_seg::NGram::trie_num_; ++i) {
      if (!DropManifestListing(options.output + std::to_string(i))) return 1;
    }
  } else if (!DropManifestListing(options.output)) {
    return 1;
  }
  if (options.command == DataCompilerOptions::Command::kCoreDict) {
    return CompileCoreDict(options, text);
  }
  if (options.command == DataCompilerOptions::Command::kTagModel) {
    return CompileTagModel(options, text);
  }
  switch (options.command) {
    case DataCompilerOptions::Command::kCoreRule: return CompileCoreRule(options, text);
    case DataCompilerOptions::Command::kNeDict: return CompileNeDict(options, text);
    case DataCompilerOptions::Command::kNePattern: return CompileNePattern(options, text);
    case DataCompilerOptions::Command::kNameList: return CompileNameList(options, text);
    default: break;
  }
  if (options.command == DataCompilerOptions::Command::kCrfModel) {
    return CompileCrfModel(options, text);
  }
  return CompileNGram(options, text);
}

}  // namespace zorvseg_tools
