// The glue between entity recognition and the CRF labeller: the
// process-wide entity model, and per handle one tagger opened on it, fed one
// feature line per token of a sentence piece and read back as entity spans.
#ifndef ZORVSEG_NER_CRFWRAPPER_H_
#define ZORVSEG_NER_CRFWRAPPER_H_

#include <cstddef>
#include <cstdint>
#include <memory>

#include "ner/NameEntityResult.h"

namespace new_seg {

namespace CRFPP {
class DecoderFeatureIndex;
class TaggerImpl;
}  // namespace CRFPP

class CrfWrapper {
 public:
  // Loads the entity model; false with a message when it cannot be loaded.
  static bool Init(const char* path);
  // Releases the model; always true. Taggers opened on it reopen on the
  // next model, or fail, the next time they are used.
  static bool UnInit();
  static bool IsLoaded() { return feature_index_ != nullptr; }

  // The tagger opens on the loaded model when first used.
  CrfWrapper();
  virtual ~CrfWrapper();
  CrfWrapper(const CrfWrapper&) = delete;
  CrfWrapper& operator=(const CrfWrapper&) = delete;

  void Clear();
  // One token's feature line; false (nothing added) without a tagger on
  // the loaded model, or when the tagger refuses the line.
  bool Add(const char* line, std::size_t len);
  // Labels the added tokens; false without a tagger on the loaded model.
  bool Parse();
  std::size_t Size() const;
  std::size_t Result(std::size_t i) const;
  const char* ResultName(std::size_t i) const;
  double ResultProb(std::size_t i) const;
  // The tagger's last failure, or "" .
  const char* what() const;

  // The phrase id of an entity type name (PER, PERSON, per, ...), or -1.
  static int tag2int(const char* type);
  // Appends the labelled runs of the last parse to results (count grows,
  // never beyond capacity). offsets[k] is where token k starts in the
  // sentence and offsets[k + 1] where it ends.
  void GenCrfResult(_name_entity_result* results, std::size_t& count, std::size_t capacity,
                    const uint32_t* offsets) const;

 private:
  // Whether the tagger is open on the loaded model, reopening it on a model
  // loaded since it was opened.
  bool Ready();

  static std::unique_ptr<CRFPP::DecoderFeatureIndex> feature_index_;
  // Counts the models loaded, so that a tagger knows whether its model is
  // still the loaded one.
  static uint64_t model_generation_;

  std::unique_ptr<CRFPP::TaggerImpl> tagger_;
  uint64_t tagger_generation_ = 0;
  uint64_t failed_generation_ = 0;
};

}  // namespace new_seg

#endif  // ZORVSEG_NER_CRFWRAPPER_H_
