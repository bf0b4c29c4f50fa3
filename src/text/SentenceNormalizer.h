// Rewrites a sentence into its canonical form before segmentation:
// full-width to half-width, traditional to simplified, upper to lower case.
// The segmentation text is fully normalised; the output text, from which
// result words are cut, is the same text before lower-casing (or after it,
// when the mode asks). Both have the same length, so lattice positions apply
// to both.
#ifndef ZORVSEG_TEXT_SENTENCENORMALIZER_H_
#define ZORVSEG_TEXT_SENTENCENORMALIZER_H_

#include <cstddef>
#include <cstdint>

namespace new_seg {

class SegMode;

class SentenceNormalizer {
 public:
  // Loads the traditional-to-simplified table ("t2s.dat"); a null path
  // gives an empty table. True at once when already loaded.
  static bool Init(const char* path);
  static void UnInit();
  static bool IsLoaded() { return static_inited_; }
  // The simplified code for a double-byte code, 0 when there is none.
  static uint16_t SimplifiedOf(uint16_t code);

  SentenceNormalizer(SegMode* seg_mode, size_t capacity);
  ~SentenceNormalizer();
  SentenceNormalizer(const SentenceNormalizer&) = delete;
  SentenceNormalizer& operator=(const SentenceNormalizer&) = delete;

  bool Init();
  void Clear();
  // The segmentation text (zero-terminated) and its length; null for a
  // sentence longer than the capacity, an uninitialised instance, or before
  // the table is loaded.
  char* Normalize(const char* sentence, size_t len, size_t& normalized_len);

  const char* GetOutputUsedStr(size_t& len) const;
  const char* GetSegmentUsedStr(size_t& len) const;
  // Output text at begin_pos; it is not terminated there.
  const char* GetTerm(size_t begin_pos, size_t len, size_t& output_len) const;
  // The position in the sentence given to Normalize of a position in its
  // normalised text (up to and including its length): full-width characters
  // that became half-width take two sentence bytes for one.
  size_t SourcePos(size_t normalized_pos) const {
    return shrunk_ ? source_pos_[normalized_pos] : normalized_pos;
  }
  // Whether the byte at a position of the normalised text was a full-width
  // character of the sentence.
  bool WasFullWidth(size_t normalized_pos) const {
    return shrunk_ && source_pos_[normalized_pos + 1] - source_pos_[normalized_pos] == 2;
  }

 private:
  // source_pos receives, for each output byte and for the end, the
  // position of the input byte it came from.
  static size_t DoS2D(const char* src, size_t len, char* dest, uint16_t* source_pos);
  static size_t DoT2S(const char* src, size_t len, char* dest);
  static size_t DoU2L(const char* src, size_t len, char* dest);
  // Picks the destination of the next step and returns it; src becomes the
  // result of the step before.
  char* GetDestBuf(int magic, const char*& src, size_t& src_len);

  static uint16_t* traditional_to_simplified_;
  static bool static_inited_;

  SegMode* seg_mode_;
  bool inited_ = false;
  char* buf_1_ = nullptr;
  char* buf_2_ = nullptr;
  uint16_t* source_pos_ = nullptr;
  bool shrunk_ = false;
  const char* sentence_ = nullptr;
  size_t sentence_len_ = 0;
  const char* output_used_buf_ = nullptr;
  const char* segment_used_buf_ = nullptr;
  size_t buf_capacity_;
  size_t buf_1_size_ = 0;
  size_t buf_2_size_ = 0;
  size_t output_used_buf_size_ = 0;
  size_t segment_used_buf_size_ = 0;
};

}  // namespace new_seg

#endif  // ZORVSEG_TEXT_SENTENCENORMALIZER_H_
