// Up next: adding one track after the current entry or at the end, and removing,
// moving and clearing the entries after the current one.
#include <cstdlib>
#include <cstring>

#include "engine.h"
#include "model.h"

namespace {

int fail(const char *message) {
  set_err(message);
  return -1;
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

// Both lists get the track or neither does: every allocation is made first, and only
// then is anything put in place.
int32_t add_track(pbq_queue *q, const char *track_json, placement where) {
  if (q == nullptr || track_json == nullptr) return fail(msg::null_arg);
  track_rec incoming;
  {
    bool no_memory = false;
    doc_guard doc(read_json(track_json, &no_memory));
    if (doc.doc == nullptr) return fail(no_memory ? msg::out_of_memory : msg::invalid_track_json);
    read_result r = parse_track_val(yyjson_doc_get_root(doc.doc), &incoming);
    if (r == read_too_long) return fail(msg::out_of_memory);  // GCOVR_EXCL_LINE unreachable in a test: 4 GiB
    if (r == read_rejected) return fail(msg::missing_stream_url);
    // The document goes at the end of this scope; the record keeps its own copy.
    if (q->queue.count >= k_max_list_count) return fail(msg::out_of_memory);  // GCOVR_EXCL_LINE: 2^31 entries
    if (own_strings(&incoming) != 0) return fail(msg::out_of_memory);
  }
  // Until it is stored, the block is the call's to free.
  struct block_guard {
    track_rec *rec;
    ~block_guard() {
      if (rec != nullptr) free(const_cast<char *>(rec->stream_url));
    }
  } block{&incoming};

  bool had_current = q->queue.count > 0 && q->current >= 0;
  // Without a current entry the tracks are not searched: the track is always added.
  bool add_to_tracks = true;
  if (had_current) {
    if (index_prepare_insert(q) != 0) return fail(msg::out_of_memory);
    add_to_tracks = tracks_find(q, incoming.stream_url, incoming.stream_url_len) < 0;
  } else if (q->index.slots != nullptr && index_prepare_insert(q) != 0) {  // GCOVR_EXCL_LINE
    // Unreachable today: only an add with a current entry builds the index, and nothing
    // but a load, which drops it, leaves a queue without one. Kept so that the index
    // could never fall out of step with the tracks.
    return fail(msg::out_of_memory);  // GCOVR_EXCL_LINE
  }
  if (store_reserve(&q->store, q->store.count + 1) != 0 ||
      queue_reserve_one(&q->queue) != 0 ||
      (add_to_tracks && id_list_reserve(&q->tracks, q->tracks.count + 1) != 0)) {
    return fail(msg::out_of_memory);
  }

  // Nothing below can fail.
  if (add_to_tracks) incoming.flags |= rec_in_tracks;
  uint32_t id = store_push(&q->store, incoming);
  block.rec = nullptr;
  if (add_to_tracks) {
    q->tracks.ids[q->tracks.count++] = id;
    index_insert(q, q->tracks.count - 1);
  }
  uint64_t p = q->queue.count;
  assert(!had_current || static_cast<uint64_t>(q->current) < q->queue.count);
  if (had_current && where == placement::after_current) {
    uint64_t after = static_cast<uint64_t>(q->current) + 1;
    if (after < p) p = after;
  }
  queue_insert(&q->queue, p, id);

  int32_t result = PBQ_ADDED_QUEUED;
  if (!had_current) {
    // current 0 names the queue's first entry, which is not the new one when the
    // queue already held entries.
    q->current = 0;
    result = PBQ_ADDED_STARTED;
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
  if (q == nullptr || !up_next_position(q, offset, &p)) return PBQ_REFUSED;
  release_queue_entry(q, queue_erase(&q->queue, p));
  compact_if_sparse(q);
  return PBQ_OK;
}

int32_t pbq_move_up_next(pbq_queue *q, int32_t from, int32_t to) {
  uint64_t s, d;
  if (q == nullptr || !up_next_position(q, from, &s) || !up_next_position(q, to, &d)) return PBQ_REFUSED;
  if (s == d) return PBQ_OK;
  // The erase leaves the slot the insertion takes: nothing is allocated.
  queue_insert(&q->queue, d, queue_erase(&q->queue, s));
  return PBQ_OK;
}

int32_t pbq_clear_up_next(pbq_queue *q) {
  if (q == nullptr || !has_current(q)) return PBQ_OK;
  uint64_t keep = static_cast<uint64_t>(q->current) + 1;
  for (uint64_t i = keep; i < q->queue.count; i++) release_queue_entry(q, queue_id(q->queue, i));
  // The storage is kept; only the count goes down.
  queue_truncate(&q->queue, keep);
  compact_if_sparse(q);
  return PBQ_OK;
}

}  // extern "C"
