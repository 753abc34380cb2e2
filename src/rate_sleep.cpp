// Playback rate and sleep timer. The library keeps no clock: the host passes its
// own readings, which are only added and subtracted.
#include <cmath>

#include "engine.h"
#include "model.h"

namespace {

constexpr float k_min_rate = 0.5f;
constexpr float k_max_rate = 2.0f;

// Two's-complement arithmetic on the host's clock values, without signed overflow.
int64_t wrapping_add(int64_t a, int64_t b) {
  return static_cast<int64_t>(static_cast<uint64_t>(a) + static_cast<uint64_t>(b));
}

int64_t wrapping_sub(int64_t a, int64_t b) {
  return static_cast<int64_t>(static_cast<uint64_t>(a) - static_cast<uint64_t>(b));
}

}  // namespace

float clamp_rate(float rate) {
  // A rate that is not finite cannot be trusted either way: the slowest rate is kept.
  if (!std::isfinite(rate) || rate < k_min_rate) return k_min_rate;
  if (rate > k_max_rate) return k_max_rate;
  return rate;
}

float clamp_rate_from_double(double rate) {
  // The smallest magnitude that rounds to infinity as a float: above it the
  // conversion would overflow, and an infinite rate clamps like a NaN.
  constexpr double k_float_overflow = 0x1.ffffffp127;
  if (!std::isfinite(rate) || std::fabs(rate) >= k_float_overflow) return k_min_rate;
  return clamp_rate(static_cast<float>(rate));
}

extern "C" {

float pbq_set_rate(pbq_queue *q, float rate) {
  if (q == nullptr) return 1.0f;
  q->rate = clamp_rate(rate);
  return q->rate;
}

int32_t pbq_set_sleep_timer(pbq_queue *q, int32_t mode, int64_t duration, int64_t now) {
  if (q == nullptr) return -1;
  switch (mode) {
    case k_sleep_off:
    case k_sleep_end_of_track:
      q->sleep_mode = mode;
      q->sleep_deadline = 0;
      return 0;
    case k_sleep_timer:
      if (duration <= 0) return -1;
      q->sleep_mode = k_sleep_timer;
      q->sleep_deadline = wrapping_add(now, duration);
      return 0;
    default:
      return -1;
  }
}

int64_t pbq_check_sleep_timer(pbq_queue *q, int64_t now) {
  if (q == nullptr || q->sleep_mode != k_sleep_timer) return -1;
  int64_t left = wrapping_sub(q->sleep_deadline, now);
  if (left > 0) return left;
  // Reported once: the timer is off from now on.
  q->sleep_mode = k_sleep_off;
  q->sleep_deadline = 0;
  return 0;
}

}  // extern "C"
