// zorvseg: segments standard input line by line and prints one output line
// per input line.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "common/DataDirectory.h"
#include "common/PresegmentedTagger.h"
#include "text/Gb18030.h"
#include "zorvseg.h"

namespace {

enum class Format { kWords, kPos, kMix, kPhrases };

// Tagging, full-width to half-width and traditional to simplified, with the
// full ASCII segmentation: it scores best against the segmentation standard
// the data is trained on. Simple ASCII mode cuts decimals and percentages
// ("40 . 89", "50 %"), and person-name tags wait for entity recognition.
const int32_t kCommandLineMode = new_seg::kModeCommandLineDefault;

struct Options {
  std::string data_dir;
  int32_t mode = kCommandLineMode;
  bool gbk = false;
  Format format = Format::kWords;
  std::vector<std::string> user_dicts;
  bool presegmented = false;
};

const char kUsage[] =
    "usage: zorvseg [--data DIR] [--mode HEX] [--gbk] [--format words|pos|mix|phrases]\n"
    "               [--user-dict PATH]...\n"
    "\n"
    "Segments standard input line by line and writes one line per input line.\n"
    "\n"
    "  --data DIR      data directory (default: ../data beside the executable)\n"
    "  --mode HEX      segmentation mode bits (default 0x214)\n"
    "  --gbk           input and output are GBK instead of UTF-8\n"
    "  --format F      words:   basic words separated by spaces (default)\n"
    "                  pos:     basic words as word/tag\n"
    "                  mix:     mix words (phrases that qualify taken whole)\n"
    "                  phrases: phrases only\n"
    "  --user-dict PATH  user word list: a file, or a directory of files, with one\n"
    "                  entry per line, word[,tag] (tag n by default; '#' starts a\n"
    "                  comment), UTF-8 or GBK. Where a listed word starts and ends\n"
    "                  on word boundaries and is at least as long as the word at\n"
    "                  its start, it replaces the words it spans. Repeatable: every\n"
    "                  list is loaded, the last one given is the one consulted\n"
    "                  (put several files in one directory to combine them).\n"
    "                  Turns on mode bit 0x08.\n"
    "  --presegmented  the input is already segmented (words separated by spaces):\n"
    "                  tag it as given and print word/tag (measures the tagger\n"
    "                  on a gold segmentation)\n"
    "  --help          show this help\n"
    "\n"
    "Words that are only white space are left out. Exit status: 0 success,\n"
    "1 failure (data directory not loadable, segmentation error), 2 usage error.\n";

// Pieces of one overlong line are segmented separately so memory stays flat.
const size_t kReadBlock = 1 << 20;
const size_t kMaxPiece = 64 * 1024;
const size_t kCutLookBack = 1024;

bool ParseMode(const char* text, int32_t& mode) {
  errno = 0;
  char* end = nullptr;
  unsigned long value = strtoul(text, &end, 16);
  if (errno != 0 || end == text || *end != '\0' || value > 0xFFFFFFFFul) return false;
  mode = static_cast<int32_t>(static_cast<uint32_t>(value));
  return true;
}

bool ParseFormat(const std::string& name, Format& format) {
  if (name == "words") format = Format::kWords;
  else if (name == "pos") format = Format::kPos;
  else if (name == "mix") format = Format::kMix;
  else if (name == "phrases") format = Format::kPhrases;
  else return false;
  return true;
}

// 0: run; 1: help shown; 2: usage error (message printed).
int ParseOptions(int argc, char** argv, Options& options) {
  options.data_dir = zorvseg_tools::DefaultDataDirectory();
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&](const char* name) -> const char* {
      if (i + 1 >= argc) {
        fprintf(stderr, "zorvseg: %s needs a value\n", name);
        return nullptr;
      }
      return argv[++i];
    };
    if (arg == "--help" || arg == "-h") {
      fputs(kUsage, stdout);
      return 1;
    } else if (arg == "--gbk") {
      options.gbk = true;
    } else if (arg == "--data") {
      const char* v = value("--data");
      if (v == nullptr) return 2;
      options.data_dir = v;
    } else if (arg == "--mode") {
      const char* v = value("--mode");
      if (v == nullptr) return 2;
      if (!ParseMode(v, options.mode)) {
        fprintf(stderr, "zorvseg: --mode wants a hexadecimal number, got '%s'\n", v);
        return 2;
      }
    } else if (arg == "--presegmented") {
      options.presegmented = true;
    } else if (arg == "--user-dict") {
      const char* v = value("--user-dict");
      if (v == nullptr) return 2;
      options.user_dicts.push_back(v);
    } else if (arg == "--format") {
      const char* v = value("--format");
      if (v == nullptr) return 2;
      if (!ParseFormat(v, options.format)) {
        fprintf(stderr, "zorvseg: unknown --format '%s' (words, pos, mix, phrases)\n", v);
        return 2;
      }
    } else {
      fprintf(stderr, "zorvseg: unknown option '%s'\n%s", arg.c_str(), kUsage);
      return 2;
    }
  }
  return 0;
}

