// Tags a given segmentation with the library's tagger: the words become
// the lattice's path exactly as the segmenter would have left it, so the
// tags are those the pipeline would give the same words. Used to measure
// tagging on gold segmentation.
#ifndef ZORVSEG_TOOLS_COMMON_PRESEGMENTEDTAGGER_H_
#define ZORVSEG_TOOLS_COMMON_PRESEGMENTEDTAGGER_H_

#include <cstdint>
#include <string>
#include <vector>

#include "driver/SegMode.h"
#include "lattice/NumberUnitMatcher.h"
#include "lattice/OmniSegNet.h"
#include "pos/CSegmentTag.h"
#include "text/EncodeConverter.h"
#include "text/SentenceNormalizer.h"

namespace zorvseg_tools {

class PresegmentedTagger {
 public:
  // Words are UTF-8, or GBK when gbk is set.
  PresegmentedTagger(int32_t mode, bool gbk);
  bool Init();

  // Adds the next word of the line (not empty). Words are tagged a sentence
  // at a time, bounded as the segmenter's splitter bounds sentences: when
  // the word does not fit in the sentence gathered so far, that sentence is
  // tagged and its words move to tagged().
  void Add(const char* word, size_t len);
  // Ends the line: tags the sentence gathered so far.
  void Flush();

  // Tagged words not yet taken by the caller: the word as added, its tag id.
  struct TaggedWord {
    std::string text;
    uint8_t tag;
  };
  const std::vector<TaggedWord>& tagged() const { return tagged_; }
  void ClearTagged() { tagged_.clear(); }

 private:
  void TagSentence();

  new_seg::SegMode mode_;
  bool gbk_;
  new_seg::OmniSegNet net_;
  new_seg::NumberUnitMatcher numbers_;
  new_seg::SentenceNormalizer normalizer_;
  new_seg::CSegmentTag tagger_;
  new_seg::EncodeConverter converter_;
  // The sentence being gathered: each word as added and in GB18030.
  std::vector<std::string> words_;
  std::vector<std::string> gb_words_;
  size_t sentence_bytes_ = 0;
  std::vector<TaggedWord> tagged_;
  // Working storage of TagSentence, kept to avoid allocating per sentence.
  std::string text_;
  std::vector<size_t> ends_;
};

}  // namespace zorvseg_tools

#endif  // ZORVSEG_TOOLS_COMMON_PRESEGMENTEDTAGGER_H_
