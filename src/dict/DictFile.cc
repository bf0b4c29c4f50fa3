#include "dict/DictFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace new_seg {
namespace dict_file {

bool FileSize(const std::string& path, uint64_t* size) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  *size = static_cast<uint64_t>(info.st_size);
  return true;
}

UniqueFile OpenWithSize(const std::string& path, uint64_t* size) {
  if (!FileSize(path, size)) return nullptr;
  return UniqueFile(std::fopen(path.c_str(), "rb"));
}

bool ReadBytes(std::FILE* file, void* buffer, uint64_t bytes) {
  return std::fread(buffer, 1, bytes, file) == bytes;
}

bool IsWholeTrie(uint64_t bytes) {
  return bytes != 0 && bytes % kTrieBlockBytes == 0;
}

std::string OpenTrie(const std::string& path, uint64_t offset, uint64_t bytes,
                     Darts::DoubleArray* trie) {
  try {
    if (trie->open(path.c_str(), "rb", offset, bytes) != 0) return "cannot read the trie";
  } catch (const Darts::Details::Exception& e) {
    return e.what();
  }
  return std::string();
}

std::string TemporaryPathFor(const std::string& path) {
  return path + ".tmp." + std::to_string(static_cast<long>(getpid()));
}

bool ReplaceWithTemporary(const std::string& temporary,
                          const std::string& path) {
  if (std::rename(temporary.c_str(), path.c_str()) == 0) return true;
  ReportFileError("rename", path, std::strerror(errno));
  std::remove(temporary.c_str());
  return false;
}

void ReportFileError(const char* what, const std::string& path,
                     const std::string& message) {
  std::fprintf(stderr, "%s: %s: %s\n", what, path.c_str(), message.c_str());
}

void ReportLineError(const char* source, std::size_t line,
                     const std::string& message) {
  std::fprintf(stderr, "%s:%zu: %s\n", source, line, message.c_str());
}

std::vector<std::string> SplitWhitespace(const std::string& text) {
  static const char kSpace[] = " \t\r\n\v\f";
  std::vector<std::string> tokens;
  std::size_t begin = text.find_first_not_of(kSpace);
  while (begin != std::string::npos) {
    std::size_t end = text.find_first_of(kSpace, begin);
    tokens.push_back(text.substr(begin, end - begin));
    begin = end == std::string::npos ? end : text.find_first_not_of(kSpace, end);
  }
  return tokens;
}

bool ParseInteger(const std::string& token, long long* value) {
  if (token.empty()) return false;
  char* end = nullptr;
  errno = 0;
  long long parsed = std::strtoll(token.c_str(), &end, 10);
  if (errno != 0 || end != token.c_str() + token.size()) return false;
  // strtoll skips leading blanks; tokens never have any, but a sign alone
  // or "+-" mixtures are rejected by the end check above.
  *value = parsed;
  return true;
}

namespace {

// Finite numbers only, and the whole token.
template <typename Number, typename Parse>
bool ParseNumber(const std::string& token, Number* value, Parse parse) {
  if (token.empty()) return false;
  char* end = nullptr;
  errno = 0;
  Number parsed = parse(token.c_str(), &end);
  if (errno != 0 || end != token.c_str() + token.size()) return false;
  if (!std::isfinite(parsed)) return false;
  *value = parsed;
  return true;
}

}  // namespace

bool ParseFloat(const std::string& token, float* value) {
  return ParseNumber(token, value, [](const char* p, char** e) { return std::strtof(p, e); });
}

bool ParseDouble(const std::string& token, double* value) {
  return ParseNumber(token, value, [](const char* p, char** e) { return std::strtod(p, e); });
}

bool ParseUnsignedField(const std::string& field, uint64_t maximum, const char* name,
                        uint32_t* value, std::string* error) {
  long long parsed = 0;
  if (!field.empty() && (!ParseInteger(field, &parsed) || parsed < 0 ||
                         static_cast<unsigned long long>(parsed) > maximum)) {
    *error = std::string(name) + " '" + field + "' is not an integer in 0.." +
             std::to_string(maximum);
    return false;
  }
  *value = static_cast<uint32_t>(parsed);
  return true;
}

bool ParseFloatField(const std::string& field, const char* name, float* value,
                     std::string* error) {
  float parsed = 0.0f;
  if (!field.empty() && !ParseFloat(field, &parsed)) {
    *error = std::string(name) + " '" + field + "' is not a number";
    return false;
  }
  *value = parsed;
  return true;
}

}  // namespace dict_file
}  // namespace new_seg
