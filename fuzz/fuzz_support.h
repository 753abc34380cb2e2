// What the fuzz targets share: a reader of the input bytes, the handle's invariants and
// a parsed view of the state document against which the calls' answers are checked.
// Built by clang for libFuzzer and by the normal compiler for the corpus replay.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <yyjson.h>

#include "../tests/state_oracle.h"
#include "../tests/store_check.h"
#include "model.h"
#include "pbq.h"

// A failed check aborts, which both libFuzzer and the replay test report as a crash.
#define FUZZ_CHECK(cond)                                                           \
  do {                                                                             \
    if (!(cond)) {                                                                 \
      fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond);    \
      abort();                                                                     \
    }                                                                              \
  } while (0)

namespace fuzz {

// Takes values from the front of the input; an exhausted input reads as zeros, so
// every input is a complete program.
class byte_reader {
 public:
  byte_reader(const uint8_t *data, size_t size) : data_(data), size_(size) {}

  bool empty() const { return pos_ >= size_; }

  uint8_t u8() { return pos_ < size_ ? data_[pos_++] : 0; }

  uint64_t u64() {
    uint64_t v = 0;
    for (int i = 0; i < 8; i++) v = (v << 8) | u8();
    return v;
  }

  uint32_t u32() {
    uint32_t v = 0;
    for (int i = 0; i < 4; i++) v = (v << 8) | u8();
    return v;
  }

  // Indices: mostly small ones near the queue's bounds, sometimes any 32-bit value.
  int32_t index() {
    uint8_t tag = u8();
    switch (tag % 8) {
      case 0: return -1;
      case 1: return INT32_MIN;
      case 2: return INT32_MAX;
      case 3: return static_cast<int32_t>(u32());
      default: return static_cast<int32_t>(tag / 8) - 2;  // -2 .. 29
    }
  }

  // Rates: the clamp's edges, the values that are not numbers, and raw bit patterns.
  float rate() {
    static const float k_rates[] = {NAN, INFINITY, -INFINITY, 0.0f, -0.0f, 0.4999999f, 0.5f,
                                    1.0f, 1.5f, 2.0f, 2.0000002f, 1e30f, -1e30f, 1e-45f};
    uint8_t tag = u8();
    constexpr uint8_t count = sizeof(k_rates) / sizeof(k_rates[0]);
    if (tag < count) return k_rates[tag];
    uint32_t bits = u32();
    float f;
    memcpy(&f, &bits, sizeof f);
    return f;
  }

  // Positions in seconds, with the same kinds of edges.
  double position() {
    static const double k_positions[] = {NAN, INFINITY, -INFINITY, 0.0, -0.0, 2.9, 3.0,
                                         3.0000001, 83.5, -5.0, 1e308, 5e-324};
    uint8_t tag = u8();
    constexpr uint8_t count = sizeof(k_positions) / sizeof(k_positions[0]);
    if (tag < count) return k_positions[tag];
    uint64_t bits = u64();
    double d;
    memcpy(&d, &bits, sizeof d);
    return d;
  }

  // Clock readings and durations, including the 64-bit extremes.
  int64_t clock() {
    static const int64_t k_clocks[] = {0, 1, -1, INT64_MIN, INT64_MAX, INT64_MIN + 1,
                                       INT64_MAX - 1, 1000, 60000000000LL};
    uint8_t tag = u8();
    constexpr uint8_t count = sizeof(k_clocks) / sizeof(k_clocks[0]);
    if (tag < count) return k_clocks[tag];
    return static_cast<int64_t>(u64());
  }

  // A text of up to 255 bytes taken from the input.
  std::string text() {
    size_t length = u8();
    if (length > size_ - pos_) length = size_ - pos_;
    std::string out(reinterpret_cast<const char *>(data_ + pos_), length);
    pos_ += length;
    return out;
  }

