#include "common/PresegmentedTagger.h"

#include "dict/CoreDict.h"
#include "text/AsciiChar.h"

namespace zorvseg_tools {

namespace {
const size_t kMaxSentence = 1020;

new_seg::OmniSegItem::UnDictTermType KindOf(const char* text, size_t len) {
  bool letters = true, digits = true;
  for (size_t i = 0; i < len; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    letters = letters && new_seg::IsAsciiLetter(c);
    digits = digits && new_seg::IsAsciiDigit(c);
  }
  if (letters) return new_seg::OmniSegItem::TYPE_ENG;
  if (digits) return new_seg::OmniSegItem::TYPE_NUM;
  if (len == 1 && static_cast<unsigned char>(text[0]) < 0x80) return new_seg::OmniSegItem::TYPE_SEG;
  return new_seg::OmniSegItem::TYPE_CJK;
}
}  // namespace

PresegmentedTagger::PresegmentedTagger(int32_t mode, bool gbk)
    : mode_(mode), gbk_(gbk), net_(1024), normalizer_(&mode_, 1024) {}

bool PresegmentedTagger::Init() { return net_.Init() && normalizer_.Init() && converter_.ok(); }

void PresegmentedTagger::Add(const char* word, size_t len) {
  std::string gb;
  if (gbk_) {
    gb.assign(word, len);
  } else {
    gb.resize(len * 4 + 8);
    size_t gb_len = gb.size();
    converter_.UTF2GBK(word, len, &gb[0], gb_len);
    gb.resize(gb_len);
  }
  if (!words_.empty() && sentence_bytes_ + gb.size() > kMaxSentence) TagSentence();
  sentence_bytes_ += gb.size();
  words_.emplace_back(word, len);
  gb_words_.push_back(std::move(gb));
}

void PresegmentedTagger::Flush() {
  if (!words_.empty()) TagSentence();
}

void PresegmentedTagger::TagSentence() {
  size_t first_tagged = tagged_.size();
  for (std::string& word : words_) tagged_.push_back(TaggedWord{std::move(word), 0});
  std::vector<std::string> gb_words;
  gb_words.swap(gb_words_);
  words_.clear();
  sentence_bytes_ = 0;

  // Normalising may shorten a word (full width to half width), so each word
  // is normalised alone and the sentence is their concatenation, which
  // normalises to itself. A word longer than a sentence stays untagged.
  text_.clear();
  ends_.clear();
  for (const std::string& word : gb_words) {
    size_t len = 0;
    const char* normal = normalizer_.Normalize(word.data(), word.size(), len);
    if (normal == nullptr) return;
    text_.append(normal, len);
    ends_.push_back(text_.size());
  }
  size_t len = 0;
  const char* normalized = normalizer_.Normalize(text_.data(), text_.size(), len);
  if (normalized == nullptr || len != text_.size()) return;
  net_.Clear();
  net_.AddTerm(0, 0, new_seg::kSentenceStartIdx, new_seg::OmniSegItem::TYPE_SEG);
  size_t previous = 0;
  for (size_t end : ends_) {
    const char* word = normalized + previous;
    size_t word_len = end - previous;
    new_seg::OmniSegItem::UnDictTermType kind = KindOf(word, word_len);
    int id = new_seg::CoreDict::ExactMatchSearch(word, word_len);
    bool bare_number = false;
    if (id < 0) id = numbers_.ClassIdOf(word, word_len, &bare_number);
    if (bare_number) kind = new_seg::OmniSegItem::TYPE_NUM;
    net_.AddTerm(previous, word_len, id < 0 ? 0 : id, kind);
    previous = end;
  }
  previous = 0;
  for (size_t end : ends_) {
    net_.GetSegNode(previous)->set_is_optimal_seg_node(true);
    net_.GetSegNode(previous)->set_next_term_len(end - previous);
    previous = end;
  }
  net_.GetSegNode(previous)->set_is_optimal_seg_node(true);
  // With entity recognition on, the tagger leaves person names to it and the
  // saver tags the words of each recognised name; no recognition runs on given
  // words, so the tagger keeps its own person tags whatever the mode.
  tagger_.pos_tag(&net_, &normalizer_, false);
  for (size_t i = 0; i < ends_.size(); ++i) {
    const new_seg::OmniSegItem* item = net_.GetSegNode(ends_[i])->optimal_item();
    tagged_[first_tagged + i].tag = item == nullptr ? 0 : item->pos_tag;
  }
}

}  // namespace zorvseg_tools
