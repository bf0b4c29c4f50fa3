#include "pos/CSegmentTag.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "dict/CoreDict.h"
#include "dict/HugePageAllocator.h"
#include "dict/Prefetch.h"
#include "lattice/OmniSegItem.h"
#include "lattice/OmniSegNet.h"
#include "text/SentenceNormalizer.h"
#include "text/AsciiChar.h"
#include "text/Gb18030.h"

namespace new_seg {

TagModel* CSegmentTag::mProbDict = nullptr;
TagContext* CSegmentTag::m_context = nullptr;
int32_t* CSegmentTag::m_pIDtoIndex = nullptr;
uint32_t CSegmentTag::mMaxID = 0;
CSegmentTag::WordTags* CSegmentTag::m_word_tags = nullptr;
uint32_t CSegmentTag::m_word_tags_size = 0;

namespace {

const char* const kPosNames[] = {
    "a",  "ad", "an", "b",  "c",  "d",  "e",  "f",  "g",  "h",  "i",  "j",
    "k",  "l",  "m",  "n",  "nr", "nrf", "nrg", "ns", "nt", "nz", "nx", "o",
    "p",  "q",  "r",  "s",  "t",  "u",  "v",  "vd", "vn", "w",  "x",  "y",
    "z",  "Ag", "Bg", "Dg", "Mg", "Ng", "Qg", "Rg", "Tg", "Vg", "Yg", "Zg"};
const int kPosNameCount = sizeof(kPosNames) / sizeof(kPosNames[0]);

// Roles 1 to 33 in order, then role 50 ("A") and 51 ("unk").
const char* const kRoleNames[] = {
    "B",  "C",  "D",  "E",  "F",  "G",  "K",  "L",  "M",      "U",      "V",
    "X",  "Y",  "Z",  "H",  "I",  "T",  "E2", "X2", "LH",     "LM",     "LT",
    "LO", "NI", "NF", "NB", "X_HALF", "D_HALF", "LY", "SU", "FH", "FM", "FT"};
const int kRoleNameCount = sizeof(kRoleNames) / sizeof(kRoleNames[0]);

// A word the model does not know may be any of "d", "n", "u", "v"; the
// transitions alone choose.
const uint8_t kPosTemp[] = {6, 16, 30, 31};
const float kPosTempProb[] = {0.0f, 0.0f, 0.0f, 0.0f};
const uint8_t kPosSos[] = {CSegmentTag::kTagSentenceStart};
const float kZeroWeight[] = {0.0f};
const uint8_t kTagNumberList[] = {CSegmentTag::kTagNumber};
const uint8_t kTagPunctuationList[] = {CSegmentTag::kTagPunctuation};
const uint8_t kTagLettersList[] = {CSegmentTag::kTagLetters};
const uint8_t kTagNounList[] = {CSegmentTag::kTagNoun};

// Scores start here and are replaced only by strictly greater ones, so
// among equal scores the earliest candidate wins.
const float kScoreFloor = -1000000.0f;

// How many words ahead of the tagged one the context weights are fetched.
const size_t kContextAhead = 3;


// The kind of a one-character word, read from its bytes: full-width digits,
// letters and symbols count as numbers, letters and separators, as do their
// ASCII forms.
uint32_t AdjustKind(const unsigned char* word, size_t len, uint32_t kind) {
  if (len == 2 && word[0] == 0xA1) return OmniSegItem::TYPE_SEG;
  if (len == 2 && word[0] == 0xA3) {
    unsigned char c = word[1];
    if (c >= 0xB0 && c <= 0xB9) return OmniSegItem::TYPE_NUM;
    if ((c >= 0xC1 && c <= 0xDA) || (c >= 0xE1 && c <= 0xFA)) return OmniSegItem::TYPE_ENG;
    return OmniSegItem::TYPE_SEG;
  }
  if (len == 1) {
    unsigned char c = word[0];
    if (c >= '0' && c <= '9') return OmniSegItem::TYPE_NUM;
    if (c <= 0x1F || c == 0x7F || c >= 0x80 || IsAsciiLetter(c)) return kind;
    return OmniSegItem::TYPE_SEG;
  }
  return kind;
}

}  // namespace

bool CSegmentTag::Init(const char* tag_dict_file) {
  if (IsLoaded()) return true;
  if (tag_dict_file == nullptr) return false;
  TagModel* model = new (std::nothrow) TagModel;
  if (model == nullptr) {
    std::fprintf(stderr, "memory error in load tag dict !\n");
    return false;
  }
  if (!model->Load(tag_dict_file)) {
    delete model;
    return false;
  }
  uint32_t max_id = 0;
  for (const word_tag_prob_t& record : model->m_word_info) {
    if (record.word_id > max_id) max_id = record.word_id;
  }
  int32_t* id_to_index = new (std::nothrow) int32_t[static_cast<size_t>(max_id) + 1];
  if (id_to_index == nullptr) {
    std::fprintf(stderr, "memory error in load tag dict !\n");
    delete model;
    return false;
  }
  for (uint32_t id = 0; id <= max_id; ++id) id_to_index[id] = -1;
  for (size_t i = 0; i < model->m_word_info.size(); ++i) {
    id_to_index[model->m_word_info[i].word_id] = static_cast<int32_t>(i);
  }
  mProbDict = model;
  m_pIDtoIndex = id_to_index;
  mMaxID = max_id;
  BuildWordTags();
  return true;
}

// Without the table (ids too many, or no memory) the tagger reads the
// record index: slower, same tags.
bool CSegmentTag::BuildWordTags() {
  if (mMaxID >= kWordTagsIds) return false;
  uint32_t size = mMaxID + 1;
  WordTags* table = static_cast<WordTags*>(AllocateLarge(size * sizeof(WordTags)));
  if (table == nullptr) return false;
  std::memset(static_cast<void*>(table), 0, size * sizeof(WordTags));
  for (uint32_t id = 0; id < size; ++id) {
    CandidateList list = RecordCandidates(id);
    if (list.tags == kPosTemp) continue;  // no list of its own
    WordTags& entry = table[id];
    entry.count = static_cast<uint8_t>(list.count);
    if (list.count > kInlineTags) {
      entry.start = static_cast<uint32_t>(list.tags - mProbDict->m_Pos.data());
      continue;
    }
    std::copy(list.tags, list.tags + list.count, entry.tags);
    std::copy(list.weights, list.weights + list.count, entry.weights);
  }
  m_word_tags = table;
  m_word_tags_size = size;
  return true;
}

bool CSegmentTag::UnInit() {
  delete mProbDict;
  mProbDict = nullptr;
  delete[] m_pIDtoIndex;
  m_pIDtoIndex = nullptr;
  mMaxID = 0;
  FreeLarge(m_word_tags, m_word_tags_size * sizeof(WordTags));
  m_word_tags = nullptr;
  m_word_tags_size = 0;
  return true;
}

bool CSegmentTag::InitContext(const char* tag_context_file) {
  if (m_context != nullptr) return true;
  if (tag_context_file == nullptr) return false;
  struct stat status;
  if (stat(tag_context_file, &status) != 0 && errno == ENOENT) return true;
  TagContext* context = new (std::nothrow) TagContext;
  if (context == nullptr || !context->Load(tag_context_file)) {
    delete context;
    return false;
  }
  m_context = context;
  return true;
}

void CSegmentTag::UnInitContext() {
  delete m_context;
  m_context = nullptr;
}

bool CSegmentTag::_get_pos_char(int pos, char* str) {
  const char* name = pos >= 1 && pos <= kPosNameCount ? kPosNames[pos - 1] : "n";
  std::strcpy(str, name);
  return true;
}

bool CSegmentTag::_get_role_char(int role, char* str) {
  const char* name = nullptr;
  if (role >= 1 && role <= kRoleNameCount) name = kRoleNames[role - 1];
  if (role == 50) name = "A";
  if (role == 51) name = "unk";
  if (name == nullptr) return false;
  std::strcpy(str, name);
  return true;
}

bool CSegmentTag::pos_tag(OmniSegNet* seg_net, SentenceNormalizer* sentence_normalizer,
                          bool use_ne) {
  if (!IsLoaded() || seg_net == nullptr) return true;
  _get_ids_from_seg_net(seg_net, sentence_normalizer);
  do_pos_tag(use_ne);
  get_pos_tag_result(seg_net);
  return true;
}

void CSegmentTag::_get_ids_from_seg_net(OmniSegNet* seg_net,
                                        SentenceNormalizer* sentence_normalizer) {
  size_t text_len = 0;
  const char* text = sentence_normalizer == nullptr
                         ? nullptr
                         : sentence_normalizer->GetSegmentUsedStr(text_len);
  mSegResultLen = 0;
  size_t pos = 0;
  const OmniSegNode* node = seg_net->GetSegNode(0);
  // Words past MAX_WORD_LEN stay untagged; get_pos_tag_result reports them.
  while (node != nullptr && node->next_term_len() != 0 && mSegResultLen < MAX_WORD_LEN) {
    pos += node->next_term_len();
    node = seg_net->GetSegNode(pos);
    const OmniSegItem* item = node == nullptr ? nullptr : node->optimal_item();
    if (item == nullptr) break;
    uint32_t kind = static_cast<uint32_t>(item->undict_term_type);
    bool inside_text = text != nullptr && item->term_begin_pos <= text_len &&
                       item->term_len <= text_len - item->term_begin_pos;
    if (inside_text) {
      kind = AdjustKind(reinterpret_cast<const unsigned char*>(text) + item->term_begin_pos,
                        item->term_len, kind);
    }
    uint32_t id = static_cast<uint32_t>(item->term_attribute_idx);
    if (id == 0 && kind == OmniSegItem::TYPE_CJK && inside_text) {
      id = LastCharacterClass(text + item->term_begin_pos, item->term_len);
    }
    // The entries are read word after word by do_pos_tag: fetch them all
    // now so that their cache misses overlap.
    if (const WordTags* entry = WordTagsOf(id)) PrefetchForRead(entry);
    if (m_context != nullptr) {
      if (const void* index = m_context->IndexOf(id)) PrefetchForRead(index);
    }
    m_SegResult[mSegResultLen] = id;
    m_SegType[mSegResultLen] = kind;
    ++mSegResultLen;
  }
}

uint32_t CSegmentTag::LastCharacterClass(const char* word, size_t len) {
  size_t last = 0, characters = 0;
  for (size_t pos = 0; pos < len; pos += GbCharLen(word, pos, len), ++characters) last = pos;
  if (characters < 2 || len - last > 4) return 0;
  char key[5] = {kLastCharacterMarker};
  std::memcpy(key + 1, word + last, len - last);
  int id = CoreDict::ExactMatchSearch(key, len - last + 1);
  // Only an entry the model has tags for.
  if (id <= 0 || static_cast<uint32_t>(id) > mMaxID || m_pIDtoIndex[id] < 0) return 0;
  return static_cast<uint32_t>(id);
}

CSegmentTag::CandidateList CSegmentTag::_get_candidates(size_t word) const {
  switch (m_SegType[word]) {
    case OmniSegItem::TYPE_CJK:
      break;
    case OmniSegItem::TYPE_NUM:
      return {kTagNumberList, kZeroWeight, 1};
    case OmniSegItem::TYPE_SEG:
      return {kTagPunctuationList, kZeroWeight, 1};
    case OmniSegItem::TYPE_ENG:
      return {kTagLettersList, kZeroWeight, 1};
    default:
      return {kTagNounList, kZeroWeight, 1};
  }
  return WordCandidates(m_SegResult[word]);
}

CSegmentTag::CandidateList CSegmentTag::WordCandidates(uint32_t id) {
  if (const WordTags* entry = WordTagsOf(id)) {
    if (entry->count == 0) return {kPosTemp, kPosTempProb, sizeof(kPosTemp)};
    if (entry->count <= kInlineTags) return {entry->tags, entry->weights, entry->count};
    return {&mProbDict->m_Pos[entry->start], &mProbDict->m_PosProb[entry->start], entry->count};
  }
  return RecordCandidates(id);
}

CSegmentTag::CandidateList CSegmentTag::RecordCandidates(uint32_t id) {
  int32_t index = id <= mMaxID && m_pIDtoIndex != nullptr ? m_pIDtoIndex[id] : -1;
  if (index >= 0) {
    // Lists were checked at load time to end within 53 entries.
    uint32_t start = mProbDict->m_word_info[static_cast<size_t>(index)].m_pos_sidx;
    const uint8_t* tags = &mProbDict->m_Pos[start];
    size_t count = 0;
    while (tags[count] != 0) ++count;
    if (count != 0) return {tags, &mProbDict->m_PosProb[start], count};
  }
  return {kPosTemp, kPosTempProb, sizeof(kPosTemp)};
}

CSegmentTag::CandidateList CSegmentTag::WithContext(size_t word,
                                                     const CandidateList& candidates) {
  if (m_context == nullptr || candidates.count < 2) return candidates;
  TagContext::Weights before = word > 0 && m_SegResult[word - 1] != 0
                                   ? m_context->Find(TagContext::kWordBefore, m_SegResult[word - 1])
                                   : TagContext::Weights{nullptr, nullptr};
  TagContext::Weights after = word + 1 < mSegResultLen && m_SegResult[word + 1] != 0
                                  ? m_context->Find(TagContext::kWordAfter, m_SegResult[word + 1])
                                  : TagContext::Weights{nullptr, nullptr};
  if (before.empty() && after.empty()) return candidates;
  // Frequent neighbours weigh dozens of tags: gather them by tag once.
  for (const TagContext::Weights& weights : {before, after}) {
    for (const TagContext::Record* record = weights.begin; record != weights.end; ++record) {
      m_tag_bonus[record->tag] += record->weight;
    }
  }
  for (size_t k = 0; k < candidates.count; ++k) {
    m_context_weights[k] = candidates.weights[k] + m_tag_bonus[candidates.tags[k]];
  }
  for (const TagContext::Weights& weights : {before, after}) {
    for (const TagContext::Record* record = weights.begin; record != weights.end; ++record) {
      m_tag_bonus[record->tag] = 0.0f;
    }
  }
  return {candidates.tags, m_context_weights, candidates.count};
}

// Word i reads the weights of words i - 1 and i + 1: those of a word a few
// places ahead are fetched early, so that their cache misses overlap with
// the tagging of the words before it. Their index entries were fetched
// when the words were read off the lattice.
void CSegmentTag::PrefetchContext(size_t word) const {
  if (m_context == nullptr || word >= mSegResultLen || m_SegResult[word] == 0) return;
  for (TagContext::Side side : {TagContext::kWordBefore, TagContext::kWordAfter}) {
    if (const TagContext::Record* first = m_context->FirstRecord(m_SegResult[word], side)) {
      PrefetchForRead(first);
    }
  }
}

uint8_t CSegmentTag::_get_pos(size_t CurID, size_t CurPosID) const {
  const CandidateList& candidates = m_candidates[CurID];
  return CurPosID < candidates.count ? candidates.tags[CurPosID] : 0;
}

void CSegmentTag::do_pos_tag(bool use_ne) {
  if (mSegResultLen == 0) return;
  CandidateList previous = {kPosSos, kZeroWeight, 1};
  m_pre_weight_buf[0] = 0.0f;
  for (size_t i = 0; i < kContextAhead && i < mSegResultLen; ++i) PrefetchContext(i);
  for (size_t i = 0; i < mSegResultLen; ++i) {
    PrefetchContext(i + kContextAhead);
    m_candidates[i] = _get_candidates(i);
    const CandidateList current = WithContext(i, m_candidates[i]);
    if (previous.count * current.count >= TransitionBlock::kMinPairs) {
      transition_block_.Use(*mProbDict, previous.tags, previous.count, current.tags,
                            current.count);
      transition_block_.Step(m_pre_weight_buf, kScoreFloor, m_cur_weight_buf, m_pre_role_id[i]);
      for (size_t k = 0; k < current.count; ++k) m_cur_weight_buf[k] += current.weights[k];
      std::memcpy(m_pre_weight_buf, m_cur_weight_buf, current.count * sizeof(float));
      previous = current;
      continue;
    }
    for (size_t k = 0; k < current.count; ++k) {
      float best = kScoreFloor;
      size_t best_previous = 0;
      for (size_t j = 0; j < previous.count; ++j) {
        float score =
            mProbDict->PosTransition(previous.tags[j], current.tags[k]).weight + m_pre_weight_buf[j];
        if (score > best) {
          best = score;
          best_previous = j;
        }
      }
      m_pre_role_id[i][k] = static_cast<uint8_t>(best_previous);
      m_cur_weight_buf[k] = current.weights[k] + best;
    }
    std::memcpy(m_pre_weight_buf, m_cur_weight_buf, current.count * sizeof(float));
    previous = current;
  }

  float best = kScoreFloor;
  size_t index = 0;
  for (size_t k = 0; k < previous.count; ++k) {
    if (m_pre_weight_buf[k] > best) {
      best = m_pre_weight_buf[k];
      index = k;
    }
  }
  for (size_t i = mSegResultLen; i-- > 0;) {
    uint8_t tag = _get_pos(i, index);
    if (use_ne && tag == kTagPerson) tag = kTagNoun;
    m_pos_tag_result[i] = tag;
    index = m_pre_role_id[i][index];
  }
}

void CSegmentTag::get_pos_tag_result(OmniSegNet* seg_net) {
  size_t pos = 0;
  size_t word = 0;
  const OmniSegNode* node = seg_net->GetSegNode(0);
  while (node != nullptr && node->next_term_len() != 0) {
    pos += node->next_term_len();
    node = seg_net->GetSegNode(pos);
    OmniSegItem* item = node == nullptr ? nullptr : node->optimal_item();
    if (item == nullptr) break;
    if (word == mSegResultLen) {
      std::fprintf(stderr, "pos tag num error!\n");
      return;
    }
    item->pos_tag = m_pos_tag_result[word++];
  }
}

}  // namespace new_seg
