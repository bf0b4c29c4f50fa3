#include "ascii/AsciiSegmentor.h"

#include <strings.h>

#include <algorithm>
#include <cstring>

#include "dict/CoreDict.h"
#include "dict/CoreRule.h"
#include "driver/SegMode.h"
#include "lattice/OmniSegNet.h"
#include "text/AsciiChar.h"
#include "text/SentenceNormalizer.h"

namespace new_seg {

const char* const AsciiSegmentor::pattern_url_ =
    "(((ftp|http|https)://)?(\\w+\\.){1,3}(com(\\.cn)?|cn|net|info|org|us|tk)([a-z0-9/.]*)?)";
const char* const AsciiSegmentor::pattern_email_ =
    "([a-z]([a-z0-9]*-?[a-z0-9]+)*@([a-z0-9]*-?[a-z0-9]+)+\\.[a-z]{2,3}(\\.[a-z]{2})?)";
const char* const AsciiSegmentor::pattern_ip_ = "(([0-9]+)(\\.[0-9]+)+)";
const char* const AsciiSegmentor::pattern_float_ = "(-?[0-9]+\\.[0-9]+)";
const char* const AsciiSegmentor::pattern_seg_ = "([- !#$%&'()*+,./:;<=>?@_|~])";
const char* const AsciiSegmentor::pattern_quote_ = "([\"]+)";
const char* const AsciiSegmentor::pattern_num_ = "([0-9]+)";

namespace {

const size_t kMaxPrefixResults = 1024;
const int kEngTerm = OmniSegItem::TYPE_ENG;
const int kNumTerm = OmniSegItem::TYPE_NUM;
const int kSegTerm = OmniSegItem::TYPE_SEG;
// Where a failure was detected, as printed with the cached sentences.
const int kZeroLengthFragment = 365;
const int kZeroLengthPiece = 378;

bool IsQuote(unsigned char c) { return c == '"'; }
// The characters of pattern_seg_.
bool IsPunctuationOrSpace(unsigned char c) {
  return c != '\0' && std::strchr("- !#$%&'()*+,./:;<=>?@_|~", c) != nullptr;
}

// Case-insensitive: does text hold '.' followed by word?
bool HasDotWord(const char* text, size_t len, const char* word) {
  size_t word_len = std::strlen(word);
  for (const char* dot = static_cast<const char*>(std::memchr(text, '.', len)); dot != nullptr;
       dot = static_cast<const char*>(std::memchr(dot + 1, '.', text + len - dot - 1))) {
    size_t after = static_cast<size_t>(text + len - dot - 1);
    if (after >= word_len && strncasecmp(dot + 1, word, word_len) == 0) return true;
  }
  return false;
}

// The characters a URL is written with, less the comma and the semicolon,
// which in running text far more often end the URL than belong to it.
bool IsUrlChar(unsigned char c) {
  return IsAsciiAlnum(c) || (c != '\0' && std::strchr("-._~:/?#[]@!$&'()*+=%", c) != nullptr);
}

// The characters of the part of an e-mail address before the '@'.
bool IsMailboxChar(unsigned char c) {
  return IsAsciiAlnum(c) || (c != '\0' && std::strchr("._%+-", c) != nullptr);
}

// Whether a URL goes on after its host: a '/' after the scheme's "//".
bool HasUrlPath(const char* url, size_t len) {
  const char* host = url;
  const void* scheme_end = std::memchr(url, ':', len);
  if (scheme_end != nullptr && static_cast<const char*>(scheme_end) + 3 <= url + len) {
    host = static_cast<const char*>(scheme_end) + 3;
  }
  return std::memchr(host, '/', static_cast<size_t>(url + len - host)) != nullptr;
}

// The bytes \\w matches.
bool IsWordByte(unsigned char c) { return IsAsciiDigit(c) || IsAsciiLetter(c) || c == '_'; }

bool StartsWithScheme(const char* text, size_t len) {
  for (const char* scheme : {"ftp://", "http://", "https://"}) {
    size_t scheme_len = std::strlen(scheme);
    if (len >= scheme_len && strncasecmp(text, scheme, scheme_len) == 0) return true;
  }
  return false;
}

bool HasDigitDotDigit(const char* text, size_t len) {
  for (size_t i = 1; i + 1 < len; ++i) {
    if (text[i] == '.' && IsAsciiDigit(text[i - 1]) && IsAsciiDigit(text[i + 1])) return true;
  }
  return false;
}

enum CharClass { kDigitClass, kLetterClass, kOtherClass };

CharClass get_type(unsigned char c) {
  if (IsAsciiDigit(c)) return kDigitClass;
  return IsAsciiLetter(c) ? kLetterClass : kOtherClass;
}

bool is_same_type(unsigned char first, unsigned char c) {
  CharClass cls = get_type(first);
  return (cls != kOtherClass && cls == get_type(c)) || first == c;
}

int TermTypeOf(uint64_t frag_type) {
  switch (frag_type) {
    case AsciiSegmentor::TYPE_FLOAT:
    case AsciiSegmentor::TYPE_NUM:
      return kNumTerm;
    case AsciiSegmentor::TYPE_SEG:
    case AsciiSegmentor::TYPE_QUOTE:
      return kSegTerm;
    default:
      return kEngTerm;
  }
}

}  // namespace

AsciiSegmentor::AsciiSegmentor(SegMode* seg_mode) : seg_mode_(seg_mode) {
  // Room for the longest sentence, so caching never allocates while segmenting.
  for (std::string& slot : str_cache_) slot.reserve(kMaxCachedSentence);
  const char* const patterns[kPatternCount] = {pattern_url_, pattern_email_, pattern_ip_,
                                               pattern_float_};
  for (int i = 0; i < kPatternCount; ++i) {
    compiled_[i] = regcomp(&patterns_[i], patterns[i], REG_EXTENDED | REG_ICASE) == 0;
  }
  std::string anchored = std::string("^") + pattern_url_;
  anchored_url_compiled_ =
      regcomp(&anchored_url_, anchored.c_str(), REG_EXTENDED | REG_ICASE) == 0;
}

AsciiSegmentor::~AsciiSegmentor() {
  for (int i = 0; i < kPatternCount; ++i) {
    if (compiled_[i]) regfree(&patterns_[i]);
  }
  if (anchored_url_compiled_) regfree(&anchored_url_);
}

void AsciiSegmentor::StoreCall(const char* s, size_t len, size_t ascii_begin_pos,
                               size_t ascii_len) {
  fragments_.clear();
  str_ = s;
  str_len_ = len;
  ascii_begin_pos_ = ascii_begin_pos;
  ascii_len_ = ascii_len;
}

void AsciiSegmentor::CacheSentence(const char* s, size_t len) {
  if (s == last_cached_) return;  // a later run of the same sentence
  last_cached_ = s;
  if (cache_count_ == kCacheSize) {
    cache_head_ = (cache_head_ + 1) % kCacheSize;
    --cache_count_;
  }
  str_cache_[(cache_head_ + cache_count_) % kCacheSize].assign(s, len);
  ++cache_count_;
}

int AsciiSegmentor::Fail(int location) {
  for (; cache_count_ > 0; --cache_count_) {
    const std::string& sentence = str_cache_[cache_head_];
    std::fprintf(stderr, "segment:%d->[CACHE]:[", location);
    std::fwrite(sentence.data(), 1, sentence.size(), stderr);
    std::fputs("]\n", stderr);
    cache_head_ = (cache_head_ + 1) % kCacheSize;
  }
  cache_head_ = 0;
  // On stderr with the sentences: standard output carries the caller's
  // results.
  PrintResult(fragments_, run(), stderr);
  return -1;
}

void AsciiSegmentor::PrintResult(const std::vector<Fragment>& fragments, const char* text,
                                 FILE* out) {
  for (const Fragment& fragment : fragments) {
    std::fputc('[', out);
    if (fragment.end > fragment.begin) {
      std::fwrite(text + fragment.begin, 1, fragment.end - fragment.begin, out);
    }
    std::fputs("] ", out);
  }
  std::fputc('\n', out);
}

// --- full segmentation ---

int AsciiSegmentor::segment(const char* s, size_t len, size_t ascii_begin_pos,
                            size_t ascii_len, OmniSegNet* seg_net) {
  StoreCall(s, len, ascii_begin_pos, ascii_len);
  exception_ = false;
  CacheSentence(s, len);
  accepted_.clear();
  alive_.clear();
  owner_.assign(ascii_len, -1);
  if (ascii_len >= 2) {
    match_rule();
    match_regex(kUrl, TYPE_URL);
    match_regex(kEmail, TYPE_EMAIL);
    match_regex(kIp, TYPE_IP);
    match_regex(kFloat, TYPE_FLOAT);
    match_class(IsPunctuationOrSpace, true, TYPE_SEG);
    match_class(IsQuote, false, TYPE_QUOTE);
    match_class(IsAsciiDigit, false, TYPE_NUM);
    if (seg_mode_->is_use_ascii_lm_mode()) {
      match_dag();
    } else {
      match_dict();
    }
    CollectAccepted();
    SortFragment();
  }
  fill_gaps();
  adjust_fragments();
  for (const Fragment& fragment : fragments_) {
    if (fragment.begin == fragment.end) return Fail(kZeroLengthFragment);
  }
  int result = add_fragments(seg_net);
  if (result < 0) return result;
  return exception_ ? Fail(kZeroLengthPiece) : 0;
}

void AsciiSegmentor::match_rule() {
  const char* text = run();
  size_t p = 0;
  while (p < ascii_len_) {
    size_t count = CoreRule::CommonPrefixSearch(text + p, ascii_len_ - p, result_,
                                                kMaxPrefixResults);
    const CoreRuleAttribute* rule =
        count == 0 ? nullptr
                   : CoreRule::GetValue(result_[std::min(count, kMaxPrefixResults) - 1]);
    if (rule == nullptr) {
      ++p;
      continue;
    }
    CoreRule::ForEachPiece(*rule, [&](size_t begin, size_t end) {
      valid_fragments({p + begin, p + end, 0, TYPE_RULE});
    });
    p += rule->rule_len;
  }
}

// What every match of the pattern contains. Most runs are plain words or
// numbers and are not searched at all; searching a long run without a
// match costs the expression engine time quadratic in the run's length.
bool AsciiSegmentor::CanMatch(PatternId pattern) const {
  const char* text = run();
  switch (pattern) {
    case kUrl:
      for (const char* domain : {"com", "cn", "net", "info", "org", "us", "tk"}) {
        if (HasDotWord(text, ascii_len_, domain)) return true;
      }
      return false;
    case kEmail:
      return std::memchr(text, '@', ascii_len_) != nullptr;
    default:
      return HasDigitDotDigit(text, ascii_len_);
  }
}

void AsciiSegmentor::match_regex(PatternId pattern, FragType type) {
  if (!compiled_[pattern]) return;
  if (!CanMatch(pattern)) return;
  const char* text = run();
  // The search is bounded by the run: no pattern matches a byte of 0x80 or
  // more, so a match can never reach past the run into the next one, and
  // nothing after the run has to be scanned again for every run.
  size_t position = 0;
  while (position < ascii_len_) {
    size_t begin = 0, end = 0;
    if (pattern == kUrl && anchored_url_compiled_) {
      if (!FindUrl(position, &begin, &end)) return;
    } else {
      re_matched_[0].rm_so = static_cast<regoff_t>(position);
      re_matched_[0].rm_eo = static_cast<regoff_t>(ascii_len_);
      if (regexec(&patterns_[pattern], text, 1, re_matched_, REG_STARTEND) != 0) return;
      begin = static_cast<size_t>(re_matched_[0].rm_so);
      end = static_cast<size_t>(re_matched_[0].rm_eo);
    }
    if (end > ascii_len_ || end <= begin) return;
    Fragment fragment = {begin, end, 0, type};
    // A price: the decimal takes the dollar sign written after it.
    if (type == TYPE_FLOAT && end < ascii_len_ && text[end] == '$') ++fragment.end;
    valid_fragments(fragment);
    position = end;
  }
}

void AsciiSegmentor::match_class(bool (*in_class)(unsigned char), bool one_byte,
                                 FragType type) {
  const unsigned char* text = reinterpret_cast<const unsigned char*>(run());
  size_t position = 0;
  while (position < ascii_len_) {
    if (!in_class(text[position])) {
      ++position;
      continue;
    }
    size_t end = position + 1;
    while (!one_byte && end < ascii_len_ && in_class(text[end])) ++end;
    valid_fragments({position, end, 0, type});
    position = end;
  }
}

// A URL without a scheme starts with a word (\\w+) followed by a dot; if
// one starts inside a stretch of word bytes, one also starts where the
// stretch does. So only stretch starts followed by a dot, and scheme
// starts, are tried: the unanchored search would try every byte and run
// over the whole stretch from each.
bool AsciiSegmentor::FindUrl(size_t position, size_t* begin, size_t* end) {
  const char* text = run();
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text);
  size_t p = position;
  while (p < ascii_len_) {
    size_t stretch_end = p;
    while (stretch_end < ascii_len_ && IsWordByte(bytes[stretch_end])) ++stretch_end;
    bool candidate = stretch_end > p && stretch_end < ascii_len_ && text[stretch_end] == '.';
    for (size_t q = p; q < std::max(stretch_end, p + 1); ++q) {
      if (!candidate && !StartsWithScheme(text + q, ascii_len_ - q)) continue;
      candidate = false;
      re_matched_[0].rm_so = 0;
      re_matched_[0].rm_eo = static_cast<regoff_t>(ascii_len_ - q);
      if (regexec(&anchored_url_, text + q, 1, re_matched_, REG_STARTEND) == 0) {
        *begin = q;
        *end = q + static_cast<size_t>(re_matched_[0].rm_eo);
        return true;
      }
    }
    p = std::max(stretch_end, p + 1);
  }
  return false;
}

