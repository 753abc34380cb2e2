// pbq-play's wiring: queue answers, engine events and the clock.
#include "player.h"

#include <glib-unix.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <utility>

#include "gapless.h"
#include "media.h"
#include "resume_file.h"
#include "sources.h"
#include "text.h"

namespace player {

namespace {

constexpr guint k_tick_ms = 100;            // sleep timer, script waits
constexpr int64_t k_save_every_ms = 5000;   // the resume document while playing

// A run of entries that cannot be played ends playback after this many, or after
// this long, whichever comes first. A real album has a broken file or two; a
// hundred in a row, or seconds of nothing but failures, is a drive that is not
// mounted or a folder that moved, and trying the rest of a long list would only
// keep the player busy. Each try is cheap, so the time is the bound that holds
// whatever the queue's length; the count keeps a small one from waiting for it.
constexpr int64_t k_give_up_after_failures = 100;
constexpr int64_t k_give_up_after_ms = 5000;

}  // namespace

std::string seconds_text(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", seconds);
  return text;
}

player::~player() {
  scan_.reset();
  if (scan_timer_ != 0) g_source_remove(scan_timer_);
  if (skip_source_ != 0) g_source_remove(skip_source_);
  while (g_idle_remove_by_data(this)) {
  }
  if (input_watch_ != 0) g_source_remove(input_watch_);
  if (loop_ != nullptr) g_main_loop_unref(loop_);
}

void player::say(const std::string &line) { out_ << line << "\n" << std::flush; }

// ---- Hooks the session calls ---------------------------------------------------

// Acted on once the command is over, so that its report comes first and the
// engine never runs inside the session.
void player::act(pbq::action what, double start_seconds) { pending_ = {what, start_seconds}; }

double player::position() { return state_ == playback::stopped ? 0.0 : engine_.position(); }

int64_t player::now() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// ---- Launch --------------------------------------------------------------------

int player::run(const options &opt) {
  if (!load(opt)) return exit_status_;
  std::string error;
  if (!engine_.open(opt.sink, &error)) {
    std::fprintf(stderr, "pbq-play: %s\n", error.c_str());
    return k_exit_output;
  }
  session_.set_hooks(this);
  std::string dir = state_dir();
  if (!dir.empty()) resume_path_ = resume_path(dir, resume_key(opt.sources));

  loop_ = g_main_loop_new(nullptr, FALSE);
  guint bus_watch = gst_bus_add_watch(engine_.bus(), on_bus, this);
  interactive_ = isatty(STDIN_FILENO) != 0;
  say("pbq-play " + std::string(pbq::version()) + ": " + opt.tracks_path + " through " + opt.sink + " audio");
  if (interactive_) say("type help for the commands, quit to leave");
  if (opt.bus) {
    std::string bus_error;
    std::string name = bus_.start(this, &bus_error);
    if (!name.empty()) say("on the session bus as " + name);
  }

  // Resumed or fresh, the queue is set before any command: commands already
  // waiting on the input (a script) then apply before the first note plays, so
  // that what is queued for gapless playback already follows them.
  if (scanning()) {
    start_scan(opt);  // playing starts with the first entry the scan finds
  } else if (!opt.fresh && !resume_path_.empty()) {
    restore_or_start(opt.start);
  } else {
    session_.report_state(session_.playing("play"));
    act(pbq::action::play, 0.0);
  }
  read_input(true);
  run_lines();
  launching_ = false;
  perform_pending();
  after_change();
  if (!input_closed_) {
    GIOChannel *channel = g_io_channel_unix_new(STDIN_FILENO);
    input_watch_ = g_io_add_watch(channel, static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR), on_input, this);
    g_io_channel_unref(channel);
  }
  g_timeout_add(k_tick_ms, on_tick, this);
  g_unix_signal_add(SIGINT, on_signal, this);
  g_unix_signal_add(SIGTERM, on_signal, this);
  last_save_ms_ = now();

  tick();  // an input that already ended with nothing to play stops here
  if (!quitting_) g_main_loop_run(loop_);
  scan_.reset();  // a scan still running stops here
  // A run that could not play (no audio output) keeps the place saved before it.
  if (exit_status_ == k_exit_ok && (state_ != playback::stopped || !finished_)) save_resume();
  engine_.stop();
  g_source_remove(bus_watch);
  // As pbq: a script whose commands failed ends with its own status.
  if (exit_status_ == k_exit_ok && !interactive_ && failures() > 0) return k_exit_command_failed;
  return exit_status_;
}

