// From a track's "streamURL" to something the engine can open: a local path
// (relative ones count from the track list's folder) or a URI, checked first when
// it is a local file so that a missing one is skipped with a clear reason.
#pragma once

#include <string>

namespace player {

struct media {
  std::string uri;      // what the engine opens; empty when `problem` is set
  std::string problem;  // why it cannot be played ("file not found", ...), or empty
};

media locate(const std::string &stream_url, const std::string &base_dir);

// The folder of a file's path, with its trailing slash ("" for a bare name).
std::string folder_of(const std::string &path);

}  // namespace player
