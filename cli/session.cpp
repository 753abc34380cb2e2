#include "session.h"

#include <cstdio>
#include <utility>
#include <vector>

#include "text.h"

namespace cli {

namespace {

struct help_row {
  const char *name;
  const char *line;
};

// One row per command, in the order of the help.
constexpr help_row k_help_rows[] = {
    {"next", "next                      skip to the next entry"},
    {"prev", "prev [POSITION]           the previous button, POSITION seconds into the track (default 0)"},
    {"ended", "ended                     the current track played to its end"},
    {"jump", "jump N                    make queue entry N current"},
    {"repeat", "repeat off|all|one|cycle  set or cycle the repeat mode"},
    {"shuffle", "shuffle on|off [SEED]     shuffle the entries after the current one (SEED default 0)"},
    {"playnext", "playnext JSON|@FILE       put a track right after the current entry"},
    {"add", "add JSON|@FILE            put a track at the end of the queue"},
    {"remove", "remove K                  remove up-next entry K"},
    {"move", "move FROM TO              move up-next entry FROM to up-next index TO"},
    {"clear", "clear                     remove every up-next entry"},
    {"rate", "rate R                    playback rate, kept within 0.5..2.0"},
    {"sleep", "sleep off|end|DURATION    sleep timer: off, at the end of the track, or after DURATION"},
    {"tick", "tick SECONDS              move the simulated clock on (same forms as DURATION)"},
    {"state", "state                     print the state document"},
    {"queue", "queue                     list the whole play queue with its indices"},
    {"export", "export POSITION [FILE]    print the resume document for POSITION seconds (and save it)"},
    {"restore", "restore [FILE]            relaunch: a new queue resumed from FILE or the last export"},
    {"load", "load JSON|@FILE [START]   load another track list (START only with @FILE)"},
    {"selftest", "selftest                  run the library's self-test"},
    {"help", "help                      this list"},
    {"quit", "quit                      end the session (end of input does too)"},
};

std::string usage_error(const char *usage) { return std::string("usage: ") + usage; }

}  // namespace

bool session::open(std::string tracks_json, int32_t start_index, std::string *error) {
  if (!queue_.valid()) {
    *error = "out of memory";
    return false;
  }
  pbq::status loaded = queue_.set_tracks(tracks_json, start_index, 0);
  if (!loaded) {
    *error = loaded.error();
    return false;
  }
  tracks_json_ = std::move(tracks_json);
  return true;
}

bool session::run(std::string_view line) {
  stale_ = true;  // any command may change the queue
  line = trim(line);
  if (line.empty() || line.front() == '#') return true;
  if (line.front() == '!') {
    int before = failures_;
    bool go_on = run(line.substr(1));
    if (failures_ > before) {
      failures_ = before;  // failed as expected
    } else if (go_on) {
      fail("expected to fail, but it did not");
    }
    return go_on;
  }
  size_t space = line.find_first_of(" \t");
  std::string_view command = line.substr(0, space);
  std::string_view args = space == std::string_view::npos ? std::string_view() : trim(line.substr(space));
  if (command == "quit" || command == "exit") return false;
  if (!dispatch(command, args)) fail("unknown command \"" + printable(command) + "\" (help lists the commands)");
  return true;
}

bool session::dispatch(std::string_view command, std::string_view args) {
  // Commands without arguments refuse any, so that a typo is not silently ignored.
  auto bare = [&](void (session::*run_it)(), const char *name) {
    if (!args.empty()) return fail(usage_error(name));
    (this->*run_it)();
  };
  if (command == "next") bare(&session::cmd_next, "next");
  else if (command == "prev") cmd_prev(args);
  else if (command == "ended") bare(&session::cmd_ended, "ended");
  else if (command == "jump") cmd_jump(args);
  else if (command == "repeat") cmd_repeat(args);
  else if (command == "shuffle") cmd_shuffle(args);
  else if (command == "playnext") cmd_add(args, true);
  else if (command == "add") cmd_add(args, false);
  else if (command == "remove") cmd_remove(args);
  else if (command == "move") cmd_move(args);
  else if (command == "clear") bare(&session::cmd_clear, "clear");
  else if (command == "rate") cmd_rate(args);
  else if (command == "sleep") cmd_sleep(args);
  else if (command == "tick") cmd_tick(args);
  else if (command == "state") bare(&session::cmd_state, "state");
  else if (command == "queue") bare(&session::cmd_queue, "queue");
  else if (command == "export") cmd_export(args);
  else if (command == "restore") cmd_restore(args);
  else if (command == "load") cmd_load(args);
  else if (command == "selftest") bare(&session::cmd_selftest, "selftest");
  else if (command == "help") cmd_help();
  else return false;
  return true;
}

void session::engine(pbq::action what, double start_seconds) {
  if (hooks_ != nullptr) hooks_->act(what, start_seconds);
}

void session::fail(const std::string &message) {
  failures_++;
  out_ << "error: " << message << "\n";
}

state_text &session::read() {
  if (stale_) {
    // The old document goes first: the new one can then take its memory, still
    // mapped, rather than fresh pages.
    state_ = state_text();
    state_ = state_text::of(queue_.get());
    stale_ = false;
    reads_++;
  }
  return state_;
}

std::string session::playing(const char *verb) {
  const queue_head &head = read().head();
  if (!head.current_track) return "idle: nothing to play";
  return std::string(verb) + " #" + std::to_string(head.current) + " " + describe(*head.current_track);
}

void session::report_state(const std::string &action) {
  out_ << action << "\n";
  state_text &state = read();
  if (!state.ok()) return fail("out of memory");
  if (json_view_) {
    out_ << printable(state.text()) << "\n";
    return;
  }
  out_ << render(state, sleep_left_);
}

std::optional<std::string> session::track_argument(std::string_view args) {
  if (args.empty()) return std::nullopt;
  if (args.front() != '@') return std::string(args);
  std::string error;
  std::optional<std::string> text = read_file(std::string(trim(args.substr(1))), &error);
  if (!text) fail(error);
  return text;
}

void session::cmd_next() {
  if (queue_.next() == pbq::action::play) {
    engine(pbq::action::play);
    return report_state(playing("play"));
  }
  report_state("no next entry: " + playing("keep playing"));
}

void session::cmd_prev(std::string_view args) {
  std::optional<double> position = args.empty() ? (hooks_ != nullptr ? hooks_->position() : 0.0) : parse_double(args);
  if (!position) return fail(usage_error("prev [POSITION in seconds]"));
  pbq::action answer = queue_.previous(*position);
  if (answer != pbq::action::none) engine(answer);
  switch (answer) {
    case pbq::action::play: return report_state(playing("play"));
    case pbq::action::restart: return report_state(playing("restart") + " from 0:00");
    default: return report_state("nothing to go back to: " + playing("keep playing"));
  }
}

void session::cmd_ended() {
  pbq::action answer = queue_.track_ended();
  engine(answer);
  switch (answer) {
    case pbq::action::play: return report_state(playing("play"));
    case pbq::action::restart: return report_state(playing("replay") + " (repeat one)");
    case pbq::action::sleep: return report_state("stop and go to sleep: the end-of-track sleep timer ran out");
    default: return report_state("stop: the queue is over");
  }
}

void session::cmd_jump(std::string_view args) {
  std::optional<int32_t> index = parse_int32(args);
  if (!index) return fail(usage_error("jump N (a queue index)"));
  pbq::status done = queue_.jump(*index);
  if (!done) return fail(done.error());
  engine(pbq::action::play);
  report_state(playing("play"));
}

void session::cmd_repeat(std::string_view args) {
  if (args == "cycle") {
    queue_.cycle_repeat();
  } else {
    pbq::repeat_mode mode;
    if (args == "off") mode = pbq::repeat_mode::off;
    else if (args == "all") mode = pbq::repeat_mode::all;
    else if (args == "one") mode = pbq::repeat_mode::one;
    else return fail(usage_error("repeat off|all|one|cycle"));
    queue_.set_repeat(mode);
  }
  report_state(playing("keep playing"));
}

void session::cmd_shuffle(std::string_view args) {
  std::vector<std::string_view> words = split_words(args);
  const char *usage = "shuffle on|off [SEED]";
  if (words.empty() || words.size() > 2 || (words[0] != "on" && words[0] != "off")) return fail(usage_error(usage));
  uint64_t seed = 0;
  if (words.size() == 2) {
    std::optional<uint64_t> parsed = parse_uint64(words[1]);
    if (!parsed) return fail(usage_error(usage) + " (SEED from 0 to 18446744073709551615)");
    seed = *parsed;
  }
  pbq::status done = queue_.set_shuffle(words[0] == "on", seed);
  if (!done) return fail(done.error());
  report_state(playing("keep playing"));
}

void session::cmd_add(std::string_view args, bool play_next) {
  if (args.empty()) return fail(usage_error(play_next ? "playnext JSON|@FILE" : "add JSON|@FILE"));
  std::optional<std::string> track = track_argument(args);
  if (!track) return;
  pbq::result<pbq::added> r = play_next ? queue_.play_next(*track) : queue_.add_to_queue(*track);
  if (!r) return fail(r.error());
  if (r.value() == pbq::added::started) {
    engine(pbq::action::play);
    return report_state(playing("play"));
  }
  report_state(playing("keep playing"));
}

void session::cmd_remove(std::string_view args) {
  std::optional<int32_t> offset = parse_int32(args);
  if (!offset) return fail(usage_error("remove K (an up-next index)"));
  if (!queue_.remove_up_next(*offset)) {
    return fail("no up-next entry " + std::to_string(*offset) + " (up next holds " +
                std::to_string(read().head().up_next) + ")");
  }
  report_state(playing("keep playing"));
}

void session::cmd_move(std::string_view args) {
  std::vector<std::string_view> words = split_words(args);
  std::optional<int32_t> from = words.size() == 2 ? parse_int32(words[0]) : std::nullopt;
  std::optional<int32_t> to = words.size() == 2 ? parse_int32(words[1]) : std::nullopt;
  if (!from || !to) return fail(usage_error("move FROM TO (up-next indices)"));
  if (!queue_.move_up_next(*from, *to)) {
    return fail("cannot move up-next entry " + std::to_string(*from) + " to " + std::to_string(*to) +
                " (up next holds " + std::to_string(read().head().up_next) + ")");
  }
  report_state(playing("keep playing"));
}

void session::cmd_clear() {
  queue_.clear_up_next();
  report_state(playing("keep playing"));
}

void session::cmd_rate(std::string_view args) {
  std::optional<float> rate = parse_float(args);
  if (!rate) return fail(usage_error("rate R (0.5 to 2.0)"));
  queue_.set_rate(*rate);
  report_state(playing("keep playing"));
}

void session::cmd_sleep(std::string_view args) {
  if (args == "off" || args == "end") {
    queue_.set_sleep_timer(args == "off" ? pbq::sleep_mode::off : pbq::sleep_mode::end_of_track);
    sleep_left_.reset();
    return report_state(playing("keep playing"));
  }
  std::optional<int64_t> duration = parse_duration(args);
  if (!duration) return fail(usage_error("sleep off|end|DURATION (90, 90s, 30m, 1h or m:ss)"));
  // A host's real clock may count finer than seconds; the simulated one counts seconds.
  int64_t per_second = hooks_ != nullptr ? hooks_->clock_rate() : 1;
  int64_t now = hooks_ != nullptr ? hooks_->now() : clock_;
  int64_t span;
  if (__builtin_mul_overflow(*duration, per_second, &span)) return fail("sleep timer refused: too long");
  if (!queue_.set_sleep_timer(pbq::sleep_mode::timer, span, now)) {
    return fail("sleep timer refused: the duration must be above 0");
  }
  // Right after arming, the poll answers the whole duration (the library's clock
  // arithmetic wraps, so even a deadline past the clock's range counts down).
  int64_t left = queue_.check_sleep_timer(now);
  sleep_left_ = left / per_second + (left % per_second != 0 ? 1 : 0);
  report_state(playing("keep playing"));
}

void session::cmd_tick(std::string_view args) {
  std::optional<int64_t> seconds = parse_duration(args);
  if (!seconds) return fail(usage_error("tick SECONDS (90, 90s, 30m, 1h or m:ss)"));
  if (hooks_ != nullptr) return fail("the clock is real here: tick has nothing to move");
  int64_t now;
  if (__builtin_add_overflow(clock_, *seconds, &now)) return fail("the simulated clock cannot move that far");
  clock_ = now;
  int64_t left = queue_.check_sleep_timer(clock_);
  std::string at = "clock " + std::to_string(clock_) + " s: ";
  if (left == 0) {
    sleep_left_.reset();
    return report_state(at + "the sleep timer fired: stop playback and go to sleep");
  }
  if (left > 0) sleep_left_ = left;
  report_state(at + playing("keep playing"));
}

void session::cmd_state() {
  state_text &state = read();
  if (!state.ok()) return fail("out of memory");
  out_ << printable(state.text()) << "\n";
}

void session::cmd_queue() {
  state_text &state = read();
  if (!state.ok()) return fail("out of memory");
  uint64_t count = state.head().count;
  out_ << "play queue: " << count << (count == 1 ? " entry" : " entries") << "\n";
  render_queue(state, out_);
}

void session::cmd_export(std::string_view args) {
  std::vector<std::string_view> words = split_words(args);
  std::optional<double> position = words.size() == 1 || words.size() == 2 ? parse_double(words[0]) : std::nullopt;
  if (!position) return fail(usage_error("export POSITION [FILE]"));
  pbq::result<std::string> doc = queue_.export_resume_json(*position);
  if (!doc) return fail(doc.error());
  last_resume_ = doc.value();
  out_ << "resume document: " << printable(last_resume_) << "\n";
  if (words.size() == 2) {
    std::string error;
    if (!write_file(std::string(words[1]), last_resume_, &error)) return fail(error);
    out_ << "saved to " << words[1] << "\n";
  }
}

void session::cmd_restore(std::string_view args) {
  std::string resume = last_resume_;
  if (!args.empty()) {
    std::string error;
    std::optional<std::string> text = read_file(std::string(args), &error);
    if (!text) return fail(error);
    resume = std::move(*text);
  } else if (resume.empty()) {
    return fail("nothing exported yet: export first, or give a file");
  }
  // A relaunch: a new queue, the stored document and the same track list as before.
  pbq::queue relaunched;
  if (!relaunched) return fail("out of memory");
  pbq::result<pbq::resumed> r = relaunched.restore_resume_json(resume, tracks_json_);
  if (!r) return fail(r.error());
  queue_ = std::move(relaunched);
  sleep_left_.reset();
  if (r.value().found) {
    engine(pbq::action::play, r.value().position);
    char seconds[64];
    std::snprintf(seconds, sizeof seconds, " (%.17g s)", r.value().position);
    return report_state("relaunched: " + playing("play") + " from " + clock_text(r.value().position) + seconds);
  }
  pbq::status loaded = queue_.set_tracks(tracks_json_, 0, 0);
  if (!loaded) return fail(loaded.error());
  engine(pbq::action::play);
  report_state("relaunched, nothing to resume: " + playing("play"));
}

void session::cmd_load(std::string_view args) {
  if (args.empty()) return fail(usage_error("load JSON|@FILE [START]"));
  std::string tracks;
  int32_t start = 0;
  if (args.front() == '@') {
    std::vector<std::string_view> words = split_words(args.substr(1));
    std::optional<int32_t> parsed = words.size() == 2 ? parse_int32(words[1]) : std::optional<int32_t>(0);
    if (words.empty() || words.size() > 2 || !parsed) return fail(usage_error("load @FILE [START]"));
    std::string error;
    std::optional<std::string> text = read_file(std::string(words[0]), &error);
    if (!text) return fail(error);
    tracks = std::move(*text);
    start = *parsed;
  } else {
    tracks = std::string(args);
  }
  pbq::status loaded = queue_.set_tracks(tracks, start, 0);
  if (!loaded) return fail(loaded.error());
  tracks_json_ = std::move(tracks);
  engine(pbq::action::play);
  report_state(playing("play"));
}

void session::cmd_selftest() {
  int32_t failed = pbq::selftest();
  if (failed == PBQ_SELFTEST_PASSED) {
    out_ << "self-test passed\n";
    return;
  }
  std::string step = std::to_string(failed);
  // Only these two steps leave a reason in the error text.
  if (failed == PBQ_SELFTEST_NO_HANDLE || failed == PBQ_SELFTEST_LOAD) step += std::string(": ") + pbq_last_error();
  fail("self-test failed at step " + step);
}

std::string command_help(bool real_clock, const std::vector<std::string_view> &leave_out) {
  std::string out = "commands (indices count from 0; up-next index k is the k-th entry after the current one):\n";
  for (const help_row &row : k_help_rows) {
    std::string_view name = row.name;
    if (real_clock && name == "tick") continue;  // the clock is the host's
    bool left_out = false;
    for (std::string_view other : leave_out) left_out = left_out || other == name;
    if (left_out) continue;
    out.append("  ").append(row.line).append("\n");
    if (name == "sleep") {
      out.append(real_clock ? "                            (90, 90s, 30m, 1h or m:ss)\n"
                            : "                            (90, 90s, 30m, 1h or m:ss on the simulated clock)\n");
    }
  }
  return out;
}

void session::cmd_help() {
  out_ << command_help(hooks_ != nullptr, {})
       << "lines starting with # are comments; \"! COMMAND\" expects COMMAND to fail\n";
}

}  // namespace cli
