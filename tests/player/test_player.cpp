// pbq-play run as a user runs it, headless (the silent output runs on the clock
// like a sound card), on an album of short test tones that the test makes. Time
// is driven through the player's own position and track ends (`until`), never
// through sleeps of the test.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#ifndef PBQ_PLAY
#error "PBQ_PLAY must name the built pbq-play"
#endif
#ifndef PBQ_MAKE_ALBUM
#error "PBQ_MAKE_ALBUM must name the built pbq-make-album"
#endif

namespace {

struct run_result {
  int status = -1;  // exit status; 128 + n when killed by signal n
  std::string output;
};

std::string shell_quoted(const std::string &text) { return "'" + text + "'"; }

std::string read_text(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Each of `lines` occurs in `output`, in this order.
testing::AssertionResult in_order(const std::string &output, const std::vector<std::string> &lines) {
  size_t at = 0;
  for (const std::string &line : lines) {
    size_t found = output.find(line, at);
    if (found == std::string::npos) {
      return testing::AssertionFailure() << "missing (in order): " << line << "\n--- output ---\n" << output;
    }
    at = found + line.size();
  }
  return testing::AssertionSuccess();
}

class Player : public testing::Test {
 protected:
  // The albums of every test, tones 01.wav, 02.wav, ...: three of half a second;
  // three of two seconds for the commands given at a place in a track, so that a
  // busy machine cannot push them past its end; two of three and a half seconds,
  // long enough for the previous button to restart a track.
  static void SetUpTestSuite() {
    std::string pattern = testing::TempDir() + "pbq_play_XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    album_dir_ = new std::string(pattern);
    std::string make = shell_quoted(PBQ_MAKE_ALBUM) + " " + shell_quoted(*album_dir_);
    ASSERT_EQ(std::system((make + " 3 0.5 >/dev/null").c_str()), 0);
    ASSERT_EQ(std::system((make + "/long 3 2 >/dev/null").c_str()), 0);
    ASSERT_EQ(std::system((make + "/slow 2 3.5 >/dev/null").c_str()), 0);
  }
  static void TearDownTestSuite() {
    std::system(("rm -rf " + shell_quoted(*album_dir_)).c_str());
    delete album_dir_;
  }

  void SetUp() override {
    std::string pattern = testing::TempDir() + "pbq_play_state_XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    state_dir_ = pattern;
  }
  void TearDown() override { std::system(("rm -rf " + shell_quoted(state_dir_)).c_str()); }

  std::string album() const { return *album_dir_ + "/album.json"; }
  std::string long_album() const { return *album_dir_ + "/long/album.json"; }

  std::string file(const std::string &name, const std::string &content) {
    std::string path = state_dir_ + "/" + name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }

  // Runs pbq-play with `args`, `script` on standard input, its own state folder,
  // both output streams captured. A run that hangs is ended after a minute.
  run_result run(const std::string &args, const std::string &script, const std::string &env = "") {
    return run_fed(args, "cat " + shell_quoted(file("script.txt", script)), env);
  }

  // The same with standard input from the shell command `feed`: typing, in time.
  run_result run_fed(const std::string &args, const std::string &feed, const std::string &env = "") {
    // Off the session bus (an address that cannot be reached): the MPRIS test has a bus of its own.
    std::string command = "(" + feed + ") | XDG_STATE_HOME=" + shell_quoted(state_dir_) +
                          " DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent " + env + " timeout -s KILL 60 " +
                          shell_quoted(PBQ_PLAY) + " " + args + " 2>&1";
    run_result r;
    FILE *pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return r;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) r.output.append(buffer, n);
    int raw = pclose(pipe);
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    return r;
  }

  // The resume documents the player left in its state folder.
  std::vector<std::string> resume_files() {
    std::vector<std::string> names;
    FILE *pipe = popen(("ls -A " + shell_quoted(state_dir_ + "/pbq") + " 2>/dev/null").c_str(), "r");
    char line[512];
    while (pipe != nullptr && fgets(line, sizeof line, pipe) != nullptr) {
      std::string name(line);
      if (!name.empty() && name.back() == '\n') name.pop_back();
      names.push_back(name);
    }
    if (pipe != nullptr) pclose(pipe);
    return names;
  }

  static std::string *album_dir_;
  std::string state_dir_;
};

std::string *Player::album_dir_ = nullptr;

// What the queue says, heard through a real engine: the order of tracks and the
// way playback stops, for each mode a user sets while it plays.
struct scripted_case {
  const char *name;
  const char *album;  // "" for the half-second tones, "long/" or "slow/"
  std::string script;
  std::vector<std::string> expected;  // in this order
  std::vector<std::string> absent;
};

TEST_F(Player, PlaysAsTheQueueSays) {
  const scripted_case cases[] = {
      {"plays through in order, each track handed over without a gap", "",
       "",
       {"play #0 Tone 1", "play #1 Tone 2", "(no gap: #1 was queued before the end)", "play #2 Tone 3",
        "(no gap: #2 was queued before the end)", "stop: the queue is over"},
       {"cannot play", "switching"}},
      {"at twice the rate, pitch kept, each track handed over without a gap", "",
       "rate 2\n",
       {"rate 2.00x", "play #1 Tone 2", "(no gap: #1 was queued before the end)", "play #2 Tone 3",
        "(no gap: #2 was queued before the end)", "stop: the queue is over"},
       {"cannot play", "switching"}},
      {"repeat one replays the same track", "",
       "repeat one\nuntil ended 2\nquit\n",
       {"replay #0 Tone 1", "(no gap: #0 was queued", "replay #0 Tone 1", "> quit"},
       {"play #1", "switching"}},
      {"repeat all wraps to the first track", "",
       "repeat all\nuntil ended 3\nquit\n",
       {"play #1 Tone 2", "play #2 Tone 3", "play #0 Tone 1", "(no gap: #0 was queued before the end)", "> quit"},
       {"switching", "the queue is over"}},
      {"the end-of-track sleep stops after the current track", "",
       "sleep end\n",
       {"stop and go to sleep: the end-of-track sleep timer ran out"},
       {"play #1", "(no gap"}},
      {"the end-of-track sleep wins over repeat one", "",
       "repeat one\nsleep end\n",
       {"stop and go to sleep"},
       {"replay", "(no gap"}},
      {"a timed sleep pauses playback, whatever the queue holds", "",
       "repeat all\nsleep 1\n",
       {"sleep in 0:01", "the sleep timer ran out: paused at"},
       {"the queue is over"}},
      {"a shuffled queue plays in its own order, handed over without a gap", "",
       "shuffle on 5\nuntil ended 2\nquit\n",
       {"shuffle on", "(no gap: #1 was queued before the end)", "(no gap: #2 was queued before the end)"},
       {"switching"}},
      {"next while playing moves on at once", "long/",
       "until 0.1\nnext\nuntil ended\nquit\n",
       {"> next", "play #1 Tone 2", "play #2 Tone 3"},
       {"cannot play"}},
      {"previous early in a track plays the entry before", "long/",
       "jump 1\nuntil 0.2\nprev\nuntil ended\nquit\n",
       {"> prev", "play #0 Tone 1", "play #1 Tone 2"},
       {"restart"}},
      {"removing the next entry while playing: it never plays", "long/",
       "until 0.2\nremove 0\nuntil ended\nquit\n",
       {"> remove 0", "play #1 Tone 3"},
       {"play #1 Tone 2"}},
      {"moving and clearing up next while playing", "long/",
       "until 0.2\nmove 1 0\nuntil ended\nclear\nuntil ended\nquit\n",
       {"> move 1 0", "play #1 Tone 3", "> clear", "stop: the queue is over"},
       {"play #2"}},
      {"previous after three seconds restarts the track", "slow/",
       "jump 1\nuntil 3.2\nprev\nstatus\nquit\n",
       {"> prev", "restart #1 Tone 2", "playing #1 Tone 2"},
       {"> prev\nplay #0"}},
      {"jump while playing plays the chosen entry", "long/",
       "until 0.1\njump 2\nuntil ended\nquit\n",
       {"> jump 2", "play #2 Tone 3", "stop: the queue is over"},
       {"play #1"}},
  };
  for (const scripted_case &c : cases) {
    SCOPED_TRACE(c.name);
    run_result r = run("--sink fake --fresh " + shell_quoted(*album_dir_ + "/" + c.album + "album.json"), c.script);
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_TRUE(in_order(r.output, c.expected));
    for (const std::string &text : c.absent) {
      EXPECT_EQ(r.output.find(text), std::string::npos) << "unexpected: " << text << "\n" << r.output;
    }
  }
}

// Half speed holds from track to track: three tracks of half a second take about
// three seconds (1.5 at the normal rate, 2 if only the first track were slowed).
// Only a lower bound: a busy machine can make the run longer, never shorter.
TEST_F(Player, TheRateHoldsFromTrackToTrack) {
  auto start = std::chrono::steady_clock::now();
  run_result r = run("--sink fake --fresh " + shell_quoted(album()), "rate 0.5\n");
  auto elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(in_order(r.output, {"rate 0.50x", "play #1", "(no gap", "play #2", "(no gap", "stop: the queue is over"}));
  EXPECT_GE(elapsed, 2.6) << r.output;
}

// A queue edit after the engine already took the next file: at the end the
// player hears what the queue really says and plays that instead.
TEST_F(Player, AnEditAfterTheHandOverIsHonoured) {
  std::string extra = "{\"streamURL\":\"03.wav\",\"title\":\"Added\"}";
  run_result r = run("--sink fake --fresh " + shell_quoted(long_album()), "until 0.2\nplaynext " + extra + "\nuntil ended\nquit\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(in_order(r.output, {"> playnext", "play #1 Added"})) << r.output;
  // Either the edit came before the hand-over (no gap) or after it (switching);
  // never the track that the edit displaced.
  EXPECT_EQ(r.output.find("play #1 Tone 2"), std::string::npos) << r.output;
}

TEST_F(Player, ResumesWhereItWasQuit) {
  run_result first = run("--sink fake --start 1 " + shell_quoted(long_album()), "until 0.25\nquit\n");
  ASSERT_EQ(first.status, 0) << first.output;
  std::vector<std::string> files = resume_files();
  ASSERT_EQ(files.size(), 1u) << "only the document, no temporary file left";
  std::string saved = read_text(state_dir_ + "/pbq/" + files[0]);
  EXPECT_NE(saved.find("\"lastTrackURL\":\"02.wav\""), std::string::npos) << saved;
  size_t at = saved.find("\"lastTrackTime\":");
  ASSERT_NE(at, std::string::npos);
  double position = std::strtod(saved.c_str() + at + 16, nullptr);
  EXPECT_GE(position, 0.25);
  EXPECT_LT(position, 2.0);

  // The relaunch with the same list: the same track, from the same place.
  char expected[64];
  std::snprintf(expected, sizeof expected, "(%.3f s)", position);
  run_result second = run("--sink fake " + shell_quoted(long_album()), "until ended\nquit\n");
  EXPECT_EQ(second.status, 0);
  EXPECT_TRUE(in_order(second.output, {"resume #1 Tone 2", expected, "play #2 Tone 3"}));
  EXPECT_EQ(second.output.find("play #0"), std::string::npos) << second.output;

  // Played to the end, the album starts afresh next time.
  run_result third = run("--sink fake " + shell_quoted(long_album()), "");
  EXPECT_TRUE(in_order(third.output, {"resume #2 Tone 3", "stop: the queue is over"}));
  EXPECT_TRUE(resume_files().empty());
  run_result fourth = run("--sink fake " + shell_quoted(long_album()), "quit\n");
  EXPECT_TRUE(in_order(fourth.output, {"play #0 Tone 1"}));
}

TEST_F(Player, SkipsWhatCannotBePlayed) {
  std::string noise = file("noise.wav", "this is not audio\n");
  std::string list = "[{\"streamURL\":\"" + *album_dir_ + "/01.wav\",\"title\":\"First\"},"
                     "{\"streamURL\":\"missing.wav\",\"title\":\"Missing\"},"
                     "{\"streamURL\":\"" + noise + "\",\"title\":\"Noise\"},"
                     "{\"streamURL\":\"file://" + *album_dir_ + "/03.wav\",\"title\":\"Last\"}]";
  run_result r = run("--sink fake --fresh " + shell_quoted(file("list.json", list)), "");
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(in_order(r.output, {"play #0 First", "cannot play #1 Missing", "file not found", "skipping",
                                  "play #2 Noise", "cannot play #2 Noise", "skipping", "play #3 Last",
                                  "stop: the queue is over"}));
  EXPECT_EQ(r.output.find("cannot play #3"), std::string::npos) << r.output;

  // Handed over without a gap, an unplayable file is opened afresh once (a hand-over
  // can fail where a fresh start works), then skipped like any other.
  std::string handed = "[{\"streamURL\":\"" + *album_dir_ + "/01.wav\",\"title\":\"First\"},"
                       "{\"streamURL\":\"" + noise + "\",\"title\":\"Noise\"},"
                       "{\"streamURL\":\"" + *album_dir_ + "/03.wav\",\"title\":\"Last\"}]";
  run_result h = run("--sink fake --fresh " + shell_quoted(file("handed.json", handed)), "");
  EXPECT_EQ(h.status, 0);
  EXPECT_TRUE(in_order(h.output, {"play #1 Noise", "(no gap: #1 was queued before the end)",
                                  "(#1 did not follow without a gap: ", "; opening it afresh)",
                                  "cannot play #1 Noise", "skipping", "play #2 Last", "stop: the queue is over"}));
  EXPECT_EQ(h.output.find("opening it afresh"), h.output.rfind("opening it afresh")) << h.output;

  // Nothing playable at all, even under repeat all: it stops instead of going round.
  run_result none = run("--sink fake --fresh " + shell_quoted(file("none.json", "[{\"streamURL\":\"a.wav\"},{\"streamURL\":\"b.wav\"}]")),
                        "repeat all\n");
  EXPECT_EQ(none.status, 0);
  EXPECT_TRUE(in_order(none.output, {"cannot play #0", "cannot play #1", "nothing left in the queue can be played"}));
}

TEST_F(Player, RefusesWhatItCannotUse) {
  struct refusal {
    const char *name;
    std::string args;
    std::string env;
    int status;
    std::string message;
  };
  const refusal cases[] = {
      {"a track list that does not parse", "--sink fake " + shell_quoted(file("bad.json", "[{\"streamURL\": ")), "", 2,
       "is not a track list: invalid tracks json"},
      {"a track list with no track", "--sink fake " + shell_quoted(file("empty.json", "[1, {}]")), "", 2,
       "holds no track"},
      {"a track list that is not there", "--sink fake " + shell_quoted(state_dir_ + "/nothing.json"), "", 2, "nothing.json"},
      {"an output GStreamer does not have", "--sink nosuchoutput " + shell_quoted(album()), "", 4,
       "no audio output named \"nosuchoutput\""},
      // An ALSA with no device configured, whatever the machine has.
      {"no audio device", "--sink alsa --fresh " + shell_quoted(album()),
       "ALSA_CONFIG_PATH=" + shell_quoted(file("alsa.conf", "")), 4, "--sink fake plays in silence"},
      {"nothing named to play", "--sink fake", "", 1, "Usage: pbq-play"},
  };
  for (const refusal &c : cases) {
    SCOPED_TRACE(c.name);
    run_result r = run(c.args, "", c.env);
    EXPECT_EQ(r.status, c.status) << r.output;
    EXPECT_NE(r.output.find(c.message), std::string::npos) << r.output;
  }
}

// As pbq: a script in which a command failed ends with 3, whether the queue or
// the player refused it; a command meant to fail ("! ...") does not count.
TEST_F(Player, ExitStatusSaysWhetherACommandFailed) {
  const struct {
    const char *script;
    int status;
  } cases[] = {
      {"frobnicate\nquit\n", 3},
      {"jump 99\nquit\n", 3},
      {"rate abc\nquit\n", 3},
      {"seek -1\nquit\n", 3},
      {"until soon\nquit\n", 3},
      {"! jump 99\n! seek -1\nquit\n", 0},
      {"! next\nquit\n", 3},  // expected to fail, but it did not
      {"next\nstatus\nquit\n", 0},
      {"jump 99\n", 3},  // and when the input ends with the album
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.script);
    run_result r = run("--sink fake --fresh " + shell_quoted(album()), c.script);
    EXPECT_EQ(r.status, c.status) << r.output;
  }
}

// The in-player help: every command the player takes, each once, and nothing of
// the command-line host's simulated clock.
TEST_F(Player, HelpListsWhatThePlayerTakesOnce) {
  run_result r = run("--sink fake --fresh " + shell_quoted(album()), "help\nquit\n");
  EXPECT_EQ(r.status, 0);
  const char *commands[] = {"pause", "play", "stop", "seek SECONDS", "status", "until SECONDS", "until ended", "until read",
                            "help", "quit", "next", "prev", "jump N", "repeat", "shuffle", "playnext", "add",
                            "remove", "move", "clear", "rate R", "sleep", "state", "queue", "export", "restore",
                            "load", "selftest"};
  size_t from = r.output.find("player commands:");
  size_t to = r.output.find("lines starting with #");
  ASSERT_TRUE(from != std::string::npos && to != std::string::npos) << r.output;
  std::string help = r.output.substr(from, to - from);
  for (const char *command : commands) {
    std::string line = std::string("\n  ") + command + " ";
    size_t first = help.find(line);
    EXPECT_NE(first, std::string::npos) << "not listed: " << command << "\n" << help;
    EXPECT_EQ(help.find(line, first + 1), std::string::npos) << "listed twice: " << command;
  }
  EXPECT_EQ(help.find("tick"), std::string::npos) << help;
  EXPECT_EQ(help.find("simulated"), std::string::npos) << help;
}

// The resume document is saved every few seconds while playing, so that a crash
// loses little: it is there, mid-album, before anything paused or quit.
TEST_F(Player, SavesThePlaceWhilePlaying) {
  std::string in = file("script.txt", "until ended\nuntil 2\nstatus\nuntil ended\nquit\n");
  std::string command = "XDG_STATE_HOME=" + shell_quoted(state_dir_) + " DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent" +
                        " timeout -s KILL 60 " + shell_quoted(PBQ_PLAY) +
                        " --sink fake --fresh " + shell_quoted(*album_dir_ + "/slow/album.json") + " < " +
                        shell_quoted(in) + " 2>&1";
  FILE *pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output, saved;
  char line[4096];
  while (fgets(line, sizeof line, pipe) != nullptr) {
    output += line;
    // 5.5 s played (3.5 of the first track, 2 of the second): the first periodic
    // save is behind, nothing paused or quit; the second track has 1.5 s to go.
    if (saved.empty() && std::string(line).rfind("playing #1", 0) == 0) {
      std::vector<std::string> files = resume_files();
      saved = files.size() == 1 ? read_text(state_dir_ + "/pbq/" + files[0]) : "(" + std::to_string(files.size()) + " files)";
    }
  }
  pclose(pipe);
  // Which track it names depends on how soon playback started (the save comes 5 s
  // after the launch); that it is there at all is the periodic save.
  EXPECT_NE(saved.find("\"lastTrackURL\":\"0"), std::string::npos) << saved << "\n" << output;
}

// pbq-make-album asked for help, or given what it cannot use, explains itself and
// writes nothing.
TEST_F(Player, MakeAlbumRefusesBadArgumentsWithoutWriting) {
  const struct {
    const char *args;
    int status;
  } cases[] = {{"--help", 0}, {"-h", 0}, {"--bogus out", 1}, {"out 0", 1}, {"out 3 abc", 1}, {"out 3 2 extra", 1}, {"", 1}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.args);
    std::string command = "cd " + shell_quoted(state_dir_) + " && " + shell_quoted(PBQ_MAKE_ALBUM) + " " + c.args + " 2>&1";
    FILE *pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[512];
    while (fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
    int raw = pclose(pipe);
    EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, c.status) << output;
    EXPECT_NE(output.find("usage: pbq-make-album"), std::string::npos) << output;
    FILE *ls = popen(("ls -A " + shell_quoted(state_dir_)).c_str(), "r");
    std::string made;
    while (ls != nullptr && fgets(buffer, sizeof buffer, ls) != nullptr) made += buffer;
    if (ls != nullptr) pclose(ls);
    EXPECT_EQ(made, "") << "written: " << made;
  }
}

