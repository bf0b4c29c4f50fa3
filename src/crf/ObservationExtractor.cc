#include "crf/ObservationExtractor.h"

namespace new_seg {
namespace CRFPP {

ObservationExtractor::ObservationExtractor(
    const std::vector<std::string>& unigram_templates, std::size_t xsize) {
  templs_.Init(1, xsize, static_cast<std::size_t>(-1), false);
  for (const std::string& templ : unigram_templates) {
    if (!templs_.add(templ.c_str())) dropped_.push_back(templ);
  }
}

void ObservationExtractor::Extract(
    const TokenTable& tokens,
    std::vector<std::vector<Observation>>* out) const {
  // The columns as the tagger holds them; a missing column reads as "".
  std::vector<TokenRow> rows(tokens.size());
  for (std::size_t t = 0; t < tokens.size(); ++t) {
    for (std::size_t c = 0; c < MAX_X_SIZE; ++c) {
      rows[t][c] = c < tokens[t].size() ? tokens[t][c].c_str() : "";
    }
  }
  out->resize(tokens.size());
  for (std::size_t pos = 0; pos < tokens.size(); ++pos) {
    ExtractAt(rows.data(), rows.size(), pos, &(*out)[pos]);
  }
}

void ObservationExtractor::ExtractAt(const TokenRow* rows, std::size_t xnum,
                                     std::size_t pos,
                                     std::vector<Observation>* out) const {
  out->clear();
  for (const TpRule& rule : templs_.rules) {
    Observation observation;
    observation.slot = templs_.slot(rule);
    observation.trie_tag = rule.size > 2 ? rule.trie_tag : kWordTrie;
    for (std::size_t i = 2; i < rule.size; ++i) {
      const TpNode& node = templs_.nodes[rule.nodes[i]];
      if (node.type == 0) {
        observation.key += node.key;
        continue;
      }
      std::size_t length = 0;
      observation.key += UnigramTemplates::getFeatureStr(
          node, rows, xnum, pos, &length);
    }
    out->push_back(observation);
  }
}

}  // namespace CRFPP
}  // namespace new_seg