bool IsWhiteSpaceWord(const char* word, size_t len, bool gbk) {
  for (size_t i = 0; i < len;) {
    unsigned char c = static_cast<unsigned char>(word[i]);
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
      ++i;
    } else if (gbk && i + 1 < len && c == 0xA1 && static_cast<unsigned char>(word[i + 1]) == 0xA1) {
      i += 2;  // ideographic space
    } else if (!gbk && i + 2 < len && memcmp(word + i, "\xE3\x80\x80", 3) == 0) {
      i += 3;
    } else {
      return false;
    }
  }
  return true;
}

// Segments the pieces of one input line and writes the chosen stream.
class LineSegmenter {
 public:
  LineSegmenter(new_seg::HANDLE handle, const Options& options, FILE* out)
      : handle_(handle), options_(options), out_(out) {}

  bool failed() const { return failed_; }

  void Piece(const char* text, size_t len, size_t line_no) {
    if (len == 0) return;
    size_t charset = options_.gbk ? new_seg::kCharsetGBK : new_seg::kCharsetUTF8;
    if (!new_seg::LxSegment(handle_, text, len, charset)) {
      fprintf(stderr, "zorvseg: segmentation failed on line %zu\n", line_no);
      failed_ = true;
      return;
    }
    switch (options_.format) {
      case Format::kWords:
      case Format::kPos:
        for (size_t i = 0; i < new_seg::LxGetResultCnt(handle_); ++i) {
          const new_seg::token_t* t = new_seg::LxGetBasicTokenAt(handle_, static_cast<int32_t>(i));
          Word(t->word, t->wlen, options_.format == Format::kPos ? t->pos : -1);
        }
        break;
      case Format::kMix:
        for (size_t i = 0; i < new_seg::LxGetMixWordCnt(handle_); ++i) {
          const new_seg::token_t* t = new_seg::LxGetMixTokenAt(handle_, static_cast<int32_t>(i));
          Word(t->word, t->wlen, -1);
        }
        break;
      case Format::kPhrases:
        for (size_t i = 0; i < new_seg::LxGetPhraseCnt(handle_); ++i) {
          const new_seg::comb_token_t* t =
              new_seg::LxGetPhraseTokenAt(handle_, static_cast<int32_t>(i));
          Word(t->word, t->wlen, -1);
        }
        break;
    }
  }

  void EndLine() {
    fputc('\n', out_);
    line_has_words_ = false;
  }

 private:
  void Word(const char* word, size_t len, int pos) {
    if (IsWhiteSpaceWord(word, len, options_.gbk)) return;
    if (line_has_words_) fputc(' ', out_);
    fwrite(word, 1, len, out_);
    if (pos >= 0) {
      char tag[8];
      new_seg::LxPosId2Str(static_cast<unsigned char>(pos), tag);
      fputc('/', out_);
      fputs(tag, out_);
    }
    line_has_words_ = true;
  }

  new_seg::HANDLE handle_;
  const Options& options_;
  FILE* out_;
  bool line_has_words_ = false;
  bool failed_ = false;
};

// Where to cut a piece of an overlong line: after the last space or ASCII
// punctuation near the end, else at a character boundary.
size_t PieceCut(const char* text, size_t len, bool gbk) {
  for (size_t i = len; i > 0 && len - i < kCutLookBack; --i) {
    if (strchr(" \t,.;!?", text[i - 1]) != nullptr && text[i - 1] != '\0') return i;
  }
  if (!gbk) {
    size_t i = len;
    while (i > 0 && (static_cast<unsigned char>(text[i - 1]) & 0xC0) == 0x80) --i;
    // text[i - 1] starts the last character, which may be incomplete.
    return i > 1 ? i - 1 : len;
  }
  size_t pos = 0;
  while (pos < len) {
    size_t char_len = new_seg::GbCharLen(text, pos, len);
    if (pos + char_len >= len) break;
    pos += char_len;
  }
  return pos > 0 ? pos : len;
}

