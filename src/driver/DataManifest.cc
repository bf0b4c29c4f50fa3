#include "driver/DataManifest.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "custom/UserTextFile.h"
#include "dict/DictFile.h"
#include "dict/FdCloser.h"

namespace new_seg {

const char DataManifest::kFileName[] = "manifest.txt";

namespace {

const uint64_t kPrime1 = 0x9E3779B185EBCA87ull;
const uint64_t kPrime2 = 0xC2B2AE3D27D4EB4Full;
const uint64_t kPrime3 = 0x165667B19E3779F9ull;
const size_t kReadBlock = 1 << 20;  // a multiple of 8, so only the last block has a tail

uint64_t Rotl(uint64_t x, int r) { return (x << r) | (x >> (64 - r)); }

// Eight bytes at a time, little-endian: a few gigabytes a second, so the
// check costs a small part of reading the files.
class Hasher {
 public:
  explicit Hasher(uint64_t total_len) : state_(kPrime3 ^ (total_len * kPrime1)) {}

  void Words(const unsigned char* bytes, size_t len) {
    for (size_t i = 0; i + 8 <= len; i += 8) {
      uint64_t word;
      std::memcpy(&word, bytes + i, 8);
      Take(word);
    }
  }
  void Tail(const unsigned char* bytes, size_t len) {
    if (len == 0) return;
    uint64_t word = 0;
    std::memcpy(&word, bytes, len);
    Take(word ^ (uint64_t{len} << 56));
  }
  uint64_t Digest() const {
    uint64_t h = state_;
    h ^= h >> 33;
    h *= kPrime2;
    h ^= h >> 29;
    h *= kPrime3;
    h ^= h >> 32;
    return h;
  }

 private:
  void Take(uint64_t word) {
    state_ ^= Rotl(word * kPrime2, 31) * kPrime1;
    state_ = Rotl(state_, 27) * kPrime1 + kPrime3;
  }

  uint64_t state_;
};

// Fills buffer from fd up to its size or the end of the file; the count read,
// or -1 on a read error.
ssize_t ReadFully(int fd, unsigned char* buffer, size_t size) {
  size_t got = 0;
  while (got < size) {
    ssize_t n = read(fd, buffer + got, size - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(got);
}

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  size_t begin = 0;
  for (;;) {
    size_t tab = line.find('\t', begin);
    fields.push_back(line.substr(begin, tab == std::string::npos ? std::string::npos : tab - begin));
    if (tab == std::string::npos) return fields;
    begin = tab + 1;
  }
}

bool ParseHex(const std::string& text, uint64_t* value) {
  if (text.empty() || text.size() > 18) return false;
  char* end = nullptr;
  errno = 0;
  unsigned long long parsed = std::strtoull(text.c_str(), &end, 16);
  if (errno != 0 || *end != '\0' || text[0] == '-' || text[0] == '+') return false;
  *value = parsed;
  return true;
}

std::string Hex(uint64_t value, int digits) {
  char buffer[24];
  std::snprintf(buffer, sizeof buffer, "%0*" PRIx64, digits, value);
  return buffer;
}

bool ParseFileLine(const std::vector<std::string>& fields, DataManifest::File* file,
                   std::string* error) {
  long long size = 0;
  if (fields.size() != 4 || fields[1].empty() || !dict_file::ParseInteger(fields[2], &size) ||
      size < 0 || !ParseHex(fields[3], &file->checksum)) {
    *error = "a file line is file<TAB>NAME<TAB>SIZE<TAB>CHECKSUM";
    return false;
  }
  if (fields[1].find("..") != std::string::npos || fields[1][0] == '/') {
    *error = "file name '" + fields[1] + "' leaves the data directory";
    return false;
  }
  file->name = fields[1];
  file->size = static_cast<uint64_t>(size);
  return true;
}

bool ParseSampleLine(const std::vector<std::string>& fields, DataManifest::Sample* sample,
                     std::string* error) {
  uint64_t mode = 0;
  if (fields.size() < 3 || !ParseHex(fields[1], &mode) || mode > UINT32_MAX) {
    *error = "a sample line is sample<TAB>MODE<TAB>TEXT<TAB>WORD...";
    return false;
  }
  sample->mode = static_cast<int32_t>(static_cast<uint32_t>(mode));
  sample->text = fields[2];
  sample->words.assign(fields.begin() + 3, fields.end());
  return true;
}

}  // namespace

uint64_t DataManifest::Checksum(const char* bytes, size_t len) {
  const unsigned char* b = reinterpret_cast<const unsigned char*>(bytes);
  Hasher hasher(len);
  size_t whole = len - len % 8;
  hasher.Words(b, whole);
  hasher.Tail(b + whole, len - whole);
  return hasher.Digest();
}

std::string DataManifest::FormatChecksum(uint64_t checksum) { return Hex(checksum, 16); }

bool DataManifest::ChecksumFile(const std::string& path, uint64_t* size, uint64_t* checksum,
                                std::string* error) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *error = std::strerror(errno);
    return false;
  }
  FdCloser closer(fd);
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    *error = "not a regular file";
    return false;
  }
  uint64_t expected = static_cast<uint64_t>(info.st_size);
  Hasher hasher(expected);
  std::vector<unsigned char> block(kReadBlock);
  uint64_t total = 0;
  for (;;) {
    ssize_t got = ReadFully(fd, block.data(), block.size());
    if (got < 0) {
      *error = std::string("read error: ") + std::strerror(errno);
      return false;
    }
    size_t n = static_cast<size_t>(got);
    total += n;
    size_t whole = n - n % 8;
    hasher.Words(block.data(), whole);
    if (n < block.size()) {
      hasher.Tail(block.data() + whole, n - whole);
      break;
    }
  }
  if (total != expected) {
    *error = "changed while being read";
    return false;
  }
  *size = total;
  *checksum = hasher.Digest();
  return true;
}