void AsciiSegmentor::match_dict() {
  const char* text = run();
  size_t p = 0;
  while (p < ascii_len_) {
    size_t count =
        CoreDict::CommonPrefixSearch(text + p, ascii_len_ - p, result_, kMaxPrefixResults);
    int id = count == 0 ? -1 : result_[std::min(count, kMaxPrefixResults) - 1];
    const CoreTermAttribute* term = count == 0 ? nullptr : CoreDict::GetValue(id);
    if (term == nullptr || term->term_len == 0 || p + term->term_len > ascii_len_) {
      ++p;
      continue;
    }
    valid_fragments({p, p + term->term_len, static_cast<uint64_t>(id), TYPE_DICT});
    p += term->term_len;
  }
}

void AsciiSegmentor::match_dag() {
  const char* text = run();
  double score_eng = dag_segmentor_.Segment(AsciiType::kEng, text, ascii_len_, parts_eng_);
  const std::vector<AsciiDAGSegmentor::Part>* parts = &parts_eng_;
  bool english = true;
  if (seg_mode_->is_use_ascii_lm_pinyin()) {
    double score_py = dag_segmentor_.Segment(AsciiType::kPinyin, text, ascii_len_, parts_py_);
    if (dag_segmentor_.IsInvalid(AsciiType::kPinyin, parts_py_)) score_py = -1000000.0;
    if (!(score_eng > score_py)) {
      parts = &parts_py_;
      english = false;
    }
  }
  if (english) dag_segmentor_.AdjustParts(AsciiType::kEng, text, parts_eng_);
  for (const AsciiDAGSegmentor::Part& part : *parts) {
    valid_fragments({part.begin, part.end, 0, TYPE_DICT});
  }
}

