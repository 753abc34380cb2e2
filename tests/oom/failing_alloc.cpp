// Forwards the malloc family to the C library's own entry points, counting live
// blocks and failing the allocations that a test asked for.
#include "failing_alloc.h"

#include <atomic>
#include <cerrno>
#include <cstddef>

extern "C" {
void *__libc_malloc(size_t size);
void *__libc_calloc(size_t count, size_t size);
void *__libc_realloc(void *p, size_t size);
void __libc_free(void *p);
void *__libc_memalign(size_t alignment, size_t size);
}

namespace {

std::atomic<int64_t> g_live{0};
std::atomic<bool> g_armed{false};
std::atomic<uint64_t> g_attempts{0};
std::atomic<uint64_t> g_fail_at{0};
std::atomic<bool> g_fail_later{false};
std::atomic<bool> g_failed{false};

// True when this allocation is to fail.
bool should_fail() {
  if (!g_armed.load(std::memory_order_relaxed)) return false;
  uint64_t n = g_attempts.fetch_add(1, std::memory_order_relaxed) + 1;
  uint64_t at = g_fail_at.load(std::memory_order_relaxed);
  bool fail = n == at || (g_fail_later.load(std::memory_order_relaxed) && n > at);
  if (fail) {
    g_failed.store(true, std::memory_order_relaxed);
    errno = ENOMEM;
  }
  return fail;
}

void *counted(void *p) {
  if (p != nullptr) g_live.fetch_add(1, std::memory_order_relaxed);
  return p;
}

}  // namespace

namespace failing_alloc {

void arm(uint64_t n, mode m) {
  g_attempts = 0;
  g_failed = false;
  g_fail_at = n;
  g_fail_later = m == mode::nth_and_later;
  g_armed = true;
}

bool disarm() {
  g_armed = false;
  return g_failed.load();
}

int64_t live_blocks() { return g_live.load(); }

}  // namespace failing_alloc

extern "C" {

void *malloc(size_t size) {
  if (should_fail()) return nullptr;
  return counted(__libc_malloc(size));
}

void *calloc(size_t count, size_t size) {
  if (should_fail()) return nullptr;
  return counted(__libc_calloc(count, size));
}

void *realloc(void *p, size_t size) {
  if (p == nullptr) return malloc(size);
  if (size == 0) {
    // glibc frees the block and returns null.
    g_live.fetch_sub(1, std::memory_order_relaxed);
    return __libc_realloc(p, 0);
  }
  if (should_fail()) return nullptr;
  return __libc_realloc(p, size);
}

void free(void *p) {
  if (p == nullptr) return;
  g_live.fetch_sub(1, std::memory_order_relaxed);
  __libc_free(p);
}

void *memalign(size_t alignment, size_t size) {
  if (should_fail()) return nullptr;
  return counted(__libc_memalign(alignment, size));
}

void *aligned_alloc(size_t alignment, size_t size) { return memalign(alignment, size); }

int posix_memalign(void **out, size_t alignment, size_t size) {
  void *p = memalign(alignment, size);
  if (p == nullptr) return ENOMEM;
  *out = p;
  return 0;
}

}  // extern "C"
