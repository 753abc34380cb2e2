// Laying the pool out in play order. The state document walks the queue; in a shuffled
// queue of a million tracks each entry's record is a random line of a 64 MB pool, and
// its strings cannot be fetched ahead before that line arrives, so the walk waits on
// memory twice an entry. With the records in play order the walk reads the pool front
// to back and fetches the strings ahead from records already at hand. Moving the
// records costs a fraction of one document; their strings stay where they are.
#include <cstdlib>
#include <cstring>

#include "model.h"

namespace {

// How far ahead of the copy the records are fetched.
constexpr uint64_t k_record_lookahead = 64;

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

}  // namespace

void lay_out_in_play_order(pbq_queue *q) {
  track_store *store = &q->store;
  uint64_t live = store->count - store->dead;
  if (live == 0 || in_play_order(q)) return;
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
  // The first added record's new place: the records before it are loaded ones.
  uint64_t first_added = live;
  auto place = [&](uint64_t id) {
    if (id >= store->loaded && placed < first_added) first_added = placed;
    new_id[id] = static_cast<uint32_t>(placed);
    recs[placed++] = old[id];
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
  free(store->block);
  store->block = block;
  store->recs = recs;
  store->count = live;
  store->capacity = live;
  store->dead = 0;
  store->loaded = first_added;
}