// A listener's folder and playlist: a folder's audio files in natural order, down
// into its subfolders, titles and artists from the tags (the file name when there
// is none); a playlist's entries relative to it, its #EXTINF titles. What cannot
// be played is skipped with a message; a title's control characters are shown
// escaped.
TEST_F(Player, PlaysAFolderAndAPlaylist) {
  std::string make = shell_quoted(PBQ_MAKE_ALBUM) + " --flac " + shell_quoted(state_dir_ + "/Library") + " 2 0.5 >/dev/null";
  ASSERT_EQ(std::system(make.c_str()), 0);
  std::string setup = "cd " + shell_quoted(state_dir_) + " && mkdir 'Library/Disc 2' && cp " +
                      shell_quoted(*album_dir_ + "/01.wav") + " 'Library/Disc 2/10 Last.wav' && cp " +
                      shell_quoted(*album_dir_ + "/02.wav") + " 'Library/Disc 2/9 Nine.wav' && " +
                      "echo junk > Library/broken.mp3 && echo x > Library/cover.jpg";
  ASSERT_EQ(std::system(setup.c_str()), 0);

  run_result folder = run("--sink fake --fresh " + shell_quoted(state_dir_ + "/Library"), "");
  EXPECT_EQ(folder.status, 0) << folder.output;
  // Read in the background: what is left out is said as the scan comes to it.
  EXPECT_TRUE(in_order(folder.output, {"skipped", "broken.mp3", "read 4 entries"}));
  EXPECT_TRUE(in_order(folder.output, {"play #0 Tone 1 (440 Hz) - pbq test signal",
                                       "play #1 Tone 2 (494 Hz) - pbq test signal", "play #2 9 Nine.wav",
                                       "play #3 10 Last.wav", "stop: the queue is over"}));
  EXPECT_EQ(folder.output.find("cover"), std::string::npos) << folder.output;
  EXPECT_EQ(folder.output.find("cannot play"), std::string::npos) << folder.output;

  std::string list = file("list.m3u", "#EXTM3U\n#EXTINF:1,Opening \x1b[31mRed\nLibrary/Disc 2/9 Nine.wav\n"
                                      "nowhere.wav\nLibrary/01.flac\n");
  run_result playlist = run("--sink fake --fresh " + shell_quoted(list), "");
  EXPECT_EQ(playlist.status, 0) << playlist.output;
  EXPECT_TRUE(in_order(playlist.output, {"skipped", "nowhere.wav", "file not found", "play #0 Opening \\u001b[31mRed (0:01)",
                                         "play #1 Tone 1 (440 Hz) - pbq test signal", "stop: the queue is over"}));
  EXPECT_EQ(playlist.output.find('\x1b'), std::string::npos) << "a control character reached the terminal";
}

