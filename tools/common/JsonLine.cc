#include "common/JsonLine.h"

#include <cstdio>

#include "common/BatchSegmenter.h"
#include "lattice/OmniSegItem.h"

namespace zorvseg_tools {

namespace {

// Characters of a piece without words (the spans count them otherwise):
// every byte that does not continue a sequence starts one. Stray
// continuation bytes, which the spans count one each, are too rare in a
// piece that failed to matter.
size_t Utf8Chars(const char* text, size_t len) {
  size_t chars = 0;
  for (size_t i = 0; i < len; ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) ++chars;
  }
  return chars;
}

// "url" and "email" for the phrases of the ASCII segmentor, the entity
// kind for entities, "phrase" for dictionary phrases.
const char* PhraseType(int cls) {
  if (cls == new_seg::kUrlPhraseIdx) return "url";
  if (cls == new_seg::kEmailPhraseIdx) return "email";
  const char* entity = EntityName(cls);
  return entity != nullptr ? entity : "phrase";
}

void AppendNumberField(const char* name, size_t value, std::string* out) {
  char field[48];
  snprintf(field, sizeof(field), ",\"%s\":%zu", name, value);
  out->append(field);
}

// {"text":...,"pos":... — the opening of a word member; the caller closes it.
void OpenWordMember(const new_seg::token_t& token, std::string* members) {
  if (!members->empty()) members->push_back(',');
  members->append("{\"text\":");
  AppendJsonString(token.word, token.wlen, members);
  char tag[8];
  new_seg::LxPosId2Str(token.pos, tag);
  members->append(",\"pos\":\"");
  members->append(tag);
  members->push_back('"');
}

}  // namespace

void AppendJsonString(const char* text, size_t len, std::string* out) {
  out->push_back('"');
  for (size_t i = 0; i < len; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '"' || c == '\\') {
      out->push_back('\\');
      out->push_back(static_cast<char>(c));
    } else if (c < 0x20 || c == 0x7F) {
      char escaped[8];
      snprintf(escaped, sizeof(escaped), "\\u%04x", c);
      out->append(escaped);
    } else {
      out->push_back(static_cast<char>(c));
    }
  }
  out->push_back('"');
}

void JsonLine::AddPiece(new_seg::HANDLE handle, const char* text, size_t len) {
  AddWords(handle);
  AddPhrases(handle);
  AddMixWords(handle);
  // The basic words cover the piece: the last one ends where it does.
  line_chars_ = word_end_.empty() ? line_chars_ + Utf8Chars(text, len) : word_end_.back();
}

void JsonLine::SkipPiece(const char* text, size_t len) { line_chars_ += Utf8Chars(text, len); }

void JsonLine::AddWords(new_seg::HANDLE handle) {
  size_t count = new_seg::LxGetResultCnt(handle);
  shown_before_.assign(1, words_shown_);
  word_start_.clear();
  word_end_.clear();
  for (size_t i = 0; i < count; ++i) {
    int32_t index = static_cast<int32_t>(i);
    const new_seg::token_t* token = new_seg::LxGetBasicTokenAt(handle, index);
    const new_seg::token_span_t* span = new_seg::LxGetBasicSpanAt(handle, index);
    size_t start = line_chars_ + span->char_begin;
    size_t end = line_chars_ + span->char_end;
    word_start_.push_back(start);
    word_end_.push_back(end);
    if (!IsWhiteSpaceWord(token->word, token->wlen, false)) {
      OpenWordMember(*token, &words_);
      AppendNumberField("start", start, &words_);
      AppendNumberField("end", end, &words_);
      words_.push_back('}');
      ++words_shown_;
    }
    shown_before_.push_back(words_shown_);
  }
}

void JsonLine::AddPhrases(new_seg::HANDLE handle) {
  size_t count = new_seg::LxGetPhraseCnt(handle);
  for (size_t i = 0; i < count; ++i) {
    const new_seg::comb_token_t* phrase =
        new_seg::LxGetPhraseTokenAt(handle, static_cast<int32_t>(i));
    if (phrase->sidx >= phrase->eidx || phrase->eidx > word_end_.size()) continue;
    size_t start = word_start_[phrase->sidx];
    size_t end = word_end_[phrase->eidx - 1];
    const char* entity = EntityName(phrase->cls);
    if (!phrases_.empty()) phrases_.push_back(',');
    phrases_.append("{\"text\":");
    AppendJsonString(phrase->word, phrase->wlen, &phrases_);
    phrases_.append(",\"type\":\"");
    phrases_.append(PhraseType(phrase->cls));
    phrases_.push_back('"');
    AppendNumberField("start", start, &phrases_);
    AppendNumberField("end", end, &phrases_);
    AppendNumberField("first_word", shown_before_[phrase->sidx], &phrases_);
    AppendNumberField("end_word", shown_before_[phrase->eidx], &phrases_);
    phrases_.push_back('}');
    if (entity == nullptr) continue;
    if (!entities_.empty()) entities_.push_back(',');
    entities_.append("{\"text\":");
    AppendJsonString(phrase->word, phrase->wlen, &entities_);
    entities_.append(",\"type\":\"");
    entities_.append(entity);
    entities_.push_back('"');
    AppendNumberField("start", start, &entities_);
    AppendNumberField("end", end, &entities_);
    entities_.push_back('}');
  }
}

void JsonLine::AddMixWords(new_seg::HANDLE handle) {
  size_t count = new_seg::LxGetMixWordCnt(handle);
  for (size_t i = 0; i < count; ++i) {
    int32_t index = static_cast<int32_t>(i);
    const new_seg::token_t* token = new_seg::LxGetMixTokenAt(handle, index);
    if (IsWhiteSpaceWord(token->word, token->wlen, false)) continue;
    const new_seg::token_span_t* span = new_seg::LxGetMixSpanAt(handle, index);
    OpenWordMember(*token, &mix_);
    AppendNumberField("start", line_chars_ + span->char_begin, &mix_);
    AppendNumberField("end", line_chars_ + span->char_end, &mix_);
    mix_.push_back('}');
  }
}

void JsonLine::EndLine(std::string* out) {
  out->append("{\"words\":[").append(words_);
  out->append("],\"phrases\":[").append(phrases_);
  out->append("],\"mix\":[").append(mix_);
  out->append("],\"entities\":[").append(entities_);
  out->append("]}");
  words_.clear();
  phrases_.clear();
  mix_.clear();
  entities_.clear();
  words_shown_ = 0;
  line_chars_ = 0;
}

}  // namespace zorvseg_tools
