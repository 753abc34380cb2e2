// The record pool and the id lists: growth, owned strings, release and compaction.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "model.h"

uint64_t grown_capacity(uint64_t capacity, uint64_t needed) {
  uint64_t grown = capacity == 0 ? k_first_capacity : capacity * 2;
  while (grown < needed) grown *= 2;
  return grown;
}

namespace {

void free_owned(track_rec *rec) {
  if ((rec->flags & rec_owns_strings) != 0) free(const_cast<char *>(rec->stream_url));
  rec->flags &= ~rec_owns_strings;
}

// A record no list names: its own strings go now (strings in the text stay until the
// next load or layout), its slot at the next compaction.
void kill(track_store *store, track_rec *rec) {
  assert((rec->flags & (rec_dead | rec_in_tracks)) == 0);
  store->live_text_bound -= record_text_bound(*rec);
  free_owned(rec);
  rec->flags |= rec_dead;
  store->dead++;
  store->queue_only--;
}

// Records start on a cache-line boundary, so each 64-byte record is one line: a
// shuffled queue's document visits the pool out of order and then fetches one line a
// record, not two. malloc promises 16-byte alignment only, so each pool block has a
// line of slack in front.
track_rec *first_line_of(void *block) {
  auto at = reinterpret_cast<uintptr_t>(block);
  return reinterpret_cast<track_rec *>((at + k_cache_line - 1) & ~(k_cache_line - 1));
}

// Bytes of a pool block for `capacity` records (below 2^32, so no overflow in 64 bits).
uint64_t pool_block_size(uint64_t capacity) { return capacity * sizeof(track_rec) + k_cache_line - 1; }

}  // namespace

bool allocate_pool(uint64_t capacity, void **block, track_rec **recs) {
  assert(capacity > 0);
  // No more records than the pool already holds (or 16), so the size fits size_t.
  *block = malloc(static_cast<size_t>(pool_block_size(capacity)));
  *recs = first_line_of(*block);
  return *block != nullptr;
}

namespace {

// Resizes the pool to `capacity` records (at least `count`), keeping them in order.
// Returns false with the store unchanged when memory ran out.
bool resize_pool(track_store *store, uint64_t capacity) {
  assert(capacity >= store->count && capacity > 0);
  uint64_t size = pool_block_size(capacity);
  if constexpr (sizeof(size_t) < sizeof(uint64_t)) {
    if (size > SIZE_MAX) return false;  // more than a 32-bit address space holds
  }
  // Where the records start in the block; 0 for an empty pool, where both are null.
  auto offset = static_cast<size_t>(reinterpret_cast<uintptr_t>(store->recs) - reinterpret_cast<uintptr_t>(store->block));
  void *block = realloc(store->block, static_cast<size_t>(size));
  if (block == nullptr) return false;
  // realloc kept the bytes, not their alignment: move the records onto a boundary
  // when the block moved to a different one.
  track_rec *recs = first_line_of(block);
  char *kept = static_cast<char *>(block) + offset;
  if (reinterpret_cast<char *>(recs) != kept) memmove(recs, kept, bytes_in_block(store->count * sizeof(track_rec)));
  store->block = block;
  store->recs = recs;
  store->capacity = capacity;
  return true;
}

// Renames every id of `list` after a compaction.
void rewrite_ids(id_list *list, const uint32_t *new_id) {
  for (uint64_t i = 0; i < list->count; i++) list->ids[i] = new_id[list->ids[i]];
}

}  // namespace

uint64_t record_string_bytes(const track_rec &rec) {
  // Lengths are below 2^32 each, so the sum cannot overflow 64 bits.
  uint64_t artwork = rec.artwork_url != nullptr ? uint64_t{rec.artwork_url_len} + 1 : 0;
  return uint64_t{rec.stream_url_len} + rec.title_len + rec.artist_len + 3 + artwork;
}

uint64_t record_text_bound(const track_rec &rec) {
  // {"streamURL":"","title":"","artist":"","artworkURL":null,"duration":} and a comma
  // take 70 bytes; a number at most 24. Escaping writes at most 6 bytes a byte.
  constexpr uint64_t k_fixed = 128;
  auto text = [&](uint32_t length, uint32_t plain_flag) {
    return static_cast<uint64_t>(length) * ((rec.flags & plain_flag) != 0 ? 1 : 6);
  };
  return k_fixed + text(rec.stream_url_len, rec_plain_stream_url) + text(rec.title_len, rec_plain_title) +
         text(rec.artist_len, rec_plain_artist) + text(rec.artwork_url_len, rec_plain_artwork);
}

int store_reserve(track_store *store, uint64_t needed) {
  if (needed <= store->capacity) return 0;
  // Ids are 32-bit; live records never exceed the list limit and dead ones are
  // compacted before they outnumber them.
  if (needed > UINT32_MAX) return -1;  // GCOVR_EXCL_LINE unreachable in a test: 2^32 records
  // A loaded pool is sized to fit, so adds grow it by an eighth, not by doubling:
  // one add to a million tracks must not reserve room for a million more.
  uint64_t capacity = store->capacity + (store->capacity / 8 > k_first_capacity ? store->capacity / 8 : k_first_capacity);
  if (capacity < needed) capacity = needed;
  if (capacity > UINT32_MAX) capacity = UINT32_MAX;  // GCOVR_EXCL_LINE unreachable in a test: 2^32 records
  return resize_pool(store, capacity) ? 0 : -1;
}

