#include "support/TestUtil.h"

#include <iconv.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <algorithm>
#include <sstream>
#include <stdexcept>

#include "common/CrfModel.h"
#include "common/CrfModelText.h"
#include "dict/CoreDict.h"
#include "dict/CoreRule.h"
#include "dict/NGram.h"
#include "ner/NEDict.h"
#include "ner/NEPattern.h"
#include "pos/TagModel.h"

namespace testutil {

TempDir::TempDir() {
  const char* base = getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/zorvseg-test-XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (mkdtemp(buf.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = buf.data();
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::Write(const std::string& name, const std::string& content) const {
  std::string full = path_ + "/" + name;
  std::filesystem::create_directories(std::filesystem::path(full).parent_path());
  FILE* f = fopen(full.c_str(), "wb");
  if (f == nullptr) throw std::runtime_error("cannot write " + full);
  fwrite(content.data(), 1, content.size(), f);
  fclose(f);
  return full;
}

static std::string Iconv(const std::string& in, const char* to, const char* from) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open");
  std::string out(in.size() * 4 + 4, '\0');
  char* src = const_cast<char*>(in.data());
  size_t src_left = in.size();
  char* dst = &out[0];
  size_t dst_left = out.size();
  size_t rc = iconv(cd, &src, &src_left, &dst, &dst_left);
  iconv_close(cd);
  if (rc == static_cast<size_t>(-1)) throw std::runtime_error("test text not convertible");
  out.resize(out.size() - dst_left);
  return out;
}

std::string Utf8ToGbk(const std::string& utf8) { return Iconv(utf8, "GB18030", "UTF-8"); }
std::string GbkToUtf8(const std::string& gbk) { return Iconv(gbk, "UTF-8", "GB18030"); }

const char kMinimalCoreRules[] = "c++\t0 3 0 3\nwi-fi\t0 5 0 5\n";
const char kMinimalAsciiDict[] =
    "hello\t0\t9.5\nworld\t0\t9.1\nni\t1\t9.8\nhao\t1\t8.7\n";

void WriteDataDir(const TempDir& dir, const std::vector<std::string>& lexicon_lines,
                  const std::vector<std::string>& ngram_lines) {
  std::string t2s;
  for (const char* pair : {"愛爱", "國国", "們们"}) {
    std::string gbk = Utf8ToGbk(pair);
    t2s += gbk.substr(0, 2) + "\t" + gbk.substr(2, 2) + "\n";
  }
  dir.Write("t2s.dat", t2s);
  dir.Write("custom_rule.dat", "");
  dir.Write("additional_rule.dat", "");
  std::filesystem::create_directories(dir.path() + "/custom_word");

  std::string lexicon;
  for (const std::string& line : lexicon_lines) lexicon += Utf8ToGbk(line) + "\n";
  std::istringstream lexicon_in(lexicon);
  std::string ngram;
  for (const std::string& line : ngram_lines) ngram += line + "\n";
  std::istringstream ngram_in(ngram);
  std::istringstream rules_in(kMinimalCoreRules);
  bool built = new_seg::CoreDict::BuildFromStream(lexicon_in, "test lexicon") &&
               new_seg::CoreDict::Save((dir.path() + "/core_dict.dat").c_str()) &&
               new_seg::CoreRule::BuildFromStream(rules_in, "test rules") &&
               new_seg::CoreRule::Save((dir.path() + "/core_rule.dat").c_str()) &&
               new_seg::NGram::BuildFromStream(ngram_in, "test n-grams", 2) &&
               new_seg::NGram::Save((dir.path() + "/ngram.dat").c_str());
  new_seg::CoreDict::UnInit();
  new_seg::CoreRule::UnInit();
  new_seg::NGram::UnInit();
  dir.Write("ascii_dict.txt", kMinimalAsciiDict);
  if (!built) throw std::runtime_error("cannot build the test data directory");

  // A tagging model that knows no word (every transition weighs the same,
  // so unknown words get "d") and an empty intervention dictionary.
  new_seg::TagModel tag_model;
  tag_model.m_name_list.insert({1, 2, 3});
  if (!tag_model.Save(dir.path() + "/tag_info.dat")) {
    throw std::runtime_error("cannot write the test tagging model");
  }
  dir.Write("pos_intervene_dict.dat", "");
  WriteEntityFiles(dir, {"春节\t131072\t0.9"}, {"欧阳"}, "");
}

// Labels a name character of code 1 followed by one or two of code 2 as a
// person (tests/entities/ne_model.txt is the same model).
const char kTinyNameModel[] =
    "xsize\t3\nlabel\tO\nlabel\tB-PER\nlabel\tI-PER\nlabel\tE-PER\n"
    "template\tU00:%x[0,1]\ntemplate\tU01:%x[-1,1]/%x[0,1]\n"
    "template\tU02:%x[0,1]/%x[1,1]\ntemplate\tU03:\n"
    "word\t\t3:1 0 0 0\nword\t1\t0:0 1 0 0\nword\t1/2\t1:0 0 1.5 1.5\t2:0 2 0 0\n"
    "word\t1/0\t2:1 0 0 0\nword\t1/_B+1\t2:1 0 0 0\nword\t2/2\t1:0 0 0.5 1\t2:0 0 1 0\n"
    "word\t0/2\t1:0 0 -5 -5\nword\t_B-1/2\t1:0 0 -5 -5\nword\t2/0\t2:0 0 0 1\n"
    "word\t2/_B+1\t2:0 0 0 1\n"
    "transition\tO\t0 0 -10 -10\ntransition\tB-PER\t-10 -10 0 0\n"
    "transition\tI-PER\t-10 -10 -1 0\ntransition\tE-PER\t0 0 -10 -10\n";

void WriteEntityModel(const TempDir& dir, const std::string& model_text) {
  zorvseg_tools::CrfModel model;
  std::string error;
  if (!zorvseg_tools::ParseCrfModelText(model_text, "test model", &model) ||
      !model.Save(dir.path() + "/ne_model.dat", &error)) {
    throw std::runtime_error("cannot write the test entity model: " + error);
  }
}

void WriteEntityFiles(const TempDir& dir, const std::vector<std::string>& ne_dict_lines,
                      const std::vector<std::string>& compound_surnames,
                      const std::string& ner_rules) {
  std::string source;
  for (const std::string& line : ne_dict_lines) source += Utf8ToGbk(line) + "\n";
  std::istringstream source_in(source);
  std::istringstream pattern_in(Utf8ToGbk("电视剧\t1\n"));
  bool built = new_seg::NEDict::BuildFromStream(source_in, "test entities") &&
               new_seg::NEDict::Save((dir.path() + "/ne_dict.dat").c_str()) &&
               new_seg::NEPattern::BuildFromStream(pattern_in, "test patterns") &&
               new_seg::NEPattern::Save((dir.path() + "/ne_pattern.dat").c_str());
  new_seg::NEDict::UnInit();
  new_seg::NEPattern::UnInit();
  if (!built) throw std::runtime_error("cannot build the test entity files");
  std::string surnames;
  for (const std::string& surname : compound_surnames) surnames += Utf8ToGbk(surname) + "\n";
  dir.Write("name.dat", surnames);
  dir.Write("ner_rules.txt", Utf8ToGbk(ner_rules));
  WriteEntityModel(dir, kTinyNameModel);
}

int WordId(const std::vector<std::string>& words_utf8, const std::string& word) {
  std::vector<std::string> sorted;
  for (const std::string& w : words_utf8) sorted.push_back(Utf8ToGbk(w));
  std::sort(sorted.begin(), sorted.end());
  sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
  auto it = std::lower_bound(sorted.begin(), sorted.end(), Utf8ToGbk(word));
  if (it == sorted.end() || *it != Utf8ToGbk(word)) return -1;
  return static_cast<int>(it - sorted.begin()) + 1;
}

void WriteMinimalDataDir(const TempDir& dir) {
  // A few words, each with a single-word cost; enough for a dictionary path.
  const std::vector<std::string> words = {"我", "爱", "北京", "天安门", "天安"};
  std::vector<std::string> lexicon, ngram;
  for (const std::string& w : words) {
    lexicon.push_back(w + "\t1");
    ngram.push_back("8 1 " + std::to_string(WordId(words, w)));
  }
  WriteDataDir(dir, lexicon, ngram);
}

}  // namespace testutil
