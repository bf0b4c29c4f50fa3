// The debug log (declared in the public header, since hosts configure it)
// and the macro the library's call sites use, which formats nothing while
// the level is below the threshold.
#ifndef ZORVSEG_NER_LOG_H_
#define ZORVSEG_NER_LOG_H_

#include "zorvseg_log.h"

#define ZS_LOG_INFO(...)                                                        \
  do {                                                                          \
    ::new_seg::Log& zs_log_ = ::new_seg::Log::instance();                       \
    if (zs_log_.enabled(::new_seg::Log::kInfo)) {                               \
      zs_log_.record(::new_seg::Log::kInfo, __FILE__, __LINE__, __VA_ARGS__);   \
    }                                                                           \
  } while (0)

#endif  // ZORVSEG_NER_LOG_H_
