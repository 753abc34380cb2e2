// pbq-play: a music player on the pbq library and GStreamer. It plays folders,
// playlists, audio files or a track list, takes pbq's commands while it plays (from
// its input and over MPRIS), and resumes where it stopped at the next launch.
//
// Exit status: 0 done, 1 bad usage, 2 a track list that cannot be used, 3 a command
// read from the input failed (as pbq), 4 no audio output (or a GStreamer
// installation without what playing needs).
#include <gst/gst.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "pbq.hpp"
#include "player.h"
#include "status_line.h"
#include "text.h"

namespace {

// Laid out as help2man reads it: a usage line, a description, then option and
// section lists, so that a man page can be made from it.
constexpr const char *k_usage =
    "Usage: pbq-play [OPTION]... SOURCE...\n"
    "Play music with pbq's play queue: a folder, an M3U/M3U8 playlist, audio files, or a\n"
    "JSON track list. Commands are read from standard input while it plays (type help);\n"
    "the desktop's media keys and controls reach it over MPRIS on the session bus.\n"
    "\n"
    "Sources:\n"
    "  FOLDER         its audio files, in natural name order, down its subfolders; title,\n"
    "                 artist and length from their tags (the file name when untitled)\n"
    "  PLAYLIST       an .m3u or .m3u8 file: paths relative to it, or URIs; #EXTINF titles\n"
    "  FILE           an audio file; several sources play one after the other\n"
    "  TRACKS.json    a track list, named alone: \"streamURL\"s are files (relative to the\n"
    "                 list's folder) or URIs\n"
    "Folders, playlists and files are read in the background: the first file plays as\n"
    "soon as it is ready, and the rest join the queue in order as they are read. Each\n"
    "folder is walked once, whatever links lead to it; a link to a folder above is not.\n"
    "Entries that cannot be played are skipped with a line each; after 100 in a row, or\n"
    "5 seconds of nothing but failures, playback stops where the run began.\n"
    "\n"
    "Options:\n"
    "  --sink S       the audio output: auto (default), fake (silent, for machines without\n"
    "                 sound) or a GStreamer sink such as alsa or pulse\n"
    "  --start N      the index of the track to start from when there is nothing to resume\n"
    "  --fresh        ignore where the last run with these sources stopped\n"
    "  --json         print the state document after each command instead of the queue view\n"
    "  --no-mpris     stay off the session bus\n"
    "  -h, --help     print this help and exit\n"
    "  --version      print the versions of pbq-play and GStreamer and exit\n"
    "\n"
    "MPRIS:\n"
    "  The player is org.mpris.MediaPlayer2.pbq on the session bus (with an instance\n"
    "  suffix when a second one runs). Every call runs as the typed command does. Paused\n"
    "  or stopped from the bus, it stays for the bus to resume it or quit it. Its track\n"
    "  list is a window of up to 1,000 entries around the current one.\n"
    "\n"
    "Exit status:\n"
    "  0 done, 1 bad usage, 2 sources that cannot be read or hold nothing to play,\n"
    "  3 a command read from the input failed (as in pbq), 4 no audio output.\n"
    "\n"
    "Files:\n"
    "  Where playback stopped is kept in $XDG_STATE_HOME/pbq/ (~/.local/state/pbq/),\n"
    "  one resume file for each source, and played on from there at the next launch.\n";

std::optional<int> parse_options(int argc, char **argv, player::options *opt) {
  std::vector<std::string> positional;
  for (int i = 1; i < argc; i++) {
    std::string arg = argv[i];
    auto value = [&]() -> const char * { return i + 1 < argc ? argv[++i] : nullptr; };
    if (arg == "--help" || arg == "-h") {
      std::cout << k_usage;
      return player::k_exit_ok;
    } else if (arg == "--version") {
      gchar *gstreamer = gst_version_string();
      std::cout << "pbq-play " << pbq::version() << ", " << gstreamer << "\n";
      g_free(gstreamer);
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
    // On a terminal, how far the reading has got shows on one line, written over.
    std::optional<player::status_line> line;
    std::streambuf *terminal = std::cout.rdbuf();
    if (isatty(STDOUT_FILENO) != 0) std::cout.rdbuf(&line.emplace(terminal));
    player::player p(std::cout, opt.json);
    p.set_status_line(line ? &*line : nullptr);
    status = p.run(opt);
    if (line) line->take_down();
    std::cout << std::flush;
    std::cout.rdbuf(terminal);
  }
  std::cout << std::flush;
  gst_deinit();
  return status;
}
