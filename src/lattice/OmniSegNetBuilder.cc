#include "lattice/OmniSegNetBuilder.h"

#include <algorithm>
#include <new>

#include "dict/CoreDict.h"
#include "dict/Prefetch.h"
#include "driver/SegMode.h"
#include "lattice/OmniSegNet.h"
#include "text/AsciiChar.h"
#include "text/Gb18030.h"

namespace new_seg {

namespace {
const size_t kMatchesPerNode = 8;
// The unknown-word model labels runs of at least this many weak characters.
// (Measured: single weak characters lose accuracy on held-out and
// other-domain text; longer runs lose unknown words.)
const size_t kMinWeakRun = 2;


// GB18030 four-byte combining marks (lead byte 0x81) that attach to the
// character before them.
bool IsAttachedMark(const unsigned char* c) {
  if (c[0] != 0x81) return false;
  unsigned char second = c[1], third = c[2], fourth = c[3];
  if (second == 0x32) {
    return (third == 0xD3 && (fourth == 0x37 || fourth == 0x39)) ||
           (third == 0xD5 && fourth == 0x39) ||
           ((third == 0xD4 || third == 0xD6) && fourth >= 0x30 && fourth <= 0x36);
  }
  if (second == 0x30) {
    return (third == 0xC0 && fourth == 0x39) || (third == 0xC5 && fourth == 0x38) ||
           (third == 0xC6 && fourth == 0x33);
  }
  return second == 0x31 && third == 0xE3 && fourth == 0x34;
}

// Path cost added to an unknown-word edge for the model's doubt about it
// (-log2 of its confidence), in the n-gram model's units; the search
// charges the edge the n-gram model's unknown-word cost besides. The
// perceptron's label scores are not probabilities and its doubts run to
// tens of bits: the scale was measured (0 to 8, offsets -8 to 5 bits) on
// held-out corpus days (29-31, and 26-28 in a build holding 26-31 out) and
// on other-domain text, and a tenth without an offset did best on all.
// The lexicon column already keeps the model from words the lexicon
// speaks against, so larger scales only lose unknown words.
float UnknownWordCost(float doubt) { return 0.1f * doubt; }

}  // namespace

OmniSegNetBuilder::OmniSegNetBuilder(OmniSegNet* seg_net, SegMode* seg_mode)
    : seg_net_(seg_net), seg_mode_(seg_mode), ascii_segmentor_(seg_mode) {}

OmniSegNetBuilder::~OmniSegNetBuilder() {
  delete[] node_items_buffer_;
  delete[] omni_seg_table_;
  delete[] reachable_;
  delete[] lexicon_;
}

bool OmniSegNetBuilder::Init() {
  if (inited_) return true;
  size_t nodes = seg_net_->kMaxSegNetCapacity;
  omni_seg_table_ = new (std::nothrow) OmniSegTableNode[nodes]();
  node_items_buffer_ = new (std::nothrow) int32_t[nodes * kMatchesPerNode]();
  reachable_ = new (std::nothrow) bool[nodes + 1]();
  lexicon_ = new (std::nothrow) unsigned char[nodes + 1]();
  if (omni_seg_table_ == nullptr || node_items_buffer_ == nullptr || reachable_ == nullptr ||
      lexicon_ == nullptr) {
    delete[] omni_seg_table_;
    delete[] node_items_buffer_;
    delete[] reachable_;
    delete[] lexicon_;
    omni_seg_table_ = nullptr;
    node_items_buffer_ = nullptr;
    reachable_ = nullptr;
    lexicon_ = nullptr;
    return false;
  }
  omni_seg_table_capacity_ = nodes;
  node_items_buffer_capacity_ = nodes * kMatchesPerNode;
  inited_ = true;
  return true;
}

void OmniSegNetBuilder::Clear() {
  for (size_t i = 0; i < omni_seg_table_size_; ++i) omni_seg_table_[i].node_size = 0;
  omni_seg_table_size_ = 0;
  node_items_buffer_size_ = 0;
  numbers_scanned_to_ = 0;
}

size_t OmniSegNetBuilder::feedChar(const char* text, size_t remaining, bool& attach) {
  const size_t length = GbCharLen(text, 0, remaining);
  attach = length == 4 && IsAttachedMark(reinterpret_cast<const unsigned char*>(text));
  return length;
}

size_t OmniSegNetBuilder::get_next_length(const char* text, size_t remaining) {
  bool attach = false;
  size_t length = feedChar(text, remaining, attach);
  while (length < remaining) {
    size_t next = feedChar(text + length, remaining - length, attach);
    if (!attach) break;
    length += next;
  }
  return length;
}

int OmniSegNetBuilder::Build(const char* sentence, size_t len) {
  if (!inited_ || len > omni_seg_table_capacity_) return -1;
  seg_net_->Clear();
  Clear();
  ascii_segmentor_.BeginSentence();
  int result = BuildOmniSegTable(sentence, len);
  if (result < 0) return result;
  result = BuildFromOmniSegTable();
  if (result < 0) return result;
  if (seg_mode_->is_find_unknown_words()) {
    result = AddUnknownWords(sentence, len);
    if (result < 0) return result;
  }
  return EnsureCompletePath(sentence, len);
}

size_t OmniSegNetBuilder::ScanPast(const char* sentence, size_t len, size_t pos,
                                   size_t cluster) {
  if (cluster > 1) {
    // A character with attached marks also gets edges without them, and
    // only the base character is consumed: each mark is its own cluster.
    while (cluster > 4) cluster -= 4;
    return pos + cluster;
  }
  const unsigned char* s = reinterpret_cast<const unsigned char*>(sentence);
  size_t run_end = pos + 1;
  while (run_end < len && s[run_end] < 0x80) ++run_end;
  return run_end;
}

void OmniSegNetBuilder::LookAhead(const char* sentence, size_t len, size_t pos) {
  look_ahead_size_ = 0;
  look_ahead_next_ = 0;
  while (pos < len && look_ahead_size_ < kLookAhead) {
    size_t cluster = get_next_length(sentence + pos, len - pos);
    if (cluster > 1) {
      CoreDict::PrefixQuery& query = look_ahead_[look_ahead_size_];
      query.key = sentence + pos;
      query.length = len - pos;
      query.results = look_ahead_matches_ + look_ahead_size_ * kBatchedMatches;
      query.max_results = kBatchedMatches;
      ++look_ahead_size_;
    }
    pos = ScanPast(sentence, len, pos, cluster);
  }
  CoreDict::CommonPrefixSearchBatch(look_ahead_, look_ahead_size_);
  // Every match's record is read when the lattice is built from the
  // matches: fetching them now overlaps their cache misses.
  for (size_t q = 0; q < look_ahead_size_; ++q) {
    const CoreDict::PrefixQuery& query = look_ahead_[q];
    size_t found = std::min(query.count, query.max_results);
    for (size_t k = 0; k < found; ++k) PrefetchForRead(CoreDict::GetValue(query.results[k]));
  }
}

size_t OmniSegNetBuilder::FindMatches(const char* sentence, size_t len, size_t pos,
                                      size_t free_slots) {
  int32_t* out = node_items_buffer_ + node_items_buffer_size_;
  if (look_ahead_next_ == look_ahead_size_) LookAhead(sentence, len, pos);
  const CoreDict::PrefixQuery& query = look_ahead_[look_ahead_next_++];
  if (query.key != sentence + pos || query.count > query.max_results) {
    return CoreDict::CommonPrefixSearch(sentence + pos, len - pos, out, free_slots);
  }
  std::copy(query.results, query.results + std::min(query.count, free_slots), out);
  return query.count;
}

int OmniSegNetBuilder::BuildOmniSegTable(const char* sentence, size_t len) {
  look_ahead_size_ = look_ahead_next_ = 0;
  size_t pos = 0;
  while (pos < len) {
    size_t cluster = get_next_length(sentence + pos, len - pos);
    if (cluster > 1) {
      size_t free_slots = node_items_buffer_capacity_ - node_items_buffer_size_;
      if (free_slots == 0) return -1;
      size_t matches = FindMatches(sentence, len, pos, free_slots);
      if (matches > free_slots) return -1;
      if (matches == 0) {
        int result = seg_net_->AddTerm(pos, cluster, 0, OmniSegItem::TYPE_CJK);
        if (result < 0) return result;
      }
      for (size_t shorter = cluster; shorter > 4;) {
        shorter -= 4;
        int result = seg_net_->AddTerm(pos, shorter, 0, OmniSegItem::TYPE_CJK);
        if (result < 0) return result;
      }
      omni_seg_table_[pos].node_size = matches;
      omni_seg_table_[pos].node_items_offset = node_items_buffer_size_;
      node_items_buffer_size_ += matches;
      pos = ScanPast(sentence, len, pos, cluster);
    } else {
      size_t run_end = ScanPast(sentence, len, pos, cluster);
      int result = AddAsciiRun(sentence, len, pos, run_end);
      if (result < 0) return result;
      pos = run_end;
    }
  }
  omni_seg_table_size_ = len;
  return 0;
}

// The ASCII segmentor's edges, the dictionary words that run on from the
// run into the text after it, and the numbers with their units.
int OmniSegNetBuilder::AddAsciiRun(const char* sentence, size_t len, size_t run_start,
                                   size_t run_end) {
  int result;
  if (seg_mode_->is_use_whole_mode()) {
    result = ascii_segmentor_.segment_in_whole(sentence, len, run_start, run_end - run_start,
                                               seg_net_);
  } else if (seg_mode_->is_use_simple_mode()) {
    result = ascii_segmentor_.segment_in_simple(sentence, len, run_start, run_end - run_start,
                                                seg_net_);
  } else {
    result = ascii_segmentor_.segment(sentence, len, run_start, run_end - run_start, seg_net_);
  }
  if (result < 0) return -2;
  if (run_end < len && FindAsciiLedWords(sentence, len, run_start, run_end) < 0) return -1;
  if (numbers_scanned_to_ < run_end) {
    long scanned = number_matcher_.AddEdges(sentence, len, std::max(run_start, numbers_scanned_to_),
                                            run_end, seg_net_);
    if (scanned < 0) return static_cast<int>(scanned);
    numbers_scanned_to_ = static_cast<size_t>(scanned);
  }
  return 0;
}

// Dictionary words that start with ASCII and run on into the text after
// the run ("t恤", "b超", "1月") are found at the start of each letter or
// digit token of the run; only matches that end past the run are kept,
// as the ASCII segmentor owns everything inside it.
int OmniSegNetBuilder::FindAsciiLedWords(const char* sentence, size_t len, size_t run_start,
                                         size_t run_end) {
  for (size_t pos = run_start; pos < run_end; ++pos) {
    bool token_start = IsAsciiAlnum(sentence[pos]) &&
                       (pos == run_start || !IsAsciiAlnum(sentence[pos - 1]));
    if (!token_start) continue;
    size_t free_slots = node_items_buffer_capacity_ - node_items_buffer_size_;
    if (free_slots == 0) return -1;
    int32_t* found = node_items_buffer_ + node_items_buffer_size_;
    size_t matches = CoreDict::CommonPrefixSearch(sentence + pos, len - pos, found, free_slots);
    if (matches > free_slots) return -1;
    size_t kept = 0;
    for (size_t k = 0; k < matches; ++k) {
      const CoreTermAttribute* attribute = CoreDict::GetValue(found[k]);
      if (attribute != nullptr && pos + attribute->term_len > run_end) found[kept++] = found[k];
    }
    omni_seg_table_[pos].node_size = kept;
    omni_seg_table_[pos].node_items_offset = node_items_buffer_size_;
    node_items_buffer_size_ += kept;
  }
  return 0;
}

int OmniSegNetBuilder::BuildFromOmniSegTable() {
  size_t pos = 0;
  while (pos < omni_seg_table_size_) {
    if (omni_seg_table_[pos].node_size == 0) {
      ++pos;
      continue;
    }
    int32_t attribute_idx = 0;
    size_t length = 0;
    int result = ShouldAllSeg(pos, attribute_idx, length) ? AddAllToSegNet(pos, length)
                                                          : AddToSegNet(pos, attribute_idx);
    if (result < 0) return result;
    pos += length > 0 ? length : 1;
  }
  return 0;
}

bool OmniSegNetBuilder::ShouldAllSeg(size_t pos, int32_t& attribute_idx, size_t& length) const {
  const int32_t* ids = MatchesAt(pos);
  for (size_t k = omni_seg_table_[pos].node_size; k-- > 0;) {
    const CoreTermAttribute* attribute = CoreDict::GetValue(ids[k]);
    if (attribute == nullptr) continue;
    attribute_idx = ids[k];
    length = attribute->term_len;
    if (attribute->term_type & kTermExhaustive) return true;
    if (attribute->term_type & kTermWord) return IsAmbiguousTerm(pos, *attribute);
    if (attribute->term_type & kTermCompound) return IsAmbiguousRule(pos, *attribute);
  }
  return false;
}

// A dictionary word starting inside (pos, end) that runs past end.
bool OmniSegNetBuilder::CrossesRightBoundary(size_t pos, size_t end) const {
  for (size_t j = pos + 1; j < end && j < omni_seg_table_size_; ++j) {
    size_t count = omni_seg_table_[j].node_size;
    if (count == 0) continue;
    const CoreTermAttribute* longest = CoreDict::GetValue(MatchesAt(j)[count - 1]);
    if (longest != nullptr && j + longest->term_len > end) return true;
  }
  return false;
}

bool OmniSegNetBuilder::IsAmbiguousTerm(size_t pos, const CoreTermAttribute& attribute) const {
  size_t end = pos + attribute.term_len;
  for (size_t i = end - 1; i > pos; --i) {
    const OmniSegNode* node = seg_net_->GetSegNode(i);
    if (node == nullptr) continue;
    if (node->is_candidate_seg_node() || node->is_rule_seg_node() ||
        node->is_candidate_phrase_node()) {
      return true;
    }
  }
  return CrossesRightBoundary(pos, end);
}

bool OmniSegNetBuilder::IsAmbiguousRule(size_t pos, const CoreTermAttribute& attribute) const {
  size_t end = pos + attribute.term_len;
  for (size_t i = end - 1; i > pos; --i) {
    const OmniSegNode* node = seg_net_->GetSegNode(i);
    if (node == nullptr) continue;
    if (node->is_candidate_seg_node() || node->is_rule_seg_node()) return true;
    if (!node->is_candidate_phrase_node()) continue;
    bool at_split = false;
    CoreDict::ForEachSplitPart(attribute, [&](size_t begin, size_t length) {
      if (begin + length == i - pos) at_split = true;
      return true;
    });
    if (!at_split) return true;
  }
  return CrossesRightBoundary(pos, end);
}

int OmniSegNetBuilder::AddToSegNet(size_t pos, int32_t attribute_idx) {
  const CoreTermAttribute* attribute = CoreDict::GetValue(attribute_idx);
  if (attribute == nullptr) return 0;
  if (attribute->term_type & kTermWord) return _AddToSegNet(pos, attribute->term_len);
  if (!(attribute->term_type & kTermCompound)) return 0;
  int result = 0;
  CoreDict::ForEachSplitPart(*attribute, [&](size_t begin, size_t length) {
    result = _AddToSegNet(pos + begin, length);
    return result >= 0;
  });
  return result;
}

int OmniSegNetBuilder::AddDictionaryPhrase(size_t pos, int32_t id,
                                           const CoreTermAttribute& attribute) {
  int32_t phrase_id = (attribute.term_type & kTermPhraseNoAttribute) ? -1 : id;
  return seg_net_->AddPhrase(pos, attribute.term_len, phrase_id);
}

int OmniSegNetBuilder::_AddToSegNet(size_t pos, size_t length) {
  if (pos >= omni_seg_table_size_) return 0;
  const int32_t* ids = MatchesAt(pos);
  int result = 0;
  for (size_t k = omni_seg_table_[pos].node_size; k-- > 0;) {
    const CoreTermAttribute* attribute = CoreDict::GetValue(ids[k]);
    if (attribute == nullptr) continue;
    if (attribute->term_type & kTermPhrase) {
      result = AddDictionaryPhrase(pos, ids[k], *attribute);
      if (result < 0) return result;
    } else if ((attribute->term_type & kTermWord) && attribute->term_len == length) {
      return seg_net_->AddTerm(pos, length, ids[k], OmniSegItem::TYPE_CJK);
    }
  }
  return result;
}

int OmniSegNetBuilder::AddAllToSegNet(size_t pos, size_t length) {
  for (size_t q = pos; q < pos + length && q < omni_seg_table_size_; ++q) {
    const int32_t* ids = MatchesAt(q);
    for (size_t k = omni_seg_table_[q].node_size; k-- > 0;) {
      const CoreTermAttribute* attribute = CoreDict::GetValue(ids[k]);
      if (attribute == nullptr) continue;
      int result = 0;
      if (attribute->term_type & kTermWord) {
        result = seg_net_->AddTerm(q, attribute->term_len, ids[k], OmniSegItem::TYPE_CJK);
      } else if (attribute->term_type & kTermPhrase) {
        result = AddDictionaryPhrase(q, ids[k], *attribute);
      }
      if (result < 0) return result;
    }
  }
  return 0;
}

size_t OmniSegNetBuilder::LongestMatch(size_t pos) const {
  size_t count = omni_seg_table_[pos].node_size;
  if (count == 0) return 0;
  const CoreTermAttribute* longest = CoreDict::GetValue(MatchesAt(pos)[count - 1]);
  return longest != nullptr ? longest->term_len : 0;
}

// A character is weak when the lexicon offers nothing longer than itself
// there: no word longer than a character starts at it or covers it. Notes
// what the lexicon offers at the character (for the unknown-word model) and
// whether it is weak; `covered_to` is where the words that started before
// it end. Every word that ends at the character starts before it, so its
// bits are final once it is marked.
unsigned char OmniSegNetBuilder::MarkCharacter(const unsigned char* s, size_t pos,
                                               size_t cluster, size_t* covered_to) {
  size_t longest = LongestMatch(pos);
  unsigned char lexicon = 0;
  if (longest > cluster) {
    lexicon |= UnknownWordFinder::kWordStarts;
    MarkWordEnds(pos, cluster);
  }
  if (*covered_to > pos) lexicon |= UnknownWordFinder::kWordCovers;
  if (lexicon_[pos + cluster] & kWordEndsBefore) lexicon |= UnknownWordFinder::kWordEnds;
  if (s[pos] >= 0x80 && lexicon == 0) lexicon |= kWeak;
  lexicon_[pos] = lexicon;
  if (longest > cluster) *covered_to = std::max(*covered_to, pos + longest);
  return lexicon;
}

// Notes, at the byte after each lexicon word longer than a character that
// starts at `pos`, that a word ends before it.
void OmniSegNetBuilder::MarkWordEnds(size_t pos, size_t cluster) {
  const int32_t* ids = MatchesAt(pos);
  for (size_t k = 0; k < omni_seg_table_[pos].node_size; ++k) {
    const CoreTermAttribute* attribute = CoreDict::GetValue(ids[k]);
    if (attribute != nullptr && attribute->term_len > cluster) {
      lexicon_[pos + attribute->term_len] |= kWordEndsBefore;
    }
  }
}

// False only for a span inside one character, between its combining marks
// (the model steps by code points, the lattice by characters with their marks).
bool OmniSegNetBuilder::HasWeakCharacter(size_t begin, size_t len) const {
  for (size_t pos = begin; pos < begin + len; ++pos) {
    if (lexicon_[pos] & kWeak) return true;
  }
  return false;
}

// Only runs of weak characters are labelled, each as a sequence of its own,
// as soon as the character after it is marked.
// Context characters around a run were measured, stage on, as word F1 on
// held-out corpus days 29-31 / on days 26-28 of a build holding 26-31 out /
// on other-domain treebank text: two on each side .9616 / .9660 / .8042,
// two before only .9613 / .9658 / .8056, one on each side .9589 / .9637 /
// .8007, none .9604 / .9649 / .8086. None labels less than half the
// characters of two on each side, and the stage's time is mostly labelling.
bool OmniSegNetBuilder::LabelWeakRuns(const char* sentence, size_t len) {
  std::fill(lexicon_, lexicon_ + len + 1, 0);
  unknown_word_finder_.Clear();
  const unsigned char* s = reinterpret_cast<const unsigned char*>(sentence);
  size_t covered_to = 0;
  size_t run_begin = 0, run_chars = 0;  // the open run of weak characters
  for (size_t pos = 0; pos < len;) {
    size_t cluster = get_next_length(sentence + pos, len - pos);
    if (MarkCharacter(s, pos, cluster, &covered_to) & kWeak) {
      if (run_chars++ == 0) run_begin = pos;
    } else {
      if (!LabelRun(sentence, run_begin, pos, run_chars)) return false;
      run_chars = 0;
    }
    pos += cluster;
  }
  return LabelRun(sentence, run_begin, len, run_chars);
}

bool OmniSegNetBuilder::LabelRun(const char* sentence, size_t begin, size_t end, size_t chars) {
  return chars < kMinWeakRun || unknown_word_finder_.Label(sentence, begin, end, lexicon_);
}

// Each proposed word becomes an unknown-word edge (id 0, like a character
// the lexicon lacks), so the n-gram model charges it the unknown-word cost;
// the model's doubt is added on top; the search weighs it against the
// dictionary's words. Only runs of weak characters are labelled, so a
// proposal neither holds nor crosses a lexicon word longer than a
// character; a span that already has an edge adds nothing.
int OmniSegNetBuilder::AddUnknownWords(const char* sentence, size_t len) {
  if (!LabelWeakRuns(sentence, len)) return -3;
  for (size_t k = 0; k < unknown_word_finder_.span_count(); ++k) {
    const UnknownWordFinder::Span& span = unknown_word_finder_.spans()[k];
    if (!HasWeakCharacter(span.begin, span.len)) continue;
    OmniSegNode* end = seg_net_->GetSegNode(span.begin + span.len);
    if (end == nullptr) return -1;
    bool known = false;
    for (size_t e = 0; e < end->seg_item_size() && !known; ++e) {
      known = end->seg_items()[e].term_begin_pos == span.begin;
    }
    if (known) continue;
    int result = seg_net_->AddTerm(span.begin, span.len, 0, OmniSegItem::TYPE_CJK);
    if (result < 0) return result;
    if (result == 0) {
      end->seg_items()[end->seg_item_size() - 1].model_cost = UnknownWordCost(span.cost);
    }
  }
  return 0;
}

int OmniSegNetBuilder::EnsureCompletePath(const char* sentence, size_t len) {
  if (len == 0) return 0;
  reachable_[0] = true;
  for (size_t pos = 1; pos <= len; ++pos) {
    reachable_[pos] = false;
    const OmniSegNode* node = seg_net_->GetSegNode(pos);
    for (size_t k = 0; node != nullptr && k < node->seg_item_size(); ++k) {
      if (reachable_[node->seg_items()[k].term_begin_pos]) {
        reachable_[pos] = true;
        break;
      }
    }
  }
  if (reachable_[len]) return 0;
  // Give every character an edge of its own wherever none ends at its end.
  size_t pos = 0;
  while (pos < len) {
    size_t cluster = get_next_length(sentence + pos, len - pos);
    if (!reachable_[pos + cluster]) {
      int result = seg_net_->AddTerm(pos, cluster, 0, OmniSegItem::TYPE_CJK);
      if (result < 0) return result;
    }
    pos += cluster;
  }
  return 0;
}

}  // namespace new_seg
