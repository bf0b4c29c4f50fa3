// zorvseg: segments text files (or standard input) line by line and writes
// one output line per input line.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/BatchSegmenter.h"
#include "common/DataDirectory.h"
#include "common/LineReader.h"
#include "common/OrderedBatchRunner.h"
#include "common/OutputFile.h"
#include "common/PresegmentedBatchTagger.h"
#include "common/ProgressBar.h"
#include "zorvseg.h"

using zorvseg_tools::OutputFormat;

namespace {

// Tagging, full-width to half-width and traditional to simplified, with the
// full ASCII segmentation: it scores best against the segmentation standard
// the data is trained on. Simple ASCII mode cuts decimals and percentages
// ("40 . 89", "50 %"), and person-name tags wait for entity recognition.
const int32_t kCommandLineMode = new_seg::kModeCommandLineDefault;
const int32_t kAsciiModeBits = new_seg::kModeUseWholeMode | new_seg::kModeUseSimpleMode |
                               new_seg::kModeUseAsciiLmMode | new_seg::kModeUseAsciiLmPinyin;
const int32_t kWholeNameBits =
    new_seg::kModeNePerWhole | new_seg::kModeNeOrgWhole | new_seg::kModeNeLocWhole;

struct Options {
  std::string data_dir;
  int32_t mode = kCommandLineMode;
  // Bits the named switches turn on and off, on top of mode.
  int32_t mode_on = 0;
  int32_t mode_off = 0;
  bool mode_given = false;  // --mode on the command line
  bool gbk = false;
  OutputFormat format = OutputFormat::kWords;
  std::vector<std::string> user_dicts;
  bool presegmented = false;
  std::vector<std::string> inputs;
  std::string output;
  bool progress = true;
  int jobs = 1;  // segmenting threads, each with its own handle

