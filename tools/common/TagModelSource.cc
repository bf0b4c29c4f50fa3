#include "common/TagModelSource.h"

#include <map>
#include <sstream>
#include <vector>

#include "dict/CoreDict.h"
#include "dict/DictFile.h"
#include "pos/CSegmentTag.h"

namespace zorvseg_tools {

namespace {

using new_seg::TagModel;
using new_seg::dict_file::ParseFloat;
using new_seg::dict_file::ParseInteger;

const float kUnlistedWeight = -100.0f;
const int kLastPosName = 48;
const int kLastRoleName = 51;

// 0 when the token names no tag.
int TagId(const std::string& token) {
  char name[8];
  for (int id = 1; id <= kLastPosName; ++id) {
    new_seg::CSegmentTag::_get_pos_char(id, name);
    if (token == name) return id;
  }
  if (token == "<s>") return new_seg::CSegmentTag::kTagSentenceStart;
  if (token == "www") return 50;
  if (token == "tele") return 51;
  if (token == "email") return 52;
  long long number = 0;
  if (ParseInteger(token, &number) && number >= 1 &&
      number < static_cast<long long>(TagModel::PBUFSIZE)) {
    return static_cast<int>(number);
  }
  return 0;
}

int RoleId(const std::string& token) {
  char name[8];
  for (int id = 1; id <= kLastRoleName; ++id) {
    if (new_seg::CSegmentTag::_get_role_char(id, name) && token == name) return id;
  }
  long long number = 0;
  if (ParseInteger(token, &number) && number >= 1 &&
      number < static_cast<long long>(TagModel::RBUFSIZE)) {
    return static_cast<int>(number);
  }
  return 0;
}

struct WordEntry {
  bool has_tags = false;
  TagModel::Candidates tags;
  bool has_roles = false;
  TagModel::Candidates roles;
};

class SourceCompiler {
 public:
  SourceCompiler(const char* source, TagModel* model, TagModelSourceStats* stats)
      : source_(source),
        model_(model),
        stats_(stats),
        pos_listed_(TagModel::PBUFSIZE * TagModel::PBUFSIZE, false),
        role_listed_(TagModel::RBUFSIZE * TagModel::RBUFSIZE, false) {}

  bool AddLine(const std::string& line) {
    ++line_;
    std::vector<std::string> fields = new_seg::dict_file::SplitWhitespace(line);
    if (fields.empty() || fields[0][0] == '#') return true;
    const std::string& directive = fields[0];
    if (directive == "word" || directive == "role") return AddWord(fields);
    if (directive == "unknown") return AddUnknown(fields);
    if (directive == "transition") return AddTransition(fields, false);
    if (directive == "role-transition") return AddTransition(fields, true);
    if (directive == "default-transition") return SetDefault(fields, &pos_default_);
    if (directive == "default-role-transition") return SetDefault(fields, &role_default_);
    if (directive == "name") return AddName(fields);
    return Fail("unknown directive '" + directive + "'");
  }

  bool Finish() {
    if (model_->m_name_list.empty()) {
      new_seg::dict_file::ReportFileError("tag-model source", source_,
                                          "no 'name' line: the model needs a name triple");
      return false;
    }
    for (const auto& entry : words_) {
      uint32_t pos_sidx = entry.second.has_tags ? model_->AppendPosList(entry.second.tags) : 0;
      uint32_t role_sidx =
          entry.second.has_roles ? model_->AppendRoleList(entry.second.roles) : 0;
      model_->AddWord(entry.first, pos_sidx, role_sidx);
    }
    stats_->words = words_.size();
    FillUnlisted(pos_listed_, pos_default_, &model_->m_pPosTTLM);
    FillUnlisted(role_listed_, role_default_, &model_->m_pRoleTTLM);
    return true;
  }

 private:
  bool Fail(const std::string& message) {
    new_seg::dict_file::ReportLineError(source_, line_, message);
    return false;
  }

  static void FillUnlisted(const std::vector<bool>& listed, float weight,
                           std::vector<new_seg::prob_t>* table) {
    for (size_t i = 0; i < table->size(); ++i) {
      if (!listed[i]) (*table)[i] = {weight, 0.0f};
    }
  }

  bool ParseCandidates(const std::vector<std::string>& fields, bool roles,
                       TagModel::Candidates* candidates, size_t first = 2) {
    for (size_t i = first; i < fields.size(); ++i) {
      size_t colon = fields[i].rfind(':');
      float weight = 0.0f;
      if (colon == std::string::npos || !ParseFloat(fields[i].substr(colon + 1), &weight)) {
        return Fail("'" + fields[i] + "' is not NAME:WEIGHT");
      }
      std::string name = fields[i].substr(0, colon);
      int id = roles ? RoleId(name) : TagId(name);
      if (id == 0) return Fail("unknown " + std::string(roles ? "role" : "tag") + " '" + name + "'");
      for (const auto& candidate : *candidates) {
        if (candidate.first == id) return Fail("'" + name + "' listed twice");
      }
      candidates->push_back({static_cast<uint8_t>(id), weight});
    }
    if (candidates->size() > TagModel::MAX_POS_ROLE_TYPE) {
      return Fail("more than " + std::to_string(TagModel::MAX_POS_ROLE_TYPE) + " candidates");
    }
    return true;
  }

