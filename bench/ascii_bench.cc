// ASCII segmentation: throughput on Chinese text mixed with Latin words,
// numbers, URLs and e-mail addresses, per ASCII mode, and the time for
// 1 MB lines of hostile ASCII-only input (no spaces, long digit or
// punctuation runs, quotes, unbalanced URL-like text).
#include <benchmark/benchmark.h>

#include <string>

#include "BenchCorpus.h"

#include "zorvseg.h"

namespace {

const size_t kMegabyte = 1u << 20;
// The default mode's normalisation (0x00212314) without its simple-mode bit.
const int32_t kBaseMode = 0x00212314;
const int32_t kFullMode = kBaseMode;
const int32_t kSimpleMode = kBaseMode | new_seg::kModeUseSimpleMode;
const int32_t kWholeMode = kBaseMode | new_seg::kModeUseWholeMode;
const int32_t kLmMode = kBaseMode | new_seg::kModeUseAsciiLmMode;
const int32_t kLmPinyinMode = kLmMode | new_seg::kModeUseAsciiLmPinyin;

// Corpus paragraphs (ids and tags removed) with an ASCII snippet after
// every Chinese comma or full stop, until the text reaches 1 MB.
const std::string& MixedText() {
  static const char* const kSnippets[] = {
      "iPhone 15 Pro", "http://www.example.com/news/2024/a.html", "foo.bar@example.com.cn",
      "v3.14.2", "12.5$", "-3.14", "Wi-Fi 6", "C++17", "2024", "USB-C", "GDP 5.2%",
      "hello world", "192.168.1.1", "e.g.", "\"quoted\"", "www.sina.com.cn", "galaxys4",
      "zhongguo", "COVID-19", "ISBN 978-7-111-12345-6"};
  static std::string text = bench::ReadCorpusText(kMegabyte, [](const std::string& word,
                                                                  std::string& out) {
    static size_t snippet = 0;
    if (word == "，" || word == "。") {
      out += kSnippets[snippet++ % (sizeof kSnippets / sizeof kSnippets[0])];
    }
  });
  return text;
}

using bench::SegmentLines;

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
