// pbq-play's input: command lines read from standard input without blocking the
// main loop, the player's own commands, and the rest handed to the session.
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "media.h"
#include "player.h"
#include "text.h"

namespace player {

namespace {

constexpr const char *k_player_help = R"(player commands:
  pause                     pause playback
  play                      resume (or play the current entry again once stopped)
  stop                      stop playback; play starts the current entry from its beginning
  seek SECONDS              jump within the current track (90, 1:30)
  status                    what plays, and where
  until SECONDS             read no more commands until the current track has played SECONDS
  until ended [N]           read no more commands until N more tracks have ended (default 1)
  until read                read no more commands until the folders, playlists and files are read
  help                      this list
  quit                      save where you are and leave (end of input does too, once nothing plays)
)";

}  // namespace

gboolean player::on_input(GIOChannel *, GIOCondition, gpointer self) {
  auto *p = static_cast<player *>(self);
  p->read_input(false);
  p->run_lines();
  if (p->input_closed_) {
    p->input_watch_ = 0;
    p->tick();
    return FALSE;
  }
  return TRUE;
}

// Reads what the input holds now (all of it when `backlog_only`, without waiting)
// and splits it into lines.
void player::read_input(bool backlog_only) {
  char buffer[4096];
  while (true) {
    if (backlog_only) {
      pollfd fd{STDIN_FILENO, POLLIN, 0};
      if (poll(&fd, 1, 0) <= 0) break;
    }
    ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      input_closed_ = true;
      break;
    }
    input_.append(buffer, static_cast<size_t>(n));
    if (!backlog_only) break;
  }
  size_t end;
  while ((end = input_.find('\n')) != std::string::npos) {
    lines_.push_back(input_.substr(0, end));
    input_.erase(0, end + 1);
  }
  if (input_closed_ && !input_.empty()) {
    lines_.push_back(input_);
    input_.clear();
  }
}

void player::run_lines() {
  while (!waiting_ && !lines_.empty() && !quitting_) {
    std::string line = std::move(lines_.front());
    lines_.pop_front();
    run_line(line);
  }
}

void player::run_line(const std::string &raw) {
  std::string_view line = cli::trim(raw);
  if (!interactive_) {
    // A transcript, as pbq prints one.
    if (!line.empty()) out_ << (line.front() == '#' ? "" : "> ") << line << "\n";
  }
  if (line.empty() || line.front() == '#') return;
  // "! COMMAND": COMMAND is meant to fail, as in pbq.
  bool expect_failure = line.front() == '!';
  if (expect_failure) line = cli::trim(line.substr(1));
  int before = failures();
  run_command(line);
  if (expect_failure) {
    if (failures() > before) forgiven_ += failures() - before;
    else fail("expected to fail, but it did not");
  }
  out_ << std::flush;
}

void player::run_command(std::string_view line) {
  size_t space = line.find_first_of(" \t");
  std::string command(line.substr(0, space));
  std::string args(space == std::string_view::npos ? std::string_view() : cli::trim(line.substr(space)));
  if (command == "load" && scan_) {
    // Another list takes the queue's place: what the reading finds would join it.
    scan_.reset();
    saved_resume_.reset();
    awaiting_first_start_ = waiting_for_scan_ = false;
    say("  (the reading of " + cli::printable(tracks_path_) + " stops: another list is loaded)");
  }
  if (!player_command(command, args)) {
    session_.run(line);
    perform_pending();
    after_change();
  }
  bus_.refresh();
}

bool player::bus_command(const std::string &line) {
  say("mpris> " + cli::printable(line));
  int before = failures();
  run_command(line);
  int failed = failures() - before;
  forgiven_ += failed;  // the bus's failures are not the script's
  if (line == "pause" || line == "stop") held_by_bus_ = state_ != playback::playing;
  out_ << std::flush;
  return failed == 0;
}

cli::state_text &player::bus_state() { return session_.read(); }

