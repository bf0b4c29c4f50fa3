#include "common/TrainingCorpus.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "text/EncodeConverter.h"

namespace zorvseg_tools {

namespace {
const char kSoundNoteOpen[] = "\xEF\xBC\x88";  // （
const char kSoundNoteClose[] = "\xE9\x9F\xB3\xEF\xBC\x89";  // 音）

bool IsParagraphId(const std::string& token) {
  // YYYYMMDD-PP-AAA-NNN/m: date, page, article and paragraph numbers
  if (token.size() < 19) return false;
  for (size_t i : {0u, 1u, 2u, 3u, 4u, 5u, 6u, 7u}) {
    if (token[i] < '0' || token[i] > '9') return false;
  }
  return token[8] == '-';
}

// X（Y音）stands for a character missing from the old character set:
// keep X.
bool StripSoundNote(std::string& word) {
  size_t open = word.find(kSoundNoteOpen);
  if (open == std::string::npos) return false;
  size_t close = word.find(kSoundNoteClose, open);
  if (close == std::string::npos) return false;
  word.erase(open, close + strlen(kSoundNoteClose) - open);
  return true;
}

// No word is this long; such a token is a fault of the corpus (a lost
// separator) and would not fit the dictionary.
const size_t kLongestToken = 100;

size_t CharacterCount(const std::string& utf8) {
  size_t count = 0;
  for (unsigned char c : utf8) count += (c & 0xC0) != 0x80;
  return count;
}

// Invalid bytes come back as U+FFFD, which GBK text cannot hold itself.
std::string GbkToUtf8(const std::string& gbk, bool& ok) {
  static new_seg::EncodeConverter converter;
  std::string out(gbk.size() * 2 + 8, '\0');
  size_t out_len = out.size();
  converter.GBK2UTF(gbk.data(), gbk.size(), &out[0], out_len);
  out.resize(out_len);
  ok = out.find("\xEF\xBF\xBD") == std::string::npos;
  return out;
}
}  // namespace

bool ParseHeldOutDays(const std::string& list, std::set<std::string>& days) {
  std::istringstream in(list);
  std::string day;
  while (std::getline(in, day, ',')) {
    if (day.size() != 8 || day.find_first_not_of("0123456789") != std::string::npos) return false;
    days.insert(day);
  }
  return true;
}

bool TrainingCorpus::IsHeldOut(size_t line_no, const std::string& line,
                               const CorpusOptions& options) const {
  if (options.held_out_first_line != 0 && line_no >= options.held_out_first_line &&
      line_no <= options.held_out_last_line) {
    return true;
  }
  return !options.held_out_days.empty() && line.size() >= 8 &&
         options.held_out_days.count(line.substr(0, 8)) > 0;
}

bool TrainingCorpus::Read(const std::string& path, const CorpusOptions& options) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    fprintf(stderr, "zorvseg-train: cannot open corpus %s\n", path.c_str());
    return false;
  }
  std::string line;
  size_t line_no = 0;
  while (std::getline(in, line)) {
    ++line_no;
    ++stats_.lines;
    while (!line.empty() && line.back() == '\r') {
      line.pop_back();
      ++stats_.cr_bytes;
    }
    if (options.gbk) {
      bool ok = true;
      line = GbkToUtf8(line, ok);
      if (!ok) ++stats_.invalid_text_lines;
    }
    if (line.find_first_not_of(" \t") == std::string::npos) {
      ++stats_.empty_lines;
      continue;
    }
    if (IsHeldOut(line_no, line, options)) {
      ++stats_.held_out_lines;
      continue;
    }
    ParseLine(line, options);
  }
  return true;
}

void TrainingCorpus::ParseLine(const std::string& line, const CorpusOptions& options) {
  std::istringstream tokens(line);
  std::string token;
  CorpusSentence sentence;
  int open_compound = -1;
  bool first = true;
  while (tokens >> token) {
    if (first && options.people_daily && IsParagraphId(token)) {
      first = false;
      continue;
    }
    first = false;
    AddToken(token, options.people_daily, sentence, open_compound);
  }
  if (open_compound >= 0) {
    // A bracket never closed: its tokens stay, the compound goes.
    ++stats_.unbalanced_brackets;
    for (CorpusToken& t : sentence.tokens) {
      if (t.compound == open_compound) t.compound = -1;
    }
    sentence.compounds.pop_back();
  }
  if (!sentence.tokens.empty()) sentences_.push_back(std::move(sentence));
}

void TrainingCorpus::AddToken(std::string token, bool people_daily, CorpusSentence& sentence,
                              int& open_compound) {
  CorpusToken out;
  std::string compound_tag;
  bool closes = false;
  if (people_daily) {
    if (token.size() > 1 && token[0] == '[') {
      if (open_compound >= 0) ++stats_.unbalanced_brackets;
      else {
        open_compound = static_cast<int>(sentence.compounds.size());
        sentence.compounds.push_back({sentence.tokens.size(), 0, ""});
      }
      token.erase(0, 1);
    }
    size_t bracket = token.rfind(']');
    if (bracket != std::string::npos && bracket > 0 && token.find('/') < bracket) {
      compound_tag = token.substr(bracket + 1);
      token.erase(bracket);
      closes = true;
    }
    size_t slash = token.rfind('/');
    if (slash == std::string::npos || slash == 0 || slash + 1 == token.size()) {
      ++stats_.malformed_tokens;
      return;
    }
    out.tag = token.substr(slash + 1);
    out.word = token.substr(0, slash);
  } else {
    out.word = token;
  }
  if (StripSoundNote(out.word)) ++stats_.sound_notes;
  if (out.word.empty()) {
    ++stats_.malformed_tokens;
    return;
  }
  if (CharacterCount(out.word) > kLongestToken) {
    ++stats_.overlong_tokens;
    return;
  }
  out.compound = open_compound;
  sentence.tokens.push_back(out);
  if (open_compound >= 0) ++sentence.compounds[open_compound].count;
  if (closes) {
    if (open_compound < 0) {
      ++stats_.unbalanced_brackets;
    } else {
      sentence.compounds[open_compound].tag = compound_tag;
      open_compound = -1;
    }
  }
}

}  // namespace zorvseg_tools
