// Loading a track list. The host's text is copied once and decoded in place; the
// records point into that copy, which the handle keeps instead of a string per field.
// Everything is built aside and swapped in only when all of it was allocated.
#include <cstdlib>
#include <cstring>

#include "engine.h"
#include "model.h"

namespace {

int fail(const char *message) {
  set_err(message);
  return -1;
}

// What a load builds before it touches the handle; freed unless handed over.
struct new_lists {
  track_store store{};
  id_list tracks{};
  play_queue queue{};
  new_lists() = default;
  ~new_lists() {
    store_free(&store);
    id_list_free(&tracks);
    queue_free(&queue);
  }
  new_lists(const new_lists &) = delete;
  new_lists &operator=(const new_lists &) = delete;
};

// Orders the play queue, the tracks in source order, for the start track `s`: with
// shuffle on the chosen track goes first and the others follow in seeded order.
void order_play_queue(play_queue *queue, uint64_t s, bool shuffled, uint64_t seed) {
  if (!shuffled) return;
  move_to_front_of(queue->ids, 0, s);
  if (queue->count > 2) shuffle_range(queue->ids, 1, queue->count, seed);
}

}  // namespace

void move_to_front_of(uint32_t *ids, uint64_t to, uint64_t from) {
  if (from <= to) return;
  uint32_t moving = ids[from];
  memmove(&ids[to + 1], &ids[to], bytes_in_block((from - to) * sizeof(uint32_t)));
  ids[to] = moving;
}

parse_outcome parse_tracks(const char *tracks_json, parsed_tracks *out) {
  size_t length = strlen(tracks_json);
  // GCOVR_EXCL_START unreachable: no string that long fits in memory beside the padding
  if (length > SIZE_MAX - YYJSON_PADDING_SIZE) return parse_outcome::no_memory;
  // GCOVR_EXCL_STOP
  out->text = static_cast<char *>(malloc(length + YYJSON_PADDING_SIZE));
  if (out->text == nullptr) return parse_outcome::no_memory;
  out->length = length;
  memcpy(out->text, tracks_json, length);
  memset(out->text + length, 0, YYJSON_PADDING_SIZE);
  yyjson_read_err err{};
  // Strings are decoded into the copy itself, so they outlive the document.
  out->doc = yyjson_read_opts(out->text, length, YYJSON_READ_INSITU, nullptr, &err);
  if (out->doc == nullptr) {
    return err.code == YYJSON_READ_ERROR_MEMORY_ALLOCATION ? parse_outcome::no_memory : parse_outcome::invalid;
  }
  return yyjson_is_arr(yyjson_doc_get_root(out->doc)) ? parse_outcome::ok : parse_outcome::not_array;
}

int32_t install_tracks(pbq_queue *q, parsed_tracks *parsed, int32_t start_index, uint64_t seed) {
  new_lists built;
  yyjson_val *root = yyjson_doc_get_root(parsed->doc);
  // Room for every element that could be a track, made once: the smallest usable
  // track, {"id":"x"} and a comma, takes 11 bytes of text, so an array of rejected
  // elements reserves no more than that allows. The slack goes back at the end.
  uint64_t could_be_tracks = parsed->length / 11 + 1;
  if (could_be_tracks > yyjson_arr_size(root)) could_be_tracks = yyjson_arr_size(root);
  if (could_be_tracks > 0 && store_reserve(&built.store, could_be_tracks) != 0) return fail(msg::out_of_memory);
  size_t index, max;
  yyjson_val *element;
  yyjson_arr_foreach(root, index, max, element) {
    // GCOVR_EXCL_START unreachable in a test: 2^31 tracks, or growth past the room
    // reserved above, which already counts every element that could be a track
    if (built.store.count >= k_max_list_count || store_reserve(&built.store, built.store.count + 1) != 0) {
      return fail(msg::out_of_memory);
    }
    // GCOVR_EXCL_STOP
    // Read straight into the pool's next slot, which only counts once it holds a track.
    track_rec *rec = &built.store.recs[built.store.count];
    read_result r = parse_track_val(element, rec);
    if (r == read_rejected) continue;
    if (r == read_too_long) return fail(msg::out_of_memory);  // GCOVR_EXCL_LINE unreachable in a test: 4 GiB
    rec->flags |= rec_in_tracks;
    store_commit_last(&built.store);
  }

  uint64_t n = built.store.count;
  uint64_t s = 0;
  if (n > 0) {
    if (id_list_reserve(&built.tracks, n) != 0) return fail(msg::out_of_memory);
    for (uint64_t i = 0; i < n; i++) built.tracks.ids[i] = static_cast<uint32_t>(i);
    built.tracks.count = n;
    if (queue_assign(&built.queue, built.tracks.ids, n) != 0) return fail(msg::out_of_memory);
    // Clamped so that an index past either end still starts a track.
    if (start_index > 0) s = static_cast<uint64_t>(start_index);
    if (s >= n) s = n - 1;
    assert(s < n && n <= k_max_list_count);
    order_play_queue(&built.queue, s, q->shuffle != 0, seed);
    // The slack is given back: the pool only grows again through adds.
    store_shrink_to_fit(&built.store);
    // The records point into the text: it now belongs to the store.
    built.store.loaded = n;
    built.store.text = parsed->text;
    parsed->text = nullptr;
  }

  store_free(&q->store);
  id_list_free(&q->tracks);
  queue_free(&q->queue);
  index_free(&q->index);
  q->store = built.store;
  q->tracks = built.tracks;
  q->queue = built.queue;
  built.store = track_store{};
  built.tracks = id_list{};
  built.queue = play_queue{};
  if (q->queue.count == 0) q->current = -1;
  else q->current = q->shuffle != 0 ? 0 : static_cast<int32_t>(s);
  // A load in source order fills the pool in play order; a shuffled one does not.
  q->layout_wanted = q->shuffle != 0;
  set_err("");
  return 0;
}

extern "C" int32_t pbq_set_tracks_json(pbq_queue *q, const char *tracks_json, int32_t start_index,
                                       uint64_t seed) {
  if (q == nullptr || tracks_json == nullptr) return fail(msg::null_arg);
  parsed_tracks parsed;
  switch (parse_tracks(tracks_json, &parsed)) {  // GCOVR_EXCL_LINE: its hidden branch is a value outside the enum
    case parse_outcome::ok: break;
    case parse_outcome::no_memory: return fail(msg::out_of_memory);
    case parse_outcome::invalid: return fail(msg::invalid_tracks_json);
    case parse_outcome::not_array: return fail(msg::tracks_not_array);
  }
  return install_tracks(q, &parsed, start_index, seed);
}
