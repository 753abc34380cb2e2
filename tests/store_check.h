// The storage's own invariants, checked over a whole handle: the pool's counts and
// bound, every list entry naming a live record, the queue naming each record once,
// no live record left unnamed, and the URL index agreeing with the loaded tracks.
// Used by the unit tests and by the fuzz targets after every call.
#pragma once

#include <cmath>
#include <cstring>
#include <vector>

#include "model.h"

namespace store_check {

// Null when the handle is sound, else what is wrong.
inline const char *fault(const pbq_queue *q) {
  const track_store &s = q->store;
  if (s.count > s.capacity || (s.recs == nullptr) != (s.capacity == 0)) return "pool count or storage";
  if (reinterpret_cast<uintptr_t>(s.recs) % k_cache_line != 0) return "pool off its cache-line boundary";
  uint64_t dead = 0, queue_only = 0, bound = 0, largest = 0;
  for (uint64_t i = 0; i < s.count; i++) {
    const track_rec &r = s.recs[i];
    bool loaded = i < s.loaded;
    if ((r.flags & rec_dead) != 0) {
      if (loaded) return "a loaded record died";
      dead++;
      continue;
    }
    // After a layout, records past `loaded` may point into the text too.
    if (loaded && (r.flags & (rec_owns_strings | rec_in_tracks)) != rec_in_tracks) {
      return "a record before `loaded` owning strings or outside tracks";
    }
    if (r.stream_url == nullptr || r.stream_url_len == 0 || strlen(r.stream_url) != r.stream_url_len) return "stream URL";
    if (r.title == nullptr || r.artist == nullptr || strlen(r.title) != r.title_len || strlen(r.artist) != r.artist_len) {
      return "title or artist";
    }
    if (r.artwork_url != nullptr && (r.artwork_url_len == 0 || strlen(r.artwork_url) != r.artwork_url_len)) return "artwork";
    if (!std::isfinite(r.duration) || r.duration < 0.0) return "duration";
    bound += record_text_bound(r);
    if (record_text_bound(r) > largest) largest = record_text_bound(r);
    if ((r.flags & rec_in_tracks) == 0) queue_only++;
  }
  if (s.dead != dead || s.queue_only != queue_only) return "dead or queue-only count";
  if (s.live_text_bound != bound) return "text bound";
  if (s.max_text_bound < largest) return "largest text bound";
  if (s.dead > k_first_capacity && s.dead > s.count - s.dead) return "dead slots outnumber live ones";

  std::vector<unsigned char> named(s.count, 0);
  const id_list &t = q->tracks;
  if (t.count > t.capacity || (t.ids == nullptr) != (t.capacity == 0)) return "tracks storage";
  const play_queue &pq = q->queue;
  if (pq.count + pq.gap_len > pq.capacity || pq.gap_at > pq.count || (pq.ids == nullptr) != (pq.capacity == 0)) {
    return "queue storage or gap";
  }
  for (uint64_t i = 0; i < q->tracks.count; i++) {
    uint32_t id = q->tracks.ids[i];
    if (id >= s.count || (s.recs[id].flags & (rec_dead | rec_in_tracks)) != rec_in_tracks) return "tracks entry";
    if ((named[id] & 1) != 0) return "a record named twice by tracks";
    named[id] |= 1;
  }
  for (uint64_t i = 0; i < q->queue.count; i++) {
    uint32_t id = queue_id(q->queue, i);
    if (id >= s.count || (s.recs[id].flags & rec_dead) != 0) return "queue entry names no live record";
    if ((named[id] & 2) != 0) return "a record named twice by the queue";
    named[id] |= 2;
  }
  for (uint64_t i = 0; i < s.count; i++) {
    bool live = (s.recs[i].flags & rec_dead) == 0;
    if (live != (named[i] != 0)) return "a live record no list names";
    if (live && (s.recs[i].flags & rec_in_tracks) == 0 && named[i] != 2) return "queue-only record";
  }

  if (q->index.slots != nullptr) {
    if (q->index.capacity * 4 < 5 * q->tracks.count) return "index too full";
    for (uint64_t i = 0; i < q->tracks.count; i++) {
      const track_rec &r = s.recs[q->tracks.ids[i]];
      int64_t first = -1;
      for (uint64_t j = 0; j <= i && first < 0; j++) {
        const track_rec &o = s.recs[q->tracks.ids[j]];
        if (o.stream_url_len == r.stream_url_len && memcmp(o.stream_url, r.stream_url, r.stream_url_len) == 0) {
          first = static_cast<int64_t>(j);
        }
      }
      if (tracks_find(q, r.stream_url, r.stream_url_len) != first) return "index disagrees with tracks";
    }
  }
  return nullptr;
}

}  // namespace store_check
