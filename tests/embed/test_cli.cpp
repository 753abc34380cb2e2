// The pbq command-line host, run as a user runs it: as a program, with a script on
// standard input or in a file. Checks what it says, that it survives any input and
// that its exit status means what it should.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#ifndef PBQ_CLI
#error "PBQ_CLI must name the built pbq program"
#endif
#ifndef PBQ_EXAMPLES_DIR
#error "PBQ_EXAMPLES_DIR must name the examples directory"
#endif

namespace {

struct run_result {
  int status = -1;  // exit status; 128 + n when killed by signal n
  std::string output;
};

class Cli : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = testing::TempDir() + "pbq_cli_XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

  std::string file(const std::string &name, const std::string &content) {
    std::string path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }

  // Runs pbq with `args`, `input` on standard input, both output streams captured.
  run_result run(const std::string &args, const std::string &input = "") {
    std::string in = file("stdin.txt", input);
    std::string command = "'" PBQ_CLI "' " + args + " < '" + in + "' 2>&1";
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

  std::string dir_;
};

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

const std::string k_examples = PBQ_EXAMPLES_DIR;

// `prefix` then `path` in single quotes, for the shell. Appended piece by piece:
// GCC 12 at -O3 warns falsely (-Wrestrict) on "text" + std::string temporaries.
std::string arg(const char *prefix, const std::string &path) {
  std::string out = prefix;
  out += '\'';
  out += path;
  out += '\'';
  return out;
}

TEST_F(Cli, PlaysTheExampleSession) {
  run_result r = run("--script '" + k_examples + "/session.pbq'");
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(in_order(r.output, {
      "play #0 Low Tide - Nadia Okafor (1:11)",
      "> next\nplay #1 Harbour Lights - Nadia Okafor (3:35)",
      "  queue 8, current #1, up next 6 | repeat off | shuffle off | rate 1.00x | sleep off",
      "  > #1          Harbour Lights",
      "> prev 42\nrestart #1 Harbour Lights - Nadia Okafor (3:35) from 0:00",
      "    #2    +0    Rain on Tin - Ilse Varga (2:34)",
      "> queue\nplay queue: 9 entries\n    #0          Low Tide - Nadia Okafor (1:11)\n",
      "  > #1          Harbour Lights - Nadia Okafor (3:35)\n    #2    +0    Lanterns - Nadia Okafor (3:09)\n",
      "    #8    +6    Night Bus - Ilse Varga (3:28)\n\n",
      "> ended\nstop: the queue is over",
      "> next\nplay #0 Low Tide",
      "> ended\nreplay #0 Low Tide - Nadia Okafor (1:11) (repeat one)",
      "| shuffle on |",
      "rate 1.25x | sleep in 30:00",
      "clock 1200 s: keep playing",
      "sleep in 10:00",
      "clock 1800 s: the sleep timer fired: stop playback and go to sleep",
      "> ended\nstop and go to sleep: the end-of-track sleep timer ran out",
      "error: jump index out of range",
      "error: missing streamURL",
      "error: invalid track json",
      R"(resume document: {"lastTrackURL":"https://media.example/nadia-okafor/tidewater/04.m4a","lastTrackTime":83.5,)",
      "relaunched: play #3 Salt Roads - Nadia Okafor (4:02) from 1:23 (83.5 s)",
      "self-test passed",
      R"({"currentIndex":3,"queueCount":8,)",
  }));
  EXPECT_EQ(r.output.find("Sanitizer"), std::string::npos);
}

TEST_F(Cli, ReadsCommandsFromAPipeAndPrintsJsonOnRequest) {
  run_result r = run("--json --start 6", "next\nnext\r\nquit\nnext\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(in_order(r.output, {
      "play #6 Gulls",
      R"({"currentIndex":6,)",
      "> next\nplay #7 Tidewater - Nadia Okafor (6:07)\n{\"currentIndex\":7,",
      "> next\nno next entry: keep playing #7",  // the CR of a CRLF line is ignored
      "> quit\n",
  }));
  EXPECT_EQ(r.output.rfind("> next"), r.output.find("> next\nno next")) << "ran past quit:\n" << r.output;
}

