// Result records returned by the segmentation API.
#ifndef ZORVSEG_TYPES_H_
#define ZORVSEG_TYPES_H_

#include <cstddef>
#include <cstdint>

namespace new_seg {

typedef void* HANDLE;
typedef unsigned char posid_type;

// A basic word or a mix word.
struct token_t {
  const char* word;  // zero-terminated; GBK, or UTF-8 for a UTF-8 call
  unsigned char pos;  // part-of-speech id, 0 when not tagged
  size_t wlen;        // length of word in bytes
  unsigned char wtype;  // always 0
};

// A phrase: a coarse-grained unit covering basic words [sidx, eidx).
struct comb_token_t {
  const char* word;
  unsigned char pos;  // always 0
  size_t wlen;
  int cls;  // entity phrase id, or 0
  size_t sidx;
  size_t eidx;
};

// One word of an alternative segmentation named by an additional rule.
struct additional_token_t {
  const char* word;  // as written in the rule file
  unsigned char pos;
  size_t wlen;
  size_t start_idx;  // first basic word of the re-segmented span
  size_t end_idx;    // one past its last basic word
  size_t next_group_additional_idx;  // first token of the next alternative, 0 for the last
};

// Where a basic word, phrase or mix word lies in the text given to
// LxSegment: bytes [begin, end) of that text as the caller gave it (UTF-8 or
// GBK), and the same range counted in characters, [char_begin, char_end).
// Positions are those of the caller's text before any normalisation, so a
// word that came out half-width, simplified or lower-cased still points at
// the characters the caller wrote. Characters: one per UTF-8 sequence of a
// UTF-8 call (one per byte of an ill-formed sequence, each of which comes
// back as U+FFFD), one per ASCII byte, double-byte or GB18030 four-byte
// character of a GBK call.
struct token_span_t {
  size_t begin;
  size_t end;
  size_t char_begin;
  size_t char_end;
};

struct seg_tokens_t {
  token_t* fine_grain_seg_tokens;
  size_t fine_grain_tokens_num;
  comb_token_t* thick_seg_tokens;
  size_t thick_seg_tokens_num;
  token_t* mix_seg_tokens;
  size_t mix_seg_tokens_num;
};

// Parallel to the basic words: the tag and whether the word came from a
// custom dictionary.
typedef struct wordpos {
  const char* word;
  int pos;
  bool bcw;
  int cls;
} WP, *pWP;

}  // namespace new_seg

#endif  // ZORVSEG_TYPES_H_
