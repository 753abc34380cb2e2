// Loading a track list: the new tracks and play queue are built aside and swapped
// in only when everything was allocated.
#include <cstring>

#include "engine.h"
#include "model.h"

namespace {

int fail(const char *message) {
  set_err(message);
  return -1;
}

// Orders the play queue, a copy of the tracks in source order, for the start track
// `s`: with shuffle on the chosen track goes first and the others follow in seeded
// order.
void order_play_queue(track_list *queue, uint64_t s, bool shuffled, uint64_t seed) {
  if (!shuffled) return;
  move_to_front_of(queue->items, 0, s);
  if (queue->count > 2) shuffle_range(queue->items, 1, queue->count, seed);
}

}  // namespace

int list_copy_all(track_list *out, const track_list *src) {
  if (list_reserve(out, src->count) != 0) return -1;
  for (uint64_t i = 0; i < src->count; i++) {
    if (list_push_copy(out, &src->items[i]) != 0) return -1;
  }
  return 0;
}

void move_to_front_of(track *items, uint64_t to, uint64_t from) {
  if (from <= to) return;
  track moving = items[from];
  memmove(&items[to + 1], &items[to], (from - to) * sizeof(track));
  items[to] = moving;
}

extern "C" int32_t pbq_set_tracks_json(pbq_queue *q, const char *tracks_json,
                                       int32_t start_index, uint64_t seed) {
  if (q == nullptr || tracks_json == nullptr) return fail(msg::null_arg);
  bool no_memory = false;
  doc_guard doc(read_json(tracks_json, &no_memory));
  if (doc.doc == nullptr) return fail(no_memory ? msg::out_of_memory : msg::invalid_tracks_json);
  yyjson_val *root = yyjson_doc_get_root(doc.doc);
  if (!yyjson_is_arr(root)) return fail(msg::tracks_not_array);

  // Both lists are filled in one pass, so that each record is copied while its
  // strings are still in cache.
  // Both grow by doubling rather than being sized from the array: an array of
  // rejected elements must not reserve room for tracks that never come.
  list_guard tracks, queue;
  size_t index, max;
  yyjson_val *element;
  yyjson_arr_foreach(root, index, max, element) {
    track_guard read;
    read_result r = parse_track_val(element, &read.rec);
    if (r == read_rejected) continue;
    if (r == read_no_memory || list_reserve(&tracks.list, tracks.list.count + 1) != 0 ||
        list_push_copy(&queue.list, &read.rec) != 0) {
      return fail(msg::out_of_memory);
    }
    // Moved, not copied: the record's strings travel into the list, whose room was
    // made above.
    (void)list_push_move(&tracks.list, &read.rec);
  }

  uint64_t s = 0;
  if (tracks.list.count > 0) {
    // Clamped so that an index past either end still starts a track.
    if (start_index > 0) s = static_cast<uint64_t>(start_index);
    if (s >= tracks.list.count) s = tracks.list.count - 1;
    order_play_queue(&queue.list, s, q->shuffle != 0, seed);
  }

  list_clear(&q->tracks);
  list_clear(&q->queue);
  q->tracks = tracks.release();
  q->queue = queue.release();
  if (q->queue.count == 0) q->current = -1;
  else q->current = q->shuffle != 0 ? 0 : static_cast<int32_t>(s);
  set_err("");
  return 0;
}