  int32_t EffectiveMode() const {
    int32_t effective = (mode & ~mode_off) | mode_on;
    if (!user_dicts.empty()) effective |= new_seg::kModeUseCustomWord;
    if (format == OutputFormat::kEntities) effective |= new_seg::kModeNeName;
    return effective;
  }
};

// A named switch for mode bits: the bits it turns on and off.
struct ModeSwitch {
  const char* name;
  int32_t on;
  int32_t off;
};

const ModeSwitch kModeSwitches[] = {
    {"--pos-tags", new_seg::kModePosTag, 0},
    {"--no-pos-tags", 0, new_seg::kModePosTag},
    {"--entities", new_seg::kModeNeName, 0},
    {"--no-entities", 0, new_seg::kModeNeName | kWholeNameBits},
    {"--whole-names", new_seg::kModeNeName | kWholeNameBits, 0},
    {"--t2s", new_seg::kModeTraditionalToSimplified, 0},
    {"--no-t2s", 0, new_seg::kModeTraditionalToSimplified},
    {"--half-width", new_seg::kModeSbcToDbc, 0},
    {"--no-half-width", 0, new_seg::kModeSbcToDbc},
    {"--lower-case", new_seg::kModeUpperToLower, 0},
    {"--single-chars", new_seg::kModeSingleWord, 0},
    {"--unknown-words", new_seg::kModeFindUnknownWords, 0},
    {"--no-unknown-words", 0, new_seg::kModeFindUnknownWords},
};

struct NamedValue {
  const char* name;
  int32_t bits;
};

const NamedValue kAsciiModes[] = {
    {"full", 0},
    {"simple", new_seg::kModeUseSimpleMode},
    {"whole", new_seg::kModeUseWholeMode},
    {"lm", new_seg::kModeUseAsciiLmMode},
    {"lm-pinyin", new_seg::kModeUseAsciiLmMode | new_seg::kModeUseAsciiLmPinyin},
};

struct NamedFormat {
  const char* name;
  OutputFormat format;
};

const NamedFormat kFormats[] = {
    {"words", OutputFormat::kWords},     {"pos", OutputFormat::kPos},
    {"mix", OutputFormat::kMix},         {"phrases", OutputFormat::kPhrases},
    {"entities", OutputFormat::kEntities}, {"json", OutputFormat::kJson},
};

const char kUsage[] =
    "usage: zorvseg [OPTIONS] [FILE...]\n"
    "\n"
    "Segments Chinese text into words. Reads the FILEs in order (standard input\n"
    "when there are none, or for '-') and writes exactly one line per input line.\n"
    "\n"
    "Output:\n"
    "  -o, --output FILE   write to FILE instead of standard output\n"
    "  --format F          words:    basic words separated by spaces (default)\n"
    "                      pos:      basic words as word/tag\n"
    "                      mix:      mix words (qualifying phrases, URLs and e-mail\n"
    "                                addresses taken whole)\n"
    "                      phrases:  phrases only\n"
    "                      entities: recognised entities as text/TYPE (PER, LOC,\n"
    "                                ORG, DATE); turns on --entities\n"
    "                      json:     one JSON object per line: words with tags and\n"
    "                                character offsets, phrases, mix words, entities\n"
    "  --gbk               input and output are GBK instead of UTF-8 (not with json)\n"
    "  -j, --jobs N        segment with N threads (default 1); the output is the\n"
    "                      same, in input order\n"
    "  --no-progress       no progress bar (shown on standard error when it is a\n"
    "                      terminal and every input is a file)\n"
    "\n"
    "Segmentation (switches apply on top of --mode, the last one given wins):\n"
    "  --mode HEX          mode bits (default 0x400214: --pos-tags --half-width\n"
    "                      --t2s --ascii full --unknown-words)\n"
    "  --pos-tags, --no-pos-tags          part-of-speech tagging\n"
    "  --entities, --no-entities          recognise person, location and\n"
    "                                     organization names and dates\n"
    "  --whole-names       keep recognised names as one word (turns on --entities)\n"
    "  --t2s, --no-t2s     traditional to simplified characters\n"
    "  --half-width, --no-half-width      full-width to half-width characters\n"
    "  --lower-case        print words lower-cased\n"
    "  --single-chars      cut into single characters\n"
    "  --unknown-words, --no-unknown-words  propose words the dictionary lacks\n"
    "                                     (names, new words) from the data\n"
    "                                     directory's character model\n"
    "  --ascii M           Latin letters, digits and symbols: full (patterns and\n"
    "                      dictionary words), simple (runs of letters, of digits,\n"
    "                      of one symbol), whole (cut at spaces only), lm (English\n"
    "                      word model), lm-pinyin (English or pinyin)\n"
    "  --user-dict PATH    user word list: a file, or a directory of files, with one\n"
    "                      entry per line, word[,tag] (tag n by default; '#' starts\n"
    "                      a comment), UTF-8 or GBK. Where a listed word starts and\n"
    "                      ends on word boundaries and is at least as long as the\n"
    "                      word at its start, it replaces the words it spans.\n"
    "                      Repeatable: every list is loaded, the last one given is\n"
    "                      the one consulted. Turns on mode bit 0x08.\n"
    "  --presegmented      the input is already segmented (words separated by\n"
    "                      spaces): tag it as given and print word/tag\n"
    "  --data DIR          data directory (default: the installed one, or ../data\n"
    "                      beside the executable in a build tree)\n"
    "\n"
    "  -h, --help          show this help\n"
    "  --version           show the version\n"
    "\n"
    "Examples:\n"
    "  echo '我爱北京天安门' | zorvseg\n"
    "  zorvseg --format pos news.txt -o news.seg\n"
    "  zorvseg --format json --entities news.txt\n"
    "  zorvseg --ascii whole --no-t2s a.txt b.txt > ab.seg\n"
    "  zorvseg --user-dict words.txt --format mix news.txt\n"
    "\n"
    "Words that are only white space are left out. Exit status: 0 success;\n"
    "1 failure (an input that cannot be read, an output that cannot be written,\n"
    "a data directory that cannot be loaded, a segmentation error); 2 usage error.\n";

enum class Parsed { kRun, kDone, kUsageError };

bool ParseMode(const char* text, int32_t& mode) {
  errno = 0;
  char* end = nullptr;
  unsigned long value = strtoul(text, &end, 16);
  if (errno != 0 || end == text || *end != '\0' || value > 0xFFFFFFFFul) return false;
  mode = static_cast<int32_t>(static_cast<uint32_t>(value));
  return true;
}

void ApplySwitch(int32_t on, int32_t off, Options& options) {
  options.mode_on = (options.mode_on & ~off) | on;
  options.mode_off = (options.mode_off & ~on) | off;
}

bool ApplyModeSwitch(const std::string& arg, Options& options) {
  for (const ModeSwitch& entry : kModeSwitches) {
    if (arg != entry.name) continue;
    ApplySwitch(entry.on, entry.off, options);
    return true;
  }
  return false;
}

bool ParseAsciiMode(const std::string& name, Options& options) {
  for (const NamedValue& entry : kAsciiModes) {
    if (name != entry.name) continue;
    ApplySwitch(entry.bits, kAsciiModeBits & ~entry.bits, options);
    return true;
  }
  return false;
}

bool ParseFormat(const std::string& name, OutputFormat& format) {
  for (const NamedFormat& entry : kFormats) {
    if (name != entry.name) continue;
    format = entry.format;
    return true;
  }
  return false;
}

const int kMaxJobs = 256;

bool ParseJobs(const std::string& text, int& jobs) {
  char* end = nullptr;
  errno = 0;
  long value = strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno != 0 || value < 1 || value > kMaxJobs) return false;
  jobs = static_cast<int>(value);
  return true;
}

