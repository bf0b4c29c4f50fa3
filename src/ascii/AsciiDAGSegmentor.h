// The language-model reading of an ASCII run: a graph of every dictionary
// word (English or pinyin) starting at every position, and the path whose
// summed log weights are highest.
#ifndef ZORVSEG_ASCII_ASCIIDAGSEGMENTOR_H_
#define ZORVSEG_ASCII_ASCIIDAGSEGMENTOR_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "ascii/AsciiDict.h"

namespace new_seg {

class AsciiDAGSegmentor {
 public:
  // A part of the run: [begin, end) in bytes from the run start.
  struct Part {
    uint64_t begin;
    uint64_t end;
  };

  AsciiDAGSegmentor();

  // Cuts text into the best-scoring parts (parts is replaced) and returns
  // the path's score.
  double Segment(AsciiType type, const char* text, std::size_t len, std::vector<Part>& parts);
  // Whether a pinyin reading has too many one-byte parts to be believed.
  bool IsInvalid(AsciiType type, const std::vector<Part>& parts) const;
  // English reading: joins each stretch of one-byte parts that are not
  // punctuation into one part. True when the list changed.
  bool AdjustParts(AsciiType type, const char* text, std::vector<Part>& parts) const;

 private:
  struct _Node {
    uint64_t end;
    double prob;
  };
  struct PathNode {
    uint64_t end;
    double prob_sum;
  };

  void BuildGraph(AsciiType type, const char* text, std::size_t len);
  void FindBestPath(AsciiType type, std::size_t len);

  bool punctations_[256];
  // The graph's edges position by position: those of position i are
  // edges_[edge_begin_[i], edge_begin_[i + 1]). Reused across calls.
  std::vector<_Node> edges_;
  std::vector<std::size_t> edge_begin_;
  std::vector<PathNode> route_;
  std::vector<AsciiResult> lookup_;
};

}  // namespace new_seg

#endif  // ZORVSEG_ASCII_ASCIIDAGSEGMENTOR_H_
