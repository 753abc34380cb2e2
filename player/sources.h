// What a listener names on the command line, made into pbq's track list: a JSON
// track list as it is; folders (their audio files, in natural name order, with
// title, artist and duration from the tags), M3U/M3U8 playlists and single audio
// files as one list of file addresses.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace player {

struct track_list {
  std::string json;      // pbq's track list
  std::string base_dir;  // where relative addresses count from (a JSON list's folder)
  std::vector<std::string> skipped;  // one line for each entry left out, and why
};

// False with the reason in `error` when a source cannot be read at all, or a JSON
// track list is named together with anything else.
bool read_sources(const std::vector<std::string> &paths, track_list *list, std::string *error);

// Natural name order: runs of digits compare as numbers ("2" before "10"), letters
// without regard to case; paths compare folder by folder.
bool natural_less(std::string_view a, std::string_view b);

// An M3U or M3U8 playlist's entries: addresses (relative to `base_dir` unless
// absolute or URIs), with the #EXTINF title and duration when given.
struct playlist_entry {
  std::string address, title;
  double duration = 0.0;
  int line = 0;
};
std::vector<playlist_entry> parse_m3u(std::string_view text);

}  // namespace player
