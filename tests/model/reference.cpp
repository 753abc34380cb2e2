// The reference model's calls, each written straight from what the header promises.
#include "reference.h"

#include <yyjson.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "pbq.h"

namespace model {

namespace {

// ---- reading ------------------------------------------------------------------------

struct parsed_doc {
  yyjson_doc *doc = nullptr;
  explicit parsed_doc(const char *text) {
    doc = yyjson_read_opts(const_cast<char *>(text), strlen(text), 0, nullptr, nullptr);
  }
  ~parsed_doc() { yyjson_doc_free(doc); }
  parsed_doc(const parsed_doc &) = delete;
  parsed_doc &operator=(const parsed_doc &) = delete;
  yyjson_val *root() const { return yyjson_doc_get_root(doc); }
};

// The first member named `key`, compared on the decoded name, whatever its type.
yyjson_val *first_member(yyjson_val *obj, const char *key) {
  size_t key_len = strlen(key);
  yyjson_obj_iter it;
  yyjson_obj_iter_init(obj, &it);
  while (yyjson_val *name = yyjson_obj_iter_next(&it)) {
    if (yyjson_get_len(name) == key_len && memcmp(yyjson_get_str(name), key, key_len) == 0) {
      return yyjson_obj_iter_get_val(name);
    }
  }
  return nullptr;
}

bool has_nul(yyjson_val *str) { return memchr(yyjson_get_str(str), 0, yyjson_get_len(str)) != nullptr; }

// A title or an artist: the string up to a NUL it may hold, else "".
std::string text_or_empty(yyjson_val *v) { return yyjson_is_str(v) ? std::string(yyjson_get_str(v)) : std::string(); }

std::optional<track> read_track(yyjson_val *v) {
  if (!yyjson_is_obj(v) || yyjson_obj_size(v) == 0) return std::nullopt;
  yyjson_val *address = first_member(v, "streamURL");
  if (!yyjson_is_str(address)) address = first_member(v, "id");
  if (!yyjson_is_str(address)) return std::nullopt;
  // An address must be whole: empty, or cut short by a NUL, it is no address.
  if (yyjson_get_len(address) == 0 || has_nul(address)) return std::nullopt;
  track t;
  t.url = std::string(yyjson_get_str(address), yyjson_get_len(address));
  t.title = text_or_empty(first_member(v, "title"));
  t.artist = text_or_empty(first_member(v, "artist"));
  yyjson_val *art = first_member(v, "artworkURL");
  if (yyjson_is_str(art) && yyjson_get_len(art) > 0 && !has_nul(art)) t.artwork = std::string(yyjson_get_str(art));
  yyjson_val *d = first_member(v, "duration");
  double seconds = 0.0;
  if (yyjson_is_uint(d)) seconds = static_cast<double>(yyjson_get_uint(d));
  else if (yyjson_is_sint(d)) seconds = static_cast<double>(yyjson_get_sint(d));
  else if (yyjson_is_real(d)) seconds = yyjson_get_real(d);
  t.duration = std::isfinite(seconds) && seconds > 0.0 ? seconds : 0.0;
  return t;
}

// What loading accepts from an array text; nullopt with the message when refused.
std::optional<std::vector<track>> read_track_list(const char *json, std::string *message) {
  parsed_doc doc(json);
  if (doc.doc == nullptr) {
    *message = "invalid tracks json";
    return std::nullopt;
  }
  if (!yyjson_is_arr(doc.root())) {
    *message = "tracks json must be array";
    return std::nullopt;
  }
  std::vector<track> accepted;
  size_t i, n;
  yyjson_val *element;
  yyjson_arr_foreach(doc.root(), i, n, element) {
    if (std::optional<track> t = read_track(element)) accepted.push_back(*t);
  }
  return accepted;
}

bool valid_current(const queue &q) {
  return q.current >= 0 && static_cast<size_t>(q.current) < q.play.size();
}

float clamp_rate(float rate) {
  if (!std::isfinite(rate) || rate < 0.5f) return 0.5f;
  if (rate > 2.0f) return 2.0f;
  return rate;
}

// ---- writing ------------------------------------------------------------------------

yyjson_mut_val *track_object(yyjson_mut_doc *doc, const track &t) {
  yyjson_mut_val *obj = yyjson_mut_obj(doc);
  yyjson_mut_obj_add_strcpy(doc, obj, "streamURL", t.url.c_str());
  yyjson_mut_obj_add_strcpy(doc, obj, "title", t.title.c_str());
  yyjson_mut_obj_add_strcpy(doc, obj, "artist", t.artist.c_str());
  if (t.artwork) yyjson_mut_obj_add_strcpy(doc, obj, "artworkURL", t.artwork->c_str());
  else yyjson_mut_obj_add_null(doc, obj, "artworkURL");
  yyjson_mut_obj_add_real(doc, obj, "duration", t.duration);
  return obj;
}

std::string written(yyjson_mut_doc *doc) {
  char *text = yyjson_mut_write(doc, 0, nullptr);
  std::string out = text != nullptr ? text : "(no text)";
  free(text);
  yyjson_mut_doc_free(doc);
  return out;
}

}  // namespace

// ---- shuffle --------------------------------------------------------------------------

void shuffle(std::vector<track> &items, size_t lo, size_t hi, uint64_t seed) {
  uint64_t state = seed != 0 ? seed : 0x5C029101A2B3C4D5ull;
  auto draw = [&state] {
    state += 0x9E3779B97F4A7C15ull;
    uint64_t z = state;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  };
  if (lo + 1 >= hi) return;
  for (size_t i = hi - 1; i > lo; i--) {
    size_t j = lo + static_cast<size_t>(draw() % (i - lo + 1));
    std::swap(items[i], items[j]);
  }
}

// ---- loading ----------------------------------------------------------------------------

int32_t world::set_tracks(queue *q, const char *json, int32_t start, uint64_t seed) {
  if (q == nullptr || json == nullptr) {
    error = "null arg";
    return PBQ_REFUSED;
  }
  std::optional<std::vector<track>> accepted = read_track_list(json, &error);
  if (!accepted) return PBQ_REFUSED;
  q->tracks = *accepted;
  q->play.clear();
  error = "";
  if (q->tracks.empty()) {
    q->current = -1;
    return PBQ_OK;
  }
  size_t s = start < 0 ? 0 : std::min(static_cast<size_t>(start), q->tracks.size() - 1);
  if (!q->shuffled) {
    q->play = q->tracks;
    q->current = static_cast<int32_t>(s);
    return PBQ_OK;
  }
  q->play.push_back(q->tracks[s]);
  for (size_t i = 0; i < q->tracks.size(); i++) {
    if (i != s) q->play.push_back(q->tracks[i]);
  }
  if (q->play.size() > 2) shuffle(q->play, 1, q->play.size(), seed);
  q->current = 0;
  return PBQ_OK;
}

// ---- up next ------------------------------------------------------------------------------

int32_t world::add(queue *q, const char *json, bool right_after_current) {
  if (q == nullptr || json == nullptr) {
    error = "null arg";
    return PBQ_REFUSED;
  }
  parsed_doc doc(json);
  if (doc.doc == nullptr) {
    error = "invalid track json";
    return PBQ_REFUSED;
  }
  std::optional<track> t = read_track(doc.root());
  if (!t) {
    error = "missing streamURL";
    return PBQ_REFUSED;
  }
  error = "";
  if (!valid_current(*q)) {
    q->play.push_back(*t);
    q->tracks.push_back(*t);
    q->current = 0;
    return PBQ_ADDED_STARTED;
  }
  if (right_after_current) q->play.insert(q->play.begin() + q->current + 1, *t);
  else q->play.push_back(*t);
  bool loaded = std::any_of(q->tracks.begin(), q->tracks.end(), [&](const track &x) { return x.url == t->url; });
  if (!loaded) q->tracks.push_back(*t);
  return PBQ_ADDED_QUEUED;
}

int32_t world::play_next(queue *q, const char *json) { return add(q, json, true); }

int32_t world::add_to_queue(queue *q, const char *json) { return add(q, json, false); }

namespace {
// Up-next entries of a handle with a valid current entry; 0 otherwise.
int64_t up_next_count(const queue &q) {
  return valid_current(q) ? static_cast<int64_t>(q.play.size()) - q.current - 1 : 0;
}
}  // namespace

int32_t world::remove_up_next(queue *q, int32_t offset) {
  if (q == nullptr || offset < 0 || offset >= up_next_count(*q)) return PBQ_REFUSED;
  q->play.erase(q->play.begin() + q->current + 1 + offset);
  return PBQ_OK;
}

int32_t world::move_up_next(queue *q, int32_t from, int32_t to) {
  if (q == nullptr || from < 0 || to < 0) return PBQ_REFUSED;
  int64_t n = up_next_count(*q);
  if (from >= n || to >= n) return PBQ_REFUSED;
  auto first = q->play.begin() + q->current + 1;
  track moving = first[from];
  q->play.erase(first + from);
  q->play.insert(q->play.begin() + q->current + 1 + to, moving);
  return PBQ_OK;
}

int32_t world::clear_up_next(queue *q) {
  if (q != nullptr && valid_current(*q)) q->play.resize(static_cast<size_t>(q->current) + 1);
  return PBQ_OK;
}

// ---- navigation ---------------------------------------------------------------------------

int32_t world::next(queue *q) {
  if (q == nullptr || !valid_current(*q)) return PBQ_ACTION_NONE;
  if (static_cast<size_t>(q->current) + 1 < q->play.size()) {
    q->current++;
    return PBQ_ACTION_PLAY;
  }
  if (q->repeat == PBQ_REPEAT_ALL) {
    q->current = 0;
    return PBQ_ACTION_PLAY;
  }
  return PBQ_ACTION_NONE;
}

int32_t world::track_ended(queue *q) {
  if (q == nullptr || !valid_current(*q)) return PBQ_ACTION_NONE;
  if (q->sleep == PBQ_SLEEP_END_OF_TRACK) {
    q->sleep = PBQ_SLEEP_OFF;
    q->deadline = 0;
    return PBQ_ACTION_SLEEP;
  }
  if (q->repeat == PBQ_REPEAT_ONE) return PBQ_ACTION_RESTART;
  return next(q);
}

int32_t world::previous(queue *q, double position) {
  if (q == nullptr || !valid_current(*q)) return PBQ_ACTION_NONE;
  if (position > 3.0) return PBQ_ACTION_RESTART;
  if (q->current > 0) {
    q->current--;
    return PBQ_ACTION_PLAY;
  }
  if (q->repeat == PBQ_REPEAT_ALL) {
    q->current = static_cast<int32_t>(q->play.size()) - 1;
    return PBQ_ACTION_PLAY;
  }
  return PBQ_ACTION_RESTART;
}

int32_t world::jump(queue *q, int32_t index) {
  if (q == nullptr || index < 0 || static_cast<size_t>(index) >= q->play.size()) {
    error = "jump index out of range";
    return PBQ_REFUSED;
  }
  q->current = index;
  return PBQ_OK;
}

int32_t world::set_repeat(queue *q, int32_t mode) {
  if (q == nullptr || mode < PBQ_REPEAT_OFF || mode > PBQ_REPEAT_ONE) return PBQ_REFUSED;
  q->repeat = mode;
  return mode;
}

int32_t world::cycle_repeat(queue *q) {
  if (q == nullptr) return PBQ_REFUSED;
  q->repeat = (q->repeat + 1) % 3;
  return q->repeat;
}

// ---- shuffle mode ---------------------------------------------------------------------------

int32_t world::set_shuffle(queue *q, int32_t enabled, uint64_t seed) {
  if (q == nullptr) return PBQ_REFUSED;
  q->shuffled = enabled != 0;
  if (q->play.empty()) return PBQ_OK;
  if (enabled != 0) {
    if (valid_current(*q)) {
      std::rotate(q->play.begin(), q->play.begin() + q->current, q->play.begin() + q->current + 1);
      if (q->play.size() > 2) shuffle(q->play, 1, q->play.size(), seed);
    } else if (q->play.size() >= 2) {
      shuffle(q->play, 0, q->play.size(), seed);
    }
    q->current = 0;
    return PBQ_OK;
  }
  std::optional<std::string> playing;
  if (valid_current(*q)) playing = q->play[static_cast<size_t>(q->current)].url;
  if (q->tracks.empty()) return PBQ_OK;
  q->play = q->tracks;
  q->current = 0;
  for (size_t i = 0; playing && i < q->play.size(); i++) {
    if (q->play[i].url == *playing) {
      q->current = static_cast<int32_t>(i);
      break;
    }
  }
  return PBQ_OK;
}

// ---- rate and sleep ---------------------------------------------------------------------------

float world::set_rate(queue *q, float rate) {
  if (q == nullptr) return 1.0f;
  q->rate = clamp_rate(rate);
  return q->rate;
}

int32_t world::set_sleep_timer(queue *q, int32_t mode, int64_t duration, int64_t now) {
  if (q == nullptr) return PBQ_REFUSED;
  switch (mode) {
    case PBQ_SLEEP_OFF:
    case PBQ_SLEEP_END_OF_TRACK:
      q->sleep = mode;
      q->deadline = 0;
      return PBQ_OK;
    case PBQ_SLEEP_TIMER:
      if (duration <= 0) return PBQ_REFUSED;
      q->sleep = mode;
      q->deadline = static_cast<int64_t>(static_cast<uint64_t>(now) + static_cast<uint64_t>(duration));
      return PBQ_OK;
    default:
      return PBQ_REFUSED;
  }
}

int64_t world::check_sleep_timer(queue *q, int64_t now) {
  if (q == nullptr || q->sleep != PBQ_SLEEP_TIMER) return -1;
  int64_t left = static_cast<int64_t>(static_cast<uint64_t>(q->deadline) - static_cast<uint64_t>(now));
  if (left > 0) return left;
  q->sleep = PBQ_SLEEP_OFF;
  q->deadline = 0;
  return 0;
}

// ---- documents ----------------------------------------------------------------------------------

std::optional<std::string> state_json(const queue *q) {
  if (q == nullptr) return std::nullopt;
  bool has_current = valid_current(*q);
  size_t count = q->play.size();
  yyjson_mut_doc *doc = yyjson_mut_doc_new(nullptr);
  yyjson_mut_val *root = yyjson_mut_obj(doc);
  yyjson_mut_doc_set_root(doc, root);
  yyjson_mut_obj_add_sint(doc, root, "currentIndex", q->current);
  yyjson_mut_obj_add_uint(doc, root, "queueCount", count);
  yyjson_mut_obj_add_uint(doc, root, "upNextCount", static_cast<uint64_t>(up_next_count(*q)));
  yyjson_mut_obj_add_sint(doc, root, "repeatMode", q->repeat);
  yyjson_mut_obj_add_bool(doc, root, "isShuffled", q->shuffled);
  yyjson_mut_obj_add_real(doc, root, "playbackRate", static_cast<double>(q->rate));
  yyjson_mut_obj_add_sint(doc, root, "sleepMode", q->sleep);
  bool wraps = q->repeat == PBQ_REPEAT_ALL;
  yyjson_mut_obj_add_bool(doc, root, "hasNext",
                          has_current && (static_cast<size_t>(q->current) + 1 < count || wraps));
  yyjson_mut_obj_add_bool(doc, root, "hasPrevious", has_current && (q->current > 0 || wraps));
  if (has_current) yyjson_mut_obj_add_val(doc, root, "currentTrack", track_object(doc, q->play[static_cast<size_t>(q->current)]));
  else yyjson_mut_obj_add_null(doc, root, "currentTrack");
  yyjson_mut_val *list = yyjson_mut_arr(doc);
  for (const track &t : q->play) yyjson_mut_arr_append(list, track_object(doc, t));
  yyjson_mut_obj_add_val(doc, root, "queue", list);
  return written(doc);
}

std::optional<std::string> resume_json(const queue *q, double position) {
  if (q == nullptr) return std::nullopt;
  yyjson_mut_doc *doc = yyjson_mut_doc_new(nullptr);
  yyjson_mut_val *root = yyjson_mut_obj(doc);
  yyjson_mut_doc_set_root(doc, root);
  if (valid_current(*q)) yyjson_mut_obj_add_strcpy(doc, root, "lastTrackURL", q->play[static_cast<size_t>(q->current)].url.c_str());
  else yyjson_mut_obj_add_null(doc, root, "lastTrackURL");
  yyjson_mut_obj_add_real(doc, root, "lastTrackTime", std::isfinite(position) && position > 0.0 ? position : 0.0);
  yyjson_mut_obj_add_sint(doc, root, "repeatMode", q->repeat);
  yyjson_mut_obj_add_bool(doc, root, "isShuffled", q->shuffled);
  yyjson_mut_obj_add_real(doc, root, "playbackRate", static_cast<double>(q->rate));
  return written(doc);
}

int32_t world::restore(queue *q, const char *resume, const char *tracks, double *out_position) {
  if (q == nullptr || resume == nullptr || tracks == nullptr) return PBQ_REFUSED;
  std::string url;
  double position = 0.0;
  {
    parsed_doc doc(resume);
    if (doc.doc == nullptr || !yyjson_is_obj(doc.root())) return PBQ_REFUSED;
    yyjson_val *root = doc.root();
    auto nothing = [&] {
      if (out_position != nullptr) *out_position = 0.0;
      return PBQ_RESTORE_NOTHING;
    };
    if (yyjson_obj_size(root) == 0) return nothing();
    yyjson_val *repeat = first_member(root, "repeatMode");
    if (yyjson_is_int(repeat)) {
      auto low = static_cast<int32_t>(static_cast<uint32_t>(yyjson_get_uint(repeat)));
      if (low >= PBQ_REPEAT_OFF && low <= PBQ_REPEAT_ONE) q->repeat = low;
    }
    yyjson_val *shuffled = first_member(root, "isShuffled");
    if (yyjson_is_bool(shuffled)) q->shuffled = yyjson_get_bool(shuffled);
    yyjson_val *rate = first_member(root, "playbackRate");
    if (yyjson_is_num(rate)) q->rate = clamp_rate(static_cast<float>(yyjson_get_num(rate)));
    yyjson_val *saved = first_member(root, "lastTrackURL");
    yyjson_val *time = first_member(root, "lastTrackTime");
    if (yyjson_is_num(time)) position = std::max(yyjson_get_num(time), 0.0);
    if (position == 0.0) position = 0.0;  // a saved -0.0 comes back as 0.0
    if (!yyjson_is_str(saved) || yyjson_get_len(saved) == 0) return nothing();
    url = std::string(yyjson_get_str(saved), yyjson_get_len(saved));
  }
  std::string ignored;
  std::optional<std::vector<track>> accepted = read_track_list(tracks, &ignored);
  if (!accepted) return PBQ_REFUSED;
  // The saved track is found among the tracks loading accepts, by their addresses.
  auto found = std::find_if(accepted->begin(), accepted->end(), [&](const track &t) { return t.url == url; });
  if (found == accepted->end()) {
    if (out_position != nullptr) *out_position = 0.0;
    return PBQ_RESTORE_NOTHING;
  }
  auto index = static_cast<int32_t>(found - accepted->begin());
  if (set_tracks(q, tracks, index, 42) != PBQ_OK) return PBQ_REFUSED;
  if (out_position != nullptr) *out_position = position;
  return PBQ_RESTORE_RESUMED;
}

// ---- self-test ------------------------------------------------------------------------------------

int32_t world::selftest() {
  static const char k_fixture[] =
      R"([{"streamURL":"https://selftest/1.m4a","title":"T1","duration":100},)"
      R"({"streamURL":"https://selftest/2.m4a","title":"T2","duration":200},)"
      R"({"streamURL":"https://selftest/3.m4a","title":"T3","duration":300}])";
  queue q;
  if (set_tracks(&q, k_fixture, 1, 99) != PBQ_OK) return PBQ_SELFTEST_LOAD;
  if (next(&q) != PBQ_ACTION_PLAY) return PBQ_SELFTEST_FIRST_NEXT;
  if (next(&q) != PBQ_ACTION_NONE) return PBQ_SELFTEST_SECOND_NEXT;
  q.repeat = PBQ_REPEAT_ALL;
  q.current = 0;
  if (set_shuffle(&q, 1, 12345) != PBQ_OK) return PBQ_SELFTEST_SHUFFLE_ON;
  if (set_shuffle(&q, 0, 0) != PBQ_OK) return PBQ_SELFTEST_SHUFFLE_OFF;
  return PBQ_SELFTEST_PASSED;
}

}  // namespace model
