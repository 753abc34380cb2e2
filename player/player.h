// pbq-play's wiring of the queue to the engine: the session of the command-line
// host runs the commands and narrates; this class turns its answers, the engine's
// events (end of stream, the gapless hand-over, errors) and the clock into what
// the engine does, and keeps the resume document on disk.
#pragma once

#include <glib.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "engine.h"
#include "mpris.h"
#include "scan.h"
#include "session.h"
#include "status_line.h"

namespace player {

struct options {
  std::string tracks_path;           // how the player names what it plays
  std::vector<std::string> sources;  // a JSON track list, or folders, playlists and audio files
  std::string sink = "auto";
  int32_t start = 0;
  bool fresh = false;  // ignore the stored resume document
  bool json = false;   // the state document after each command instead of the view
  bool bus = true;     // on the session bus (MPRIS) when there is one
};

// "1.250": seconds with milliseconds, as the player prints positions.
std::string seconds_text(double seconds);

// Exit statuses of pbq-play.
constexpr int k_exit_ok = 0;
constexpr int k_exit_usage = 1;
constexpr int k_exit_tracks = 2;          // the track list cannot be read or used
constexpr int k_exit_command_failed = 3;  // a command from the input failed, as in pbq
constexpr int k_exit_output = 4;          // no audio output, or GStreamer lacks what it needs

class player final : public cli::engine_hooks, public bus_host {
 public:
  player(std::ostream &out, bool json_view) : out_(out), session_(out, json_view) {}
  player(const player &) = delete;
  player &operator=(const player &) = delete;
  ~player() override;

  // A terminal's line for how far the reading has got (not owned; null for none).
  void set_status_line(status_line *line) { status_line_ = line; }

  // Plays until `quit`, a signal, or the end of input with nothing playing.
  int run(const options &opt);

  void act(pbq::action what, double start_seconds) override;
  double position() override;
  int64_t now() override;
  int64_t clock_rate() override { return 1000; }  // milliseconds

  bool bus_command(const std::string &line) override;
  cli::state_text &bus_state() override;
  uint64_t bus_state_reads() override;
  std::string bus_uri(const std::string &url) override;
  const char *bus_status() override;
  double bus_position() override;
  double bus_volume() override;
  void bus_set_volume(double volume) override;
  void bus_quit() override;

 private:
  enum class playback { stopped, playing, paused };
  // A script waits: until the current entry has played some seconds, or until
  // some more ends of tracks.
  struct wait_for {
    std::optional<double> position;
    int64_t ends = 0;
    bool read = false;  // until the sources are read
  };

  bool load(const options &opt);
  void restore_or_start(int32_t start_index);

  // The scan of folders, playlists and files (player_scan.cpp): what it found is
  // appended to the queue in listing order, and the first entry starts at once.
  void start_scan(const options &opt);
  static gboolean on_scan_ready(gpointer self);
  void take_scanned();
  bool first_start();
  void scan_finished();
  void show_progress();
  bool scanning() const { return scan_ != nullptr; }

  // Engine events, from the bus watch.
  static gboolean on_bus(GstBus *bus, GstMessage *message, gpointer self);
  void on_end_of_stream();
  void on_stream_start();
  void on_error(GstMessage *message);
  void track_ended(std::optional<follow_up> queued);

  // Commands, from standard input.
  static gboolean on_input(GIOChannel *channel, GIOCondition condition, gpointer self);
  static gboolean on_tick(gpointer self);
  static gboolean on_signal(gpointer self);
  void read_input(bool backlog_only);
  void run_lines();
  void run_line(const std::string &line);
  void run_command(std::string_view line);
  bool player_command(const std::string &command, const std::string &args);
  void fail(const std::string &message);
  // Commands of the input that failed (not counting those meant to fail).
  int failures() const { return session_.failures() + own_failures_ - forgiven_; }

  // What the engine does.
  void perform_pending();
  void start_current(double start_seconds);
  void skip_later();
  static gboolean on_skip(gpointer self);
  bool skip_unplayable();
  void give_up(bool whole_queue);
  void stop(bool queue_over);
  void after_change();
  void check_wait();
  void tick();
  void save_resume();
  void quit(int status);
  void say(const std::string &line);

  std::ostream &out_;
  cli::session session_;
  engine engine_;
  mpris bus_;
  bool held_by_bus_ = false;  // paused or stopped from the bus: stays for the bus to resume
  GMainLoop *loop_ = nullptr;
  bool quitting_ = false;
  int exit_status_ = k_exit_ok;
  int own_failures_ = 0;  // of the player's own commands
  int forgiven_ = 0;      // failures of commands meant to fail

  std::string base_dir_;     // the track list's folder: relative addresses count from it
  std::string resume_path_;  // empty: resume is not kept
  bool resume_error_said_ = false;
  bool finished_ = false;    // the queue played to its end: nothing to resume

  playback state_ = playback::stopped;
  bool launching_ = true;  // running the commands that waited at launch
  std::optional<std::pair<pbq::action, double>> pending_;
  std::optional<follow_up> switched_;  // set while the end of a gapless hand-over is told
  bool handed_over_ = false;           // the file playing came by a gapless hand-over and was not opened afresh
  uint64_t files_opened_ = 0;          // files opened afresh so far
  int64_t unplayable_in_a_row_ = 0;
  int64_t unplayable_since_ms_ = 0;    // when the run of failures began
  int64_t unplayable_from_ = -1;       // the entry it began at
  guint skip_source_ = 0;              // the next skip, once the loop had its turn

  // The scan and what waits for it.
  std::unique_ptr<scan> scan_;
  std::atomic<bool> scan_wake_{false};  // a wake-up is on its way to the loop
  guint scan_timer_ = 0;
  int64_t scan_began_ms_ = 0, last_batch_ms_ = 0;
  size_t scan_entries_ = 0, scan_skipped_ = 0;
  status_line *status_line_ = nullptr;
  int64_t last_progress_ms_ = 0;
  std::string tracks_path_;
  std::string scanned_json_;            // the tracks appended so far, as a track list without its "]"
  bool awaiting_first_start_ = false;   // nothing played yet: the first entry (or the saved one) starts
  std::optional<std::string> saved_resume_;  // the resume document, until its track is found
  std::string saved_url_;
  int32_t start_index_ = 0;
  bool waiting_for_scan_ = false;       // played to the end of what was found so far
  double applied_rate_ = 1.0;
  int64_t ends_seen_ = 0;
  int64_t last_save_ms_ = 0;

  std::string input_;
  std::deque<std::string> lines_;
  bool input_closed_ = false;
  bool interactive_ = false;
  guint input_watch_ = 0;
  std::optional<wait_for> waiting_;
};

}  // namespace player
