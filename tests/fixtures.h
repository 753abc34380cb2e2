// Small fixtures shared by the tests: a three- and a five-track list, a handle that
// frees itself, and readers of the handle's lists and documents.
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "model.h"
#include "pbq.h"

namespace fixtures {

// Stream URLs "1.m4a".."3.m4a", titles "T1".."T3", durations 100, 200, 300.
inline const char *const k_three_tracks =
    R"([{"streamURL":"1.m4a","title":"T1","duration":100},)"
    R"({"streamURL":"2.m4a","title":"T2","duration":200},)"
    R"({"streamURL":"3.m4a","title":"T3","duration":300}])";

// Stream URLs "0.m4a".."4.m4a", so that a queue reads as its source positions.
inline const char *const k_five_tracks =
    R"([{"streamURL":"0.m4a","title":"T0","artist":"A","duration":10},)"
    R"({"streamURL":"1.m4a","title":"T1","artist":"A","duration":11},)"
    R"({"streamURL":"2.m4a","title":"T2","artist":"B","duration":12},)"
    R"({"streamURL":"3.m4a","title":"T3","artist":"B","duration":13},)"
    R"({"streamURL":"4.m4a","title":"T4","artist":"C","duration":14}])";

struct handle_deleter {
  void operator()(pbq_queue *q) const { pbq_destroy(q); }
};
using handle = std::unique_ptr<pbq_queue, handle_deleter>;

inline handle make_handle() { return handle(pbq_create()); }

// A handle loaded with `json` from `start`, shuffle on or off, with `seed`.
inline handle loaded(const char *json, int32_t start = 0, bool shuffle = false, uint64_t seed = 0) {
  handle h = make_handle();
  if (shuffle) pbq_set_shuffle(h.get(), 1, 0);
  if (pbq_set_tracks_json(h.get(), json, start, seed) != 0) return nullptr;
  return h;
}

// The play queue as its stream URLs, and the loaded tracks the same way.
inline std::vector<std::string> queue_urls(const pbq_queue *q) {
  std::vector<std::string> out;
  for (uint64_t i = 0; i < q->queue.count; i++) out.emplace_back(queue_entry(q, i).stream_url);
  return out;
}
inline std::vector<std::string> track_urls(const pbq_queue *q) {
  std::vector<std::string> out;
  for (uint64_t i = 0; i < q->tracks.count; i++) out.emplace_back(tracks_entry(q, i).stream_url);
  return out;
}

// The record at a position of the play queue, or of the loaded tracks.
inline const track_rec &queued(const pbq_queue *q, uint64_t position) { return queue_entry(q, position); }
inline const track_rec &loaded_track(const pbq_queue *q, uint64_t position) { return tracks_entry(q, position); }

// "n.m4a" for each n: the order expected of a queue loaded from a fixture.
inline std::vector<std::string> named(std::initializer_list<int> order) {
  std::vector<std::string> out;
  for (int n : order) out.push_back(std::to_string(n) + ".m4a");
  return out;
}

inline std::string take_text(char *text) {
  std::string out = text != nullptr ? text : "(null)";
  pbq_free(text);
  return out;
}

inline std::string state_text(const pbq_queue *q) { return take_text(pbq_state_json(q)); }
inline std::string resume_text(const pbq_queue *q, double position = 0.0) {
  return take_text(pbq_export_resume_json(q, position));
}

// Every field of a handle, records compared string by string, so that a call that
// must change nothing can be checked against the whole handle.
struct record_view {
  std::string stream_url, title, artist, artwork_url;
  bool has_artwork = false;
  double duration = 0.0;
  bool operator==(const record_view &) const = default;
};

struct handle_contents {
  std::vector<record_view> tracks, queue;
  int32_t current = -1, repeat_mode = 0, shuffle = 0, sleep_mode = 0;
  float rate = 1.0f;
  int64_t sleep_deadline = 0;
  bool operator==(const handle_contents &) const = default;
};

// The records of the loaded tracks (`of_queue` false) or of the play queue.
inline std::vector<record_view> records(const pbq_queue *q, bool of_queue) {
  std::vector<record_view> out;
  for (uint64_t i = 0; i < (of_queue ? q->queue.count : q->tracks.count); i++) {
    const track_rec &t = of_queue ? queue_entry(q, i) : tracks_entry(q, i);
    out.push_back({std::string(t.stream_url, t.stream_url_len), std::string(t.title, t.title_len),
                   std::string(t.artist, t.artist_len),
                   t.artwork_url != nullptr ? std::string(t.artwork_url, t.artwork_url_len) : "",
                   t.artwork_url != nullptr, t.duration});
  }
  return out;
}

inline handle_contents contents_of(const pbq_queue *q) {
  return {records(q, false),     records(q, true),     q->current,    q->repeat_mode,
          q->shuffle,            q->sleep_mode,        q->rate,       q->sleep_deadline};
}

inline void PrintTo(const handle_contents &c, std::ostream *os) {
  *os << "{tracks:";
  for (const auto &t : c.tracks) *os << ' ' << t.stream_url;
  *os << ", queue:";
  for (const auto &t : c.queue) *os << ' ' << t.stream_url;
  *os << ", current " << c.current << ", repeat " << c.repeat_mode << ", shuffle " << c.shuffle
      << ", rate " << c.rate << ", sleep " << c.sleep_mode << '@' << c.sleep_deadline << '}';
}

// The calling thread's error text, and a message no call writes, to see whether a
// call left the text alone.
inline std::string error_text() { return pbq_last_error(); }
inline const char *const k_marker_error = "marker left by the test";
inline void write_marker_error() { set_err(k_marker_error); }

// A list of n tracks with stream URLs "0.m4a" .. "<n-1>.m4a", as named() spells them.
inline std::string numbered_tracks(int n) {
  std::string out = "[";
  for (int i = 0; i < n; i++) {
    if (i > 0) out += ",";
    out += R"({"streamURL":")" + std::to_string(i) + R"(.m4a","title":"T)" + std::to_string(i) +
           R"(","duration":)" + std::to_string(10 + i) + "}";
  }
  return out + "]";
}

// named() for 0 .. n-1.
inline std::vector<std::string> named_range(int n) {
  std::vector<std::string> out;
  for (int i = 0; i < n; i++) out.push_back(std::to_string(i) + ".m4a");
  return out;
}

}  // namespace fixtures