// Options taking a value accept "--name value" and "--name=value".
bool TakesValue(const std::string& name) {
  return name == "--data" || name == "--mode" || name == "--format" || name == "--ascii" ||
         name == "--user-dict" || name == "--output" || name == "-o" || name == "--jobs" ||
         name == "-j";
}

Parsed ParseValueOption(const std::string& name, const std::string& value, Options& options) {
  if (name == "--data") {
    options.data_dir = value;
  } else if (name == "--mode") {
    options.mode_given = true;
    if (!ParseMode(value.c_str(), options.mode)) {
      fprintf(stderr, "zorvseg: --mode wants a hexadecimal number, got '%s'\n", value.c_str());
      return Parsed::kUsageError;
    }
  } else if (name == "--format") {
    if (!ParseFormat(value, options.format)) {
      fprintf(stderr, "zorvseg: unknown --format '%s' (words, pos, mix, phrases, entities, json)\n",
              value.c_str());
      return Parsed::kUsageError;
    }
  } else if (name == "--ascii") {
    if (!ParseAsciiMode(value, options)) {
      fprintf(stderr, "zorvseg: unknown --ascii '%s' (full, simple, whole, lm, lm-pinyin)\n",
              value.c_str());
      return Parsed::kUsageError;
    }
  } else if (name == "--user-dict") {
    options.user_dicts.push_back(value);
  } else if (name == "--jobs" || name == "-j") {
    if (!ParseJobs(value, options.jobs)) {
      fprintf(stderr, "zorvseg: %s wants a number of threads from 1 to %d, got '%s'\n",
              name.c_str(), kMaxJobs, value.c_str());
      return Parsed::kUsageError;
    }
  } else {  // -o, --output
    options.output = value;
  }
  return Parsed::kRun;
}

Parsed UsageError(const char* format, const std::string& arg) {
  fprintf(stderr, "zorvseg: ");
  fprintf(stderr, format, arg.c_str());
  fprintf(stderr, "\nTry 'zorvseg --help'.\n");
  return Parsed::kUsageError;
}

