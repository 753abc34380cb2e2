// The queue engine: loading against a bare parse of the same text, and the calls
// that must cost the same whatever the queue's length.
#include <benchmark/benchmark.h>

#include <yyjson.h>

#include <cstring>

#include "bench_common.h"
#include "model.h"

namespace {

void BM_YyjsonRead(benchmark::State &state) {
  const std::string json = typical_tracks_json(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    yyjson_doc *doc = yyjson_read(json.c_str(), json.size(), 0);
    benchmark::DoNotOptimize(doc);
    yyjson_doc_free(doc);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * json.size()));
}

// A load into a new handle: the handle is made and destroyed outside the timing.
void BM_LoadTracks(benchmark::State &state) {
  const std::string json = typical_tracks_json(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    pbq_queue *q = pbq_create();
    pbq_set_shuffle(q, static_cast<int32_t>(state.range(1)), 0);
    state.ResumeTiming();
    if (pbq_set_tracks_json(q, json.c_str(), 3, 42) != 0) state.SkipWithError("load failed");
    state.PauseTiming();
    pbq_destroy(q);
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * json.size()));
}

// A load into a handle that already holds the same list: freeing the old lists is
// counted too, as when a player opens one album after another.
void BM_ReloadTracks(benchmark::State &state) {
  const std::string json = typical_tracks_json(static_cast<int>(state.range(0)));
  pbq_queue *q = pbq_create();
  pbq_set_shuffle(q, static_cast<int32_t>(state.range(1)), 0);
  for (auto _ : state) {
    if (pbq_set_tracks_json(q, json.c_str(), 3, 42) != 0) state.SkipWithError("load failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * json.size()));
  pbq_destroy(q);
}

void BM_NavigationCalls(benchmark::State &state) {
  pbq_queue *q = pbq_create();
  pbq_set_tracks_json(q, typical_tracks_json(static_cast<int>(state.range(0))).c_str(), 0, 0);
  pbq_set_repeat(q, 1);
  int64_t now = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(pbq_next(q));
    benchmark::DoNotOptimize(pbq_previous(q, 1.0));
    benchmark::DoNotOptimize(pbq_on_track_ended(q));
    benchmark::DoNotOptimize(pbq_set_rate(q, 1.25f));
    benchmark::DoNotOptimize(pbq_set_sleep_timer(q, 1, 600, now));
    benchmark::DoNotOptimize(pbq_check_sleep_timer(q, ++now));
    benchmark::DoNotOptimize(pbq_cycle_repeat(q));
    pbq_set_repeat(q, 1);
  }
  pbq_destroy(q);
}

// Moving the first up-next entry to the end and back: two block moves of the queue.
void BM_MoveUpNext(benchmark::State &state) {
  const auto n = static_cast<int32_t>(state.range(0));
  pbq_queue *q = pbq_create();
  pbq_set_tracks_json(q, typical_tracks_json(n).c_str(), 0, 0);
  for (auto _ : state) {
    pbq_move_up_next(q, 0, n - 2);
    pbq_move_up_next(q, n - 2, 0);
  }
  pbq_destroy(q);
}

// Removing the first up-next entry and adding a track back at the end.
void BM_RemoveAndAdd(benchmark::State &state) {
  pbq_queue *q = pbq_create();
  pbq_set_tracks_json(q, typical_tracks_json(static_cast<int>(state.range(0))).c_str(), 0, 0);
  const char *track = R"({"streamURL":"https://media.example/extra.m4a","title":"Extra"})";
  pbq_add_to_queue_json(q, track);
  for (auto _ : state) {
    pbq_remove_up_next(q, 0);
    pbq_add_to_queue_json(q, track);
  }
  pbq_destroy(q);
}

void BM_ShuffleOnOff(benchmark::State &state) {
  pbq_queue *q = pbq_create();
  pbq_set_tracks_json(q, typical_tracks_json(static_cast<int>(state.range(0))).c_str(), 0, 0);
  uint64_t seed = 1;
  for (auto _ : state) {
    pbq_set_shuffle(q, 1, seed++);
    pbq_set_shuffle(q, 0, 0);
  }
  pbq_destroy(q);
}

BENCHMARK(BM_YyjsonRead)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadTracks)->ArgsProduct({{1000, 10000, 100000}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReloadTracks)->ArgsProduct({{1000, 10000, 100000}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NavigationCalls)->Arg(10)->Arg(100000);
BENCHMARK(BM_MoveUpNext)->Arg(1000)->Arg(100000);
BENCHMARK(BM_RemoveAndAdd)->Arg(1000)->Arg(100000);
BENCHMARK(BM_ShuffleOnOff)->Arg(1000)->Unit(benchmark::kMicrosecond);

}  // namespace
