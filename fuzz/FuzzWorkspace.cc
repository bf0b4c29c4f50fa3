#include "FuzzWorkspace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

[[noreturn]] void Die(const std::string& message) {
  std::fprintf(stderr, "fuzz: %s\n", message.c_str());
  std::exit(2);
}

std::string WithSlash(std::string dir) {
  if (dir.empty() || dir.back() != '/') dir += '/';
  return dir;
}

// Reading a string the library returned makes AddressSanitizer check every
// byte up to its terminating zero.
size_t Touch(const char* text) { return text == nullptr ? 0 : std::strlen(text); }

void CheckSpan(const new_seg::token_span_t* span, size_t text_size, size_t* last_end) {
  if (span == nullptr) return;
  if (span->begin > span->end || span->end > text_size || span->char_begin > span->char_end ||
      span->char_end > text_size) {
    std::fprintf(stderr, "fuzz: span [%zu, %zu) chars [%zu, %zu) outside a text of %zu bytes\n",
                 span->begin, span->end, span->char_begin, span->char_end, text_size);
    std::abort();
  }
  if (last_end != nullptr) {
    if (span->begin < *last_end) {
      std::fprintf(stderr, "fuzz: basic span [%zu, %zu) overlaps the one ending at %zu\n",
                   span->begin, span->end, *last_end);
      std::abort();
    }
    *last_end = span->end;
  }
}

}  // namespace

FuzzWorkspace& FuzzWorkspace::Get() {
  static FuzzWorkspace* workspace = new FuzzWorkspace;
  return *workspace;
}

FuzzWorkspace::FuzzWorkspace() {
  const char* from_environment = std::getenv("ZORVSEG_DATA");
  data_dir_ = WithSlash(from_environment != nullptr && *from_environment != '\0'
                            ? from_environment
                            : ZORVSEG_FUZZ_DATA_DIR);
  struct stat st;
  if (stat(DataFile("core_dict.dat").c_str(), &st) != 0) {
    Die(data_dir_ + ": no data directory here (core_dict.dat is missing); build the datadir "
                    "target or set ZORVSEG_DATA");
  }
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = WithSlash(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") +
                        "zorvseg-fuzz-XXXXXX";
  if (mkdtemp(&pattern[0]) == nullptr) Die("cannot create a scratch directory in " + pattern);
  scratch_dir_ = WithSlash(pattern);
  // The scratch directory goes with the process, whatever ends it.
  static std::string to_remove;
  to_remove = scratch_dir_;
  std::atexit([] {
    std::string command = "rm -rf '" + to_remove + "'";
    if (std::system(command.c_str()) != 0) std::fprintf(stderr, "fuzz: %s failed\n", command.c_str());
  });
}

void FuzzWorkspace::LoadDataDirectory() const {
  if (!new_seg::LxInitSeg(data_dir_.c_str())) Die("LxInitSeg(" + data_dir_ + ") failed");
}

std::string FuzzWorkspace::WriteScratch(const std::string& name, const uint8_t* data,
                                        size_t size) const {
  std::string path = ScratchPath(name);
  std::string temporary = path + ".new";
  int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) Die("cannot write " + temporary);
  size_t done = 0;
  while (done < size) {
    ssize_t n = write(fd, data + done, size - done);
    if (n <= 0) Die("cannot write " + temporary);
    done += static_cast<size_t>(n);
  }
  close(fd);
  if (rename(temporary.c_str(), path.c_str()) != 0) Die("cannot rename " + temporary);
  return path;
}

void FuzzWorkspace::ReadEveryResult(new_seg::HANDLE handle, size_t text_size) {
  using namespace new_seg;
  size_t basic = LxGetResultCnt(handle);
  size_t last_end = 0;
  for (size_t i = 0; i < basic; ++i) {
    Touch(LxGetWordAt(handle, i));
    pWP tagged = LxGetAt(handle, static_cast<int>(i));
    if (tagged != nullptr) Touch(tagged->word);
    // A word may hold zero bytes of the input; its wlen bytes are followed
    // by the terminating zero.
    const token_t* token = LxGetBasicTokenAt(handle, static_cast<int32_t>(i));
    if (token != nullptr && (token->word == nullptr || token->word[token->wlen] != '\0')) {
      std::fprintf(stderr, "fuzz: basic word %zu of wlen %zu is not terminated there\n", i,
                   token->wlen);
      std::abort();
    }
    CheckSpan(LxGetBasicSpanAt(handle, static_cast<int32_t>(i)), text_size, &last_end);
  }
  size_t phrases = LxGetPhraseCnt(handle);
  for (size_t i = 0; i < phrases; ++i) {
    Touch(LxGetPhraseAt(handle, i));
    const comb_token_t* phrase = LxGetPhraseTokenAt(handle, static_cast<int32_t>(i));
    if (phrase != nullptr && (phrase->sidx > phrase->eidx || phrase->eidx > basic)) {
      std::fprintf(stderr, "fuzz: phrase %zu covers words [%zu, %zu) of %zu\n", i, phrase->sidx,
                   phrase->eidx, basic);
      std::abort();
    }
    CheckSpan(LxGetPhraseSpanAt(handle, static_cast<int32_t>(i)), text_size, nullptr);
  }
  size_t mix = LxGetMixWordCnt(handle);
  for (size_t i = 0; i < mix; ++i) {
    Touch(LxGetMixWordAt(handle, i));
    const token_t* token = LxGetMixTokenAt(handle, static_cast<int32_t>(i));
    if (token != nullptr) Touch(token->word);
    CheckSpan(LxGetMixSpanAt(handle, static_cast<int32_t>(i)), text_size, nullptr);
  }
  size_t additional = LxGetAdditionalTokenCnt(handle);
  for (size_t i = 0; i < additional; ++i) {
    const additional_token_t* token = LxGetAdditionalTokenAt(handle, i);
    if (token == nullptr) continue;
    Touch(token->word);
    if (token->start_idx > token->end_idx || token->end_idx > basic) {
      std::fprintf(stderr, "fuzz: additional token %zu covers words [%zu, %zu) of %zu\n", i,
                   token->start_idx, token->end_idx, basic);
      std::abort();
    }
  }
  seg_tokens_t all;
  std::memset(&all, 0, sizeof(all));
  LxGetAllSegInfo(handle, all);
  for (size_t i = 0; i < all.fine_grain_tokens_num; ++i) Touch(all.fine_grain_seg_tokens[i].word);
  for (size_t i = 0; i < all.thick_seg_tokens_num; ++i) Touch(all.thick_seg_tokens[i].word);
  for (size_t i = 0; i < all.mix_seg_tokens_num; ++i) Touch(all.mix_seg_tokens[i].word);
}