// --- acceptance ---

void AsciiSegmentor::SetOwner(const Fragment& fragment, int32_t owner) {
  for (uint64_t i = fragment.begin; i < fragment.end && i < owner_.size(); ++i) owner_[i] = owner;
}

// Equivalent to visiting the accepted fragments in acceptance order and
// stopping at the first partial overlap: with non-overlapping fragments,
// only the fragments over the new one's first and last byte can overlap it
// partially, and every other fragment over its bytes lies inside it.
void AsciiSegmentor::valid_fragments(const Fragment& fragment) {
  if (fragment.end <= fragment.begin || fragment.end > owner_.size()) return;
  int32_t first_partial = INT32_MAX;
  inside_.clear();
  uint64_t pos = fragment.begin;
  while (pos < fragment.end) {
    int32_t owner = owner_[pos];
    if (owner < 0) {
      ++pos;
      continue;
    }
    const Fragment& accepted = accepted_[owner];
    if (accepted.begin < fragment.begin || accepted.end > fragment.end) {
      first_partial = std::min(first_partial, owner);
    } else {
      inside_.push_back(owner);
    }
    pos = accepted.end;
  }
  bool covers_seen = false;
  for (int32_t inside : inside_) {
    if (inside > first_partial) continue;
    if (accepted_[inside].type == TYPE_RULE) return;
    covers_seen = true;
  }
  if (covers_seen) {
    for (int32_t inside : inside_) {
      alive_[inside] = 0;
      SetOwner(accepted_[inside], -1);
    }
  }
  if (first_partial != INT32_MAX) return;
  int32_t owner = static_cast<int32_t>(accepted_.size());
  accepted_.push_back(fragment);
  alive_.push_back(1);
  SetOwner(fragment, owner);
}

