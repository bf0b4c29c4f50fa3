#include "custom/UserTextFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "dict/DictFile.h"
#include "dict/FdCloser.h"
#include "text/EncodeConverter.h"

namespace new_seg {

namespace {

const char kByteOrderMark[] = "\xEF\xBB\xBF";
const size_t kByteOrderMarkLen = 3;

bool HasByteOrderMark(const char* bytes, size_t len) {
  return len >= kByteOrderMarkLen && std::memcmp(bytes, kByteOrderMark, kByteOrderMarkLen) == 0;
}

bool Fail(const char* what, const std::string& path, const std::string& reason) {
  dict_file::ReportFileError(what, path, reason);
  return false;
}

// Length of the UTF-8 sequence at bytes[i], or 0 when it is not valid.
size_t Utf8SequenceLen(const unsigned char* bytes, size_t i, size_t len) {
  unsigned char lead = bytes[i];
  if (lead < 0x80) return 1;
  size_t need;
  unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    need = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    need = 3;
    if (lead == 0xE0) low = 0xA0;   // overlong
    if (lead == 0xED) high = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    need = 4;
    if (lead == 0xF0) low = 0x90;   // overlong
    if (lead == 0xF4) high = 0x8F;  // above U+10FFFF
  } else {
    return 0;
  }
  if (len - i < need) return 0;
  if (bytes[i + 1] < low || bytes[i + 1] > high) return 0;
  for (size_t k = 2; k < need; ++k) {
    if ((bytes[i + k] & 0xC0) != 0x80) return 0;
  }
  return need;
}

}  // namespace

bool UserTextFile::IsValidUtf8(const char* bytes, size_t len) {
  const unsigned char* b = reinterpret_cast<const unsigned char*>(bytes);
  for (size_t i = 0; i < len;) {
    size_t step = Utf8SequenceLen(b, i, len);
    if (step == 0) return false;
    i += step;
  }
  return true;
}

UserTextFile::Utf8Lines UserTextFile::CountUtf8Lines(const char* bytes, size_t len) {
  Utf8Lines lines;
  for (size_t begin = 0; begin < len;) {
    const char* newline = static_cast<const char*>(std::memchr(bytes + begin, '\n', len - begin));
    size_t end = newline == nullptr ? len : static_cast<size_t>(newline - bytes);
    const char* line = bytes + begin;
    size_t line_len = end - begin;
    bool ascii = true;
    for (size_t i = 0; i < line_len && ascii; ++i) ascii = static_cast<unsigned char>(line[i]) < 0x80;
    if (!ascii) ++(IsValidUtf8(line, line_len) ? lines.valid : lines.invalid);
    begin = end + 1;
  }
  return lines;
}

UserTextFile::Encoding UserTextFile::Detect(const char* bytes, size_t len) {
  Utf8Lines lines = CountUtf8Lines(bytes, len);
  if (lines.valid == 0 && lines.invalid == 0) return Encoding::kAscii;
  // A GBK line is valid UTF-8 only by rare chance (its common trail bytes
  // 0xC0 to 0xFE cannot follow a UTF-8 lead byte), a few in a hundred for
  // a line of one short word; so most lines valid means UTF-8, however
  // broken the rest.
  return lines.valid > lines.invalid ? Encoding::kUtf8 : Encoding::kGbk;
}

bool UserTextFile::Utf8ToGb18030(std::string* text) {
  size_t skip = HasByteOrderMark(text->data(), text->size()) ? kByteOrderMarkLen : 0;
  EncodeConverter converter;
  if (!converter.ok()) return false;
  // No character grows by more than half: 2 UTF-8 bytes can need 4 GB18030
  // bytes, 3 bytes at most 4, 4 bytes stay 4.
  std::vector<char> out((text->size() - skip) * 2 + 4);
  size_t out_len = out.size();
  if (!converter.UTF2GBK(text->data() + skip, text->size() - skip, out.data(), out_len)) {
    return false;
  }
  text->assign(out.data(), out_len);
  return true;
}

bool UserTextFile::Read(const std::string& path, const char* what, std::string* text,
                        Encoding* encoding) {
  // Non-blocking, so that a FIFO cannot stall the open; regular files are
  // not affected by the flag.
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return Fail(what, path, std::string("cannot open: ") + std::strerror(errno));
  FdCloser closer(fd);
  struct stat info;
  if (fstat(fd, &info) != 0) return Fail(what, path, std::strerror(errno));
  if (!S_ISREG(info.st_mode)) {
    return Fail(what, path, S_ISDIR(info.st_mode) ? "is a directory" : "not a regular file");
  }
  text->clear();
  char block[64 * 1024];
  for (;;) {
    ssize_t got = read(fd, block, sizeof(block));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return Fail(what, path, std::string("read error: ") + std::strerror(errno));
    if (got == 0) break;
    text->append(block, static_cast<size_t>(got));
  }
  Encoding found = Detect(text->data(), text->size());
  if (found == Encoding::kUtf8) {
    if (!IsValidUtf8(text->data(), text->size())) DropInvalidUtf8Lines(what, path, text);
    if (!Utf8ToGb18030(text)) return Fail(what, path, "cannot convert from UTF-8");
  }
  if (encoding != nullptr) *encoding = found;
  return true;
}

void UserTextFile::DropInvalidUtf8Lines(const char* what, const std::string& path,
                                        std::string* text) {
  std::string kept;
  size_t dropped = 0;
  ForEachLine(*text, [&](const std::string& line, size_t number) {
    // A dropped line stays as an empty one, so later lines keep their numbers.
    if (IsValidUtf8(line.data(), line.size())) {
      kept += line;
    } else if (++dropped <= kMaxInvalidLineReports) {
      dict_file::ReportLineError((std::string(what) + ": " + path).c_str(), number,
                                 "not valid UTF-8 (the file is read as UTF-8), line skipped");
    }
    kept += '\n';
    return true;
  });
  if (dropped == 0) return;
  if (dropped > kMaxInvalidLineReports) {
    Fail(what, path, std::to_string(dropped - kMaxInvalidLineReports) +
                         " more lines of invalid UTF-8 skipped");
  }
  text->swap(kept);
}

}  // namespace new_seg