// A folder is read in the background: the first file plays while the rest is
// still being read, and quitting then stops the reading too.
TEST_F(Player, PlaysAFolderWhileReadingIt) {
  std::string make = shell_quoted(PBQ_MAKE_ALBUM) + " --folder " + shell_quoted(state_dir_ + "/Big") + " 2000 >/dev/null";
  ASSERT_EQ(std::system(make.c_str()), 0);
  run_result r = run("--sink fake --fresh " + shell_quoted(state_dir_ + "/Big"), "until ended\nquit\n");
  EXPECT_EQ(r.status, 0) << r.output;
  // The second file may not be read yet when the first tiny tone ends (a busy
  // machine), so only the first sound is asked for, and that it came before the
  // end of the reading, if the reading ended at all before quit.
  EXPECT_TRUE(in_order(r.output, {"reading ", "play #0 00001.wav", "> quit"})) << r.output;
  size_t whole = r.output.find("read 2000 entries");
  if (whole != std::string::npos) {
    EXPECT_LT(r.output.find("play #0 00001.wav"), whole) << "the whole folder was read first\n" << r.output;
  }
}

// While a folder is still being read: a resumed run waits for its saved track
// and plays it from its place; shuffle gives each arriving entry a random place
// among those still to play.
TEST_F(Player, ResumesAndShufflesWhileReading) {
  std::string make = shell_quoted(PBQ_MAKE_ALBUM) + " --folder ";
  ASSERT_EQ(std::system((make + shell_quoted(state_dir_ + "/Long") + " 3 2 >/dev/null").c_str()), 0);
  std::string folder = shell_quoted(state_dir_ + "/Long");
  run_result first = run("--sink fake --start 1 " + folder, "until read\nuntil 0.25\nquit\n");
  ASSERT_EQ(first.status, 0) << first.output;
  EXPECT_TRUE(in_order(first.output, {"play #1 00002.wav", "> quit"}));
  run_result second = run("--sink fake " + folder, "until read\nstatus\nquit\n");
  EXPECT_EQ(second.status, 0) << second.output;
  EXPECT_TRUE(in_order(second.output, {"resume #1 00002.wav", "playing #1 00002.wav"})) << second.output;
  EXPECT_EQ(second.output.find("play #0"), std::string::npos) << second.output;

  ASSERT_EQ(std::system((make + shell_quoted(state_dir_ + "/Many") + " 40 >/dev/null").c_str()), 0);
  run_result shuffled = run("--sink fake --fresh " + shell_quoted(state_dir_ + "/Many"), "shuffle on 5\nuntil read\nqueue\nquit\n");
  EXPECT_EQ(shuffled.status, 0) << shuffled.output;
  size_t at = shuffled.output.find("> queue");
  ASSERT_NE(at, std::string::npos) << shuffled.output;
  std::vector<std::string> names;
  for (size_t name = shuffled.output.find(".wav", at); name != std::string::npos; name = shuffled.output.find(".wav", name + 1)) {
    names.push_back(shuffled.output.substr(name - 5, 5));
  }
  ASSERT_EQ(names.size(), 40u) << shuffled.output.substr(at);
  std::vector<std::string> sorted = names;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_NE(names, sorted) << "arrived in listing order under shuffle";
  EXPECT_EQ(std::unique(sorted.begin(), sorted.end()) - sorted.begin(), 40) << "each file once";
}

