// Every loader of the data directory over mutated files. The first byte
// picks the file, the rest is its content: the whole directory is loaded
// once, then each input releases that one resource, loads the mutated file
// in its place as LxInitSeg would, segments a few sentences in modes that use
// it when it loaded, and puts the real file back. One target for all the
// loaders keeps one build and one run to schedule, and lets a mutation carry
// one file's bytes to another loader.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "FuzzWorkspace.h"
#include "ascii/AsciiDict.h"
#include "custom/AdditionalRule.h"
#include "custom/CustomDictContainer.h"
#include "custom/CustomRule.h"
#include "dict/CoreDict.h"
#include "dict/CoreRule.h"
#include "dict/NGram.h"
#include "lattice/UnknownWordFinder.h"
#include "ner/NEDict.h"
#include "ner/NEPattern.h"
#include "ner/NameEntityRecognition.h"
#include "ner/NerRule.h"
#include "pos/CSegmentTag.h"
#include "pos/PosInterveneCoredict.h"
#include "text/SentenceNormalizer.h"
#include "zorvseg.h"

namespace {

using namespace new_seg;

typedef bool (*Loader)(const char* path);

// A file of the data directory and how it is loaded: `load_as` is the path
// under the directory the loader is given (the n-gram loader takes the name
// its four files share, the custom-word loader a directory) and `release`
// drops what the loader loaded. Two entity files share one release: the
// real `before` file is loaded ahead of this one and the real `after` file
// behind it, in the order of start-up. `pairs`: the n-gram pair table is
// built again from this resource, as at start-up.
struct LoaderCase {
  const char* file;
  const char* load_as;
  Loader load;
  void (*release)();
  bool pairs = false;
  const char* before = nullptr;
  const char* after = nullptr;
};

const LoaderCase kCases[] = {
    {"core_dict.dat", "core_dict.dat", &CoreDict::Init, [] { CoreDict::UnInit(); }, true},
    {"core_rule.dat", "core_rule.dat", &CoreRule::Init, [] { CoreRule::UnInit(); }},
    {"ngram.dat0", "ngram.dat", &NGram::Init, [] { NGram::UnInit(); }, true},
    {"ngram.dat1", "ngram.dat", &NGram::Init, [] { NGram::UnInit(); }, true},
    {"ngram.dat2", "ngram.dat", &NGram::Init, [] { NGram::UnInit(); }, true},
    {"ngram.dat3", "ngram.dat", &NGram::Init, [] { NGram::UnInit(); }, true},
    {"t2s.dat", "t2s.dat", &SentenceNormalizer::Init, &SentenceNormalizer::UnInit},
    {"tag_info.dat", "tag_info.dat", &CSegmentTag::Init, [] { CSegmentTag::UnInit(); }},
    {"tag_context.dat", "tag_context.dat", &CSegmentTag::InitContext, &CSegmentTag::UnInitContext},
    {"ne_dict.dat", "ne_dict.dat", &NEDict::Init, [] { NEDict::UnInit(); }, false, nullptr,
     "name.dat"},
    {"name.dat", "name.dat", &NEDict::load_compound_surname, [] { NEDict::UnInit(); }, false,
     "ne_dict.dat"},
    {"ne_pattern.dat", "ne_pattern.dat", &NEPattern::Init, [] { NEPattern::UnInit(); }},
    {"ne_model.dat", "ne_model.dat", &NameEntityRecognition::Init,
     [] { NameEntityRecognition::UnInit(); }},
    {"custom_word/words.txt", "custom_word/", &CustomDictContainer::Init,
     &CustomDictContainer::UnInit},
    {"custom_rule.dat", "custom_rule.dat", &CustomRule::Init, [] { CustomRule::UnInit(); }},
    {"additional_rule.dat", "additional_rule.dat", &AdditionalRule::Init,
     [] { AdditionalRule::UnInit(); }},
    {"pos_intervene_dict.dat", "pos_intervene_dict.dat", &PosInterveneCoredict::Init,
     [] { PosInterveneCoredict::UnInit(); }},
    {"ner_rules.txt", "ner_rules.txt", &NerRule::load_dict, &NerRule::unload_dict},
    {"ascii_dict.txt", "ascii_dict.txt", &AsciiDict::Init, &AsciiDict::UnInit},
    // Only its path is taken here: the first sentence of a mode that finds
    // unknown words reads the model.
    {"unk_model.dat", "unk_model.dat", &UnknownWordFinder::SetModelPath,
     &UnknownWordFinder::UnInit},
};
const size_t kCaseCount = sizeof(kCases) / sizeof(kCases[0]);

const char* const kSentences[] = {
    "1998年12月7日，北京大学的王小明在天安门广场说：Hello World! 电话010-12345678。",
    "乾隆皇帝扭轉乾坤，張三豐與李四去了上海浦東新區的中國銀行。",
    "ＡＢＣ公司２０２６年第３季度营收增长１５．５％，e-mail: a.b@example.com http://x.cn/a?b=1",
    "他说的确实在理，研究生命起源；ｃ＋＋和python 3都很好用。",
    "冫氵丬龠彡是几个少见的偏旁。",
};

// Modes that between them reach every resource: tagging, entities, custom
// words and rules, additional rules, the ASCII dictionary, conversion, the
// unknown-word model.
const int32_t kModes[] = {
    kModeModuleDefault | kModeUseCustomWord | kModeUseCustomRule | kModeUseAdditionalRuleMode,
    kModeCommandLineDefault | kModeNeName | kModeAdjustNe | kModeUseAsciiLmMode |
        kModeUsePhrase | kModeFindUnknownWords,
    kModeSingleWord | kModeUpperToLower | kModeUseAsciiLmPinyin | kModeUseWholeMode,
};

bool IsDirectory(const LoaderCase& c) { return std::string(c.load_as).back() == '/'; }

// Loads the case's file from `dir` with its neighbours from the data
// directory, as start-up would; false when a loader refuses.
bool LoadFrom(const LoaderCase& c, const std::string& dir) {
  const std::string& real = FuzzWorkspace::Get().data_dir();
  bool loaded = (c.before == nullptr || NEDict::Init((real + c.before).c_str())) &&
                c.load((dir + c.load_as).c_str()) &&
                (c.after == nullptr || NEDict::load_compound_surname((real + c.after).c_str()));
  if (loaded && c.pairs) NGram::BuildPairTable(static_cast<size_t>(CoreDict::GetSize()));
  return loaded;
}

void SegmentSentences() {
  HANDLE handle = LxCreateSegHandle(kModes[0]);
  for (int32_t mode : kModes) {
    ResetSegMode(handle, mode);
    for (const char* sentence : kSentences) {
      std::string text(sentence);
      if (LxSegment(handle, text.data(), text.size(), kCharsetUTF8)) {
        FuzzWorkspace::ReadEveryResult(handle, text.size());
      }
    }
  }
  LxCloseSegHandle(handle);
}

void LinkToRealFile(const std::string& name) {
  FuzzWorkspace& workspace = FuzzWorkspace::Get();
  std::string link = workspace.ScratchPath(name);
  unlink(link.c_str());
  if (symlink(workspace.DataFile(name).c_str(), link.c_str()) != 0) {
    std::fprintf(stderr, "fuzz: cannot link %s\n", link.c_str());
    std::exit(2);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FuzzWorkspace& workspace = FuzzWorkspace::Get();
  workspace.LoadDataDirectory();
  // The scratch directory mirrors the data directory by links; a mutated
  // file replaces one link for one input.
  mkdir(workspace.ScratchPath("custom_word").c_str(), 0755);
  for (const LoaderCase& c : kCases) {
    if (!IsDirectory(c)) LinkToRealFile(c.file);
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const LoaderCase& c = kCases[data[0] % kCaseCount];
  FuzzWorkspace& workspace = FuzzWorkspace::Get();
  workspace.WriteScratch(c.file, data + 1, size - 1);
  c.release();
  if (LoadFrom(c, workspace.ScratchPath(""))) SegmentSentences();
  // The real file back, as the data directory has it.
  c.release();
  if (IsDirectory(c)) {
    unlink(workspace.ScratchPath(c.file).c_str());
  } else {
    LinkToRealFile(c.file);
  }
  if (!LoadFrom(c, workspace.data_dir())) {
    std::fprintf(stderr, "fuzz: the real %s no longer loads\n", c.file);
    std::abort();
  }
  return 0;
}
