#include "lattice/UnknownWordFinder.h"

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "crf/DecoderFeatureIndex.h"
#include "crf/TaggerImpl.h"
#include "text/AsciiChar.h"
#include "text/Gb18030.h"

namespace new_seg {

namespace {

// The process-wide model. The generation counts loads and releases, so that
// a tagger knows whether the model it opened on is still the loaded one;
// generation 0 never names a model.
struct SharedModel {
  std::mutex mutex;
  std::string path;
  std::unique_ptr<CRFPP::DecoderFeatureIndex> index;
  bool failed = false;  // loading `path` failed once: not tried again
  std::atomic<uint64_t> generation{0};
};

SharedModel& Model() {
  static SharedModel* model = new SharedModel;
  return *model;
}

// 〇 零 一 二 三 四 五 六 七 八 九 十 百 千 万 亿 两 in GB18030; a switch
// rather than a scan of the list, as every labelled character asks.
bool IsChineseNumeral(unsigned char lead, unsigned char trail) {
  switch (lead << 8 | trail) {
    case 0xA996: case 0xC1E3: case 0xD2BB: case 0xB6FE: case 0xC8FD: case 0xCBC4:
    case 0xCEE5: case 0xC1F9: case 0xC6DF: case 0xB0CB: case 0xBEC5: case 0xCAAE:
    case 0xB0D9: case 0xC7A7: case 0xCDF2: case 0xD2DA: case 0xC1BD:
      return true;
    default:
      return false;
  }
}

}  // namespace

bool UnknownWordFinder::SetModelPath(const char* path) {
  SharedModel& model = Model();
  std::lock_guard<std::mutex> lock(model.mutex);
  model.index.reset();
  model.path = path != nullptr ? path : "";
  model.failed = false;
  ++model.generation;
  return true;
}

void UnknownWordFinder::UnInit() { SetModelPath(nullptr); }

UnknownWordFinder::UnknownWordFinder() = default;

UnknownWordFinder::~UnknownWordFinder() = default;

char UnknownWordFinder::CharClass(const unsigned char* c, size_t len) {
  if (len == 1) {
    if (IsAsciiDigit(c[0])) return 'D';
    return IsAsciiLetter(c[0]) ? 'L' : 'P';
  }
  if (len != 2) return 'C';
  if (IsChineseNumeral(c[0], c[1])) return 'N';
  if (c[0] < 0xA1 || c[0] > 0xA9) return 'C';
  if (c[0] == 0xA3 && c[1] >= 0xB0 && c[1] <= 0xB9) return 'D';
  if (c[0] == 0xA3 && ((c[1] >= 0xC1 && c[1] <= 0xDA) || (c[1] >= 0xE1 && c[1] <= 0xFA))) {
    return 'L';
  }
  return 'P';
}

// Loads the model on first use (once per process, whichever handle comes
// first) and (re)opens this finder's tagger on it.
bool UnknownWordFinder::Ready() {
  SharedModel& model = Model();
  if (tagger_ != nullptr && tagger_generation_ != 0 &&
      tagger_generation_ == model.generation.load(std::memory_order_acquire)) {
    return true;
  }
  std::lock_guard<std::mutex> lock(model.mutex);
  if (model.index == nullptr) {
    if (model.failed) return false;
    std::unique_ptr<CRFPP::DecoderFeatureIndex> index(new CRFPP::DecoderFeatureIndex);
    if (model.path.empty()) {
      std::fprintf(stderr, "unknown-word model: no data directory is loaded\n");
      model.failed = true;
      return false;
    }
    if (!index->open(model.path.c_str())) {
      std::fprintf(stderr, "unknown-word model: %s: %s\n", model.path.c_str(), index->what());
      model.failed = true;
      return false;
    }
    index->set_cost_factor(1.0);
    model.index = std::move(index);
    ++model.generation;
  }
  if (tagger_ == nullptr) tagger_.reset(new CRFPP::TaggerImpl);
  tagger_generation_ = 0;
  if (!tagger_->open(model.index.get(), 0, 0)) {
    std::fprintf(stderr, "unknown-word model: %s\n", tagger_->what());
    model.failed = true;
    return false;
  }
  label_b_ = label_m_ = label_e_ = -1;
  for (size_t y = 0; y < tagger_->ysize(); ++y) {
    const char* name = tagger_->yname(y);
    if (std::strcmp(name, "B") == 0) label_b_ = static_cast<int>(y);
    if (std::strcmp(name, "M") == 0) label_m_ = static_cast<int>(y);
    if (std::strcmp(name, "E") == 0) label_e_ = static_cast<int>(y);
  }
  tagger_generation_ = model.generation.load(std::memory_order_relaxed);
  return true;
}

// The token's columns: the character, its class and, for models that read
// it, the lexicon's offer there; kept in column_text_ until the sequence is
// parsed (the tagger keeps pointers). Bytes the corpus never shows inside a
// word (controls, space, TAB) are fed as a space.
bool UnknownWordFinder::AddToken(const char* token, size_t len, unsigned char lexicon) {
  char* text = column_text_ + token_count_ * kColumnTextPerToken;
  const unsigned char* c = reinterpret_cast<const unsigned char*>(token);
  const char* columns[3];
  size_t n = 0;
  columns[0] = text;
  if (len == 1 && c[0] <= 0x20) {
    text[n++] = ' ';
  } else {
    std::memcpy(text, token, len);
    n = len;
  }
  text[n++] = '\0';
  columns[1] = text + n;
  text[n++] = CharClass(c, len);
  text[n++] = '\0';
  columns[2] = text + n;
  text[n++] = static_cast<char>('a' + (lexicon & (kWordStarts | kWordEnds | kWordCovers)));
  text[n] = '\0';
  return tagger_->add2(tagger_->xsize() >= 3 ? 3 : 2, columns);
}

bool UnknownWordFinder::Label(const char* sentence, size_t begin, size_t end,
                              const unsigned char* lexicon) {
  token_count_ = 0;
  if (!Ready()) return false;
  if (end <= begin) return true;
  if (end - begin >= sizeof(offsets_) / sizeof(offsets_[0])) return false;
  tagger_->clear();
  size_t pos = begin;
  while (pos < end) {
    // Characters as the lattice steps them, so that spans end on its nodes.
    size_t token = GbCharLen(sentence, pos, end);
    offsets_[token_count_] = static_cast<uint32_t>(pos);
    if (!AddToken(sentence + pos, token, lexicon != nullptr ? lexicon[pos] : 0)) return false;
    ++token_count_;
    pos += token;
  }
  offsets_[token_count_] = static_cast<uint32_t>(end);
  if (!tagger_->parse()) return false;
  CollectSpans();
  return true;
}

// -log2 of the share the chosen label takes of the label scores at a token.
// The chosen label's own term is exp(0) = 1, added without the call.
float UnknownWordFinder::LabelCost(size_t token) const {
  size_t chosen = tagger_->result(token);
  double best = tagger_->emission_cost(token, chosen);
  double sum = 0.0;
  for (size_t y = 0; y < tagger_->ysize(); ++y) {
    sum += y == chosen ? 1.0 : std::exp(tagger_->emission_cost(token, y) - best);
  }
  return static_cast<float>(std::log2(sum));
}

// A word's cost is summed once its E label closes it: runs that a
// single-byte character, an S or a length past kMaxWordChars breaks need
// none.
void UnknownWordFinder::CollectSpans() {
  size_t start = 0;
  bool open = false;
  for (size_t t = 0; t < token_count_; ++t) {
    int label = static_cast<int>(tagger_->result(t));
    bool multibyte = offsets_[t + 1] - offsets_[t] > 1;
    if (label == label_b_) {
      open = multibyte;
      start = t;
      continue;
    }
    if (!open) continue;
    if (!multibyte || (label != label_m_ && label != label_e_) ||
        t - start + 1 > kMaxWordChars) {
      open = false;
      continue;
    }
    if (label == label_m_) continue;
    open = false;
    if (span_count_ == kMaxSpans) return;
    float cost = LabelCost(start);
    for (size_t k = start + 1; k <= t; ++k) cost += LabelCost(k);
    spans_[span_count_++] = {offsets_[start], offsets_[t + 1] - offsets_[start], cost};
  }
}

}  // namespace new_seg
