// A file mapped into memory, read-only ("r") or read-write ("r+"), shared
// with the file. The descriptor is closed as soon as the mapping exists.
#ifndef ZORVSEG_CRF_MMAP_H_
#define ZORVSEG_CRF_MMAP_H_

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <string>

#include "crf/whatlog.h"

namespace new_seg {
namespace CRFPP {

template <class T>
class Mmap {
 public:
  Mmap() = default;
  ~Mmap() { close(); }
  Mmap(const Mmap&) = delete;
  Mmap& operator=(const Mmap&) = delete;

  // Maps the whole file. An empty file maps to no bytes (begin() is null).
  bool open(const char* filename, const char* mode = "r") {
    close();
    what_.clear();
    fileName_ = filename;
    int flag;
    int prot;
    if (std::strcmp(mode, "r") == 0) {
      flag = O_RDONLY;
      prot = PROT_READ;
    } else if (std::strcmp(mode, "r+") == 0) {
      flag = O_RDWR;
      prot = PROT_READ | PROT_WRITE;
    } else {
      CRF_FAIL(what_, "false") << "unknown open mode: " << filename;
      return false;
    }
    int fd = ::open(filename, flag | O_CLOEXEC);
    if (fd < 0) {
      CRF_FAIL(what_, "(fd = ::open(filename, flag | O_BINARY)) >= 0")
          << "open failed: " << filename;
      return false;
    }
    struct stat st;
    if (fstat(fd, &st) < 0) {
      CRF_FAIL(what_, "fstat(fd, &st) >= 0")
          << "failed to get file size: " << filename;
      ::close(fd);
      return false;
    }
    length_ = static_cast<std::size_t>(st.st_size);
    if (length_ == 0) {
      ::close(fd);
      return true;
    }
    void* p = mmap(nullptr, length_, prot, MAP_SHARED, fd, 0);
    ::close(fd);
    if (p == MAP_FAILED) {
      length_ = 0;
      CRF_FAIL(what_,
               "(p = reinterpret_cast<char *> (mmap(0, length, prot, "
               "MAP_SHARED, fd, 0))) != MAP_FAILED")
          << "mmap() failed: " << filename;
      return false;
    }
    text_ = static_cast<T*>(p);
    writable_ = (prot & PROT_WRITE) != 0;
    return true;
  }

  void close() {
    if (text_ != nullptr) munmap(text_, length_);
    text_ = nullptr;
    length_ = 0;
  }

  // Gives back the pages read so far, a check of the whole file say: they
  // stay in the system's file cache and come back on the next read, so the
  // process holds only the parts that lookups read. Read-only mappings only.
  void ReleaseResidentPages() {
#ifdef MADV_DONTNEED
    if (text_ != nullptr && !writable_) madvise(text_, length_, MADV_DONTNEED);
#endif
  }

  T* begin() const { return text_; }
  T* end() const { return text_ + size(); }
  // Whole elements in the file.
  std::size_t size() const { return length_ / sizeof(T); }
  std::size_t file_size() const { return length_; }
  const char* file_name() const { return fileName_.c_str(); }
  const char* what() { return what_.str(); }

 private:
  std::string fileName_;
  whatlog what_;
  T* text_ = nullptr;
  std::size_t length_ = 0;
  bool writable_ = false;
};

}  // namespace CRFPP
}  // namespace new_seg

#endif  // ZORVSEG_CRF_MMAP_H_
