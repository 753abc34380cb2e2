// What a listener names on the command line, made into pbq's track list: a JSON
// track list as it is; folders (their audio files, in natural name order, with
// title, artist and duration from the tags), M3U/M3U8 playlists and single audio
// files as the items of one list of file addresses, which the scan (scan.h) reads
// in the background.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace player {

// One thing to read into the list, in the order named: a folder to walk, a file
// whose tags are to be read, a track ready as it is (a playlist's titled entry or
// stream), or an entry left out and why.
struct source_item {
  enum class kind { folder, file, track, skip } what = kind::skip;
  std::string path;        // folder, file
  std::string shown;       // how the listener named it, for messages
  std::string track, url;  // track: its JSON and its "streamURL"
  std::string why;         // skip
};

struct track_list {
  bool is_json = false;  // a JSON track list, named alone: `json`; else `to_scan`
  std::string json;      // the JSON track list as it is
  std::string base_dir;  // where relative addresses count from (a JSON list's folder)
  std::vector<source_item> to_scan;
};

// False with the reason in `error` when a source cannot be read at all, or a JSON
// track list is named together with anything else.
bool read_sources(const std::vector<std::string> &paths, track_list *list, std::string *error);

// Whether a file's name ends as audio files do: a folder's other files (covers,
// notes) are passed by.
bool has_audio_ending(const std::string &name);

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
