// Word-context weights of the part-of-speech tagger (tag_context.dat): how
// much the word before or after a word speaks for each of its tags. A first
// order tag model sees its neighbours only through their tags; "发展" after
// "经济" and before "速度" is a noun of action (vn), before "经济" a verb
// (v), whatever tags the neighbours take. The weights are added to a word's
// emission weights, so the search stays the same.
//
// File: the bytes "ZTC1", a 32-bit record count, then the records of 12
// bytes each: word id (u32), side (u8: 0 the word before, 1 the word
// after), tag (u8), two zero bytes, weight (float); little-endian, sorted
// by word id, side and tag with no triple given twice, so that both sides
// of a word lie together.
#ifndef ZORVSEG_POS_TAGCONTEXT_H_
#define ZORVSEG_POS_TAGCONTEXT_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace new_seg {

class TagContext {
 public:
  enum Side : uint8_t { kWordBefore = 0, kWordAfter = 1 };
  static constexpr size_t kSides = 2;

  struct Record {
    uint32_t word_id;
    uint8_t side;
    uint8_t tag;
    uint16_t reserved;  // 0
    float weight;
  };

  // The weights a neighbour with one id gives the tags of the word beside it.
  struct Weights {
    const Record* begin;
    const Record* end;
    bool empty() const { return begin == end; }
  };

  // Replaces the weights with the file's; false with a message naming the
  // file when it is missing, damaged or does not fit its own size (the
  // weights are then unchanged).
  bool Load(const std::string& path);
  // Writes the layout Load reads, through a temporary file renamed when
  // complete; false (with a message) for records Load would refuse.
  bool Save(const std::string& path) const;
  // Takes records in any order; false with `error` set for records the
  // file could not hold (a pair twice, a tag outside the tag table, a
  // weight that is not finite).
  bool Assign(std::vector<Record> records, std::string* error);

  // What word `word_id` on `side` of a word gives that word's tags.
  Weights Find(Side side, uint32_t word_id) const {
    size_t slot = size_t{word_id} * kSides + side;
    if (slot + 1 >= starts_.size()) return {nullptr, nullptr};
    return {records_.data() + starts_[slot], records_.data() + starts_[slot + 1]};
  }
  // Where Find reads for `word_id`, to fetch it early; null when nowhere.
  const void* IndexOf(uint32_t word_id) const {
    size_t slot = size_t{word_id} * kSides;
    return slot < starts_.size() ? &starts_[slot] : nullptr;
  }
  // Where Find(side, word_id) starts reading, to fetch it early; null when
  // nowhere. Reads the index entry (fetch that first: IndexOf).
  const Record* FirstRecord(uint32_t word_id, Side side) const {
    size_t slot = size_t{word_id} * kSides + side;
    return slot + 1 < starts_.size() ? records_.data() + starts_[slot] : nullptr;
  }
  size_t size() const { return records_.size(); }
  const std::vector<Record>& records() const { return records_; }

 private:
  static std::string Check(const std::vector<Record>& records);
  void Index();

  std::vector<Record> records_;
  // By word id and side (id * kSides + side): where those records start;
  // one entry more, so that the next entry is where they end.
  std::vector<uint32_t> starts_;
};

}  // namespace new_seg

#endif  // ZORVSEG_POS_TAGCONTEXT_H_
