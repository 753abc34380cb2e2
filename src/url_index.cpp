// The stream-URL index of the loaded tracks: where the first track with a URL stands,
// so that an add need not walk every loaded track.
#include <cstdlib>
#include <cstring>

#define XXH_INLINE_ALL
#include <xxhash.h>

#include "model.h"
#include "mul_high.h"

namespace {

uint64_t url_hash(const char *url, uint32_t length) { return XXH3_64bits(url, length); }

bool same_url(const track_rec &rec, const char *url, uint32_t length) {
  return rec.stream_url_len == length && memcmp(rec.stream_url, url, length) == 0;
}

// The first slot of a hash: its high bits scaled to the table, which need not be a
// power of two.
uint64_t home_slot(uint64_t hash, uint64_t capacity) {
  return mul_high_u64(hash, capacity);
}

// Walks the probe sequence of `hash`: the slot holding `url`, or the empty slot where
// it would go. The table is never full, so an empty slot ends every walk.
url_slot *probe(const pbq_queue *q, const url_slot *slots, uint64_t capacity, uint64_t hash,
                const char *url, uint32_t length) {
  auto tag = static_cast<uint32_t>(hash);
  for (uint64_t i = home_slot(hash, capacity);; i = i + 1 == capacity ? 0 : i + 1) {
    const url_slot &slot = slots[i];
    if (slot.position_plus_one == 0) return const_cast<url_slot *>(&slot);
    if (slot.tag == tag && same_url(tracks_entry(q, slot.position_plus_one - 1), url, length)) {
      return const_cast<url_slot *>(&slot);
    }
  }
}

// Puts tracks[position], whose URL hashes to `hash`, into `slots` unless its URL is
// there: the first occurrence stays, as the add rule and shuffle off want.
void insert_into(const pbq_queue *q, url_slot *slots, uint64_t capacity, uint64_t position, uint64_t hash) {
  const track_rec &rec = tracks_entry(q, position);
  url_slot *slot = probe(q, slots, capacity, hash, rec.stream_url, rec.stream_url_len);
  if (slot->position_plus_one != 0) return;
  slot->position_plus_one = static_cast<uint32_t>(position + 1);
  slot->tag = static_cast<uint32_t>(hash);
}

// Built two-thirds full and rebuilt past four-fifths: probes stay short and the table
// costs about 12 bytes a track.
uint64_t capacity_for(uint64_t entries) { return entries + entries / 2 + 64; }
bool too_full(uint64_t entries, uint64_t capacity) { return entries * 5 > capacity * 4; }

}  // namespace

int64_t tracks_find(const pbq_queue *q, const char *url, uint32_t length) {
  if (q->index.slots != nullptr) {
    const url_slot *slot = probe(q, q->index.slots, q->index.capacity, url_hash(url, length), url, length);
    return slot->position_plus_one == 0 ? -1 : int64_t{slot->position_plus_one} - 1;
  }
  for (uint64_t i = 0; i < q->tracks.count; i++) {
    if (same_url(tracks_entry(q, i), url, length)) return static_cast<int64_t>(i);
  }
  return -1;
}

int index_prepare_insert(pbq_queue *q) {
  url_index *index = &q->index;
  uint64_t needed = q->tracks.count + 1;
  if (index->slots != nullptr && !too_full(needed, index->capacity)) return 0;
  // Built, or rebuilt larger, from `tracks` itself; the old table is dropped only when
  // the new one exists.
  uint64_t capacity = capacity_for(needed);
  auto *slots = static_cast<url_slot *>(calloc_array(capacity, sizeof(url_slot)));
  if (slots == nullptr) return -1;
  // In batches: the hashes first, fetching each one's slot, then the insertions, so
  // that the table's cache misses overlap instead of following one another.
  constexpr uint64_t k_batch = 32;
  uint64_t hashes[k_batch];
  for (uint64_t start = 0; start < q->tracks.count; start += k_batch) {
    uint64_t n = q->tracks.count - start < k_batch ? q->tracks.count - start : k_batch;
    for (uint64_t k = 0; k < n; k++) {
      const track_rec &rec = tracks_entry(q, start + k);
      hashes[k] = url_hash(rec.stream_url, rec.stream_url_len);
      __builtin_prefetch(&slots[home_slot(hashes[k], capacity)]);
    }
    for (uint64_t k = 0; k < n; k++) insert_into(q, slots, capacity, start + k, hashes[k]);
  }
  free(index->slots);
  index->slots = slots;
  index->capacity = capacity;
  return 0;
}

void index_insert(pbq_queue *q, uint64_t position) {
  if (q->index.slots == nullptr) return;
  assert(!too_full(position + 1, q->index.capacity));
  const track_rec &rec = tracks_entry(q, position);
  insert_into(q, q->index.slots, q->index.capacity, position, url_hash(rec.stream_url, rec.stream_url_len));
}

void index_free(url_index *index) {
  free(index->slots);
  *index = url_index{};
}