TEST_F(Cli, ExitStatus) {
  std::string album = k_examples + "/album.json";
  struct exit_case {
    std::string args;
    int status;
    std::string says;
  } cases[] = {
      {"--help", 0, "usage: pbq"},
      {"--version", 0, "pbq 1.0.0 (ABI 1)"},
      {"'" + album + "'", 0, "play #0 Low Tide"},
      {arg("", file("empty.json", "[]")), 0, "idle: nothing to play"},
      {"--bogus", 1, "unknown option --bogus"},
      {"--start", 1, "--start needs a track index"},
      {"--start 1x", 1, "--start needs a track index"},
      {"--script", 1, "--script needs a file"},
      {"a.json b.json", 1, "one track list at most"},
      {"'" + dir_ + "/missing.json'", 2, "cannot open"},
      // A script or pipe whose commands failed ends with 3; "!" expects a failure.
      {arg("--script ", file("fails.pbq", "next\njump 99\nnext\n")), 3, "error: jump index out of range"},
      {arg("--script ", file("expected.pbq", "! jump 99\nnext\n")), 0, "> next\nplay #1"},
      {arg("--script ", file("unexpected.pbq", "! next\n")), 3, "error: expected to fail, but it did not"},
      {arg("--script ", file("double.pbq", "!! next\n")), 0, "play #1"},
      {arg("--script ", file("selftest.pbq", "selftest\nquit\njump 99\n")), 0, "self-test passed"},
      {"'" + dir_ + "'", 2, "cannot read"},
      {arg("", file("bad.json", "[{\"streamURL\":")), 2, "invalid tracks json"},
      {arg("", file("object.json", "{}")), 2, "tracks json must be array"},
      {"--script '" + dir_ + "/missing.pbq'", 2, "cannot open"},
  };
  for (const exit_case &c : cases) {
    run_result r = run(c.args);
    EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.output;
    EXPECT_NE(r.output.find(c.says), std::string::npos) << c.args << "\n" << r.output;
  }
}

// Hostile input: every line is answered, nothing crashes, and the session ends
// normally: status 3 when a command failed, else 0.
TEST_F(Cli, SurvivesHostileInput) {
  std::string garbage_resume = file("garbage.json", "not json at all");
  struct hostile_case {
    std::string input;
    std::string says;
  } cases[] = {
      {"bogus", "error: unknown command \"bogus\""},
      {"\x01\x02\xff\xfe", "error: unknown command"},
      {"next please", "error: usage: next"},
      {"jump", "error: usage: jump N"},
      {"jump x", "error: usage: jump N"},
      {"jump 99999999999999999999", "error: usage: jump N"},
      {"jump 2147483648", "error: usage: jump N"},
      {"jump -1", "error: jump index out of range"},
      {"jump 2147483647", "error: jump index out of range"},
      {"remove -5", "error: no up-next entry -5 (up next holds 7)"},
      {"remove 1e3", "error: usage: remove K"},
      {"move 1", "error: usage: move FROM TO"},
      {"move 0 99", "error: cannot move up-next entry 0 to 99"},
      {"tick 9223372036854775807\ntick 1", "error: the simulated clock cannot move that far"},
      {"tick 99999999999999999999h", "error: usage: tick"},
      {"tick 3074457345618258603h", "error: usage: tick"},  // overflows once made seconds
      {"tick -5", "error: usage: tick"},
      {"sleep 0", "error: sleep timer refused"},
      {"sleep -5", "error: usage: sleep"},
      {"sleep 1:75", "error: usage: sleep"},
      // The deadline wraps past the clock's range; the library counts down all the same.
      {"tick 10\nsleep 9223372036854775807", "| sleep in 2562047788015215:30:07"},
      {"rate nan", "rate 0.50x"},
      {"rate 1e999", "rate 0.50x"},
      {"rate -1e999", "rate 0.50x"},
      {"rate 7", "rate 2.00x"},
      {"rate", "error: usage: rate"},
      {"prev nan", "restart #0"},
      {"prev 1e999", "restart #0"},
      {"prev soon", "error: usage: prev"},
      {"shuffle on 18446744073709551616", "error: usage: shuffle"},
      {"shuffle on -1", "error: usage: shuffle"},
      {"shuffle maybe", "error: usage: shuffle"},
      {"shuffle on 18446744073709551615", "| shuffle on |"},
      {"repeat twice", "error: usage: repeat"},
      {"playnext", "error: usage: playnext"},
      {"add @" + dir_ + "/nope.json", "error: cannot open " + dir_ + "/nope.json"},
      {"add @" + dir_, "error: cannot read"},
      {"add {\"streamURL\":\"a\\u0000b\"}", "error: missing streamURL"},
      {"add {\"streamURL\":\"\"}", "error: missing streamURL"},
      {std::string("add ").append(100000, '['), "error: invalid track json"},
      {"playnext \"just a string\"", "error: missing streamURL"},
      {"restore", "error: nothing exported yet"},
      {"restore " + dir_ + "/nope.json", "error: cannot open"},
      {"restore " + garbage_resume, "error: resume refused"},
      {"export", "error: usage: export"},
      {"export nan", "\"lastTrackTime\":0.0"},
      {"export 5 " + dir_ + "/no/such/dir/r.json", "error: cannot write"},
      {"load", "error: usage: load"},
      {"load @" + dir_ + "/nope.json", "error: cannot open"},
      {"load [1,", "error: invalid tracks json"},
      {"load {}", "error: tracks json must be array"},
      {"load @x 1 2", "error: usage: load @FILE [START]"},
      {std::string(1 << 20, 'a'), "error: unknown command"},
      {"   \t  \n#only a comment\n\n", "play #0 Low Tide"},
  };
  std::string album = "'" + k_examples + "/album.json'";
  for (const hostile_case &c : cases) {
    run_result r = run(album, c.input + "\n");
    int expected_status = c.says.rfind("error: ", 0) == 0 ? 3 : 0;
    EXPECT_EQ(r.status, expected_status) << c.input.substr(0, 80) << "\n" << r.output.substr(0, 2000);
    EXPECT_NE(r.output.find(c.says), std::string::npos) << c.input.substr(0, 80) << "\n" << r.output.substr(0, 2000);
    EXPECT_EQ(r.output.find("Sanitizer"), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("runtime error"), std::string::npos) << r.output;
  }
}

