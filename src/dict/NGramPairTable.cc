#include "dict/NGramPairTable.h"

#include <algorithm>
#include <cstring>

namespace new_seg {

namespace {

// Pair keys: 4 bytes of the first id, 4 of the second (little-endian), each
// 0 byte written as 0xFF and flagged in a ninth byte when there is any.
const std::size_t kIdBytes = 4;
const unsigned char kZeroByte = 0xFF;

float CostFromBits(long value) {
  uint32_t bits = static_cast<uint32_t>(value);
  float cost;
  std::memcpy(&cost, &bits, sizeof cost);
  return cost;
}

}  // namespace

// Reads the pairs of the tries. The walk follows, over the eight id bytes,
// only byte values some covered id can have, and last the flag byte that
// says which 0xFF bytes stand for 0. Where a byte may take any value (the
// low bytes of an id) the node's children are listed: a double-array
// node's children are the units whose label, XORed with their own index,
// gives the node's base (its index XOR its offset), so one sweep over a
// trie's units lists the children of every base. Where only a few values
// are possible they are tried one by one, as a lookup would. Indexes are
// checked against the unit count and the walk is bounded, so a damaged
// file ends the build instead of reading past the array or walking on and
// on.
class NGramPairTable::Reader {
 public:
  Reader(std::size_t word_count, std::vector<Pair>* out, std::vector<uint32_t>* singles)
      : word_count_(word_count), out_(out), singles_(singles) {
    for (std::size_t b = 0; b < kIdBytes; ++b) SetLabels(b, &labels_[b]);
  }

  bool exhausted() const { return exhausted_; }

  // Every pair of trie `index` whose first id is covered; then, when
  // `extra_first` is not 0, every pair whose first id is that one. Keys
  // whose first byte belongs to another trie are never looked up there and
  // are left out.
  void ReadTrie(const Darts::DoubleArray& trie, std::size_t index, uint32_t extra_first) {
    if (!Open(trie)) return;
    visits_left_ = 32 * size_ + (std::size_t{1} << 20);
    std::vector<Path>& roots = levels_[1];
    roots.clear();
    ForEachChild(0, labels_[0], [&](std::size_t child, unsigned char label) {
      if ((label & 3u) != index) return;
      roots.push_back({label, static_cast<uint32_t>(child), label == kZeroByte ? 1u : 0u});
    });
    ReadLevel(1, roots.data(), roots.size());
    if (extra_first != 0) ReadFirst(extra_first);
  }

 private:
  typedef Darts::Details::unit_type unit_type;

  // The values byte b of a covered id can take: any of 1..255 (`any`), or
  // 0xFF (standing for 0) and 1..top, listed. When 0xFF is not a value of
  // its own there, a 0xFF byte must be flagged as a 0.
  struct Labels {
    bool any = false;
    std::vector<unsigned char> list;
    bool ff_is_zero = false;
  };

  void SetLabels(std::size_t b, Labels* labels) {
    std::size_t top = word_count_ >> (8 * b);
    if (top >= 0xFF) {
      labels->any = true;
      return;
    }
    labels->list.push_back(kZeroByte);
    for (unsigned c = 1; c <= top; ++c) labels->list.push_back(static_cast<unsigned char>(c));
    labels->ff_is_zero = true;
  }

  // Lists the labels of the children of every base: a counting sort of the
  // units by their index XOR label (a child sits at base XOR label). Value
  // units and units labelled 0 are nobody's child.
  bool Open(const Darts::DoubleArray& trie) {
    units_ = static_cast<const unit_type*>(trie.array());
    size_ = trie.size();
    if (size_ == 0 || size_ >= UINT32_MAX - 256 || (units_[0] & 0x80000000u) != 0) return false;
    child_begin_.assign(size_ + 257, 0);
    for (std::size_t j = 0; j < size_; ++j) {
      unsigned label = ChildLabel(units_[j]);
      if (label != 0) ++child_begin_[(j ^ label) + 1];
    }
    for (std::size_t base = 1; base < child_begin_.size(); ++base) {
      child_begin_[base] += child_begin_[base - 1];
    }
    child_labels_.resize(child_begin_.back());
    std::vector<uint32_t> next(child_begin_.begin(), child_begin_.end() - 1);
    for (std::size_t j = 0; j < size_; ++j) {
      unsigned label = ChildLabel(units_[j]);
      if (label != 0) child_labels_[next[j ^ label]++] = static_cast<unsigned char>(label);
    }
    return true;
  }

  // The label by which a unit is reached, or 0 when it is not a node.
  static unsigned ChildLabel(unit_type unit) {
    return (unit & 0x80000000u) != 0 ? 0u : unit & 0xFFu;
  }

  std::size_t BaseOf(std::size_t id) const {
    return id ^ Darts::Details::UnitOffset(units_[id]);
  }

