#include "driver/TermBuffer.h"

#include <cstdlib>
#include <cstring>

namespace new_seg {

namespace {
const size_t kChunkSlotsStep = 4;
}

TermBuffer::TermBuffer(size_t buffer_capacity) : buffer_capacity_(buffer_capacity) {}

TermBuffer::~TermBuffer() {
  for (size_t i = 0; i < buffers_capacity_; ++i) free(buffers_[i]);
  free(buffers_);
}

bool TermBuffer::GetBuffer() {
  if (buffers_size_ == buffers_capacity_) {
    size_t new_capacity = buffers_capacity_ + kChunkSlotsStep;
    char** grown = static_cast<char**>(realloc(buffers_, new_capacity * sizeof(char*)));
    if (grown == nullptr) return false;
    for (size_t i = buffers_capacity_; i < new_capacity; ++i) grown[i] = nullptr;
    buffers_ = grown;
    buffers_capacity_ = new_capacity;
  }
  if (buffers_[buffers_size_] == nullptr) {
    buffers_[buffers_size_] = static_cast<char*>(malloc(buffer_capacity_));
    if (buffers_[buffers_size_] == nullptr) return false;
  }
  cur_buffer_ = buffers_[buffers_size_++];
  cur_buffer_offset_ = 0;
  return true;
}

char* TermBuffer::AddTerm(const char* text, size_t begin_pos, size_t len) {
  if (len >= buffer_capacity_) return nullptr;
  if (cur_buffer_ == nullptr || len + cur_buffer_offset_ >= buffer_capacity_) {
    if (!GetBuffer()) return nullptr;
  }
  char* copy = cur_buffer_ + cur_buffer_offset_;
  memcpy(copy, text + begin_pos, len);
  copy[len] = '\0';
  cur_buffer_offset_ += len + 1;
  return copy;
}

void TermBuffer::Clear() {
  buffers_size_ = 0;
  cur_buffer_ = nullptr;
  cur_buffer_offset_ = 0;
}

}  // namespace new_seg
