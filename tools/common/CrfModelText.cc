#include "common/CrfModelText.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <set>
#include <sstream>
#include <vector>

#include "crf/UnigramTemplates.h"
#include "dict/DictFile.h"

namespace zorvseg_tools {

namespace {

using new_seg::dict_file::LineKind;

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (;;) {
    std::size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab - start));
    if (tab == std::string::npos) return fields;
    start = tab + 1;
  }
}

float ReadBack(const char* text, float) { return std::strtof(text, nullptr); }
double ReadBack(const char* text, double) { return std::strtod(text, nullptr); }

// The fewest significant digits that read back to the same value.
template <class Number>
std::string Shortest(Number value) {
  char buf[40];
  for (int digits = 1; digits <= std::numeric_limits<Number>::max_digits10; ++digits) {
    std::snprintf(buf, sizeof(buf), "%.*g", digits, static_cast<double>(value));
    if (ReadBack(buf, value) == value) break;
  }
  return buf;
}

bool NonZeroBits(float value) { return value != 0.0f || std::signbit(value); }

class Parser {
 public:
  explicit Parser(CrfModel* model) : model_(model) {}

  LineKind Take(const std::string& line, std::string* error) {
    if (line.empty() || line[0] == '#') return LineKind::kBlank;
    std::vector<std::string> fields = SplitTabs(line);
    const std::string& directive = fields[0];
    if (directive == "cost-factor") return CostFactor(fields, error);
    if (directive == "xsize") return XSize(fields, error);
    if (directive == "label") return Label(fields, error);
    if (directive == "template") return Template(fields, error);
    if (directive == "word" || directive == "pos") return Observation(fields, error);
    if (directive == "transition") return Transition(fields, error);
    *error = "unknown directive '" + directive + "'";
    return LineKind::kError;
  }

 private:
  static LineKind Fail(std::string* error, const std::string& message) {
    *error = message;
    return LineKind::kError;
  }

  LineKind CostFactor(const std::vector<std::string>& fields, std::string* error) {
    double value = 0;
    if (fields.size() != 2 || !new_seg::dict_file::ParseDouble(fields[1], &value)) {
      return Fail(error, "cost-factor takes one number");
    }
    model_->cost_factor = value;
    return LineKind::kEntry;
  }

  LineKind XSize(const std::vector<std::string>& fields, std::string* error) {
    long long value = 0;
    if (fields.size() != 2 || !new_seg::dict_file::ParseInteger(fields[1], &value) ||
        value < 1 || value > static_cast<long long>(new_seg::CRFPP::MAX_X_SIZE)) {
      return Fail(error, "xsize takes a column count of 1 to 10");
    }
    model_->xsize = static_cast<uint32_t>(value);
    return LineKind::kEntry;
  }

  LineKind Label(const std::vector<std::string>& fields, std::string* error) {
    if (weights_started_) {
      return Fail(error, "labels must come before observations and transitions");
    }
    if (fields.size() != 2 || fields[1].empty()) return Fail(error, "label takes one name");
    if (!label_ids_.emplace(fields[1], model_->labels.size()).second) {
      return Fail(error, "label '" + fields[1] + "' is listed twice");
    }
    model_->labels.push_back(fields[1]);
    return LineKind::kEntry;
  }

  LineKind Template(const std::vector<std::string>& fields, std::string* error) {
    if (fields.size() != 2 || fields[1].empty()) return Fail(error, "template takes one text");
    const std::string& templ = fields[1];
    if (templ[0] == 'U') {
      model_->unigram_templates.push_back(templ);
    } else if (templ[0] == 'B') {
      model_->bigram_templates.push_back(templ);
    } else {
      return Fail(error, "a template starts with 'U' or 'B'");
    }
    return LineKind::kEntry;
  }

  bool StartWeights(std::string* error) {
    if (model_->labels.empty()) {
      *error = "labels must come before observations and transitions";
      return false;
    }
    if (!weights_started_) model_->transitions.assign(model_->ysize() * model_->ysize(), 0.0f);
    weights_started_ = true;
    return true;
  }

  // Reads "W W .." into ysize weights at out.
  bool Weights(const std::string& text, float* out, std::string* error) {
    std::vector<std::string> numbers = new_seg::dict_file::SplitWhitespace(text);
    if (numbers.size() != model_->ysize()) {
      *error = "expected " + std::to_string(model_->ysize()) + " weights, found " +
               std::to_string(numbers.size());
      return false;
    }
    for (std::size_t i = 0; i < numbers.size(); ++i) {
      if (!new_seg::dict_file::ParseFloat(numbers[i], &out[i])) {
        *error = "'" + numbers[i] + "' is not a finite number";
        return false;
      }
    }
    return true;
  }

