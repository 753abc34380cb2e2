// The entry that plays after the current one ends, decided from the state document
// alone, so that the engine can open its file before the end and play it without a
// gap.
#pragma once

#include <cstdint>
#include <optional>

#include "state_text.h"

namespace player {

// The queue index that pbq_on_track_ended will make current (or replay under
// repeat one) when the current entry ends; nothing when it will stop there (the
// end of the queue, the end-of-track sleep, no current entry).
std::optional<int64_t> entry_after_end(const cli::queue_head &state);

}  // namespace player
