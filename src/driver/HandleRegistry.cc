#include "driver/HandleRegistry.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <new>
#include <unordered_map>

namespace new_seg {

namespace {

// Handles carry this tag in their top bits: no user-space address has it,
// so a pointer passed by mistake is never taken for a handle.
const uint64_t kHandleTag = uint64_t{0x5A0F} << 48;
const size_t kCachedPerThread = 4;

struct Registry {
  std::mutex mutex;
  std::unordered_map<uint64_t, LxSegmentor*> live;
  uint64_t next_serial = 1;
  // Bumped by every close: a thread's remembered handles are good only
  // while the count is the one they were looked up under.
  std::atomic<uint64_t> closes{0};
};

Registry& TheRegistry() {
  static Registry* registry = new Registry;  // never destroyed: handles may be closed at exit
  return *registry;
}

struct ThreadCache {
  uint64_t closes = 0;
  size_t next = 0;
  uint64_t tokens[kCachedPerThread] = {};
  LxSegmentor* segmentors[kCachedPerThread] = {};
};

thread_local ThreadCache t_cache;

uint64_t TokenOf(HANDLE handle) {
  return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(handle));
}

}  // namespace

HANDLE HandleRegistry::Add(LxSegmentor* segmentor) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  uint64_t token = kHandleTag | registry.next_serial;
  try {
    registry.live.emplace(token, segmentor);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  ++registry.next_serial;
  return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(token));
}

LxSegmentor* HandleRegistry::Find(HANDLE handle) {
  uint64_t token = TokenOf(handle);
  if ((token & kHandleTag) != kHandleTag) return nullptr;
  Registry& registry = TheRegistry();
  uint64_t closes = registry.closes.load(std::memory_order_acquire);
  ThreadCache& cache = t_cache;
  if (cache.closes == closes) {
    for (size_t i = 0; i < kCachedPerThread; ++i) {
      if (cache.tokens[i] == token) return cache.segmentors[i];
    }
  } else {
    cache = ThreadCache();
    cache.closes = closes;
  }
  LxSegmentor* segmentor = nullptr;
  {
    std::lock_guard<std::mutex> lock(registry.mutex);
    auto found = registry.live.find(token);
    if (found == registry.live.end()) return nullptr;
    segmentor = found->second;
  }
  size_t slot = cache.next++ % kCachedPerThread;
  cache.tokens[slot] = token;
  cache.segmentors[slot] = segmentor;
  return segmentor;
}

LxSegmentor* HandleRegistry::Remove(HANDLE handle) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  auto found = registry.live.find(TokenOf(handle));
  if (found == registry.live.end()) return nullptr;
  LxSegmentor* segmentor = found->second;
  registry.live.erase(found);
  registry.closes.fetch_add(1, std::memory_order_release);
  return segmentor;
}

size_t HandleRegistry::LiveCount() {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  return registry.live.size();
}

}  // namespace new_seg