// Adds each list as a custom dictionary and makes the last one the working
// dictionary. The library takes a missing path for an empty list; here it is
// a mistake worth reporting.
bool AddUserDicts(const std::vector<std::string>& paths) {
  size_t last_id = 0;
  for (const std::string& path : paths) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
      fprintf(stderr, "zorvseg: user dictionary '%s': %s\n", path.c_str(), strerror(errno));
      return false;
    }
    last_id = new_seg::LxAddCustomDict(path.c_str());
    if (last_id == 0) {
      fprintf(stderr, "zorvseg: cannot load the user dictionary '%s'\n", path.c_str());
      return false;
    }
  }
  if (last_id != 0) new_seg::LxSwitchCustomDictTo(last_id);
  return true;
}

// Tags each line's own words (separated by spaces) and prints word/tag.
int TagPresegmented(const Options& options) {
  zorvseg_tools::PresegmentedTagger tagger(options.mode);
  if (!tagger.Init()) {
    fprintf(stderr, "zorvseg: cannot set up the tagger\n");
    return 1;
  }
  std::string line;
  std::vector<std::string> words;
  std::vector<uint8_t> tags;
  int status = 0;
  while (std::getline(std::cin, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    words.clear();
    std::istringstream in(line);
    for (std::string word; in >> word;) words.push_back(word);
    tagger.Tag(words, options.gbk, &tags);
    for (size_t i = 0; i < words.size(); ++i) {
      char tag[8];
      new_seg::LxPosId2Str(tags[i], tag);
      printf("%s%s/%s", i ? " " : "", words[i].c_str(), tag);
    }
    putchar('\n');
  }
  if (fflush(stdout) != 0) status = 1;
  return status;
}

int Run(const Options& options) {
  if (!new_seg::LxInitSeg(options.data_dir.c_str())) {
    fprintf(stderr, "zorvseg: cannot load the data directory '%s'\n", options.data_dir.c_str());
    return 1;
  }
  // Dictionaries are process-wide and must not change while a handle
  // segments: all of them are loaded before the handle exists.
  if (!AddUserDicts(options.user_dicts)) {
    new_seg::LxUnInitSeg();
    return 1;
  }
  if (options.presegmented) {
    int status = TagPresegmented(options);
    new_seg::LxUnInitSeg();
    return status;
  }
  int32_t mode = options.mode;
  if (!options.user_dicts.empty()) mode |= new_seg::kModeUseCustomWord;
  new_seg::HANDLE handle = new_seg::LxCreateSegHandle(mode);
  if (handle == nullptr) {
    fprintf(stderr, "zorvseg: cannot create a segmentation handle\n");
    new_seg::LxUnInitSeg();
    return 1;
  }
  LineSegmenter segmenter(handle, options, stdout);
  std::vector<char> buffer(kReadBlock + kMaxPiece);
  size_t held = 0;  // bytes of the current, unfinished line in buffer
  size_t line_no = 1;
  for (;;) {
    size_t got = fread(buffer.data() + held, 1, buffer.size() - held, stdin);
    size_t filled = held + got;
    size_t start = 0;
    for (;;) {
      const char* newline =
          static_cast<const char*>(memchr(buffer.data() + start, '\n', filled - start));
      if (newline == nullptr) break;
      size_t end = static_cast<size_t>(newline - buffer.data());
      segmenter.Piece(buffer.data() + start, end - start, line_no++);
      segmenter.EndLine();
      start = end + 1;
    }
    held = filled - start;
    if (got == 0) {
      if (held > 0) {
        segmenter.Piece(buffer.data() + start, held, line_no);
        segmenter.EndLine();
      }
      break;
    }
    // An unfinished line longer than a piece is segmented in pieces now.
    while (held >= kMaxPiece) {
      size_t cut = PieceCut(buffer.data() + start, kMaxPiece, options.gbk);
      segmenter.Piece(buffer.data() + start, cut, line_no);
      start += cut;
      held -= cut;
    }
    memmove(buffer.data(), buffer.data() + start, held);
  }
  bool read_error = ferror(stdin) != 0;
  if (read_error) fprintf(stderr, "zorvseg: error reading standard input\n");
  new_seg::LxCloseSegHandle(handle);
  new_seg::LxUnInitSeg();
  if (fflush(stdout) != 0) {
    fprintf(stderr, "zorvseg: error writing standard output\n");
    return 1;
  }
  return segmenter.failed() || read_error ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  int parsed = ParseOptions(argc, argv, options);
  if (parsed == 1) return 0;
  if (parsed == 2) return 2;
  return Run(options);
}
