#include "custom/CustomDictContainer.h"

#include <new>
#include <string>

#include "dict/DictFile.h"

namespace new_seg {

namespace {
const char kWhat[] = "custom dictionary";
}  // namespace

CustomDict* CustomDictContainer::dicts_[kMaxDictCount] = {};
size_t CustomDictContainer::size_ = 0;
size_t CustomDictContainer::working_dict_id_ = 0;

bool CustomDictContainer::Init(const char* path) {
  UnInit();
  size_t id = AddDict(path);
  if (id == 0) return false;
  working_dict_id_ = id;
  return true;
}

void CustomDictContainer::UnInit() {
  for (CustomDict*& dict : dicts_) {
    delete dict;
    dict = nullptr;
  }
  size_ = 0;
  working_dict_id_ = 0;
}

size_t CustomDictContainer::AddDict(const char* path) {
  if (path == nullptr) return 0;
  if (size_ == kMaxDictCount) {
    dict_file::ReportFileError(kWhat, path,
                               "all " + std::to_string(kMaxDictCount) +
                                   " dictionary ids are in use; delete one first");
    return 0;
  }
  for (size_t slot = 0; slot < kMaxDictCount; ++slot) {
    if (dicts_[slot] != nullptr) continue;
    CustomDict* dict = new (std::nothrow) CustomDict;
    if (dict == nullptr) return 0;
    if (!dict->Init(path)) {
      delete dict;
      return 0;
    }
    dicts_[slot] = dict;
    ++size_;
    return slot + 1;
  }
  return 0;
}

bool CustomDictContainer::UpdateDict(const char* path, size_t id) {
  if (path == nullptr || !IsValidId(id) || dicts_[id - 1] == nullptr) return false;
  return dicts_[id - 1]->Init(path);
}

void CustomDictContainer::DelDict(size_t id) {
  if (!IsValidId(id) || id == working_dict_id_ || dicts_[id - 1] == nullptr) return;
  delete dicts_[id - 1];
  dicts_[id - 1] = nullptr;
  --size_;
}

void CustomDictContainer::SwitchDictTo(size_t id) {
  if (IsValidId(id) && dicts_[id - 1] != nullptr) working_dict_id_ = id;
}

const CustomDict* CustomDictContainer::GetWorkingDict() {
  if (!IsValidId(working_dict_id_)) return nullptr;
  return dicts_[working_dict_id_ - 1];
}

}  // namespace new_seg
