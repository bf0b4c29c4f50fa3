#include "crf/whatlog.h"

#include <cstring>

namespace new_seg {
namespace CRFPP {

namespace {

// The file name below the source tree ("crf/TaggerImpl.cc"), whatever
// directory the build ran in.
const char* SourceName(const char* file) {
  const char* name = file;
  for (const char* p = std::strstr(file, "src/"); p != nullptr;
       p = std::strstr(p + 1, "src/")) {
    name = p + 4;
  }
  return name;
}

}  // namespace

std::ostringstream& whatlog::Fail(const char* file, int line,
                                  const char* condition) {
  stream_.str("");
  stream_.clear();
  stream_ << SourceName(file) << "(" << line << ") [" << condition << "] ";
  return stream_;
}

const char* whatlog::str() {
  str_ = stream_.str();
  return str_.c_str();
}

void whatlog::clear() {
  stream_.str("");
  stream_.clear();
  str_.clear();
}

}  // namespace CRFPP
}  // namespace new_seg