// Links inside a folder: each directory is walked once whatever leads to it, and
// never one that holds the folder (the root, or a parent): the walk stays small.
TEST_F(Player, WalksEachFolderOnceWhateverLinksSay) {
  std::string make = shell_quoted(PBQ_MAKE_ALBUM) + " --folder ";
  ASSERT_EQ(std::system((make + shell_quoted(state_dir_ + "/Music") + " 2 >/dev/null").c_str()), 0);
  ASSERT_EQ(std::system((make + shell_quoted(state_dir_ + "/Elsewhere") + " 1 >/dev/null").c_str()), 0);
  std::string setup = "cd " + shell_quoted(state_dir_ + "/Music") +
                      " && ln -s . loop && ln -s / root && mkdir sub && ln -s ../.. sub/up"
                      " && ln -s ../Elsewhere more && ln -s ../Elsewhere same";
  ASSERT_EQ(std::system(setup.c_str()), 0);
  run_result r = run("--sink fake --fresh " + shell_quoted(state_dir_ + "/Music"), "");
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_TRUE(in_order(r.output, {"skipped", "/Music/loop: a folder already played from another path"}));
  EXPECT_TRUE(in_order(r.output, {"skipped", "/Music/root: a link to a folder that holds this one"}));
  EXPECT_TRUE(in_order(r.output, {"skipped", "/Music/same: a folder already played from another path"}));
  EXPECT_TRUE(in_order(r.output, {"skipped", "/Music/sub/up: a link to a folder that holds this one"}));
  // The two files, then the linked folder's one, once.
  EXPECT_TRUE(in_order(r.output, {"read 3 entries", "stop: the queue is over"}));
  EXPECT_TRUE(in_order(r.output, {"play #0 00001.wav", "play #1 00002.wav", "play #2 00001.wav", "stop: the queue is over"}));
  EXPECT_EQ(r.output.find("play #3"), std::string::npos) << r.output;
}

