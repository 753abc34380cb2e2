// The frame and the track model: the handle, the record pool that holds every track,
// the id lists that order them, the track reader and the per-thread error text.
// Internal to the library.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>

#include <yyjson.h>

#include "pbq.h"
#include "sizes.h"

// One track as the handle keeps it. A record is made once (by a load or an add) and
// never changes, though a layout or a compaction may move it to another slot; every
// list entry that names it shares its strings.
struct track_rec {
  const char *stream_url;   // never null or empty; NUL-terminated
  const char *title;        // never null; "" when the input had none
  const char *artist;       // never null; "" when the input had none
  const char *artwork_url;  // null when the track has no artwork
  uint32_t stream_url_len, title_len, artist_len, artwork_url_len;
  double duration;          // seconds, finite; 0 when unknown
  uint32_t flags;           // rec_* bits below
  uint32_t spare;
};

// The string needs no escaping in JSON output (read without escape sequences).
constexpr uint32_t rec_plain_stream_url = 1u << 0;
constexpr uint32_t rec_plain_title = 1u << 1;
constexpr uint32_t rec_plain_artist = 1u << 2;
constexpr uint32_t rec_plain_artwork = 1u << 3;
// The four strings live in one heap block that starts at stream_url (tracks added since
// the last load or layout); otherwise they point into the store's text.
constexpr uint32_t rec_owns_strings = 1u << 4;
// Named by `tracks`, which only grows until the next load: the record lives as long.
constexpr uint32_t rec_in_tracks = 1u << 5;
// Named by no list any more: its strings are freed and its slot awaits compaction.
constexpr uint32_t rec_dead = 1u << 6;

// The pool's records start on this boundary (see store.cpp).
constexpr uintptr_t k_cache_line = 64;

// Every record of a handle. Loaded records point into `text`, the host's tracks JSON
// copied once and decoded in place by the reader; added records own their strings.
struct track_store {
  track_rec *recs;             // null exactly when capacity is 0; on a cache-line boundary
  void *block;                 // the allocation `recs` lies in
  uint64_t count;              // slots in use, dead ones included
  uint64_t capacity;
  uint64_t dead;               // slots whose record no list names
  uint64_t queue_only;         // live records named by the queue alone
  uint64_t live_text_bound;    // sum of record_text_bound over the live records
  uint64_t max_text_bound;     // at least the largest record_text_bound of a live record
  uint64_t loaded;             // records [0, loaded) are named by `tracks` and point into
                               // `text`: they never die, and only a layout moves them.
                               // A load puts its records there and adds come after; a
                               // layout ends `loaded` at its first queue-only record
  char *text;                  // the loaded text, or the strings a layout copied in
                               // play order; null when nothing was loaded
};

// An ordered list of record ids: `tracks` (source order) and `queue` (play order).
struct id_list {
  uint32_t *ids;               // null exactly when capacity is 0
  uint64_t count;
  uint64_t capacity;
};

// The play order: record ids with a gap. Entries [0, gap_at) stand at ids[0, gap_at)
// and the rest at ids[gap_at + gap_len, count + gap_len); free room follows. Play next
// inserts where the last insertion was, so the gap stays there and an insertion moves
// nothing however long the queue is; a removal widens the gap.
struct play_queue {
  uint32_t *ids;               // null exactly when capacity is 0
  uint64_t count;              // entries
  uint64_t capacity;           // slots: entries, gap and free room
  uint64_t gap_at;             // <= count
  uint64_t gap_len;
};

// Stream URL -> position in `tracks` of its first occurrence. Built on first need
// and kept up to date by every append to `tracks`; dropped by a load.
struct url_slot {
  uint32_t position_plus_one;  // 0 for an empty slot
  uint32_t tag;                // low bits of the URL's hash (the slot comes from the
                               // high ones), to skip most compares
};
struct url_index {
  url_slot *slots;             // null when the index is not built
  uint64_t capacity;           // slots; 0 when not built
};

struct pbq_queue {
  track_store store;
  id_list tracks;              // the loaded tracks in source order
  play_queue queue;            // the play order
  url_index index;
  int32_t current;             // index into queue, -1 for none
  int32_t repeat_mode;
  int32_t shuffle;
  float rate;
  int32_t sleep_mode;
  int64_t sleep_deadline;
  // The play order changed as a whole (a shuffle, turning it off, a shuffled load)
  // since the pool was last laid out: the next state document lays it out first.
  bool layout_wanted;
};

