// The feature-id lists of a sequence's token positions, each ended by -1.
#ifndef ZORVSEG_CRF_FEATURECACHE_H_
#define ZORVSEG_CRF_FEATURECACHE_H_

#include <cstddef>
#include <vector>

#include "crf/BlockStore.h"
#include "crf/UnigramTemplates.h"

namespace new_seg {
namespace CRFPP {

class FeatureCache {
 public:
  static const std::size_t kBlockSize = 1 << 17;

  FeatureCache() : store_(kBlockSize) { lists_.reserve(MAX_X_NUM); }

  // Room for a list of `count` ids and its end mark, remembered as the next
  // list; null when it cannot fit one block or memory runs out.
  int* alloc(std::size_t count) {
    int* list = store_.alloc(count + 1);
    if (list == nullptr) return nullptr;
    list[count] = -1;
    lists_.push_back(list);
    return list;
  }

  std::size_t size() const { return lists_.size(); }
  const int* operator[](std::size_t i) const { return lists_[i]; }

  void clear() {
    store_.reset();
    lists_.clear();
  }

 private:
  BlockStore<int> store_;
  std::vector<const int*> lists_;
};

}  // namespace CRFPP
}  // namespace new_seg

#endif  // ZORVSEG_CRF_FEATURECACHE_H_