  bool AddWord(const std::vector<std::string>& fields) {
    bool roles = fields[0] == "role";
    if (fields.size() < 3) return Fail(fields[0] + " needs a word and at least one NAME:WEIGHT");
    TagModel::Candidates candidates;
    if (!ParseCandidates(fields, roles, &candidates)) return false;
    int id = new_seg::CoreDict::ExactMatchSearch(fields[1].data(), fields[1].size());
    if (id <= 0) {
      ++stats_->unknown_words;
      return true;
    }
    WordEntry& entry = words_[static_cast<uint32_t>(id)];
    bool& has = roles ? entry.has_roles : entry.has_tags;
    if (has) return Fail("the " + fields[0] + " list of '" + fields[1] + "' is given twice");
    has = true;
    (roles ? entry.roles : entry.tags) = candidates;
    return true;
  }

  // Words without a dictionary entry carry id 0; their record gives the
  // tagger trained candidates instead of its fixed defaults.
  bool AddUnknown(const std::vector<std::string>& fields) {
    if (fields.size() < 2) return Fail("unknown needs at least one TAG:WEIGHT");
    TagModel::Candidates candidates;
    if (!ParseCandidates(fields, false, &candidates, 1)) return false;
    WordEntry& entry = words_[0];
    if (entry.has_tags) return Fail("the unknown list is given twice");
    entry.has_tags = true;
    entry.tags = candidates;
    return true;
  }

  bool AddTransition(const std::vector<std::string>& fields, bool roles) {
    if (fields.size() != 4 && fields.size() != 5) {
      return Fail(fields[0] + " takes FROM TO WEIGHT [BOF]");
    }
    int from = roles ? RoleId(fields[1]) : TagId(fields[1]);
    int to = roles ? RoleId(fields[2]) : TagId(fields[2]);
    if (from == 0 || to == 0) return Fail("unknown name in '" + fields[1] + " " + fields[2] + "'");
    new_seg::prob_t prob = {0.0f, 0.0f};
    if (!ParseFloat(fields[3], &prob.weight) ||
        (fields.size() == 5 && !ParseFloat(fields[4], &prob.bof))) {
      return Fail("weight is not a finite number");
    }
    size_t dimension = roles ? TagModel::RBUFSIZE : TagModel::PBUFSIZE;
    size_t cell = static_cast<size_t>(from) * dimension + static_cast<size_t>(to);
    std::vector<bool>& listed = roles ? role_listed_ : pos_listed_;
    if (listed[cell]) return Fail("transition '" + fields[1] + " " + fields[2] + "' given twice");
    listed[cell] = true;
    (roles ? model_->m_pRoleTTLM : model_->m_pPosTTLM)[cell] = prob;
    ++(roles ? stats_->role_transitions : stats_->transitions);
    return true;
  }

  bool SetDefault(const std::vector<std::string>& fields, float* weight) {
    if (fields.size() != 2 || !ParseFloat(fields[1], weight)) {
      return Fail(fields[0] + " takes one finite WEIGHT");
    }
    return true;
  }

  bool AddName(const std::vector<std::string>& fields) {
    uint32_t ids[3] = {0, 0, 0};
    for (size_t i = 0; i < 3; ++i) {
      long long value = 0;
      if (fields.size() != 4 || !ParseInteger(fields[i + 1], &value) || value < 0 ||
          value > 0x7FFFFFFF) {
        return Fail("name takes three integers in 0..2147483647");
      }
      ids[i] = static_cast<uint32_t>(value);
    }
    model_->m_name_list.insert({ids[0], ids[1], ids[2]});
    return true;
  }

  const char* source_;
  TagModel* model_;
  TagModelSourceStats* stats_;
  size_t line_ = 0;
  std::map<uint32_t, WordEntry> words_;
  std::vector<bool> pos_listed_;
  std::vector<bool> role_listed_;
  float pos_default_ = kUnlistedWeight;
  float role_default_ = kUnlistedWeight;
};

}  // namespace

bool CompileTagModelSource(const std::string& text, const char* source_name,
                           TagModel* model, TagModelSourceStats* stats) {
  SourceCompiler compiler(source_name, model, stats);
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    ++stats->lines;
    if (!compiler.AddLine(line)) return false;
  }
  return compiler.Finish();
}

}  // namespace zorvseg_tools
