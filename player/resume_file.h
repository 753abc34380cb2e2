// Where the player keeps the resume document between launches, and how it writes
// it so that a crash or a full disk never leaves half a document behind.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace player {

// $XDG_STATE_HOME/pbq/ (or ~/.local/state/pbq/ when it is unset or not absolute),
// with a trailing slash; empty when neither variable gives a place.
std::string state_dir();

// One resume file per track list: resume-<hash of the list's absolute path>.json
// in `dir`.
std::string resume_path(const std::string &dir, const std::string &tracks_path);

// What names a run's sources for resume_path: the one path, or the absolute
// paths of several, one a line.
std::string resume_key(const std::vector<std::string> &sources);

// Writes `text` to a temporary file beside `path`, flushes it to the disk and
// renames it over `path`: a reader sees the old document or the new one, never a
// part. Creates the folder (0700) when missing. False with the reason in `error`.
bool write_atomically(const std::string &path, std::string_view text, std::string *error);

}  // namespace player