  bool Visit() {
    if (visits_left_ == 0) exhausted_ = true;
    if (exhausted_) return false;
    --visits_left_;
    return true;
  }

  // The child of a node by one label, as a lookup steps.
  bool StepTo(std::size_t id, unsigned char label, std::size_t* child) const {
    std::size_t next = BaseOf(id) ^ label;
    if (next >= size_ || Darts::Details::UnitLabel(units_[next]) != label) return false;
    *child = next;
    return true;
  }

  // Calls visit(child, label) for the children of a node whose label byte
  // b of an id may have.
  template <typename VisitChild>
  void ForEachChild(std::size_t id, const Labels& labels, VisitChild visit) {
    if (!labels.any) {
      for (unsigned char label : labels.list) {
        std::size_t child = 0;
        if (StepTo(id, label, &child) && Visit()) visit(child, label);
        if (exhausted_) return;
      }
      return;
    }
    std::size_t base = BaseOf(id);
    if (base + 1 >= child_begin_.size()) return;
    for (uint32_t k = child_begin_[base]; k < child_begin_[base + 1]; ++k) {
      unsigned char label = child_labels_[k];
      if (Visit()) visit(base ^ label, label);
      if (exhausted_) return;
    }
  }

  void ReadFirst(uint32_t first) {
    std::size_t id = 0;
    uint64_t bytes = 0;
    unsigned ff_mask = 0;
    for (std::size_t b = 0; b < kIdBytes; ++b) {
      unsigned char label = static_cast<unsigned char>(first >> (8 * b));
      if (label == 0) label = kZeroByte;
      if (!StepTo(id, label, &id)) return;
      bytes |= uint64_t{label} << (8 * b);
      if (label == kZeroByte) ff_mask |= 1u << b;
    }
    only_first_ = first;
    Path path = {bytes, static_cast<uint32_t>(id), ff_mask};
    ReadLevel(kIdBytes, &path, 1);
    only_first_ = 0;
  }

  // The key so far: its bytes, the node they lead to and the positions
  // holding 0xFF.
  struct Path {
    uint64_t bytes;
    uint32_t id;
    uint32_t ff_mask;
  };

  // Follows paths ending at key byte `depth` (0-3 first id, 4-7 second id)
  // a level at a time, a batch of paths at once: the reads of different
  // paths do not wait on one another, so their cache misses overlap, where
  // a depth-first walk would take them one after the other.
  void ReadLevel(std::size_t depth, const Path* paths, std::size_t count) {
    if (depth == 2 * kIdBytes) {
      for (std::size_t i = 0; i < count && !exhausted_; ++i) {
        Prefetch(paths, count, i);
        ReadEnd(paths[i].id, paths[i].bytes, paths[i].ff_mask);
      }
      return;
    }
    std::vector<Path>& next = levels_[depth + 1];
    const Labels& labels = labels_[depth % kIdBytes];
    for (std::size_t i = 0; i < count && !exhausted_;) {
      next.clear();
      for (; i < count && next.size() < kBatch && !exhausted_; ++i) {
        Prefetch(paths, count, i);
        const Path& path = paths[i];
        ForEachChild(path.id, labels, [&](std::size_t child, unsigned char label) {
          unsigned mask = path.ff_mask | (label == kZeroByte ? 1u << depth : 0u);
          next.push_back({path.bytes | uint64_t{label} << (8 * depth),
                          static_cast<uint32_t>(child), mask});
        });
      }
      ReadLevel(depth + 1, next.data(), next.size());
    }
  }

  // Starts fetching what the paths a few places ahead will read.
  void Prefetch(const Path* paths, std::size_t count, std::size_t i) const {
    const std::size_t kUnitsAhead = 8, kChildrenAhead = 4;
    if (i + kUnitsAhead < count) PrefetchForRead(&units_[paths[i + kUnitsAhead].id]);
    if (i + kChildrenAhead < count) {
      std::size_t base = BaseOf(paths[i + kChildrenAhead].id);
      if (base < size_) PrefetchForRead(&units_[base]);
      if (base + 1 < child_begin_.size()) PrefetchForRead(&child_begin_[base]);
    }
  }

  // After the eight id bytes: the key ends here when no byte stood for 0;
  // otherwise a flag byte marks the 0xFF bytes that did. A 0xFF where no
  // covered id has the value 0xFF must be flagged; elsewhere it may be
  // either, so every such choice is tried.
  void ReadEnd(std::size_t id, uint64_t bytes, unsigned ff_mask) {
    unsigned forced = 0;
    for (std::size_t depth = 0; depth < 2 * kIdBytes; ++depth) {
      if (labels_[depth % kIdBytes].ff_is_zero) forced |= 1u << depth;
    }
    forced &= ff_mask;
    unsigned optional = ff_mask & ~forced;
    for (unsigned subset = optional;; subset = (subset - 1) & optional) {
      unsigned flags = forced | subset;
      std::size_t end = id;
      if (flags == 0 || StepTo(id, static_cast<unsigned char>(flags), &end)) {
        AddTerminal(end, bytes, flags);
      }
      if (exhausted_ || subset == 0) return;
    }
  }

