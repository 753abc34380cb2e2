// Byte counts on every target. Counts are 64-bit; size_t is 32 bits on 32-bit ARM and
// x86, so each narrowing is either proven (bytes inside a block that exists) or checked
// (a block about to be allocated). Where size_t is 64 bits, all of this compiles to the
// plain multiplication.
#pragma once

#include <cassert>
#include <cstdint>
#include <cstdlib>

// Bytes inside an allocated block: they fit size_t, since the block does.
inline size_t bytes_in_block(uint64_t bytes) {
  if constexpr (sizeof(size_t) < sizeof(uint64_t)) assert(bytes <= SIZE_MAX);
  return static_cast<size_t>(bytes);
}

// malloc, realloc and calloc of `count` elements: null when the array cannot fit the
// address space (only where size_t is 32 bits), as when memory runs out, so callers
// need no second failure path.
inline void *malloc_array(uint64_t count, size_t element) {
  if constexpr (sizeof(size_t) < sizeof(uint64_t)) {
    if (count > SIZE_MAX / element) return nullptr;
  }
  return malloc(static_cast<size_t>(count) * element);
}

inline void *realloc_array(void *block, uint64_t count, size_t element) {
  if constexpr (sizeof(size_t) < sizeof(uint64_t)) {
    if (count > SIZE_MAX / element) return nullptr;
  }
  return realloc(block, static_cast<size_t>(count) * element);
}

inline void *calloc_array(uint64_t count, size_t element) {
  if constexpr (sizeof(size_t) < sizeof(uint64_t)) {
    if (count > SIZE_MAX / element) return nullptr;
  }
  return calloc(static_cast<size_t>(count), element);
}
