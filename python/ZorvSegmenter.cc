#include "ZorvSegmenter.h"

#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <shared_mutex>
#include <stdexcept>

#include "text/EncodeConverter.h"
#include "zorvseg.h"

using namespace new_seg;

namespace {

// What all objects share: the loaded data directory, how many objects use
// it, and the user dictionary, which outlives a release and reload.
struct SharedData {
  // Shared while segmenting; exclusive while loading, releasing or
  // changing a dictionary, which the library does without locking.
  std::shared_mutex lock;
  size_t users = 0;
  std::string data_dir;       // canonical form of the loaded directory
  size_t data_dict_id = 0;    // the data directory's own custom dictionary
  std::string user_words;     // "word[,tag]" lines
  size_t user_dict_id = 0;
};

// Never destroyed: objects may still be released while the process exits.
SharedData& Shared() {
  static SharedData* shared = new SharedData;
  return *shared;
}

std::string CanonicalDir(const std::string& dir) {
  char resolved[PATH_MAX];
  if (realpath(dir.c_str(), resolved) != nullptr) return resolved;
  std::string trimmed = dir;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  return trimmed;
}

// A file holding text in a directory of its own, removed when it goes.
class TempFile {
 public:
  explicit TempFile(const std::string& text) {
    const char* base = getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") +
                          "/zorvsegment-XXXXXX";
    if (mkdtemp(&pattern[0]) == nullptr) return;
    dir_ = pattern;
    path_ = dir_ + "/user_words.txt";
    FILE* file = fopen(path_.c_str(), "wb");
    if (file == nullptr) return;
    ok_ = fwrite(text.data(), 1, text.size(), file) == text.size();
    ok_ = fclose(file) == 0 && ok_;
  }
  ~TempFile() {
    if (!path_.empty()) unlink(path_.c_str());
    if (!dir_.empty()) rmdir(dir_.c_str());
  }
  bool ok() const { return ok_; }
  const std::string& path() const { return path_; }

 private:
  std::string dir_, path_;
  bool ok_ = false;
};

// Makes the user words the working dictionary; with none, the data
// directory's own is working again. Called with the lock held exclusively
// and the data loaded.
bool ApplyUserWords(SharedData& shared) {
  if (shared.user_words.empty() && shared.user_dict_id != 0 && shared.data_dict_id != 0) {
    LxSwitchCustomDictTo(shared.data_dict_id);
    LxDelCustomDict(shared.user_dict_id);
    shared.user_dict_id = 0;
    return true;
  }
  if (shared.user_words.empty() && shared.user_dict_id == 0) return true;
  TempFile file(shared.user_words);
  if (!file.ok()) return false;
  if (shared.user_dict_id == 0) {
    shared.user_dict_id = LxAddCustomDict(file.path().c_str());
    if (shared.user_dict_id == 0) return false;
  } else if (!LxUpdateCustomDict(file.path().c_str(), shared.user_dict_id)) {
    return false;
  }
  LxSwitchCustomDictTo(shared.user_dict_id);
  return true;
}

bool IsBlank(const char* word, size_t len) {
  for (size_t i = 0; i < len; ++i) {
    char c = word[i];
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f') continue;
    // U+3000, the ideographic space.
    if (i + 2 < len && c == '\xE3' && word[i + 1] == '\x80' && word[i + 2] == '\x80') {
      i += 2;
      continue;
    }
    return false;
  }
  return true;
}

// Where the piece of text that starts at begin ends: the whole rest when
// short enough, else after the last line end (or space) in the second half
// of the piece, else at the last character start.
size_t PieceEnd(const std::string& text, size_t begin) {
  const size_t max = ZorvSegmenter::kPieceBytes;
  if (text.size() - begin <= max) return text.size();
  size_t limit = begin + max;
  for (char separator : {'\n', ' '}) {
    size_t found = text.rfind(separator, limit - 1);
    if (found != std::string::npos && found >= begin + max / 2) return found + 1;
  }
  while (limit > begin + 1 && (static_cast<unsigned char>(text[limit]) & 0xC0) == 0x80) --limit;
  return limit;
}

const char* EntityKind(int cls) {
  switch (cls) {
    case 100000010: return "person";
    case 100000012: return "location";
    case 100000013: return "organization";
    case 100000023: return "date";
    default: return nullptr;
  }
}

void UpperCaseAscii(std::string& word) {
  for (char& c : word) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
}

const size_t kCharsetGb = kCharsetGBK;

}  // namespace