void AsciiSegmentor::CollectAccepted() {
  for (size_t i = 0; i < accepted_.size(); ++i) {
    if (alive_[i]) fragments_.push_back(accepted_[i]);
  }
}

void AsciiSegmentor::SortFragment() {
  std::sort(fragments_.begin(), fragments_.end(),
            [](const Fragment& a, const Fragment& b) { return a.begin < b.begin; });
}

void AsciiSegmentor::fill_gaps() {
  size_t accepted = fragments_.size();
  uint64_t cursor = 0;
  for (size_t i = 0; i < accepted; ++i) {
    if (fragments_[i].begin > cursor) {
      fragments_.push_back({cursor, fragments_[i].begin, 0, TYPE_JOIN});
    }
    cursor = fragments_[i].end;
  }
  if (cursor < ascii_len_) fragments_.push_back({cursor, ascii_len_, 0, TYPE_JOIN});
  if (fragments_.size() != accepted) SortFragment();
}

bool AsciiSegmentor::IsText(const Fragment& fragment, const char* text) const {
  size_t length = std::strlen(text);
  return fragment.end - fragment.begin == length &&
         std::memcmp(run() + fragment.begin, text, length) == 0;
}

void AsciiSegmentor::adjust_fragments() {
  const char* text = run();
  size_t i = 1;
  while (i < fragments_.size()) {
    Fragment& candidate = fragments_[i];
    if (candidate.end - candidate.begin != 1 || text[candidate.begin] != 's') {
      ++i;
      continue;
    }
    Fragment& before = fragments_[i - 1];
    bool last = i + 1 == fragments_.size();
    if (last) {
      if (before.type == TYPE_DICT) {
        before.end = candidate.end;
        fragments_.erase(fragments_.begin() + i);
      }
      return;
    }
    Fragment& after = fragments_[i + 1];
    if (IsText(before, "galaxy") && IsAsciiDigit(text[after.begin])) {
      after.begin = candidate.begin;
    } else if (before.type == TYPE_DICT && after.type != TYPE_DICT) {
      before.end = candidate.end;
    } else {
      ++i;
      continue;
    }
    fragments_.erase(fragments_.begin() + i);
    ++i;  // the fragment that followed the 's' is never a candidate itself
  }
}

