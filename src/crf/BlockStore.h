// An append-only store of fixed-size blocks, reset (not freed) between
// sequences, so that a tagger in steady state allocates nothing.
#ifndef ZORVSEG_CRF_BLOCKSTORE_H_
#define ZORVSEG_CRF_BLOCKSTORE_H_

#include <cstddef>
#include <memory>
#include <new>
#include <vector>

namespace new_seg {
namespace CRFPP {

template <class T>
class BlockStore {
 public:
  explicit BlockStore(std::size_t block_size) : block_size_(block_size) {}

  // Room for n elements, in the current block or the next one; null when n
  // exceeds a block or memory runs out.
  T* alloc(std::size_t n) {
    if (n > block_size_) return nullptr;
    if (blocks_.empty() || used_ + n > block_size_) {
      std::size_t next = blocks_.empty() ? 0 : block_ + 1;
      if (next == blocks_.size()) {
        T* block = new (std::nothrow) T[block_size_];
        if (block == nullptr) return nullptr;
        blocks_.emplace_back(block);
      }
      block_ = next;
      used_ = 0;
    }
    T* p = blocks_[block_].get() + used_;
    used_ += n;
    return p;
  }

  // Forgets everything stored; the blocks are kept for reuse.
  void reset() {
    block_ = 0;
    used_ = 0;
  }

  std::size_t block_size() const { return block_size_; }

 private:
  std::size_t block_size_;
  std::vector<std::unique_ptr<T[]>> blocks_;
  std::size_t block_ = 0;  // block in use
  std::size_t used_ = 0;   // elements used in it
};

}  // namespace CRFPP
}  // namespace new_seg

#endif  // ZORVSEG_CRF_BLOCKSTORE_H_
