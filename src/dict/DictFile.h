// File and text helpers shared by the lexical-resource loaders and builders.
#ifndef ZORVSEG_DICT_DICTFILE_H_
#define ZORVSEG_DICT_DICTFILE_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <istream>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "dict/Darts.h"

namespace new_seg {
namespace dict_file {

// Size of a regular file in bytes; false when it cannot be examined.
bool FileSize(const std::string& path, uint64_t* size);

// A stdio file closed when its owner goes, on every early return.
struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
typedef std::unique_ptr<std::FILE, FileCloser> UniqueFile;

// The regular file `path` opened for reading, and its size; null when it
// cannot be examined or opened.
UniqueFile OpenWithSize(const std::string& path, uint64_t* size);

// False on a short read.
bool ReadBytes(std::FILE* file, void* buffer, uint64_t bytes);

// A trie dump is whole blocks of 256 four-byte units; anything else is a
// truncated or foreign file.
const uint64_t kTrieBlockBytes = 256 * 4;
bool IsWholeTrie(uint64_t bytes);
// Reads the trie's units from byte offset on, `bytes` of them (0: up to the
// end of the file). "" when read, otherwise why not.
std::string OpenTrie(const std::string& path, uint64_t offset, uint64_t bytes,
                     Darts::DoubleArray* trie);

// Writers put their output in a temporary file next to the target and
// rename it over the target only when it is complete.
std::string TemporaryPathFor(const std::string& path);
bool ReplaceWithTemporary(const std::string& temporary, const std::string& path);
// Creates the temporary file, lets write(file) fill it and renames it over
// path when write succeeds and the file closes cleanly. False with
// "<what>: <temporary>: <message>" on stderr otherwise, and no file left.
template <typename Write>
bool WriteThroughTemporary(const char* what, const std::string& path, Write write);

// Prints "<what>: <path>: <message>" on stderr.
void ReportFileError(const char* what, const std::string& path,
                     const std::string& message);
// Prints "<source>:<line>: <message>" on stderr.
void ReportLineError(const char* source, std::size_t line,
                     const std::string& message);

// A lexicon line as its parser sees it.
enum class LineKind { kEntry, kBlank, kError };

// Hands every line of in to take(line, &error), which parses and keeps it,
// counting the lines and the blank ones in stats->lines and
// stats->skipped_blank. The first line take refuses ends the reading,
// reported as "<source>:<line>: <error>"; a failing stream is reported as
// "<what>: <source>: read error". True when every line was taken.
template <typename Stats, typename Take>
bool TakeLines(std::istream& in, const char* what, const char* source, Stats* stats,
               Take take);

// Runs load(), turning the trie builder's exceptions and exhausted memory
// into "<what>: <path>: <message>" on stderr and false, so that a bad user
// file never escapes as an exception.
template <typename Load>
bool CatchLoadErrors(const char* what, const std::string& path, Load load);

// Splits a line at runs of white space (blank, TAB, CR, LF, VT, FF).
std::vector<std::string> SplitWhitespace(const std::string& text);

// Whole-token decimal parsing; false on any other text or overflow.
bool ParseInteger(const std::string& token, long long* value);
bool ParseFloat(const std::string& token, float* value);
bool ParseDouble(const std::string& token, double* value);
// A numeric field of a TAB-separated source line: empty means 0, any other
// text must be a whole number (an integer in 0..maximum); false with
// "<name> '<field>' is not ..." in error otherwise.
bool ParseUnsignedField(const std::string& field, uint64_t maximum, const char* name,
                        uint32_t* value, std::string* error);
bool ParseFloatField(const std::string& field, const char* name, float* value,
                     std::string* error);

template <typename Write>
bool WriteThroughTemporary(const char* what, const std::string& path, Write write) {
  std::string temporary = TemporaryPathFor(path);
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  if (file == nullptr) {
    ReportFileError(what, temporary, "cannot create the file");
    return false;
  }
  bool written = write(file);
  bool closed = std::fclose(file) == 0;
  if (!written || !closed) {
    std::remove(temporary.c_str());
    ReportFileError(what, temporary, "write failed");
    return false;
  }
  return ReplaceWithTemporary(temporary, path);
}

template <typename Stats, typename Take>
bool TakeLines(std::istream& in, const char* what, const char* source, Stats* stats,
               Take take) {
  std::string line;
  std::string error;
  while (std::getline(in, line)) {
    ++stats->lines;
    LineKind kind = take(line, &error);
    if (kind == LineKind::kBlank) ++stats->skipped_blank;
    if (kind == LineKind::kError) {
      ReportLineError(source, stats->lines, error);
      return false;
    }
  }
  if (!in.bad()) return true;
  ReportFileError(what, source, "read error");
  return false;
}

template <typename Load>
bool CatchLoadErrors(const char* what, const std::string& path, Load load) {
  try {
    return load();
  } catch (const Darts::Details::Exception& e) {
    ReportFileError(what, path, e.what());
  } catch (const std::bad_alloc&) {
    ReportFileError(what, path, "out of memory");
  }
  return false;
}

}  // namespace dict_file
}  // namespace new_seg

#endif  // ZORVSEG_DICT_DICTFILE_H_
