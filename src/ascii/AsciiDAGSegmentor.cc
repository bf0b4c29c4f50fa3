#include "ascii/AsciiDAGSegmentor.h"

#include <cstring>

namespace new_seg {

namespace {
const double kWorstScore = -1000000.0;
// Every ASCII punctuation character except the backslash, which is joined
// with the letters around it like an unknown character.
const char kPunctuation[] = "!\"#$%&'()*+,-./:;<=>?@[]^_`{|}~";
}  // namespace

AsciiDAGSegmentor::AsciiDAGSegmentor() {
  std::memset(punctations_, 0, sizeof punctations_);
  for (const char* c = kPunctuation; *c != '\0'; ++c) {
    punctations_[static_cast<unsigned char>(*c)] = true;
  }
}

void AsciiDAGSegmentor::BuildGraph(AsciiType type, const char* text, std::size_t len) {
  double default_prob =
      type == kEng ? AsciiDict::default_eng_prob() : AsciiDict::default_pinyin_prob();
  edges_.clear();
  edge_begin_.assign(1, 0);
  for (std::size_t i = 0; i < len; ++i) {
    lookup_.clear();
    AsciiDict::CommonPrefixSearch(type, text + i, len - i, lookup_);
    for (const AsciiResult& result : lookup_) {
      edges_.push_back({i + result.key.size(), result.prob});
    }
    if (lookup_.empty()) edges_.push_back({i + 1, default_prob});
    edge_begin_.push_back(edges_.size());
  }
}

void AsciiDAGSegmentor::FindBestPath(AsciiType type, std::size_t len) {
  double total = type == kEng ? AsciiDict::total_eng_prob_ : AsciiDict::total_pinyin_prob_;
  route_.resize(len + 1);
  route_[len] = {len, 0.0};
  for (std::size_t i = len; i-- > 0;) {
    PathNode best = {0, kWorstScore};
    for (std::size_t e = edge_begin_[i]; e < edge_begin_[i + 1]; ++e) {
      double score = edges_[e].prob - total + route_[edges_[e].end].prob_sum;
      if (score > best.prob_sum) best = {edges_[e].end, score};
    }
    route_[i] = best;
  }
}

double AsciiDAGSegmentor::Segment(AsciiType type, const char* text, std::size_t len,
                                  std::vector<Part>& parts) {
  parts.clear();
  BuildGraph(type, text, len);
  FindBestPath(type, len);
  std::size_t start = 0;
  while (start < len) {
    std::size_t end = route_[start].end;
    // A position whose every path scored at the floor keeps end 0; the walk
    // still has to move on.
    if (end <= start || end > len) end = start + 1;
    parts.push_back({start, end});
    start = end;
  }
  return route_[0].prob_sum;
}

bool AsciiDAGSegmentor::IsInvalid(AsciiType type, const std::vector<Part>& parts) const {
  if (type != kPinyin) return false;
  std::size_t one_byte = 0;
  for (const Part& part : parts) one_byte += part.end - part.begin == 1;
  if (one_byte <= 1) return false;
  return parts.size() <= 9 || parts.size() <= 5 * one_byte;
}

bool AsciiDAGSegmentor::AdjustParts(AsciiType type, const char* text,
                                    std::vector<Part>& parts) const {
  if (type != kEng) return false;
  auto joinable = [&](const Part& part) {
    return part.end - part.begin == 1 &&
           !punctations_[static_cast<unsigned char>(text[part.begin])];
  };
  std::size_t kept = 0;
  bool changed = false;
  bool previous_joinable = false;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    bool current_joinable = joinable(parts[i]);
    if (current_joinable && previous_joinable) {
      parts[kept - 1].end = parts[i].end;
      changed = true;
    } else {
      parts[kept++] = parts[i];
    }
    previous_joinable = current_joinable;
  }
  parts.resize(kept);
  return changed;
}

}  // namespace new_seg