// Indices are signed 32-bit, so no list holds more entries than this; record ids are
// 32-bit, and the pool never holds more than twice the live records.
constexpr uint64_t k_max_list_count = INT32_MAX;
constexpr uint64_t k_first_capacity = 16;

constexpr int32_t k_repeat_off = PBQ_REPEAT_OFF;
constexpr int32_t k_repeat_all = PBQ_REPEAT_ALL;
constexpr int32_t k_repeat_one = PBQ_REPEAT_ONE;

constexpr int32_t k_sleep_off = PBQ_SLEEP_OFF;
constexpr int32_t k_sleep_timer = PBQ_SLEEP_TIMER;
constexpr int32_t k_sleep_end_of_track = PBQ_SLEEP_END_OF_TRACK;

// Every message the library writes, word for word.
namespace msg {
constexpr const char *null_arg = "null arg";
constexpr const char *invalid_tracks_json = "invalid tracks json";
constexpr const char *tracks_not_array = "tracks json must be array";
constexpr const char *invalid_track_json = "invalid track json";
constexpr const char *missing_stream_url = "missing streamURL";
constexpr const char *jump_out_of_range = "jump index out of range";
constexpr const char *out_of_memory = "out of memory";
}  // namespace msg

// Size of each thread's error text, NUL included.
constexpr size_t k_error_capacity = 256;

// Writes `message` into the calling thread's error text, cut to 255 bytes.
void set_err(const char *message);

// ---- Records and lists (store.cpp) ----------------------------------------------

inline const track_rec &record_at(const pbq_queue *q, uint32_t id) {
  assert(id < q->store.count && (q->store.recs[id].flags & rec_dead) == 0);
  return q->store.recs[id];
}
inline uint32_t queue_id(const play_queue &queue, uint64_t position) {
  assert(position < queue.count);
  return queue.ids[position < queue.gap_at ? position : position + queue.gap_len];
}
inline const track_rec &queue_entry(const pbq_queue *q, uint64_t position) {
  return record_at(q, queue_id(q->queue, position));
}
inline const track_rec &tracks_entry(const pbq_queue *q, uint64_t position) {
  assert(position < q->tracks.count);
  return record_at(q, q->tracks.ids[position]);
}

// Bytes the record's JSON object can take at most, its separating comma included.
uint64_t record_text_bound(const track_rec &rec);

// A pool block for `capacity` records (at least 1, at most the live records' count or
// k_first_capacity): the block and its first cache line. Returns false, with nothing
// allocated, when memory ran out.
[[nodiscard]] bool allocate_pool(uint64_t capacity, void **block, track_rec **recs);

// Replaces the pool with `block` (from allocate_pool), whose first `count` records at
// `recs` are the live ones, none dead; the old block is freed.
void adopt_pool(track_store *store, void *block, track_rec *recs, uint64_t count, uint64_t capacity);

// Bytes of the record's four strings with a NUL after each.
uint64_t record_string_bytes(const track_rec &rec);

// Makes room for `needed` records. Returns 0, or -1 with the store unchanged.
[[nodiscard]] int store_reserve(track_store *store, uint64_t needed);

// Gives the pool's unused room back, if memory allows.
void store_shrink_to_fit(track_store *store);

// Adds `rec` (room made by store_reserve) and returns its id.
uint32_t store_push(track_store *store, const track_rec &rec);

// Counts the record already written in the slot just past the last one (room made by
// store_reserve) and returns its id.
uint32_t store_commit_last(track_store *store);

// Frees every record's strings, the pool and the loaded text; the store is empty.
void store_free(track_store *store);

// Gives `rec` its own copy of its strings, in one heap block. Returns 0, or -1 with
// `rec` unchanged when memory ran out.
[[nodiscard]] int own_strings(track_rec *rec);

// The list growth rule: from `capacity`, 16 when it is 0, else doubled until `needed`
// fits.
uint64_t grown_capacity(uint64_t capacity, uint64_t needed);

// Makes room for `needed` ids: capacities run 16, 32, 64, ... Returns 0, or -1 with
// the list unchanged when memory runs out or `needed` exceeds k_max_list_count.
[[nodiscard]] int id_list_reserve(id_list *list, uint64_t needed);

// Frees the list's storage; the list is empty.
void id_list_free(id_list *list);

// ---- The play order (play_queue.cpp) ----------------------------------------------

