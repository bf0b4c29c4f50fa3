// Segments the pieces of a batch of lines with one handle and appends one
// output line per input line in the chosen format.
#ifndef ZORVSEG_TOOLS_COMMON_BATCHSEGMENTER_H_
#define ZORVSEG_TOOLS_COMMON_BATCHSEGMENTER_H_

#include <string>

#include "common/JsonLine.h"
#include "common/LineReader.h"
#include "zorvseg.h"

namespace zorvseg_tools {

enum class OutputFormat { kWords, kPos, kMix, kPhrases, kEntities, kJson };

// The name of an entity phrase id ("person", ...), null for other phrases.
const char* EntityName(int cls);
// The short type of --format entities: PER, LOC, ORG or DATE; null likewise.
const char* EntityTag(int cls);

class BatchSegmenter {
 public:
  // The handle stays the caller's; gbk: input and output are GBK.
  BatchSegmenter(new_seg::HANDLE handle, OutputFormat format, bool gbk);

  // Segments every piece of the batch and appends the output to out. A line
  // that spans batches is continued from the previous call, so a batch that
  // continues a line must come to the segmenter that had its predecessor.
  // False when a piece could not be segmented (reported on standard error;
  // its line is still ended, so the output keeps one line per input line).
  bool Segment(const TextBatch& batch, std::string* out);

 private:
  bool SegmentPiece(const char* text, size_t len, const TextBatch& batch, size_t line_no);
  void AppendPiece(std::string* out);
  void EndLine(std::string* out);
  // One word of a space-separated format; tag -1 prints none.
  void AppendWord(const char* word, size_t len, const char* tag, std::string* out);

  new_seg::HANDLE handle_;
  OutputFormat format_;
  bool gbk_;
  bool line_has_words_ = false;
  JsonLine json_;
};

// True when the word is only white space (such words are left out).
bool IsWhiteSpaceWord(const char* word, size_t len, bool gbk);

}  // namespace zorvseg_tools

#endif  // ZORVSEG_TOOLS_COMMON_BATCHSEGMENTER_H_
