// One user word list: a file, or a directory tree of files, of words with
// an optional part-of-speech tag each, lower-cased into a trie.
//
// Word file lines: "word" (tag n) or "word,tag" (the first blank-delimited
// token after the comma; case is ignored; an unknown tag gives UNK_POS).
// Empty lines and lines starting with '#' are skipped; a word read again
// replaces the earlier entry. Files are GBK, or UTF-8 (see UserTextFile).
//
// Search results are 1-based word ids: id k names GetValue(k).
#ifndef ZORVSEG_CUSTOM_CUSTOMDICT_H_
#define ZORVSEG_CUSTOM_CUSTOMDICT_H_

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "dict/Darts.h"

namespace new_seg {

struct CustomTermAttribute {
  uint8_t term_pos;  // part-of-speech id, UNK_POS when the tag is unknown
  uint8_t term_len;  // byte length of the word
};

class CustomDict {
 public:
  static const uint8_t UNK_POS = 0;
  static const uint8_t kNounPos = 16;
  // Longest word a line may hold: the length is kept in 8 bits.
  static const size_t kMaxWordLen = 255;
  // Paths formed while scanning a directory stay below this many bytes.
  static const size_t kPathCapacity = 4096;

  CustomDict() = default;
  ~CustomDict();
  CustomDict(const CustomDict&) = delete;
  CustomDict& operator=(const CustomDict&) = delete;

  // Reads a word file or a directory tree. Inside the tree symbolic links
  // are read as files and never followed into directories (a link to a
  // directory fails the build); the path itself may be a link to a
  // directory. Paths stay below 4096 bytes. A path that does not exist
  // gives an empty dictionary. True on success; false, with messages on
  // stderr, when a file or directory cannot be read, and then the
  // dictionary keeps the words it had. A null path changes nothing and is a
  // success.
  bool Init(const char* path);
  bool UnInit();

  // Number of words that are prefixes of key (len 0: key is
  // zero-terminated); the ids of the first `maximum`, shortest first, are
  // written to results.
  size_t CommonPrefixSearch(const char* key, size_t len, int* results, size_t maximum,
                            size_t node_pos = 0) const;
  // Id of the word equal to key, or -1.
  int ExactMatchSearch(const char* key, size_t len = 0, size_t node_pos = 0) const;
  // The word's attribute; null for an id that names no word.
  const CustomTermAttribute* GetValue(int id) const;
  size_t size() const { return size_; }

  // Part-of-speech id of a tag name (case ignored), UNK_POS when unknown.
  static uint8_t getPosId(const char* tag);

 private:
  // Reads the path into a new trie and installs it only when complete.
  bool Build(const char* path);

  std::unique_ptr<Darts::DoubleArrayImpl<int>> trie_impl_pt_;
  size_t size_ = 0;
  std::unique_ptr<CustomTermAttribute[]> values_;
};

}  // namespace new_seg

#endif  // ZORVSEG_CUSTOM_CUSTOMDICT_H_
