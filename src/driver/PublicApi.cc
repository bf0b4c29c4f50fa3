// The exported functions: start-up, handles and result access, each a thin
// mapping onto LxSegmentor and the process-wide resources.
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <system_error>
#include <thread>

#include "ascii/AsciiDict.h"
#include "custom/AdditionalRule.h"
#include "custom/CustomDictContainer.h"
#include "custom/CustomRule.h"
#include "dict/CoreDict.h"
#include "dict/CoreRule.h"
#include "dict/NGram.h"
#include "driver/DataManifest.h"
#include "driver/HandleRegistry.h"
#include "driver/LxSegmentor.h"
#include "lattice/UnknownWordFinder.h"
#include "ner/NEDict.h"
#include "ner/NEPattern.h"
#include "ner/NameEntityRecognition.h"
#include "ner/NerRule.h"
#include "pos/CSegmentTag.h"
#include "pos/PosInterveneCoredict.h"
#include "zorvseg.h"

namespace new_seg {

namespace {

typedef bool (*Loader)(const char* path);
typedef void (*Releaser)();

struct LoadStep {
  const char* file_name;
  Loader loader;      // null while the resource has no loader in this build
  Releaser release;
};

// The fixed load order of the data directory. LxInitSeg stops at the first
// loader that fails and releases what the earlier steps loaded, so a later
// LxInitSeg starts from nothing.
const LoadStep kLoadOrder[] = {
    {"core_dict.dat", &CoreDict::Init, [] { CoreDict::UnInit(); }},
    {"core_rule.dat", &CoreRule::Init, [] { CoreRule::UnInit(); }},
    {"ngram.dat", &NGram::Init, [] { NGram::UnInit(); }},
    {"t2s.dat", &SentenceNormalizer::Init, &SentenceNormalizer::UnInit},
    {"tag_info.dat", &CSegmentTag::Init, [] { CSegmentTag::UnInit(); }},
    {"tag_context.dat", &CSegmentTag::InitContext, &CSegmentTag::UnInitContext},
    {"ne_dict.dat", &NEDict::Init, [] { NEDict::UnInit(); }},
    {"name.dat", &NEDict::load_compound_surname, [] { NEDict::UnInit(); }},
    {"ne_pattern.dat", &NEPattern::Init, [] { NEPattern::UnInit(); }},
    {"ne_model.dat", &NameEntityRecognition::Init, [] { NameEntityRecognition::UnInit(); }},
    {"custom_word/", &CustomDictContainer::Init, &CustomDictContainer::UnInit},
    {"custom_rule.dat", &CustomRule::Init, [] { CustomRule::UnInit(); }},
    {"additional_rule.dat", &AdditionalRule::Init, [] { AdditionalRule::UnInit(); }},
    {"pos_intervene_dict.dat", &PosInterveneCoredict::Init,
     [] { PosInterveneCoredict::UnInit(); }},
    {"ner_rules.txt", &NerRule::load_dict, &NerRule::unload_dict},
    {"ascii_dict.txt", &AsciiDict::Init, &AsciiDict::UnInit},
    // Only remembered here: read by the first sentence that needs it.
    {"unk_model.dat", &UnknownWordFinder::SetModelPath, &UnknownWordFinder::UnInit},
};

// The directory whose resources are loaded (as LxInitSeg resolved it), or
// empty while nothing is loaded.
std::string& LoadedDirectory() {
  static std::string* directory = new std::string;
  return *directory;
}

void ReleaseAll() {
  for (const LoadStep& step : kLoadOrder) {
    if (step.release != nullptr) step.release();
  }
  LoadedDirectory().clear();
}

// The directory with a trailing '/', and the name two spellings of the same
// directory share (its real path, when it resolves).
std::string WithSlash(std::string dir) {
  if (dir.empty()) dir = ".";
  if (dir.back() != '/') dir += '/';
  return dir;
}

std::string Identity(const std::string& dir) {
  char* real = realpath(dir.c_str(), nullptr);
  if (real == nullptr) return dir;
  std::string identity = WithSlash(real);
  free(real);
  return identity;
}

// Laying out the n-gram pairs for the search takes about as long as loading
// every file after the n-gram tries: it runs on a thread of its own
// meanwhile. It reads only the tries and the word count, which the later
// steps leave alone; Finish waits for it, and comes before anything is
// released or the directory counts as loaded.
class PairTableBuild {
 public:
  PairTableBuild() = default;
  PairTableBuild(const PairTableBuild&) = delete;
  PairTableBuild& operator=(const PairTableBuild&) = delete;
  ~PairTableBuild() { Finish(); }

