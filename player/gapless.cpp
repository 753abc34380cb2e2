// The gapless choice: what the end of the current entry will lead to.
#include "gapless.h"

#include "pbq.h"

namespace player {

std::optional<int64_t> entry_after_end(const cli::queue_head &state) {
  const auto count = static_cast<int64_t>(state.count);
  if (state.current < 0 || state.current >= count) return std::nullopt;
  // The same order of rules as the end of a track: the sleep first, then repeat
  // one, then the step rule the document reports as "hasNext".
  if (state.sleep == PBQ_SLEEP_END_OF_TRACK) return std::nullopt;
  if (state.repeat == PBQ_REPEAT_ONE) return state.current;
  if (!state.has_next) return std::nullopt;
  return state.current + 1 < count ? state.current + 1 : 0;
}

}  // namespace player
