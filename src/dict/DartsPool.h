// Containers used only while a trie is being built. Allocation failures are
// turned into the trie's own exception so that a build reports them in the
// same way as bad input.
#ifndef ZORVSEG_DICT_DARTSPOOL_H_
#define ZORVSEG_DICT_DARTSPOOL_H_

#include <cstddef>
#include <new>
#include <vector>

#include "dict/DartsUnit.h"

namespace Darts {
namespace Details {

// Owned fixed-size array.
template <class T>
class AutoArray {
 public:
  AutoArray() = default;
  AutoArray(const AutoArray&) = delete;
  AutoArray& operator=(const AutoArray&) = delete;

  void reset(std::size_t size) {
    try {
      std::vector<T>(size).swap(items_);
    } catch (const std::bad_alloc&) {
      ZS_TRIE_THROW("failed to resize pool: std::bad_alloc");
    }
  }
  void clear() { std::vector<T>().swap(items_); }
  bool empty() const { return items_.empty(); }
  T& operator[](std::size_t i) { return items_[i]; }
  const T& operator[](std::size_t i) const { return items_[i]; }

 private:
  std::vector<T> items_;
};

// Growable array; capacity doubles as it grows.
template <class T>
class AutoPool {
 public:
  AutoPool() = default;
  AutoPool(const AutoPool&) = delete;
  AutoPool& operator=(const AutoPool&) = delete;

  std::size_t size() const { return items_.size(); }
  bool empty() const { return items_.empty(); }
  T& operator[](std::size_t i) { return items_[i]; }
  const T& operator[](std::size_t i) const { return items_[i]; }
  T& back() { return items_.back(); }
  const T* data() const { return items_.data(); }

  void append(const T& item) {
    try {
      items_.push_back(item);
    } catch (const std::bad_alloc&) {
      ZS_TRIE_THROW("failed to resize pool: std::bad_alloc");
    }
  }
  void resize(std::size_t size, const T& fill = T()) {
    try {
      items_.resize(size, fill);
    } catch (const std::bad_alloc&) {
      ZS_TRIE_THROW("failed to resize pool: std::bad_alloc");
    }
  }
  void reserve(std::size_t size) {
    try {
      items_.reserve(size);
    } catch (const std::bad_alloc&) {
      ZS_TRIE_THROW("failed to resize pool: std::bad_alloc");
    }
  }
  void clear() { std::vector<T>().swap(items_); }

 private:
  std::vector<T> items_;
};

template <class T>
class AutoStack {
 public:
  bool empty() const { return pool_.empty(); }
  std::size_t size() const { return pool_.size(); }
  T& top() { return pool_.back(); }
  void push(const T& item) { pool_.append(item); }
  void pop() { pool_.resize(pool_.size() - 1); }
  void clear() { pool_.clear(); }

 private:
  AutoPool<T> pool_;
};

// Bit vector with a rank index: rank(i) is the number of set bits at
// positions 0..i.
class BitVector {
 public:
  bool operator[](std::size_t i) const {
    return ((words_[i / 32] >> (i % 32)) & 1u) != 0;
  }
  void set(std::size_t i, bool bit) {
    uint32_t mask = 1u << (i % 32);
    if (bit) {
      words_[i / 32] |= mask;
    } else {
      words_[i / 32] &= ~mask;
    }
  }
  void append() {
    if (size_ % 32 == 0) words_.append(0);
    ++size_;
  }
  std::size_t size() const { return size_; }
  std::size_t num_ones() const { return num_ones_; }

  std::size_t rank(std::size_t i) const {
    uint32_t below = words_[i / 32] & (~0u >> (31 - i % 32));
    return ranks_[i / 32] + PopCount(below);
  }

  void build() {
    try {
      ranks_.reset(words_.size());
    } catch (const Exception&) {
      ZS_TRIE_THROW("failed to build rank index: std::bad_alloc");
    }
    num_ones_ = 0;
    for (std::size_t i = 0; i < words_.size(); ++i) {
      ranks_[i] = num_ones_;
      num_ones_ += PopCount(words_[i]);
    }
  }

  void clear() {
    words_.clear();
    ranks_.clear();
    size_ = 0;
    num_ones_ = 0;
  }

 private:
  static std::size_t PopCount(uint32_t word) {
    return static_cast<std::size_t>(__builtin_popcount(word));
  }

  AutoPool<uint32_t> words_;
  AutoArray<std::size_t> ranks_;
  std::size_t size_ = 0;
  std::size_t num_ones_ = 0;
};

}  // namespace Details
}  // namespace Darts

#endif  // ZORVSEG_DICT_DARTSPOOL_H_
