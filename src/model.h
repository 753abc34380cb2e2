// The frame and the track model: the handle record, track records and lists, the
// track reader and the per-thread error text. Internal to the library.
#pragma once

#include <cstddef>
#include <cstdint>

#include <yyjson.h>

#include "pbq.h"

struct track {
  char *stream_url;   // never null in a record held by a list
  char *title;        // never null in a list; "" when the input had none
  char *artist;       // never null in a list; "" when the input had none
  char *artwork_url;  // null when the track has no artwork
  double duration;    // seconds; 0 when unknown
};

struct track_list {
  track *items;       // null exactly when capacity is 0
  uint64_t count;
  uint64_t capacity;
};

struct pbq_queue {
  track_list tracks;  // the loaded tracks in source order
  track_list queue;   // the play order, with its own copies
  int32_t current;    // index into queue, -1 for none
  int32_t repeat_mode;
  int32_t shuffle;
  float rate;
  int32_t sleep_mode;
  int64_t sleep_deadline;
};

// Indices are signed 32-bit, so no list holds more records than this.
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

// Deep copy of `src` into `dst` (old contents overwritten, not freed). Null title or
// artist become "", a null stream URL becomes "". Returns 0, or -1 with `dst` zeroed.
[[nodiscard]] int track_copy(track *dst, const track *src);

// Frees the strings of `t` and zeroes it.
void track_free(track *t);

// Makes room for `needed` records: capacities run 16, 32, 64, ... Returns 0, or -1
// with the list unchanged when memory runs out or `needed` exceeds k_max_list_count.
[[nodiscard]] int list_reserve(track_list *list, uint64_t needed);

// Appends a deep copy of `t`. Returns 0, or -1 with every counted record as before
// (a growth may stay in place).
[[nodiscard]] int list_push_copy(track_list *list, const track *t);

// Appends `t` itself: its strings now belong to the list. Returns 0, or -1 when the
// list cannot grow; `t` then still owns its strings.
[[nodiscard]] int list_push_move(track_list *list, track *t);

// Frees every record and the storage; the list is empty and can be filled again.
void list_clear(track_list *list);

// What the track reader made of a value.
enum read_result : int {
  read_ok = 0,
  read_rejected = -1,   // not a usable track
  read_no_memory = -2,  // a copy could not be allocated
};

// The address the reader takes from a track object, without copying anything:
// "streamURL", else "id" when "streamURL" is missing or not a string. Returns false
// when `val` is not a usable track (not an object, no address, an empty address or
// one holding a NUL character).
[[nodiscard]] bool track_address(yyjson_val *val, const char **address, size_t *length);

// Reads one track object into `out` (zeroed first). On read_ok `out` owns its strings.
[[nodiscard]] read_result parse_track_val(yyjson_val *val, track *out);

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

// Frees a temporary record's strings at the end of its scope unless released.
struct track_guard {
  track rec{};
  track_guard() = default;
  ~track_guard() { track_free(&rec); }
  track_guard(const track_guard &) = delete;
  track_guard &operator=(const track_guard &) = delete;
};

// Clears a list being built aside unless it was handed over.
struct list_guard {
  track_list list{};
  list_guard() = default;
  ~list_guard() { list_clear(&list); }
  list_guard(const list_guard &) = delete;
  list_guard &operator=(const list_guard &) = delete;
  // Gives the storage away; the guard is left empty.
  track_list release() {
    track_list out = list;
    list = track_list{};
    return out;
  }
};
