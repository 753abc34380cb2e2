#include "view.h"

#include <cstdio>

#include "pbq.h"

#include "text.h"

namespace cli {

namespace {

// Queues longer than this show a window around the current entry.
constexpr int64_t k_window_before = 1;
constexpr int64_t k_window_after = 4;

const char *repeat_name(int64_t mode) {
  switch (mode) {
    case PBQ_REPEAT_OFF: return "off";
    case PBQ_REPEAT_ALL: return "all";
    case PBQ_REPEAT_ONE: return "one";
    default: return "?";
  }
}

// One line of the queue view: the marker of the current entry, the queue index, the
// up-next index and the track.
std::string queue_row(int64_t current, int64_t i, const track_info &track) {
  char head[64];
  char up_next[24] = "";
  if (current >= 0 && i > current) {
    std::snprintf(up_next, sizeof up_next, "+%lld", static_cast<long long>(i - current - 1));
  }
  std::snprintf(head, sizeof head, "  %s #%-4lld %-5s ", i == current ? ">" : " ", static_cast<long long>(i), up_next);
  std::string row = head;
  row += describe(track);
  row += "\n";
  return row;
}

}  // namespace

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

// Built by appending: GCC 12 at -O3 warns falsely (-Wrestrict) on chains of
// "text" + std::string temporaries.
std::string render(state_text &state, std::optional<int64_t> sleep_left) {
  const queue_head &head = state.head();
  char rate[32];
  std::snprintf(rate, sizeof rate, "%.2fx", head.rate);
  std::string sleep = "off";
  if (head.sleep == PBQ_SLEEP_TIMER) {
    sleep = "in ";
    sleep += sleep_left ? clock_text(*sleep_left) : std::string("?");
  } else if (head.sleep == PBQ_SLEEP_END_OF_TRACK) {
    sleep = "at end of track";
  }
  const auto count = static_cast<int64_t>(head.count);
  std::string out = "  queue ";
  out += std::to_string(count);
  out += ", current ";
  if (head.current >= 0) {
    out += "#";
    out += std::to_string(head.current);
  } else {
    out += "none";
  }
  out += ", up next ";
  out += std::to_string(head.up_next);
  out += " | repeat ";
  out += repeat_name(head.repeat);
  out += " | shuffle ";
  out += head.shuffled ? "on" : "off";
  out += " | rate ";
  out += rate;
  out += " | sleep ";
  out += sleep;
  out += "\n";
  if (count <= 0) return out + "    (queue empty)\n";

  int64_t first = 0, last = count - 1;
  if (count > k_window_before + k_window_after + 1) {
    int64_t anchor = head.current >= 0 && head.current < count ? head.current : 0;
    first = anchor > k_window_before ? anchor - k_window_before : 0;
    last = first + k_window_before + k_window_after < count ? first + k_window_before + k_window_after : count - 1;
  }
  if (first > 0) out += "    ... " + std::to_string(first) + " before\n";
  for (int64_t i = first; i <= last; i++) {
    std::optional<track_info> track = state.entry(i);
    if (!track) break;  // a document cut short (out of memory)
    out += queue_row(head.current, i, *track);
  }
  if (last < count - 1) out += "    ... " + std::to_string(count - 1 - last) + " more\n";
  return out;
}

void render_queue(state_text &state, std::ostream &out) {
  int64_t i = 0;
  for (; std::optional<track_info> track = state.entry(i); i++) out << queue_row(state.head().current, i, *track);
  if (i == 0) out << "    (queue empty)\n";
}

}  // namespace cli