// Makes room for one more entry at the end, growing by the list rule (16, 32, ...).
// Returns 0, or -1 with the queue unchanged when memory runs out or the queue is full.
[[nodiscard]] int queue_reserve_one(play_queue *queue);

// Puts `id` at the end (room made by queue_reserve_one).
void queue_append(play_queue *queue, uint32_t id);

// Puts `id` at `position` <= count; the entries from there move up one place. Needs
// room made by queue_reserve_one, or the slot a queue_erase just freed.
void queue_insert(play_queue *queue, uint64_t position, uint32_t id);

// Takes out the entry at `position` and returns its id.
uint32_t queue_erase(play_queue *queue, uint64_t position);

// Keeps the first `keep` entries.
void queue_truncate(play_queue *queue, uint64_t keep);

// Closes the gap: ids[0, count) are then the entries in order.
void queue_close_gap(play_queue *queue);

// A queue of the `count` ids at `ids` (contiguous), or -1 when memory ran out.
[[nodiscard]] int queue_assign(play_queue *queue, const uint32_t *ids, uint64_t count);

void queue_free(play_queue *queue);

// The queue no longer names record `id`: a record that `tracks` does not name dies.
void release_queue_entry(pbq_queue *q, uint32_t id);

// Every record named by the queue alone dies (the queue is being rebuilt from tracks).
void release_queue_only(pbq_queue *q);

// Drops dead slots once they outnumber the live records, so that memory follows the
// live records however long a session of adds and removes runs. Best effort: when
// memory runs out the pool stays as it is.
void compact_if_sparse(pbq_queue *q);

// ---- The layout (layout.cpp) -----------------------------------------------------

// Queues shorter than this are not laid out: their pool and text sit in the caches,
// where the order of the walk hardly matters.
constexpr uint64_t k_layout_min_entries = 65536;

// Moves the live records into a new pool in play order (the queue's entries, then the
// tracks it no longer names) and their strings into a new text in the same order, so
// that a shuffled queue's state document reads memory front to back. Ids are renamed;
// the URL index holds positions in `tracks`, which do not move. Best effort: when
// memory runs out the pool, or only the strings, stay as they are. The queue is not
// empty.
void lay_out_in_play_order(pbq_queue *q);

// ---- The URL index (url_index.cpp) ------------------------------------------------

// Position in `tracks` of the first track with this stream URL, or -1. Uses the index
// when it is built and walks `tracks` otherwise; allocates nothing.
int64_t tracks_find(const pbq_queue *q, const char *url, uint32_t length);

// Builds the index if needed and makes room for one more URL. Returns 0, or -1 when
// memory ran out (the handle's lists are untouched either way).
[[nodiscard]] int index_prepare_insert(pbq_queue *q);

// Records tracks[position] if its URL is not there yet (room made by
// index_prepare_insert). Does nothing while the index is not built.
void index_insert(pbq_queue *q, uint64_t position);

void index_free(url_index *index);

// ---- The track reader (track_reader.cpp) ------------------------------------------

// What the track reader made of a value.
enum read_result : int {
  read_ok = 0,
  read_rejected = -1,   // not a usable track
  read_too_long = -2,   // a string of 4 GiB or more: reported as lack of memory
};

// The address the reader takes from a track object, without copying anything:
// "streamURL", else "id" when "streamURL" is missing or not a string. Returns false
// when `val` is not a usable track (not an object, no address, an empty address or
// one holding a NUL character).
[[nodiscard]] bool track_address(yyjson_val *val, const char **address, size_t *length);

// Reads one track object into `out` (zeroed first). On read_ok the record's strings
// point into the parsed document (its strings, or the text it was read in place
// from), so they live as long as that; nothing is allocated.
[[nodiscard]] read_result parse_track_val(yyjson_val *val, track_rec *out);

// Parses `text` (its whole length) with yyjson, strict JSON, default allocator.
// `*no_memory` tells a failure for lack of memory from a text that is not JSON.
yyjson_doc *read_json(const char *text, bool *no_memory);

// Releases a parsed document at the end of its scope, on every path.
struct doc_guard {
  yyjson_doc *doc;
  explicit doc_guard(yyjson_doc *d) : doc(d) {}
  ~doc_guard() { yyjson_doc_free(doc); }
  doc_guard(const doc_guard &) = delete;
  doc_guard &operator=(const doc_guard &) = delete;
};
