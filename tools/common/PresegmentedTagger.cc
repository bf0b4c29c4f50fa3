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

PresegmentedTagger::PresegmentedTagger(int32_t mode)
    : mode_(mode), net_(1024), normalizer_(&mode_, 1024) {}

bool PresegmentedTagger::Init() { return net_.Init() && normalizer_.Init() && converter_.ok(); }

bool PresegmentedTagger::Tag(const std::vector<std::string>& words, bool gbk,
                             std::vector<uint8_t>* tags) {
  tags->assign(words.size(), 0);
  std::vector<std::string> gb_words;
  for (const std::string& word : words) {
    if (word.empty()) return false;
    if (gbk) {
      gb_words.push_back(word);
      continue;
    }
    std::string gb(word.size() * 4 + 8, '\0');
    size_t len = gb.size();
    converter_.UTF2GBK(word.data(), word.size(), &gb[0], len);
    gb.resize(len);
    gb_words.push_back(gb);
  }
  // Sentences as the splitter would bound them, cut between words.
  size_t first = 0;
  while (first < gb_words.size()) {
    size_t last = first, bytes = 0;
    while (last < gb_words.size() && (last == first || bytes + gb_words[last].size() <= kMaxSentence)) {
      bytes += gb_words[last++].size();
    }
    TagSentence(gb_words, first, last, tags);
    first = last;
  }
  return true;
}

void PresegmentedTagger::TagSentence(const std::vector<std::string>& gb_words, size_t first,
                                     size_t last, std::vector<uint8_t>* tags) {
  // Normalising may shorten a word (full width to half width), so each word
  // is normalised alone and the sentence is their concatenation, which
  // normalises to itself.
  std::vector<std::string> normal_words;
  std::string text;
  for (size_t i = first; i < last; ++i) {
    size_t len = 0;
    const char* word = normalizer_.Normalize(gb_words[i].data(), gb_words[i].size(), len);
    if (word == nullptr) return;  // longer than a sentence: left untagged
    normal_words.emplace_back(word, len);
    text += normal_words.back();
  }
  size_t len = 0;
  const char* normalized = normalizer_.Normalize(text.data(), text.size(), len);
  if (normalized == nullptr || len != text.size()) return;
  net_.Clear();
  net_.AddTerm(0, 0, new_seg::kSentenceStartIdx, new_seg::OmniSegItem::TYPE_SEG);
  std::vector<size_t> ends;
  size_t pos = 0;
  for (size_t i = first; i < last; ++i) {
    size_t word_len = normal_words[i - first].size();
    int id = new_seg::CoreDict::ExactMatchSearch(normalized + pos, word_len);
    net_.AddTerm(pos, word_len, id < 0 ? 0 : id, KindOf(normalized + pos, word_len));
    pos += word_len;
    ends.push_back(pos);
  }
  size_t previous = 0;
  for (size_t end : ends) {
    net_.GetSegNode(previous)->set_is_optimal_seg_node(true);
    net_.GetSegNode(previous)->set_next_term_len(end - previous);
    previous = end;
  }
  net_.GetSegNode(previous)->set_is_optimal_seg_node(true);
  tagger_.pos_tag(&net_, &normalizer_, mode_.is_ne_name());
  for (size_t i = first; i < last; ++i) {
    const new_seg::OmniSegItem* item = net_.GetSegNode(ends[i - first])->optimal_item();
    (*tags)[i] = item == nullptr ? 0 : item->pos_tag;
  }
}

}  // namespace zorvseg_tools
