#include "custom/CustomDict.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "dict/DictFile.h"
#include "custom/UserTextFile.h"
#include "text/TextUtil.h"

namespace new_seg {

namespace {

const char kWhat[] = "custom dictionary";
const char* const kDefaultTag = "n";
// Beyond this many refused lines in one file only a count is printed, so a
// file of long lines cannot flood the error stream.
const size_t kMaxLineReportsPerFile = 10;

const char* const cspos_[] = {
    "a",  "ad", "an", "b",  "c",  "d",  "e",  "f",  "g",  "h",  "i",  "j",
    "k",  "l",  "m",  "n",  "nr", "nrf", "nrg", "ns", "nt", "nz", "nx", "o",
    "p",  "q",  "r",  "s",  "t",  "u",  "v",  "vd", "vn", "w",  "x",  "y",
    "z",  "Ag", "Bg", "Dg", "Mg", "Ng", "Qg", "Rg", "Tg", "Vg", "Yg", "Zg"};

typedef std::map<std::string, CustomTermAttribute> WordMap;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

// The tag of a "word,tag" line: the first blank-delimited token after the
// comma, or "" when there is none.
std::string TagAfterComma(const std::string& line, size_t comma) {
  size_t begin = comma + 1;
  while (begin < line.size() && IsBlank(line[begin])) ++begin;
  size_t end = begin;
  while (end < line.size() && !IsBlank(line[end])) ++end;
  return line.substr(begin, end - begin);
}

// Reads word files and directory trees into one word map.
class Scanner {
 public:
  explicit Scanner(WordMap* words) : words_(words) {}

  // The path the caller names may be a link to a directory; links inside
  // the tree are read as files, so the scan can never run in a circle.
  bool ScanTop(const std::string& path) {
    struct stat info;
    if (lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode) &&
        stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
      return ScanDirectory(path);
    }
    return Scan(path);
  }

  bool Scan(const std::string& path) {
    if (path.size() >= CustomDict::kPathCapacity) {
      dict_file::ReportFileError(kWhat, path.substr(0, 200) + "...",
                                 "path of 4096 bytes or more");
      return false;
    }
    struct stat info;
    if (lstat(path.c_str(), &info) != 0) {
      if (errno == ENOENT) return true;  // nothing there: no words
      dict_file::ReportFileError(kWhat, path, std::strerror(errno));
      return false;
    }
    if (!S_ISDIR(info.st_mode)) return ReadFile(path);
    return ScanDirectory(path);
  }

 private:
  bool ScanDirectory(std::string path) {
    if (path.back() != '/') path += '/';
    std::vector<std::string> names;
    if (!ListDirectory(path, &names)) return false;
    // Byte order, so that which of two files defining the same word is read
    // last (and wins) does not depend on the file system.
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
      if (!Scan(path + name)) return false;
    }
    return true;
  }

  // The entries are collected before descending, so only one directory is
  // open at a time however deep the tree.
  bool ListDirectory(const std::string& path, std::vector<std::string>* names) {
    DIR* dir = opendir(path.c_str());
    if (dir == nullptr) {
      dict_file::ReportFileError(kWhat, path, std::strerror(errno));
      return false;
    }
    errno = 0;
    while (struct dirent* entry = readdir(dir)) {
      const char* name = entry->d_name;
      if (std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0 &&
          std::strcmp(name, ".svn") != 0) {
        names->push_back(name);
      }
      errno = 0;
    }
    bool listed = errno == 0;
    if (!listed) dict_file::ReportFileError(kWhat, path, std::strerror(errno));
    if (closedir(dir) != 0) fprintf(stderr, "can't close directory %s\n", path.c_str());
    return listed;
  }

  bool ReadFile(const std::string& path) {
    refused_ = 0;
    auto add = [&](const std::string& line, size_t number) { AddLine(path, line, number); };
    if (!UserTextFile::ReadLines(path, kWhat, add)) return false;
    if (refused_ > kMaxLineReportsPerFile) {
      dict_file::ReportFileError(kWhat, path,
                                 std::to_string(refused_ - kMaxLineReportsPerFile) +
                                     " more lines refused");
    }
    return true;
  }

