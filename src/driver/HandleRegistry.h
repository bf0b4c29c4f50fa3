// The handles the library has handed out and not yet closed.
//
// A handle is an opaque number, never reused, that the registry maps to its
// segmentor; a null, closed or made-up handle maps to nothing, so the public
// calls can refuse it instead of touching freed memory. Closing a handle
// twice, or closing one whose address a new handle happens to take, is
// therefore harmless.
//
// Lookups are on the path of every accessor call, so each thread remembers
// the last few handles it looked up; the shared map is consulted (under a
// mutex) only for a handle the thread has not seen since the last close.
#ifndef ZORVSEG_DRIVER_HANDLEREGISTRY_H_
#define ZORVSEG_DRIVER_HANDLEREGISTRY_H_

#include <cstddef>

#include "zorvseg_types.h"

namespace new_seg {

class LxSegmentor;

class HandleRegistry {
 public:
  // Registers segmentor and returns its new handle; null when out of memory.
  static HANDLE Add(LxSegmentor* segmentor);
  // The segmentor of a live handle, or null.
  static LxSegmentor* Find(HANDLE handle);
  // Unregisters a live handle and returns its segmentor for the caller to
  // destroy; null when the handle is not live.
  static LxSegmentor* Remove(HANDLE handle);
  static size_t LiveCount();
};

}  // namespace new_seg

#endif  // ZORVSEG_DRIVER_HANDLEREGISTRY_H_
