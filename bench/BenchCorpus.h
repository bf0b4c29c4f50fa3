// What the benchmarks share: plain text from the annotated corpus beside
// the project, and segmenting a text line by line as the command-line tool
// does.
#ifndef ZORVSEG_BENCH_BENCHCORPUS_H_
#define ZORVSEG_BENCH_BENCHCORPUS_H_

#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>
#include <string>

#include "zorvseg.h"

namespace bench {

// Corpus paragraphs with ids, tags and brackets removed, one per line, until
// the text reaches `limit` bytes. after_word(word, text) may append to the
// text behind each word.
template <typename AfterWord>
std::string ReadCorpusText(size_t limit, AfterWord after_word) {
  std::ifstream in(std::string(ZORVSEG_CORPORA_DIR) + "/pd1998-01/199801.utf8.txt");
  std::string line, out;
  while (out.size() < limit && std::getline(in, line)) {
    std::istringstream tokens(line);
    std::string token;
    bool first = true;
    while (tokens >> token) {
      if (first) {  // paragraph id
        first = false;
        continue;
      }
      std::string word = token.substr(0, token.rfind('/'));
      if (!word.empty() && word[0] == '[') word.erase(0, 1);
      out += word;
      after_word(word, out);
    }
    out += '\n';
  }
  return out;
}

inline bool DataLoaded() {
  static bool loaded = new_seg::LxInitSeg(ZORVSEG_DATA_DIR);
  return loaded;
}

// Calls segment_line(data, length) on each line of text in every benchmark
// iteration and reports the bytes; a failing call ends the benchmark.
template <typename SegmentLine>
void SegmentEachLine(benchmark::State& state, const std::string& text, SegmentLine segment_line) {
  size_t bytes = 0;
  for (auto _ : state) {
    for (size_t start = 0; start < text.size();) {
      size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      if (!segment_line(text.data() + start, end - start)) {
        state.SkipWithError("segmentation failed");
        return;
      }
      bytes += end - start + 1;
      start = end + 1;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}

// Segments text line by line (UTF-8) with one handle of the given mode.
inline void SegmentLines(benchmark::State& state, const std::string& text, int32_t mode) {
  if (!DataLoaded() || text.empty()) {
    state.SkipWithError("data directory or corpus missing");
    return;
  }
  new_seg::HANDLE handle = new_seg::LxCreateSegHandle(mode);
  SegmentEachLine(state, text, [handle](const char* line, size_t length) {
    if (!new_seg::LxSegment(handle, line, length, new_seg::kCharsetUTF8)) return false;
    benchmark::DoNotOptimize(new_seg::LxGetResultCnt(handle));
    return true;
  });
  new_seg::LxCloseSegHandle(handle);
}

}  // namespace bench

#endif  // ZORVSEG_BENCH_BENCHCORPUS_H_
