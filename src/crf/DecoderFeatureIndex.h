// The CRF model as the decoder uses it: a version-200 model file mapped
// read-only and used in place.
//
// Layout (little-endian; Y and T are the byte sizes of the label and
// template blocks, W and P those of the two tries):
//   version (200..299), type, cost factor (double), maxid (weight count),
//   xsize (columns per token), W, P, Y, labels (each zero-terminated), T,
//   templates (each zero-terminated, unigram ones first, zero-padded so
//   that Y + T is a multiple of 4), the word trie, the part-of-speech trie,
//   maxid float weights, then ysize * ysize float transition weights
//   (row: previous label, column: current label). Nothing follows.
// A trie value is the first weight of its observation's block: 10 slots of
// ysize weights for word observations, 6 for part-of-speech ones.
//
// Keys of up to 8 bytes are also put in hash tables (ObservationTable) when
// the first tagger opens on the model, so that processes that load a model
// without using it do not pay for them: the templates look those keys up
// with one probe instead of a walk.
//
// Every size is checked against the bytes it claims before anything is
// read, both tries are checked to stay inside their parts and to point only
// at blocks inside the weights, and every weight must be finite, so that a
// damaged file fails to load instead of being read out of bounds.
#ifndef ZORVSEG_CRF_DECODERFEATUREINDEX_H_
#define ZORVSEG_CRF_DECODERFEATUREINDEX_H_

#include <cstddef>
#include <mutex>
#include <vector>

#include "crf/FeatureIndex.h"
#include "crf/Mmap.h"
#include "crf/ObservationTable.h"
#include "dict/Darts.h"

namespace new_seg {
namespace CRFPP {

class DecoderFeatureIndex : public FeatureIndex {
 public:
  static const unsigned kVersion = 200;

  DecoderFeatureIndex() = default;
  ~DecoderFeatureIndex() override = default;

  // Maps the model file read-only and parses it. False with the reason in
  // what() on failure; the object is then to be discarded.
  bool open(const char* model_filename);
  // Parses a version-200 image; the caller keeps it alive and unchanged.
  bool openFromArray200(const char* image, std::size_t size);

  // Builds the key tables once, whichever thread asks first; without them
  // (memory ran out) every key is walked.
  void PrepareKeyTables();

  int getID(const char* key, bool word) const override;
  void updateRules(UnigramTemplates* templs, std::size_t pos) const override;

  // updateRules in two steps, so that a tagger can start the table reads
  // of several positions before it waits for any: FindKeys notes, per
  // template, what position pos needs (the node strings must be those of
  // pos) and asks for the table slots; ResolveKeys, called for the
  // positions in order, sets the templates' blocks from the notes.
  struct Lookup {
    uint64_t key;
    int value;  // the block, when kind is kFound
    int kind;
  };
  void FindKeys(const UnigramTemplates& templs, std::size_t pos,
                Lookup* lookups) const;
  void ResolveKeys(UnigramTemplates* templs, const Lookup* lookups) const;

  // Transition weight from label prev to label cur.
  float ycost(std::size_t prev, std::size_t cur) const {
    return ycost_[prev * ysize() + cur];
  }
  // The transition weights, ysize rows (previous label) of ysize.
  const float* ycost_matrix() const { return ycost_.data(); }
  const Darts::DoubleArray& da_word() const { return da_word_; }
  const Darts::DoubleArray& da_pos() const { return da_pos_; }

 private:
  class ImageReader;
  bool ReadHeader(ImageReader* reader, uint32_t* word_bytes,
                  uint32_t* pos_bytes);
  bool ReadLabels(ImageReader* reader);
  bool ReadTemplates(ImageReader* reader);
  bool ReadTrie(ImageReader* reader, uint32_t bytes, std::size_t block,
                Darts::DoubleArray* trie);
  bool ReadWeights(ImageReader* reader);
  // The key of a rule's observation string at the current position, packed;
  // false when the string is empty or longer than 8 bytes.
  static bool PackedBody(const UnigramTemplates& templs, const TpRule& rule,
                         uint64_t* key);
  int WalkBody(const UnigramTemplates& templs, const TpRule& rule) const;
  void FindKey(const UnigramTemplates& templs, const TpRule& rule,
               std::size_t pos, Lookup* lookup) const;
  void ResolveKey(const UnigramTemplates& templs, const Lookup& lookup,
                  TpRule* rule) const;

  Darts::DoubleArray da_;  // whole feature strings: unused by version 200
  Darts::DoubleArray da_word_;
  Darts::DoubleArray da_pos_;
  ObservationTable word_keys_;
  ObservationTable pos_keys_;
  bool key_tables_ready_ = false;
  std::once_flag key_tables_once_;
  std::vector<float> ycost_;  // ysize rows of ysize
  uint32_t label_bytes_ = 0;  // Y, while the file is parsed
  Mmap<char> mmap_;
};

}  // namespace CRFPP
}  // namespace new_seg

#endif  // ZORVSEG_CRF_DECODERFEATUREINDEX_H_