ZorvSegmenter::ZorvSegmenter() : m_data_dir(), m_seg_mode(0), m_seg_handle(nullptr) {}

ZorvSegmenter::~ZorvSegmenter() { Release(); }

int32_t ZorvSegmenter::GetDefaultMode() { return kModeModuleDefault; }

void ZorvSegmenter::Release() {
  if (m_seg_handle != nullptr) {
    LxCloseSegHandle(m_seg_handle);
    m_seg_handle = nullptr;
  }
  if (!m_holds_data) return;
  m_holds_data = false;
  SharedData& shared = Shared();
  std::unique_lock<std::shared_mutex> exclusive(shared.lock);
  if (--shared.users == 0) {
    LxUnInitSeg();
    shared.data_dir.clear();
    shared.user_dict_id = shared.data_dict_id = 0;
  }
}

int ZorvSegmenter::Init(const std::string& data_dir, int32_t mode) {
  fprintf(stderr, "init segment [%s] ...\n", data_dir.c_str());
  std::lock_guard<std::mutex> guard(m_lock);
  Release();
  m_data_dir = data_dir;
  m_seg_mode = mode;
  SharedData& shared = Shared();
  {
    std::unique_lock<std::shared_mutex> exclusive(shared.lock);
    std::string canonical = CanonicalDir(data_dir);
    if (shared.users > 0 && canonical != shared.data_dir) {
      fprintf(stderr, "%s:data directory \"%s\" is not \"%s\", which live objects use\n", "Init",
              data_dir.c_str(), shared.data_dir.c_str());
      return -1;
    }
    if (shared.users == 0) {
      if (!LxInitSeg(data_dir.c_str())) {
        fprintf(stderr, "%s:init seg from \"%s\" failed!\n", "Init", data_dir.c_str());
        return -1;
      }
      shared.data_dir = canonical;
      shared.data_dict_id = LxGetWorkingCustomDictID();
      shared.user_dict_id = 0;
      if (!ApplyUserWords(shared)) fprintf(stderr, "%s:user words cannot be loaded\n", "Init");
    }
    ++shared.users;
    m_holds_data = true;
  }
  m_seg_handle = LxCreateSegHandle(mode);
  if (m_seg_handle == nullptr) {
    fprintf(stderr, "%s:create seg handle failed!\n", "Init");
    Release();
    return -2;
  }
  return 0;
}

std::string ZorvSegmenter::GetLoadedDataDir() {
  SharedData& shared = Shared();
  std::shared_lock<std::shared_mutex> reading(shared.lock);
  return shared.data_dir;
}

bool ZorvSegmenter::SetUserWords(const std::string& lines) {
  SharedData& shared = Shared();
  std::unique_lock<std::shared_mutex> exclusive(shared.lock);
  shared.user_words = lines;
  return shared.users == 0 || ApplyUserWords(shared);
}

void ZorvSegmenter::CheckReady() const {
  if (m_seg_handle == nullptr) {
    throw std::logic_error("the segmenter has no data: call Init first (and check its result)");
  }
}

bool ZorvSegmenter::SegmentPiece(const char* text, size_t len, bool is_gbk) {
  if (!is_gbk) return LxSegment(m_seg_handle, text, len, kCharsetUTF8);
  if (!m_converter) m_converter.reset(new EncodeConverter);
  // An ill-formed byte becomes a four-byte U+FFFD: at most four bytes each.
  m_gb_text.resize(len * 4 + 8);
  size_t gb_len = m_gb_text.size();
  m_converter->UTF2GBK(text, len, &m_gb_text[0], gb_len);
  return LxSegment(m_seg_handle, m_gb_text.data(), gb_len, kCharsetGb);
}

template <typename EachPiece>
void ZorvSegmenter::SegmentInPieces(const std::string& text, bool is_gbk, EachPiece each_piece) {
  size_t begin = 0;
  size_t chars_before = 0;
  do {
    size_t end = PieceEnd(text, begin);
    if (!SegmentPiece(text.data() + begin, end - begin, is_gbk)) {
      throw std::runtime_error("segmentation failed");
    }
    each_piece(begin, chars_before);
    // The basic words cover the piece: the last one ends at its end.
    size_t words = LxGetResultCnt(m_seg_handle);
    if (words > 0) chars_before += LxGetBasicSpanAt(m_seg_handle, static_cast<int32_t>(words - 1))->char_end;
    begin = end;
  } while (begin < text.size());
}

