#include "common/BatchSegmenter.h"

#include <cstdio>
#include <cstring>

#include "lattice/OmniSegItem.h"

namespace zorvseg_tools {

const char* EntityName(int cls) {
  switch (cls) {
    case new_seg::kPersonPhraseIdx: return "person";
    case new_seg::kLocationPhraseIdx: return "location";
    case new_seg::kOrganizationPhraseIdx: return "organization";
    case new_seg::kDatePhraseIdx: return "date";
    default: return nullptr;
  }
}

const char* EntityTag(int cls) {
  switch (cls) {
    case new_seg::kPersonPhraseIdx: return "PER";
    case new_seg::kLocationPhraseIdx: return "LOC";
    case new_seg::kOrganizationPhraseIdx: return "ORG";
    case new_seg::kDatePhraseIdx: return "DATE";
    default: return nullptr;
  }
}

bool IsWhiteSpaceWord(const char* word, size_t len, bool gbk) {
  for (size_t i = 0; i < len;) {
    unsigned char c = static_cast<unsigned char>(word[i]);
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
      ++i;
    } else if (gbk && i + 1 < len && c == 0xA1 && static_cast<unsigned char>(word[i + 1]) == 0xA1) {
      i += 2;  // ideographic space
    } else if (!gbk && i + 2 < len && memcmp(word + i, "\xE3\x80\x80", 3) == 0) {
      i += 3;
    } else {
      return false;
    }
  }
  return true;
}

BatchSegmenter::BatchSegmenter(new_seg::HANDLE handle, OutputFormat format, bool gbk)
    : handle_(handle), format_(format), gbk_(gbk) {}

bool BatchSegmenter::Segment(const TextBatch& batch, std::string* out) {
  bool ok = true;
  size_t line_no = batch.first_line_no;
  for (const TextPiece& piece : batch.pieces) {
    const char* text = batch.PieceText(piece);
    if (SegmentPiece(text, piece.len, batch, line_no)) {
      if (format_ == OutputFormat::kJson) {
        json_.AddPiece(handle_, text, piece.len);
      } else {
        AppendPiece(out);
      }
    } else {
      ok = false;
      if (format_ == OutputFormat::kJson) json_.SkipPiece(text, piece.len);
    }
    if (piece.ends_line) {
      EndLine(out);
      ++line_no;
    }
  }
  return ok;
}

bool BatchSegmenter::SegmentPiece(const char* text, size_t len, const TextBatch& batch,
                                  size_t line_no) {
  size_t charset = gbk_ ? new_seg::kCharsetGBK : new_seg::kCharsetUTF8;
  if (new_seg::LxSegment(handle_, text, len, charset)) return true;
  fprintf(stderr, "zorvseg: %s:%zu: segmentation failed\n",
          *batch.source == "-" ? "<stdin>" : batch.source->c_str(), line_no);
  return false;
}

void BatchSegmenter::AppendPiece(std::string* out) {
  char tag[8];
  switch (format_) {
    case OutputFormat::kWords:
    case OutputFormat::kPos:
      for (size_t i = 0; i < new_seg::LxGetResultCnt(handle_); ++i) {
        const new_seg::token_t* t = new_seg::LxGetBasicTokenAt(handle_, static_cast<int32_t>(i));
        const char* tag_name = nullptr;
        if (format_ == OutputFormat::kPos) {
          new_seg::LxPosId2Str(t->pos, tag);
          tag_name = tag;
        }
        AppendWord(t->word, t->wlen, tag_name, out);
      }
      break;
    case OutputFormat::kMix:
      for (size_t i = 0; i < new_seg::LxGetMixWordCnt(handle_); ++i) {
        const new_seg::token_t* t = new_seg::LxGetMixTokenAt(handle_, static_cast<int32_t>(i));
        AppendWord(t->word, t->wlen, nullptr, out);
      }
      break;
    case OutputFormat::kPhrases:
    case OutputFormat::kEntities:
      for (size_t i = 0; i < new_seg::LxGetPhraseCnt(handle_); ++i) {
        const new_seg::comb_token_t* t =
            new_seg::LxGetPhraseTokenAt(handle_, static_cast<int32_t>(i));
        if (format_ == OutputFormat::kPhrases) {
          AppendWord(t->word, t->wlen, nullptr, out);
        } else if (const char* entity = EntityTag(t->cls)) {
          AppendWord(t->word, t->wlen, entity, out);
        }
      }
      break;
    case OutputFormat::kJson:
      break;
  }
}

void BatchSegmenter::AppendWord(const char* word, size_t len, const char* tag, std::string* out) {
  if (IsWhiteSpaceWord(word, len, gbk_)) return;
  if (line_has_words_) out->push_back(' ');
  out->append(word, len);
  if (tag != nullptr) {
    out->push_back('/');
    out->append(tag);
  }
  line_has_words_ = true;
}

void BatchSegmenter::EndLine(std::string* out) {
  if (format_ == OutputFormat::kJson) json_.EndLine(out);
  out->push_back('\n');
  line_has_words_ = false;
}

}  // namespace zorvseg_tools
