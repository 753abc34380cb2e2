// pbq: a command-line host of the playback-queue library. It loads a track list,
// then reads commands (from a terminal with a prompt, or line by line from a file
// or pipe) and after each one says what a player would now do.
//
// Exit status: 0 the session ran to its end, 1 bad usage, 2 an input file (the
// track list or the script) that cannot be used, 3 a script or pipe ran to its end
// but a command in it failed. Errors inside the session are printed and the session
// goes on; at a terminal they are only printed.
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <istream>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "pbq.hpp"
#include "session.h"
#include "text.h"

namespace {

constexpr int k_exit_usage = 1;
constexpr int k_exit_input = 2;
constexpr int k_exit_command_failed = 3;

constexpr const char *k_usage =
    "usage: pbq [--json] [--start N] [--script FILE] [TRACKS.json]\n"
    "  TRACKS.json    the track list to open (default: the bundled example album)\n"
    "  --start N      the index of the track to start from (default 0)\n"
    "  --script FILE  read the commands from FILE instead of standard input\n"
    "  --json         print the state document after each command instead of the queue view\n"
    "  --version      print the library's version\n"
    "Type help in a session for the commands.\n";

struct options {
  bool json = false;
  int32_t start = 0;
  std::string tracks_path;
  std::string script_path;
};

// The bundled album: installed beside the program, or in the source tree it was
// built from.
std::string default_album() {
  std::vector<std::string> candidates;
  char self[4096];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n > 0) {
    std::string dir(self, static_cast<size_t>(n));
    dir.erase(dir.find_last_of('/') + 1);
    candidates.push_back(dir + "../share/pbq/album.json");
  }
#ifdef PBQ_SOURCE_ALBUM
  candidates.push_back(PBQ_SOURCE_ALBUM);
#endif
  for (const std::string &path : candidates) {
    if (access(path.c_str(), R_OK) == 0) return path;
  }
  return candidates.empty() ? std::string("album.json") : candidates.back();
}

// Fills `opt`; an exit status when the program should stop right away.
std::optional<int> parse_options(int argc, char **argv, options *opt) {
  std::vector<std::string> positional;
  for (int i = 1; i < argc; i++) {
    std::string arg = argv[i];
    auto value = [&]() -> const char * { return i + 1 < argc ? argv[++i] : nullptr; };
    if (arg == "--help" || arg == "-h") {
      std::cout << k_usage;
      return 0;
    } else if (arg == "--version") {
      std::cout << "pbq " << pbq::version() << " (ABI " << pbq::abi_version() << ")\n";
      return 0;
    } else if (arg == "--json") {
      opt->json = true;
    } else if (arg == "--start") {
      const char *v = value();
      std::optional<int32_t> start = v != nullptr ? cli::parse_int32(v) : std::nullopt;
      if (!start) {
        std::cerr << "pbq: --start needs a track index\n" << k_usage;
        return k_exit_usage;
      }
      opt->start = *start;
    } else if (arg == "--script") {
      const char *v = value();
      if (v == nullptr) {
        std::cerr << "pbq: --script needs a file\n" << k_usage;
        return k_exit_usage;
      }
      opt->script_path = v;
    } else if (arg.size() > 1 && arg[0] == '-') {
      std::cerr << "pbq: unknown option " << arg << "\n" << k_usage;
      return k_exit_usage;
    } else {
      positional.push_back(arg);
    }
  }
  if (positional.size() > 1) {
    std::cerr << "pbq: one track list at most\n" << k_usage;
    return k_exit_usage;
  }
  opt->tracks_path = positional.empty() ? default_album() : positional[0];
  return std::nullopt;
}

}  // namespace

int main(int argc, char **argv) {
  options opt;
  if (std::optional<int> stop = parse_options(argc, argv, &opt)) return *stop;

  std::string error;
  std::optional<std::string> tracks = cli::read_file(opt.tracks_path, &error);
  if (!tracks) {
    std::cerr << "pbq: " << error << "\n";
    return k_exit_input;
  }
  std::ifstream script;
  if (!opt.script_path.empty()) {
    script.open(opt.script_path);
    if (!script) {
      std::cerr << "pbq: cannot open " << opt.script_path << "\n";
      return k_exit_input;
    }
  }
  std::istream &in = opt.script_path.empty() ? std::cin : script;
  bool interactive = opt.script_path.empty() && isatty(STDIN_FILENO) != 0;

  cli::session session(std::cout, opt.json);
  if (!session.open(std::move(*tracks), opt.start, &error)) {
    std::cerr << "pbq: " << opt.tracks_path << ": " << error << "\n";
    return k_exit_input;
  }
  std::cout << "pbq " << pbq::version() << ": opened " << opt.tracks_path << "\n";
  if (interactive) std::cout << "type help for the commands, quit to leave\n";
  session.report_state(session.playing("play"));

  std::string line;
  while (true) {
    if (interactive) std::cout << "pbq> " << std::flush;
    if (!std::getline(in, line)) break;
    if (!interactive) {
      // A transcript: each command echoed before its answer, comments as they are.
      std::string_view shown = cli::trim(line);
      if (shown.empty()) {
        std::cout << "\n";
        continue;
      }
      std::cout << (shown.front() == '#' ? "" : "> ") << cli::printable(shown) << "\n";
    }
    if (!session.run(line)) break;
  }
  if (interactive && !in) std::cout << "\n";
  std::cout << std::flush;
  return !interactive && session.failures() > 0 ? k_exit_command_failed : 0;
}
