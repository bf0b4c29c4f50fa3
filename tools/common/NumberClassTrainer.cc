#include "common/NumberClassTrainer.h"

#include "common/GbkText.h"
#include "lattice/NumberUnitMatcher.h"
#include "text/AsciiChar.h"
#include "text/Gb18030.h"

namespace zorvseg_tools {

namespace {

using new_seg::NumberUnitMatcher;

// A joining character or unit needs this many corpus words written with it
// and at least this share of the corpus's numbers followed by it.
const size_t kMinJoined = 5;
const double kMinShare = 0.5;
// Numbers of one digit count decide for themselves whether a unit joins
// them when the corpus writes the unit after this many of them; rarer
// lengths follow what the unit does with all numbers.
const size_t kMinShapeUses = 10;

using UnitShape = std::pair<std::string, char>;

bool DigitAt(const std::string& text, size_t pos) {
  return pos < text.size() && new_seg::IsAsciiDigit(static_cast<unsigned char>(text[pos]));
}

bool LetterAt(const std::string& text, size_t pos) {
  return pos < text.size() && new_seg::IsAsciiLetter(static_cast<unsigned char>(text[pos]));
}

size_t CharLength(const std::string& text, size_t pos) {
  return new_seg::GbCharLen(text.data(), pos, text.size());
}

// The character at pos when it stands between two digits and could join
// them (not a letter: numbers touching letters are codes); else empty.
std::string JoinerCandidate(const std::string& text, size_t pos) {
  if (pos == 0 || !DigitAt(text, pos - 1) || pos >= text.size() || DigitAt(text, pos) ||
      LetterAt(text, pos)) {
    return "";
  }
  size_t length = CharLength(text, pos);
  return DigitAt(text, pos + length) ? text.substr(pos, length) : "";
}

size_t LeadingDigits(const std::string& word) {
  size_t end = 0;
  while (DigitAt(word, end)) ++end;
  return end;
}

bool Chosen(size_t joined, size_t split) {
  return joined >= kMinJoined &&
         static_cast<double>(joined) >= kMinShare * static_cast<double>(joined + split);
}

}  // namespace

bool NumberClassTrainer::IsClassKey(const std::string& key) {
  return !key.empty() && key[0] == NumberUnitMatcher::kMarker;
}

size_t NumberClassTrainer::NumberEnd(const std::string& word, size_t* joins) const {
  *joins = 0;
  if (!DigitAt(word, 0)) return 0;
  size_t end = 0;
  for (;;) {
    while (DigitAt(word, end)) ++end;
    std::string joiner = JoinerCandidate(word, end);
    if (joiner.empty() || joiners_.count(joiner) == 0) return end;
    ++*joins;
    end += joiner.size();
  }
}

std::string NumberClassTrainer::ClassOf(const std::string& word) const {
  size_t joins = 0;
  size_t end = NumberEnd(word, &joins);
  if (end == 0 || joins > 1) return "";
  std::string unit = word.substr(end);
  if (unit.empty() || units_.count(unit) > 0) return NumberUnitMatcher::UnitKey(unit);
  size_t digits = LeadingDigits(word);
  if (shaped_units_.count({unit, NumberUnitMatcher::DigitCountMark(digits)}) > 0) {
    return NumberUnitMatcher::ShapedUnitKey(digits, unit);
  }
  return "";
}

size_t NumberClassTrainer::shaped_units() const {
  std::set<std::string> units;
  for (const UnitShape& shape : shaped_units_) units.insert(shape.first);
  return units.size();
}

std::vector<std::string> NumberClassTrainer::JoinerKeys() const {
  std::vector<std::string> keys;
  for (const std::string& joiner : joiners_) keys.push_back(NumberUnitMatcher::JoinerKey(joiner));
  return keys;
}

void NumberClassTrainer::Learn(const std::vector<std::vector<std::string>>& sentences) {
  LearnJoiners(sentences);
  LearnUnits(sentences);
}

// A character joins digit groups when the corpus writes it inside a number
// ("19·1") more often than as a word between two numbers ("3 — 5").
void NumberClassTrainer::LearnJoiners(const std::vector<std::vector<std::string>>& sentences) {
  std::map<std::string, size_t> joined, split;
  for (const std::vector<std::string>& words : sentences) {
    for (size_t i = 0; i < words.size(); ++i) {
      const std::string& word = words[i];
      for (size_t pos = 1; pos < word.size(); pos += CharLength(word, pos)) {
        std::string joiner = JoinerCandidate(word, pos);
        if (!joiner.empty()) ++joined[joiner];
      }
      if (i + 2 < words.size() && !word.empty() && DigitAt(word, word.size() - 1) &&
          DigitAt(words[i + 2], 0)) {
        std::string between = words[i] + words[i + 1] + words[i + 2].substr(0, 1);
        std::string joiner = JoinerCandidate(between, word.size());
        if (joiner == words[i + 1]) ++split[joiner];
      }
    }
  }
  for (const auto& [joiner, count] : joined) {
    auto apart = split.find(joiner);
    if (Chosen(count, apart == split.end() ? 0 : apart->second)) joiners_.insert(joiner);
  }
}

// A unit joins numbers when the corpus writes it in one word with a number
// ("2023年") more often than after a number word ("80 年代", "3 年"),
// counted for each digit count of the number.
void NumberClassTrainer::LearnUnits(const std::vector<std::vector<std::string>>& sentences) {
  std::map<UnitShape, size_t> joined, split;
  for (const std::vector<std::string>& words : sentences) {
    for (size_t i = 0; i < words.size(); ++i) {
      size_t joins = 0;
      size_t end = NumberEnd(words[i], &joins);
      if (end == 0 || joins > 1 || LetterAt(words[i], end)) continue;
      char mark = NumberUnitMatcher::DigitCountMark(LeadingDigits(words[i]));
      if (end < words[i].size()) {
        if (words[i].size() - end <= NumberUnitMatcher::kLongestUnitBytes) {
          ++joined[{words[i].substr(end), mark}];
        }
        continue;
      }
      std::string after;
      for (size_t j = i + 1; j < words.size() && after.size() < NumberUnitMatcher::kLongestUnitBytes;
           ++j) {
        after += words[j];
      }
      for (size_t pos = 0; pos < after.size() && !DigitAt(after, pos) && !LetterAt(after, pos);) {
        pos += CharLength(after, pos);
        if (pos > NumberUnitMatcher::kLongestUnitBytes) break;
        ++split[{after.substr(0, pos), mark}];
      }
    }
  }
  ChooseUnits(joined, split);
}

void NumberClassTrainer::ChooseUnits(const std::map<UnitShape, size_t>& joined,
                                     const std::map<UnitShape, size_t>& split) {
  auto count = [](const std::map<UnitShape, size_t>& counts, const UnitShape& key) {
    auto found = counts.find(key);
    return found == counts.end() ? size_t{0} : found->second;
  };
  std::set<std::string> units;
  for (const auto& entry : joined) units.insert(entry.first.first);
  for (const std::string& unit : units) {
    size_t all_joined = 0, all_split = 0;
    for (size_t digits = 1; digits <= NumberUnitMatcher::kMaxShapeDigits; ++digits) {
      UnitShape shape{unit, NumberUnitMatcher::DigitCountMark(digits)};
      all_joined += count(joined, shape);
      all_split += count(split, shape);
    }
    bool usually = Chosen(all_joined, all_split);
    std::vector<char> marks;
    for (size_t digits = 1; digits <= NumberUnitMatcher::kMaxShapeDigits; ++digits) {
      UnitShape shape{unit, NumberUnitMatcher::DigitCountMark(digits)};
      size_t with = count(joined, shape), apart = count(split, shape);
      if (with + apart >= kMinShapeUses ? Chosen(with, apart) : usually) marks.push_back(shape.second);
    }
    if (marks.size() == NumberUnitMatcher::kMaxShapeDigits) {
      units_.insert(unit);
    } else {
      for (char mark : marks) shaped_units_.insert({unit, mark});
    }
  }
}

}  // namespace zorvseg_tools