// An empty queue: every command has nothing to act on and says so.
TEST_F(Cli, EmptyQueueTakesEveryCommand) {
  run_result r = run(arg("", file("empty.json", "[]")),
                     "next\nprev 9\nended\njump 0\nremove 0\nmove 0 0\nclear\nshuffle on 1\nshuffle off\n"
                     "repeat cycle\nsleep end\nended\nexport 3\nrestore\nstate\nplaynext {\"streamURL\":\"x\"}\n");
  EXPECT_EQ(r.status, 3) << r.output;  // jump and remove failed
  EXPECT_TRUE(in_order(r.output, {
      "> next\nno next entry: idle: nothing to play",
      "> ended\nstop: the queue is over",
      "> jump 0\nerror: jump index out of range",
      "> remove 0\nerror: no up-next entry 0 (up next holds 0)",
      "> ended\nstop: the queue is over",  // no current entry: no end-of-track sleep either
      R"(resume document: {"lastTrackURL":null,"lastTrackTime":3.0,)",
      "> restore\nrelaunched, nothing to resume: idle: nothing to play",
      R"({"currentIndex":-1,"queueCount":0,)",
      "> playnext {\"streamURL\":\"x\"}\nplay #0 x (-:--)",
  }));
}

// Track metadata reaches the terminal with its control characters escaped: a title
// holding ESC [31m cannot recolour it, nor a C1 control (U+009B, CSI) move the cursor.
TEST_F(Cli, ShowsControlCharactersEscaped) {
  std::string tracks = file("hostile.json",
                            R"([{"streamURL":"a\u0007.m4a","title":"Red \u001b[31mAlert\u001b[0m","artist":"Tab\tBy\u007f",)"
                            R"("duration":60},{"streamURL":"b.m4a","artist":"C1 \u009b2J done, caf\u00e9 \u0151k"}])");
  for (const std::string &args : {std::string(), std::string("--json ")}) {
    run_result r = run(args + "'" + tracks + "'", "queue\nstate\nnext\nexport 1\n");
    EXPECT_EQ(r.status, 0) << r.output;
    for (char c : r.output) {
      auto byte = static_cast<unsigned char>(c);
      ASSERT_TRUE(byte >= 0x20 || c == '\n') << "raw control " << int(byte) << " in:\n" << r.output;
      ASSERT_NE(byte, 0x7f) << r.output;
    }
    EXPECT_EQ(r.output.find("\xc2\x9b"), std::string::npos) << r.output;
    if (args.empty()) {
      EXPECT_TRUE(in_order(r.output, {
          "play #0 Red \\u001b[31mAlert\\u001b[0m - Tab\\u0009By\\u007f (1:00)",
          "> queue\nplay queue: 2 entries\n",
          "    #1    +0    b.m4a - C1 \\u009b2J done, caf\xc3\xa9 \xc5\x91k (-:--)",
      }));
    }
    // JSON keeps its meaning: yyjson's own escapes, and \u007f and \u009b beside them.
    EXPECT_NE(r.output.find(R"("title":"Red \u001B[31mAlert\u001B[0m")"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find(R"("artist":"C1 \u009b2J done)"), std::string::npos) << r.output;
  }
}

}  // namespace