bool player::load(const options &opt) {
  std::string error;
  track_list list;
  if (!read_sources(opt.sources, &list, &error)) {
    std::fprintf(stderr, "pbq-play: %s\n", error.c_str());
    exit_status_ = k_exit_tracks;
    return false;
  }
  tracks_path_ = opt.tracks_path;
  if (!list.is_json) {
    // Read in the background from now on; the queue fills as entries are ready.
    session_.open("[]", 0, &error);
    scan_began_ms_ = now();
    scan_ = std::make_unique<scan>(std::move(list.to_scan), [this] {
      if (!scan_wake_.exchange(true)) g_idle_add(on_scan_ready, this);
    });
    return true;
  }
  if (!session_.open(std::move(list.json), opt.start, &error)) {
    std::fprintf(stderr, "pbq-play: %s is not a track list: %s\n", opt.tracks_path.c_str(), error.c_str());
    exit_status_ = k_exit_tracks;
    return false;
  }
  cli::state_text &s = session_.read();
  if (!s.ok() || s.head().count == 0) {
    std::fprintf(stderr, "pbq-play: %s holds no track with an address\n", opt.tracks_path.c_str());
    exit_status_ = k_exit_tracks;
    return false;
  }
  base_dir_ = list.base_dir;
  return true;
}

// The resume document of the last run with this track list, if there is one: the
// saved track is current again and playback starts where it stopped.
void player::restore_or_start(int32_t start_index) {
  std::string error;
  std::optional<std::string> stored = access(resume_path_.c_str(), F_OK) == 0
                                          ? cli::read_file(resume_path_, &error)
                                          : std::nullopt;
  if (!stored) {
    session_.report_state(session_.playing("play"));
    return act(pbq::action::play, 0.0);
  }
  pbq::queue relaunched;
  pbq::result<pbq::resumed> r = relaunched.restore_resume_json(*stored, session_.tracks_json());
  if (!r) {
    say("the saved resume document cannot be used (" + r.error() + "): starting afresh");
    session_.report_state(session_.playing("play"));
    return act(pbq::action::play, 0.0);
  }
  if (!r.value().found) {
    // Nothing to resume; the settings it held (repeat, shuffle, rate) stay.
    pbq::status loaded = relaunched.set_tracks(session_.tracks_json(), start_index, 0);
    if (!loaded) {
      session_.report_state(session_.playing("play"));
      return act(pbq::action::play, 0.0);
    }
    session_.queue() = std::move(relaunched);
    session_.report_state(session_.playing("play"));
    return act(pbq::action::play, 0.0);
  }
  session_.queue() = std::move(relaunched);
  double at = r.value().position;
  session_.report_state(session_.playing("resume") + " at " + cli::clock_text(at) + " (" + seconds_text(at) + " s)");
  act(pbq::action::play, at);
}

// ---- Engine events -------------------------------------------------------------

gboolean player::on_bus(GstBus *, GstMessage *message, gpointer self) {
  auto *p = static_cast<player *>(self);
  switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_EOS: p->on_end_of_stream(); break;
    case GST_MESSAGE_STREAM_START: p->on_stream_start(); break;
    case GST_MESSAGE_ERROR: p->on_error(message); break;
    case GST_MESSAGE_ASYNC_DONE: p->engine_.on_async_done(); break;
    default: break;
  }
  return TRUE;
}

void player::on_end_of_stream() {
  if (state_ != playback::playing) return;
  track_ended(engine_.take_queued());
}

void player::on_stream_start() {
  if (engine_.first_start_after_play()) {
    unplayable_in_a_row_ = 0;
    return;
  }
  // Any later start is the file that "about-to-finish" queued: the previous one
  // has just played to its end.
  if (std::optional<follow_up> queued = engine_.take_queued()) track_ended(std::move(queued));
}

void player::on_error(GstMessage *message) {
  GError *err = nullptr;
  gchar *debug = nullptr;
  gst_message_parse_error(message, &err, &debug);
  std::string reason = err != nullptr ? err->message : "unknown error";
  g_clear_error(&err);
  g_free(debug);
  if (engine_.from_output(message)) {
    engine_.stop();
    state_ = playback::stopped;
    std::fprintf(stderr,
                 "pbq-play: the audio output cannot be opened: %s\n"
                 "pbq-play: on a machine without a sound device, --sink fake plays in silence\n",
                 reason.c_str());
    return quit(k_exit_output);
  }
  // A file that failed right after the gapless hand-over: the one before it ended.
  uint64_t opened = files_opened_;
  if (std::optional<follow_up> queued = engine_.take_queued()) {
    track_ended(std::move(queued));
    // The queue went elsewhere (another file, opened afresh, or a stop): what
    // failed was the hand-over it left behind.
    if (files_opened_ != opened || state_ != playback::playing) return;
  }
  if (handed_over_) {
    // The hand-over can fail where opening the same file works (playbin has been
    // seen to lose the address it was handed): the entry is opened afresh once
    // before it counts as unplayable.
    const cli::queue_head &head = session_.read().head();
    say("  (#" + std::to_string(head.current) + " did not follow without a gap: " + cli::printable(reason) +
        "; opening it afresh)");
    start_current(0.0);
    out_ << std::flush;
    return;
  }
  engine_.stop();
  state_ = playback::stopped;
  const cli::queue_head &head = session_.read().head();
  say("cannot play #" + std::to_string(head.current) + " " +
      (head.current_track ? cli::describe(*head.current_track) : "?") + ": " + cli::printable(reason) + "; skipping");
  skip_later();
  out_ << std::flush;
}

