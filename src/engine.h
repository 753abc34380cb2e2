// The queue engine: step rules, the seeded shuffle and the queue builders shared by
// loading and the shuffle mode. Internal to the library.
#pragma once

#include <cstdint>

#include "model.h"

// True when `current` names an entry of the play queue.
inline bool has_current(const pbq_queue *q) {
  return q->current >= 0 && static_cast<uint64_t>(q->current) < q->queue.count;
}

// The entries after the current one; 0 without a current entry.
inline uint64_t up_next_count(const pbq_queue *q) {
  return has_current(q) ? q->queue.count - static_cast<uint64_t>(q->current) - 1 : 0;
}

// A next entry exists: one follows the current entry, or repeat all wraps around.
inline bool has_next(const pbq_queue *q) {
  return has_current(q) && (up_next_count(q) > 0 || q->repeat_mode == k_repeat_all);
}

// A previous entry exists: one precedes the current entry, or repeat all wraps around.
inline bool has_previous(const pbq_queue *q) {
  return has_current(q) && (q->current > 0 || q->repeat_mode == k_repeat_all);
}

// Permutes items[lo, hi) in place with a Fisher-Yates pass driven by SplitMix64
// seeded with `seed` (0 selects a fixed built-in state). Allocates nothing.
void shuffle_range(track *items, uint64_t lo, uint64_t hi, uint64_t seed);

// Fills the empty list `out` with deep copies of every record of `src`, in order.
// Returns 0, or -1 when memory ran out (`out` then holds what was copied so far).
[[nodiscard]] int list_copy_all(track_list *out, const track_list *src);

// Moves items[from] to position `to` (to <= from); the records between move up.
void move_to_front_of(track *items, uint64_t to, uint64_t from);

// The rate rule: not finite or below 0.5 gives 0.5, above 2.0 gives 2.0.
float clamp_rate(float rate);

// The rate rule for a rate that arrives as a double; a value too large for a float
// counts as infinite.
float clamp_rate_from_double(double rate);
