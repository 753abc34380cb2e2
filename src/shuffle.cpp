// The seeded shuffle and the shuffle mode. The generator is our own (SplitMix64 with
// a top-down Fisher-Yates pass) so that a seed gives the same order everywhere.
#include <cstring>

#include "engine.h"
#include "model.h"

namespace {

constexpr uint64_t k_zero_seed_state = 0x5C029101A2B3C4D5ULL;
constexpr uint64_t k_increment = 0x9E3779B97F4A7C15ULL;
constexpr uint64_t k_multiplier_1 = 0xBF58476D1CE4E5B9ULL;
constexpr uint64_t k_multiplier_2 = 0x94D049BB133111EBULL;

uint64_t splitmix64_next(uint64_t *state) {
  *state += k_increment;
  uint64_t z = *state;
  z = (z ^ (z >> 30)) * k_multiplier_1;
  z = (z ^ (z >> 27)) * k_multiplier_2;
  return z ^ (z >> 31);
}

// Turning off: the queue becomes the tracks in source order, and the playing track
// stays current. Built aside so that a failure changes nothing.
int32_t shuffle_off(pbq_queue *q) {
  // With nothing to rebuild from, the queue keeps its order.
  if (q->tracks.count == 0) {
    q->shuffle = 0;
    return 0;
  }
  play_queue rebuilt{};
  if (queue_assign(&rebuilt, q->tracks.ids, q->tracks.count) != 0) {
    set_err(msg::out_of_memory);
    return -1;
  }
  int32_t current = 0;
  // Loaded tracks always come with a current entry; the test is kept for safety.
  if (has_current(q)) {  // GCOVR_EXCL_LINE
    // The first loaded track with the playing URL: an added copy of a loaded track
    // gives way to the loaded one.
    const track_rec &playing = queue_entry(q, static_cast<uint64_t>(q->current));
    int64_t found = tracks_find(q, playing.stream_url, playing.stream_url_len);
    if (found >= 0) current = static_cast<int32_t>(found);
  }
  release_queue_only(q);
  queue_free(&q->queue);
  q->queue = rebuilt;
  q->current = current;
  q->shuffle = 0;
  compact_if_sparse(q);
  q->layout_wanted = true;
  return 0;
}

void shuffle_on(pbq_queue *q, uint64_t seed) {
  q->shuffle = 1;
  uint64_t count = q->queue.count;
  // The shuffle works on the entries laid out in order.
  queue_close_gap(&q->queue);
  if (has_current(q)) {
    // The playing entry goes first and keeps playing; only what follows is shuffled.
    move_to_front_of(q->queue.ids, 0, static_cast<uint64_t>(q->current));
    if (count > 2) shuffle_range(q->queue.ids, 1, count, seed);
  } else if (count >= 2) {
    shuffle_range(q->queue.ids, 0, count, seed);
  }
  q->current = 0;
  q->layout_wanted = true;
}

}  // namespace

void shuffle_range(uint32_t *ids, uint64_t lo, uint64_t hi, uint64_t seed) {
  assert(lo <= hi);
  uint64_t state = seed == 0 ? k_zero_seed_state : seed;
  if (lo + 1 >= hi) return;
  for (uint64_t i = hi - 1; i > lo; i--) {
    uint64_t j = lo + splitmix64_next(&state) % (i - lo + 1);
    // A draw that lands on i is spent all the same.
    if (j != i) {
      uint32_t held = ids[i];
      ids[i] = ids[j];
      ids[j] = held;
    }
  }
}

extern "C" int32_t pbq_set_shuffle(pbq_queue *q, int32_t enabled, uint64_t seed) {
  if (q == nullptr) return -1;
  if (q->queue.count == 0) {
    // Only the flag changes; an empty queue is not filled from the tracks.
    q->shuffle = enabled != 0 ? 1 : 0;
    return 0;
  }
  if (enabled == 0) return shuffle_off(q);
  shuffle_on(q, seed);
  return 0;
}