  void AddTerminal(std::size_t id, uint64_t bytes, unsigned zero_flags) {
    unit_type unit = units_[id];
    std::size_t value_id = id ^ Darts::Details::UnitOffset(unit);
    if (Darts::Details::UnitHasLeaf(unit) && value_id < size_) {
      Add(bytes, zero_flags, Darts::Details::UnitValue(units_[value_id]));
    }
  }

  void Add(uint64_t bytes, unsigned zero_flags, uint32_t value) {
    for (std::size_t b = 0; b < 2 * kIdBytes; ++b) {
      if (zero_flags & (1u << b)) bytes &= ~(uint64_t{0xFF} << (8 * b));
    }
    uint32_t first = static_cast<uint32_t>(bytes);
    uint32_t second = static_cast<uint32_t>(bytes >> 32);
    bool first_covered = only_first_ != 0 ? first == only_first_
                                          : first != 0 && first <= word_count_;
    if (!first_covered || second > word_count_) return;
    if (second == 0) {
      if (only_first_ == 0) (*singles_)[first] = value;
      return;
    }
    if (out_->size() >= kMaxPairs) {
      exhausted_ = true;
      return;
    }
    out_->push_back({first, second, CostFromBits(value)});
  }

  std::size_t word_count_;
  std::vector<Pair>* out_;
  std::vector<uint32_t>* singles_;
  Labels labels_[kIdBytes];
  const unit_type* units_ = nullptr;
  std::size_t size_ = 0;
  std::vector<uint32_t, HugePageAllocator<uint32_t>> child_begin_;  // by base: its first label
  std::vector<unsigned char> child_labels_;  // grouped by base
  static const std::size_t kBatch = 1024;
  std::vector<Path> levels_[2 * kIdBytes + 1];  // paths of each depth, a batch at a time
  std::size_t visits_left_ = 0;
  uint32_t only_first_ = 0;
  bool exhausted_ = false;
};

bool NGramPairTable::Build(const Darts::DoubleArray* tries, std::size_t trie_count,
                           std::size_t word_count, EncodeFn encode,
                           std::vector<uint32_t>* single_values) {
  Clear();
  if (word_count >= static_cast<std::size_t>(kSentenceStart) - 1) return false;
  single_values->assign(word_count + 1, kNoValue);
  char key[16];
  encode(static_cast<uint32_t>(kSentenceStart), 1, key);
  std::size_t start_trie = static_cast<unsigned char>(key[0]) & 3u;
  std::vector<Pair> pairs;
  {
    // The reader's indexes are freed before the table is laid out: load
    // runs other steps meanwhile, and the peak is what counts.
    Reader reader(word_count, &pairs, single_values);
    for (std::size_t i = 0; i < trie_count && !reader.exhausted(); ++i) {
      reader.ReadTrie(tries[i], i, i == start_trie ? static_cast<uint32_t>(kSentenceStart) : 0);
    }
    if (reader.exhausted()) return false;
  }
  Lay(word_count, pairs);
  return true;
}

// Two slots or more per pair keep the probe runs short.
void NGramPairTable::Lay(std::size_t word_count, const std::vector<Pair>& pairs) {
  unsigned bits = 4;
  while ((std::size_t{1} << bits) < 2 * pairs.size()) ++bits;
  slots_.assign(std::size_t{1} << bits, Slot{0, 0, 0.0f});
  mask_ = slots_.size() - 1;
  shift_ = 64 - bits;
  has_pairs_.assign(word_count / 64 + 1, 0);
  for (const Pair& pair : pairs) {
    std::size_t slot = Home(Key(pair.first, pair.second));
    while (slots_[slot].first != 0) slot = (slot + 1) & mask_;
    slots_[slot] = pair;
    std::size_t bit = pair.first == static_cast<uint32_t>(kSentenceStart) ? 0 : pair.first;
    has_pairs_[bit / 64] |= uint64_t{1} << (bit % 64);
  }
  word_count_ = word_count;
  pair_count_ = pairs.size();
}

void NGramPairTable::Clear() {
  word_count_ = 0;
  pair_count_ = 0;
  std::vector<Slot, HugePageAllocator<Slot>>().swap(slots_);
  std::vector<uint64_t>().swap(has_pairs_);
  mask_ = 0;
  shift_ = 64;
}

std::size_t NGramPairTable::memory_bytes() const {
  return slots_.capacity() * sizeof(Slot) + has_pairs_.capacity() * sizeof(uint64_t);
}

}  // namespace new_seg
