#include "dict/CoreDict.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <istream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "dict/DictFile.h"

namespace new_seg {

Darts::DoubleArrayImpl<int>* CoreDict::trie_impl_pt_ = nullptr;
uint64_t CoreDict::size_ = 0;
CoreTermAttribute* CoreDict::values_ = nullptr;
uint8_t* CoreDict::seg_info_array_ = nullptr;
uint64_t CoreDict::seg_info_size_ = 0;

namespace {

const char kWhat[] = "core dictionary";
const uint64_t kCountBytes = 8;
const uint64_t kRecordBytes = sizeof(CoreTermAttribute);

// Everything a load or a build produces, installed into the static members
// only once it is complete and consistent.
struct CoreDictImage {
  std::unique_ptr<Darts::DoubleArray> trie;
  std::unique_ptr<CoreTermAttribute[]> values;
  uint64_t size = 0;
  std::unique_ptr<uint8_t[]> seg_info;
  uint64_t seg_info_size = 0;
};

// --- loading ---

class FileCloser {
 public:
  explicit FileCloser(std::FILE* file) : file_(file) {}
  ~FileCloser() {
    if (file_ != nullptr) std::fclose(file_);
  }
  FileCloser(const FileCloser&) = delete;
  FileCloser& operator=(const FileCloser&) = delete;

