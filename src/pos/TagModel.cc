#include "pos/TagModel.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <utility>

#include "dict/DictFile.h"

namespace new_seg {

namespace {

const char kWhat[] = "tag model";

// Reads little-endian sections, never past the end the file size allows, so
// a count that does not fit the file fails before anything is allocated.
class SectionReader {
 public:
  SectionReader(std::FILE* file, uint64_t size) : file_(file), left_(size) {}

  bool ReadInt32(int32_t* value) { return Read(value, sizeof(*value)); }
  // A count that must be non-negative and leave room for count * unit bytes.
  bool ReadCount(uint64_t unit_bytes, uint64_t* count, std::string* error) {
    int32_t value = 0;
    if (!ReadInt32(&value)) {
      *error = "file ends before a section count";
      return false;
    }
    if (value < 0 || static_cast<uint64_t>(value) * unit_bytes > left_) {
      *error = "count " + std::to_string(value) + " does not fit the " +
               std::to_string(left_) + " bytes left in the file";
      return false;
    }
    *count = static_cast<uint64_t>(value);
    return true;
  }
  template <typename T>
  bool ReadArray(std::vector<T>* items, uint64_t count) {
    items->resize(count);
    return count == 0 || Read(items->data(), count * sizeof(T));
  }
  uint64_t left() const { return left_; }

 private:
  bool Read(void* buffer, uint64_t bytes) {
    if (bytes > left_ || std::fread(buffer, 1, bytes, file_) != bytes) return false;
    left_ -= bytes;
    return true;
  }