Parsed ParseOptions(int argc, char** argv, Options& options) {
  bool only_files = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (only_files || arg == "-" || arg.empty() || arg[0] != '-') {
      options.inputs.push_back(arg);
      continue;
    }
    std::string name = arg, value;
    size_t equals = arg.find('=');
    bool inline_value = arg.compare(0, 2, "--") == 0 && equals != std::string::npos;
    if (inline_value) {
      name = arg.substr(0, equals);
      value = arg.substr(equals + 1);
    } else if (arg.size() > 2 && arg.compare(0, 2, "-j") == 0) {  // -j4
      name = "-j";
      value = arg.substr(2);
      inline_value = true;
    }
    if (TakesValue(name)) {
      if (!inline_value) {
        if (i + 1 >= argc) return UsageError("%s needs a value", name);
        value = argv[++i];
      }
      Parsed parsed = ParseValueOption(name, value, options);
      if (parsed != Parsed::kRun) return parsed;
      continue;
    }
    if (inline_value) return UsageError("%s takes no value", name);
    if (arg == "--") {
      only_files = true;
    } else if (arg == "--help" || arg == "-h") {
      fputs(kUsage, stdout);
      return Parsed::kDone;
    } else if (arg == "--version") {
      printf("zorvseg %s\n", ZORVSEG_VERSION);
      return Parsed::kDone;
    } else if (arg == "--gbk") {
      options.gbk = true;
    } else if (arg == "--presegmented") {
      options.presegmented = true;
    } else if (arg == "--no-progress") {
      options.progress = false;
    } else if (!ApplyModeSwitch(arg, options)) {
      return UsageError("unknown option '%s'", arg);
    }
  }
  if (options.gbk && options.format == OutputFormat::kJson) {
    return UsageError("%s: JSON is written in UTF-8; convert GBK input first", "--format json");
  }
  if (options.data_dir.empty()) options.data_dir = zorvseg_tools::DefaultDataDirectory();
  return Parsed::kRun;
}

// Every input must be a readable file before the data is loaded; the total
// size of the inputs is known when all of them are regular files.
bool CheckInputs(const std::vector<std::string>& inputs, uint64_t* known_size) {
  bool all_regular = !inputs.empty();
  uint64_t total = 0;
  for (const std::string& path : inputs) {
    if (path == "-") {
      all_regular = false;
      continue;
    }
    struct stat info;
    if (stat(path.c_str(), &info) != 0 || access(path.c_str(), R_OK) != 0) {
      fprintf(stderr, "zorvseg: cannot read '%s': %s\n", path.c_str(), strerror(errno));
      return false;
    }
    if (S_ISDIR(info.st_mode)) {
      fprintf(stderr, "zorvseg: cannot read '%s': it is a directory\n", path.c_str());
      return false;
    }
    all_regular = all_regular && S_ISREG(info.st_mode);
    total += static_cast<uint64_t>(info.st_size);
  }
  *known_size = all_regular ? total : 0;
  return true;
}

// Adds each list as a custom dictionary and makes the last one the working
// dictionary. The library takes a missing path for an empty list; here it is
// a mistake worth reporting.
bool AddUserDicts(const std::vector<std::string>& paths) {
  size_t last_id = 0;
  for (const std::string& path : paths) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
      fprintf(stderr, "zorvseg: user dictionary '%s': %s\n", path.c_str(), strerror(errno));
      return false;
    }
    last_id = new_seg::LxAddCustomDict(path.c_str());
    if (last_id == 0) {
      fprintf(stderr, "zorvseg: cannot load the user dictionary '%s'\n", path.c_str());
      return false;
    }
  }
  if (last_id != 0) new_seg::LxSwitchCustomDictTo(last_id);
  return true;
}

// Reads every batch, hands it to the processes (one thread each when there
// are several) and writes the output in input order. False when processing
// or writing failed; reading failures are the reader's to report.
bool ProcessAll(std::vector<zorvseg_tools::OrderedBatchRunner::Process> processes,
                zorvseg_tools::LineReader& reader, zorvseg_tools::OutputFile& output,
                zorvseg_tools::ProgressBar* progress) {
  zorvseg_tools::OrderedBatchRunner runner(std::move(processes));
  bool ok = runner.Run(reader, [&](const std::string& text, uint64_t bytes_read) {
    if (!output.Write(text)) return false;
    if (progress != nullptr) progress->Update(bytes_read);
    return true;
  });
  if (progress != nullptr) progress->Finish(reader.bytes_read());
  return ok;
}

