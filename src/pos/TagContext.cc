#include "pos/TagContext.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <tuple>

#include "dict/DictFile.h"
#include "pos/TagModel.h"

namespace new_seg {

namespace {

const char kWhat[] = "tag context";
const char kMagic[4] = {'Z', 'T', 'C', '1'};
const uint64_t kHeaderBytes = sizeof(kMagic) + sizeof(uint32_t);
static_assert(sizeof(TagContext::Record) == 12, "records are stored as they are in memory");

std::tuple<uint32_t, uint8_t, uint8_t> Key(const TagContext::Record& record) {
  return {record.word_id, record.side, record.tag};
}

bool Before(const TagContext::Record& a, const TagContext::Record& b) { return Key(a) < Key(b); }

}  // namespace

std::string TagContext::Check(const std::vector<Record>& records) {
  for (size_t i = 0; i < records.size(); ++i) {
    const Record& record = records[i];
    std::string where = "record " + std::to_string(i);
    if (record.side >= kSides) return where + " has side " + std::to_string(record.side);
    if (record.tag == 0 || record.tag >= TagModel::PBUFSIZE) {
      return where + " has tag " + std::to_string(record.tag) + ", outside the tag table";
    }
    if (record.word_id > TagModel::kMaxWordId) {
      return where + " has word id " + std::to_string(record.word_id) +
             ", above the largest accepted id";
    }
    if (record.reserved != 0) return where + " has nonzero reserved bytes";
    if (!std::isfinite(record.weight)) return where + " has a weight that is not finite";
    if (i > 0 && !Before(records[i - 1], record)) {
      return where + " is out of order or repeats the one before";
    }
  }
  return std::string();
}

void TagContext::Index() {
  starts_.clear();
  if (records_.empty()) return;
  starts_.resize((size_t{records_.back().word_id} + 1) * kSides + 1);
  size_t record = 0;
  for (size_t slot = 0; slot < starts_.size(); ++slot) {
    while (record < records_.size() &&
           size_t{records_[record].word_id} * kSides + records_[record].side < slot) {
      ++record;
    }
    starts_[slot] = static_cast<uint32_t>(record);
  }
}

bool TagContext::Assign(std::vector<Record> records, std::string* error) {
  std::sort(records.begin(), records.end(), Before);
  *error = Check(records);
  if (!error->empty()) return false;
  records_ = std::move(records);
  Index();
  return true;
}

bool TagContext::Load(const std::string& path) {
  uint64_t size = 0;
  dict_file::UniqueFile file = dict_file::OpenWithSize(path, &size);
  if (file == nullptr) {
    std::fprintf(stderr, "unable to open file: %s\n", path.c_str());
    return false;
  }
  char magic[sizeof(kMagic)] = {};
  uint32_t count = 0;
  if (size < kHeaderBytes || !dict_file::ReadBytes(file.get(), magic, sizeof(magic)) ||
      std::memcmp(magic, kMagic, sizeof(kMagic)) != 0 ||
      !dict_file::ReadBytes(file.get(), &count, sizeof(count))) {
    dict_file::ReportFileError(kWhat, path, "not a tag context file");
    return false;
  }
  if (size - kHeaderBytes != uint64_t{count} * sizeof(Record)) {
    dict_file::ReportFileError(kWhat, path,
                               std::to_string(count) + " records do not fit the " +
                                   std::to_string(size) + " bytes of the file");
    return false;
  }
  try {
    std::vector<Record> records(count);
    if (count != 0 && !dict_file::ReadBytes(file.get(), records.data(), count * sizeof(Record))) {
      dict_file::ReportFileError(kWhat, path, "short read of the records");
      return false;
    }
    std::string error = Check(records);
    if (!error.empty()) {
      dict_file::ReportFileError(kWhat, path, error);
      return false;
    }
    TagContext loaded;
    loaded.records_ = std::move(records);
    loaded.Index();
    *this = std::move(loaded);
  } catch (const std::bad_alloc&) {
    dict_file::ReportFileError(kWhat, path, "out of memory");
    return false;
  }
  return true;
}

bool TagContext::Save(const std::string& path) const {
  std::string error = Check(records_);
  if (!error.empty()) {
    dict_file::ReportFileError(kWhat, path, "not written: " + error);
    return false;
  }
  uint32_t count = static_cast<uint32_t>(records_.size());
  return dict_file::WriteThroughTemporary(kWhat, path, [&](std::FILE* file) {
    return std::fwrite(kMagic, sizeof(kMagic), 1, file) == 1 &&
           std::fwrite(&count, sizeof(count), 1, file) == 1 &&
           (count == 0 || std::fwrite(records_.data(), sizeof(Record), count, file) == count);
  });
}

}  // namespace new_seg