std::vector<std::string> ZorvSegmenter::Segment(const std::string& text, bool /*seg_pos*/,
                                                bool result_upper_case, int upper_begin_index,
                                                bool is_gbk) {
  std::lock_guard<std::mutex> guard(m_lock);
  CheckReady();
  std::shared_lock<std::shared_mutex> segmenting(Shared().lock);
  std::vector<std::string> result;
  int64_t index = 0;
  try {
    SegmentInPieces(text, is_gbk, [&](size_t, size_t) {
      size_t count = LxGetMixWordCnt(m_seg_handle);
      for (size_t i = 0; i < count; ++i, ++index) {
        const token_t* token = LxGetMixTokenAt(m_seg_handle, static_cast<int32_t>(i));
        std::string word(token->word, token->wlen);
        if (is_gbk) {
          m_utf8_word.resize(word.size() * 3 + 8);
          size_t utf8_len = m_utf8_word.size();
          m_converter->GBK2UTF(word.data(), word.size(), &m_utf8_word[0], utf8_len);
          word.assign(m_utf8_word.data(), utf8_len);
        }
        size_t first = word.find_first_not_of(' ');
        if (first == std::string::npos) continue;
        word = word.substr(first, word.find_last_not_of(' ') - first + 1);
        if (result_upper_case && upper_begin_index >= 0 && index >= upper_begin_index) {
          UpperCaseAscii(word);
        }
        result.push_back(std::move(word));
      }
    });
  } catch (const std::runtime_error&) {
    return std::vector<std::string>();  // the library failed: an empty result
  }
  return result;
}

std::vector<std::string> ZorvSegmenter::Words(const std::string& text, int granularity) {
  std::lock_guard<std::mutex> guard(m_lock);
  CheckReady();
  std::shared_lock<std::shared_mutex> segmenting(Shared().lock);
  bool mix = granularity == kMixWords;
  std::vector<std::string> words;
  SegmentInPieces(text, false, [&](size_t, size_t) {
    size_t count = mix ? LxGetMixWordCnt(m_seg_handle) : LxGetResultCnt(m_seg_handle);
    for (size_t i = 0; i < count; ++i) {
      int32_t idx = static_cast<int32_t>(i);
      const token_t* token = mix ? LxGetMixTokenAt(m_seg_handle, idx)
                                 : LxGetBasicTokenAt(m_seg_handle, idx);
      if (!IsBlank(token->word, token->wlen)) words.emplace_back(token->word, token->wlen);
    }
  });
  return words;
}

std::vector<ZorvToken> ZorvSegmenter::Tokens(const std::string& text, int granularity,
                                             int32_t extra_mode) {
  std::lock_guard<std::mutex> guard(m_lock);
  CheckReady();
  std::shared_lock<std::shared_mutex> segmenting(Shared().lock);
  ResetSegMode(m_seg_handle, m_seg_mode | extra_mode);
  std::vector<ZorvToken> tokens;
  char tag[8];
  auto add = [&](const char* word, size_t len, const char* tag_name, const token_span_t* span,
                 size_t chars_before) {
    if (IsBlank(word, len)) return;
    tokens.push_back(ZorvToken{std::string(word, len), tag_name, chars_before + span->char_begin,
                               chars_before + span->char_end});
  };
  try {
    SegmentInPieces(text, false, [&](size_t, size_t chars_before) {
      if (granularity == kEntities) {
        for (int32_t i = 0; i < static_cast<int32_t>(LxGetPhraseCnt(m_seg_handle)); ++i) {
          const comb_token_t* phrase = LxGetPhraseTokenAt(m_seg_handle, i);
          const char* kind = EntityKind(phrase->cls);
          if (kind != nullptr) {
            add(phrase->word, phrase->wlen, kind, LxGetPhraseSpanAt(m_seg_handle, i), chars_before);
          }
        }
        return;
      }
      bool mix = granularity == kMixWords;
      size_t count = mix ? LxGetMixWordCnt(m_seg_handle) : LxGetResultCnt(m_seg_handle);
      for (int32_t i = 0; i < static_cast<int32_t>(count); ++i) {
        const token_t* token = mix ? LxGetMixTokenAt(m_seg_handle, i)
                                   : LxGetBasicTokenAt(m_seg_handle, i);
        LxPosId2Str(token->pos, tag);
        add(token->word, token->wlen, tag,
            mix ? LxGetMixSpanAt(m_seg_handle, i) : LxGetBasicSpanAt(m_seg_handle, i),
            chars_before);
      }
    });
  } catch (...) {
    ResetSegMode(m_seg_handle, m_seg_mode);
    throw;
  }
  ResetSegMode(m_seg_handle, m_seg_mode);
  return tokens;
}
