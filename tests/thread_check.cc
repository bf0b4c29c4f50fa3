// Eight threads, one handle each, segment real text in several modes
// (tagging, entities, custom words, additional rules) and must give exactly
// what one thread gives. Built on its own, it is also the program the
// ThreadSanitizer build runs.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "zorvseg.h"
#include "zorvseg_mode.h"

using namespace new_seg;

namespace {

const std::string kDataDir = ZORVSEG_TEST_DATA_DIR;
const std::string kCorpora = ZORVSEG_CORPORA_DIR;
const int kThreads = 8;

const std::vector<int32_t> kModes = {
    kModeCommandLineDefault & ~kModeFindUnknownWords,
    kModeModuleDefault | kModeAdjustNe,
    kModePosTag | kModeUseCustomWord | kModeUseCustomRule,
    kModeUseAdditionalRuleMode | kModeUseAsciiLmMode | kModeUpperToLower,
    kModeSingleWord | kModeNeName,
    // Handles load the unknown-word model on first use, concurrently.
    kModeCommandLineDefault,
};

// Paragraphs of the corpus and sentences of the treebank, as plain text.
std::vector<std::string> Texts() {
  std::vector<std::string> texts;
  std::ifstream treebank(kCorpora + "/ud-zh-gsdsimp/zh_gsdsimp-ud-dev.conllu");
  for (std::string line; std::getline(treebank, line);) {
    if (line.rfind("# text = ", 0) == 0 && texts.size() < 120) texts.push_back(line.substr(9));
  }
  texts.push_back("王小明和李华在北京大学读书，2026年12月7日去了上海。Hello World c++ 3.5公斤");
  return texts;
}

// Every basic word with its tag, the phrases and the mix words of one call.
std::string Result(HANDLE handle, const std::string& text) {
  if (!LxSegment(handle, text.data(), text.size(), kCharsetUTF8)) return "<failed>";
  std::string result;
  for (size_t i = 0; i < LxGetResultCnt(handle); ++i) {
    result += LxGetWordAt(handle, i);
    result += "/" + std::to_string(LxGetBasicTokenAt(handle, static_cast<int32_t>(i))->pos) + " ";
  }
  result += "|";
  for (size_t i = 0; i < LxGetPhraseCnt(handle); ++i) result += std::string(LxGetPhraseAt(handle, i)) + " ";
  result += "|";
  for (size_t i = 0; i < LxGetMixWordCnt(handle); ++i) result += std::string(LxGetMixWordAt(handle, i)) + " ";
  return result;
}

// results[m][t]: text t segmented in mode m, starting with the mode given.
std::vector<std::vector<std::string>> SegmentAll(const std::vector<std::string>& texts,
                                                 size_t first_mode) {
  std::vector<std::vector<std::string>> results(kModes.size());
  HANDLE handle = LxCreateSegHandle(kModes[first_mode]);
  for (size_t k = 0; k < kModes.size(); ++k) {
    size_t m = (first_mode + k) % kModes.size();
    ResetSegMode(handle, kModes[m]);
    for (const std::string& text : texts) results[m].push_back(Result(handle, text));
  }
  LxCloseSegHandle(handle);
  return results;
}

}  // namespace

TEST(Threads, EightHandlesInParallelGiveTheSingleThreadResults) {
  ASSERT_TRUE(LxInitSeg(kDataDir.c_str()));
  char dir_template[] = "/tmp/zorvseg-threads-XXXXXX";
  ASSERT_NE(mkdtemp(dir_template), nullptr);
  std::string words = std::string(dir_template) + "/words.txt";
  std::ofstream(words) << "北京大学读书\n小明和\n";
  size_t custom = LxAddCustomDict(words.c_str());
  ASSERT_NE(custom, 0u);
  LxSwitchCustomDictTo(custom);

  std::vector<std::string> texts = Texts();
  ASSERT_GT(texts.size(), 100u);

  // Each thread walks the modes from a different one, so that different
  // modes (and the first use of each lazily opened resource) meet; one
  // thread alone gives the expected results afterwards.
  std::vector<std::vector<std::vector<std::string>>> got(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] { got[t] = SegmentAll(texts, t % kModes.size()); });
  }
  for (std::thread& thread : threads) thread.join();
  std::vector<std::vector<std::string>> expected = SegmentAll(texts, 0);
  for (int t = 0; t < kThreads; ++t) {
    for (size_t m = 0; m < kModes.size(); ++m) {
      for (size_t i = 0; i < texts.size(); ++i) {
        ASSERT_EQ(got[t][m][i], expected[m][i]) << "thread " << t << ", mode 0x" << std::hex
                                                << kModes[m] << ": " << texts[i];
      }
    }
  }
  LxUnInitSeg();
  std::remove(words.c_str());
  rmdir(dir_template);
}
