#include "ner/EntitySourceLine.h"

#include "text/TextUtil.h"

namespace new_seg {

dict_file::LineKind SplitEntitySourceLine(std::string line, std::vector<std::string>* fields,
                                          uint32_t* kind, std::string* error) {
  using dict_file::LineKind;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  fields->clear();
  Split(line, "\t", *fields);
  const std::string& key = (*fields)[0];
  if (key.empty()) return LineKind::kBlank;
  if (key.find('\0') != std::string::npos) {
    *error = "key holds a NUL byte";
    return LineKind::kError;
  }
  if (fields->size() < 2 || (*fields)[1].empty()) {
    *error = "no kind value after the key and a TAB";
    return LineKind::kError;
  }
  if (!dict_file::ParseUnsignedField((*fields)[1], UINT32_MAX, "kind value", kind, error)) {
    return LineKind::kError;
  }
  return LineKind::kEntry;
}

}  // namespace new_seg
