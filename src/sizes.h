// Byte counts on every target. Counts are 64-bit; size_t is 32 bits on 32-bit ARM and
// x86, so each narrowing is either proven (bytes inside a block that exists) or checked
// (a block about to be allocated, on every target: a count near 2^64 wraps a 64-bit
// product too).
#pragma once

#include <cassert>
#include <cstdint>
#include <cstdlib>

// Bytes inside an allocated block: they fit size_t, since the block does.
inline size_t bytes_in_block(uint64_t bytes) {
  if constexpr (sizeof(size_t) < sizeof(uint64_t)) assert(bytes <= SIZE_MAX);
  return static_cast<size_t>(bytes);
}

// The bytes of `count` elements of `element` bytes, false when they do not fit size_t
// (a 64-bit count on a 32-bit target, or a product past 64 bits anywhere).
inline bool array_bytes(uint64_t count, size_t element, size_t *bytes) {
  return !__builtin_mul_overflow(count, element, bytes);
}

// malloc, realloc and calloc of `count` elements: null when the array cannot fit the
// address space, as when memory runs out, so callers need no second failure path.
inline void *malloc_array(uint64_t count, size_t element) {
  size_t bytes = 0;
  return array_bytes(count, element, &bytes) ? malloc(bytes) : nullptr;
}

inline void *realloc_array(void *block, uint64_t count, size_t element) {
  size_t bytes = 0;
  return array_bytes(count, element, &bytes) ? realloc(block, bytes) : nullptr;
}

inline void *calloc_array(uint64_t count, size_t element) {
  size_t bytes = 0;
  return array_bytes(count, element, &bytes) ? calloc(static_cast<size_t>(count), element) : nullptr;
}
