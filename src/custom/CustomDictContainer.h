// The process-wide set of custom dictionaries: up to 1024 of them, each
// with a stable id (1 to 1024), one of which is the working dictionary the
// result saver consults.
//
// None of the calls lock. Adding, updating, deleting or switching must not
// run while any handle segments or while another of them runs: an update
// replaces a dictionary in place and a deletion frees it.
#ifndef ZORVSEG_CUSTOM_CUSTOMDICTCONTAINER_H_
#define ZORVSEG_CUSTOM_CUSTOMDICTCONTAINER_H_

#include <cstddef>

#include "custom/CustomDict.h"

namespace new_seg {

class CustomDictContainer {
 public:
  static const size_t kMaxDictCount = 1024;

  // Empties the container, then adds path as dictionary 1 and makes it the
  // working one. A missing path gives an empty working dictionary.
  static bool Init(const char* path);
  static void UnInit();

  // Id of the new dictionary, in the lowest free slot; 0 when all slots are
  // taken, the path is null or cannot be read (the slot then stays free).
  static size_t AddDict(const char* path);
  // Rebuilds dictionary id from path. False for an id that names no
  // dictionary, or when the path cannot be read: the dictionary then keeps
  // its previous words.
  static bool UpdateDict(const char* path, size_t id);
  // Deletes dictionary id unless it is the working one or does not exist.
  static void DelDict(size_t id);
  // Makes id the working dictionary if it exists.
  static void SwitchDictTo(size_t id);
  static size_t GetWorkingDictID() { return working_dict_id_; }
  // The working dictionary, or null when there is none.
  static const CustomDict* GetWorkingDict();
  static size_t size() { return size_; }

 private:
  static bool IsValidId(size_t id) { return id >= 1 && id <= kMaxDictCount; }

  static CustomDict* dicts_[kMaxDictCount];
  static size_t size_;
  static size_t working_dict_id_;
};

}  // namespace new_seg

#endif  // ZORVSEG_CUSTOM_CUSTOMDICTCONTAINER_H_
