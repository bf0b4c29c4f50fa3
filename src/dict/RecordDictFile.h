// Fixed-size records found through a double-array trie, optionally with a
// seg-info byte array that records point into, and the file that holds them:
//
//   8 bytes    record count N, little-endian
//   N records  of sizeof(Record) bytes each, as they are in memory
//   8 bytes    seg-info size S             (only with a seg-info block)
//   S bytes    seg-info; byte 0 is 0, so that index 0 can mean "no list"
//   the trie's units up to the end of the file
//
// core_dict.dat and core_rule.dat have the seg-info block; the entity
// dictionary and the entity patterns have none. The custom rules keep their
// records in one without a file. Every count is checked against the file
// size before anything is allocated, and neither a load nor a build touches
// the current content unless it completes. Lookups hand out 1-based record
// ids: id k is record k - 1, while Traverse hands out the raw 0-based trie
// value.
#ifndef ZORVSEG_DICT_RECORDDICTFILE_H_
#define ZORVSEG_DICT_RECORDDICTFILE_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "dict/Darts.h"
#include "dict/DictFile.h"

namespace new_seg {

template <typename Record>
class RecordDictFile {
 public:
  // Why a loaded record does not fit the seg-info bytes, as a message that
  // names the record's 0-based index; "" when it fits.
  typedef std::string (*RecordCheck)(const Record& record, uint64_t index,
                                     const uint8_t* seg_info, uint64_t seg_info_size);
  // Whether a file without records loads.
  enum class Count { kAny, kAtLeastOne };
  // Trie keys end at their first NUL byte, or are taken whole, in which case
  // a key holding a NUL byte fails the build.
  enum class Keys { kUpToNul, kWhole };
  // Whether the file has the seg-info block between records and trie.
  enum class Layout { kWithSegInfo, kRecordsOnly };

  // Messages read "<what>: <path>: ..." and name records by noun and plural
  // ("trie unit 9 names rule 3 ...", "2 rules do not fit ...").
  constexpr RecordDictFile(const char* what, const char* noun, const char* plural,
                           Layout layout = Layout::kWithSegInfo)
      : what_(what), noun_(noun), plural_(plural), layout_(layout) {}

  // Replaces the content by the file's; false with a message naming the
  // file when it is missing or does not hold together.
  bool Load(const std::string& path, Count count, RecordCheck check);
  // Writes the file through a temporary one; false without records.
  bool Save(const std::string& path) const;
  // Replaces the content by the entries, in key order, and their seg-info
  // bytes (none without the block); false with "<what>: <source>: ..." when
  // the trie cannot be built.
  bool Assign(const std::map<std::string, Record>& entries,
              const std::vector<uint8_t>& seg_info, Keys keys, const std::string& source);
  void Clear() { *this = RecordDictFile(what_, noun_, plural_, layout_); }

  bool HasRecords() const {
    return trie_ != nullptr && size_ != 0 && (!HasSegInfo() || seg_info_size_ != 0);
  }

  // 1-based id of the key equal to the first len bytes (0: NUL-terminated),
  // or -1.
  int ExactMatchSearch(const char* key, std::size_t len, std::size_t node_pos) const;
  // Number of keys that are prefixes of key; the 1-based ids of the first
  // `maximum` of them, shortest first, go to results.
  std::size_t CommonPrefixSearch(const char* key, std::size_t len, int* results,
                                 std::size_t maximum, std::size_t node_pos) const;
  // CommonPrefixSearch from the root for several keys side by side (see
  // Darts' commonPrefixSearchBatch); results are 1-based ids.
  typedef Darts::DoubleArray::prefix_query_type PrefixQuery;
  static constexpr std::size_t kMaxBatch = Darts::Details::Walker<false>::kMaxBatch;
  void CommonPrefixSearchBatch(PrefixQuery* queries, std::size_t n) const;
  // Raw 0-based value, -1 (no key ends at the node reached) or -2 (a byte
  // did not match, or nothing is loaded).
  int Traverse(const char* key, std::size_t len, std::size_t* node_pos,
               std::size_t* key_pos) const;

  // Record of a 1-based id; null when the id is out of range.
  const Record* GetRecord(int id) const;
  // Seg-info bytes from an index on; null when the index is out of range.
  const uint8_t* GetSegInfo(std::size_t index) const;

  uint64_t size() const { return size_; }
  uint64_t seg_info_size() const { return seg_info_size_; }
  const uint8_t* seg_info() const { return seg_info_.get(); }
  const Darts::DoubleArray* trie() const { return trie_.get(); }

 private:
  static constexpr uint64_t kCountBytes = 8;

  bool HasSegInfo() const { return layout_ == Layout::kWithSegInfo; }
  // Bytes before the records, and between the records and the trie.
  uint64_t HeaderBytes() const { return HasSegInfo() ? kCountBytes * 2 : kCountBytes; }
  uint64_t TrieOffset() const {
    return HeaderBytes() + size_ * sizeof(Record) + seg_info_size_;
  }
  bool Fail(const std::string& path, const std::string& message) const;

