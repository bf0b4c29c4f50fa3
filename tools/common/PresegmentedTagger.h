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
#include "lattice/OmniSegNet.h"
#include "pos/CSegmentTag.h"
#include "text/EncodeConverter.h"
#include "text/SentenceNormalizer.h"

namespace zorvseg_tools {

class PresegmentedTagger {
 public:
  explicit PresegmentedTagger(int32_t mode);
  bool Init();
  // One tag id per word (UTF-8 words, or GBK when gbk is set); false when
  // a word is empty.
  bool Tag(const std::vector<std::string>& words, bool gbk, std::vector<uint8_t>* tags);

 private:
  // Tags words[first, last) as one sentence of GB18030 text.
  void TagSentence(const std::vector<std::string>& gb_words, size_t first, size_t last,
                   std::vector<uint8_t>* tags);

  new_seg::SegMode mode_;
  new_seg::OmniSegNet net_;
  new_seg::SentenceNormalizer normalizer_;
  new_seg::CSegmentTag tagger_;
  new_seg::EncodeConverter converter_;
};

}  // namespace zorvseg_tools

#endif  // ZORVSEG_TOOLS_COMMON_PRESEGMENTEDTAGGER_H_
