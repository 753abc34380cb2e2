// Laying the pool and the strings out in play order. The state document walks the
// queue; in a shuffled queue of a million tracks each entry is a random line of a 64 MB
// pool and three or four random lines of the text, and past the caches the walk waits
// on memory (more so on a busy machine) where yyjson's writer, walking its own document
// in order, never does. Laid out in play order, the walk reads both front to back.
// The layout pays that random walk once, at the first document after a shuffle,
// instead of at every document.
#include <cstdlib>
#include <cstring>

#include "model.h"

namespace {

// How far ahead of the copy the records, then (from the new pool, already in order)
// their strings are fetched.
constexpr uint64_t k_record_lookahead = 64;
constexpr uint64_t k_string_lookahead = 32;

constexpr uint32_t k_unplaced = UINT32_MAX;

// True when the pool holds exactly the queue's records in its order: a load in source
// order, or a layout that nothing has changed since.
bool in_play_order(const pbq_queue *q) {
  if (q->store.count != q->queue.count) return false;
  for (uint64_t i = 0; i < q->queue.count; i++) {
    if (queue_id(q->queue, i) != i) return false;
  }
  return true;
}

void prefetch_strings(const track_rec &rec) {
  __builtin_prefetch(rec.stream_url);
  __builtin_prefetch(rec.title);
  __builtin_prefetch(rec.artist);
  if (rec.artwork_url != nullptr) __builtin_prefetch(rec.artwork_url);
}

// Copies `length` bytes and a NUL to `*at`; returns the copy.
const char *place_string(char **at, const char *s, uint32_t length) {
  char *placed = *at;
  memcpy(placed, s, length);
  placed[length] = '\0';
  *at += uint64_t{length} + 1;
  return placed;
}

// Copies the strings of `recs` [0, count) into `strings` in that order. The added
// records' own blocks are freed as they are emptied; the caller frees the old text.
void copy_strings(track_rec *recs, uint64_t count, char *strings) {
  char *at = strings;
  for (uint64_t i = 0; i < count; i++) {
    if (i + k_string_lookahead < count) prefetch_strings(recs[i + k_string_lookahead]);
    track_rec &rec = recs[i];
    const char *owned = (rec.flags & rec_owns_strings) != 0 ? rec.stream_url : nullptr;
    rec.stream_url = place_string(&at, rec.stream_url, rec.stream_url_len);
    rec.title = place_string(&at, rec.title, rec.title_len);
    rec.artist = place_string(&at, rec.artist, rec.artist_len);
    if (rec.artwork_url != nullptr) rec.artwork_url = place_string(&at, rec.artwork_url, rec.artwork_url_len);
    rec.flags &= ~rec_owns_strings;
    free(const_cast<char *>(owned));
  }
}

}  // namespace

void lay_out_in_play_order(pbq_queue *q) {
  track_store *store = &q->store;
  assert(q->queue.count > 0);
  uint64_t live = store->count - store->dead;
  if (in_play_order(q)) return;
  auto *new_id = static_cast<uint32_t *>(malloc_array(store->count, sizeof(uint32_t)));
  void *block = nullptr;
  track_rec *recs = nullptr;
  if (new_id == nullptr || !allocate_pool(live, &block, &recs)) {
    free(new_id);
    free(block);
    return;
  }
  memset(new_id, 0xff, bytes_in_block(store->count * sizeof(uint32_t)));

  const track_rec *old = store->recs;
  play_queue *queue = &q->queue;
  uint64_t placed = 0;
  uint64_t string_bytes = 0;
  // The first new places of a record outside `tracks` (which may die) and of one
  // outside [0, loaded) (which may own its strings).
  uint64_t first_queue_only = live;
  uint64_t first_added = live;
  auto place = [&](uint64_t id) {
    const track_rec &rec = old[id];
    if ((rec.flags & rec_in_tracks) == 0 && first_queue_only == live) first_queue_only = placed;
    if (id >= store->loaded && first_added == live) first_added = placed;
    string_bytes += record_string_bytes(rec);
    new_id[id] = static_cast<uint32_t>(placed);
    recs[placed++] = rec;
  };
  for (uint64_t i = 0; i < queue->count; i++) {
    if (i + k_record_lookahead < queue->count) __builtin_prefetch(&old[queue_id(*queue, i + k_record_lookahead)]);
    place(queue_id(*queue, i));
  }
  // The tracks the queue no longer names follow, in pool order.
  for (uint64_t id = 0; id < store->count; id++) {
    if (new_id[id] == k_unplaced && (old[id].flags & rec_dead) == 0) place(id);
  }
  assert(placed == live);

  // The queue's entries are now the records [0, count), in order.
  for (uint64_t i = 0; i < queue->count; i++) queue->ids[i < queue->gap_at ? i : i + queue->gap_len] = static_cast<uint32_t>(i);
  for (uint64_t i = 0; i < q->tracks.count; i++) q->tracks.ids[i] = new_id[q->tracks.ids[i]];
  free(new_id);
  adopt_pool(store, block, recs, live, live);
  store->loaded = first_added;

  // The strings follow into one block, in the same order. Without the memory for it
  // the records keep pointing where they did.
  if constexpr (sizeof(size_t) < sizeof(uint64_t)) {
    if (string_bytes > SIZE_MAX) return;  // GCOVR_EXCL_LINE unreachable on a 64-bit build
  }
  auto *strings = static_cast<char *>(malloc(static_cast<size_t>(string_bytes)));
  if (strings == nullptr) return;
  copy_strings(recs, live, strings);
  free(store->text);
  store->text = strings;
  // Every record points into the new text now; only those `tracks` names never die.
  store->loaded = first_queue_only;
}
