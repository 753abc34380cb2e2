#include "view.h"

#include <yyjson.h>

#include <cstdio>

#include "pbq.h"

#include "text.h"

namespace cli {

namespace {

// Queues longer than this show a window around the current entry.
constexpr int64_t k_window_before = 1;
constexpr int64_t k_window_after = 4;

std::string string_member(yyjson_val *obj, const char *key) {
  yyjson_val *v = yyjson_obj_get(obj, key);
  return yyjson_is_str(v) ? std::string(yyjson_get_str(v), yyjson_get_len(v)) : std::string();
}

track_info read_track(yyjson_val *obj) {
  track_info t;
  t.url = string_member(obj, "streamURL");
  t.title = string_member(obj, "title");
  t.artist = string_member(obj, "artist");
  t.artwork = string_member(obj, "artworkURL");
  t.duration = yyjson_get_num(yyjson_obj_get(obj, "duration"));
  return t;
}

const char *repeat_name(int64_t mode) {
  switch (mode) {
    case PBQ_REPEAT_OFF: return "off";
    case PBQ_REPEAT_ALL: return "all";
    case PBQ_REPEAT_ONE: return "one";
    default: return "?";
  }
}

}  // namespace

std::optional<queue_state> read_state(std::string_view json) {
  yyjson_doc *doc = yyjson_read(json.data(), json.size(), 0);
  yyjson_val *root = yyjson_doc_get_root(doc);
  if (!yyjson_is_obj(root)) {
    yyjson_doc_free(doc);
    return std::nullopt;
  }
  queue_state s;
  s.current = yyjson_get_sint(yyjson_obj_get(root, "currentIndex"));
  s.up_next = yyjson_get_uint(yyjson_obj_get(root, "upNextCount"));
  s.repeat = yyjson_get_sint(yyjson_obj_get(root, "repeatMode"));
  s.shuffled = yyjson_get_bool(yyjson_obj_get(root, "isShuffled"));
  s.rate = yyjson_get_num(yyjson_obj_get(root, "playbackRate"));
  s.sleep = yyjson_get_sint(yyjson_obj_get(root, "sleepMode"));
  s.has_next = yyjson_get_bool(yyjson_obj_get(root, "hasNext"));
  s.has_previous = yyjson_get_bool(yyjson_obj_get(root, "hasPrevious"));
  size_t index, max;
  yyjson_val *entry;
  yyjson_arr_foreach(yyjson_obj_get(root, "queue"), index, max, entry) { s.queue.push_back(read_track(entry)); }
  yyjson_doc_free(doc);
  return s;
}

std::string describe(const track_info &track) {
  std::string out = printable(track.title.empty() ? track.url : track.title);
  if (!track.artist.empty()) {
    out += " - ";
    out += printable(track.artist);
  }
  out += " (";
  out += clock_text(track.duration);
  out += ")";
  return out;
}

const track_info *current_track(const queue_state &state) {
  if (state.current < 0 || static_cast<uint64_t>(state.current) >= state.queue.size()) return nullptr;
  return &state.queue[static_cast<size_t>(state.current)];
}

namespace {

// One line of the queue view: the marker of the current entry, the queue index, the
// up-next index and the track.
std::string queue_row(const queue_state &state, int64_t i) {
  char head[64];
  char up_next[24] = "";
  if (state.current >= 0 && i > state.current) {
    std::snprintf(up_next, sizeof up_next, "+%lld", static_cast<long long>(i - state.current - 1));
  }
  std::snprintf(head, sizeof head, "  %s #%-4lld %-5s ", i == state.current ? ">" : " ",
                static_cast<long long>(i), up_next);
  std::string row = head;
  row += describe(state.queue[static_cast<size_t>(i)]);
  row += "\n";
  return row;
}

}  // namespace

// Built by appending: GCC 12 at -O3 warns falsely (-Wrestrict) on chains of
// "text" + std::string temporaries.
std::string render(const queue_state &state, std::optional<int64_t> sleep_left) {
  char rate[32];
  std::snprintf(rate, sizeof rate, "%.2fx", state.rate);
  std::string sleep = "off";
  if (state.sleep == PBQ_SLEEP_TIMER) {
    sleep = "in ";
    sleep += sleep_left ? clock_text(*sleep_left) : std::string("?");
  } else if (state.sleep == PBQ_SLEEP_END_OF_TRACK) {
    sleep = "at end of track";
  }
  const auto count = static_cast<int64_t>(state.queue.size());
  std::string out = "  queue ";
  out += std::to_string(count);
  out += ", current ";
  if (state.current >= 0) {
    out += "#";
    out += std::to_string(state.current);
  } else {
    out += "none";
  }
  out += ", up next ";
  out += std::to_string(state.up_next);
  out += " | repeat ";
  out += repeat_name(state.repeat);
  out += " | shuffle ";
  out += state.shuffled ? "on" : "off";
  out += " | rate ";
  out += rate;
  out += " | sleep ";
  out += sleep;
  out += "\n";
  if (count == 0) return out + "    (queue empty)\n";

  int64_t first = 0, last = count - 1;
  if (count > k_window_before + k_window_after + 1) {
    int64_t anchor = state.current >= 0 ? state.current : 0;
    first = anchor > k_window_before ? anchor - k_window_before : 0;
    last = first + k_window_before + k_window_after < count ? first + k_window_before + k_window_after : count - 1;
  }
  if (first > 0) out += "    ... " + std::to_string(first) + " before\n";
  for (int64_t i = first; i <= last; i++) out += queue_row(state, i);
  if (last < count - 1) out += "    ... " + std::to_string(count - 1 - last) + " more\n";
  return out;
}

std::string render_queue(const queue_state &state) {
  if (state.queue.empty()) return "    (queue empty)\n";
  std::string out;
  for (int64_t i = 0; i < static_cast<int64_t>(state.queue.size()); i++) out += queue_row(state, i);
  return out;
}

}  // namespace cli
