#include "ner/Log.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>

namespace new_seg {

namespace {

const char* const kLevelNames[] = {"Trace", "Debug", "Info ", "Warn ", "Error", "Fatal"};
const uint32_t kDefaultMaxFileSize = 0x6400000;  // 100 MiB
const uint32_t kDefaultMaxFileNo = 9;
const uint32_t kMaxFileSize = 0x40000000;  // 1 GiB
const uint32_t kMaxFileNo = 99;
const size_t kLineCapacity = 4096;
const mode_t kFileMode = 0644;

// Serialises rolling inside the process; the lock file does it across
// processes sharing the directory.
std::mutex& RollMutex() {
  static std::mutex mutex;
  return mutex;
}

bool FileAtLeast(const char* path, uint32_t size) {
  struct stat st;
  return stat(path, &st) == 0 && static_cast<uint64_t>(st.st_size) >= size;
}

// "<directory>/<name><suffix>" into a path buffer, cut at its size.
void FormatPath(char* out, size_t size, const char* directory, const char* name,
                const char* suffix) {
  int written = std::snprintf(out, size, "%s/%s%s", directory, name, suffix);
  if (written < 0) out[0] = '\0';
}

bool Exists(const char* path) {
  struct stat st;
  return stat(path, &st) == 0;
}

}  // namespace

Log& Log::instance() {
  static Log log;
  return log;
}

Log::Log() : m_min_log_level(kOff) { default_init(); }

void Log::default_init() {
  m_min_log_level.store(kOff);
  m_max_file_size = kDefaultMaxFileSize;
  m_max_file_no = kDefaultMaxFileNo;
  m_log_file[0] = '\0';
  m_lock_file[0] = '\0';
  char link[64];
  std::snprintf(link, sizeof(link), "/proc/%d/exe", static_cast<int>(getpid()));
  char exe[256];
  ssize_t length = readlink(link, exe, sizeof(exe));
  if (length < 0 || static_cast<size_t>(length) >= sizeof(exe)) {
    // A library never writes to its host's standard output.
    std::fprintf(stderr, "readlink error:%s\n",
                 length < 0 ? std::strerror(errno) : "path too long");
    return;
  }
  exe[length] = '\0';
  const char* name = std::strrchr(exe, '/');
  if (name == nullptr) name = exe;
  FormatPath(m_log_file, sizeof(m_log_file), "./log", name, ".log");
  FormatPath(m_lock_file, sizeof(m_lock_file), "./log", ".lock", "");
  m_min_log_level.store(kWarn);
}

int Log::set(unsigned level, const char* directory, const char* prefix, uint32_t max_file_size,
             uint32_t max_file_no) {
  if (level > kOff || directory == nullptr || prefix == nullptr || max_file_size == 0 ||
      max_file_no == 0) {
    return -1;
  }
  m_min_log_level.store(static_cast<int>(level));
  FormatPath(m_log_file, sizeof(m_log_file), directory, prefix, ".log");
  FormatPath(m_lock_file, sizeof(m_lock_file), directory, ".lock", "");
  m_max_file_size = max_file_size < kMaxFileSize ? max_file_size : kMaxFileSize;
  m_max_file_no = max_file_no < kMaxFileNo ? max_file_no : kMaxFileNo;
  return 0;
}

void Log::set_log_level(unsigned level) {
  if (level <= kOff) m_min_log_level.store(static_cast<int>(level));
}

void Log::record(int level, const char* file, int line, const char* format, ...) {
  if (!enabled(level)) return;
  char message[kLineCapacity];
  va_list args;
  va_start(args, format);
  std::vsnprintf(message, sizeof(message), format, args);
  va_end(args);

  struct timeval now;
  gettimeofday(&now, nullptr);
  struct tm local;
  localtime_r(&now.tv_sec, &local);
  char time_text[32];
  std::strftime(time_text, sizeof(time_text), "%Y-%m-%d %H:%M:%S", &local);

  char text[kLineCapacity];
  int length = std::snprintf(text, sizeof(text), "%s.%06ld %-5d %s <%s:%d> %s\n", time_text,
                             static_cast<long>(now.tv_usec),
                             static_cast<int>(syscall(SYS_gettid)), kLevelNames[level], file,
                             line, message);
  if (length < 0) return;
  size_t size = static_cast<size_t>(length);
  if (size >= sizeof(text)) {
    // Cut to fit, keeping the line's end.
    size = sizeof(text) - 1;
    text[size - 1] = '\n';
  }
  output(text, size);
}

void Log::output(const char* text, size_t length) {
  roll_file();
  int fd = open(m_log_file, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, kFileMode);
  if (fd < 0) {
    std::fwrite(text, 1, length, stderr);
    return;
  }
  ssize_t ignored = write(fd, text, length);
  (void)ignored;
  close(fd);
}

void Log::roll_file() {
  if (!FileAtLeast(m_log_file, m_max_file_size)) return;
  std::lock_guard<std::mutex> guard(RollMutex());
  int lock = open(m_lock_file, O_WRONLY | O_CREAT | O_CLOEXEC, kFileMode);
  if (lock >= 0) flock(lock, LOCK_EX);
  if (FileAtLeast(m_log_file, m_max_file_size)) {
    char from[300];
    char to[300];
    for (uint32_t i = m_max_file_no - 1; i >= 1; --i) {
      std::snprintf(from, sizeof(from), "%s.%u", m_log_file, i);
      if (!Exists(from)) continue;
      std::snprintf(to, sizeof(to), "%s.%u", m_log_file, i + 1);
      std::rename(from, to);
    }
    std::snprintf(to, sizeof(to), "%s.1", m_log_file);
    std::rename(m_log_file, to);
  }
  if (lock >= 0) {
    flock(lock, LOCK_UN);
    close(lock);
  }
}

}  // namespace new_seg