// A list whose files are all gone (a drive that is not mounted): one line for
// each entry skipped, never the queue view, and a stop with one summary line
// after a bounded run, whatever the list's length; `quit` is read meanwhile.
TEST_F(Player, GivesUpOnAListWhoseFilesAreAllMissing) {
  std::string list = "[";
  for (int i = 0; i < 20000; i++) {
    list += std::string(i == 0 ? "" : ",") + "{\"streamURL\":\"/nonexistent/music/" + std::to_string(i) + ".flac\",\"title\":\"Gone " +
            std::to_string(i) + "\"}";
  }
  std::string path = file("gone.json", list + "]");
  run_result r = run("--sink fake --fresh " + shell_quoted(path), "");
  EXPECT_EQ(r.status, 0) << r.output.substr(0, 4000);
  size_t skips = 0, views = 0;
  for (size_t at = r.output.find("cannot play #"); at != std::string::npos; at = r.output.find("cannot play #", at + 1)) skips++;
  for (size_t at = r.output.find("\n  queue "); at != std::string::npos; at = r.output.find("\n  queue ", at + 1)) views++;
  // A hundred tries, or fewer when the run's time ran out first (a slow build).
  size_t summary = r.output.find("stop: ");
  ASSERT_NE(summary, std::string::npos) << r.output.substr(0, 4000);
  size_t tried = std::strtoul(r.output.c_str() + summary + 6, nullptr, 10);
  EXPECT_EQ(skips, tried) << "one line for each entry tried";
  EXPECT_GE(tried, 1u);
  EXPECT_LE(tried, 100u);
  EXPECT_EQ(views, 1u) << "the view once, at the start, never for a skip";
  EXPECT_TRUE(in_order(r.output, {"cannot play #0 Gone 0", "file not found",
                                  "entries could not be played in a row: play tries again from #0"}));
  EXPECT_EQ(r.output.find("cannot play #100 "), std::string::npos);

  // `quit` typed as the first skip is told: obeyed there and then, with no
  // further entry tried (if the run was not already over by then).
  std::string fifo = state_dir_ + "/typing";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::string command = "XDG_STATE_HOME=" + shell_quoted(state_dir_) + " DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent" +
                        " timeout -s KILL 60 " + shell_quoted(PBQ_PLAY) + " --sink fake --fresh " + shell_quoted(path) +
                        " < " + shell_quoted(fifo) + " 2>&1";
  FILE *pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  FILE *typing = fopen(fifo.c_str(), "w");
  ASSERT_NE(typing, nullptr);
  std::string output;
  char line[4096];
  while (fgets(line, sizeof line, pipe) != nullptr) {
    output += line;
    if (typing != nullptr && std::string(line).rfind("cannot play #", 0) == 0) {
      fputs("quit\n", typing);
      fclose(typing);
      typing = nullptr;
    }
  }
  if (typing != nullptr) fclose(typing);
  EXPECT_EQ(pclose(pipe), 0) << output.substr(0, 4000);
  size_t quit_at = output.find("> quit");
  ASSERT_NE(quit_at, std::string::npos) << output.substr(0, 4000);
  EXPECT_EQ(output.find("cannot play #", quit_at), std::string::npos) << output.substr(quit_at, 2000);

  // A short list tried to its end, even under repeat all.
  run_result few = run("--sink fake --fresh " + shell_quoted(file("few.json", "[{\"streamURL\":\"a.wav\"},{\"streamURL\":\"b.wav\"}]")),
                       "repeat all\n");
  EXPECT_EQ(few.status, 0);
  EXPECT_TRUE(in_order(few.output, {"cannot play #0", "cannot play #1",
                                    "stop: 2 entries could not be played: nothing left in the queue can be played"}));
}