uint64_t player::bus_state_reads() { return session_.reads(); }

std::string player::bus_uri(const std::string &url) { return locate(url, base_dir_).uri; }

const char *player::bus_status() {
  return state_ == playback::playing ? "Playing" : state_ == playback::paused ? "Paused" : "Stopped";
}

double player::bus_position() { return position(); }

double player::bus_volume() { return engine_.volume(); }

void player::bus_set_volume(double volume) { engine_.set_volume(volume); }

void player::bus_quit() {
  say("mpris> quit");
  quit(k_exit_ok);
}

void player::fail(const std::string &message) {
  own_failures_++;
  say("error: " + message);
}

bool player::player_command(const std::string &command, const std::string &args) {
  if (command == "quit" || command == "exit") {
    quit(k_exit_ok);
  } else if (command == "help") {
    out_ << k_player_help << cli::command_help(true, {"help", "quit"})
         << "lines starting with # are comments; \"! COMMAND\" expects COMMAND to fail\n";
  } else if (command == "pause") {
    if (state_ != playback::playing) return fail("nothing is playing"), true;
    engine_.pause();
    state_ = playback::paused;
    say("paused at " + cli::clock_text(engine_.position()) + " (" + seconds_text(engine_.position()) + " s)");
    save_resume();
  } else if (command == "play" || command == "resume") {
    if (state_ == playback::playing) return say("already playing"), true;
    if (state_ == playback::paused) {
      engine_.resume();
      state_ = playback::playing;
      say(session_.playing("resume"));
    } else {
      say(session_.playing("play"));
      start_current(0.0);
      after_change();
    }
  } else if (command == "stop") {
    if (state_ == playback::stopped) return say("already stopped"), true;
    say("stopped at " + cli::clock_text(engine_.position()) + " (" + seconds_text(engine_.position()) + " s)");
    stop(false);
  } else if (command == "seek") {
    std::optional<int64_t> whole = cli::parse_duration(args);
    std::optional<double> seconds = whole ? std::optional<double>(static_cast<double>(*whole)) : cli::parse_double(args);
    if (!seconds || *seconds < 0) return fail("usage: seek SECONDS"), true;
    if (state_ == playback::stopped || !engine_.seek(*seconds)) return fail("nothing is playing"), true;
    say("seek to " + cli::clock_text(*seconds));
    bus_.seeked(*seconds);
  } else if (command == "status") {
    if (pending_) {
      // Commands waiting at launch run before the first track starts.
      return say(session_.playing("about to play") + " from " + seconds_text(pending_->second) + " s"), true;
    }
    const char *what = state_ == playback::playing ? "playing" : state_ == playback::paused ? "paused" : "stopped";
    say(session_.playing(what) + " at " + cli::clock_text(position()) + " (" + seconds_text(position()) + " s)");
    if (scan_) {
      scan_progress p = scan_->progress();
      say("reading: " + std::to_string(p.read) + " of " + std::to_string(p.found) +
          (p.listed ? " entries ready" : " entries found so far ready"));
    }
  } else if (command == "until") {
    std::vector<std::string_view> words = cli::split_words(args);
    wait_for w;
    if (words.size() == 1 && words[0] == "read") {
      w.read = true;
    } else if (words.size() >= 1 && words[0] == "ended") {
      std::optional<int32_t> n = words.size() == 2 ? cli::parse_int32(words[1]) : std::optional<int32_t>(1);
      if (words.size() > 2 || !n || *n < 1) return fail("usage: until ended [N]"), true;
      w.ends = ends_seen_ + *n;
    } else {
      w.position = words.size() == 1 ? cli::parse_double(words[0]) : std::nullopt;
      if (!w.position) return fail("usage: until SECONDS|ended [N]|read"), true;
    }
    waiting_ = w;
  } else {
    return false;
  }
  return true;
}

}  // namespace player
