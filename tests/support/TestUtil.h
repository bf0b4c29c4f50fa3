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
  // Writes a file under the directory and returns its full path.
  std::string Write(const std::string& name, const std::string& content) const;

 private:
  std::string path_;
};

std::string Utf8ToGbk(const std::string& utf8);
std::string GbkToUtf8(const std::string& gbk);

// A data directory with the resources the library needs, built from small
// hand-written sources: t2s.dat maps a few traditional characters.
void WriteMinimalDataDir(const TempDir& dir);

}  // namespace testutil

#endif  // ZORVSEG_TESTS_TESTUTIL_H_
