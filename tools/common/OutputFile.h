// Where a tool writes its results: a file or standard output, with write
// errors reported once, naming the destination.
#ifndef ZORVSEG_TOOLS_COMMON_OUTPUTFILE_H_
#define ZORVSEG_TOOLS_COMMON_OUTPUTFILE_H_

#include <cstdio>
#include <string>

namespace zorvseg_tools {

class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Opens path for writing ("-" or empty: standard output); false with a
  // message when it cannot be created.
  bool Open(const std::string& path);
  // Writes text; false with a message (once) when the write fails.
  bool Write(const std::string& text);
  // Flushes and closes; false with a message when that fails.
  bool Close();

 private:
  bool Fail();

  std::string name_;
  FILE* file_ = nullptr;
  bool failed_ = false;
};

}  // namespace zorvseg_tools

#endif  // ZORVSEG_TOOLS_COMMON_OUTPUTFILE_H_
