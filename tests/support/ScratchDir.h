// A scratch directory removed with everything in it when the test ends.
#ifndef ZORVSEG_TESTS_SUPPORT_SCRATCHDIR_H_
#define ZORVSEG_TESTS_SUPPORT_SCRATCHDIR_H_

#include <string>

namespace dict_test {

class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);

}  // namespace dict_test

#endif  // ZORVSEG_TESTS_SUPPORT_SCRATCHDIR_H_
