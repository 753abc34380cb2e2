// What the host draws: the state document read back into plain values, the
// describing line of a track and the compact queue view.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

struct track_info {
  std::string url, title, artist, artwork;
  double duration = 0.0;
};

struct queue_state {
  int64_t current = -1;
  uint64_t up_next = 0;
  int64_t repeat = 0;
  bool shuffled = false;
  double rate = 1.0;
  int64_t sleep = 0;
  bool has_next = false, has_previous = false;
  std::vector<track_info> queue;
};

// The state document of pbq_state_json; nothing if it does not read as one.
std::optional<queue_state> read_state(std::string_view json);

// "Harbour - Nadia (3:35)": the title (the address when untitled), the artist when
// known, the length as m:ss. Control characters are shown escaped (see printable).
std::string describe(const track_info &track);

// The current entry, if any.
const track_info *current_track(const queue_state &state);

// Modes on one line, then the queue around the current entry: its index (the
// number jump takes), its up-next index (the number remove and move take) and the
// track. `sleep_left` is the time the session last saw left on the timer.
std::string render(const queue_state &state, std::optional<int64_t> sleep_left);

// Every entry of the play queue, one line each as in the view above.
std::string render_queue(const queue_state &state);

}  // namespace cli
