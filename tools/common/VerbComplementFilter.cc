#include "common/VerbComplementFilter.h"

#include "common/GbkText.h"

namespace zorvseg_tools {

namespace {
const char kVerbTag[] = "v";
// Complements are one or two characters ("出", "起来").
const size_t kLongestComplement = 2;
// A complement needs this many different verbs written before it.
const size_t kLeastVerbsBefore = 5;
}  // namespace

void VerbComplementFilter::Count(const std::vector<std::string>& words,
                                 const std::vector<CorpusToken>& tokens) {
  for (size_t i = 0; i < words.size() && i < tokens.size(); ++i) {
    ++tokens_[words[i]];
    if (tokens[i].tag != kVerbTag) continue;
    ++verb_tokens_[words[i]];
    if (i > 0 && tokens[i - 1].tag == kVerbTag) verbs_before_[words[i]].insert(words[i - 1]);
  }
}

void VerbComplementFilter::Finish() {
  verbs_ending_in_.clear();
  for (const auto& entry : verb_tokens_) {
    const std::string& verb = entry.first;
    std::vector<size_t> ends = CharacterEnds(verb);
    size_t characters = ends.size() - 1;
    for (size_t k = 1; k <= kLongestComplement && k < characters; ++k) {
      ++verbs_ending_in_[verb.substr(ends[characters - k])];
    }
  }
}

bool VerbComplementFilter::MostlyVerb(const std::string& word) const {
  auto verb = verb_tokens_.find(word);
  return verb != verb_tokens_.end() && 2 * verb->second > tokens_.at(word);
}

bool VerbComplementFilter::ComplementWrittenApart(const std::string& complement) const {
  auto before = verbs_before_.find(complement);
  if (before == verbs_before_.end() || before->second.size() < kLeastVerbsBefore) return false;
  auto ending = verbs_ending_in_.find(complement);
  return before->second.size() >= (ending == verbs_ending_in_.end() ? 0 : ending->second);
}

bool VerbComplementFilter::WrittenApart(const std::string& word) const {
  std::vector<size_t> ends = CharacterEnds(word);
  size_t characters = ends.size() - 1;
  for (size_t k = 1; k <= kLongestComplement && k < characters; ++k) {
    size_t split = ends[characters - k];
    if (MostlyVerb(word.substr(0, split)) && ComplementWrittenApart(word.substr(split))) {
      return true;
    }
  }
  return false;
}

}  // namespace zorvseg_tools
