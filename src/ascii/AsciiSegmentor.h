// Segments runs of ASCII bytes (letters, digits, punctuation) inside a
// sentence and adds their edges to the lattice.
#ifndef ZORVSEG_ASCII_ASCIISEGMENTOR_H_
#define ZORVSEG_ASCII_ASCIISEGMENTOR_H_

#include <cstddef>

namespace new_seg {

class OmniSegNet;
class SegMode;

class AsciiSegmentor {
 public:
  explicit AsciiSegmentor(SegMode* seg_mode) : seg_mode_(seg_mode) {}

  // Each adds the edges of the run [start, start + len) of sentence; 0 on
  // success, negative when the lattice refuses an edge for lack of room.
  int segment(const char* sentence, size_t sentence_len, size_t start, size_t len,
              OmniSegNet* seg_net);
  int segment_in_simple(const char* sentence, size_t sentence_len, size_t start, size_t len,
                        OmniSegNet* seg_net);
  int segment_in_whole(const char* sentence, size_t sentence_len, size_t start, size_t len,
                       OmniSegNet* seg_net);

 private:
  // One edge per run of letters, of digits, and per other byte.
  int AddClassRuns(const char* sentence, size_t start, size_t len, OmniSegNet* seg_net);

  SegMode* seg_mode_;
};

}  // namespace new_seg

#endif  // ZORVSEG_ASCII_ASCIISEGMENTOR_H_