// --- recording ---

int AsciiSegmentor::add_term(OmniSegNet* seg_net, uint64_t begin, uint64_t end, int type,
                             int location) {
  if (end <= begin) {
    std::fprintf(stderr, "add_terms:%d:[%llu,%llu) + %zu\n", location,
                 static_cast<unsigned long long>(begin), static_cast<unsigned long long>(begin),
                 ascii_begin_pos_);
    exception_ = true;
    return 0;
  }
  int result = seg_net->AddTerm(ascii_begin_pos_ + begin, end - begin, 0,
                                static_cast<OmniSegItem::UnDictTermType>(type));
  return result < 0 ? result : 0;
}

// Pieces between dots are words (numbers in a dotted number); each dot is a
// separator of its own.
int AsciiSegmentor::add_split_terms(OmniSegNet* seg_net, uint64_t begin, uint64_t end,
                                    int text_type) {
  const char* text = run();
  uint64_t piece = begin;
  for (uint64_t i = begin; i < end; ++i) {
    if (text[i] != '.') continue;
    int result = 0;
    if (i > piece) result = add_term(seg_net, piece, i, text_type, kZeroLengthPiece);
    if (result == 0) result = add_term(seg_net, i, i + 1, kSegTerm, kZeroLengthPiece);
    if (result < 0) return result;
    piece = i + 1;
  }
  return end > piece ? add_term(seg_net, piece, end, text_type, kZeroLengthPiece) : 0;
}

int AsciiSegmentor::add_term_in_url(OmniSegNet* seg_net, const Fragment& fragment) {
  const char* text = run();
  if (text[fragment.begin] != ':') {
    const void* colon = std::memchr(text + fragment.begin + 1, ':',
                                    fragment.end - fragment.begin - 1);
    uint64_t j = colon == nullptr ? 0 : static_cast<const char*>(colon) - text;
    if (colon != nullptr && j - fragment.begin <= 5 && j + 3 <= fragment.end) {
      int result = add_term(seg_net, fragment.begin, j, kEngTerm, kZeroLengthPiece);
      if (result == 0) result = add_term(seg_net, j, j + 1, kSegTerm, kZeroLengthPiece);
      if (result == 0) result = add_term(seg_net, j + 1, j + 3, kSegTerm, kZeroLengthPiece);
      if (result < 0) return result;
      return add_split_terms(seg_net, j + 3, fragment.end, kEngTerm);
    }
  }
  return add_split_terms(seg_net, fragment.begin, fragment.end, kEngTerm);
}

