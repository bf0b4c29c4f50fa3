// Segmenting allocates nothing once a handle has seen its largest input:
// global operator new is counted while the same texts are segmented again.
// Its own executable, so the counting operator new touches no other test.
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "zorvseg.h"

namespace {
long g_allocations = 0;
bool g_counting = false;
}  // namespace

namespace {
void* CountedAllocate(size_t size) {
  if (g_counting) ++g_allocations;
  return std::malloc(size == 0 ? 1 : size);
}
void* CountedAllocateOrThrow(size_t size) {
  void* p = CountedAllocate(size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
}  // namespace

// Every form is replaced, so that whatever allocates also frees through
// the same pair (the sanitizers check that).
void* operator new(size_t size) { return CountedAllocateOrThrow(size); }
void* operator new[](size_t size) { return CountedAllocateOrThrow(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return CountedAllocate(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return CountedAllocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

int main(int argc, char** argv) {
  if (argc != 2 || !new_seg::LxInitSeg(argv[1])) {
    std::fprintf(stderr, "usage: steady_state_alloc DATA_DIR (a loadable data directory)\n");
    return 1;
  }
  const std::vector<std::string> texts = {
      "我爱北京天安门😀 abc123，今天的天气很好。",
      "访问http://www.example.com或写信给foo-bar@example.com，价格12.5$，版本3.14.2。",
      std::string(3000, 'x') + "中文" + std::string(2000, '7'),
      "他说：“自然语言处理是人工智能的一个重要方向，分词是第一步。”",
  };
  const int32_t modes[] = {0x08212314, 0x00212314, 0x03212314, 0x00092314, 0x0921231C, 0x2,
                           0x20070314, 0x00400214, 0x08612314};
  int failures = 0;
  for (int32_t mode : modes) {
    new_seg::HANDLE handle = new_seg::LxCreateSegHandle(mode);
    for (const std::string& text : texts) {  // warm up: buffers reach their size
      new_seg::LxSegment(handle, text.data(), text.size(), new_seg::kCharsetUTF8);
    }
    g_allocations = 0;
    g_counting = true;
    for (int round = 0; round < 3; ++round) {
      for (const std::string& text : texts) {
        new_seg::LxSegment(handle, text.data(), text.size(), new_seg::kCharsetUTF8);
      }
    }
    g_counting = false;
    new_seg::LxCloseSegHandle(handle);
    if (g_allocations != 0) {
      std::printf("mode %08x: %ld allocations in steady state\n", mode, g_allocations);
      ++failures;
    }
  }
  new_seg::LxUnInitSeg();
  std::printf("%d passed, %d failed\n", static_cast<int>(sizeof(modes) / sizeof(modes[0])) - failures,
              failures);
  return failures == 0 ? 0 : 1;
}
