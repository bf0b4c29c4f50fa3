#include "lattice/NumberUnitMatcher.h"

#include <algorithm>
#include <cstring>

#include "dict/CoreDict.h"
#include "dict/CoreTermAttribute.h"
#include "lattice/OmniSegNet.h"
#include "text/AsciiChar.h"
#include "text/Gb18030.h"

namespace new_seg {

namespace {

bool DigitAt(const char* s, size_t len, size_t pos) {
  return pos < len && IsAsciiDigit(static_cast<unsigned char>(s[pos]));
}

bool LetterAt(const char* s, size_t len, size_t pos) {
  return pos < len && IsAsciiLetter(static_cast<unsigned char>(s[pos]));
}

// Digits of the number's first group, which give its shape.
size_t LeadingDigits(const char* s, size_t len, size_t start) {
  size_t end = start;
  while (DigitAt(s, len, end)) ++end;
  return end - start;
}

}  // namespace

size_t NumberUnitMatcher::JoinerLength(const char* s, size_t len, size_t pos) {
  if (pos >= len) return 0;
  size_t char_len = GbCharLen(s, pos, len);
  if (!DigitAt(s, len, pos + char_len)) return 0;
  key_[0] = kMarker;
  memcpy(key_ + 1, s + pos, char_len);
  key_[1 + char_len] = kMarker;
  return CoreDict::ExactMatchSearch(key_, char_len + 2) > 0 ? char_len : 0;
}

size_t NumberUnitMatcher::NumberEnd(const char* s, size_t len, size_t start, size_t* joins) {
  size_t end = start;
  *joins = 0;
  for (;;) {
    while (DigitAt(s, len, end)) ++end;
    size_t joiner = JoinerLength(s, len, end);
    if (joiner == 0) return end;
    ++*joins;
    end += joiner;
  }
}

int NumberUnitMatcher::AddClassEdges(const char* s, size_t len, size_t start, size_t end,
                                     size_t marks, OmniSegNet* net) {
  size_t tail = std::min(len - end, kLongestUnitBytes);
  memcpy(key_ + marks, s + end, tail);
  size_t found = CoreDict::CommonPrefixSearch(key_, marks + tail, matches_, kMaxMatches);
  for (size_t k = 0; k < std::min(found, kMaxMatches); ++k) {
    const CoreTermAttribute* attribute = CoreDict::GetValue(matches_[k]);
    // A shaped search also meets the shorter bare-number key "N".
    if (attribute == nullptr || !(attribute->term_type & kTermWord) ||
        attribute->term_len < marks) {
      continue;
    }
    size_t unit = attribute->term_len - marks;
    if (marks > 1 && unit == 0) continue;
    int result = net->AddTerm(start, end - start + unit, matches_[k],
                              unit == 0 ? OmniSegItem::TYPE_NUM : OmniSegItem::TYPE_CJK);
    if (result < 0) return result;
  }
  return 0;
}

int NumberUnitMatcher::AddNumber(const char* s, size_t len, size_t start, size_t end,
                                 OmniSegNet* net) {
  key_[0] = kMarker;
  int result = AddClassEdges(s, len, start, end, 1, net);
  if (result < 0) return result;
  key_[1] = DigitCountMark(LeadingDigits(s, len, start));
  return AddClassEdges(s, len, start, end, 2, net);
}

int NumberUnitMatcher::ClassIdOf(const char* word, size_t len, bool* bare) {
  size_t joins = 0;
  size_t end = DigitAt(word, len, 0) ? NumberEnd(word, len, 0, &joins) : 0;
  if (end == 0 || joins > 1 || LetterAt(word, len, end) || len - end > kLongestUnitBytes) {
    return -1;
  }
  *bare = end == len;
  key_[0] = kMarker;
  memcpy(key_ + 1, word + end, len - end);
  int id = CoreDict::ExactMatchSearch(key_, len - end + 1);
  if (id >= 0 || *bare) return id;
  key_[1] = DigitCountMark(LeadingDigits(word, len, 0));
  memcpy(key_ + 2, word + end, len - end);
  return CoreDict::ExactMatchSearch(key_, len - end + 2);
}

long NumberUnitMatcher::AddEdges(const char* sentence, size_t len, size_t from, size_t to,
                                 OmniSegNet* net) {
  size_t pos = from;
  while (pos < to) {
    // A four-byte character's last byte may look like a digit; it does not
    // run on into the number.
    bool after_alnum = pos > from &&
                       IsAsciiAlnum(static_cast<unsigned char>(sentence[pos - 1])) &&
                       !EndsFourByteChar(sentence, pos);
    bool starts_number = DigitAt(sentence, len, pos) && !after_alnum;
    if (!starts_number) {
      pos += GbCharLen(sentence, pos, len);
      continue;
    }
    size_t joins = 0;
    size_t end = NumberEnd(sentence, len, pos, &joins);
    if (joins <= 1 && !LetterAt(sentence, len, end)) {
      int result = AddNumber(sentence, len, pos, end, net);
      if (result < 0) return result;
    }
    pos = end;
  }
  return static_cast<long>(pos);
}

}  // namespace new_seg
