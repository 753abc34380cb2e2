// The queue engine against its floor, a bare yyjson parse of the same text: loading in
// several handle histories, shuffle off, destroy, adds with a current entry, and the
// calls that must cost the same whatever the queue's length.
#include <benchmark/benchmark.h>

#include <yyjson.h>

#include <ctime>
#include <cstring>

#include "bench_common.h"

namespace {

// Hand-timed parts count this thread's CPU time, as the automatic rows do, so that a
// busy machine slows neither side of a ratio more than the other.
struct clock_type {
  static double now() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
  }
};

double seconds_since(double start) { return clock_type::now() - start; }

// One untimed round first, so that the heap is as warm for the first timed round as
// for the others.
void warm_up(const std::string &json) {
  yyjson_doc_free(yyjson_read(json.c_str(), json.size(), 0));
  // A reload holds two lists at once: the heap grows to that peak here.
  pbq_queue *q = loaded_handle(json, 0, true);
  pbq_set_tracks_json(q, json.c_str(), 0, 1);
  pbq_destroy(q);
}

// The floor: yyjson reading the same text, as any host parsing the list would.
void BM_Parse(benchmark::State &state) {
  const std::string json = typical_tracks_json(static_cast<int>(state.range(0)));
  warm_up(json);
  for (auto _ : state) {
    yyjson_doc *doc = yyjson_read(json.c_str(), json.size(), 0);
    benchmark::DoNotOptimize(doc);
    yyjson_doc_free(doc);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * json.size()));
}

// A load into a fresh handle; making and destroying the handle is not timed.
void BM_LoadFresh(benchmark::State &state) {
  const std::string json = typical_tracks_json(static_cast<int>(state.range(0)));
  warm_up(json);
  for (auto _ : state) {
    pbq_queue *q = pbq_create();
    pbq_set_shuffle(q, static_cast<int32_t>(state.range(1)), 0);
    double start = clock_type::now();
    if (pbq_set_tracks_json(q, json.c_str(), 3, 42) != 0) state.SkipWithError("load failed");
    state.SetIterationTime(seconds_since(start));
    pbq_destroy(q);
  }
}

// A player opening one album after another with shuffle on: the handle holds a
// shuffled queue, edited a little, when the next load replaces it.
void BM_ReloadShuffled(benchmark::State &state) {
  const std::string json = typical_tracks_json(static_cast<int>(state.range(0)));
  warm_up(json);
  pbq_queue *q = loaded_handle(json, 3, true);
  for (auto _ : state) {
    pbq_add_to_queue_json(q, extra_track_json(1).c_str());
    double start = clock_type::now();
    if (pbq_set_tracks_json(q, json.c_str(), 3, 42) != 0) state.SkipWithError("load failed");
    state.SetIterationTime(seconds_since(start));
  }
  pbq_destroy(q);
}

// Turning shuffle off on a shuffled queue; turning it on again is not timed.
void BM_ShuffleOff(benchmark::State &state) {
  pbq_queue *q = loaded_handle(typical_tracks_json(static_cast<int>(state.range(0))), 3, true);
  uint64_t seed = 1;
  for (auto _ : state) {
    pbq_set_shuffle(q, 1, seed++);
    double start = clock_type::now();
    pbq_set_shuffle(q, 0, 0);
    state.SetIterationTime(seconds_since(start));
  }
  pbq_destroy(q);
}

// Destroying a loaded, shuffled handle that also holds added tracks.
void BM_Destroy(benchmark::State &state) {
  const std::string json = typical_tracks_json(static_cast<int>(state.range(0)));
  warm_up(json);
  for (auto _ : state) {
    pbq_queue *q = loaded_handle(json, 3, true);
    for (int i = 0; i < 16; i++) pbq_play_next_json(q, extra_track_json(i).c_str());
    double start = clock_type::now();
    pbq_destroy(q);
    state.SetIterationTime(seconds_since(start));
  }
}