  std::FILE* file_;
  uint64_t left_;
};

// A list must end with its 0 byte inside the array after at most `most`
// entries; anything else would let the tagger read past the list or
// overflow its per-word candidate arrays.
std::string CheckList(const std::vector<uint8_t>& lists, uint32_t start, const char* kind,
                      size_t record) {
  // Every record is checked at load: the message is put together only for
  // a bad one.
  auto where = [&] { return std::string(kind) + " list of record " + std::to_string(record); };
  if (start >= lists.size()) {
    return where() + " starts at " + std::to_string(start) + " beyond the " +
           std::to_string(lists.size()) + " list bytes";
  }
  for (size_t k = 0; start + k < lists.size(); ++k) {
    if (lists[start + k] == 0) return std::string();
    if (k == TagModel::MAX_POS_ROLE_TYPE) {
      return where() + " has more than " + std::to_string(TagModel::MAX_POS_ROLE_TYPE) +
             " entries";
    }
  }
  return where() + " runs off the end of the list bytes";
}

std::string CheckIds(const std::vector<uint8_t>& lists, size_t limit, const char* kind) {
  for (size_t i = 0; i < lists.size(); ++i) {
    if (lists[i] >= limit) {
      return std::string(kind) + " id " + std::to_string(lists[i]) + " at list byte " +
             std::to_string(i) + " is outside the " + std::to_string(limit) +
             "-entry transition table";
    }
  }
  return std::string();
}

template <typename T>
bool WriteArray(std::FILE* file, const std::vector<T>& items) {
  return items.empty() || std::fwrite(items.data(), sizeof(T), items.size(), file) == items.size();
}

bool WriteInt32(std::FILE* file, int32_t value) {
  return std::fwrite(&value, sizeof(value), 1, file) == 1;
}

bool WriteLists(std::FILE* file, const std::vector<uint8_t>& lists,
                const std::vector<float>& weights) {
  return WriteInt32(file, static_cast<int32_t>(lists.size())) && WriteArray(file, lists) &&
         WriteArray(file, weights);
}

bool SameBits(const std::vector<prob_t>& a, const std::vector<prob_t>& b) {
  return a.size() == b.size() &&
         (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(prob_t)) == 0);
}

bool SameBits(const std::vector<float>& a, const std::vector<float>& b) {
  return a.size() == b.size() &&
         (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0);
}

bool ReadLists(SectionReader* reader, std::vector<uint8_t>* lists, std::vector<float>* weights,
               std::string* error) {
  uint64_t count = 0;
  if (!reader->ReadCount(1 + sizeof(float), &count, error)) return false;
  if (!reader->ReadArray(lists, count) || !reader->ReadArray(weights, count)) {
    *error = "short read of a list section";
    return false;
  }
  return true;
}

bool ReadTable(SectionReader* reader, size_t dimension, std::vector<prob_t>* table,
               std::string* error) {
  int32_t unused = 0;
  if (!reader->ReadInt32(&unused) || !reader->ReadArray(table, dimension * dimension)) {
    *error = "file ends inside the " + std::to_string(dimension) + " x " +
             std::to_string(dimension) + " transition table";
    return false;
  }
  return true;
}

bool ReadNames(SectionReader* reader, std::set<_name_list_t>* names, std::string* error) {
  uint64_t count = 0;
  if (!reader->ReadCount(sizeof(int32_t), &count, error)) return false;
  std::vector<uint32_t> values;
  if (!reader->ReadArray(&values, count)) {
    *error = "short read of the name triples";
    return false;
  }
  names->clear();
  for (size_t i = 0; i + 3 <= values.size(); i += 3) {
    names->insert({values[i], values[i + 1], values[i + 2]});
  }
  return true;
}

bool ReadSections(SectionReader* reader, TagModel* model, std::string* error) {
  uint64_t words = 0;
  if (!reader->ReadCount(sizeof(word_tag_prob_t), &words, error)) return false;
  if (!reader->ReadArray(&model->m_word_info, words)) {
    *error = "short read of the word records";
    return false;
  }
  if (!ReadLists(reader, &model->m_Pos, &model->m_PosProb, error) ||
      !ReadLists(reader, &model->m_Rol, &model->m_RolProb, error) ||
      !ReadTable(reader, TagModel::PBUFSIZE, &model->m_pPosTTLM, error) ||
      !ReadTable(reader, TagModel::RBUFSIZE, &model->m_pRoleTTLM, error) ||
      !ReadNames(reader, &model->m_name_list, error)) {
    return false;
  }
  if (reader->left() != 0) {
    *error = std::to_string(reader->left()) + " bytes after the last section";
    return false;
  }
  return true;
}

// Lists end with a 0 entry, which is where readers stop.
uint32_t AppendList(const TagModel::Candidates& candidates, std::vector<uint8_t>* ids,
                    std::vector<float>* weights) {
  uint32_t start = static_cast<uint32_t>(ids->size());
  for (const auto& candidate : candidates) {
    ids->push_back(candidate.first);
    weights->push_back(candidate.second);
  }
  ids->push_back(0);
  weights->push_back(0.0f);
  return start;
}

}  // namespace

TagModel::TagModel()
    : m_Pos(1, 0),
      m_PosProb(1, 0.0f),
      m_Rol(1, 0),
      m_RolProb(1, 0.0f),
      m_pPosTTLM(PBUFSIZE * PBUFSIZE, prob_t{0.0f, 0.0f}),
      m_pRoleTTLM(RBUFSIZE * RBUFSIZE, prob_t{0.0f, 0.0f}) {}

namespace {

// Weights are log-probabilities: a NaN or an infinity can only come from a
// damaged file, and would make the tagger's comparisons meaningless.
bool IsFinite(float weight) { return std::isfinite(weight); }
bool IsFinite(const prob_t& transition) {
  return std::isfinite(transition.weight) && std::isfinite(transition.bof);
}

template <typename Weight>
std::string CheckFinite(const std::vector<Weight>& weights, const char* what) {
  for (size_t i = 0; i < weights.size(); ++i) {
    if (!IsFinite(weights[i])) return std::string(what) + " " + std::to_string(i) + " is not finite";
  }
  return "";
}

}  // namespace

