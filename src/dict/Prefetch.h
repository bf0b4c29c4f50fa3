// Starting a cache fill early, so that the misses of many lookups overlap.
//
// The optimiser counts a prefetch as having no effect: a loop made of
// nothing but prefetches (fetching the entries of several lookups ahead)
// is then an empty loop and is removed with them. The empty statement below
// counts as an effect the optimiser must keep, and with it the loop and the
// prefetch; it emits no instruction.
#ifndef ZORVSEG_DICT_PREFETCH_H_
#define ZORVSEG_DICT_PREFETCH_H_

namespace new_seg {

inline void PrefetchForRead(const void* address) {
#if defined(__GNUC__)
  __builtin_prefetch(address);
  __asm__ __volatile__("" : : "r"(address));
#else
  (void)address;
#endif
}

}  // namespace new_seg

#endif  // ZORVSEG_DICT_PREFETCH_H_
