// Builds the JSON object of one input line from the results of the pieces
// it was segmented in: basic words with tags and character offsets into the
// line, phrases with their type and the words they cover, mix words, and
// entities. UTF-8 only.
#ifndef ZORVSEG_TOOLS_COMMON_JSONLINE_H_
#define ZORVSEG_TOOLS_COMMON_JSONLINE_H_

#include <string>
#include <vector>

#include "zorvseg.h"

namespace zorvseg_tools {

class JsonLine {
 public:
  // Adds the results of the handle's last LxSegment, made over the next
  // piece of the line.
  void AddPiece(new_seg::HANDLE handle, const char* text, size_t len);
  // A piece that could not be segmented: nothing of it is shown, but the
  // offsets of the pieces after it still count its characters.
  void SkipPiece(const char* text, size_t len);
  // Appends the line's object (without a newline) and starts the next line.
  void EndLine(std::string* out);

 private:
  void AddWords(new_seg::HANDLE handle);
  void AddPhrases(new_seg::HANDLE handle);
  void AddMixWords(new_seg::HANDLE handle);

  std::string words_, phrases_, mix_, entities_;  // array members so far
  size_t words_shown_ = 0;   // words of the line shown so far
  size_t line_chars_ = 0;    // characters of the line before the current piece
  // Per basic word of the current piece: the index of the next shown word,
  // and its character offsets in the line.
  std::vector<size_t> shown_before_;
  std::vector<size_t> word_start_, word_end_;
};

// Appends text as a JSON string literal.
void AppendJsonString(const char* text, size_t len, std::string* out);

}  // namespace zorvseg_tools

#endif  // ZORVSEG_TOOLS_COMMON_JSONLINE_H_
