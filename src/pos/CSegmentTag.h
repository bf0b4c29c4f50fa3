// Part-of-speech tagging of the best path.
#ifndef ZORVSEG_POS_CSEGMENTTAG_H_
#define ZORVSEG_POS_CSEGMENTTAG_H_

namespace new_seg {

class OmniSegNet;
class SentenceNormalizer;

class CSegmentTag {
 public:
  // Loads the tagging model; true when already loaded.
  static bool Init(const char* path);
  static void UnInit();

  // Writes a tag into every path word; without a model words stay untagged.
  bool pos_tag(OmniSegNet* seg_net, SentenceNormalizer* normalizer, bool use_ne);
};

}  // namespace new_seg

#endif  // ZORVSEG_POS_CSEGMENTTAG_H_