  bool Read(const std::string& path, Count count);
  bool ReadRecords(std::FILE* file, uint64_t file_size, Count count, const std::string& path);
  bool ReadSegInfo(std::FILE* file, uint64_t file_size, const std::string& path);
  bool ReadTrie(uint64_t file_size, const std::string& path);
  bool RecordsFit(const std::string& path, RecordCheck check) const;
  bool TrieValuesFit(const std::string& path) const;
  bool Write(std::FILE* file) const;

  const char* what_;
  const char* noun_;
  const char* plural_;
  Layout layout_;
  std::unique_ptr<Darts::DoubleArray> trie_;
  std::unique_ptr<Record[]> records_;
  uint64_t size_ = 0;
  std::unique_ptr<uint8_t[]> seg_info_;
  uint64_t seg_info_size_ = 0;
};

template <typename Record>
bool RecordDictFile<Record>::Load(const std::string& path, Count count, RecordCheck check) {
  RecordDictFile loaded(what_, noun_, plural_, layout_);
  if (!loaded.Read(path, count) || !loaded.RecordsFit(path, check) ||
      !loaded.TrieValuesFit(path)) {
    return false;
  }
  *this = std::move(loaded);
  return true;
}

template <typename Record>
bool RecordDictFile<Record>::Save(const std::string& path) const {
  if (!HasRecords()) return false;
  return dict_file::WriteThroughTemporary(what_, path,
                                          [this](std::FILE* file) { return Write(file); });
}

template <typename Record>
bool RecordDictFile<Record>::Assign(const std::map<std::string, Record>& entries,
                                    const std::vector<uint8_t>& seg_info, Keys keys,
                                    const std::string& source) {
  std::vector<const char*> starts;
  std::vector<std::size_t> lengths;
  for (const auto& entry : entries) {
    starts.push_back(entry.first.c_str());
    lengths.push_back(entry.first.size());
  }
  RecordDictFile built(what_, noun_, plural_, layout_);
  built.trie_.reset(new Darts::DoubleArray);
  try {
    built.trie_->build(starts.size(), starts.data(),
                       keys == Keys::kWhole ? lengths.data() : nullptr);
  } catch (const Darts::Details::Exception& e) {
    return Fail(source, e.what());
  }
  built.size_ = entries.size();
  built.records_.reset(new Record[entries.size()]);
  std::size_t i = 0;
  for (const auto& entry : entries) built.records_[i++] = entry.second;
  built.seg_info_size_ = seg_info.size();
  built.seg_info_.reset(new uint8_t[seg_info.size()]);
  if (!seg_info.empty()) std::memcpy(built.seg_info_.get(), seg_info.data(), seg_info.size());
  *this = std::move(built);
  return true;
}

template <typename Record>
int RecordDictFile<Record>::ExactMatchSearch(const char* key, std::size_t len,
                                             std::size_t node_pos) const {
  if (trie_ == nullptr) return -1;
  int value = trie_->exactMatchSearch(key, len, node_pos);
  return value < 0 ? -1 : value + 1;
}

template <typename Record>
std::size_t RecordDictFile<Record>::CommonPrefixSearch(const char* key, std::size_t len,
                                                       int* results, std::size_t maximum,
                                                       std::size_t node_pos) const {
  if (trie_ == nullptr) return 0;
  std::size_t count = trie_->commonPrefixSearch(key, results, maximum, len, node_pos);
  std::size_t stored = count < maximum ? count : maximum;
  for (std::size_t i = 0; i < stored; ++i) ++results[i];
  return count;
}

template <typename Record>
void RecordDictFile<Record>::CommonPrefixSearchBatch(PrefixQuery* queries, std::size_t n) const {
  if (trie_ == nullptr) {
    for (std::size_t q = 0; q < n; ++q) queries[q].count = 0;
    return;
  }
  trie_->commonPrefixSearchBatch(queries, n);
  for (std::size_t q = 0; q < n; ++q) {
    std::size_t stored = queries[q].count < queries[q].max_results ? queries[q].count
                                                                   : queries[q].max_results;
    for (std::size_t i = 0; i < stored; ++i) ++queries[q].results[i];
  }
}

template <typename Record>
int RecordDictFile<Record>::Traverse(const char* key, std::size_t len, std::size_t* node_pos,
                                     std::size_t* key_pos) const {
  if (trie_ == nullptr) return -2;
  return trie_->traverse(key, *node_pos, *key_pos, len);
}

template <typename Record>
const Record* RecordDictFile<Record>::GetRecord(int id) const {
  if (id < 1 || static_cast<uint64_t>(id) > size_) return nullptr;
  return &records_[id - 1];
}

template <typename Record>
const uint8_t* RecordDictFile<Record>::GetSegInfo(std::size_t index) const {
  if (index >= seg_info_size_) return nullptr;
  return seg_info_.get() + index;
}

template <typename Record>
bool RecordDictFile<Record>::Fail(const std::string& path, const std::string& message) const {
  dict_file::ReportFileError(what_, path, message);
  return false;
}

template <typename Record>
bool RecordDictFile<Record>::Read(const std::string& path, Count count) {
  uint64_t file_size = 0;
  dict_file::UniqueFile file = dict_file::OpenWithSize(path, &file_size);
  if (file == nullptr) return Fail(path, "cannot open the file");
  return ReadRecords(file.get(), file_size, count, path) &&
         (!HasSegInfo() || ReadSegInfo(file.get(), file_size, path)) &&
         ReadTrie(file_size, path);
}

template <typename Record>
bool RecordDictFile<Record>::ReadRecords(std::FILE* file, uint64_t file_size, Count count,
                                         const std::string& path) {
  if (file_size < HeaderBytes() || !dict_file::ReadBytes(file, &size_, kCountBytes)) {
    return Fail(path, "file too short for the " + std::string(noun_) +
                          (HasSegInfo() ? " count and seg-info size" : " count"));
  }
  bool refused = count == Count::kAtLeastOne && size_ == 0;
  if (refused || size_ > (file_size - HeaderBytes()) / sizeof(Record)) {
    return Fail(path, std::to_string(size_) + " " + plural_ + " do not fit a file of " +
                          std::to_string(file_size) + " bytes");
  }
  records_.reset(new Record[size_]);
  if (!dict_file::ReadBytes(file, records_.get(), size_ * sizeof(Record))) {
    return Fail(path, "short read of the " + std::string(plural_));
  }
  return true;
}

template <typename Record>
bool RecordDictFile<Record>::ReadSegInfo(std::FILE* file, uint64_t file_size,
                                         const std::string& path) {
  uint64_t used = kCountBytes * 2 + size_ * sizeof(Record);
  if (!dict_file::ReadBytes(file, &seg_info_size_, kCountBytes)) {
    return Fail(path, "short read of the seg-info size");
  }
  if (seg_info_size_ == 0 || seg_info_size_ > file_size - used) {
    return Fail(path, "seg-info size " + std::to_string(seg_info_size_) +
                          " does not fit a file of " + std::to_string(file_size) + " bytes");
  }
  seg_info_.reset(new uint8_t[seg_info_size_]);
  if (!dict_file::ReadBytes(file, seg_info_.get(), seg_info_size_)) {
    return Fail(path, "short read of the seg-info bytes");
  }
  if (seg_info_[0] != 0) return Fail(path, "seg-info byte 0 is not 0");
  return true;
}

template <typename Record>
bool RecordDictFile<Record>::ReadTrie(uint64_t file_size, const std::string& path) {
  uint64_t offset = TrieOffset();
  uint64_t trie_bytes = file_size - offset;
  if (!dict_file::IsWholeTrie(trie_bytes)) {
    return Fail(path, "trie part of " + std::to_string(trie_bytes) +
                          " bytes is not a whole number of " +
                          std::to_string(dict_file::kTrieBlockBytes) + "-byte blocks");
  }
  trie_.reset(new Darts::DoubleArray);
  std::string error = dict_file::OpenTrie(path, offset, trie_bytes, trie_.get());
  if (!error.empty()) return Fail(path, error);
  return true;
}

template <typename Record>
bool RecordDictFile<Record>::RecordsFit(const std::string& path, RecordCheck check) const {
  for (uint64_t i = 0; i < size_; ++i) {
    std::string error = check(records_[i], i, seg_info_.get(), seg_info_size_);
    if (!error.empty()) return Fail(path, error);
  }
  return true;
}

// Every value unit must name a record, so that the ids handed out are valid.
template <typename Record>
bool RecordDictFile<Record>::TrieValuesFit(const std::string& path) const {
  auto units = static_cast<const uint32_t*>(trie_->array());
  for (std::size_t i = 0; i < trie_->size(); ++i) {
    if ((units[i] & 0x80000000u) != 0 && (units[i] & 0x7FFFFFFFu) >= size_) {
      return Fail(path, "trie unit " + std::to_string(i) + " names " + noun_ + " " +
                            std::to_string(units[i] & 0x7FFFFFFFu) + " of " +
                            std::to_string(size_));
    }
  }
  return true;
}

template <typename Record>
bool RecordDictFile<Record>::Write(std::FILE* file) const {
  bool head = std::fwrite(&size_, kCountBytes, 1, file) == 1 &&
              std::fwrite(records_.get(), sizeof(Record), size_, file) == size_;
  bool seg_info = !HasSegInfo() ||
                  (std::fwrite(&seg_info_size_, kCountBytes, 1, file) == 1 &&
                   std::fwrite(seg_info_.get(), 1, seg_info_size_, file) == seg_info_size_);
  return head && seg_info &&
         std::fwrite(trie_->array(), trie_->unit_size(), trie_->size(), file) == trie_->size();
}

}  // namespace new_seg

#endif  // ZORVSEG_DICT_RECORDDICTFILE_H_
