// Helpers shared by the tests: temporary data directories and encoding
// conversion for building inputs.
#ifndef ZORVSEG_TESTS_TESTUTIL_H_
#define ZORVSEG_TESTS_TESTUTIL_H_

#include <string>
#include <vector>

namespace testutil {

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes away.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  // Writes a file under the directory and returns its full path.
  std::string Write(const std::string& name, const std::string& content) const;

 private:
  std::string path_;
};

std::string Utf8ToGbk(const std::string& utf8);
std::string GbkToUtf8(const std::string& gbk);

// A data directory built through the library's own build code: t2s.dat
// maps a few traditional characters, custom_word/ is empty and the two rule
// files hold no rules; the lexicon lines ("word<TAB>type
// [split positions]", UTF-8, converted to GBK) and the n-gram lines
// ("cost count id [id]") are compiled as given; tag_info.dat is a model
// without words, pos_intervene_dict.dat is empty, and core_rule.dat and
// ascii_dict.txt hold kMinimalCoreRules and kMinimalAsciiDict.
extern const char kMinimalCoreRules[];
extern const char kMinimalAsciiDict[];
void WriteDataDir(const TempDir& dir, const std::vector<std::string>& lexicon_lines,
                  const std::vector<std::string>& ngram_lines);
// The entity files of a data directory, built through the library's own
// build code: ne_dict.dat from the source lines (UTF-8, "key<TAB>kind
// [fields]"), name.dat from the surnames, ne_pattern.dat with one pattern,
// ner_rules.txt from the UTF-8 text and ne_model.dat from kTinyNameModel.
// WriteDataDir writes a holiday, a compound surname and no rules.
void WriteEntityFiles(const TempDir& dir, const std::vector<std::string>& ne_dict_lines,
                      const std::vector<std::string>& compound_surnames,
                      const std::string& ner_rules);
// A CRF entity model in the text form of zorvseg-build crf-model, written
// to the directory's ne_model.dat.
extern const char kTinyNameModel[];
void WriteEntityModel(const TempDir& dir, const std::string& model_text);
// The core-dictionary id a word gets among the given lexicon words.
int WordId(const std::vector<std::string>& words_utf8, const std::string& word);
// A small data directory: a few words with single-word costs.
void WriteMinimalDataDir(const TempDir& dir);

}  // namespace testutil

#endif  // ZORVSEG_TESTS_TESTUTIL_H_