// Play next and add to queue with a current entry at the first track (range 1 = 0)
// or halfway (range 1 = 1), each new track then removed again outside the timing so
// that the queue keeps its length. The URL index is built before the timing starts.
void BM_AddWithCurrent(benchmark::State &state) {
  const auto n = static_cast<int32_t>(state.range(0));
  const int32_t current = state.range(1) == 0 ? 0 : n / 2;
  pbq_queue *q = loaded_handle(typical_tracks_json(n), current, false);
  pbq_add_to_queue_json(q, extra_track_json(-1).c_str());
  const std::string a = extra_track_json(1), b = extra_track_json(2);
  for (auto _ : state) {
    double start = clock_type::now();
    pbq_play_next_json(q, a.c_str());
    pbq_add_to_queue_json(q, b.c_str());
    state.SetIterationTime(seconds_since(start) / 2);
    pbq_remove_up_next(q, 0);
    pbq_remove_up_next(q, n - current);  // the last entry
  }
  pbq_destroy(q);
}

// The first add after a load builds the URL index of the loaded tracks.
void BM_FirstAddAfterLoad(benchmark::State &state) {
  const std::string json = typical_tracks_json(static_cast<int>(state.range(0)));
  const std::string track = extra_track_json(1);
  warm_up(json);
  for (auto _ : state) {
    pbq_queue *q = loaded_handle(json, 3, false);
    double start = clock_type::now();
    pbq_play_next_json(q, track.c_str());
    state.SetIterationTime(seconds_since(start));
    pbq_destroy(q);
  }
}

void BM_NavigationCalls(benchmark::State &state) {
  pbq_queue *q = loaded_handle(typical_tracks_json(static_cast<int>(state.range(0))), 0, false);
  pbq_set_repeat(q, PBQ_REPEAT_ALL);
  int64_t now = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(pbq_next(q));
    benchmark::DoNotOptimize(pbq_previous(q, 1.0));
    benchmark::DoNotOptimize(pbq_on_track_ended(q));
    benchmark::DoNotOptimize(pbq_set_rate(q, 1.25f));
    benchmark::DoNotOptimize(pbq_set_sleep_timer(q, PBQ_SLEEP_TIMER, 600, now));
    benchmark::DoNotOptimize(pbq_check_sleep_timer(q, ++now));
    benchmark::DoNotOptimize(pbq_cycle_repeat(q));
    pbq_set_repeat(q, PBQ_REPEAT_ALL);
  }
  pbq_destroy(q);
}

// Moving the first up-next entry to the end and back: two block moves of the queue.
void BM_MoveUpNext(benchmark::State &state) {
  const auto n = static_cast<int32_t>(state.range(0));
  pbq_queue *q = loaded_handle(typical_tracks_json(n), 0, false);
  for (auto _ : state) {
    pbq_move_up_next(q, 0, n - 2);
    pbq_move_up_next(q, n - 2, 0);
  }
  pbq_destroy(q);
}

BENCHMARK(BM_Parse) PBQ_BENCH_SIZES->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadFresh)->ArgsProduct({{1000, 10000, 100000, 1000000}, {0, 1}})->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReloadShuffled) PBQ_BENCH_SIZES->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShuffleOff) PBQ_BENCH_SIZES->UseManualTime()->Unit(benchmark::kMillisecond);
// Destroy and the first add time a small part of a costly set-up: a fixed count of
// rounds keeps `make bench` short.
BENCHMARK(BM_Destroy) PBQ_BENCH_SIZES->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AddWithCurrent)->ArgsProduct({{1000, 10000, 100000, 1000000}, {0, 1}})->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FirstAddAfterLoad) PBQ_BENCH_SIZES->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NavigationCalls)->Arg(10)->Arg(100000);
BENCHMARK(BM_MoveUpNext)->Arg(1000)->Arg(100000);

}  // namespace