bool SegmentAll(const Options& options, zorvseg_tools::LineReader& reader,
                zorvseg_tools::OutputFile& output, zorvseg_tools::ProgressBar* progress) {
  std::vector<new_seg::HANDLE> handles;
  std::vector<std::unique_ptr<zorvseg_tools::BatchSegmenter>> segmenters;
  std::vector<zorvseg_tools::OrderedBatchRunner::Process> processes;
  bool ok = true;
  for (int job = 0; job < options.jobs; ++job) {
    new_seg::HANDLE handle = new_seg::LxCreateSegHandle(options.EffectiveMode());
    if (handle == nullptr) {
      fprintf(stderr, "zorvseg: cannot create a segmentation handle\n");
      ok = false;
      break;
    }
    handles.push_back(handle);
    segmenters.emplace_back(new zorvseg_tools::BatchSegmenter(handle, options.format, options.gbk));
    zorvseg_tools::BatchSegmenter* segmenter = segmenters.back().get();
    processes.push_back([segmenter](const zorvseg_tools::TextBatch& batch, std::string* text) {
      return segmenter->Segment(batch, text);
    });
  }
  if (ok) ok = ProcessAll(std::move(processes), reader, output, progress);
  for (new_seg::HANDLE handle : handles) new_seg::LxCloseSegHandle(handle);
  return ok;
}

bool TagAll(const Options& options, zorvseg_tools::LineReader& reader,
            zorvseg_tools::OutputFile& output, zorvseg_tools::ProgressBar* progress) {
  std::vector<std::unique_ptr<zorvseg_tools::PresegmentedBatchTagger>> taggers;
  std::vector<zorvseg_tools::OrderedBatchRunner::Process> processes;
  for (int job = 0; job < options.jobs; ++job) {
    taggers.emplace_back(
        new zorvseg_tools::PresegmentedBatchTagger(options.EffectiveMode(), options.gbk));
    zorvseg_tools::PresegmentedBatchTagger* tagger = taggers.back().get();
    if (!tagger->Init()) {
      fprintf(stderr, "zorvseg: cannot set up the tagger\n");
      return false;
    }
    processes.push_back([tagger](const zorvseg_tools::TextBatch& batch, std::string* text) {
      tagger->Tag(batch, text);
      return true;
    });
  }
  return ProcessAll(std::move(processes), reader, output, progress);
}

// The unknown-word stage is on by default, but data directories built
// without its model (older ones, or ones made with zorvseg-build from other
// sources) are still complete for everything else: the default segments
// without the stage there, and says so. Asking for the stage (--mode with
// its bit, --unknown-words) keeps it, and the missing model is an error.
void DropDefaultStageWithoutModel(Options& options) {
  const int32_t stage = new_seg::kModeFindUnknownWords;
  bool asked = options.mode_given || (options.mode_on & stage) != 0;
  if (asked || !(options.EffectiveMode() & stage)) return;
  std::string model = options.data_dir + "/unk_model.dat";
  if (access(model.c_str(), R_OK) == 0) return;
  fprintf(stderr, "zorvseg: %s not found: segmenting without the unknown-word stage\n",
          model.c_str());
  options.mode_off |= stage;
}

int Run(const Options& options) {
  uint64_t known_size = 0;
  if (!CheckInputs(options.inputs, &known_size)) return 1;
  zorvseg_tools::OutputFile output;
  if (!output.Open(options.output)) return 1;
  if (!new_seg::LxInitSeg(options.data_dir.c_str())) {
    fprintf(stderr, "zorvseg: cannot load the data directory '%s'\n", options.data_dir.c_str());
    return 1;
  }
  // Dictionaries are process-wide and must not change while a handle
  // segments: all of them are loaded before the handle exists.
  bool ok = AddUserDicts(options.user_dicts);
  if (ok) {
    zorvseg_tools::LineReader reader(options.inputs, options.gbk);
    bool show_progress = options.progress && known_size > 0 && isatty(STDERR_FILENO);
    zorvseg_tools::ProgressBar progress(known_size, stderr);
    zorvseg_tools::ProgressBar* bar = show_progress ? &progress : nullptr;
    ok = options.presegmented ? TagAll(options, reader, output, bar)
                              : SegmentAll(options, reader, output, bar);
    ok = !reader.failed() && ok;
  }
  new_seg::LxUnInitSeg();
  ok = output.Close() && ok;
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  switch (ParseOptions(argc, argv, options)) {
    case Parsed::kDone: return 0;
    case Parsed::kUsageError: return 2;
    case Parsed::kRun: break;
  }
  DropDefaultStageWithoutModel(options);
  return Run(options);
}
