// Reading of the text files users edit by hand (custom word lists, custom
// and additional rules). Such files arrive in UTF-8 as often as in GBK; the
// segmenter works on GB18030, so a file that is valid UTF-8 and not plain
// ASCII is converted when read, and any other file is taken as GBK.
#ifndef ZORVSEG_CUSTOM_USERTEXTFILE_H_
#define ZORVSEG_CUSTOM_USERTEXTFILE_H_

#include <cstddef>
#include <string>

namespace new_seg {

class UserTextFile {
 public:
  enum class Encoding { kAscii, kGbk, kUtf8 };

  // Reads the whole file at path into *text, in GB18030. Only regular files
  // (or links to them) are read: a directory, FIFO or device behind a link
  // would block or make no sense as a word list. False with a message
  // "<what>: <path>: <reason>" on stderr when the file cannot be read.
  static bool Read(const std::string& path, const char* what, std::string* text,
                   Encoding* encoding = nullptr);

  // The encoding Read assumes for these bytes: ASCII when no byte is above
  // 0x7F, UTF-8 when the whole text is valid UTF-8, GBK otherwise. GBK text
  // of any length is almost never valid UTF-8 (its common trail bytes 0xC0
  // to 0xFE cannot follow a UTF-8 lead byte).
  static Encoding Detect(const char* bytes, size_t len);
  // Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
  static bool IsValidUtf8(const char* bytes, size_t len);
  // Converts a valid UTF-8 text (a leading byte-order mark is dropped) to
  // GB18030 in place; false when the converter is not available.
  static bool Utf8ToGb18030(std::string* text);

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
};

}  // namespace new_seg

#endif  // ZORVSEG_CUSTOM_USERTEXTFILE_H_
