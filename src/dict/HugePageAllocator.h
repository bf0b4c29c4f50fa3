// Memory for the large tables that the search reads at random (trie units,
// the pair table, the tagger's word entries). With 4 KB pages every lookup
// in a table of megabytes also misses the address-translation cache; blocks
// of 2 MB or more are therefore aligned to 2 MB and the kernel is asked to
// back them with huge pages where it can. Smaller blocks come from the
// ordinary allocator.
#ifndef ZORVSEG_DICT_HUGEPAGEALLOCATOR_H_
#define ZORVSEG_DICT_HUGEPAGEALLOCATOR_H_

#include <sys/mman.h>

#include <cstddef>
#include <cstdlib>
#include <new>

namespace new_seg {

constexpr std::size_t kHugePageBytes = std::size_t{2} << 20;

// Null when out of memory.
inline void* AllocateLarge(std::size_t bytes) noexcept {
  if (bytes < kHugePageBytes) return ::operator new(bytes, std::nothrow);
  void* block = nullptr;
  if (posix_memalign(&block, kHugePageBytes, bytes) != 0) return nullptr;
#ifdef MADV_HUGEPAGE
  madvise(block, bytes, MADV_HUGEPAGE);  // advice only: a refusal changes nothing
#endif
  return block;
}

// `bytes` must be the size the block was allocated with.
inline void FreeLarge(void* block, std::size_t bytes) noexcept {
  if (block == nullptr) return;
  if (bytes < kHugePageBytes) {
    ::operator delete(block);
  } else {
    std::free(block);
  }
}

template <class T>
struct HugePageAllocator {
  typedef T value_type;

  HugePageAllocator() = default;
  template <class U>
  HugePageAllocator(const HugePageAllocator<U>&) noexcept {}

  T* allocate(std::size_t n) {
    if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_alloc();
    void* block = AllocateLarge(n * sizeof(T));
    if (block == nullptr) throw std::bad_alloc();
    return static_cast<T*>(block);
  }
  void deallocate(T* block, std::size_t n) noexcept { FreeLarge(block, n * sizeof(T)); }

  template <class U>
  bool operator==(const HugePageAllocator<U>&) const noexcept {
    return true;
  }
  template <class U>
  bool operator!=(const HugePageAllocator<U>&) const noexcept {
    return false;
  }
};

}  // namespace new_seg

#endif  // ZORVSEG_DICT_HUGEPAGEALLOCATOR_H_