// The end of a track, told to the queue as the `ended` command so that the
// answer is narrated as in pbq; `queued` is what already plays without a gap.
void player::track_ended(std::optional<follow_up> queued) {
  ends_seen_++;
  switched_ = std::move(queued);
  session_.run("ended");
  perform_pending();
  switched_.reset();
  after_change();
  out_ << std::flush;
  check_wait();
}

// ---- What the engine does --------------------------------------------------------

void player::perform_pending() {
  if (launching_) return;  // the first track starts once the waiting commands ran
  while (pending_) {
    auto [what, start] = *pending_;
    pending_.reset();
    switch (what) {
      case pbq::action::play:
      case pbq::action::restart: {
        const cli::queue_head &head = session_.read().head();
        const std::optional<cli::track_info> &track = head.current_track;
        if (switched_ && track && switched_->index == head.current && switched_->url == track->url) {
          // Already playing: the queue agrees with what was queued before the end.
          say("  (no gap: #" + std::to_string(head.current) + " was queued before the end)");
          handed_over_ = true;
          state_ = playback::playing;
          finished_ = false;
          break;
        }
        if (switched_) {
          say("  (#" + std::to_string(switched_->index) + " was queued before the end, but the queue now plays #" +
              std::to_string(head.current) + ": switching)");
        }
        start_current(start);
        break;
      }
      case pbq::action::none: stop(true); break;
      case pbq::action::sleep: stop(false); break;
    }
  }
}

// Plays the current entry from `start_seconds`. An entry whose file cannot be
// opened is skipped with one line, and the next one is tried once the loop has
// had its turn: commands and the bus are served between the tries.
void player::start_current(double start_seconds) {
  if (skip_source_ != 0) g_source_remove(skip_source_);  // whatever was to be tried next, this comes instead
  skip_source_ = 0;
  const cli::queue_head &head = session_.read().head();
  if (!head.current_track) return stop(false);  // nothing yet: a scan's first entry still starts
  awaiting_first_start_ = false;
  media m = locate(head.current_track->url, base_dir_);
  if (m.problem.empty()) {
    // After a run of skips, the entry that plays is shown once, with the queue.
    if (unplayable_in_a_row_ > 0) session_.report_state(session_.playing("play"));
    engine_.play(m.uri, start_seconds);
    handed_over_ = false;
    files_opened_++;
    state_ = playback::playing;
    finished_ = false;
    return;
  }
  say("cannot play #" + std::to_string(head.current) + " " + cli::describe(*head.current_track) + ": " +
      cli::printable(m.problem) + "; skipping");
  if (state_ != playback::stopped) {
    // What played before is over: it must not go on sounding while the next entries are tried.
    engine_.stop();
    state_ = playback::stopped;
  }
  handed_over_ = false;
  skip_later();
}

void player::skip_later() {
  if (skip_source_ == 0) skip_source_ = g_idle_add(on_skip, this);
}

gboolean player::on_skip(gpointer self) {
  auto *p = static_cast<player *>(self);
  p->skip_source_ = 0;
  if (p->quitting_) return FALSE;
  if (p->skip_unplayable()) p->start_current(0.0);
  if (p->skip_source_ == 0) p->after_change();  // the run is over: what follows, the bus
  p->out_ << std::flush;
  return FALSE;
}

// Moves past an entry that cannot be played; false when playback stops instead.
bool player::skip_unplayable() {
  const cli::queue_head &head = session_.read().head();
  if (unplayable_in_a_row_++ == 0) {
    unplayable_since_ms_ = now();
    unplayable_from_ = head.current;
  }
  if (unplayable_in_a_row_ >= static_cast<int64_t>(head.count)) {
    give_up(true);
    return false;
  }
  if (unplayable_in_a_row_ >= k_give_up_after_failures || now() - unplayable_since_ms_ >= k_give_up_after_ms) {
    give_up(false);
    return false;
  }
  if (session_.queue().next() != pbq::action::play) {
    unplayable_in_a_row_ = 0;
    session_.report_state("stop: the queue is over");
    stop(true);
    return false;
  }
  return true;
}

