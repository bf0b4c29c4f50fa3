#include "common/OutputFile.h"

#include <cerrno>
#include <cstring>

namespace zorvseg_tools {

OutputFile::~OutputFile() {
  if (file_ != nullptr && file_ != stdout) fclose(file_);
}

bool OutputFile::Open(const std::string& path) {
  if (path.empty() || path == "-") {
    name_ = "standard output";
    file_ = stdout;
    return true;
  }
  name_ = "'" + path + "'";
  file_ = fopen(path.c_str(), "wb");
  if (file_ == nullptr) {
    fprintf(stderr, "zorvseg: cannot write %s: %s\n", name_.c_str(), strerror(errno));
    return false;
  }
  return true;
}

bool OutputFile::Fail() {
  if (!failed_) fprintf(stderr, "zorvseg: error writing %s: %s\n", name_.c_str(), strerror(errno));
  failed_ = true;
  return false;
}

bool OutputFile::Write(const std::string& text) {
  if (failed_) return false;
  if (fwrite(text.data(), 1, text.size(), file_) != text.size()) return Fail();
  return true;
}

bool OutputFile::Close() {
  if (file_ == nullptr) return !failed_;
  bool ok = fflush(file_) == 0 && !ferror(file_);
  if (file_ != stdout && fclose(file_) != 0) ok = false;
  file_ = nullptr;
  return ok ? !failed_ : Fail();
}

}  // namespace zorvseg_tools
