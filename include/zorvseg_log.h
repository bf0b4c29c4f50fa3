// The library's debug log: a process-wide, size-rolled text log with levels.
// Only entity recognition writes to it (at Info), so with the default
// threshold (Warn) nothing is ever written. A host program that wants the
// recogniser's trace lowers the threshold:
//
//   new_seg::Log::instance().set(new_seg::Log::kInfo, "/var/log/app", "ner",
//                                64 << 20, 5);   // or just set_log_level(kInfo)
//
// Lines go to "<dir>/<prefix>.log", which is renamed to ".1" (".1" to ".2",
// ...) when it reaches the maximum size; the directory is not created, and
// while it is missing lines go to standard error. Any thread may log.
#ifndef ZORVSEG_LOG_H_
#define ZORVSEG_LOG_H_

#include <atomic>
#include <cstddef>
#include <cstdint>

#ifndef ZORVSEG_API
#define ZORVSEG_API __attribute__((visibility("default")))
#endif

namespace new_seg {

class ZORVSEG_API Log {
 public:
  // Levels; a record is written when threshold <= level <= kFatal, so a
  // threshold of kOff writes nothing.
  enum Level { kTrace = 0, kDebug = 1, kInfo = 2, kWarn = 3, kError = 4, kFatal = 5, kOff = 6 };

  // The one log of the process, made on first use.
  static Log& instance();

  // Threshold, then "<directory>/<prefix>.log", the size at which the file
  // rolls (at most 1 GiB) and how many rolled files are kept (at most 99).
  // -1, changing nothing, for a threshold above kOff, a null string or a
  // zero number; 0 otherwise.
  int set(unsigned level, const char* directory, const char* prefix, uint32_t max_file_size,
          uint32_t max_file_no);
  // Sets the threshold; values above kOff are ignored.
  void set_log_level(unsigned level);

  // Whether a record of this level would be written: callers test it
  // before building any argument text.
  bool enabled(int level) const {
    return level >= m_min_log_level.load(std::memory_order_relaxed) && level <= kFatal;
  }
  // Writes one line "date time.micros tid level <file:line> message".
  void record(int level, const char* file, int line, const char* format, ...)
      __attribute__((format(printf, 5, 6)));

  Log(const Log&) = delete;
  Log& operator=(const Log&) = delete;

 private:
  Log();
  void default_init();
  void output(const char* text, size_t length);
  void roll_file();

  std::atomic<int> m_min_log_level;
  char m_log_file[256];
  char m_lock_file[256];
  uint32_t m_max_file_size;
  uint32_t m_max_file_no;
};

}  // namespace new_seg

#endif  // ZORVSEG_LOG_H_
