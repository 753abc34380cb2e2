// Inputs shared by the benchmarks: a list of typical tracks of about 200 bytes each.
#pragma once

#include <cstdio>
#include <string>

#include "pbq.h"

inline std::string typical_tracks_json(int n) {
  std::string out = "[";
  char buffer[320];
  for (int i = 0; i < n; i++) {
    snprintf(buffer, sizeof buffer,
             "%s{\"streamURL\":\"https://media.example/music/some-artist/some-album/track-%06d.m4a\","
             "\"title\":\"A typical track title %06d\",\"artist\":\"Some Artist Name\","
             "\"artworkURL\":\"https://media.example/art/album-%06d.jpg\",\"duration\":%d.5}",
             i == 0 ? "" : ",", i, i, i / 12, 120 + i % 300);
    out += buffer;
  }
  return out + "]";
}
