// The object behind one handle: all per-call working state of one worker
// and the per-sentence pipeline.
#ifndef ZORVSEG_DRIVER_LXSEGMENTOR_H_
#define ZORVSEG_DRIVER_LXSEGMENTOR_H_

#include <cstddef>
#include <cstdint>

#include "driver/InputSpanMap.h"
#include "driver/OmniSegResSaver.h"
#include "driver/SegMode.h"
#include "lattice/OmniSegNet.h"
#include "lattice/OmniSegNetAdjuster.h"
#include "lattice/OmniSegNetBuilder.h"
#include "lattice/OmniSegNetSearcher.h"
#include "lattice/OmniSegSingleWord.h"
#include "ner/NameEntityRecognition.h"
#include "pos/CSegmentTag.h"
#include "text/EncodeConverter.h"
#include "text/SentenceNormalizer.h"
#include "text/SentenceSpliter.h"

namespace new_seg {

class LxSegmentor {
 public:
  explicit LxSegmentor(int seg_mode_value);
  ~LxSegmentor();
  LxSegmentor(const LxSegmentor&) = delete;
  LxSegmentor& operator=(const LxSegmentor&) = delete;

  bool Init();
  void Clear();
  bool segment(const char* text, size_t len, size_t charset);

  // The stages of a call, in order. A benchmark may stop every call after
  // one of them to see what the stages before it cost; calls then succeed
  // with whatever results the stages made (none before kSave).
  enum class Stage { kConvert, kNormalize, kBuild, kSearch, kTag, kEntities, kSave };
  void set_last_stage(Stage stage) { last_stage_ = stage; }
  void ResetSegMode(int32_t seg_mode_value) { seg_mode_.set_seg_mode_value(seg_mode_value); }

  size_t GetBasicResCount() const { return seg_res_saver_.basic_tokens_size(); }
  size_t GetPhraseResCount() const { return seg_res_saver_.phrase_tokens_size(); }
  size_t GetAdditionalResCount() const { return seg_res_saver_.additional_tokens_size(); }
  size_t GetMixResCount() const { return seg_res_saver_.mix_tokens_size(); }
  // Indexes arrive as int and are widened with sign extension, so a
  // negative index is out of range.
  const token_t* GetBasicTokenAt(int index) const;
  const comb_token_t* GetPhraseTokenAt(int index) const;
  const additional_token_t* GetAdditionalTokenAt(int index) const;
  const token_t* GetMixTokenAt(int index) const;
  pWP GetWordPosAt(int index) const;
  const char* GetBasicAt(int index) const;
  const char* GetPhraseAt(int index) const;
  const char* GetMixWordAt(int index) const;
  const token_span_t* GetBasicSpanAt(int index) const;
  const token_span_t* GetPhraseSpanAt(int index) const;
  const token_span_t* GetMixSpanAt(int index) const;
  seg_tokens_t* GetSegResAll() { return seg_res_saver_.GetAllRes(); }

  static constexpr size_t kSegNetCapacity = 1024;

 private:
  // Converts UTF-8 input into utf_to_gbk_buf_; false when out of memory.
  bool ConvertInput(const char* text, size_t len);
  bool GrowInputBuffer(size_t capacity);
  bool SegmentSentence(const char* sentence, size_t len);

  SegMode seg_mode_;
  OmniSegNet seg_net_;
  OmniSegNetBuilder seg_net_builder_;
  OmniSegNetSearcher seg_net_searcher_;
  OmniSegSingleWord seg_single_word_;
  SentenceSpliter sentence_spliter_;
  SentenceNormalizer sentence_normalizer_;
  OmniSegNetAdjuster seg_net_adjuster_;
  EncodeConverter encode_converter_;
  InputSpanMap span_map_;
  OmniSegResSaver seg_res_saver_;
  CSegmentTag seg_tag_;
  NameEntityRecognition ner_;
  char* utf_to_gbk_buf_ = nullptr;
  size_t utf_to_gbk_buf_capacity_ = 0;
  size_t utf_to_gbk_buf_size_ = 0;
  size_t charset_ = 0;
  Stage last_stage_ = Stage::kSave;
  bool inited_ = false;
};

}  // namespace new_seg

#endif  // ZORVSEG_DRIVER_LXSEGMENTOR_H_