int AsciiSegmentor::add_term_in_email(OmniSegNet* seg_net, const Fragment& fragment) {
  const char* text = run();
  if (text[fragment.begin] != '@') {
    const void* at = std::memchr(text + fragment.begin + 1, '@',
                                 fragment.end - fragment.begin - 1);
    if (at != nullptr) {
      uint64_t j = static_cast<const char*>(at) - text;
      int result = add_term(seg_net, fragment.begin, j, kEngTerm, kZeroLengthPiece);
      if (result == 0) result = add_term(seg_net, j, j + 1, kSegTerm, kZeroLengthPiece);
      if (result < 0) return result;
      return add_split_terms(seg_net, j + 1, fragment.end, kEngTerm);
    }
  }
  return add_split_terms(seg_net, fragment.begin, fragment.end, kEngTerm);
}

// The URL pattern stops a path at characters URLs do use (- _ % ~ ...) and
// leaves out a port, the query string and the fragment identifier. The URL
// phrase takes them, ending where a fragment ends (what follows the
// pattern's match keeps the terms the other matchers gave it), without the
// punctuation that closes a sentence after a URL.
uint64_t AsciiSegmentor::UrlPhraseEnd(size_t url_index) const {
  const char* text = run();
  const Fragment& url = fragments_[url_index];
  uint64_t end = url.end;
  bool goes_on = end < ascii_len_ &&
                 (std::strchr("/?#", text[end]) != nullptr ||
                  (text[end] == ':' && end + 1 < ascii_len_ && IsAsciiDigit(text[end + 1])));
  if (!goes_on && !HasUrlPath(text + url.begin, url.end - url.begin)) return end;
  uint64_t reach = end;
  int open_parentheses = 0;
  while (reach < ascii_len_ && IsUrlChar(text[reach]) && !IsHalvedPunctuation(reach)) {
    open_parentheses += text[reach] == '(' ? 1 : text[reach] == ')' ? -1 : 0;
    ++reach;
  }
  // A closing parenthesis is the URL's own only when it closes one of it.
  while (reach > end && (std::strchr(".:!?'", text[reach - 1]) != nullptr ||
                         (text[reach - 1] == ')' && open_parentheses < 0))) {
    if (text[--reach] == ')') ++open_parentheses;
  }
  return FragmentEndWithin(url_index, reach);
}

// The e-mail pattern takes no dot, underscore or plus sign before the '@'
// ("first.last@...") and at most three letters after the domain's dot: the
// e-mail phrase starts where the mailbox does and ends where the domain
// does, on fragment boundaries, so the words around the pattern's match
// stay as they are.
uint64_t AsciiSegmentor::EmailPhraseEnd(size_t email_index) const {
  const char* text = run();
  uint64_t end = fragments_[email_index].end;
  uint64_t reach = end;
  while (reach < ascii_len_ && (IsAsciiAlnum(text[reach]) || text[reach] == '-' ||
                                (text[reach] == '.' && !IsHalvedPunctuation(reach)))) {
    ++reach;
  }
  while (reach > end && !IsAsciiAlnum(text[reach - 1])) --reach;
  return FragmentEndWithin(email_index, reach);
}

// A phrase grows by whole fragments only: the end of the last of the
// fragments after the given one that all end by reach, or the fragment's own
// end when the next one does not.
uint64_t AsciiSegmentor::FragmentEndWithin(size_t index, uint64_t reach) const {
  uint64_t end = fragments_[index].end;
  for (size_t i = index + 1; i < fragments_.size() && fragments_[i].end <= reach; ++i) {
    end = fragments_[i].end;
  }
  return end;
}

uint64_t AsciiSegmentor::EmailPhraseBegin(size_t email_index) const {
  const char* text = run();
  uint64_t begin = fragments_[email_index].begin;
  uint64_t reach = begin;
  while (reach > 0 && IsMailboxChar(text[reach - 1]) && !IsHalvedPunctuation(reach - 1)) {
    --reach;
  }
  while (reach < begin && !IsAsciiAlnum(text[reach])) ++reach;
  for (size_t i = email_index; i-- > 0 && fragments_[i].begin >= reach;) {
    begin = fragments_[i].begin;
  }
  return begin;
}

