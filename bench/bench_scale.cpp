// How each call's cost grows with the queue: every benchmark runs at 1k, 8k, 64k and
// 512k typical tracks, through the public interface only, and bench/growth.py prints
// time(8N) / time(N) for each (8 for a linear cost, about 1 for a constant one, 64
// for a quadratic one).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "bench_common.h"
#include "pbq.h"

namespace {

// The track lists, built once per size and kept for the whole run.
const std::string &tracks_of(int64_t n) {
  static std::string cached[4];
  static int64_t sizes[4] = {0, 0, 0, 0};
  int slot = n <= 1024 ? 0 : n <= 8192 ? 1 : n <= 65536 ? 2 : 3;
  if (sizes[slot] != n) {
    cached[slot] = typical_tracks_json(static_cast<int>(n));
    sizes[slot] = n;
  }
  return cached[slot];
}

pbq_queue *loaded(int64_t n, bool shuffled, int32_t start = 0) {
  pbq_queue *q = pbq_create();
  pbq_set_shuffle(q, shuffled ? 1 : 0, 0);
  if (pbq_set_tracks_json(q, tracks_of(n).c_str(), start, 7) != PBQ_OK) std::abort();
  return q;
}

std::string new_track(uint64_t i) {
  char buffer[200];
  snprintf(buffer, sizeof buffer,
           "{\"streamURL\":\"https://media.example/added/track-%08llu.m4a\",\"title\":\"Added %llu\","
           "\"artist\":\"Someone\",\"duration\":200.5}",
           static_cast<unsigned long long>(i), static_cast<unsigned long long>(i));
  return buffer;
}

void BM_ScaleLoad(benchmark::State &state) {
  const std::string &text = tracks_of(state.range(0));
  pbq_queue *q = pbq_create();
  pbq_set_shuffle(q, static_cast<int32_t>(state.range(1)), 0);
  for (auto _ : state) {
    if (pbq_set_tracks_json(q, text.c_str(), 0, 7) != PBQ_OK) state.SkipWithError("load failed");
  }
  pbq_destroy(q);
}

// One add per iteration into a loaded queue with a current entry; the queue grows by
// the number of iterations, which is small beside N at the larger sizes.
void BM_ScaleAdd(benchmark::State &state) {
  pbq_queue *q = loaded(state.range(0), false, static_cast<int32_t>(state.range(0) / 2));
  bool play_next = state.range(1) != 0;
  uint64_t i = 0;
  std::string track = new_track(i);
  for (auto _ : state) {
    state.PauseTiming();
    track = new_track(i++);
    state.ResumeTiming();
    int32_t r = play_next ? pbq_play_next_json(q, track.c_str()) : pbq_add_to_queue_json(q, track.c_str());
    if (r != PBQ_ADDED_QUEUED) state.SkipWithError("add failed");
  }
  pbq_destroy(q);
}

void BM_ScaleNavigation(benchmark::State &state) {
  pbq_queue *q = loaded(state.range(0), false);
  pbq_set_repeat(q, PBQ_REPEAT_ALL);
  for (auto _ : state) {
    benchmark::DoNotOptimize(pbq_next(q));
    benchmark::DoNotOptimize(pbq_on_track_ended(q));
    benchmark::DoNotOptimize(pbq_previous(q, 0.0));
  }
  pbq_destroy(q);
}

// Shuffle on (from the middle entry) and off again: one toggle pair per iteration.
void BM_ScaleShuffleToggle(benchmark::State &state) {
  int64_t n = state.range(0);
  pbq_queue *q = loaded(n, false, static_cast<int32_t>(n / 2));
  uint64_t seed = 1;
  for (auto _ : state) {
    pbq_set_shuffle(q, 1, seed++);
    pbq_set_shuffle(q, 0, 0);
  }
  pbq_destroy(q);
}

void BM_ScaleStateJson(benchmark::State &state) {
  pbq_queue *q = loaded(state.range(0), state.range(1) != 0);
  for (auto _ : state) {
    char *text = pbq_state_json(q);
    benchmark::DoNotOptimize(text);
    pbq_free(text);
  }
  pbq_destroy(q);
}

// The restore of a relaunch: the saved track in the middle of the list.
void BM_ScaleRestore(benchmark::State &state) {
  int64_t n = state.range(0);
  const std::string &text = tracks_of(n);
  pbq_queue *source = loaded(n, state.range(1) != 0, static_cast<int32_t>(n / 2));
  char *resume = pbq_export_resume_json(source, 61.0);
  pbq_destroy(source);
  pbq_queue *q = pbq_create();
  for (auto _ : state) {
    double position = 0;
    if (pbq_restore_resume_json(q, resume, text.c_str(), &position) != PBQ_RESTORE_RESUMED) {
      state.SkipWithError("restore failed");
    }
  }
  pbq_free(resume);
  pbq_destroy(q);
}

void BM_ScaleDestroy(benchmark::State &state) {
  for (auto _ : state) {
    state.PauseTiming();
    pbq_queue *q = loaded(state.range(0), state.range(1) != 0);
    state.ResumeTiming();
    pbq_destroy(q);
  }
}

void sizes(benchmark::internal::Benchmark *b) {
  for (int64_t n = 1024; n <= 524288; n *= 8) b->Args({n, 0})->Args({n, 1});
  b->Unit(benchmark::kMicrosecond);
}

void sizes_only(benchmark::internal::Benchmark *b) {
  for (int64_t n = 1024; n <= 524288; n *= 8) b->Args({n, 0});
  b->Unit(benchmark::kMicrosecond);
}

// The second argument: shuffle on (load, state document, restore, destroy) or play
// next rather than add to queue (add).
BENCHMARK(BM_ScaleLoad)->Apply(sizes);
BENCHMARK(BM_ScaleAdd)->Apply(sizes);
BENCHMARK(BM_ScaleNavigation)->Apply(sizes_only);
BENCHMARK(BM_ScaleShuffleToggle)->Apply(sizes_only);
BENCHMARK(BM_ScaleStateJson)->Apply(sizes);
BENCHMARK(BM_ScaleRestore)->Apply(sizes);
BENCHMARK(BM_ScaleDestroy)->Apply(sizes);

}  // namespace
