// Inputs and set-up shared by the benchmarks: a list of typical tracks of about 200
// bytes each, handles in the states a player's queue goes through, and a heap kept
// warm so that neither side of a ratio pays page faults the other does not.
#pragma once

#include <malloc.h>

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

// One track to add, with a URL no loaded track has.
inline std::string extra_track_json(int i) {
  std::string out = "{\"streamURL\":\"https://media.example/extra/";
  return out.append(std::to_string(i)).append(".m4a\",\"title\":\"Extra\",\"artist\":\"Someone\",\"duration\":200.5}");
}

// Every block comes from the main heap and stays mapped once freed: no side pays
// for fresh pages from mmap that the other side gets from a warm heap.
struct warm_heap {
  warm_heap() {
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    mallopt(M_TOP_PAD, 64 << 20);
  }
};
inline warm_heap g_warm_heap;

// A handle loaded with n typical tracks from `start`, shuffled when asked.
inline pbq_queue *loaded_handle(const std::string &json, int32_t start, bool shuffled) {
  pbq_queue *q = pbq_create();
  pbq_set_shuffle(q, shuffled ? 1 : 0, 0);
  pbq_set_tracks_json(q, json.c_str(), start, 7);
  return q;
}

// The sizes every ratio is measured at.
#define PBQ_BENCH_SIZES ->Arg(1000)->Arg(10000)->Arg(100000)->Arg(1000000)