int AsciiSegmentor::add_fragments(OmniSegNet* seg_net) {
  for (size_t i = 0; i < fragments_.size(); ++i) {
    const Fragment& fragment = fragments_[i];
    if (fragment.type == TYPE_SPLIT) continue;
    uint64_t begin = ascii_begin_pos_ + fragment.begin;
    uint64_t length = fragment.end - fragment.begin;
    int result = 0;
    if (fragment.type == TYPE_URL || fragment.type == TYPE_EMAIL || fragment.type == TYPE_IP) {
      int32_t phrase_id = static_cast<int32_t>(fragment.idx);
      if (fragment.type == TYPE_URL) {
        phrase_id = kUrlPhraseIdx;
        length = UrlPhraseEnd(i) - fragment.begin;
      } else if (fragment.type == TYPE_EMAIL) {
        phrase_id = kEmailPhraseIdx;
        uint64_t mailbox = EmailPhraseBegin(i);
        length = EmailPhraseEnd(i) - mailbox;
        begin = ascii_begin_pos_ + mailbox;
      }
      result = seg_net->AddPhrase(begin, length, phrase_id);
      if (result >= 0) {
        if (fragment.type == TYPE_URL) {
          result = add_term_in_url(seg_net, fragment);
        } else if (fragment.type == TYPE_EMAIL) {
          result = add_term_in_email(seg_net, fragment);
        } else {
          result = add_split_terms(seg_net, fragment.begin, fragment.end, kNumTerm);
        }
      }
    } else {
      result = seg_net->AddTerm(begin, length, static_cast<int32_t>(fragment.idx),
                                static_cast<OmniSegItem::UnDictTermType>(
                                    TermTypeOf(fragment.type)));
    }
    if (result < 0) return result;
  }
  return 0;
}

// --- simple and whole modes ---

int AsciiSegmentor::segment_in_simple(const char* s, size_t len, size_t ascii_begin_pos,
                                      size_t ascii_len, OmniSegNet* seg_net) {
  StoreCall(s, len, ascii_begin_pos, ascii_len);
  const unsigned char* text = reinterpret_cast<const unsigned char*>(run());
  size_t begin = 0;
  while (begin < ascii_len) {
    size_t end = begin + 1;
    while (end < ascii_len && is_same_type(text[begin], text[end])) ++end;
    CharClass cls = get_type(text[begin]);
    FragType type = cls == kDigitClass ? TYPE_NUM : cls == kLetterClass ? TYPE_JOIN : TYPE_SEG;
    fragments_.push_back({begin, end, 0, type});
    begin = end;
  }
  return add_fragments(seg_net);
}

bool AsciiSegmentor::IsHalvedPunctuation(size_t offset) const {
  const char* text = run();
  char c = text[offset];
  if (normalizer_ == nullptr || c == '\0' || std::strchr(",;:.!?", c) == nullptr ||
      !normalizer_->WasFullWidth(ascii_begin_pos_ + offset)) {
    return false;
  }
  // Between digits it is a decimal point, a thousands separator or a clock's colon.
  bool between_digits = offset > 0 && offset + 1 < ascii_len_ && IsAsciiDigit(text[offset - 1]) &&
                        IsAsciiDigit(text[offset + 1]);
  return !between_digits;
}

// Cut at spaces and tabs, and around sentence punctuation that was
// full-width: "foo@bar.com，" is an address and a comma.
int AsciiSegmentor::segment_in_whole(const char* s, size_t len, size_t ascii_begin_pos,
                                     size_t ascii_len, OmniSegNet* seg_net) {
  StoreCall(s, len, ascii_begin_pos, ascii_len);
  const char* text = run();
  auto separator = [&](size_t i) {
    return text[i] == ' ' || text[i] == '\t' || IsHalvedPunctuation(i);
  };
  size_t begin = 0;
  while (begin < ascii_len) {
    size_t end = begin + 1;
    if (!separator(begin)) {
      while (end < ascii_len && !separator(end)) ++end;
    }
    fragments_.push_back({begin, end, 0, separator(begin) ? TYPE_SEG : TYPE_JOIN});
    begin = end;
  }
  return add_fragments(seg_net);
}

}  // namespace new_seg
