// One run of the command-line host: a queue, the track list it was loaded from, a
// simulated clock, and the interpreter of the command lines.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "pbq.hpp"
#include "view.h"

namespace cli {

// The help of the session's commands, one line each (two for sleep), under a
// heading; with `real_clock` (a host with an engine) without tick and the
// simulated clock. Commands in `leave_out` are left out (a host that lists its own).
std::string command_help(bool real_clock, const std::vector<std::string_view> &leave_out);

// A host with a real audio engine behind the session: the session tells it when
// what plays must change, and takes the playing position and the clock from it
// instead of simulating them. Without one, the session only narrates.
class engine_hooks {
 public:
  virtual ~engine_hooks() = default;
  // A command's navigation answer: play the current entry from `start_seconds`,
  // replay it, stop at the end of the queue, or go to sleep.
  virtual void act(pbq::action what, double start_seconds) = 0;
  // Seconds played of the current entry (the default of prev).
  virtual double position() = 0;
  // The host's monotonic clock, for the sleep timer, in units of `clock_rate`
  // per second.
  virtual int64_t now() = 0;
  virtual int64_t clock_rate() = 0;
};

class session {
 public:
  session(std::ostream &out, bool json_view) : out_(out), json_view_(json_view) {}

  // Loads the track list the session starts with; false with the reason in `error`.
  bool open(std::string tracks_json, int32_t start_index, std::string *error);

  // Runs one command line and reports; false once the line asks to quit. A line
  // "! COMMAND" expects COMMAND to fail: its error is shown but not counted, and a
  // success is counted as a failure.
  bool run(std::string_view line);

  // How many commands failed so far.
  int failures() const { return failures_; }

  // What a player would do now and the queue view (or the state document).
  void report_state(const std::string &action);
  // "VERB #index title - artist (m:ss)" for the current entry, or "idle: ...".
  std::string playing(const char *verb);

  // The state document after the last change: read once after each command (or
  // use of queue()) that may have changed the queue, however often it is asked for.
  state_text &read();
  // pbq_check_sleep_timer at `now`: the queue changes only when the timer fires.
  int64_t poll_sleep_timer(int64_t now) {
    int64_t left = queue_.check_sleep_timer(now);
    if (left == 0) stale_ = true;
    return left;
  }
  // Counts the documents read, so that a host can tell a new one from the last.
  uint64_t reads() const { return reads_; }

  // For a host with an audio engine: the hooks (not owned; null for none), the
  // queue (taken as changed) and the track list it was loaded from.
  void set_hooks(engine_hooks *hooks) { hooks_ = hooks; }
  pbq::queue &queue() {
    stale_ = true;
    return queue_;
  }
  const std::string &tracks_json() const { return tracks_json_; }

 private:
  bool dispatch(std::string_view command, std::string_view args);
  void fail(const std::string &message);
  std::optional<std::string> track_argument(std::string_view args);

  void cmd_next();
  void cmd_prev(std::string_view args);
  void cmd_ended();
  void cmd_jump(std::string_view args);
  void cmd_repeat(std::string_view args);
  void cmd_shuffle(std::string_view args);
  void cmd_add(std::string_view args, bool play_next);
  void cmd_remove(std::string_view args);
  void cmd_move(std::string_view args);
  void cmd_clear();
  void cmd_rate(std::string_view args);
  void cmd_sleep(std::string_view args);
  void cmd_tick(std::string_view args);
  void cmd_state();
  void cmd_queue();
  void cmd_export(std::string_view args);
  void cmd_restore(std::string_view args);
  void cmd_load(std::string_view args);
  void cmd_selftest();
  void cmd_help();
  void engine(pbq::action what, double start_seconds = 0.0);

  std::ostream &out_;
  bool json_view_;
  pbq::queue queue_;
  state_text state_;
  bool stale_ = true;
  uint64_t reads_ = 0;
  std::string tracks_json_;
  int64_t clock_ = 0;
  std::optional<int64_t> sleep_left_;
  std::string last_resume_;
  int failures_ = 0;
  engine_hooks *hooks_ = nullptr;
};

}  // namespace cli