void store_shrink_to_fit(track_store *store) {
  // Best effort: a pool that cannot shrink keeps its slack.
  if (store->capacity > store->count) (void)resize_pool(store, store->count);
}

uint32_t store_push(track_store *store, const track_rec &rec) {
  assert(store->count < store->capacity);
  store->recs[store->count] = rec;
  return store_commit_last(store);
}

uint32_t store_commit_last(track_store *store) {
  assert(store->count < store->capacity);
  auto id = static_cast<uint32_t>(store->count++);
  const track_rec &rec = store->recs[id];
  uint64_t bound = record_text_bound(rec);
  store->live_text_bound += bound;
  if (bound > store->max_text_bound) store->max_text_bound = bound;
  if ((rec.flags & rec_in_tracks) == 0) store->queue_only++;
  return id;
}

void store_free(track_store *store) {
  // Only added records own strings, and they all come after `loaded`; a record laid
  // out after it may point into the text instead.
  for (uint64_t i = store->loaded; i < store->count; i++) free_owned(&store->recs[i]);
  free(store->block);
  free(store->text);
  *store = track_store{};
}

int own_strings(track_rec *rec) {
  uint64_t size = record_string_bytes(*rec);
  if (size > SIZE_MAX) return -1;
  auto *block = static_cast<char *>(malloc(static_cast<size_t>(size)));
  if (block == nullptr) return -1;
  char *at = block;
  auto place = [&at](const char *s, uint32_t length) {
    memcpy(at, s, length);
    at[length] = '\0';
    const char *placed = at;
    at += length + 1;
    return placed;
  };
  // stream_url first: it is the pointer the block is freed through.
  rec->stream_url = place(rec->stream_url, rec->stream_url_len);
  rec->title = place(rec->title, rec->title_len);
  rec->artist = place(rec->artist, rec->artist_len);
  if (rec->artwork_url != nullptr) rec->artwork_url = place(rec->artwork_url, rec->artwork_url_len);
  rec->flags |= rec_owns_strings;
  return 0;
}

int id_list_reserve(id_list *list, uint64_t needed) {
  if (needed <= list->capacity) return 0;
  if (needed > k_max_list_count) return -1;
  // Both bounds keep the byte count far from overflow: capacity < 2^32 here.
  uint64_t capacity = grown_capacity(list->capacity, needed);
  auto *ids = static_cast<uint32_t *>(realloc_array(list->ids, capacity, sizeof(uint32_t)));
  if (ids == nullptr) return -1;
  list->ids = ids;
  list->capacity = capacity;
  return 0;
}

void id_list_free(id_list *list) {
  free(list->ids);
  *list = id_list{};
}

void release_queue_entry(pbq_queue *q, uint32_t id) {
  assert(id < q->store.count);
  track_rec *rec = &q->store.recs[id];
  if ((rec->flags & rec_in_tracks) == 0) kill(&q->store, rec);
}

void release_queue_only(pbq_queue *q) {
  // The live queue-only records are exactly those the queue names, so a walk over the
  // pool in order finds them without touching the queue.
  track_store *store = &q->store;
  for (uint64_t i = store->loaded; i < store->count && store->queue_only > 0; i++) {
    track_rec *rec = &store->recs[i];
    if ((rec->flags & (rec_in_tracks | rec_dead)) == 0) kill(store, rec);
  }
}

void compact_if_sparse(pbq_queue *q) {
  track_store *store = &q->store;
  uint64_t live = store->count - store->dead;
  if (store->dead < k_first_capacity || store->dead <= live) return;

  auto *new_id = static_cast<uint32_t *>(malloc_array(store->count, sizeof(uint32_t)));
  uint64_t capacity = live < k_first_capacity ? k_first_capacity : live;
  void *block = nullptr;
  track_rec *recs = nullptr;
  if (new_id == nullptr || !allocate_pool(capacity, &block, &recs)) {
    free(new_id);
    free(block);
    return;
  }
  // The records [0, loaded) keep their places (they never die); the rest close up.
  uint64_t kept = store->loaded;
  for (uint64_t i = 0; i < store->loaded; i++) new_id[i] = static_cast<uint32_t>(i);
  memcpy(recs, store->recs, bytes_in_block(store->loaded * sizeof(track_rec)));
  for (uint64_t i = store->loaded; i < store->count; i++) {
    if ((store->recs[i].flags & rec_dead) != 0) continue;
    new_id[i] = static_cast<uint32_t>(kept);
    recs[kept++] = store->recs[i];
  }
  assert(kept == live);
  // The index holds positions in `tracks`, which compaction does not move.
  rewrite_ids(&q->tracks, new_id);
  play_queue *queue = &q->queue;
  for (uint64_t i = 0; i < queue->count; i++) {
    uint64_t slot = i < queue->gap_at ? i : i + queue->gap_len;
    queue->ids[slot] = new_id[queue->ids[slot]];
  }
  free(new_id);
  adopt_pool(store, block, recs, kept, capacity);
}

void adopt_pool(track_store *store, void *block, track_rec *recs, uint64_t count, uint64_t capacity) {
  free(store->block);
  store->block = block;
  store->recs = recs;
  store->count = count;
  store->capacity = capacity;
  store->dead = 0;
}