  void AddLine(const std::string& path, const std::string& line, size_t number) {
    if (line.empty() || line[0] == '#') return;
    size_t comma = line.find(',');
    std::string word = line.substr(0, comma);
    if (word.empty()) return;
    if (word.size() > CustomDict::kMaxWordLen) {
      Refuse(path, number, "word of " + std::to_string(word.size()) +
                               " bytes refused (at most 255)");
      return;
    }
    if (word.find('\0') != std::string::npos) {
      Refuse(path, number, "word with a NUL byte refused");
      return;
    }
    ToLower(word);
    std::string tag = comma == std::string::npos ? kDefaultTag : TagAfterComma(line, comma);
    CustomTermAttribute attribute;
    attribute.term_pos = CustomDict::getPosId(tag.c_str());
    attribute.term_len = static_cast<uint8_t>(word.size());
    (*words_)[word] = attribute;
  }

  void Refuse(const std::string& path, size_t number, const std::string& message) {
    if (++refused_ <= kMaxLineReportsPerFile) {
      dict_file::ReportLineError((std::string(kWhat) + ": " + path).c_str(), number, message);
    }
  }

  WordMap* words_;
  size_t refused_ = 0;
};

}  // namespace

CustomDict::~CustomDict() { UnInit(); }

uint8_t CustomDict::getPosId(const char* tag) {
  const size_t kCount = sizeof(cspos_) / sizeof(cspos_[0]);
  for (size_t i = 0; i < kCount; ++i) {
    if (Strcmpcase(tag, cspos_[i]) == 0) return static_cast<uint8_t>(i + 1);
  }
  return UNK_POS;
}

bool CustomDict::Init(const char* path) {
  if (path == nullptr) return true;
  try {
    return Build(path);
  } catch (const std::bad_alloc&) {
    dict_file::ReportFileError(kWhat, path, "out of memory");
    return false;
  }
}

bool CustomDict::Build(const char* path) {
  WordMap words;
  Scanner scanner(&words);
  if (!scanner.ScanTop(path)) return false;

  std::vector<const char*> keys;
  keys.reserve(words.size());
  for (const auto& word : words) keys.push_back(word.first.c_str());
  std::unique_ptr<Darts::DoubleArrayImpl<int>> trie(new Darts::DoubleArrayImpl<int>);
  std::unique_ptr<CustomTermAttribute[]> values(new CustomTermAttribute[words.size()]);
  try {
    trie->build(keys.size(), keys.data());
  } catch (const Darts::Details::Exception& e) {
    dict_file::ReportFileError(kWhat, path, e.what());
    return false;
  }
  size_t i = 0;
  for (const auto& word : words) values[i++] = word.second;
  trie_impl_pt_ = std::move(trie);
  values_ = std::move(values);
  size_ = words.size();
  return true;
}

bool CustomDict::UnInit() {
  trie_impl_pt_.reset();
  values_.reset();
  size_ = 0;
  return true;
}

size_t CustomDict::CommonPrefixSearch(const char* key, size_t len, int* results,
                                      size_t maximum, size_t node_pos) const {
  if (trie_impl_pt_ == nullptr || size_ == 0) return 0;
  size_t count = trie_impl_pt_->commonPrefixSearch(key, results, maximum, len, node_pos);
  size_t stored = std::min(count, maximum);
  for (size_t i = 0; i < stored; ++i) ++results[i];
  return count;
}

int CustomDict::ExactMatchSearch(const char* key, size_t len, size_t node_pos) const {
  if (trie_impl_pt_ == nullptr || size_ == 0) return -1;
  int value = trie_impl_pt_->exactMatchSearch(key, len, node_pos);
  return value < 0 ? -1 : value + 1;
}

const CustomTermAttribute* CustomDict::GetValue(int id) const {
  if (id < 1 || static_cast<size_t>(id) > size_) return nullptr;
  return &values_[id - 1];
}

}  // namespace new_seg
