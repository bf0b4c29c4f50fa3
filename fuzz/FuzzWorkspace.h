// What the fuzz targets share: the data directory they load once per
// process, a scratch directory for the files they write, and a walk over
// every result of a segmentation so that the sanitizers see each byte the
// library hands out.
#ifndef ZORVSEG_FUZZ_FUZZWORKSPACE_H_
#define ZORVSEG_FUZZ_FUZZWORKSPACE_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "zorvseg.h"

class FuzzWorkspace {
 public:
  // The process's workspace. The data directory is $ZORVSEG_DATA, or the
  // build's own when that is unset; a directory without a core dictionary
  // ends the process with a message (a fuzzer that silently loads nothing
  // finds nothing).
  static FuzzWorkspace& Get();

  const std::string& data_dir() const { return data_dir_; }
  std::string DataFile(const std::string& name) const { return data_dir_ + name; }

  // Loads the whole data directory; ends the process when that fails.
  void LoadDataDirectory() const;

  // Writes bytes to name under the scratch directory (replacing what is
  // there, a symbolic link included) and returns the path.
  std::string WriteScratch(const std::string& name, const uint8_t* data, size_t size) const;
  std::string ScratchPath(const std::string& name) const { return scratch_dir_ + name; }

  // Reads every word, token, phrase, mix word, additional token and span of
  // the handle's last result, and checks that the spans lie inside the
  // text of text_size bytes; a broken span aborts.
  static void ReadEveryResult(new_seg::HANDLE handle, size_t text_size);

 private:
  FuzzWorkspace();
  ~FuzzWorkspace() = delete;

  std::string data_dir_;     // with a trailing '/'
  std::string scratch_dir_;  // with a trailing '/'
};

#endif  // ZORVSEG_FUZZ_FUZZWORKSPACE_H_
