// The head of the state document: the scalars and the current track, read without
// the queue that follows them, for the player's paths that run once per entry
// (skipping what cannot be played, appending what a scan found).
#pragma once

#include <cstdint>
#include <optional>

#include "pbq.hpp"
#include "view.h"

namespace player {

struct queue_head {
  int64_t current = -1;
  uint64_t count = 0;
  bool shuffled = false;
  std::optional<cli::track_info> track;  // the current entry's
};

std::optional<queue_head> read_head(const pbq::queue &q);

}  // namespace player
