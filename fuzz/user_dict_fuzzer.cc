// User dictionaries: the input is a word file, added with LxAddCustomDict,
// made the working dictionary and used on the input's own text (so its
// words are found) and on a fixed sentence, in UTF-8 and GBK calls; then
// the dictionary is rebuilt from the file's first half with
// LxUpdateCustomDict, used again and deleted.
#include <cstdint>
#include <string>

#include "FuzzWorkspace.h"
#include "zorvseg.h"

namespace {

using namespace new_seg;

HANDLE g_handle = nullptr;
size_t g_data_dir_dictionary = 0;

void SegmentWith(const std::string& text) {
  for (size_t charset : {kCharsetUTF8, kCharsetGBK}) {
    if (LxSegment(g_handle, text.data(), text.size(), charset)) {
      FuzzWorkspace::ReadEveryResult(g_handle, text.size());
    }
  }
}

void UseWorkingDictionary(const std::string& file_text) {
  SegmentWith(file_text);
  SegmentWith("北京大学的王小明说：Hello World! c++ 和 ２０２６年。");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FuzzWorkspace::Get().LoadDataDirectory();
  g_data_dir_dictionary = LxGetWorkingCustomDictID();
  g_handle = LxCreateSegHandle(kModeCommandLineDefault | kModeUseCustomWord | kModeUpperToLower);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzWorkspace& workspace = FuzzWorkspace::Get();
  std::string file_text(reinterpret_cast<const char*>(data), size);
  std::string path = workspace.WriteScratch("words.txt", data, size);
  size_t id = LxAddCustomDict(path.c_str());
  if (id == 0) return 0;
  LxSwitchCustomDictTo(id);
  UseWorkingDictionary(file_text);
  workspace.WriteScratch("words.txt", data, size / 2);
  LxUpdateCustomDict(path.c_str(), id);
  UseWorkingDictionary(file_text);
  LxSwitchCustomDictTo(g_data_dir_dictionary);
  LxDelCustomDict(id);
  return 0;
}
