// The queue engine: step rules, the seeded shuffle and the pieces that loading, the
// restore and the shuffle mode share. Internal to the library.
#pragma once

#include <cstdint>
#include <cstdlib>

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

// Permutes ids[lo, hi) in place with a Fisher-Yates pass driven by SplitMix64 seeded
// with `seed` (0 selects a fixed built-in state). Allocates nothing.
void shuffle_range(uint32_t *ids, uint64_t lo, uint64_t hi, uint64_t seed);

// Moves ids[from] to position `to` (to <= from); the ids between move up.
void move_to_front_of(uint32_t *ids, uint64_t to, uint64_t from);

// The rate rule: not finite or below 0.5 gives 0.5, above 2.0 gives 2.0.
float clamp_rate(float rate);

// The rate rule for a rate that arrives as a double; a value too large for a float
// counts as infinite.
float clamp_rate_from_double(double rate);

// A tracks JSON text parsed for loading: the library's own copy of the text, decoded
// in place, and yyjson's document over it. Both are released with the object unless
// loading took the text over.
struct parsed_tracks {
  char *text = nullptr;
  size_t length = 0;  // of the text, padding not counted
  yyjson_doc *doc = nullptr;
  parsed_tracks() = default;
  ~parsed_tracks() {
    yyjson_doc_free(doc);
    free(text);
  }
  parsed_tracks(const parsed_tracks &) = delete;
  parsed_tracks &operator=(const parsed_tracks &) = delete;
};

enum class parse_outcome { ok, no_memory, invalid, not_array };

// Copies and parses a tracks JSON text; ok means its root is an array.
parse_outcome parse_tracks(const char *tracks_json, parsed_tracks *out);

// Replaces the handle's tracks and queue with the tracks of `parsed`, starting at
// `start_index` (clamped) and shuffled from `seed` when shuffle is on. Returns 0 with
// the error text emptied, or -1 with "out of memory" and the handle unchanged.
[[nodiscard]] int32_t install_tracks(pbq_queue *q, parsed_tracks *parsed, int32_t start_index, uint64_t seed);
