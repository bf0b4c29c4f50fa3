// Chunked store for the text of result words. Chunks are kept across
// Clear, so a handle stops allocating once it has seen its largest call.
#ifndef ZORVSEG_DRIVER_TERMBUFFER_H_
#define ZORVSEG_DRIVER_TERMBUFFER_H_

#include <cstddef>

namespace new_seg {

class TermBuffer {
 public:
  explicit TermBuffer(size_t buffer_capacity);
  ~TermBuffer();
  TermBuffer(const TermBuffer&) = delete;
  TermBuffer& operator=(const TermBuffer&) = delete;

  // A zero-terminated copy of len bytes at text + begin_pos, or null when
  // the word does not fit in one chunk or memory runs out.
  char* AddTerm(const char* text, size_t begin_pos, size_t len);
  void Clear();

 private:
  // Moves to the next chunk, allocating it the first time; false on failure.
  bool GetBuffer();

  const size_t buffer_capacity_;
  char** buffers_ = nullptr;
  size_t buffers_capacity_ = 0;
  size_t buffers_size_ = 0;  // chunks in use
  char* cur_buffer_ = nullptr;
  size_t cur_buffer_offset_ = 0;
};

}  // namespace new_seg

#endif  // ZORVSEG_DRIVER_TERMBUFFER_H_
