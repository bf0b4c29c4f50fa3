// The CRF tagger's add and parse over arbitrary token lines with a small
// model: each line of the input is one token's columns (blank-separated, as
// the tagger reads them); an empty line ends a sequence, which is labelled
// and its labels read. The model is the file $ZORVSEG_CRF_MODEL, or the
// compiled model the build made from the tests' small entity model.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "crf/DecoderFeatureIndex.h"
#include "crf/TaggerImpl.h"

namespace {

using new_seg::CRFPP::DecoderFeatureIndex;
using new_seg::CRFPP::TaggerImpl;

DecoderFeatureIndex* g_index = nullptr;
TaggerImpl* g_tagger = nullptr;

void LabelSequence() {
  if (g_tagger->parse()) {
    for (size_t i = 0; i < g_tagger->size(); ++i) {
      if (std::strlen(g_tagger->y2(i)) == 0 && g_tagger->ysize() > 0) std::abort();
    }
  }
  g_tagger->clear();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* from_environment = std::getenv("ZORVSEG_CRF_MODEL");
  const char* model = from_environment != nullptr && *from_environment != '\0'
                          ? from_environment
                          : ZORVSEG_FUZZ_CRF_MODEL;
  g_index = new DecoderFeatureIndex;
  g_tagger = new TaggerImpl;
  if (!g_index->open(model) || !g_tagger->open(g_index, 0, 0)) {
    std::fprintf(stderr, "fuzz: cannot open the CRF model %s (set ZORVSEG_CRF_MODEL)\n", model);
    std::exit(2);
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  g_tagger->clear();
  size_t start = 0;
  while (start < input.size()) {
    size_t end = input.find('\n', start);
    if (end == std::string::npos) end = input.size();
    // Each line in its own allocation of its exact length plus the zero.
    std::string line = input.substr(start, end - start);
    if (line.empty()) {
      LabelSequence();
    } else if (!g_tagger->add(line.c_str())) {
      g_tagger->clear();
    }
    start = end + 1;
  }
  LabelSequence();
  return 0;
}
