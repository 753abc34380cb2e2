// What the host draws from the state document: the describing line of a track and
// the compact queue view, which reads only the entries it shows.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include "state_text.h"

namespace cli {

// "Harbour - Nadia (3:35)": the title (the address when untitled), the artist when
// known, the length as m:ss. Control characters are shown escaped (see printable).
std::string describe(const track_info &track);

// Modes on one line, then the queue around the current entry: its index (the
// number jump takes), its up-next index (the number remove and move take) and the
// track. `sleep_left` is the time the session last saw left on the timer.
std::string render(state_text &state, std::optional<int64_t> sleep_left);

// Every entry of the play queue, one line each as in the view above.
void render_queue(state_text &state, std::ostream &out);

}  // namespace cli
