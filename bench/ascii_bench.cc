// ASCII segmentation: throughput on Chinese text mixed with Latin words,
// numbers, URLs and e-mail addresses, per ASCII mode, and the time for
// 1 MB lines of hostile ASCII-only input (no spaces, long digit or
// punctuation runs, quotes, unbalanced URL-like text).
#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>
#include <string>

#include "driver/SegMode.h"
#include "zorvseg.h"

namespace {

const size_t kMegabyte = 1u << 20;
// The default mode's normalisation (0x00212314) without its simple-mode bit.
const int32_t kBaseMode = 0x00212314;
const int32_t kFullMode = kBaseMode;
const int32_t kSimpleMode = kBaseMode | new_seg::SegMode::kUseSimpleMode;
const int32_t kWholeMode = kBaseMode | new_seg::SegMode::kUseWholeMode;
const int32_t kLmMode = kBaseMode | new_seg::SegMode::kUseAsciiLmMode;
const int32_t kLmPinyinMode = kLmMode | new_seg::SegMode::kUseAsciiLmPinyin;

// Corpus paragraphs (ids and tags removed) with an ASCII snippet after
// every Chinese comma or full stop, until the text reaches 1 MB.
const std::string& MixedText() {
  static const char* const kSnippets[] = {
      "iPhone 15 Pro", "http://www.example.com/news/2024/a.html", "foo.bar@example.com.cn",
      "v3.14.2", "12.5$", "-3.14", "Wi-Fi 6", "C++17", "2024", "USB-C", "GDP 5.2%",
      "hello world", "192.168.1.1", "e.g.", "\"quoted\"", "www.sina.com.cn", "galaxys4",
      "zhongguo", "COVID-19", "ISBN 978-7-111-12345-6"};
  static std::string text = [] {
    std::ifstream in(std::string(ZORVSEG_CORPORA_DIR) + "/pd1998-01/199801.utf8.txt");
    std::string line, out;
    size_t snippet = 0;
    while (out.size() < kMegabyte && std::getline(in, line)) {
      std::istringstream tokens(line);
      std::string token;
      bool first = true;
      while (tokens >> token) {
        if (first) { first = false; continue; }  // paragraph id
        std::string word = token.substr(0, token.rfind('/'));
        if (!word.empty() && word[0] == '[') word.erase(0, 1);
        out += word;
        if (word == "，" || word == "。") {
          out += kSnippets[snippet++ % (sizeof kSnippets / sizeof kSnippets[0])];
        }
      }
      out += '\n';
    }
    return out;
  }();
  return text;
}

bool Loaded() {
  static bool loaded = new_seg::LxInitSeg(ZORVSEG_DATA_DIR);
  return loaded;
}

// Segments text line by line, as the command-line tool does.
void SegmentLines(benchmark::State& state, const std::string& text, int32_t mode) {
  if (!Loaded() || text.empty()) {
    state.SkipWithError("data directory or corpus missing");
    return;
  }
  new_seg::HANDLE handle = new_seg::LxCreateSegHandle(mode);
  size_t bytes = 0;
  for (auto _ : state) {
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      if (!new_seg::LxSegment(handle, text.data() + start, end - start, new_seg::kCharsetUTF8)) {
        state.SkipWithError("segmentation failed");
        break;
      }
      benchmark::DoNotOptimize(new_seg::LxGetResultCnt(handle));
      bytes += end - start + 1;
      start = end + 1;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
  new_seg::LxCloseSegHandle(handle);
}

void BM_MixedText(benchmark::State& state, int32_t mode) {
  SegmentLines(state, MixedText(), mode);
}
BENCHMARK_CAPTURE(BM_MixedText, full, kFullMode)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_MixedText, simple, kSimpleMode)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_MixedText, whole, kWholeMode)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_MixedText, lm, kLmMode)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_MixedText, lm_pinyin, kLmPinyinMode)->Unit(benchmark::kMillisecond);

// One 1 MB line made of a repeated unit.
std::string Repeat(const std::string& unit) {
  std::string line;
  while (line.size() + unit.size() <= kMegabyte) line += unit;
  return line;
}

#define HOSTILE(name, unit)                                                             \
  void BM_Hostile_##name(benchmark::State& state, int32_t mode) {                       \
    static const std::string line = Repeat(unit);                                       \
    SegmentLines(state, line, mode);                                                    \
  }                                                                                     \
  BENCHMARK_CAPTURE(BM_Hostile_##name, full, kFullMode)->Unit(benchmark::kMillisecond); \
  BENCHMARK_CAPTURE(BM_Hostile_##name, lm_pinyin, kLmPinyinMode)->Unit(benchmark::kMillisecond)

HOSTILE(Letters, "abcdefghijklmnopqrstuvwxyz");
HOSTILE(Digits, "0123456789");
HOSTILE(Punctuation, "!");
HOSTILE(Quotes, "\"");
HOSTILE(LongWordsThenDot, std::string(500, 'a') + ".");
HOSTILE(LongWordsThenDomain, std::string(500, 'a') + "-b.com ");
HOSTILE(UnbalancedUrl, "http://www.");
HOSTILE(DottedNumbers, "1.");
HOSTILE(EmailLike, "a-b@");
HOSTILE(MixedSymbols, ".-/@:!\"#$%a1");

}  // namespace

BENCHMARK_MAIN();
