// The exported functions: start-up, handles and result access, each a thin
// mapping onto LxSegmentor and the process-wide resources.
#include <cstring>
#include <new>
#include <string>

#include "ascii/AsciiDict.h"
#include "custom/AdditionalRule.h"
#include "custom/CustomDictContainer.h"
#include "custom/CustomRule.h"
#include "dict/CoreDict.h"
#include "dict/CoreRule.h"
#include "dict/NGram.h"
#include "driver/LxSegmentor.h"
#include "pos/CSegmentTag.h"
#include "pos/PosInterveneCoredict.h"
#include "zorvseg.h"

namespace new_seg {

namespace {

typedef bool (*Loader)(const char* path);

struct LoadStep {
  const char* file_name;
  Loader loader;  // null while the resource has no loader in this build
};

// The fixed load order of the data directory. LxInitSeg stops at the first
// loader that fails; what earlier steps loaded stays loaded.
const LoadStep kLoadOrder[] = {
    {"core_dict.dat", &CoreDict::Init},
    {"core_rule.dat", &CoreRule::Init},
    {"ngram.dat", &NGram::Init},
    {"t2s.dat", &SentenceNormalizer::Init},
    {"tag_info.dat", &CSegmentTag::Init},
    {"ne_dict.dat", nullptr},
    {"name.dat", nullptr},
    {"ne_pattern.dat", nullptr},
    {"ne_model.dat", nullptr},
    {"custom_word/", &CustomDictContainer::Init},
    {"custom_rule.dat", &CustomRule::Init},
    {"additional_rule.dat", &AdditionalRule::Init},
    {"pos_intervene_dict.dat", &PosInterveneCoredict::Init},
    {"ner_rules.txt", nullptr},
    {"ascii_dict.txt", &AsciiDict::Init},
};

LxSegmentor* Segmentor(HANDLE handle) { return static_cast<LxSegmentor*>(handle); }

// Accessors take size_t in places but compare as a signed 32-bit index.
int Narrow(size_t index) { return static_cast<int>(static_cast<int32_t>(index)); }

const char* const kPosNames[] = {
    "unk", "a",  "ad", "an", "b",  "c",  "d",  "e",  "f",  "g",  "h",  "i",  "j",  "k",
    "l",   "m",  "n",  "nr", "nrf", "nrg", "ns", "nt", "nz", "nx", "o",  "p",  "q",  "r",
    "s",   "t",  "u",  "v",  "vd", "vn", "w",  "x",  "y",  "z",  "Ag", "Bg", "Dg", "Mg",
    "Ng",  "Qg", "Rg", "Tg", "Vg", "Yg", "Zg", "unk", "www", "tele", "email"};

}  // namespace

bool LxInitSeg(const char* data_path) {
  if (data_path == nullptr) return false;
  std::string dir(data_path);
  if (dir.empty()) dir = ".";
  if (dir.back() != '/') dir += '/';
  for (const LoadStep& step : kLoadOrder) {
    if (step.loader == nullptr) continue;
    std::string path = dir + step.file_name;
    if (!step.loader(path.c_str())) return false;
  }
  NGram::CacheBackedOffCosts(static_cast<size_t>(CoreDict::GetSize()));
  return true;
}

void LxUnInitSeg() {
  CoreDict::UnInit();
  CoreRule::UnInit();
  NGram::UnInit();
  SentenceNormalizer::UnInit();
  CSegmentTag::UnInit();
  CustomDictContainer::UnInit();
  CustomRule::UnInit();
  AdditionalRule::UnInit();
  PosInterveneCoredict::UnInit();
}

HANDLE LxCreateSegHandle(int32_t seg_mode) {
  LxSegmentor* segmentor = new (std::nothrow) LxSegmentor(seg_mode);
  if (segmentor == nullptr) return nullptr;
  if (!segmentor->Init()) {
    delete segmentor;
    return nullptr;
  }
  return segmentor;
}

void LxCloseSegHandle(HANDLE seg_handle) { delete Segmentor(seg_handle); }

void ResetSegMode(HANDLE seg_handle, int32_t seg_mode_value) {
  Segmentor(seg_handle)->ResetSegMode(seg_mode_value);
}

bool LxSegment(HANDLE seg_handle, const char* text, size_t len, size_t charset) {
  return Segmentor(seg_handle)->segment(text, len, charset);
}

size_t LxGetResultCnt(HANDLE seg_handle) { return Segmentor(seg_handle)->GetBasicResCount(); }

pWP LxGetAt(HANDLE seg_handle, int index) { return Segmentor(seg_handle)->GetWordPosAt(index); }

const char* LxGetWordAt(HANDLE seg_handle, size_t index) {
  return Segmentor(seg_handle)->GetBasicAt(Narrow(index));
}

const token_t* LxGetBasicTokenAt(HANDLE seg_handle, int32_t idx) {
  return Segmentor(seg_handle)->GetBasicTokenAt(idx);
}

size_t LxGetPhraseCnt(HANDLE seg_handle) { return Segmentor(seg_handle)->GetPhraseResCount(); }

const char* LxGetPhraseAt(HANDLE seg_handle, size_t index) {
  return Segmentor(seg_handle)->GetPhraseAt(Narrow(index));
}

const comb_token_t* LxGetPhraseTokenAt(HANDLE seg_handle, int32_t idx) {
  return Segmentor(seg_handle)->GetPhraseTokenAt(idx);
}

size_t LxGetMixWordCnt(HANDLE seg_handle) { return Segmentor(seg_handle)->GetMixResCount(); }

const char* LxGetMixWordAt(HANDLE seg_handle, size_t index) {
  return Segmentor(seg_handle)->GetMixWordAt(Narrow(index));
}

const token_t* LxGetMixTokenAt(HANDLE seg_handle, int32_t idx) {
  return Segmentor(seg_handle)->GetMixTokenAt(idx);
}

size_t LxGetAdditionalTokenCnt(HANDLE seg_handle) {
  return Segmentor(seg_handle)->GetAdditionalResCount();
}

const additional_token_t* LxGetAdditionalTokenAt(HANDLE seg_handle, size_t idx) {
  return Segmentor(seg_handle)->GetAdditionalTokenAt(Narrow(idx));
}

void LxGetAllSegInfo(HANDLE seg_handle, seg_tokens_t& seg_tokens) {
  seg_tokens = *Segmentor(seg_handle)->GetSegResAll();
}

size_t LxAddCustomDict(const char* dict_path) { return CustomDictContainer::AddDict(dict_path); }

bool LxUpdateCustomDict(const char* dict_path, size_t ID) {
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
