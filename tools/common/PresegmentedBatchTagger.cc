#include "common/PresegmentedBatchTagger.h"

#include "zorvseg.h"

namespace zorvseg_tools {

namespace {
// A word this long is longer than any sentence in every encoding, so it
// cannot be tagged; beyond this it streams.
const size_t kLongestTaggableWord = 64 * 1024;

bool IsSeparator(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}
}  // namespace

void PresegmentedBatchTagger::Tag(const TextBatch& batch, std::string* out) {
  for (const TextPiece& piece : batch.pieces) {
    const char* text = batch.PieceText(piece);
    size_t word_start = 0;
    for (size_t i = 0; i < piece.len; ++i) {
      if (!IsSeparator(text[i])) continue;
      AddWordBytes(text + word_start, i - word_start, out);
      EndWord(out);
      word_start = i + 1;
    }
    AddWordBytes(text + word_start, piece.len - word_start, out);
    if (piece.ends_line) EndLine(out);
  }
}

void PresegmentedBatchTagger::AddWordBytes(const char* bytes, size_t len, std::string* out) {
  if (streaming_word_) {
    out->append(bytes, len);
    return;
  }
  word_.append(bytes, len);
  if (word_.size() <= kLongestTaggableWord) return;
  // The sentence gathered so far ends before this word.
  tagger_.Flush();
  AppendTagged(out);
  AppendSeparator(out);
  out->append(word_);
  word_.clear();
  streaming_word_ = true;
}

void PresegmentedBatchTagger::EndWord(std::string* out) {
  if (streaming_word_) {
    char tag[8];
    new_seg::LxPosId2Str(0, tag);
    out->push_back('/');
    out->append(tag);
    streaming_word_ = false;
  } else if (!word_.empty()) {
    tagger_.Add(word_.data(), word_.size());
    word_.clear();
    AppendTagged(out);
  }
}

void PresegmentedBatchTagger::EndLine(std::string* out) {
  EndWord(out);
  tagger_.Flush();
  AppendTagged(out);
  out->push_back('\n');
  line_has_words_ = false;
}

void PresegmentedBatchTagger::AppendTagged(std::string* out) {
  char tag[8];
  for (const PresegmentedTagger::TaggedWord& word : tagger_.tagged()) {
    AppendSeparator(out);
    out->append(word.text);
    new_seg::LxPosId2Str(word.tag, tag);
    out->push_back('/');
    out->append(tag);
  }
  tagger_.ClearTagged();
}

void PresegmentedBatchTagger::AppendSeparator(std::string* out) {
  if (line_has_words_) out->push_back(' ');
  line_has_words_ = true;
}

}  // namespace zorvseg_tools
