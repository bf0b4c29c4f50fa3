// The class of the Python module _zorvsegment: one segmentation handle on
// the process-wide data, returning words as UTF-8 strings.
//
// The data directory is process-wide: the first object to Init loads it,
// the last one to go releases it, and an object may only Init with the
// directory the live objects use. Each object has its own lock, so one
// object may be shared by threads (they take turns); segmentation runs
// under a shared process-wide lock that loading, releasing and changing the
// user dictionary take exclusively.
#ifndef ZORVSEG_PYTHON_ZORVSEGMENTER_H_
#define ZORVSEG_PYTHON_ZORVSEGMENTER_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "zorvseg_types.h"

namespace new_seg {
class EncodeConverter;
}

// One result word for the zorvsegment package: its text, its tag name (a
// part-of-speech tag, or for an entity its kind), and where it lies in the
// text, in characters.
struct ZorvToken {
  std::string word;
  std::string tag;
  size_t start;
  size_t end;
};

class ZorvSegmenter {
 public:
  // What Words and Tokens return.
  enum Granularity { kBasicWords = 0, kMixWords = 1, kEntities = 2 };

  ZorvSegmenter();
  virtual ~ZorvSegmenter();
  ZorvSegmenter(const ZorvSegmenter&) = delete;
  ZorvSegmenter& operator=(const ZorvSegmenter&) = delete;

  // Loads data_dir (unless live objects already did) and opens a handle
  // with mode: 0, or -1 when the directory cannot be loaded or differs from
  // the one live objects use, -2 when no handle can be created. A second
  // Init first gives up what the first one took.
  int Init(const std::string& data_dir, int32_t mode);
  // The mix words of text, stripped of spaces at both ends and without the
  // empty ones; from mix word upper_begin_index on (when not negative),
  // result_upper_case turns ASCII letters into capitals. is_gbk segments
  // the text converted to GB18030. seg_pos has no effect. Throws
  // std::logic_error before a successful Init.
  std::vector<std::string> Segment(const std::string& text, bool seg_pos,
                                   bool result_upper_case, int upper_begin_index,
                                   bool is_gbk);
  static int32_t GetDefaultMode();

  // Calls of the zorvsegment package. Words that are only white space are
  // left out. Text longer than kPieceBytes is segmented in pieces cut at
  // line ends where possible, so memory stays bounded.
  std::vector<std::string> Words(const std::string& text, int granularity);
  // With tags and character spans, segmented with extra_mode added to the
  // object's mode for this call. kEntities gives the entity phrases
  // (extra_mode should hold kModeNeName), tagged by kind: "person",
  // "location", "organization" or "date".
  std::vector<ZorvToken> Tokens(const std::string& text, int granularity, int32_t extra_mode);
  int32_t GetMode() const { return m_seg_mode; }
  const std::string& GetDataDir() const { return m_data_dir; }

  // The data directory live objects use (resolved), or "" when none.
  static std::string GetLoadedDataDir();
  // Replaces the process-wide user dictionary by these "word[,tag]" lines
  // and makes it the working one (it stays through reloads); an empty text
  // goes back to the data directory's own. False when it cannot be loaded.
  static bool SetUserWords(const std::string& lines);

  static constexpr size_t kPieceBytes = 1 << 20;

 private:
  // Segments one piece of UTF-8 text; false when the library fails.
  bool SegmentPiece(const char* text, size_t len, bool is_gbk);
  // Runs each_piece(offset, chars_before) after segmenting every piece.
  template <typename EachPiece>
  void SegmentInPieces(const std::string& text, bool is_gbk, EachPiece each_piece);
  void CheckReady() const;
  // Closes the handle and lets go of the process-wide data.
  void Release();

  std::string m_data_dir;
  int32_t m_seg_mode;
  new_seg::HANDLE m_seg_handle;

  bool m_holds_data = false;
  std::mutex m_lock;
  // GB18030 text and words of is_gbk calls.
  std::unique_ptr<new_seg::EncodeConverter> m_converter;
  std::string m_gb_text;
  std::string m_utf8_word;
};

#endif  // ZORVSEG_PYTHON_ZORVSEGMENTER_H_
