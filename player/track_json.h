// A track of pbq's track list written as JSON, for the lists the player makes
// itself (a folder, a playlist, an address from the desktop).
#pragma once

#include <string>
#include <string_view>

namespace player {

// {"streamURL": ..., "title": ..., "artist": ..., "duration": ...}; empty texts and
// a duration of 0 are left out.
std::string track_json(std::string_view url, std::string_view title, std::string_view artist, double duration);

}  // namespace player