 private:
  const uint8_t *data_;
  size_t size_;
  size_t pos_ = 0;
};

// The input as a C string: the API reads only up to the first NUL, as a host's would.
inline std::string as_text(const uint8_t *data, size_t size) {
  return std::string(reinterpret_cast<const char *>(data), size);
}

inline bool is_one_of(const char *text, std::initializer_list<const char *> options) {
  for (const char *o : options) {
    if (strcmp(text, o) == 0) return true;
  }
  return false;
}

// The invariants every call keeps, read from the handle itself.
inline void check_invariants(const pbq_queue *q) {
  if (q->queue.count == 0) {
    FUZZ_CHECK(q->current == -1);
  } else {
    FUZZ_CHECK(q->current >= 0 && static_cast<uint64_t>(q->current) < q->queue.count);
  }
  FUZZ_CHECK(q->repeat_mode >= 0 && q->repeat_mode <= 2);
  FUZZ_CHECK(q->shuffle == 0 || q->shuffle == 1);
  FUZZ_CHECK(q->rate >= 0.5f && q->rate <= 2.0f);
  FUZZ_CHECK(q->sleep_mode >= 0 && q->sleep_mode <= 2);
  FUZZ_CHECK(q->sleep_mode == 1 || q->sleep_deadline == 0);
  const char *fault = store_check::fault(q);
  if (fault != nullptr) fprintf(stderr, "storage: %s\n", fault);
  FUZZ_CHECK(fault == nullptr);
  // The direct writer gives yyjson's text byte for byte.
  char *direct = pbq_state_json(q);
  FUZZ_CHECK(direct != nullptr && oracle::state_text(q) == direct);
  pbq_free(direct);
}

// The stream URLs of the loaded tracks, in order.
inline std::vector<std::string> loaded_urls(const pbq_queue *q) {
  std::vector<std::string> out;
  for (uint64_t i = 0; i < q->tracks.count; i++) out.emplace_back(tracks_entry(q, i).stream_url);
  return out;
}

// The state document, parsed and checked for shape.
struct state_view {
  int64_t current = -1;
  uint64_t count = 0;
  uint64_t up_next = 0;
  int64_t repeat = 0;
  bool shuffled = false;
  double rate = 1.0;
  int64_t sleep = 0;
  bool has_next = false;
  bool has_previous = false;
  std::string current_url;         // "" without a current entry
  std::vector<std::string> queue;  // the stream URLs of the play queue
  std::string queue_json;          // the "queue" array as JSON text: a track list
};

inline yyjson_val *member(yyjson_val *obj, const char *key) { return yyjson_obj_get(obj, key); }

// The first member named `key` of `obj`, compared at full length, as a host reading
// the document would see it; null when `obj` is not an object or has no such member.
inline yyjson_val *first_member(yyjson_val *obj, const char *key) {
  size_t i, max;
  yyjson_val *k, *v;
  if (!yyjson_is_obj(obj)) return nullptr;
  yyjson_obj_foreach(obj, i, max, k, v) {
    if (yyjson_get_len(k) == strlen(key) && memcmp(yyjson_get_str(k), key, strlen(key)) == 0) return v;
  }
  return nullptr;
}

inline void check_track_object(yyjson_val *t) {
  FUZZ_CHECK(yyjson_is_obj(t) && yyjson_obj_size(t) == 5);
  FUZZ_CHECK(yyjson_is_str(member(t, "streamURL")) && yyjson_get_len(member(t, "streamURL")) > 0);
  FUZZ_CHECK(yyjson_is_str(member(t, "title")));
  FUZZ_CHECK(yyjson_is_str(member(t, "artist")));
  yyjson_val *artwork = member(t, "artworkURL");
  FUZZ_CHECK(yyjson_is_null(artwork) || (yyjson_is_str(artwork) && yyjson_get_len(artwork) > 0));
  FUZZ_CHECK(yyjson_is_real(member(t, "duration")) && yyjson_get_real(member(t, "duration")) >= 0.0);
}

// Parses the handle's state document; checks that it is well formed and agrees with
// the handle's own fields.
inline state_view read_state(const pbq_queue *q) {
  char *text = pbq_state_json(q);
  FUZZ_CHECK(text != nullptr);
  yyjson_doc *doc = yyjson_read(text, strlen(text), 0);
  pbq_free(text);
  FUZZ_CHECK(doc != nullptr);
  yyjson_val *root = yyjson_doc_get_root(doc);
  FUZZ_CHECK(yyjson_is_obj(root) && yyjson_obj_size(root) == 11);

  state_view v;
  yyjson_val *val = member(root, "currentIndex");
  FUZZ_CHECK(yyjson_is_int(val));
  v.current = yyjson_get_sint(val);
  val = member(root, "queueCount");
  FUZZ_CHECK(yyjson_is_uint(val) || (yyjson_is_sint(val) && yyjson_get_sint(val) >= 0));
  v.count = yyjson_get_uint(val);
  val = member(root, "upNextCount");
  FUZZ_CHECK(yyjson_is_int(val));
  v.up_next = yyjson_get_uint(val);
  val = member(root, "repeatMode");
  FUZZ_CHECK(yyjson_is_int(val));
  v.repeat = yyjson_get_sint(val);
  val = member(root, "isShuffled");
  FUZZ_CHECK(yyjson_is_bool(val));
  v.shuffled = yyjson_get_bool(val);
  val = member(root, "playbackRate");
  FUZZ_CHECK(yyjson_is_real(val));
  v.rate = yyjson_get_real(val);
  val = member(root, "sleepMode");
  FUZZ_CHECK(yyjson_is_int(val));
  v.sleep = yyjson_get_sint(val);
  val = member(root, "hasNext");
  FUZZ_CHECK(yyjson_is_bool(val));
  v.has_next = yyjson_get_bool(val);
  val = member(root, "hasPrevious");
  FUZZ_CHECK(yyjson_is_bool(val));
  v.has_previous = yyjson_get_bool(val);

  yyjson_val *entries = member(root, "queue");
  FUZZ_CHECK(yyjson_is_arr(entries) && yyjson_arr_size(entries) == v.count);
  size_t i, max;
  yyjson_val *entry;
  yyjson_arr_foreach(entries, i, max, entry) {
    check_track_object(entry);
    v.queue.emplace_back(yyjson_get_str(member(entry, "streamURL")));
  }
  char *entries_text = yyjson_val_write(entries, 0, nullptr);
  FUZZ_CHECK(entries_text != nullptr);
  v.queue_json = entries_text;
  free(entries_text);

  yyjson_val *current = member(root, "currentTrack");
  if (v.current == -1) {
    FUZZ_CHECK(yyjson_is_null(current));
    FUZZ_CHECK(v.up_next == 0 && !v.has_next && !v.has_previous);
  } else {
    FUZZ_CHECK(v.current >= 0 && static_cast<uint64_t>(v.current) < v.count);
    check_track_object(current);
    v.current_url = yyjson_get_str(member(current, "streamURL"));
    FUZZ_CHECK(v.current_url == v.queue[static_cast<size_t>(v.current)]);
    FUZZ_CHECK(v.up_next == v.count - static_cast<uint64_t>(v.current) - 1);
  }
  yyjson_doc_free(doc);

  // The document says what the handle holds.
  FUZZ_CHECK(v.current == q->current);
  FUZZ_CHECK(v.count == q->queue.count);
  FUZZ_CHECK(v.repeat == q->repeat_mode);
  FUZZ_CHECK(v.shuffled == (q->shuffle != 0));
  FUZZ_CHECK(v.rate == static_cast<double>(q->rate));
  FUZZ_CHECK(v.sleep == q->sleep_mode);
  for (uint64_t k = 0; k < q->queue.count; k++) FUZZ_CHECK(v.queue[k] == queue_entry(q, k).stream_url);
  return v;
}

inline bool same_state(const state_view &a, const state_view &b) {
  return a.current == b.current && a.count == b.count && a.repeat == b.repeat &&
         a.shuffled == b.shuffled && a.rate == b.rate && a.sleep == b.sleep &&
         a.has_next == b.has_next && a.has_previous == b.has_previous &&
         a.queue_json == b.queue_json;
}

// Every check a handle must pass after any call: invariants and a sound state document.
inline state_view check_handle(const pbq_queue *q) {
  check_invariants(q);
  return read_state(q);
}

}  // namespace fuzz
