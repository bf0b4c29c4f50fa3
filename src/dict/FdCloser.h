// Closes a file descriptor when the reader that opened it returns, on every
// path out of the function.
#ifndef ZORVSEG_DICT_FDCLOSER_H_
#define ZORVSEG_DICT_FDCLOSER_H_

#include <unistd.h>

namespace new_seg {

class FdCloser {
 public:
  explicit FdCloser(int fd) : fd_(fd) {}
  ~FdCloser() { close(fd_); }
  FdCloser(const FdCloser&) = delete;
  FdCloser& operator=(const FdCloser&) = delete;

 private:
  int fd_;
};

}  // namespace new_seg

#endif  // ZORVSEG_DICT_FDCLOSER_H_
