// LxSegment over arbitrary bytes. The input starts with two mode words and
// a flag byte: the text is segmented in the first mode, then the handle is
// switched with ResetSegMode and the same text segmented again, as UTF-8 or
// GBK by the flag. A small custom dictionary is the working one, so the
// custom-word bit has words to find.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "FuzzWorkspace.h"
#include "zorvseg.h"

namespace {

const size_t kHeaderSize = 9;
new_seg::HANDLE g_handle = nullptr;

int32_t ModeAt(const uint8_t* data) {
  uint32_t mode;
  std::memcpy(&mode, data, sizeof(mode));
  return static_cast<int32_t>(mode);
}

void Segment(int32_t mode, size_t charset, const char* text, size_t size) {
  new_seg::ResetSegMode(g_handle, mode);
  if (new_seg::LxSegment(g_handle, text, size, charset)) {
    FuzzWorkspace::ReadEveryResult(g_handle, size);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FuzzWorkspace& workspace = FuzzWorkspace::Get();
  workspace.LoadDataDirectory();
  const std::string words =
      "北京大学\n自然语言,n\nhello world\nc++,nz\n２０２６年\n# a comment\n天安门广场,ns\n";
  std::string path = workspace.WriteScratch(
      "words.txt", reinterpret_cast<const uint8_t*>(words.data()), words.size());
  size_t id = new_seg::LxAddCustomDict(path.c_str());
  if (id != 0) new_seg::LxSwitchCustomDictTo(id);
  g_handle = new_seg::LxCreateSegHandle(new_seg::kModeCommandLineDefault);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kHeaderSize) return 0;
  int32_t first_mode = ModeAt(data);
  int32_t second_mode = ModeAt(data + 4);
  size_t charset = (data[8] & 1) != 0 ? new_seg::kCharsetUTF8 : new_seg::kCharsetGBK;
  // The text gets an allocation of its exact size, without a terminating
  // zero, so that a read past its end is seen.
  size_t text_size = size - kHeaderSize;
  std::unique_ptr<char[]> text(new char[text_size]);
  std::memcpy(text.get(), data + kHeaderSize, text_size);
  Segment(first_mode, charset, text.get(), text_size);
  Segment(second_mode, charset, text.get(), text_size);
  return 0;
}
