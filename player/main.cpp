// pbq-play: a music player on the pbq library and GStreamer. It plays a track list
// whose "streamURL"s are local files or URIs, takes pbq's commands while it plays,
// and resumes where it stopped at the next launch with the same list.
//
// Exit status: 0 done, 1 bad usage, 2 a track list that cannot be used, 3 a command
// read from the input failed (as pbq), 4 no audio output (or a GStreamer
// installation without what playing needs).
#include <gst/gst.h>

#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "pbq.hpp"
#include "player.h"
#include "text.h"

namespace {

constexpr const char *k_usage =
    "usage: pbq-play [--sink fake|auto|NAME] [--start N] [--fresh] [--json] TRACKS.json\n"
    "  TRACKS.json   a track list: \"streamURL\"s are files (relative to the list's folder) or URIs\n"
    "  --sink S      the audio output: auto (default), fake (silent, for machines without sound)\n"
    "                or a GStreamer sink such as alsa or pulse\n"
    "  --start N     the index of the track to start from when there is nothing to resume\n"
    "  --fresh       ignore where the last run with this list stopped\n"
    "  --json        print the state document after each command instead of the queue view\n"
    "Commands are read from standard input while playing; type help for the list.\n"
    "Where playback stopped is kept in $XDG_STATE_HOME/pbq/ (~/.local/state/pbq/).\n";

std::optional<int> parse_options(int argc, char **argv, player::options *opt) {
  std::vector<std::string> positional;
  for (int i = 1; i < argc; i++) {
    std::string arg = argv[i];
    auto value = [&]() -> const char * { return i + 1 < argc ? argv[++i] : nullptr; };
    if (arg == "--help" || arg == "-h") {
      std::cout << k_usage;
      return player::k_exit_ok;
    } else if (arg == "--version") {
      std::cout << "pbq-play " << pbq::version() << ", " << gst_version_string() << "\n";
      return player::k_exit_ok;
    } else if (arg == "--sink") {
      const char *v = value();
      if (v == nullptr || *v == '\0') {
        std::cerr << "pbq-play: --sink needs an output\n" << k_usage;
        return player::k_exit_usage;
      }
      opt->sink = v;
    } else if (arg == "--start") {
      const char *v = value();
      std::optional<int32_t> start = v != nullptr ? cli::parse_int32(v) : std::nullopt;
      if (!start) {
        std::cerr << "pbq-play: --start needs a track index\n" << k_usage;
        return player::k_exit_usage;
      }
      opt->start = *start;
    } else if (arg == "--fresh") {
      opt->fresh = true;
    } else if (arg == "--json") {
      opt->json = true;
    } else if (arg == "--no-mpris") {
      opt->bus = false;
    } else if (arg.size() > 1 && arg[0] == '-') {
      std::cerr << "pbq-play: unknown option " << arg << "\n" << k_usage;
      return player::k_exit_usage;
    } else {
      positional.push_back(arg);
    }
  }
  if (positional.empty()) {
    std::cerr << "pbq-play: name what to play\n" << k_usage;
    return player::k_exit_usage;
  }
  opt->sources = positional;
  opt->tracks_path = positional[0] + (positional.size() > 1 ? " and " + std::to_string(positional.size() - 1) + " more" : "");
  return std::nullopt;
}

}  // namespace

int main(int argc, char **argv) {
  GError *error = nullptr;
  if (!gst_init_check(&argc, &argv, &error)) {
    std::fprintf(stderr, "pbq-play: GStreamer cannot start: %s\n", error != nullptr ? error->message : "?");
    g_clear_error(&error);
    return player::k_exit_output;
  }
  player::options opt;
  if (std::optional<int> stop = parse_options(argc, argv, &opt)) return *stop;
  int status;
  {
    player::player p(std::cout, opt.json);
    status = p.run(opt);
  }
  std::cout << std::flush;
  gst_deinit();
  return status;
}
