// The reference model: the whole behaviour of the 26 functions, written a second time
// as plainly as possible, with standard containers and no code of the library. Only
// the public header's codes and yyjson (to read the host's JSON and to write the two
// documents) are shared with it. A test is the agreement of the two.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace model {

struct track {
  std::string url;
  std::string title;
  std::string artist;
  std::optional<std::string> artwork;
  double duration = 0.0;
};

struct queue {
  std::vector<track> tracks;  // loaded, in source order
  std::vector<track> play;    // the play queue
  int32_t current = -1;
  int32_t repeat = 0;
  bool shuffled = false;
  float rate = 1.0f;
  int32_t sleep = 0;
  int64_t deadline = 0;
};

// SplitMix64 and a top-down Fisher-Yates over [lo, hi); seed 0 means a fixed state.
void shuffle(std::vector<track> &items, size_t lo, size_t hi, uint64_t seed);

// The calling thread's error text and the calls, each taking a possibly null handle
// exactly as the C functions do.
class world {
 public:
  std::string error;

  int32_t set_tracks(queue *q, const char *json, int32_t start, uint64_t seed);
  int32_t play_next(queue *q, const char *json);
  int32_t add_to_queue(queue *q, const char *json);
  int32_t remove_up_next(queue *q, int32_t offset);
  int32_t move_up_next(queue *q, int32_t from, int32_t to);
  int32_t clear_up_next(queue *q);
  int32_t next(queue *q);
  int32_t track_ended(queue *q);
  int32_t previous(queue *q, double position);
  int32_t jump(queue *q, int32_t index);
  int32_t set_repeat(queue *q, int32_t mode);
  int32_t cycle_repeat(queue *q);
  int32_t set_shuffle(queue *q, int32_t enabled, uint64_t seed);
  float set_rate(queue *q, float rate);
  int32_t set_sleep_timer(queue *q, int32_t mode, int64_t duration, int64_t now);
  int64_t check_sleep_timer(queue *q, int64_t now);
  int32_t restore(queue *q, const char *resume, const char *tracks, double *out_position);
  int32_t selftest();

 private:
  int32_t add(queue *q, const char *json, bool right_after_current);
};

// The two documents as the library writes them; nullopt for a null handle.
std::optional<std::string> state_json(const queue *q);
std::optional<std::string> resume_json(const queue *q, double position);

}  // namespace model