std::string TagModel::Check() const {
  if (m_Pos.size() != m_PosProb.size() || m_Rol.size() != m_RolProb.size()) {
    return "list bytes and weights differ in number";
  }
  if (m_pPosTTLM.size() != PBUFSIZE * PBUFSIZE || m_pRoleTTLM.size() != RBUFSIZE * RBUFSIZE) {
    return "transition tables of the wrong size";
  }
  std::string error = CheckIds(m_Pos, PBUFSIZE, "tag");
  if (error.empty()) error = CheckIds(m_Rol, RBUFSIZE, "role");
  for (size_t i = 0; error.empty() && i < m_word_info.size(); ++i) {
    const word_tag_prob_t& record = m_word_info[i];
    if (record.word_id > kMaxWordId) {
      return "record " + std::to_string(i) + " has word id " + std::to_string(record.word_id) +
             ", above the largest accepted id " + std::to_string(kMaxWordId);
    }
    error = CheckList(m_Pos, record.m_pos_sidx, "tag", i);
    if (error.empty()) error = CheckList(m_Rol, record.m_role_sidx, "role", i);
  }
  if (error.empty()) error = CheckFinite(m_PosProb, "tag weight");
  if (error.empty()) error = CheckFinite(m_RolProb, "role weight");
  if (error.empty()) error = CheckFinite(m_pPosTTLM, "tag transition");
  if (error.empty()) error = CheckFinite(m_pRoleTTLM, "role transition");
  if (error.empty() && m_name_list.empty()) error = "no name triples";
  return error;
}

bool TagModel::Load(const std::string& path) {
  uint64_t size = 0;
  dict_file::UniqueFile file = dict_file::OpenWithSize(path, &size);
  if (file == nullptr) {
    std::fprintf(stderr, "unable to open file: %s\n", path.c_str());
    return false;
  }
  SectionReader reader(file.get(), size);
  std::string error;
  try {
    TagModel loaded;
    if (ReadSections(&reader, &loaded, &error)) error = loaded.Check();
    if (!error.empty()) {
      dict_file::ReportFileError(kWhat, path, error);
      return false;
    }
    *this = std::move(loaded);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "memory error in load tag dict !\n");
    return false;
  }
  return true;
}

bool TagModel::Save(const std::string& path) const {
  std::string error = Check();
  if (!error.empty()) {
    dict_file::ReportFileError(kWhat, path, "not written: " + error);
    return false;
  }
  std::vector<uint32_t> names;
  for (const _name_list_t& name : m_name_list) {
    names.insert(names.end(), {name.id1, name.id2, name.id3});
  }
  return dict_file::WriteThroughTemporary(kWhat, path, [&](std::FILE* file) {
    return WriteInt32(file, static_cast<int32_t>(m_word_info.size())) &&
           WriteArray(file, m_word_info) && WriteLists(file, m_Pos, m_PosProb) &&
           WriteLists(file, m_Rol, m_RolProb) &&
           WriteInt32(file, static_cast<int32_t>(PBUFSIZE)) && WriteArray(file, m_pPosTTLM) &&
           WriteInt32(file, static_cast<int32_t>(RBUFSIZE)) && WriteArray(file, m_pRoleTTLM) &&
           WriteInt32(file, static_cast<int32_t>(names.size())) && WriteArray(file, names);
  });
}

uint32_t TagModel::AppendPosList(const Candidates& candidates) {
  return AppendList(candidates, &m_Pos, &m_PosProb);
}

uint32_t TagModel::AppendRoleList(const Candidates& candidates) {
  return AppendList(candidates, &m_Rol, &m_RolProb);
}

bool TagModel::operator==(const TagModel& other) const {
  bool same_words = m_word_info.size() == other.m_word_info.size();
  for (size_t i = 0; same_words && i < m_word_info.size(); ++i) {
    const word_tag_prob_t& a = m_word_info[i];
    const word_tag_prob_t& b = other.m_word_info[i];
    same_words = a.word_id == b.word_id && a.m_pos_sidx == b.m_pos_sidx &&
                 a.m_role_sidx == b.m_role_sidx;
  }
  return same_words && m_Pos == other.m_Pos && SameBits(m_PosProb, other.m_PosProb) &&
         m_Rol == other.m_Rol && SameBits(m_RolProb, other.m_RolProb) &&
         SameBits(m_pPosTTLM, other.m_pPosTTLM) && SameBits(m_pRoleTTLM, other.m_pRoleTTLM) &&
         m_name_list == other.m_name_list;
}

}  // namespace new_seg
