// Navigation and repeat: moving `current` through the play queue.
#include <cstdint>

#include "engine.h"
#include "model.h"

namespace {

constexpr int32_t k_moved = PBQ_ACTION_PLAY;
constexpr int32_t k_stayed = PBQ_ACTION_NONE;
constexpr int32_t k_replay = PBQ_ACTION_RESTART;
constexpr int32_t k_sleep_due = PBQ_ACTION_SLEEP;

// One step forward under the repeat mode; repeat one moves on like repeat off.
int32_t step_forward(pbq_queue *q) {
  assert(has_current(q));
  if (up_next_count(q) > 0) {
    q->current++;
    return k_moved;
  }
  if (q->repeat_mode == k_repeat_all) {
    q->current = 0;
    return k_moved;
  }
  return k_stayed;
}

}  // namespace

extern "C" {

int32_t pbq_next(pbq_queue *q) {
  if (q == nullptr || !has_current(q)) return k_stayed;
  return step_forward(q);
}

int32_t pbq_on_track_ended(pbq_queue *q) {
  // Without a current entry an armed end-of-track sleep stays armed.
  if (q == nullptr || !has_current(q)) return k_stayed;
  // The sleep wins over both repeat modes.
  if (q->sleep_mode == k_sleep_end_of_track) {
    q->sleep_mode = k_sleep_off;
    q->sleep_deadline = 0;
    return k_sleep_due;
  }
  if (q->repeat_mode == k_repeat_one) return k_replay;
  return step_forward(q);
}

int32_t pbq_previous(pbq_queue *q, double position) {
  if (q == nullptr || !has_current(q)) return k_stayed;
  // Past the first seconds, previous restarts the track; NaN compares false.
  if (position > 3.0) return k_replay;
  if (q->current > 0) {
    q->current--;
    return k_moved;
  }
  if (q->repeat_mode == k_repeat_all) {
    q->current = static_cast<int32_t>(q->queue.count - 1);
    return k_moved;
  }
  return k_replay;
}

int32_t pbq_jump(pbq_queue *q, int32_t index) {
  if (q == nullptr || index < 0 || static_cast<uint64_t>(index) >= q->queue.count) {
    set_err(msg::jump_out_of_range);
    return -1;
  }
  q->current = index;
  return 0;
}

int32_t pbq_set_repeat(pbq_queue *q, int32_t mode) {
  if (q == nullptr || mode < k_repeat_off || mode > k_repeat_one) return -1;
  q->repeat_mode = mode;
  return mode;
}

int32_t pbq_cycle_repeat(pbq_queue *q) {
  if (q == nullptr) return -1;
  q->repeat_mode = (q->repeat_mode + 1) % 3;
  return q->repeat_mode;
}

}  // extern "C"
