// A tagger's per-sequence storage: token text and feature lists, kept in
// blocks that clear() recycles.
#ifndef ZORVSEG_CRF_ALLOCATOR_H_
#define ZORVSEG_CRF_ALLOCATOR_H_

#include <cstddef>
#include <cstring>

#include "crf/BlockStore.h"
#include "crf/FeatureCache.h"

namespace new_seg {
namespace CRFPP {

class Allocator {
 public:
  static const std::size_t kStringBlockSize = 8192;

  Allocator() : strings_(kStringBlockSize) {}

  // A copy of the first `size` bytes of text, zero-terminated; null when it
  // does not fit one block (size 8192 or more) or memory runs out.
  char* strdup(const char* text, std::size_t size) {
    char* copy = strings_.alloc(size + 1);
    if (copy == nullptr) return nullptr;
    std::memcpy(copy, text, size);
    copy[size] = '\0';
    return copy;
  }

  FeatureCache* feature_cache() { return &feature_cache_; }

  void clear() {
    strings_.reset();
    feature_cache_.clear();
  }

 private:
  BlockStore<char> strings_;
  FeatureCache feature_cache_;
};

}  // namespace CRFPP
}  // namespace new_seg

#endif  // ZORVSEG_CRF_ALLOCATOR_H_