bool DataManifest::Parse(const std::string& text, std::string* error) {
  files.clear();
  samples.clear();
  notes.clear();
  bool parsed = UserTextFile::ForEachLine(text, [&](const std::string& line, size_t number) {
    if (line.empty() || line[0] == '#') return true;
    std::vector<std::string> fields = SplitTabs(line);
    std::string why;
    bool ok = true;
    if (fields[0] == "file") {
      files.emplace_back();
      ok = ParseFileLine(fields, &files.back(), &why);
    } else if (fields[0] == "sample") {
      samples.emplace_back();
      ok = ParseSampleLine(fields, &samples.back(), &why);
    } else {
      notes.push_back(line);
    }
    if (!ok) *error = "line " + std::to_string(number) + ": " + why;
    return ok;
  });
  return parsed;
}

std::string DataManifest::Format() const {
  std::ostringstream out;
  out << "# What the data build made, from what. LxInitSeg checks the size and checksum\n"
         "# of every file listed; the samples are re-checked by the tests.\n";
  for (const std::string& note : notes) out << note << "\n";
  for (const File& file : files) {
    out << "file\t" << file.name << "\t" << file.size << "\t" << FormatChecksum(file.checksum) << "\n";
  }
  for (const Sample& sample : samples) {
    out << "sample\t0x" << Hex(static_cast<uint32_t>(sample.mode), 0) << "\t" << sample.text;
    for (const std::string& word : sample.words) out << "\t" << word;
    out << "\n";
  }
  return out.str();
}

bool DataManifest::Read(const std::string& dir, DataManifest* manifest, bool* present,
                        std::string* error) {
  std::string path = dir + kFileName;
  *present = false;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    if (errno == ENOENT) return true;
    *error = path + ": " + std::strerror(errno);
    return false;
  }
  dict_file::UniqueFile closer(file);
  *present = true;
  std::string text;
  char block[4096];
  size_t got;
  while ((got = std::fread(block, 1, sizeof block, file)) > 0) text.append(block, got);
  if (std::ferror(file)) {
    *error = path + ": read error";
    return false;
  }
  std::string why;
  if (!manifest->Parse(text, &why)) {
    *error = path + ": " + why;
    return false;
  }
  return true;
}

bool DataManifest::VerifyDirectory(const std::string& dir) {
  DataManifest manifest;
  bool present = false;
  std::string error;
  if (!Read(dir, &manifest, &present, &error)) {
    std::fprintf(stderr, "data directory manifest: %s\n", error.c_str());
    return false;
  }
  for (const File& file : manifest.files) {
    std::string path = dir + file.name;
    uint64_t size = 0, checksum = 0;
    std::string problem;
    if (!ChecksumFile(path, &size, &checksum, &error)) {
      problem = error;
    } else if (size != file.size) {
      problem = std::to_string(size) + " bytes where the data build wrote " +
                std::to_string(file.size);
    } else if (checksum != file.checksum) {
      problem = "checksum " + FormatChecksum(checksum) + " where the data build wrote " +
                FormatChecksum(file.checksum);
    }
    if (!problem.empty()) {
      std::fprintf(stderr,
                   "data directory manifest: %s: %s; the file was changed or damaged after "
                   "the build (rebuild the data directory, or remove %s%s to load it "
                   "unchecked)\n",
                   path.c_str(), problem.c_str(), dir.c_str(), kFileName);
      return false;
    }
  }
  return true;
}

}  // namespace new_seg
