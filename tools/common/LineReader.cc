#include "common/LineReader.h"

#include <cerrno>
#include <cstring>

#include "text/Gb18030.h"

namespace zorvseg_tools {

namespace {
// Each batch reads this much on top of what the last one left unfinished.
const size_t kReadBlock = 1 << 20;
const size_t kBatchCapacity = kReadBlock + LineReader::kMaxPiece;
const size_t kCutLookBack = 1024;
}  // namespace

LineReader::LineReader(const std::vector<std::string>& paths, bool gbk)
    : paths_(paths.empty() ? std::vector<std::string>{"-"} : paths), gbk_(gbk) {}

LineReader::~LineReader() { CloseFile(); }

bool LineReader::OpenNextFile() {
  while (next_path_ < paths_.size()) {
    const std::string& path = paths_[next_path_++];
    file_ = path == "-" ? stdin : fopen(path.c_str(), "rb");
    if (file_ != nullptr) {
      line_no_ = 1;
      line_open_ = false;
      carry_.clear();
      return true;
    }
    fprintf(stderr, "zorvseg: cannot read '%s': %s\n", path.c_str(), strerror(errno));
    failed_ = true;
  }
  return false;
}

void LineReader::CloseFile() {
  if (file_ != nullptr && file_ != stdin) fclose(file_);
  file_ = nullptr;
}

void LineReader::AddPiece(TextBatch* batch, size_t& start, size_t end, bool ends_line) {
  batch->pieces.push_back(TextPiece{start, end - start, ends_line});
  line_open_ = !ends_line;
  if (ends_line) ++line_no_;
  start = end;
}

void LineReader::CutLongLine(TextBatch* batch, size_t& start) {
  while (batch->size - start >= kMaxPiece) {
    size_t cut = PieceCut(batch->text.data() + start, kMaxPiece, gbk_);
    AddPiece(batch, start, start + cut, false);
  }
}

bool LineReader::Next(TextBatch* batch) {
  if (file_ == nullptr && !OpenNextFile()) return false;
  batch->pieces.clear();
  batch->source = &paths_[next_path_ - 1];
  batch->first_line_no = line_no_;
  batch->continues_line = line_open_;
  if (batch->text.size() < kBatchCapacity) batch->text.resize(kBatchCapacity);
  char* text = batch->text.data();

  size_t held = carry_.size();
  if (held > 0) memcpy(text, carry_.data(), held);
  size_t got = fread(text + held, 1, kBatchCapacity - held, file_);
  bytes_read_ += got;
  batch->size = held + got;

  size_t start = 0;
  size_t scan = held;  // the carried bytes hold no newline
  while (const void* newline = memchr(text + scan, '\n', batch->size - scan)) {
    size_t end = static_cast<size_t>(static_cast<const char*>(newline) - text);
    AddPiece(batch, start, end, true);
    scan = start = end + 1;
  }
  if (got == 0) {
    if (ferror(file_)) {
      fprintf(stderr, "zorvseg: error reading '%s': %s\n", batch->source->c_str(),
              strerror(errno));
      failed_ = true;
    }
    // The last line ends with its file, newline or not, and also when its
    // pieces used up every byte of it.
    if (start < batch->size || line_open_) AddPiece(batch, start, batch->size, true);
    CloseFile();
    carry_.clear();
    return true;
  }
  CutLongLine(batch, start);
  carry_.assign(text + start, text + batch->size);
  batch->size = start;
  return true;
}

size_t PieceCut(const char* text, size_t len, bool gbk) {
  for (size_t i = len; i > 0 && len - i < kCutLookBack; --i) {
    if (text[i - 1] != '\0' && strchr(" \t,.;!?", text[i - 1]) != nullptr) return i;
  }
  if (!gbk) {
    size_t i = len;
    while (i > 0 && (static_cast<unsigned char>(text[i - 1]) & 0xC0) == 0x80) --i;
    // text[i - 1] starts the last character, which may be incomplete.
    return i > 1 ? i - 1 : len;
  }
  size_t pos = 0;
  while (pos < len) {
    size_t char_len = new_seg::GbCharLen(text, pos, len);
    if (pos + char_len >= len) break;
    pos += char_len;
  }
  return pos > 0 ? pos : len;
}

}  // namespace zorvseg_tools