// One line for the whole run. Playback stops at the entry where the run began, so
// that the place is kept (for the next launch too) rather than moved past
// everything that failed: with the drive back, play goes on from there.
void player::give_up(bool whole_queue) {
  std::string tried = std::to_string(unplayable_in_a_row_);
  say("stop: " + tried + (unplayable_in_a_row_ == 1 ? " entry" : " entries") + " could not be played" +
      (whole_queue ? ": nothing left in the queue can be played" : " in a row: play tries again from #" +
                                                                       std::to_string(unplayable_from_)));
  if (unplayable_from_ >= 0) (void)session_.queue().jump(static_cast<int32_t>(unplayable_from_));
  unplayable_in_a_row_ = 0;
  stop(false);
}

void player::stop(bool queue_over) {
  if (skip_source_ != 0) g_source_remove(skip_source_);
  skip_source_ = 0;
  engine_.stop();
  state_ = playback::stopped;
  handed_over_ = false;
  if (queue_over && scanning()) {
    // The end of what has been found so far: the next entry plays when it comes.
    waiting_for_scan_ = true;
    say("  (the rest is still being read: playing goes on as it comes)");
    return;
  }
  if (queue_over) {
    // The album played to its end: the next launch starts it afresh.
    finished_ = true;
    if (!resume_path_.empty()) unlink(resume_path_.c_str());
  } else {
    save_resume();
  }
}

// After anything that may have changed the queue: what follows the current entry
// (for gapless playback) and the rate.
void player::after_change() {
  cli::state_text &s = session_.read();
  if (!s.ok()) return;
  if (state_ == playback::playing) held_by_bus_ = false;
  if (s.head().rate != applied_rate_) {
    applied_rate_ = s.head().rate;
    engine_.set_rate(applied_rate_);
  }
  std::optional<follow_up> next;
  std::optional<int64_t> index = entry_after_end(s.head());
  if (std::optional<cli::track_info> track = index ? s.entry(*index) : std::nullopt) {
    media m = locate(track->url, base_dir_);
    // A file that cannot be opened is not queued: the end of the stream then
    // comes first, and the skipping says why.
    if (m.problem.empty()) next = follow_up{*index, track->url, m.uri};
  }
  engine_.set_follow_up(std::move(next));
  bus_.refresh();
}

void player::check_wait() {
  if (!waiting_) return;
  // Nothing plays, and nothing is about to (the scan's first entry, or its next).
  bool done = state_ != playback::playing && !awaiting_first_start_ && !waiting_for_scan_ && skip_source_ == 0;
  if (waiting_->read) done = !scanning();
  else if (waiting_->position) done = done || engine_.position() >= *waiting_->position;
  else done = done || ends_seen_ >= waiting_->ends;
  if (!done) return;
  waiting_.reset();
  run_lines();
  tick();
}

gboolean player::on_tick(gpointer self) {
  static_cast<player *>(self)->tick();
  return TRUE;
}

gboolean player::on_signal(gpointer self) {
  static_cast<player *>(self)->quit(k_exit_ok);
  return TRUE;
}

void player::tick() {
  if (quitting_) return;
  show_progress();
  int64_t at = now();
  // The timed sleep runs on the monotonic clock, whatever plays.
  if (session_.poll_sleep_timer(at) == 0) {
    if (state_ == playback::playing) {
      engine_.pause();
      state_ = playback::paused;
      say("the sleep timer ran out: paused at " + seconds_text(engine_.position()) + " s (play resumes)");
    } else {
      say("the sleep timer ran out");
    }
    save_resume();
    after_change();
  }
  if (state_ == playback::playing && at - last_save_ms_ >= k_save_every_ms) {
    save_resume();
    last_save_ms_ = at;
  }
  if (waiting_) return check_wait();
  // A script that has ended with nothing playing any more: nothing can happen now.
  // Paused or stopped from the bus, it waits for the bus instead.
  // So does a scan that has yet to give what plays first, or next.
  if (input_closed_ && lines_.empty() && state_ != playback::playing && !held_by_bus_ && skip_source_ == 0 &&
      !awaiting_first_start_ && !waiting_for_scan_) {
    quit(exit_status_);
  }
}

void player::save_resume() {
  // The saved place stands until the scan has found its track.
  if (resume_path_.empty() || saved_resume_) return;
  double at = state_ == playback::stopped ? 0.0 : engine_.position();
  pbq::result<std::string> doc = session_.queue().export_resume_json(at);
  std::string error = doc ? std::string() : doc.error();
  if (doc && write_atomically(resume_path_, doc.value(), &error)) return;
  if (!resume_error_said_) say("cannot save the resume document: " + error);
  resume_error_said_ = true;
}

void player::quit(int status) {
  if (quitting_) return;
  quitting_ = true;
  exit_status_ = status;
  if (skip_source_ != 0) g_source_remove(skip_source_);
  skip_source_ = 0;
  waiting_.reset();
  lines_.clear();
  g_main_loop_quit(loop_);
}

}  // namespace player
