// The process-wide face of a record dictionary: one RecordDictFile per
// dictionary class, shared by every object of that class and read-only
// between its load and its release.
//
// A dictionary class derives from RecordDict<Itself, Record> and names its
// file in three constants, kWhat ("core dictionary"), kNoun and kPlural
// ("record", "records"), and its layout in kLayout. It adds its own Init
// (which load checks apply) and BuildFromStream (its source format); Build
// from a file, the searches, records, Save and UnInit come from here. Search results are 1-based
// record ids (GetValue takes such an id), Traverse hands out the raw
// 0-based trie value.
#ifndef ZORVSEG_DICT_RECORDDICT_H_
#define ZORVSEG_DICT_RECORDDICT_H_

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "dict/Darts.h"
#include "dict/DictFile.h"
#include "dict/RecordDictFile.h"

namespace new_seg {

// What a build from a text source read, for the data compiler's report.
struct RecordBuildStats {
  std::size_t lines = 0;          // lines read
  std::size_t skipped_blank = 0;  // lines with an empty key
  std::size_t replaced = 0;       // keys defined again by a later line
};

template <typename Owner, typename Record>
class RecordDict {
 public:
  typedef RecordDictFile<Record> File;

  static bool UnInit() {
    file_.Clear();
    return true;
  }
  static bool IsLoaded() { return file_.HasRecords(); }

  // Builds from the source text in a file (Owner::BuildFromStream); false
  // with a message when it cannot be opened or used.
  static bool Build(const char* text_path) {
    std::ifstream in(text_path, std::ios::binary);
    if (!in) {
      dict_file::ReportFileError(Owner::kWhat, text_path, "cannot open the file");
      return false;
    }
    return Owner::BuildFromStream(in, text_path);
  }

  // Writes the file through a temporary file renamed when complete; false
  // with nothing written when there are no records.
  static bool Save(const char* path) { return file_.Save(path); }

  // 1-based id of the key equal to the first len bytes (0: NUL-terminated)
  // of key, or -1.
  static int ExactMatchSearch(const char* key, std::size_t len = 0, std::size_t node_pos = 0) {
    return file_.ExactMatchSearch(key, len, node_pos);
  }
  // Number of keys that are prefixes of key; the 1-based ids of the first
  // `maximum` of them, shortest first, go to results.
  static std::size_t CommonPrefixSearch(const char* key, std::size_t len, int* results,
                                        std::size_t maximum, std::size_t node_pos = 0) {
    return file_.CommonPrefixSearch(key, len, results, maximum, node_pos);
  }
  // CommonPrefixSearch for up to kMaxBatch keys of known length at once,
  // walked side by side so that their cache misses overlap.
  typedef typename File::PrefixQuery PrefixQuery;
  static constexpr std::size_t kMaxBatch = File::kMaxBatch;
  static void CommonPrefixSearchBatch(PrefixQuery* queries, std::size_t n) {
    file_.CommonPrefixSearchBatch(queries, n);
  }
  // Step-wise walk of the trie: raw 0-based value, -1 (no key ends at the
  // node reached) or -2 (a byte did not match).
  static int Traverse(const char* key, std::size_t len, std::size_t* node_pos,
                      std::size_t* key_pos) {
    return file_.Traverse(key, len, node_pos, key_pos);
  }

  // Record of a 1-based id; null when the id is out of range.
  static const Record* GetValue(int id) { return file_.GetRecord(id); }
  static uint64_t GetSize() { return file_.size(); }
  static const Darts::DoubleArray* GetTrie() { return file_.trie(); }

 protected:
  // Replaces the content by the file's unless it is loaded already.
  static bool Load(const char* path, typename File::Count count,
                   typename File::RecordCheck check) {
    if (file_.HasRecords()) return true;
    return file_.Load(path, count, check);
  }
  static bool Assign(const std::map<std::string, Record>& entries,
                     const std::vector<uint8_t>& seg_info, typename File::Keys keys,
                     const std::string& source) {
    return file_.Assign(entries, seg_info, keys, source);
  }
  // A check for records that hold nothing to verify against the file.
  static std::string AnyRecordFits(const Record&, uint64_t, const uint8_t*, uint64_t) {
    return std::string();
  }

  static File file_;
};

// Constant-initialised (the file's constructor is constexpr and the names
// are constants), so no dictionary depends on static initialisation order.
template <typename Owner, typename Record>
RecordDictFile<Record> RecordDict<Owner, Record>::file_(Owner::kWhat, Owner::kNoun,
                                                        Owner::kPlural, Owner::kLayout);

}  // namespace new_seg

#endif  // ZORVSEG_DICT_RECORDDICT_H_
