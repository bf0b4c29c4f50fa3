// The part-of-speech model of tag_info.dat held in memory: per-word candidate
// tag and role lists with their weights, the tag and role transition tables
// and the name triples. Load reads the file, Save writes the same layout, so
// a model saved and loaded again compares equal.
#ifndef ZORVSEG_POS_TAGMODEL_H_
#define ZORVSEG_POS_TAGMODEL_H_

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace new_seg {

// One word of the model: where its tag list and its role list start.
struct word_tag_prob_t {
  uint32_t word_id;
  uint32_t m_pos_sidx;
  uint32_t m_role_sidx;
};

// A transition weight; bof is stored but not used by the tagger.
struct prob_t {
  float weight;
  float bof;
};

struct _name_list_t {
  uint32_t id1;
  uint32_t id2;
  uint32_t id3;
  bool operator<(const _name_list_t& other) const {
    if (id1 != other.id1) return id1 < other.id1;
    if (id2 != other.id2) return id2 < other.id2;
    return id3 < other.id3;
  }
  bool operator==(const _name_list_t& other) const {
    return id1 == other.id1 && id2 == other.id2 && id3 == other.id3;
  }
};

class TagModel {
 public:
  static constexpr size_t PBUFSIZE = 56;           // tag transition table dimension
  static constexpr size_t RBUFSIZE = 54;           // role transition table dimension
  static constexpr size_t MAX_POS_ROLE_TYPE = 53;  // most candidates of one word
  // Identifiers index a dense table of kMaxWordId + 1 entries; core
  // dictionaries stay far below this.
  static constexpr uint32_t kMaxWordId = (1u << 24) - 1;

  typedef std::vector<std::pair<uint8_t, float>> Candidates;

  // An empty model: no words, one shared empty list at index 0 of both list
  // arrays, every transition weight 0 and no name triples.
  TagModel();

  // Replaces the model with the file's; false with a message naming the
  // file when it is missing, damaged or does not fit its own size (the
  // model is then unchanged).
  bool Load(const std::string& path);
  // Writes the layout Load reads, through a temporary file renamed when
  // complete; false (with a message) for a model Load would refuse.
  bool Save(const std::string& path) const;
  // Empty when the model is consistent, else what is wrong with it.
  std::string Check() const;

  // Appends a zero-terminated list and returns its start index.
  uint32_t AppendPosList(const Candidates& candidates);
  uint32_t AppendRoleList(const Candidates& candidates);
  void AddWord(uint32_t word_id, uint32_t pos_sidx, uint32_t role_sidx) {
    m_word_info.push_back({word_id, pos_sidx, role_sidx});
  }
  prob_t& PosTransition(size_t from, size_t to) { return m_pPosTTLM[from * PBUFSIZE + to]; }
  const prob_t& PosTransition(size_t from, size_t to) const {
    return m_pPosTTLM[from * PBUFSIZE + to];
  }
  prob_t& RoleTransition(size_t from, size_t to) { return m_pRoleTTLM[from * RBUFSIZE + to]; }

  bool operator==(const TagModel& other) const;

  std::vector<word_tag_prob_t> m_word_info;
  std::vector<uint8_t> m_Pos;      // zero-terminated tag lists
  std::vector<float> m_PosProb;    // emission weights, parallel to m_Pos
  std::vector<uint8_t> m_Rol;      // zero-terminated role lists
  std::vector<float> m_RolProb;    // role weights, parallel to m_Rol
  std::vector<prob_t> m_pPosTTLM;  // PBUFSIZE x PBUFSIZE, row = previous tag
  std::vector<prob_t> m_pRoleTTLM; // RBUFSIZE x RBUFSIZE
  std::set<_name_list_t> m_name_list;
};

}  // namespace new_seg

#endif  // ZORVSEG_POS_TAGMODEL_H_