// The desktop entry offers pbq-play every audio type below; each of their endings is
// taken as audio in a folder, and a file named on its own is told apart by its content,
// whatever its name: audio by its start, never read whole as a JSON list.
TEST_F(Player, TakesTheAudioTypesTheDesktopEntryClaims) {
  const std::map<std::string, std::vector<std::string>> endings_of = {
      {"audio/mpeg", {"mp3", "mpga"}}, {"audio/mp2", {"mp2"}},           {"audio/flac", {"flac"}},
      {"audio/x-flac", {"flac"}},      {"audio/ogg", {"ogg", "oga"}},    {"audio/x-vorbis+ogg", {"ogg", "oga"}},
      {"audio/opus", {"opus"}},        {"audio/x-opus+ogg", {"opus"}},   {"audio/x-speex", {"spx"}},
      {"audio/wav", {"wav"}},          {"audio/x-wav", {"wav"}},         {"audio/vnd.wave", {"wav"}},
      {"audio/mp4", {"m4a", "f4a"}},   {"audio/x-m4a", {"m4a"}},         {"audio/x-m4b", {"m4b"}},
      {"audio/aac", {"aac", "adts"}},  {"audio/x-aiff", {"aif", "aiff"}}, {"audio/x-aifc", {"aifc"}},
      {"audio/x-ape", {"ape"}},        {"audio/x-wavpack", {"wv", "wvp"}}, {"audio/x-matroska", {"mka"}},
      {"audio/x-ms-wma", {"wma"}},     {"audio/x-musepack", {"mpc"}},
  };
  std::string entry = read_text(PBQ_DESKTOP_ENTRY);
  size_t at = entry.find("\nMimeType=");
  ASSERT_NE(at, std::string::npos);
  std::istringstream types(entry.substr(at + 10, entry.find('\n', at + 1) - at - 10));
  std::set<std::string> claimed, endings;
  for (std::string type; std::getline(types, type, ';');) {
    if (type.starts_with("audio/") && type.find("mpegurl") == std::string::npos) claimed.insert(type);
  }
  for (const auto &[type, list] : endings_of) {
    EXPECT_TRUE(claimed.count(type)) << "the desktop entry does not claim " << type;
    endings.insert(list.begin(), list.end());
  }
  for (const std::string &type : claimed) EXPECT_TRUE(endings_of.count(type)) << "no endings known for " << type;

  // One tone under every ending, in a folder: each of them is found and queued.
  std::string folder = state_dir_ + "/every";
  std::string setup = "mkdir " + shell_quoted(folder);
  for (const std::string &ending : endings) {
    setup += " && cp " + shell_quoted(*album_dir_ + "/01.wav") + " " + shell_quoted(folder + "/tone." + ending);
  }
  ASSERT_EQ(std::system(setup.c_str()), 0);
  run_result r = run("--sink fake --fresh " + shell_quoted(folder), "until read\nqueue\nquit\n");
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(r.output.find("skipped"), std::string::npos) << r.output;
  std::string last = "#" + std::to_string(endings.size() - 1) + " ";
  EXPECT_NE(r.output.find(last), std::string::npos) << r.output;

  // Named on their own: two audiobook chapters and a tone whose name says nothing.
  std::string tone = *album_dir_ + "/01.wav";
  std::string copies = "cp " + shell_quoted(tone) + " " + shell_quoted(state_dir_ + "/one.m4b") + " && cp " + shell_quoted(tone) + " " +
                       shell_quoted(state_dir_ + "/two.mp2") + " && cp " + shell_quoted(tone) + " " + shell_quoted(state_dir_ + "/tone.bin");
  ASSERT_EQ(std::system(copies.c_str()), 0);
  run_result named = run("--sink fake --fresh " + shell_quoted(state_dir_ + "/one.m4b") + " " + shell_quoted(state_dir_ + "/two.mp2") +
                             " " + shell_quoted(state_dir_ + "/tone.bin"),
                         "until read\nqueue\nquit\n");
  EXPECT_EQ(named.status, 0) << named.output;
  EXPECT_NE(named.output.find("#2 "), std::string::npos) << named.output;
  EXPECT_EQ(named.output.find("skipped"), std::string::npos) << named.output;
  // A JSON list still needs no ending, and may have white space before it.
  run_result list = run("--sink fake --fresh " + shell_quoted(file("list", " \n[{\"streamURL\":\"" + tone + "\"}]")),
                        "queue\nquit\n");
  EXPECT_EQ(list.status, 0) << list.output;
  EXPECT_NE(list.output.find("#0 "), std::string::npos) << list.output;
}

}  // namespace
