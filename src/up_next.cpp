// Up next: adding one track after the current entry or at the end, and removing,
// moving and clearing the entries after the current one.
#include <cstring>

#include "engine.h"
#include "model.h"

namespace {

int fail(const char *message) {
  set_err(message);
  return -1;
}

// True when a loaded track already has this stream URL.
bool tracks_hold(const track_list *tracks, const char *stream_url) {
  for (uint64_t i = 0; i < tracks->count; i++) {
    if (strcmp(tracks->items[i].stream_url, stream_url) == 0) return true;
  }
  return false;
}

// Up-next index `offset` as a queue position, or false when there is no such entry.
bool up_next_position(const pbq_queue *q, int32_t offset, uint64_t *position) {
  if (q->current < 0 || offset < 0) return false;
  uint64_t p = static_cast<uint64_t>(q->current) + 1 + static_cast<uint64_t>(offset);
  if (p >= q->queue.count) return false;
  *position = p;
  return true;
}

enum class placement { after_current, at_end };

// Both lists get the track or neither does: room and copies are made first, and
// only then is anything put in place.
int32_t add_track(pbq_queue *q, const char *track_json, placement where) {
  if (q == nullptr || track_json == nullptr) return fail(msg::null_arg);
  track_guard incoming;
  {
    bool no_memory = false;
    doc_guard doc(read_json(track_json, &no_memory));
    if (doc.doc == nullptr) return fail(no_memory ? msg::out_of_memory : msg::invalid_track_json);
    read_result r = parse_track_val(yyjson_doc_get_root(doc.doc), &incoming.rec);
    if (r == read_no_memory) return fail(msg::out_of_memory);
    if (r == read_rejected) return fail(msg::missing_stream_url);
  }

  bool had_current = q->queue.count > 0 && q->current >= 0;
  // Without a current entry the tracks are not searched: the track is always added.
  bool add_to_tracks = !had_current || !tracks_hold(&q->tracks, incoming.rec.stream_url);

  track_guard for_tracks;
  if (list_reserve(&q->queue, q->queue.count + 1) != 0) return fail(msg::out_of_memory);
  if (add_to_tracks) {
    if (list_reserve(&q->tracks, q->tracks.count + 1) != 0 ||
        track_copy(&for_tracks.rec, &incoming.rec) != 0) {
      return fail(msg::out_of_memory);
    }
    // Cannot fail: the room was made above.
    (void)list_push_move(&q->tracks, &for_tracks.rec);
  }

  // The queue takes the read record itself.
  uint64_t p = q->queue.count;
  if (had_current && where == placement::after_current) {
    uint64_t after = static_cast<uint64_t>(q->current) + 1;
    if (after < p) p = after;
  }
  (void)list_push_move(&q->queue, &incoming.rec);
  move_to_front_of(q->queue.items, p, q->queue.count - 1);

  int32_t result = 0;
  if (!had_current) {
    // current 0 names the queue's first entry, which is not the new one when the
    // queue already held entries.
    q->current = 0;
    result = 1;
  }
  set_err("");
  return result;
}

}  // namespace

extern "C" {

int32_t pbq_play_next_json(pbq_queue *q, const char *track_json) {
  return add_track(q, track_json, placement::after_current);
}

int32_t pbq_add_to_queue_json(pbq_queue *q, const char *track_json) {
  return add_track(q, track_json, placement::at_end);
}

int32_t pbq_remove_up_next(pbq_queue *q, int32_t offset) {
  uint64_t p;
  if (q == nullptr || !up_next_position(q, offset, &p)) return -1;
  track_free(&q->queue.items[p]);
  memmove(&q->queue.items[p], &q->queue.items[p + 1], (q->queue.count - p - 1) * sizeof(track));
  q->queue.count--;
  q->queue.items[q->queue.count] = track{};
  return 0;
}

int32_t pbq_move_up_next(pbq_queue *q, int32_t from, int32_t to) {
  uint64_t s, d;
  if (q == nullptr || !up_next_position(q, from, &s) || !up_next_position(q, to, &d)) return -1;
  if (s == d) return 0;
  track *items = q->queue.items;
  track moving = items[s];
  if (s < d) memmove(&items[s], &items[s + 1], (d - s) * sizeof(track));
  else memmove(&items[d + 1], &items[d], (s - d) * sizeof(track));
  items[d] = moving;
  return 0;
}

int32_t pbq_clear_up_next(pbq_queue *q) {
  if (q == nullptr || !has_current(q)) return 0;
  uint64_t keep = static_cast<uint64_t>(q->current) + 1;
  for (uint64_t i = keep; i < q->queue.count; i++) track_free(&q->queue.items[i]);
  // The storage is kept; only the count goes down.
  q->queue.count = keep;
  return 0;
}

}  // extern "C"
