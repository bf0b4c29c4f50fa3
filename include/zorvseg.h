// libzorvseg: Chinese word segmentation with part-of-speech tagging,
// entity recognition and run-time custom vocabulary.
//
// Usage: LxInitSeg(data_dir) once per process, then one handle per worker
// thread (LxCreateSegHandle), LxSegment on it, read the results through the
// accessors, LxCloseSegHandle, and finally LxUnInitSeg.
//
// Threads: the loaded resources are read-only, so any number of threads may
// segment at once, each with its own handle. A handle must never be used by
// two threads at once. LxInitSeg, LxUnInitSeg and the custom-dictionary calls
// change process-wide state without locking: call them only while no handle
// is segmenting.
//
// Every pointer an accessor returns stays valid until the next LxSegment or
// LxCloseSegHandle on the same handle.
#ifndef ZORVSEG_H_
#define ZORVSEG_H_

#include <cstddef>
#include <cstdint>

#include "zorvseg_log.h"
#include "zorvseg_mode.h"
#include "zorvseg_types.h"

#define ZORVSEG_API __attribute__((visibility("default")))

namespace new_seg {

// Charset values of LxSegment.
const size_t kCharsetGBK = 0x100000;
const size_t kCharsetUTF8 = 0x200000;

// Loads every resource of the data directory. False (with the failing
// file named on stderr) when any resource fails to load: what was loaded
// before it is released again, so the library is back to nothing loaded.
// While a directory is loaded, LxInitSeg of the same directory (any
// spelling of it) returns true and reloads nothing; another directory gives
// false with a message: call LxUnInitSeg first.
ZORVSEG_API bool LxInitSeg(const char* data_path);
// Releases every resource. Handles stay valid (they can be closed; LxSegment
// on them returns false until LxInitSeg succeeds again).
ZORVSEG_API void LxUnInitSeg();

// Creates a handle with the given mode bits; null on failure.
ZORVSEG_API HANDLE LxCreateSegHandle(int32_t seg_mode);
// Closes a handle. A null, closed or unknown handle is ignored, as the
// calls below ignore it: LxSegment returns false, the counters 0 and the
// accessors null.
ZORVSEG_API void LxCloseSegHandle(HANDLE seg_handle);
ZORVSEG_API void ResetSegMode(HANDLE seg_handle, int32_t seg_mode_value);

// Segments len bytes of text. charset kCharsetUTF8 means UTF-8 in and out;
// any other value means GBK. UTF-8 text is segmented as GB18030, so every
// character survives the round trip; invalid UTF-8 sequences come back as
// U+FFFD.
ZORVSEG_API bool LxSegment(HANDLE seg_handle, const char* text, size_t len,
                           size_t charset);

// Results of the last LxSegment; an index out of range gives null (an index
// is read as a signed 32-bit number: negative ones and ones of 2^31 or more
// are out of range).
ZORVSEG_API size_t LxGetResultCnt(HANDLE seg_handle);
ZORVSEG_API pWP LxGetAt(HANDLE seg_handle, int index);
ZORVSEG_API const char* LxGetWordAt(HANDLE seg_handle, size_t index);
ZORVSEG_API const token_t* LxGetBasicTokenAt(HANDLE seg_handle, int32_t idx);
ZORVSEG_API size_t LxGetPhraseCnt(HANDLE seg_handle);
ZORVSEG_API const char* LxGetPhraseAt(HANDLE seg_handle, size_t index);
ZORVSEG_API const comb_token_t* LxGetPhraseTokenAt(HANDLE seg_handle, int32_t idx);
ZORVSEG_API size_t LxGetMixWordCnt(HANDLE seg_handle);
ZORVSEG_API const char* LxGetMixWordAt(HANDLE seg_handle, size_t index);
ZORVSEG_API const token_t* LxGetMixTokenAt(HANDLE seg_handle, int32_t idx);
ZORVSEG_API size_t LxGetAdditionalTokenCnt(HANDLE seg_handle);
ZORVSEG_API const additional_token_t* LxGetAdditionalTokenAt(HANDLE seg_handle,
                                                             size_t idx);
ZORVSEG_API void LxGetAllSegInfo(HANDLE seg_handle, seg_tokens_t& seg_tokens);

// Where basic word, phrase or mix word idx of the last LxSegment lies in
// the text given to it (token_span_t, zorvseg_types.h: bytes of that text
// as given, UTF-8 or GBK, and characters); null when idx is out of range.
// Spans follow the caller's text through UTF-8 conversion, sentence
// splitting and normalisation. The basic words' spans follow each other
// without gaps or overlaps and cover the whole text; an entity is a phrase
// whose cls is one of the entity phrase ids. For the additional tokens of
// a span, take the spans of their basic words start_idx to end_idx - 1.
ZORVSEG_API const token_span_t* LxGetBasicSpanAt(HANDLE seg_handle, int32_t idx);
ZORVSEG_API const token_span_t* LxGetPhraseSpanAt(HANDLE seg_handle, int32_t idx);
ZORVSEG_API const token_span_t* LxGetMixSpanAt(HANDLE seg_handle, int32_t idx);

// Process-wide custom dictionaries, ids 1 to 1024. LxInitSeg loads the data
// directory's "custom_word/" as dictionary 1, the working dictionary: the
// one whose words replace path words in handles whose mode has
// is_use_custom_word (0x08).
//
// A dictionary is a word file or a directory tree of word files, one entry
// per line: "word" (tag n) or "word,tag" (tag names as LxPosId2Str gives
// them, case ignored; an unknown tag gives id 0). Words are matched
// lower-cased and hold at most 255 bytes; longer lines are refused with a
// message. Empty lines and lines starting with '#' are skipped. A file is
// read as UTF-8 when most of its lines holding non-ASCII bytes are valid
// UTF-8 (the others are reported, file:line, and skipped), otherwise as
// GBK. Symbolic links are read
// as files and never followed into directories; a path that does not exist
// gives an empty dictionary.
//
// NOT THREAD-SAFE: these calls change process-wide state without locking. Do
// not call any of them while any handle is inside LxSegment, or while
// another of them runs: an update replaces a dictionary in place and a
// deletion frees it. Serialise them against segmentation yourself.
//
// LxAddCustomDict: the new id (the lowest free one), or 0 when 1024
// dictionaries exist, the path is null, no data directory is loaded, or a
// file or directory under it cannot be read (each with a message on stderr
// but the null path).
ZORVSEG_API size_t LxAddCustomDict(const char* dict_path);
// Rebuilds dictionary ID from dict_path (the working one too). False for a
// null path, an ID without a dictionary, or when the path cannot be read:
// the dictionary then keeps its previous words.
ZORVSEG_API bool LxUpdateCustomDict(const char* dict_path, size_t ID);
// Deletes dictionary ID; the working dictionary and unknown ids are left
// alone. A deleted id is handed out again by the next LxAddCustomDict.
ZORVSEG_API void LxDelCustomDict(size_t ID);
// Makes ID the working dictionary if it exists; otherwise nothing changes.
ZORVSEG_API void LxSwitchCustomDictTo(size_t ID);
// The working id; 0 before LxInitSeg or after LxUnInitSeg.
ZORVSEG_API size_t LxGetWorkingCustomDictID();

// Copies the name of a part-of-speech id ("unk" for unknown ids) with its
// terminating zero into pos_str, which must hold at least 6 bytes.
ZORVSEG_API void LxPosId2Str(unsigned char pos_id, char* pos_str);

}  // namespace new_seg

#endif  // ZORVSEG_H_
