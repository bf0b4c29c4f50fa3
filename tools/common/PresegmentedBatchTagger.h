// Tags text that is already segmented (words separated by white space),
// batch by batch, and appends "word/tag" lines. Memory stays bounded
// however long a line or a word is: a word too long for any sentence is
// copied through as it streams, tagged "unk".
#ifndef ZORVSEG_TOOLS_COMMON_PRESEGMENTEDBATCHTAGGER_H_
#define ZORVSEG_TOOLS_COMMON_PRESEGMENTEDBATCHTAGGER_H_

#include <cstdint>
#include <string>

#include "common/LineReader.h"
#include "common/PresegmentedTagger.h"

namespace zorvseg_tools {

class PresegmentedBatchTagger {
 public:
  PresegmentedBatchTagger(int32_t mode, bool gbk) : tagger_(mode, gbk) {}
  bool Init() { return tagger_.Init(); }

  // Appends the tagged words of every piece to out, one line per input line.
  void Tag(const TextBatch& batch, std::string* out);

 private:
  void AddWordBytes(const char* bytes, size_t len, std::string* out);
  void EndWord(std::string* out);
  void EndLine(std::string* out);
  void AppendTagged(std::string* out);
  void AppendSeparator(std::string* out);

  PresegmentedTagger tagger_;
  std::string word_;            // the word being read
  bool streaming_word_ = false;  // the word is too long: its bytes go straight out
  bool line_has_words_ = false;
};

}  // namespace zorvseg_tools

#endif  // ZORVSEG_TOOLS_COMMON_PRESEGMENTEDBATCHTAGGER_H_