  void Start(size_t word_count) {
    try {
      thread_ = std::thread(&NGram::BuildPairTable, word_count);
    } catch (const std::system_error&) {
      NGram::BuildPairTable(word_count);  // no thread to be had: build it here
    }
  }
  void Finish() {
    if (thread_.joinable()) thread_.join();
  }

 private:
  std::thread thread_;
};

LxSegmentor* Segmentor(HANDLE handle) { return HandleRegistry::Find(handle); }

// Result indices are compared as signed 32-bit numbers; anything that does
// not fit (2^32 included) is out of range rather than cut to its low bits.
int Narrow(size_t index) { return index > INT32_MAX ? -1 : static_cast<int>(index); }

const char* const kPosNames[] = {
    "unk", "a",  "ad", "an", "b",  "c",  "d",  "e",  "f",  "g",  "h",  "i",  "j",  "k",
    "l",   "m",  "n",  "nr", "nrf", "nrg", "ns", "nt", "nz", "nx", "o",  "p",  "q",  "r",
    "s",   "t",  "u",  "v",  "vd", "vn", "w",  "x",  "y",  "z",  "Ag", "Bg", "Dg", "Mg",
    "Ng",  "Qg", "Rg", "Tg", "Vg", "Yg", "Zg", "unk", "www", "tele", "email"};

}  // namespace

bool LxInitSeg(const char* data_path) {
  if (data_path == nullptr) return false;
  std::string dir = WithSlash(data_path);
  std::string identity = Identity(dir);
  const std::string& loaded = LoadedDirectory();
  if (!loaded.empty()) {
    if (loaded == identity) return true;
    std::fprintf(stderr,
                 "LxInitSeg: %s: the data directory %s is already loaded; "
                 "call LxUnInitSeg first\n",
                 data_path, loaded.c_str());
    return false;
  }
  // Resources a caller loaded one by one are dropped too, so that every
  // file comes from this directory.
  ReleaseAll();
  if (!DataManifest::VerifyDirectory(dir)) return false;
  PairTableBuild pair_table;
  for (const LoadStep& step : kLoadOrder) {
    if (step.loader == nullptr) continue;
    std::string path = dir + step.file_name;
    if (!step.loader(path.c_str())) {
      pair_table.Finish();
      ReleaseAll();
      return false;
    }
    if (step.loader == &NGram::Init) {
      pair_table.Start(static_cast<size_t>(CoreDict::GetSize()));
    }
  }
  pair_table.Finish();
  LoadedDirectory() = identity;
  return true;
}

void LxUnInitSeg() { ReleaseAll(); }

HANDLE LxCreateSegHandle(int32_t seg_mode) {
  LxSegmentor* segmentor = new (std::nothrow) LxSegmentor(seg_mode);
  if (segmentor == nullptr) return nullptr;
  HANDLE handle = segmentor->Init() ? HandleRegistry::Add(segmentor) : nullptr;
  if (handle == nullptr) delete segmentor;
  return handle;
}

void LxCloseSegHandle(HANDLE seg_handle) { delete HandleRegistry::Remove(seg_handle); }

void ResetSegMode(HANDLE seg_handle, int32_t seg_mode_value) {
  if (LxSegmentor* segmentor = Segmentor(seg_handle)) segmentor->ResetSegMode(seg_mode_value);
}

bool LxSegment(HANDLE seg_handle, const char* text, size_t len, size_t charset) {
  LxSegmentor* segmentor = Segmentor(seg_handle);
  return segmentor != nullptr && segmentor->segment(text, len, charset);
}

size_t LxGetResultCnt(HANDLE seg_handle) {
  LxSegmentor* segmentor = Segmentor(seg_handle);
  return segmentor == nullptr ? 0 : segmentor->GetBasicResCount();
}

pWP LxGetAt(HANDLE seg_handle, int index) {
  LxSegmentor* segmentor = Segmentor(seg_handle);
  return segmentor == nullptr ? nullptr : segmentor->GetWordPosAt(index);
}

const char* LxGetWordAt(HANDLE seg_handle, size_t index) {
  LxSegmentor* segmentor = Segmentor(seg_handle);
  return segmentor == nullptr ? nullptr : segmentor->GetBasicAt(Narrow(index));
}

const token_t* LxGetBasicTokenAt(HANDLE seg_handle, int32_t idx) {
  LxSegmentor* segmentor = Segmentor(seg_handle);
  return segmentor == nullptr ? nullptr : segmentor->GetBasicTokenAt(idx);
}

size_t LxGetPhraseCnt(HANDLE seg_handle) {
  LxSegmentor* segmentor = Segmentor(seg_handle);
  return segmentor == nullptr ? 0 : segmentor->GetPhraseResCount();
}

const char* LxGetPhraseAt(HANDLE seg_handle, size_t index) {
  LxSegmentor* segmentor = Segmentor(seg_handle);
  return segmentor == nullptr ? nullptr : segmentor->GetPhraseAt(Narrow(index));
}

const comb_token_t* LxGetPhraseTokenAt(HANDLE seg_handle, int32_t idx) {
  LxSegmentor* segmentor = Segmentor(seg_handle);
  return segmentor == nullptr ? nullptr : segmentor->GetPhraseTokenAt(idx);
}

size_t LxGetMixWordCnt(HANDLE seg_handle) {
  LxSegmentor* segmentor = Segmentor(seg_handle);
  return segmentor == nullptr ? 0 : segmentor->GetMixResCount();
}

const char* LxGetMixWordAt(HANDLE seg_handle, size_t index) {
  LxSegmentor* segmentor = Segmentor(seg_handle);
  return segmentor == nullptr ? nullptr : segmentor->GetMixWordAt(Narrow(index));
}

const token_t* LxGetMixTokenAt(HANDLE seg_handle, int32_t idx) {
  LxSegmentor* segmentor = Segmentor(seg_handle);
  return segmentor == nullptr ? nullptr : segmentor->GetMixTokenAt(idx);
}

size_t LxGetAdditionalTokenCnt(HANDLE seg_handle) {
  LxSegmentor* segmentor = Segmentor(seg_handle);
  return segmentor == nullptr ? 0 : segmentor->GetAdditionalResCount();
}

const additional_token_t* LxGetAdditionalTokenAt(HANDLE seg_handle, size_t idx) {
  LxSegmentor* segmentor = Segmentor(seg_handle);
  return segmentor == nullptr ? nullptr : segmentor->GetAdditionalTokenAt(Narrow(idx));
}

const token_span_t* LxGetBasicSpanAt(HANDLE seg_handle, int32_t idx) {
  LxSegmentor* segmentor = Segmentor(seg_handle);
  return segmentor == nullptr ? nullptr : segmentor->GetBasicSpanAt(idx);
}

const token_span_t* LxGetPhraseSpanAt(HANDLE seg_handle, int32_t idx) {
  LxSegmentor* segmentor = Segmentor(seg_handle);
  return segmentor == nullptr ? nullptr : segmentor->GetPhraseSpanAt(idx);
}

const token_span_t* LxGetMixSpanAt(HANDLE seg_handle, int32_t idx) {
  LxSegmentor* segmentor = Segmentor(seg_handle);
  return segmentor == nullptr ? nullptr : segmentor->GetMixSpanAt(idx);
}

void LxGetAllSegInfo(HANDLE seg_handle, seg_tokens_t& seg_tokens) {
  LxSegmentor* segmentor = Segmentor(seg_handle);
  if (segmentor == nullptr) {
    seg_tokens = seg_tokens_t();
    return;
  }
  seg_tokens = *segmentor->GetSegResAll();
}

namespace {

// Custom dictionaries live beside the loaded resources: before LxInitSeg
// (or after LxUnInitSeg) there is no working dictionary to add to.
bool ReadyForCustomDicts(const char* call) {
  if (!LoadedDirectory().empty()) return true;
  std::fprintf(stderr, "%s: no data directory is loaded; call LxInitSeg first\n", call);
  return false;
}

}  // namespace

size_t LxAddCustomDict(const char* dict_path) {
  if (!ReadyForCustomDicts("LxAddCustomDict")) return 0;
  return CustomDictContainer::AddDict(dict_path);
}

bool LxUpdateCustomDict(const char* dict_path, size_t ID) {
  if (!ReadyForCustomDicts("LxUpdateCustomDict")) return false;
  return CustomDictContainer::UpdateDict(dict_path, ID);
}

void LxDelCustomDict(size_t ID) { CustomDictContainer::DelDict(ID); }

void LxSwitchCustomDictTo(size_t ID) { CustomDictContainer::SwitchDictTo(ID); }

size_t LxGetWorkingCustomDictID() { return CustomDictContainer::GetWorkingDictID(); }

void LxPosId2Str(unsigned char pos_id, char* pos_str) {
  const size_t kNameCount = sizeof(kPosNames) / sizeof(kPosNames[0]);
  const char* name = pos_id < kNameCount ? kPosNames[pos_id] : "unk";
  strcpy(pos_str, name);
}

}  // namespace new_seg
