// Reads text files (or standard input) as batches of line pieces, so that
// segmenting never needs more memory than one batch however long a line is.
//
// A batch holds about a megabyte of text: whole lines, and pieces of a line
// too long for one batch. Each piece is segmented on its own; the last piece
// of a line ends it. A batch never spans two files, so every file's last
// line ends there even without a final newline.
#ifndef ZORVSEG_TOOLS_COMMON_LINEREADER_H_
#define ZORVSEG_TOOLS_COMMON_LINEREADER_H_

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace zorvseg_tools {

struct TextPiece {
  size_t begin = 0;  // offset in TextBatch::text
  size_t len = 0;
  bool ends_line = false;  // the last piece of its line (it may be empty)
};

struct TextBatch {
  std::vector<char> text;  // capacity is kept from batch to batch
  size_t size = 0;         // bytes of text in use
  std::vector<TextPiece> pieces;
  // The first piece continues a line begun in the previous batch, so the
  // batches must be written in order by a segmenter that saw the previous.
  bool continues_line = false;
  const std::string* source = nullptr;  // file name, "-" for standard input
  size_t first_line_no = 1;             // line number of the first piece

  const char* PieceText(const TextPiece& piece) const { return text.data() + piece.begin; }
};

class LineReader {
 public:
  // Reads the files in order; "-" (or no file at all) is standard input.
  // gbk chooses where overlong lines may be cut (between whole characters).
  LineReader(const std::vector<std::string>& paths, bool gbk);
  ~LineReader();
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // Fills batch with the next pieces; false once every input is used up.
  // A file that cannot be opened or read is reported on standard error and
  // skipped (failed() then says so).
  bool Next(TextBatch* batch);

  bool failed() const { return failed_; }
  uint64_t bytes_read() const { return bytes_read_; }

  // Pieces longer than this are cut (exposed for tests of the cut).
  static const size_t kMaxPiece = 64 * 1024;

 private:
  bool OpenNextFile();
  void CloseFile();
  // Adds [start, end) of the batch as a piece and advances start.
  void AddPiece(TextBatch* batch, size_t& start, size_t end, bool ends_line);
  // Cuts the unfinished line in batch from start into pieces while it is
  // at least kMaxPiece long.
  void CutLongLine(TextBatch* batch, size_t& start);

  std::vector<std::string> paths_;
  bool gbk_;
  size_t next_path_ = 0;
  FILE* file_ = nullptr;
  std::vector<char> carry_;  // the unfinished line at the end of the last batch
  bool line_open_ = false;   // a piece of the current line was handed out
  size_t line_no_ = 1;
  bool failed_ = false;
  uint64_t bytes_read_ = 0;
};

// Where to cut a piece of an overlong line of len bytes: after the last
// space or ASCII punctuation near the end, else at a character boundary.
size_t PieceCut(const char* text, size_t len, bool gbk);

}  // namespace zorvseg_tools

#endif  // ZORVSEG_TOOLS_COMMON_LINEREADER_H_