  LineKind Observation(const std::vector<std::string>& fields, std::string* error) {
    if (!StartWeights(error)) return LineKind::kError;
    bool word = fields[0] == "word";
    if (fields.size() < 2) return Fail(error, fields[0] + " takes a key and slot weights");
    const std::string& key = fields[1];
    CrfModel::Observations& observations =
        word ? model_->word_observations : model_->pos_observations;
    if (observations.count(key) != 0) {
      return Fail(error, fields[0] + " observation '" + key + "' is listed twice");
    }
    if (!word && key.empty()) return Fail(error, "a pos observation needs a key");
    std::vector<float>& block = word ? model_->WordBlock(key) : model_->PosBlock(key);
    std::size_t slots = block.size() / model_->ysize();
    std::set<long long> seen;
    for (std::size_t i = 2; i < fields.size(); ++i) {
      std::size_t colon = fields[i].find(':');
      long long slot = -1;
      if (colon == std::string::npos ||
          !new_seg::dict_file::ParseInteger(fields[i].substr(0, colon), &slot) ||
          slot < 0 || slot >= static_cast<long long>(slots)) {
        return Fail(error, "'" + fields[i] + "' is not SLOT:WEIGHTS with a slot below " +
                               std::to_string(slots));
      }
      if (!seen.insert(slot).second) {
        return Fail(error, "slot " + std::to_string(slot) + " is listed twice");
      }
      if (!Weights(fields[i].substr(colon + 1), &block[slot * model_->ysize()], error)) {
        return LineKind::kError;
      }
    }
    return LineKind::kEntry;
  }

  LineKind Transition(const std::vector<std::string>& fields, std::string* error) {
    if (!StartWeights(error)) return LineKind::kError;
    if (fields.size() != 3) return Fail(error, "transition takes FROM and its weights");
    auto from = label_ids_.find(fields[1]);
    if (from == label_ids_.end()) return Fail(error, "unknown label '" + fields[1] + "'");
    if (!rows_seen_.insert(from->second).second) {
      return Fail(error, "transitions from '" + fields[1] + "' are listed twice");
    }
    if (!Weights(fields[2], &model_->transitions[from->second * model_->ysize()], error)) {
      return LineKind::kError;
    }
    return LineKind::kEntry;
  }

  CrfModel* model_;
  std::map<std::string, std::size_t> label_ids_;
  std::set<std::size_t> rows_seen_;
  bool weights_started_ = false;
};

struct ParseStats {
  std::size_t lines = 0;
  std::size_t skipped_blank = 0;
};

void WriteObservations(const char* directive, const CrfModel::Observations& observations,
                       std::size_t ysize, std::ostringstream& out) {
  for (const auto& entry : observations) {
    out << directive << '\t' << entry.first;
    const std::vector<float>& block = entry.second;
    for (std::size_t slot = 0; slot * ysize < block.size(); ++slot) {
      const float* weights = &block[slot * ysize];
      bool listed = false;
      for (std::size_t y = 0; y < ysize; ++y) listed = listed || NonZeroBits(weights[y]);
      if (!listed) continue;
      out << '\t' << slot << ':';
      for (std::size_t y = 0; y < ysize; ++y) {
        out << (y == 0 ? "" : " ") << Shortest(weights[y]);
      }
    }
    out << '\n';
  }
}

}  // namespace

bool ParseCrfModelText(const std::string& text, const char* source, CrfModel* model) {
  *model = CrfModel();
  Parser parser(model);
  std::istringstream in(text);
  ParseStats stats;
  bool parsed = new_seg::dict_file::TakeLines(
      in, "crf-model", source, &stats,
      [&](const std::string& line, std::string* error) { return parser.Take(line, error); });
  if (!parsed) return false;
  if (model->transitions.empty()) {
    model->transitions.assign(model->ysize() * model->ysize(), 0.0f);
  }
  std::string problem = model->Check();
  if (!problem.empty()) {
    std::fprintf(stderr, "%s: %s\n", source, problem.c_str());
    return false;
  }
  return true;
}

std::string CrfModelText(const CrfModel& model) {
  std::ostringstream out;
  out << "cost-factor\t" << Shortest(model.cost_factor) << '\n'
      << "xsize\t" << model.xsize << '\n';
  for (const std::string& label : model.labels) out << "label\t" << label << '\n';
  for (const std::string& templ : model.unigram_templates) out << "template\t" << templ << '\n';
  for (const std::string& templ : model.bigram_templates) out << "template\t" << templ << '\n';
  WriteObservations("word", model.word_observations, model.ysize(), out);
  WriteObservations("pos", model.pos_observations, model.ysize(), out);
  for (std::size_t from = 0; from < model.ysize(); ++from) {
    out << "transition\t" << model.labels[from] << '\t';
    for (std::size_t to = 0; to < model.ysize(); ++to) {
      out << (to == 0 ? "" : " ") << Shortest(model.transitions[from * model.ysize() + to]);
    }
    out << '\n';
  }
  return out.str();
}

}  // namespace zorvseg_tools