 private:
  std::FILE* file_;
};

bool ReadBytes(std::FILE* file, void* buffer, uint64_t bytes) {
  return std::fread(buffer, 1, bytes, file) == bytes;
}

bool Fail(const std::string& path, const std::string& message) {
  dict_file::ReportFileError(kWhat, path, message);
  return false;
}

// A list starts at its index and must reach the term's length inside the
// array, or readers would walk past its end.
bool SegInfoListsFit(const CoreDictImage& image, const std::string& path) {
  for (uint64_t i = 0; i < image.size; ++i) {
    const CoreTermAttribute& record = image.values[i];
    uint64_t index = record.term_seg_info_index;
    if (index == 0) continue;
    if (index >= image.seg_info_size) {
      return Fail(path, "record " + std::to_string(i) + " points at seg-info byte " +
                            std::to_string(index) + " of " +
                            std::to_string(image.seg_info_size));
    }
    const uint8_t* list = image.seg_info.get();
    uint64_t end = index;
    while (end < image.seg_info_size && list[end] != record.term_len) ++end;
    if (end == image.seg_info_size) {
      return Fail(path, "seg-info list of record " + std::to_string(i) +
                            " never reaches the term length " +
                            std::to_string(record.term_len));
    }
  }
  return true;
}

// Every value unit must name a record, so that ids handed out are valid.
bool TrieValuesFit(const CoreDictImage& image, const std::string& path) {
  auto units = static_cast<const uint32_t*>(image.trie->array());
  for (std::size_t i = 0; i < image.trie->size(); ++i) {
    if ((units[i] & 0x80000000u) == 0) continue;
    if ((units[i] & 0x7FFFFFFFu) >= image.size) {
      return Fail(path, "trie unit " + std::to_string(i) +
                            " names record " +
                            std::to_string(units[i] & 0x7FFFFFFFu) + " of " +
                            std::to_string(image.size));
    }
  }
  return true;
}

bool ReadRecords(std::FILE* file, uint64_t file_size, const std::string& path,
                 CoreDictImage* image) {
  if (file_size < kCountBytes * 2 ||
      !ReadBytes(file, &image->size, kCountBytes)) {
    return Fail(path, "file too short for the record count and seg-info size");
  }
  if (image->size > (file_size - kCountBytes * 2) / kRecordBytes) {
    return Fail(path, std::to_string(image->size) + " records do not fit a file of " +
                          std::to_string(file_size) + " bytes");
  }
  image->values.reset(new CoreTermAttribute[image->size]);
  if (!ReadBytes(file, image->values.get(), image->size * kRecordBytes)) {
    return Fail(path, "short read of the records");
  }
  return true;
}

bool ReadSegInfo(std::FILE* file, uint64_t file_size, const std::string& path,
                 CoreDictImage* image) {
  uint64_t used = kCountBytes * 2 + image->size * kRecordBytes;
  if (!ReadBytes(file, &image->seg_info_size, kCountBytes)) {
    return Fail(path, "short read of the seg-info size");
  }
  if (image->seg_info_size == 0 || image->seg_info_size > file_size - used) {
    return Fail(path, "seg-info size " + std::to_string(image->seg_info_size) +
                          " does not fit a file of " + std::to_string(file_size) +
                          " bytes");
  }
  image->seg_info.reset(new uint8_t[image->seg_info_size]);
  if (!ReadBytes(file, image->seg_info.get(), image->seg_info_size)) {
    return Fail(path, "short read of the seg-info bytes");
  }
  if (image->seg_info[0] != 0) return Fail(path, "seg-info byte 0 is not 0");
  return true;
}

bool ReadTrie(uint64_t file_size, const std::string& path,
              CoreDictImage* image) {
  uint64_t offset = kCountBytes * 2 + image->size * kRecordBytes +
                    image->seg_info_size;
  uint64_t trie_bytes = file_size - offset;
  if (!dict_file::IsWholeTrie(trie_bytes)) {
    return Fail(path, "trie part of " + std::to_string(trie_bytes) +
                          " bytes is not a whole number of " +
                          std::to_string(dict_file::kTrieBlockBytes) +
                          "-byte blocks");
  }
  image->trie.reset(new Darts::DoubleArray);
  try {
    if (image->trie->open(path.c_str(), "rb", offset, trie_bytes) != 0) {
      return Fail(path, "cannot read the trie");
    }
  } catch (const Darts::Details::Exception& e) {
    return Fail(path, e.what());
  }
  return true;
}

bool LoadImage(const std::string& path, CoreDictImage* image) {
  uint64_t file_size = 0;
  if (!dict_file::FileSize(path, &file_size)) {
    return Fail(path, "cannot open the file");
  }
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return Fail(path, "cannot open the file");
  FileCloser closer(file);
  return ReadRecords(file, file_size, path, image) &&
         ReadSegInfo(file, file_size, path, image) &&
         ReadTrie(file_size, path, image) && SegInfoListsFit(*image, path) &&
         TrieValuesFit(*image, path);
}

// --- building ---

enum class LineKind { kEntry, kBlank, kError };

struct LexiconEntry {
  std::string term;
  uint16_t type = 0;
  std::vector<uint8_t> positions;
};

// Split positions ascend and end with the term's length: readers stop at the
// first byte equal to the length.
bool CheckPositions(const std::vector<long long>& positions,
                    std::size_t term_len, std::string* error) {
  for (std::size_t i = 0; i < positions.size(); ++i) {
    if (positions[i] < 0 || positions[i] > 255) {
      *error = "split position " + std::to_string(positions[i]) +
               " is outside 0..255";
      return false;
    }
    if (i > 0 && positions[i] <= positions[i - 1]) {
      *error = "split positions do not ascend";
      return false;
    }
  }
  if (!positions.empty() && static_cast<std::size_t>(positions.back()) != term_len) {
    *error = "split positions end at " + std::to_string(positions.back()) +
             ", not at the term length " + std::to_string(term_len);
    return false;
  }
  return true;
}

LineKind ParseLexiconLine(const std::string& line, LexiconEntry* entry,
                          std::string* error) {
  std::size_t tab = line.find('\t');
  entry->term = line.substr(0, tab);
  if (entry->term.empty()) return LineKind::kBlank;
  if (tab == std::string::npos) {
    *error = "no TAB and term type after the term";
    return LineKind::kError;
  }
  if (entry->term.size() > 0xFFFF) {
    *error = "term longer than 65535 bytes";
    return LineKind::kError;
  }
  std::vector<std::string> fields = dict_file::SplitWhitespace(line.substr(tab + 1));
  long long type = 0;
  if (fields.empty()) {
    *error = "missing term type";
    return LineKind::kError;
  }
  if (!dict_file::ParseInteger(fields[0], &type) || type < 0 || type > 0xFFFF) {
    *error = "term type '" + fields[0] + "' is not an integer in 0..65535";
    return LineKind::kError;
  }
  entry->type = static_cast<uint16_t>(type);

  std::vector<long long> positions;
  for (std::size_t i = 1; i < fields.size(); ++i) {
    long long position = 0;
    if (!dict_file::ParseInteger(fields[i], &position)) {
      *error = "split position '" + fields[i] + "' is not an integer";
      return LineKind::kError;
    }
    if (position != -1) positions.push_back(position);
  }
  if (!CheckPositions(positions, entry->term.size(), error)) {
    return LineKind::kError;
  }
  entry->positions.assign(positions.begin(), positions.end());
  return LineKind::kEntry;
}

bool BuildTrie(const std::map<std::string, CoreTermAttribute>& terms,
               const char* source_name, CoreDictImage* image) {
  std::vector<const char*> keys;
  keys.reserve(terms.size());
  for (const auto& term : terms) keys.push_back(term.first.c_str());
  image->trie.reset(new Darts::DoubleArray);
  try {
    image->trie->build(keys.size(), keys.data());
  } catch (const Darts::Details::Exception& e) {
    return Fail(source_name, e.what());
  }
  return true;
}

bool BuildImage(std::istream& in, const char* source_name,
                CoreDictBuildStats* stats, CoreDictImage* image) {
  std::map<std::string, CoreTermAttribute> terms;
  std::vector<uint8_t> seg_info(1, 0);  // index 0 means "no list"
  std::string line;
  LexiconEntry entry;
  std::string error;
  while (std::getline(in, line)) {
    ++stats->lines;
    LineKind kind = ParseLexiconLine(line, &entry, &error);
    if (kind == LineKind::kBlank) {
      ++stats->skipped_blank;
      continue;
    }
    if (kind == LineKind::kError) {
      dict_file::ReportLineError(source_name, stats->lines, error);
      return false;
    }
    if (seg_info.size() + entry.positions.size() > UINT32_MAX) {
      dict_file::ReportLineError(source_name, stats->lines,
                                 "seg-info array exceeds 4 GiB");
      return false;
    }
    CoreTermAttribute record;
    record.term_len = static_cast<uint16_t>(entry.term.size());
    record.term_type = entry.type;
    record.term_seg_info_index =
        entry.positions.empty() ? 0 : static_cast<uint32_t>(seg_info.size());
    seg_info.insert(seg_info.end(), entry.positions.begin(), entry.positions.end());
    auto inserted = terms.insert({entry.term, record});
    if (!inserted.second) {
      inserted.first->second = record;
      ++stats->replaced;
    }
  }
  if (in.bad()) return Fail(source_name, "read error");
  if (!BuildTrie(terms, source_name, image)) return false;

  image->size = terms.size();
  image->values.reset(new CoreTermAttribute[terms.size()]);
  std::size_t i = 0;
  for (const auto& term : terms) image->values[i++] = term.second;
  image->seg_info_size = seg_info.size();
  image->seg_info.reset(new uint8_t[seg_info.size()]);
  std::memcpy(image->seg_info.get(), seg_info.data(), seg_info.size());
  return true;
}

// --- saving ---

bool WriteHeader(std::FILE* file, const CoreTermAttribute* values,
                 uint64_t size, const uint8_t* seg_info,
                 uint64_t seg_info_size) {
  return std::fwrite(&size, kCountBytes, 1, file) == 1 &&
         std::fwrite(values, kRecordBytes, size, file) == size &&
         std::fwrite(&seg_info_size, kCountBytes, 1, file) == 1 &&
         std::fwrite(seg_info, 1, seg_info_size, file) == seg_info_size;
}

}  // namespace

bool CoreDict::IsLoaded() {
  return trie_impl_pt_ != nullptr && values_ != nullptr && size_ != 0 &&
         seg_info_array_ != nullptr && seg_info_size_ != 0;
}

bool CoreDict::Init(const char* path) {
  if (IsLoaded()) return true;
  CoreDictImage image;
  if (!LoadImage(path, &image)) return false;
  UnInit();
  trie_impl_pt_ = image.trie.release();
  size_ = image.size;
  values_ = image.values.release();
  seg_info_array_ = image.seg_info.release();
  seg_info_size_ = image.seg_info_size;
  return true;
}

bool CoreDict::UnInit() {
  delete trie_impl_pt_;
  trie_impl_pt_ = nullptr;
  delete[] values_;
  values_ = nullptr;
  size_ = 0;
  delete[] seg_info_array_;
  seg_info_array_ = nullptr;
  seg_info_size_ = 0;
  return true;
}

bool CoreDict::Build(const char* text_path) {
  std::ifstream in(text_path, std::ios::binary);
  if (!in) return Fail(text_path, "cannot open the file");
  return BuildFromStream(in, text_path);
}

bool CoreDict::BuildFromStream(std::istream& in, const char* source_name,
                               CoreDictBuildStats* stats) {
  CoreDictBuildStats local_stats;
  CoreDictImage image;
  if (!BuildImage(in, source_name, stats != nullptr ? stats : &local_stats,
                  &image)) {
    return false;
  }
  UnInit();
  trie_impl_pt_ = image.trie.release();
  size_ = image.size;
  values_ = image.values.release();
  seg_info_array_ = image.seg_info.release();
  seg_info_size_ = image.seg_info_size;
  return true;
}

bool CoreDict::Save(const char* path) {
  if (trie_impl_pt_ == nullptr || size_ == 0 || seg_info_size_ == 0) {
    return false;
  }
  std::string temporary = dict_file::TemporaryPathFor(path);
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  if (file == nullptr) return Fail(temporary, "cannot create the file");
  bool written = WriteHeader(file, values_, size_, seg_info_array_, seg_info_size_);
  bool closed = std::fclose(file) == 0;
  if (!written || !closed ||
      trie_impl_pt_->save(temporary.c_str(), "ab") != 0) {
    std::remove(temporary.c_str());
    return Fail(temporary, "write failed");
  }
  return dict_file::ReplaceWithTemporary(temporary, path);
}

int CoreDict::ExactMatchSearch(const char* key, std::size_t len,
                               std::size_t node_pos) {
  if (trie_impl_pt_ == nullptr) return -1;
  int value = trie_impl_pt_->exactMatchSearch(key, len, node_pos);
  return value < 0 ? -1 : value + 1;
}

std::size_t CoreDict::CommonPrefixSearch(const char* key, std::size_t len,
                                         int* results, std::size_t maximum,
                                         std::size_t node_pos) {
  if (trie_impl_pt_ == nullptr) return 0;
  std::size_t count =
      trie_impl_pt_->commonPrefixSearch(key, results, maximum, len, node_pos);
  std::size_t stored = count < maximum ? count : maximum;
  for (std::size_t i = 0; i < stored; ++i) ++results[i];
  return count;
}

int CoreDict::Traverse(const char* key, std::size_t len, std::size_t* node_pos,
                       std::size_t* key_pos) {
  if (trie_impl_pt_ == nullptr) return -2;
  return trie_impl_pt_->traverse(key, *node_pos, *key_pos, len);
}

const CoreTermAttribute* CoreDict::GetValue(int id) {
  if (id < 1 || static_cast<uint64_t>(id) > size_) return nullptr;
  return &values_[id - 1];
}

const uint8_t* CoreDict::GetSegInfo(std::size_t index) {
  if (index >= seg_info_size_) return nullptr;
  return seg_info_array_ + index;
}

}  // namespace new_seg
