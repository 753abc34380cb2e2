// A replacement of the process's malloc family for the out-of-memory tests: it counts
// live blocks (to find leaks without a sanitizer) and can fail chosen allocations.
// It replaces malloc for the whole process, so it also reaches yyjson's allocations.
#pragma once

#include <cstdint>

namespace failing_alloc {

enum class mode {
  only_nth,      // the n-th allocation fails, later ones succeed
  nth_and_later  // the n-th and every later allocation fail
};

// Starts counting allocations from 0; the n-th (1-based) fails as `m` says.
void arm(uint64_t n, mode m);

// Stops failing. Returns true when at least one allocation was failed since arm().
bool disarm();

// Blocks currently allocated through the malloc family.
int64_t live_blocks();

}  // namespace failing_alloc
