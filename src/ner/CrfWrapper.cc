#include "ner/CrfWrapper.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "crf/DecoderFeatureIndex.h"
#include "crf/TaggerImpl.h"
#include "lattice/OmniSegItem.h"

namespace new_seg {

namespace {

// A label is a position marker (B, I, E; anything else is outside), one
// separator character and the entity type.
struct Label {
  char marker;
  const char* type;
};

Label ReadLabel(const char* name) {
  if (name == nullptr || name[0] == '\0') return {'O', "PER"};
  if (std::strlen(name) < 3) return {name[0], "PER"};
  return {name[0], name + 2};
}

bool IsInside(char marker) { return marker == 'B' || marker == 'I' || marker == 'E'; }

bool Continues(char previous, char marker) {
  return (previous == 'B' || previous == 'I') && (marker == 'I' || marker == 'E');
}

}  // namespace

std::unique_ptr<CRFPP::DecoderFeatureIndex> CrfWrapper::feature_index_;
uint64_t CrfWrapper::model_generation_ = 0;

bool CrfWrapper::Init(const char* path) {
  if (feature_index_ != nullptr) return true;
  std::unique_ptr<CRFPP::DecoderFeatureIndex> index(new CRFPP::DecoderFeatureIndex);
  if (!index->open(path)) {
    std::fprintf(stderr, "entity model: %s: %s\n", path, index->what());
    return false;
  }
  index->set_cost_factor(1.0);
  feature_index_ = std::move(index);
  ++model_generation_;
  return true;
}

bool CrfWrapper::UnInit() {
  feature_index_.reset();
  return true;
}

// The tagger opens on first use, so that handles that never recognise
// entities do not pay for its lattice.
CrfWrapper::CrfWrapper() = default;

CrfWrapper::~CrfWrapper() = default;

bool CrfWrapper::Ready() {
  if (feature_index_ == nullptr) {
    // The model this tagger read is gone: never touch it again.
    tagger_.reset();
    return false;
  }
  if (tagger_ != nullptr && tagger_generation_ == model_generation_) return true;
  if (tagger_ == nullptr) tagger_.reset(new CRFPP::TaggerImpl);
  if (tagger_->open(feature_index_.get(), 0, 0)) {
    tagger_generation_ = model_generation_;
    return true;
  }
  // Generation 0 never names a model: the tagger tries again next time,
  // and says why it failed once per model.
  tagger_generation_ = 0;
  if (failed_generation_ != model_generation_) std::fprintf(stderr, "%s\n", tagger_->what());
  failed_generation_ = model_generation_;
  return false;
}

void CrfWrapper::Clear() {
  if (Ready()) tagger_->clear();
}

bool CrfWrapper::Add(const char* line, std::size_t /*len*/) {
  return Ready() && tagger_->add(line);
}

bool CrfWrapper::Parse() { return Ready() && tagger_->parse(); }

std::size_t CrfWrapper::Size() const { return tagger_ != nullptr ? tagger_->size() : 0; }

std::size_t CrfWrapper::Result(std::size_t i) const { return tagger_->result(i); }

const char* CrfWrapper::ResultName(std::size_t i) const { return tagger_->y2(i); }

double CrfWrapper::ResultProb(std::size_t i) const { return tagger_->prob(i); }

const char* CrfWrapper::what() const { return tagger_ != nullptr ? tagger_->what() : ""; }

int CrfWrapper::tag2int(const char* type) {
  const struct {
    const char* name;
    int id;
  } kTypes[] = {{"PERSON", kPersonPhraseIdx},       {"PER", kPersonPhraseIdx},
                {"per", kPersonPhraseIdx},          {"ORGANIZATION", kOrganizationPhraseIdx},
                {"ORG", kOrganizationPhraseIdx},    {"org", kOrganizationPhraseIdx},
                {"LOCATION", kLocationPhraseIdx},   {"LOC", kLocationPhraseIdx},
                {"loc", kLocationPhraseIdx}};
  for (const auto& known : kTypes) {
    if (std::strcmp(type, known.name) == 0) return known.id;
  }
  return -1;
}

void CrfWrapper::GenCrfResult(_name_entity_result* results, std::size_t& count,
                              std::size_t capacity, const uint32_t* offsets) const {
  std::size_t tokens = Size();
  if (tokens == 0 || count >= capacity) return;
  const char* previous_type = "";
  char previous_marker = 'O';
  std::size_t run_start = 0;
  std::size_t run_length = 0;
  auto emit = [&](const char* type) {
    int id = tag2int(type);
    if (run_length == 0 || id < 0 || count >= capacity) return;
    _name_entity_result& result = results[count++];
    result.start_pos = offsets[run_start];
    result.len = offsets[run_start + run_length] - offsets[run_start];
    result.type = kNeFound;
    result.mold = static_cast<uint32_t>(id);
    result.geo_code = 0;
  };
  for (std::size_t t = 0; t < tokens && count < capacity; ++t) {
    Label label = ReadLabel(ResultName(t));
    if (std::strcmp(label.type, previous_type) == 0 && Continues(previous_marker, label.marker)) {
      ++run_length;
    } else {
      emit(previous_type);
      run_start = t;
      run_length = IsInside(label.marker) ? 1 : 0;
    }
    previous_type = label.type;
    previous_marker = label.marker;
  }
  emit(previous_type);
}

}  // namespace new_seg
