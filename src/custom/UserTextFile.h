// Reading of the text files users edit by hand (custom word lists, custom
// and additional rules). Such files arrive in UTF-8 as often as in GBK; the
// segmenter works on GB18030, so a file that is UTF-8 is converted when
// read, and any other file is taken as GBK. One bad byte must not turn a
// UTF-8 file into GBK mojibake: a file is read as UTF-8 when most of its
// lines that hold non-ASCII bytes are valid UTF-8, and its other lines are
// then reported (file:line) and skipped.
#ifndef ZORVSEG_CUSTOM_USERTEXTFILE_H_
#define ZORVSEG_CUSTOM_USERTEXTFILE_H_

#include <cstddef>
#include <string>

namespace new_seg {

class UserTextFile {
 public:
  // Lines of invalid UTF-8 reported one by one; beyond, only a count.
  static const size_t kMaxInvalidLineReports = 10;

  enum class Encoding { kAscii, kGbk, kUtf8 };

  // Reads the whole file at path into *text, in GB18030. Only regular files
  // (or links to them) are read: a directory, FIFO or device behind a link
  // would block or make no sense as a word list. False with a message
  // "<what>: <path>: <reason>" on stderr when the file cannot be read.
  static bool Read(const std::string& path, const char* what, std::string* text,
                   Encoding* encoding = nullptr);

  // The encoding Read assumes for these bytes: ASCII when no byte is above
  // 0x7F, UTF-8 when more of the lines holding such bytes are valid UTF-8
  // than not, GBK otherwise.
  static Encoding Detect(const char* bytes, size_t len);
  // Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
  static bool IsValidUtf8(const char* bytes, size_t len);
  // Converts a valid UTF-8 text (a leading byte-order mark is dropped) to
  // GB18030 in place; false when the converter is not available.
  static bool Utf8ToGb18030(std::string* text);

  // Of the lines ('\n'-separated) that hold a byte above 0x7F, those that
  // are valid UTF-8 and those that are not.
  struct Utf8Lines {
    size_t valid = 0;
    size_t invalid = 0;
  };
  static Utf8Lines CountUtf8Lines(const char* bytes, size_t len);

  // Calls visit(line, line_number) for every line of text: lines end at
  // '\n', and one '\r' before it is removed. A last line without '\n' is
  // visited too. Stops and returns false as soon as visit does.
  template <typename Visit>
  static bool ForEachLine(const std::string& text, Visit visit) {
    size_t begin = 0;
    size_t number = 0;
    while (begin < text.size()) {
      size_t end = text.find('\n', begin);
      if (end == std::string::npos) end = text.size();
      size_t stop = end;
      if (stop > begin && text[stop - 1] == '\r') --stop;
      if (!visit(text.substr(begin, stop - begin), ++number)) return false;
      begin = end + 1;
    }
    return true;
  }

  // Reads the file as Read does and calls add(line, line_number) for each of
  // its lines, as ForEachLine visits them. False when it cannot be read.
  template <typename Add>
  static bool ReadLines(const std::string& path, const char* what, Add add) {
    std::string text;
    if (!Read(path, what, &text)) return false;
    ForEachLine(text, [&add](const std::string& line, size_t number) {
      add(line, number);
      return true;
    });
    return true;
  }

 private:
  // Empties the lines of text that are not valid UTF-8, with a message for
  // each (up to kMaxInvalidLineReports, then a count).
  static void DropInvalidUtf8Lines(const char* what, const std::string& path,
                                   std::string* text);
};

}  // namespace new_seg

#endif  // ZORVSEG_CUSTOM_USERTEXTFILE_H_
